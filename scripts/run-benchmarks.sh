#!/usr/bin/env bash
# Builds the optimised build (release preset), runs the benchmarks with JSON output, counts instructions of
# each export under callgrind (twice, to show they are stable) and writes docs/performance.md.
#
# BENCH_MIN_TIME (seconds per benchmark, default 0.2) shortens or lengthens the timed runs; each benchmark
# runs BENCH_REPETITIONS times (default 5) and the report takes the median, so that one run disturbed by
# the other work of a shared machine does not decide a figure.
# BENCH_BUILD_DIR builds in that directory instead (configured as the release preset is), for a machine where
# build/release belongs to someone else.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build="${BENCH_BUILD_DIR:-$root/build/release}"
out="$build/bench-results"
min_time="${BENCH_MIN_TIME:-0.2}"
repetitions="${BENCH_REPETITIONS:-5}"
exports=(createVM deleteVM startVM stopVM setDiskImages retrieveAvailableNetworkAdapters retrieveUsedMemory)

if [[ -n "${BENCH_BUILD_DIR:-}" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_BENCH=ON
    cmake --build "$build" -j2 --target velmora_bench velmora_callgrind_driver
else
    cmake --preset release
    cmake --build --preset release --target velmora_bench velmora_callgrind_driver
fi

rm -rf "$out"
mkdir -p "$out/callgrind"
uptime > "$out/load-before.txt"

# Each benchmark family runs in a process of its own: a walk over 100,000 instances leaves the C library's
# heap in a shape that slows whatever runs after it in the same process. Within a family the runs of its sizes
# are interleaved in random order, so that a spell in which the shared machine is slower falls on all sizes
# alike instead of on one, which would skew the cost per item of the largest against the smallest.
start=$(date +%s)
families=$("$build/bin/velmora_bench" --benchmark_list_tests | sed 's#/.*##' | uniq)
number=0
for family in $families; do
    number=$((number + 1))
    "$build/bin/velmora_bench" --benchmark_filter="^$family(/|\$)" --benchmark_min_time="$min_time" \
        --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
        --benchmark_out="$out/benchmarks-$(printf %02d $number)-$family.json" \
        --benchmark_out_format=json
done
echo "$(($(date +%s) - start))" > "$out/benchmark-seconds.txt"

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
