# Sourced by the scripts that run programs under Wine. use_arch picks one of
# the two Windows trees: its build folder, Wine loader and prefix.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="wnaspi32=n;mscoree=;mshtml=;winemenubuilder.exe="
# Wine takes code page 936 from the locale's name even where that locale is
# not generated. Only LANG is set in these shells (bash warns about an
# unknown LC_ALL); the programs get LC_ALL too, through kwine, so that a
# caller's own LC_ALL cannot override the Chinese code page.
export LANG=zh_CN.UTF-8
KESVORA_LOCALE=zh_CN.UTF-8

# The 32-bit Wine loader is itself a 32-bit program: where it runs, the
# machine runs 32-bit programs.
WINE32=/usr/lib/wine/wine
WINE64=/usr/lib/wine/wine64
can_run_32bit() {
    [ -x "$WINE32" ] && "$WINE32" --version >/dev/null 2>&1
}

# The architectures to test and run here, main one last: x86_64 always,
# i686 where 32-bit programs run. KESVORA_ARCHES narrows the choice.
usable_arches() {
    local want=${KESVORA_ARCHES:-x86_64 i686} a
    for a in $want; do
        case $a in
            x86_64) echo x86_64 ;;
            i686) can_run_32bit && echo i686 ;;
            *) echo "Unknown architecture in KESVORA_ARCHES: $a" >&2 ;;
        esac
    done
}

# use_arch i686|x86_64
use_arch() {
    export KESVORA_ARCH=$1
    case $1 in
        i686)
            export KESVORA_BUILD=$root/build WINEARCH=win32 WINE=$WINE32
            unset WINELOADER ;;
        x86_64)
            export KESVORA_BUILD=$root/build64 WINEARCH=win64 WINE=$WINE64 WINELOADER=$WINE64 ;;
        *)
            echo "use_arch: unknown architecture $1" >&2
            return 1 ;;
    esac
    export WINEPREFIX=$KESVORA_BUILD/wineprefix
}

arch_label() {
    case $1 in
        i686) echo "32-bit (i686)" ;;
        x86_64) echo "64-bit (x86_64)" ;;
    esac
}

kwine() {
    LC_ALL=$KESVORA_LOCALE "$WINE" "$@"
}

# start_xvfb: gives this shell an X display of its own, numbered by the
# server itself (-displayfd), so that runs started together never share or
# stop each other's display. KESVORA_DISPLAY names one to use instead.
start_xvfb() {
    if [ -n "${KESVORA_DISPLAY:-}" ]; then
        export DISPLAY=$KESVORA_DISPLAY
        return 0
    fi
    local numfile i n
    numfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    for i in $(seq 1 100); do
        n=$(tr -dc 0-9 <"$numfile")
        if [ -n "$n" ]; then
            rm -f "$numfile"
            export DISPLAY=:$n
            return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$numfile"
    kill "$XVFB_PID" 2>/dev/null || true
    echo "The X server (Xvfb) did not start: is the xvfb package installed?" >&2
    return 1
}

# boot_wine: starts the prefix's Wine session (its server and services)
# before the programs run. Otherwise the first program starts them, they
# inherit its output, and whoever reads that output (ctest) waits for the
# services to end long after the program did.
boot_wine() {
    wineserver -p
    if ! kwine wineboot </dev/null >/dev/null 2>&1; then
        echo "Wine could not start in $WINEPREFIX ($(arch_label "$KESVORA_ARCH"))" >&2
        return 1
    fi
}

stop_xvfb() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}
