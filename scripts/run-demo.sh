#!/usr/bin/env bash
# Starts kesvora.exe under Wine in front of two simulated drives: a 52X
# CD-ROM that snaps speeds to a table and can lock its tray, and an 8X
# DVD-ROM that takes any speed and has a vendor-specific spin-down timer.
# With a display it opens the window there; without one it runs under Xvfb,
# saves a screenshot of the main window, ends the program and says where
# the picture is. The 32-bit program runs where the machine runs 32-bit
# programs, the 64-bit one where it does not (KESVORA_ARCHES=x86_64 asks
# for the 64-bit one anyway).
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
for f in kesvora.exe wnaspi32.dll; do
    if [ ! -f "$bin/$f" ]; then
        echo "$bin/$f is missing: build first (make run does)" >&2
        exit 1
    fi
done

demo=$KESVORA_BUILD/demo
rm -rf "$demo"
mkdir -p "$demo"
cp "$bin/kesvora.exe" "$bin/wnaspi32.dll" "$demo/"

# The program's settings: a speed list for the first drive.
cat > "$demo/cdrom.ini" <<'INI'
[System]
RunMin=0
[0:0]
speedNames=4,8,16,24,32,40,48,52
kbSpeeds=706,1411,2822,4234,5645,7056,8467,9152
INI

# The simulated drives (format: sim/README.md).
cat > "$demo/ksim.ini" <<'INI'
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
INI
export KSIM_CONFIG=$demo/ksim.ini KSIM_LOG=$demo/ksim.log
cd "$demo"

if [ -n "${DISPLAY:-}" ]; then
    echo "Starting Kesvora on $DISPLAY (folder $demo)"
    exec env LC_ALL=$KESVORA_LOCALE "$WINE" kesvora.exe
fi

start_xvfb
trap stop_xvfb EXIT
boot_wine
kwine kesvora.exe >"$demo/wine.log" 2>&1 &
wine_pid=$!

win=
for _ in $(seq 1 150); do
    win=$(xdotool search --name '^Kesvora2$' 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && break
    kill -0 "$wine_pid" 2>/dev/null || break
    sleep 0.2
done
if [ -z "$win" ]; then
    echo "The main window did not appear; see $demo/wine.log" >&2
    exit 1
fi
sleep 2
import -window root "$demo/main-window.png"

# End it the way a user does, so that it saves its settings: the close box
# (Alt+F4), then wine's own taskkill if it is still there.
xdotool windowactivate --sync "$win" key --clearmodifiers alt+F4 >/dev/null 2>&1 || true
for _ in $(seq 1 50); do
    kill -0 "$wine_pid" 2>/dev/null || break
    sleep 0.2
done
if kill -0 "$wine_pid" 2>/dev/null; then
    kwine taskkill /im kesvora.exe >/dev/null 2>&1 || true
    sleep 1
fi
wait "$wine_pid" 2>/dev/null || true
echo "Screenshot of the main window: $demo/main-window.png"
