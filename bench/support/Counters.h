// Benchmark counters shared by the benchmark files: round trips next to the required count, and failures.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <functional>

#include "support/RoundTrips.h"

namespace VelmoraBench {

// Counts the round trips of one call of `call` (outside the timed loop) and records them with the
// required count as the counters round_trips and required.
inline void recordRoundTrips(benchmark::State& state, std::size_t requiredCount,
                             const std::function<bool()>& call) {
    bool succeeded = true;
    const auto counted = countRoundTrips([&] { succeeded = call(); });
    if (!succeeded) state.SkipWithError("the export failed while its round trips were counted");
    state.counters["round_trips"] = static_cast<double>(counted);
    state.counters["required"] = static_cast<double>(requiredCount);
}

// Ends the benchmark with an error when an export returned false inside the timed loop.
inline void expectSuccess(benchmark::State& state, bool succeeded) {
    if (!succeeded) state.SkipWithError("the export returned false");
}

}  // namespace VelmoraBench
