#!/usr/bin/env bash
# Resident memory of orvane over a wildcard batch of many small captures. A batch
# must run in constant memory: the RSS after the last file should match the RSS
# after the first few.
#
#   bench/batch_rss.sh [orvane] [capture.csv] [count]
#
# Without a capture, the shipped examples/hs_pass.csv is used: it passes "hsne",
# so every file of the batch goes through measurement, report, both plots and
# the batch summary ("/s"), the whole path whose memory must not grow. Prints
# the RSS samples taken near the start and the end of the batch, and the peak.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
orvane="${1:-$root/build/frontend/orvane}"
capture="${2:-$root/examples/hs_pass.csv}"
count="${3:-1000}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

mkdir "$work/caps"
for ((i = 0; i < count; i++)); do
    cp "$capture" "$(printf '%s/caps/capture_%04d.csv' "$work" "$i")"
done

# Each analysed file leaves one line starting "Analyzed" or "****" in the log.
files_done() {
    local log
    for log in "$work"/caps/*.log; do
        if [[ -e "$log" ]]; then
            # grep -c prints 0 itself when nothing matches yet.
            grep -c -E '^(Analyzed|\*\*\*\*)' "$log" || true
            return
        fi
    done
    echo 0
}
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || true; }

env -u DISPLAY -u WAYLAND_DISPLAY "$orvane" "usbsigcheck,$work/caps/*.csv,hsne" /q /s 2> "$work/stderr" &
pid=$!
# The first tenth of the batch loads fonts and fills the allocator's pools; from
# then on the RSS may only wander within the pools, never climb with the count.
warm=$((count / 10 > 10 ? count / 10 : 10))
start_files="" start_rss="" end_files="" end_rss="" peak=0 low="" high=0
while kill -0 "$pid" 2> /dev/null; do
    rss="$(rss_kb "$pid")"
    done_now="$(files_done)"
    if [[ -n "$rss" ]]; then
        ((rss > peak)) && peak=$rss
        if [[ -z "$start_rss" && "$done_now" -ge "$warm" ]]; then
            start_files=$done_now start_rss=$rss
        fi
        if [[ -n "$start_rss" ]]; then
            ((rss > high)) && high=$rss
            [[ -z "$low" || "$rss" -lt "$low" ]] && low=$rss
        fi
        if [[ "$done_now" -lt "$count" ]]; then end_files=$done_now end_rss=$rss; fi
    fi
    sleep 0.01
done
wait "$pid" || true

analysed="$(grep -c '^Analyzed' "$work"/caps/*.log || true)"
echo "files in batch:        $count ($(files_done) logged, $analysed analysed to the end)"
echo "RSS after ${start_files:-?} files:  ${start_rss:-?} kB"
echo "RSS after ${end_files:-?} files:  ${end_rss:-?} kB"
echo "RSS range after warm-up: ${low:-?} .. $high kB"
echo "peak RSS sampled:      $peak kB"
if [[ -n "$start_rss" && -n "$end_rss" ]]; then
    echo "growth:                $((end_rss - start_rss)) kB"
fi
