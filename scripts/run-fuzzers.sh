#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer, address and undefined-behaviour sanitizers) and runs each from its
# seed corpus in fuzz/corpus for a bounded time (FUZZ_SECONDS, default 45). A crash fails the script and
# leaves its input in build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-45}
cmake -S fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j2
mkdir -p build/fuzz/artifacts
for name in wql objectpath; do
    work=build/fuzz/corpus-$name
    mkdir -p "$work"
    echo "fuzzing $name for ${seconds}s"
    log=build/fuzz/$name.log
    if ! ./build/fuzz/fuzz_$name -max_total_time="$seconds" -artifact_prefix=build/fuzz/artifacts/ "$work" \
        "fuzz/corpus/$name" >"$log" 2>&1; then
        tail -40 "$log"
        exit 1
    fi
    grep -E '^Done' "$log"
done
