#!/usr/bin/env bash
# Installs the dependencies, builds only what the demo runs (the library, orvane and
# the capture synthesizer) and analyses a shipped high-speed example capture; prints
# the verdict, where the report is, and what to try next. The build log is shown only
# when the build fails.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELKIN_BUILD_DIR:-$root/build}"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
echo "Installing what is needed and building orvane (a few minutes the first time)..."
if ! { bash "$root/scripts/install-deps.sh" &&
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$build" -j "$(nproc)" --target orvane velkin-synth; } >"$log" 2>&1; then
    cat "$log"
    echo "The build failed; the log is above." >&2
    exit 1
fi
orvane="$build/frontend/orvane"
work="$(mktemp -d)"
cp "$root/examples/hs_pass.csv" "$root/examples/hs_fail.csv" "$work/"
# Without a display the report's path is printed instead of opening it.
env -u DISPLAY -u WAYLAND_DISPLAY "$orvane" "usbsigcheck,$work/hs_pass.csv,hsne" >/dev/null || true
verdict="$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["overall"].upper())' \
    "$work/hs_pass.json" 2>/dev/null || echo "no result: see $work")"
cat <<EOF

Analysed examples/hs_pass.csv as a near-end high-speed capture.
  Verdict: $verdict
  Report:  $work/hs_pass.html
  Result:  $work/hs_pass.json (every check with its limits and margin)

Try next:
  a failing device:
    $orvane usbsigcheck,$work/hs_fail.csv,hsne
  the commands, test types and batches:
    $orvane --help
  the dialog, on a desktop:
    $orvane
  the whole test suite:
    ./scripts/test.sh
EOF
