#!/usr/bin/env bash
# Starts kesvora.exe under Wine in front of two simulated drives. With a
# display it opens the window there; without one it runs under Xvfb, saves
# a screenshot of the main window and ends the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export KESVORA_BUILD=$root/build
source "$root/scripts/wine-env.sh"

demo=$root/build/demo
rm -rf "$demo"; mkdir -p "$demo"
cp "$root/build/bin/kesvora.exe" "$root/build/bin/wnaspi32.dll" "$demo/"
cat > "$demo/cdrom.ini" <<'INI'
[0:0]
speedNames=52,48,40,32,24,16,8,4
kbSpeeds=9152,8448,7040,5632,4224,2816,1408,704
INI
cat > "$demo/ksim.ini" <<'INI'
[interface]
adapters=1
[adapter0]
maxTargets=8
[device0:0]
type=5
vendor="KESVO   "
product="CD-ROM 52X      "
revision="1.02"
maxSpeed=9152
speed=7040
speedPolicy=table
speedTable=9152,8448,7040,5632,4224,2816,1408,704
lockSupported=1
spindown=10
[device0:1]
type=5
vendor="TRELV   "
product="DVD-ROM 8X      "
revision="2.00"
maxSpeed=1408
speed=1408
speedPolicy=any
spindown=0x1A
INI
export KSIM_CONFIG=$demo/ksim.ini KSIM_LOG=$demo/ksim.log
cd "$demo"

if [ -n "${DISPLAY:-}" ]; then
    exec wine kesvora.exe
fi

start_xvfb
trap stop_xvfb EXIT
wine kesvora.exe &
for i in $(seq 1 100); do
    xdotool search --name '^Kesvora2$' >/dev/null 2>&1 && break
    sleep 0.2
done
sleep 2
import -window root "$demo/main-window.png"
wineserver -k >/dev/null 2>&1 || true
echo "Screenshot of the main window: $demo/main-window.png"
