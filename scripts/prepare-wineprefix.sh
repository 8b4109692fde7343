#!/usr/bin/env bash
# Makes the 32-bit Wine prefix that the tests and the demo share, once per
# build tree: code page 936 and a font for the Chinese texts.
set -euo pipefail
prefix=$1
stamp=$prefix/.kesvora-ready
[ -f "$stamp" ] && exit 0

rm -rf "$prefix"
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
echo "Preparing the Wine prefix in $prefix ..."
wineboot -i >/dev/null 2>&1
subst='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
# The dialogs use 宋体; menus and message boxes use the shell dialog font.
for face in "宋体" "SimSun" "新宋体" "NSimSun" "MS Shell Dlg" "MS Shell Dlg 2"; do
    wine reg add "$subst" /v "$face" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
done
# No crash dialog: a crashing test must fail, not wait for a click.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w
touch "$stamp"
