#!/usr/bin/env bash
# Runs the end-to-end benchmarks, each case in a process of its own so that its peak
# memory is its own, and writes them all to one JSON file that runs can be compared by.
# Captures are synthesized once into $VELKIN_BENCH_DATA (default: the temporary folder's
# velkin-bench; about 2 GB). Where python3-pandas is installed (install-deps.sh --bench), its read_csv of the
# high-speed CSV is timed in the same run, as the yardstick for text parsing.
#   scripts/bench.sh [build folder] [out.json] [repetitions]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath "${1:-$root/build}")"
out="${2:-bench.json}"
repetitions="${3:-5}"
bench="$build/bench/EndToEndBench"
parts="$(mktemp -d)"
trap 'rm -rf "$parts"' EXIT
data="${VELKIN_BENCH_DATA:-${TMPDIR:-/tmp}/velkin-bench}"
export VELKIN_BENCH_DATA="$data"

"$bench" --benchmark_filter='^Prepare' >/dev/null
i=0
for name in $("$bench" --benchmark_list_tests | grep -v '^Prepare'); do
    i=$((i + 1))
    "$bench" --benchmark_filter="^${name}\$" --benchmark_repetitions="$repetitions" \
        --benchmark_report_aggregates_only=true --benchmark_format=json \
        >"$parts/$(printf %03d $i).json"
done
# The batch of a hundred one-million-sample captures, one at a time and by two workers.
"$root/scripts/batch-bench.sh" "$build" 100 "$repetitions" >"$parts/batch.jsonl"

# The distribution's own Python, where python3-pandas is installed.
python="/usr/bin/python3"
[ -x "$python" ] || python=python3
"$python" - "$parts" "$out" "$data/hs_csv.csv" "$repetitions" <<'PY'
import glob, json, statistics, sys, time
parts, out, csv, repetitions = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
merged = None
for part in sorted(glob.glob(parts + "/*.json")):
    run = json.load(open(part))
    if merged is None:
        merged = run
    else:
        merged["benchmarks"] += run["benchmarks"]
merged["benchmarks"] += [json.loads(line) for line in open(parts + "/batch.jsonl") if line.strip()]
try:
    import pandas
    # The synthesizer's header rows come first: pandas parses the numbers alone.
    with open(csv) as f:
        for skip, line in enumerate(f):
            try:
                [float(x) for x in line.split(",")]
                break
            except ValueError:
                pass
    times = []
    for _ in range(repetitions):
        start = time.perf_counter()
        pandas.read_csv(csv, header=None, skiprows=skip, engine="c")
        times.append(time.perf_counter() - start)
    merged["benchmarks"].append({"name": "pandas_read_csv/hs_csv_median", "run_type": "aggregate",
                                 "aggregate_name": "median", "real_time": statistics.median(times) * 1e3,
                                 "time_unit": "ms"})
except ImportError:
    pass
json.dump(merged, open(out, "w"), indent=1)
for b in merged["benchmarks"]:
    if b.get("aggregate_name") == "median":
        extra = "".join(f"  {k}={b[k]:.1f}" for k in ("peak_rss_MB", "bytes_per_sample") if k in b)
        print(f'{b["name"]:40s} {b["real_time"]:10.1f} {b["time_unit"]}{extra}')
median = {b["name"]: b["real_time"] for b in merged["benchmarks"] if b.get("aggregate_name") == "median"}
csv_run = median.get("Analyse/hs_csv/real_time_median")
if csv_run and "pandas_read_csv/hs_csv_median" in median:
    print(f'hs_csv whole analysis / pandas.read_csv: {csv_run / median["pandas_read_csv/hs_csv_median"]:.3f}')
jobs = [median.get(f"Batch/100_hs_1M_csv/jobs{j}_median") for j in (1, 2)]
if all(jobs):
    print(f"batch of 100, --jobs 1 / --jobs 2: {jobs[0] / jobs[1]:.2f}")
PY
echo "written: $out"
