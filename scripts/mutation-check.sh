#!/usr/bin/env bash
# Plants hand-chosen faults in the product code one at a time, rebuilds, runs the
# whole test suite and reports which faults it caught. Slow, so not part of CI:
# run it before and after changing the tests. The faults are in mutations.txt.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
table="$root/scripts/mutations.txt"
build="$root/build-mutation"
only=""
out=""
jobs="$(nproc)"

usage() {
    cat <<EOF
Usage: $(basename "$0") [--build DIR] [--only M03,M17] [--out FILE] [-h]

Plants each fault of scripts/mutations.txt in turn, rebuilds, runs ctest and
restores the file. Prints one line per fault:
  killed    the suite failed (or timed out): the fault was caught
  survived  the suite passed: the tests are blind to this fault
  no-build  the fault does not compile: fix its entry
  stale     its original text is not found exactly once: fix its entry

  --build DIR   build folder (default: build-mutation in the repository)
  --only IDS    run only these faults, comma-separated
  --out FILE    also write the table as TSV (id, file, line, description, result)
  -h, --help    this text
Build and test output of each fault is kept in DIR/mutation-logs.
EOF
}

die() {
    echo "mutation-check: $*" >&2
    exit 1
}

while [ $# -gt 0 ]; do
    case "$1" in
        --build) [ $# -ge 2 ] || die "--build needs a folder"; build="$(realpath -m "$2")"; shift 2 ;;
        --only) [ $# -ge 2 ] || die "--only needs fault ids"; only="$2"; shift 2 ;;
        --out) [ $# -ge 2 ] || die "--out needs a file"; out="$(realpath -m "$2")"; shift 2 ;;
        -h | --help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
done
command -v python3 >/dev/null || die "python3 is needed to apply the faults"
[ -f "$table" ] || die "no fault table at $table"

# Text is matched and replaced as bytes, so any snippet (quotes, backslashes,
# '<', '&') goes in exactly as written in the table.
read -r -d '' helper <<'PY' || true
import re, sys

def blocks(path):
    faults, cur = [], None
    for n, raw in enumerate(open(path, "rb").read().decode("utf-8", "surrogateescape").split("\n"), 1):
        if re.match(r"M\d+\s", raw):
            parts = raw.split(None, 2)
            if len(parts) < 3:
                sys.exit(f"{path}:{n}: a fault needs an id, a file and a description")
            cur = {"id": parts[0], "file": parts[1], "what": parts[2].strip(), "-": [], "+": []}
            faults.append(cur)
        elif raw[:1] in "-+" and raw[:2] in ("-", "+", "- ", "+ "):
            if cur is None:
                sys.exit(f"{path}:{n}: text before the first fault")
            cur[raw[0]].append(raw[2:])
        elif raw.strip() and not raw.startswith("#"):
            sys.exit(f"{path}:{n}: not a fault, a '-'/'+' line or a comment")
    ids = [f["id"] for f in faults]
    for f in faults:
        if not f["-"] or not f["+"]:
            sys.exit(f"{f['id']}: needs a '-' and a '+' line")
        if ids.count(f["id"]) > 1:
            sys.exit(f"{f['id']}: id used twice")
        f["-"], f["+"] = ("\n".join(f[k]).encode("utf-8", "surrogateescape") for k in "-+")
        if f["-"] == f["+"]:
            sys.exit(f"{f['id']}: replacement equals the original")
    return faults

cmd, table = sys.argv[1], sys.argv[2]
faults = blocks(table)
if cmd == "list":
    wanted = [w for w in sys.argv[3].split(",") if w]
    unknown = set(wanted) - {f["id"] for f in faults}
    if unknown:
        sys.exit("unknown fault ids: " + ", ".join(sorted(unknown)))
    for f in faults:
        if not wanted or f["id"] in wanted:
            print(f"{f['id']}\t{f['file']}\t{f['what']}")
elif cmd == "apply":
    f = next(f for f in faults if f["id"] == sys.argv[3])
    path = sys.argv[4]
    try:
        text = open(path, "rb").read()
    except OSError:
        sys.exit(3)
    if text.count(f["-"]) != 1:
        sys.exit(3)
    at = text.index(f["-"])
    with open(path, "wb") as dst:
        dst.write(text.replace(f["-"], f["+"], 1))
    print(text.count(b"\n", 0, at) + 1)
PY
mutate() { python3 -c "$helper" "$@"; }

faults="$(mutate list "$table" "$only")" || die "fault table $table is not valid"
[ -n "$faults" ] || die "no faults selected"

# A planted fault must never outlive the run: the pristine copy is kept in the
# build folder, so even a killed run is repaired by the next one.
backupDir="$build/mutation-backup"
logDir="$build/mutation-logs"
mkdir -p "$backupDir" "$logDir"
restore() {
    [ -f "$backupDir/path" ] || return 0
    local target
    target="$(cat "$backupDir/path")"
    # A plain copy, not cp -p: the new mtime makes the next build recompile the file.
    cp "$backupDir/original" "$target"
    cmp -s "$backupDir/original" "$target" || { echo "mutation-check: could not restore $target" >&2; return 1; }
    rm -f "$backupDir/path" "$backupDir/original"
}
trap 'restore' EXIT
trap 'restore; exit 130' INT
trap 'restore; exit 143' TERM
if [ -f "$backupDir/path" ]; then
    echo "Restoring $(cat "$backupDir/path"), left with a fault by an interrupted run."
    restore
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
echo "Configuring and building in $build ..."
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELKIN_WERROR=OFF \
    -DVELKIN_BUILD_BENCH=OFF -DVELKIN_BUILD_TESTS=ON -DVELKIN_BUILD_FRONTEND=ON "${launcher[@]}" &&
    cmake --build "$build" -j "$jobs"; } >"$logDir/baseline.build.log" 2>&1; then
    die "the unmodified tree does not build; see $logDir/baseline.build.log"
