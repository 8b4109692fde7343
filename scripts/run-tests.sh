#!/usr/bin/env bash
# Runs every test: the host tree's sanitizer tests and fuzz targets
# natively, then the Windows trees' tests under Wine: the 64-bit tree on
# every machine, the 32-bit tree where the machine runs 32-bit programs.
# The Windows trees run at the same time, each with its own X server and
# Wine prefix; their lines are prefixed with the architecture, and each
# run is kept whole in <tree>/ctest.log. A full run ends with the
# real-drive tier (tests/real/tier.py, logged in build-real/ctest.log).
# Arguments go to every ctest run (-R <regex>, say) and leave the tier out.
# Ends with one line of totals; exits non-zero when a test failed or a
# suite could not be set up.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"

arches=$(usable_arches | tr '\n' ' ')
suites="Test suites: host (native)"
for a in $arches; do suites="$suites, $a ($(arch_label "$a") under Wine)"; done
if ! can_run_32bit && [[ " ${KESVORA_ARCHES:-i686} " == *" i686 "* ]]; then
    suites="$suites; not i686: this machine runs no 32-bit programs"
fi
echo "$suites"

# One Windows tree's suite; its exit status is that of ctest, or 1 when the
# prefix or the X server could not be set up (which is then said).
run_arch() (
    set -e
    use_arch "$1"
    shift
    "$root/scripts/prepare-wineprefix.sh" "$KESVORA_ARCH"
    start_xvfb
    trap stop_xvfb EXIT
    boot_wine
    cd "$KESVORA_BUILD"
    set +e
    # A test that times out is run once more, so that a single stall under
    # Wine does not fail the run; a hang of our own repeats and still fails.
    ctest --output-on-failure -j2 --repeat after-timeout:2 "$@"
)

status_file() { echo "$root/build-host/.ctest-$1.status"; }

mkdir -p "$root/build-host"
pids=()
for a in $arches; do
    (
        use_arch "$a"
        rm -f "$KESVORA_BUILD/ctest.log"
        run_arch "$a" "$@" > >(tee "$KESVORA_BUILD/ctest.log" | sed -u "s/^/[$a] /") 2>&1
        echo $? >"$(status_file "$a")"
    ) &
    pids+=($!)
done
(cd "$root/build-host" && ctest --output-on-failure "$@") 2>&1 | tee "$root/build-host/ctest.log" | sed -u 's/^/[host] /'
echo "${PIPESTATUS[0]}" >"$(status_file host)"
wait "${pids[@]}"
sleep 0.2  # the prefixing pipes flush after their writers end

# The real-drive tier, in a full run only: both programs against QEMU's
# drives in a Linux guest (tests/real/tier.py); one line where it cannot run.
if [ $# -eq 0 ]; then
    mkdir -p "$root/build-real"
    python3 "$root/tests/real/tier.py" ${KESVORA_ARCHES:-x86_64 i686} 2>&1 |
        tee "$root/build-real/ctest.log" | sed -u 's/^/[real] /'
    echo "${PIPESTATUS[0]}" >"$(status_file real)"
fi

# Totals from each run's closing line: "N% tests passed, F tests failed out of T".
passed=0 failed=0 status=0
tally() {
    local name=$1 log=$2 st summary
    st=$(cat "$(status_file "$name")" 2>/dev/null || echo 1)
    rm -f "$(status_file "$name")"
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" 2>/dev/null | tail -n 1)
    if [ -n "$summary" ]; then
        local f t
        f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
        t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$summary")
        passed=$((passed + t - f)) failed=$((failed + f))
        echo "[$name] $summary ($(grep -E '^Total Test time' "$log" | sed 's/.*= *//'))"
    elif grep -q '^No tests were found' "$log"; then
        echo "[$name] no test matched"
    elif grep -q '^skipped: ' "$log"; then
        echo "[$name] $(grep -m1 '^skipped: ' "$log")"
    else
        echo "[$name] did not run: see the lines above and $log"
    fi
    [ "$st" = 0 ] || status=1
}
echo
tally host "$root/build-host/ctest.log"
for a in $arches; do
    use_arch "$a"
    tally "$a" "$KESVORA_BUILD/ctest.log"
done
[ $# -eq 0 ] && tally real "$root/build-real/ctest.log"
echo "$suites"
echo "Tests: $passed passed, $failed failed"
exit $status
