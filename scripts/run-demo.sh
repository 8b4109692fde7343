#!/usr/bin/env bash
# Starts kesvora.exe under Wine in front of two simulated drives with drive
# letters: D:, a 52X CD-ROM that snaps speeds to a table and can lock its
# tray, and E:, an 8X DVD-ROM that takes any speed and has a vendor-specific
# spin-down timer. ksim_launch.exe starts the program with the simulated
# volumes (ksim_volumes.dll) loaded into it, so that the letters lead to the
# drives; each drive has a speed list, its last chosen speed selected.
#
# With a display it opens the window there. Without one it runs under Xvfb
# once at each of 96, 144 and 192 DPI (100%, 150%, 200%: Wine's LogPixels,
# set for the run and back to 96 at the end) and saves, in <tree>/demo/,
# for each scale (no suffix at 96, "-144" and "-192" otherwise):
#   main-window.png        the window as it opens
#   options.png            its options dialog (Alt+O)
#   notification-icon.png  the window minimised to the notification area:
#                          its icon in Wine's own notification area window
#   popup-menu.png         the icon's popup menu open, the pointer on its
#                          speed item, the speed sub-menu shown
#   about.png              the About box, chosen in that menu
# and then shows the window again from the icon and closes it.
# The 32-bit program runs where the machine runs 32-bit programs, the
# 64-bit one where it does not (KESVORA_ARCHES=x86_64 asks for the 64-bit
# one anyway).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

arch=$(usable_arches | tail -n 1)
use_arch "$arch"
if [ "$arch" = i686 ]; then
    echo "Running the 32-bit program (build/bin/kesvora.exe)"
else
    echo "Running the 64-bit program (build64/bin/kesvora.exe)$(can_run_32bit || echo ': this machine runs no 32-bit programs')"
fi
"$root/scripts/prepare-wineprefix.sh" "$arch"

bin=$KESVORA_BUILD/bin
files=(kesvora.exe wnaspi32.dll ksim_volumes.dll ksim_launch.exe)
for f in "${files[@]}"; do
    if [ ! -f "$bin/$f" ]; then
        echo "$bin/$f is missing: build first (make run does)" >&2
        exit 1
    fi
done

demo=$KESVORA_BUILD/demo
rm -rf "$demo"
mkdir -p "$demo"
for f in "${files[@]}"; do cp "$bin/$f" "$demo/"; done
export KSIM_CONFIG=$demo/ksim.ini KSIM_LOG=$demo/ksim.log
cd "$demo"

# The program's settings and the simulated machine (format: sim/README.md),
# written anew before each start so that every scale shows the same.
write_setup() {
    cat > cdrom.ini <<'INI'
[System]
RunMin=0
[0:0]
speedNames=4,8,16,24,32,40,48,52
kbSpeeds=706,1411,2822,4234,5645,7056,8467,9152
lastSpeed=7056
[0:1]
speedNames=4,8,16,24,32,48
kbSpeeds=706,1411,2822,4234,5645,8467
lastSpeed=4234
INI
    cat > ksim.ini <<'INI'
[interface]
adapters=1
[adapter0]
maxTargets=8
[device0:0]
type=5
vendor="KESVO"
product="CD-ROM 52X"
revision="1.02"
maxSpeed=9152
speed=7056
speedPolicy=table
speedTable=706,1411,2822,4234,5645,7056,8467,9152
lockSupported=1
locked=0
spindown=0x0A
[device0:1]
type=5
vendor="TRELV"
product="DVD-ROM 8X"
revision="2.00"
maxSpeed=11080
speed=5540
speedPolicy=any
lockSupported=0
spindown=0x00
[volumeD]
device=0:0
driveType=5
[volumeE]
device=0:1
driveType=5
INI
    rm -f ksim.log
}

if [ -n "${DISPLAY:-}" ]; then
    write_setup
    echo "Starting Kesvora on $DISPLAY (folder $demo)"
    exec env LC_ALL=$KESVORA_LOCALE "$WINE" ksim_launch.exe kesvora.exe
fi

# set_dpi N: the scale of the programs started from now on. Wine reads it
# when a session starts, so the prefix's session is ended first.
set_dpi() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    kwine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    boot_wine
}

start_xvfb
# The prefix is the test runs' too, whose pictures are drawn at 96 DPI.
trap 'set_dpi 96 || true; stop_xvfb' EXIT

