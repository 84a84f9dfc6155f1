#!/usr/bin/env bash
# Times a batch of one-million-sample high-speed captures run one at a time and by
# worker processes, checks that both leave the same console lines, log lines, batch
# summary and reports (time stamps aside), and prints the medians as JSON benchmark
# entries for scripts/bench.sh to merge.
#   scripts/batch-bench.sh [build folder] [captures] [repetitions]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath "${1:-$root/build}")"
count="${2:-100}"
repetitions="${3:-3}"
orvane="$build/frontend/orvane"
synth="$build/tools/synth/velkin-synth"
data="${VELKIN_BENCH_DATA:-${TMPDIR:-/tmp}/velkin-bench}/batch$count"
runs="$(mktemp -d)"
trap 'rm -rf "$runs"' EXIT

mkdir -p "$data"
for i in $(seq 1 "$count"); do
    capture="$data/$(printf 'cap%03d' "$i").csv"
    [ -f "$capture" ] || "$synth" hs -o "$capture" --packets 0 --samples 1000000 --seed "$i" >/dev/null
done

# One run: outputs into their own folder, so the data folder stays as it was.
run() {
    local jobs="$1" out="$2"
    rm -rf "$out" && mkdir -p "$out"
    (cd "$data" && "$orvane" --jobs "$jobs" -q -s -o "$out" usbsigcheck --test hsne '*.csv' \
        >"$out.console" 2>&1) || true
}

# The two ways take turns, so a machine that slows down for a while slows both alike.
declare -A medians times
for r in $(seq 1 "$repetitions"); do
    for jobs in 1 2; do
        start=$(date +%s%N)
        run "$jobs" "$runs/jobs$jobs"
        times[$jobs]+="$(( ($(date +%s%N) - start) / 1000000 )) "
    done
done
for jobs in 1 2; do
    medians[$jobs]=$(printf '%s\n' ${times[$jobs]} | sort -n | sed -n "$(( (repetitions + 1) / 2 ))p")
done

# Same outputs: every file byte for byte, apart from each report's time stamp and the
# log's time-stamped name.
one="$runs/jobs1" two="$runs/jobs2"
diff <(cd "$one" && ls | sed 's/^usbsigcheck_.*\.log$/batch.log/' | sort) \
     <(cd "$two" && ls | sed 's/^usbsigcheck_.*\.log$/batch.log/' | sort) >&2
diff -r -I 'Analysis performed' -x '*.log' "$one" "$two" >&2
diff "$one"/*.log "$two"/*.log >&2
diff "$one.console" "$two.console" >&2
echo "batch of $count: --jobs 1 ${medians[1]} ms, --jobs 2 ${medians[2]} ms, outputs identical" >&2
for jobs in 1 2; do
    printf '{"name": "Batch/%s_hs_1M_csv/jobs%s_median", "run_type": "aggregate", "aggregate_name": "median", "real_time": %s, "time_unit": "ms"}\n' \
        "$count" "$jobs" "${medians[$jobs]}"
done
