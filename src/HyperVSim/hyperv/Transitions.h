// State changes that take time: the machine is starting or stopping until the change's end, which the host
// applies the next time it is read or written after that moment.
#pragma once

#include <string>

#include "model/Host.h"

namespace HyperVSim::hyperv {

// Puts the machine into starting or stopping, records the transition to `to` and answers 4096 with a job
// that runs until the plan's time has passed.
MethodOutcome startTransition(HostState& state, const Instance& machine, std::int64_t to,
                              const StateChangePlan& plan);

// The ErrorDescription of a failed change, in the host's words.
std::wstring changeFailure(const Instance& machine, std::int64_t to);

}  // namespace HyperVSim::hyperv
