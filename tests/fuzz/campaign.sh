#!/usr/bin/env bash
# Fuzzes one target of a VELKIN_FUZZ build for a while, nice'd, going on past
# crashes, timeouts and running out of memory: findings land in
# <build>/fuzz-work/<target>/artifacts, the grown corpus in .../corpus, and its
# minimal subset (merged with the committed seeds) in .../merged, and in .../small the
# committed corpus plus the found inputs of at most 2 KB that add to it: the share
# worth committing.
# Usage: campaign.sh <build folder> <target> <seconds>
set -euo pipefail
build="$(cd "$1" && pwd)" target="$2" seconds="$3"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
case "$target" in
bin | wfm | trc | wfmbin) max=262144 ;;  # binary captures
*) max=65536 ;;                          # text captures and command lines
esac
work="$build/fuzz-work/$target"
mkdir -p "$work/corpus" "$work/artifacts"
export LSAN_OPTIONS="suppressions=$here/../lsan-suppressions.txt"
fuzz=("$build/tests/fuzz/fuzz_$target" -rss_limit_mb=2048 -timeout=10 -max_len=$max)
nice -n 10 "${fuzz[@]}" -max_total_time="$seconds" -fork=1 -ignore_crashes=1 \
    -ignore_timeouts=1 -ignore_ooms=1 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "$here/corpus/$target" >"$work/log" 2>&1 || true
rm -rf "$work/merged" && mkdir "$work/merged"
nice -n 10 "${fuzz[@]}" -merge=1 "$work/merged" "$here/corpus/$target" "$work/corpus" \
    >"$work/merge.log" 2>&1
rm -rf "$work/small" "$work/small-in" && mkdir "$work/small-in"
cp -r "$here/corpus/$target" "$work/small"
find "$work/merged" -type f -size -2049c -exec cp {} "$work/small-in" \;
nice -n 10 "${fuzz[@]}" -merge=1 "$work/small" "$work/small-in" >"$work/small.log" 2>&1
grep -E '^#[0-9]+: cov' "$work/log" | tail -1
ls "$work/artifacts"
