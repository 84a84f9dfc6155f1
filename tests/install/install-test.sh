#!/usr/bin/env bash
# Installs the build into a fresh prefix, then builds a C caller against it twice, with
# pkg-config and with find_package, and lets each judge a shipped capture.
# Usage: install-test.sh <build folder> <source folder>
set -euo pipefail
build="$1" source="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir="$(ls -d "$prefix"/lib*/ | head -1)"
readelf -d "$libdir/libvelkin.so" | grep -q 'SONAME.*libvelkin\.so\.2\]' ||
    { echo "libvelkin.so does not carry the SONAME libvelkin.so.2"; exit 1; }
test -x "$prefix/bin/orvane" && test -x "$prefix/bin/velkin-synth"

export PKG_CONFIG_PATH="$libdir/pkgconfig"
cc -o "$work/pc-caller" "$source/tests/install/caller.c" $(pkg-config --cflags --libs velkin) \
    -Wl,-rpath,"$(pkg-config --variable=libdir velkin)"
cmake -S "$source/tests/install/cmake-caller" -B "$work/cmake-build" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_RPATH="$libdir" >/dev/null
cmake --build "$work/cmake-build" >/dev/null

for caller in "$work/pc-caller" "$work/cmake-build/caller"; do
    rm -rf "$work/data" && mkdir "$work/data"
    cp "$source/examples/hs_pass.csv" "$work/data/"
    "$caller" "$work/data/hs_pass.csv" hsne
    test -s "$work/data/hs_pass.html" && test -s "$work/data/hs_pass.json"
done
# The Python example of the README, against the installed library.
cp "$source/examples/hs_fail.csv" "$work/data/"
LD_LIBRARY_PATH="$libdir" python3 "$source/examples/velkin_check.py" "$work/data/hs_pass.csv" hsne |
    grep -qx 'PASS '
if LD_LIBRARY_PATH="$libdir" python3 "$source/examples/velkin_check.py" "$work/data/hs_fail.csv" hsne \
    >"$work/fail.txt"; then
    echo "the failing example passed"; exit 1
fi
grep -q '^FAIL .*Signal rate' "$work/fail.txt"
# The installed orvane runs from the prefix, finding its library there.
cp "$source/examples/hs_pass.csv" "$work/data/again.csv"
env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/orvane" "usbsigcheck,$work/data/again.csv,hsne" >/dev/null
test -s "$work/data/again.json"
# Its manual page, and a completion that offers the test types after --test.
test -s "$prefix/share/man/man1/orvane.1"
offered="$(bash -c 'source "$1"; COMP_WORDS=(orvane usbsigcheck --test hs); COMP_CWORD=3
    _orvane; echo "${COMPREPLY[*]}"' - "$prefix/share/bash-completion/completions/orvane")"
test "$offered" = "hsfe hsne hshub" || { echo "completion offered: $offered"; exit 1; }
echo "installed library, header, pkg-config file, CMake package, programs, manual and completion work"
