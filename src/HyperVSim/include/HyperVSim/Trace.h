// What Control's trace functions (record, replay, diffTrace) report; the format is described in
// docs/traces.md.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace HyperVSim {

// A trace that cannot be written or read: names the file and, for a trace being read, the line and what is
// wrong with it.
class TraceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One call of a trace that the simulated host's model answers differently from the recorded host.
struct TraceDifference {
    std::size_t position = 0;               // of the call in the trace, from 1
    std::wstring call;                      // e.g. IWbemServices::GetObject(path "...", flags 0)
    std::vector<std::wstring> differences;  // one line for each thing that differs
};

}  // namespace HyperVSim
