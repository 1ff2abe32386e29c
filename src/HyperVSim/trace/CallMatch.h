// Whether a call is the one a trace holds at its place, and how calls are named in messages.
#pragma once

#include <optional>
#include <string>

#include "trace/ObjectComparison.h"
#include "trace/TraceCall.h"

namespace HyperVSim {

// "IWbemServices::GetObject on #3 (path "\\HOST\...", flags 0)"; objects by their class.
std::wstring describeCall(const TraceCall& call);

// Why `actual` is not the recorded call: another interface or method, another object called, or an argument
// that differs (objects by their content); nullopt when it is that call.
std::optional<std::wstring> callDifference(const TraceCall& actual, const TraceCall& recorded,
                                           const SameText& same);

}  // namespace HyperVSim
