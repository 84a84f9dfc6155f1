#!/usr/bin/env bash
# Installs the dependencies, builds everything from scratch with warnings as
# errors, and runs the whole test suite; then builds it again with AddressSanitizer
# and UndefinedBehaviorSanitizer and runs the suite under them, the replay of every
# fuzz corpus file through every fuzz target included.
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
(cd "$build" && ctest --output-on-failure -j "$(nproc)")

# The sanitizer build leaves out the benchmarks, which no test runs; -O1 and line
# tables alone keep its compile short and its stacks readable.
asan="${VELKIN_ASAN_BUILD_DIR:-$root/build-asan}"
cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DVELKIN_SANITIZE=ON \
    -DVELKIN_BUILD_BENCH=OFF -DVELKIN_WERROR=ON
cmake --build "$asan" -j "$(nproc)"
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan-suppressions.txt:print_suppressions=0"
(cd "$asan" && ctest --output-on-failure -j "$(nproc)")
