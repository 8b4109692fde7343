# Sourced by the scripts that run programs under Wine: the prefix of this
# build tree, Chinese code page, our wnaspi32.dll before Wine's.
build=${KESVORA_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}
export WINEPREFIX=$build/wineprefix
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="wnaspi32=n;mscoree=;mshtml=;winemenubuilder.exe="

# start_xvfb: gives this process an X display of its own unless one is
# requested with KESVORA_DISPLAY; the server ends with stop_xvfb.
start_xvfb() {
    if [ -n "${KESVORA_DISPLAY:-}" ]; then
        export DISPLAY=$KESVORA_DISPLAY
        return
    fi
    local n
    for n in $(seq 90 140); do
        [ -e /tmp/.X$n-lock ] && continue
        Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=:$n
        local i
        for i in $(seq 1 50); do
            [ -e /tmp/.X11-unix/X$n ] && return 0
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null || true
    done
    echo "Could not start Xvfb" >&2
    return 1
}

stop_xvfb() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
}
