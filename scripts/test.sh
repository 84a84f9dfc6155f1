#!/usr/bin/env bash
# Installs the dependencies, builds everything from scratch with warnings as
# errors, and runs the whole test suite.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELKIN_BUILD_DIR:-$root/build-test}"
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELKIN_WERROR=ON
cmake --build "$build" -j "$(nproc)"
# Tests that read real scope files skip when their folder is absent: say which it is.
fixtures="${VELKIN_SCOPE_FIXTURES:-$(sed -n 's/^VELKIN_SCOPE_FIXTURES:PATH=//p' "$build/CMakeCache.txt")}"
if [ -d "$fixtures" ]; then
    echo "Scope files: $fixtures"
else
    echo "Scope files: $fixtures is absent; the tests that read real scope files are skipped"
fi
cd "$build"
ctest --output-on-failure -j "$(nproc)"
