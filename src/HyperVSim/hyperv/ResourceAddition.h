// AddResourceSettings for one embedded object: Hyper-V's checks, the new object's InstanceID and its place
// in the machine's configuration.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "hyperv/Outcomes.h"
#include "model/Host.h"

namespace HyperVSim::hyperv {

// Adds a copy of `requested` (values as the client sent them, InstanceID replaced) to the machine whose
// settings are `systemSettings`. Returns the new object's full path, or why Hyper-V refuses it.
std::variant<std::wstring, Rejection> addResource(HostState& state, const Instance& systemSettings,
                                                  const Instance& requested);

// The repository's lookup keys of a resource settings object: what its Parent names and, for a virtual hard
// disk, its image file. They let the checks above find a controller's drives, a drive's disk and the disk
// that holds a file without walking the machine or the host.
std::vector<std::wstring> resourceLookupKeys(const Instance& resource);

}  // namespace HyperVSim::hyperv
