#!/usr/bin/env bash
# Analyses every shipped example capture (each test it is meant for, with a summary,
# and the wildcard batch of the high-speed pair) into a fresh folder, so that two
# builds can be compared output for output:
#   scripts/example-outputs.sh BUILD_A /tmp/examples && mv /tmp/examples /tmp/examples-a
#   scripts/example-outputs.sh BUILD_B /tmp/examples
#   diff -r -I 'Analysis performed' /tmp/examples-a /tmp/examples
# Reports name their capture by its whole path, so both runs use the same folder; the
# time stamp of a report is then the only part that changes.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
orvane="$(realpath "$1")/frontend/orvane"
out="$2"
rm -rf "$out"
mkdir -p "$out"
cp "$root"/examples/*.csv "$out"/
cd "$out"
run() { "$orvane" "$@" /q /s >/dev/null 2>&1 || true; }
run usbsigcheck,hs_pass.csv,hsne
run usbsigcheck,hs_fail.csv,hsne
run usbsigcheck,fs_pair.csv,fs
run usbsigcheck,ls_dplus.csv,ls,ls_dminus.csv
run usbinrushcheck,inrush.csv,5.0
mkdir batch
cp hs_pass.csv hs_fail.csv batch/
run "usbsigcheck,batch/hs_*.csv,hshub"
# Logs are named by the second they were written in: keep their text under one name.
for log in batch/*.log; do mv "$log" batch/batch.log; done
