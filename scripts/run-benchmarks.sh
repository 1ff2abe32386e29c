#!/usr/bin/env bash
# Builds the optimised build (release preset), runs the benchmarks with JSON output, counts instructions of
# each export under callgrind (twice, to show they are stable) and writes docs/performance.md.
#
# BENCH_MIN_TIME (seconds per benchmark, default 0.2) shortens or lengthens the timed runs.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build="$root/build/release"
out="$build/bench-results"
min_time="${BENCH_MIN_TIME:-0.2}"
exports=(createVM deleteVM startVM stopVM setDiskImages retrieveAvailableNetworkAdapters retrieveUsedMemory)

cmake --preset release
cmake --build --preset release --target velmora_bench velmora_callgrind_driver

rm -rf "$out"
mkdir -p "$out/callgrind"
uptime > "$out/load-before.txt"

"$build/bin/velmora_bench" --benchmark_min_time="$min_time" \
    --benchmark_out="$out/benchmarks.json" --benchmark_out_format=json

for run in 1 2; do
    for name in "${exports[@]}"; do
        valgrind --tool=callgrind --collect-atstart=no --toggle-collect=measuredCall \
            --callgrind-out-file="$out/callgrind/$name.$run.out" \
            "$build/bin/velmora_callgrind_driver" "$name" > /dev/null 2> "$out/callgrind/$name.$run.log"
    done
done
uptime > "$out/load-after.txt"

python3 "$root/scripts/perf-report.py" --build "$build" --results "$out" --output "$root/docs/performance.md"
echo "wrote docs/performance.md"
