#!/usr/bin/env bash
# Starts several orvane processes that analyse the same capture in one folder at
# once, each many times over, and counts the runs that failed. Afterwards the
# folder must hold one whole report, its plots, result record and summary, and no
# temporary file.
#   scripts/concurrent-runs.sh [build folder] [processes] [runs per process]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
processes="${2:-4}"
runs="${3:-40}"
orvane="$build/frontend/orvane"
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
cp "$root/examples/hs_pass.csv" "$folder/cap.csv"

for p in $(seq "$processes"); do
    (
        failed=0
        for r in $(seq "$runs"); do
            "$orvane" "usbsigcheck,$folder/cap.csv,hsne /q /s" >/dev/null 2>&1 || failed=$((failed + 1))
        done
        echo "$failed" >"$folder/failed.$p"
    ) &
done
wait

failures=0
for f in "$folder"/failed.*; do failures=$((failures + $(cat "$f"))); done
rm -f "$folder"/failed.*
echo "runs $((processes * runs)), failures $failures"
leftovers=$(find "$folder" -name '.*' -type f | wc -l)
echo "temporary files left: $leftovers"
tail -c 8 "$folder/cap.html" | grep -q '</html>' && echo "report whole" || echo "report NOT whole"
for png in capPlot.png capEye.png capPacket.png; do
    # A whole PNG ends with its IEND chunk.
    [ "$(tail -c 8 "$folder/$png" | head -c 4)" = IEND ] && echo "$png whole" || echo "$png NOT whole"
done
python3 -c 'import json, sys; json.load(open(sys.argv[1]))' "$folder/cap.json" &&
    echo "result record whole" || echo "result record NOT whole"
echo "summary lines: $(wc -l <"$folder/cap_sum.csv") + the last without a line end"
[ "$failures" -eq 0 ] && [ "$leftovers" -eq 0 ]
