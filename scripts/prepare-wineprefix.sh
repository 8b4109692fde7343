#!/usr/bin/env bash
# Makes the Wine prefix of one architecture's tree (see use_arch), once per
# tree: code page 936 and a font for the Chinese texts. Says what went
# wrong when the prefix cannot be made.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
use_arch "$1"
# The stamp names the version of the set-up below: a change remakes the prefix.
stamp=$WINEPREFIX/.kesvora-ready-2
[ -f "$stamp" ] && exit 0

rm -rf "$WINEPREFIX"
mkdir -p "$KESVORA_BUILD"
log=$KESVORA_BUILD/wineprefix.log
echo "Preparing the $(arch_label "$1") Wine prefix in $WINEPREFIX ..."
fail() {
    echo "Could not prepare the Wine prefix in $WINEPREFIX: $1 (see $log)" >&2
    exit 1
}
kwine wineboot -i >"$log" 2>&1 || fail "wineboot failed with status $?"
subst='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
# The dialogs use 宋体; menus and message boxes use the shell dialog font.
for face in "宋体" "SimSun" "新宋体" "NSimSun" "MS Shell Dlg" "MS Shell Dlg 2"; do
    kwine reg add "$subst" /v "$face" /t REG_SZ /d "WenQuanYi Micro Hei" /f >>"$log" 2>&1 ||
        fail "the font substitute for $face could not be set"
done
# No crash dialog: a crashing test must fail, not wait for a click.
kwine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$log" 2>&1 ||
    fail "the crash dialog could not be turned off"
# Windows that Wine itself manages, not a window manager: there is none
# under Xvfb, and Wine would wait two seconds for it each time a managed
# window is hidden.
kwine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >>"$log" 2>&1 ||
    fail "unmanaged windows could not be set"
wineserver -w
touch "$stamp"