# Waits until the program's main window is there; its X window id, or
# nothing when the program ended or 30 s passed.
main_window() {
    local w=
    for _ in $(seq 1 150); do
        w=$(xdotool search --name '^Kesvora2$' 2>/dev/null | head -n 1 || true)
        [ -n "$w" ] && break
        kill -0 "$wine_pid" 2>/dev/null || break
        sleep 0.2
    done
    echo "$w"
}

# The screen's middle of the program's icon in Wine's own notification
# area window (there is no other under Xvfb): the bounding box of what is
# not background in the window's lower half, under its title bar.
icon_point() {
    local tray X Y WIDTH HEIGHT SCREEN tx ty tw th
    tray=$(xdotool search --name '^Wine System Tray$' 2>/dev/null | head -n 1 || true)
    [ -n "$tray" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$tray")"
    import -window "$tray" tray.png
    read -r tx ty tw th < <(convert tray.png -crop "${WIDTH}x$((HEIGHT / 2))+0+$((HEIGHT / 2))" +repage \
        -shave 3x3 -trim -format '%X %Y %w %h\n' info: | tr -d +)
    rm -f tray.png
    echo "$((X + 3 + tx + tw / 2)) $((Y + HEIGHT / 2 + 3 + ty + th / 2))"
}

# item_point DPI X Y N D: the middle of the entry of the popup menu that
# opened at X,Y which follows N entries and D dividers. Entries are 24
# pixels high at 100%, scaled; the menu's eight entries and three dividers
# fill its height within a 3-pixel border.
item_point() {
    local dpi=$1 menu X Y WIDTH HEIGHT SCREEN entry divider
    menu=$(xdotool search --onlyvisible --name '' 2>/dev/null | while read -r w; do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$X $Y" = "$2 $3" ] && echo "$w"
    done | head -n 1)
    [ -n "$menu" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$menu")"
    entry=$((24 * dpi / 96))
    divider=$(((HEIGHT - 6 - 8 * entry) / 3))
    echo "$((X + WIDTH / 2)) $((Y + 3 + $4 * entry + $5 * divider + entry / 2))"
}

shot() {
    import -window root "$demo/$1"
}

# show_at DPI SUFFIX: one run of the program at that scale, its pictures
# named with SUFFIX.
show_at() {
    local dpi=$1 sfx=$2 win point x y
    set_dpi "$dpi"
    write_setup
    kwine ksim_launch.exe kesvora.exe >"wine$sfx.log" 2>&1 &
    wine_pid=$!
    win=$(main_window)
    if [ -z "$win" ]; then
        echo "The main window did not appear at $dpi DPI; see $demo/wine$sfx.log" >&2
        return 1
    fi
    sleep 2
    shot "main-window$sfx.png"

    xdotool windowfocus --sync "$win" key --clearmodifiers alt+o
    sleep 2
    shot "options$sfx.png"
    xdotool key Escape
    sleep 1

    # Minimised, the window goes to the notification area.
    xdotool windowfocus --sync "$win" key --clearmodifiers alt+space
    sleep 0.5
    xdotool key n
    sleep 2
    shot "notification-icon$sfx.png"
    if point=$(icon_point); then
        read -r x y <<<"$point"
        xdotool mousemove "$x" "$y" click 3
        sleep 1.5
        # The popup opens at the cursor; the pointer over "设置速度"
        # marks it and opens the speed list.
        if point=$(item_point "$dpi" "$x" "$y" 5 1); then
            xdotool mousemove $point
            sleep 1.5
        fi
        shot "popup-menu$sfx.png"
        if point=$(item_point "$dpi" "$x" "$y" 6 2); then
            xdotool mousemove $point click 1
            sleep 2
            shot "about$sfx.png"
            xdotool key Return
            sleep 1
        fi
        xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
        sleep 1
    else
        echo "No notification icon at $dpi DPI" >&2
    fi

    # End it the way a user does, so that it saves its settings: the close
    # box (Alt+F4), then wine's own taskkill if it is still there.
    xdotool windowfocus --sync "$win" key --clearmodifiers alt+F4 >/dev/null 2>&1 || true
    for _ in $(seq 1 50); do
        kill -0 "$wine_pid" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$wine_pid" 2>/dev/null; then
        kwine taskkill /im kesvora.exe >/dev/null 2>&1 || true
        sleep 1
    fi
    wait "$wine_pid" 2>/dev/null || true
}

status=0
show_at 96 "" || status=1
show_at 144 -144 || status=1
show_at 192 -192 || status=1
echo "Screenshots (main window, options dialog, About box, notification icon, popup menu at 96, 144 and 192 DPI):"
ls "$demo"/*.png | sed 's/^/  /'
exit $status
