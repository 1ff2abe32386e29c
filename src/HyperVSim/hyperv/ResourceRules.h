// What ModifyResourceSettings (and DefineSystem, for the settings it is given) accepts for a machine's
// memory and processors.
#pragma once

#include <optional>

#include "hyperv/Outcomes.h"
#include "model/CimConversion.h"
#include "model/Instance.h"

namespace HyperVSim::hyperv {

// `current` with the properties the client named in `sent` taken over, InstanceID excepted (it chose the
// target). Only what differs is taken over, so that an object sent back unchanged leaves it as it was.
Instance withChanges(const Instance& current, const ConvertedInstance& sent);

// Checks `changed`, the settings as they would be after the call, against the stored `current`. Returns
// ErrorCode 32773 for values the host cannot give the machine, 32775 for a size or count change while it
// runs, nothing when the change is acceptable.
std::optional<Rejection> checkResourceChange(const Instance& current, const Instance& changed, bool running);

}  // namespace HyperVSim::hyperv
