// AddResourceSettings for one embedded object: Hyper-V's checks, the new object's InstanceID and its place
// in the machine's configuration.
#pragma once

#include <string>
#include <variant>

#include "hyperv/Outcomes.h"
#include "model/Host.h"

namespace HyperVSim::hyperv {

// Adds a copy of `requested` (values as the client sent them, InstanceID replaced) to the machine whose
// settings are `systemSettings`. Returns the new object's full path, or why Hyper-V refuses it.
std::variant<std::wstring, Rejection> addResource(HostState& state, const Instance& systemSettings,
                                                  const Instance& requested);

}  // namespace HyperVSim::hyperv
