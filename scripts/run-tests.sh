#!/usr/bin/env bash
# Runs every test (host sanitizer tests, fuzz targets, Wine unit and
# end-to-end tests) in one ctest run, under an X server of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export KESVORA_BUILD=$root/build
source "$root/scripts/wine-env.sh"

start_xvfb
trap stop_xvfb EXIT
cd "$root/build"
ctest --output-on-failure -j2 "$@"
