// What ModifyResourceSettings accepts for a machine's memory and processors.
#pragma once

#include <optional>

#include "hyperv/Outcomes.h"
#include "model/Instance.h"

namespace HyperVSim::hyperv {

// Checks `changed`, the settings as they would be after the call, against the stored `current`. Returns
// ErrorCode 32773 for values the host cannot give the machine, 32775 for a size or count change while it
// runs, nothing when the change is acceptable.
std::optional<Rejection> checkResourceChange(const Instance& current, const Instance& changed, bool running);

}  // namespace HyperVSim::hyperv
