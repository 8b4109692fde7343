#!/usr/bin/env bash
# Runs the benchmarks and prints their figures for each architecture that
# runs here (the 64-bit program always, the 32-bit one where the machine
# runs 32-bit programs), each block labelled: the stripped size of the
# program, start-up time against a minimal dialog program, the refresh
# soak, the popup menu opened 1,000 times, the window's answer while a
# drive hangs, the settings file's saves and reads, and speed detection's
# cost.
# Exits non-zero when a benchmark could not run or found something growing.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"

bench_arch() (
    set -e
    use_arch "$1"
    "$root/scripts/prepare-wineprefix.sh" "$1" >/dev/null
    bin=$KESVORA_BUILD/bin
    stripped=$(mktemp)
    trap 'rm -f "$stripped"' EXIT
    "$1-w64-mingw32-strip" -o "$stripped" "$bin/kesvora.exe"
    printf 'size: kesvora.exe %d bytes as built, %d bytes stripped\n' \
        "$(stat -c %s "$bin/kesvora.exe")" "$(stat -c %s "$stripped")"
    start_xvfb
    trap 'rm -f "$stripped"; stop_xvfb' EXIT
    boot_wine
    cd "$bin"
    status=0
    for b in bench_startup bench_soak bench_popup bench_answer bench_settings; do
        kwine "$b.exe" || status=1
    done
    kwine bench_detect.exe --gtest_brief=1 | grep '^\[bench\]' || status=1
    exit $status
)

status=0
for a in $(usable_arches); do
    echo "== $(arch_label "$a"): $(use_arch "$a"; echo "${KESVORA_BUILD#$root/}")/bin/kesvora.exe"
    bench_arch "$a" || status=1
done
can_run_32bit || echo "== 32-bit (i686): not run, this machine runs no 32-bit programs"
exit $status
