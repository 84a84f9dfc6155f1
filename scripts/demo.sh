#!/usr/bin/env bash
# Installs the dependencies, builds Velkin and Orvane, and analyses a shipped
# high-speed example capture; prints where the report is.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELKIN_BUILD_DIR:-$root/build}"
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j "$(nproc)"
work="$(mktemp -d)"
cp "$root/examples/hs_pass.csv" "$work/"
echo "Analysing $work/hs_pass.csv (high speed, near end); the report is:"
"$build/frontend/orvane" "usbsigcheck,$work/hs_pass.csv,hsne"