fi
# Some tests use fixed folder names under the temporary folder; a private one keeps
# other suite runs on this machine from racing them into a false "killed".
run_suite() {
    rm -rf "$build/mutation-tmp" && mkdir -p "$build/mutation-tmp"
    (cd "$build" && TMPDIR="$build/mutation-tmp" ctest -j "$jobs" --timeout 120) >"$1" 2>&1
}
echo "Running the suite on the unmodified tree ..."
run_suite "$logDir/baseline.test.log" ||
    die "the suite fails without any fault, so it would 'kill' every fault; fix it first (see $logDir/baseline.test.log)"

[ -z "$out" ] || printf 'id\tfile\tline\tdescription\tresult\n' >"$out"
total=0 killed=0 survivors=() broken=()
# The list comes in on fd 3, so that no build or test step can read from it.
while IFS=$'\t' read -r -u 3 id file what; do
    total=$((total + 1))
    target="$root/$file"
    line="-"
    if [ ! -f "$target" ]; then
        result=stale
    else
        cp "$target" "$backupDir/original"
        echo "$target" >"$backupDir/path"
        if ! line="$(mutate apply "$table" "$id" "$target")"; then
            line="-"
            result=stale
        elif ! cmake --build "$build" -j "$jobs" >"$logDir/$id.build.log" 2>&1; then
            result=no-build
        elif run_suite "$logDir/$id.test.log"; then
            result=survived
        else
            result=killed
        fi
        restore || die "stopped: $target may still hold fault $id"
    fi
    case "$result" in
        killed) killed=$((killed + 1)) ;;
        survived) survivors+=("$id") ;;
        *) broken+=("$id:$result") ;;
    esac
    printf '%-4s %-9s %s:%s  %s\n' "$id" "$result" "$file" "$line" "$what"
    [ -z "$out" ] || printf '%s\t%s\t%s\t%s\t%s\n' "$id" "$file" "$line" "$what" "$result" >>"$out"
done 3<<<"$faults"

echo "killed $killed of $total, survived ${#survivors[@]}"
[ ${#survivors[@]} -eq 0 ] || echo "survived: ${survivors[*]}"
[ ${#broken[@]} -eq 0 ] || echo "fix these entries: ${broken[*]}"
exit 0
