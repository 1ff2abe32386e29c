#!/usr/bin/env bash
# Builds the fuzzers with the fuzz preset (clang, libFuzzer, address and undefined-behaviour sanitizers) and runs
# each from its seed corpus in fuzz/corpus for FUZZ_SECONDS (default 30), two at a time on one thread each, then
# prints how many inputs each one ran. A crash fails the script and leaves its input in <build>/artifacts.
# FUZZ_BUILD_DIR builds somewhere else than the preset's build/fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-30}
build=${FUZZ_BUILD_DIR:-build/fuzz}
fuzzers=(wql objectpath cimxml embedded)

# A directory configured from fuzz/ alone, as the fuzzers were built before they joined the project, cannot be
# configured from the top again.
if grep -qs '^CMAKE_HOME_DIRECTORY:INTERNAL=.*/fuzz$' "$build/CMakeCache.txt"; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
if [ "$build" = build/fuzz ]; then
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz
else
    cmake --preset fuzz -B "$build" >/dev/null
    cmake --build "$build" --target fuzzers -j2
fi
mkdir -p "$build/artifacts"

start() {
    local name=$1
    mkdir -p "$build/corpus-$name"
    "$build/bin/fuzz_$name" -max_total_time="$seconds" -artifact_prefix="$build/artifacts/$name-" \
        "$build/corpus-$name" "fuzz/corpus/$name" >"$build/$name.log" 2>&1
}

# Prints the fuzzer's execution count, or the end of its log when it failed.
report() {
    local name=$1 status=$2
    local log=$build/$name.log
    if [ "$status" -ne 0 ]; then
        echo "fuzz_$name failed:"
        tail -40 "$log"
        return 1
    fi
    sed -nE "s/^Done ([0-9]+) runs in ([0-9]+) second.*/fuzz_$name: \1 executions in \2 s/p" "$log"
}

echo "fuzzing ${fuzzers[*]} for ${seconds}s each, two at a time"
failed=0
for ((i = 0; i < ${#fuzzers[@]}; i += 2)); do
    pair=("${fuzzers[@]:i:2}")
    pids=()
    for name in "${pair[@]}"; do
        start "$name" &
        pids+=($!)
    done
    for j in "${!pair[@]}"; do
        status=0
        wait "${pids[j]}" || status=$?
        report "${pair[j]}" "$status" || failed=1
    done
done
exit "$failed"
