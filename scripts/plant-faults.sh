#!/usr/bin/env bash
# Plants the faults of scripts/faults.txt in the program's code one at a
# time, rebuilds, runs the 64-bit Wine suite and the host tests, and records
# which tests failed; the file is put back after every fault, also when the
# run is interrupted. Prints one row per fault and writes the table to
# build64/faults-result.md; each run's output stays in build64/faults/<id>.log.
#
#   scripts/plant-faults.sh            every fault
#   scripts/plant-faults.sh F03 F07    only these
#   scripts/plant-faults.sh --list     the table, with whether each text is found
#   FAULT_TESTS=regex scripts/plant-faults.sh ...   run only the tests matching
#                                      regex (ctest -R), for a quicker check
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
faults=$root/scripts/faults.txt
logs=$root/build64/faults
result=$root/build64/faults-result.md
backup=$logs/original
# Files of the portable core, which the host tree builds as well.
portable='^(framework/(object|cstring|collections|trace)|drive/(byte_order|drive_address|identity|inquiry|medium|mode_pages|performance|sense|conversions)|settings/(value_text|list_encoding|speed_entry|ini_document))\.'

# helper list [ids...]: "id<TAB>file<TAB>description<TAB>found"
# helper apply id:      plants the fault; exits 2 when its text does not
#                       occur exactly once
helper() {
    python3 - "$faults" "$root" "$@" <<'EOF'
import sys
path, root, cmd, *ids = sys.argv[1:]
rows, row = [], None
for line in open(path, encoding="utf-8").read().splitlines():
    if not line.strip() or line.startswith("#"):
        continue
    if line[0] in "-+":
        row[line[0]] = line[2:].replace("\\n", "\n")
    else:
        fid, name, desc = line.split(" ", 2)
        row = {"id": fid, "file": name, "desc": desc}
        rows.append(row)

def count(r):
    return open(f"{root}/{r['file']}", encoding="utf-8").read().count(r["-"])

if cmd == "list":
    for r in rows:
        if not ids or r["id"] in ids:
            print(r["id"], r["file"], r["desc"], "found" if count(r) == 1 else "text not found", sep="\t")
else:
    r = next(r for r in rows if r["id"] == ids[0])
    if count(r) != 1:
        sys.exit(2)
    text = open(f"{root}/{r['file']}", encoding="utf-8").read()
    open(f"{root}/{r['file']}", "w", encoding="utf-8").write(text.replace(r["-"], r["+"]))
EOF
}

planted=
restore() {
    if [ -n "$planted" ]; then
        cp "$backup" "$root/$planted"
        planted=
    fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

# The host tree is built when the file is in it, and once more after such
# a file was put back, so that no fault stays behind in the host tests.
host_stale=
build() {
    cmake --build "$root/build64" -j2 || return 1
    if [[ $1 =~ $portable ]] || [ -n "$host_stale" ]; then
        host_stale=
        [[ $1 =~ $portable ]] && host_stale=1
        cmake --build "$root/build-host" -j2 || return 1
    fi
    return 0
}

# The tests ctest lists under "The following tests FAILED:", with the
# reason where it is not a plain failure ("e2e_tray (Timeout)").
failed_tests() {
    sed -nE 's/^\[[a-z0-9_]+\] [[:space:]]*[0-9]+ - ([^ ]+) \((.*)\)$/\1 (\2)/p' "$1" |
        sed 's/ (Failed)$//' | paste -sd, - | sed 's/,/, /g'
}

# run_fault id file: plants, builds, tests, restores; sets $caught.
run_fault() {
    local id=$1 file=$2 log=$logs/$1.log
    cp "$root/$file" "$backup"
    planted=$file
    if ! helper apply "$id"; then
        caught="not applicable: text not found"
    elif ! build "$file" >"$log" 2>&1 </dev/null; then
        caught="does not build"
    elif KESVORA_ARCHES=x86_64 "$root/scripts/run-tests.sh" ${FAULT_TESTS:+-R "$FAULT_TESTS"} >>"$log" 2>&1 </dev/null; then
        caught="NOT CAUGHT"
    else
        caught=$(failed_tests "$log")
        caught=${caught:-"suite did not run: see $log"}
    fi
    restore
}

if [ "${1:-}" = --list ]; then
    helper list | sed 's/\t/ | /g'
    exit 0
fi

mkdir -p "$logs"
start=$SECONDS
{
    echo "| id | file | fault | caught by |"
    echo "|---|---|---|---|"
} >"$result"
mapfile -t rows < <(helper list "$@")
for row in "${rows[@]}"; do
    IFS=$'\t' read -r id file desc _ <<<"$row"
    run_fault "$id" "$file"
    echo "$id | $file | $desc | $caught"
    echo "| $id | $file | $desc | $caught |" >>"$result"
done
echo "Rebuilding the unchanged code ..."
build framework/cstring.cpp >"$logs/rebuild.log" 2>&1 || echo "rebuild failed: see $logs/rebuild.log"
elapsed="$(( (SECONDS - start) / 60 )) min $(( (SECONDS - start) % 60 )) s"
echo "Took $elapsed; table in $result"
echo "" >>"$result"
echo "Run took $elapsed." >>"$result"
