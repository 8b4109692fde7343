#!/usr/bin/env bash
# Runs the benchmarks and prints their figures: the stripped size of the
# program, start-up time against a minimal dialog program, the refresh
# soak, the popup menu opened 1,000 times, and speed detection's cost.
# Exits non-zero when a benchmark could not run or found something growing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export KESVORA_BUILD=$root/build
source "$root/scripts/wine-env.sh"
bin=$root/build/bin

stripped=$(mktemp)
trap 'rm -f "$stripped"' EXIT
i686-w64-mingw32-strip -o "$stripped" "$bin/kesvora.exe"
printf 'size: kesvora.exe %d bytes as built, %d bytes stripped\n' \
    "$(stat -c %s "$bin/kesvora.exe")" "$(stat -c %s "$stripped")"

start_xvfb
trap 'rm -f "$stripped"; stop_xvfb' EXIT
cd "$bin"
status=0
for b in bench_startup bench_soak bench_popup; do
    wine "$b.exe" || status=1
done
wine bench_detect.exe --gtest_brief=1 | grep '^\[bench\]' || status=1
exit $status
