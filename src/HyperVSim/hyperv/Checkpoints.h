// Checkpoints of a machine: settings of the machine as they were, kept beside its own.
#pragma once

#include <string>

#include "model/Host.h"

namespace HyperVSim::hyperv {

// Adds a checkpoint of the machine: a copy of its settings of type "Microsoft:Hyper-V:Snapshot:Realized",
// linked to the machine by Msvm_SnapshotOfVirtualSystem so that the machine's associators list it before
// its own settings, as a real host may. Returns the checkpoint's full path.
std::wstring createCheckpoint(HostState& state, const Instance& machine);

}  // namespace HyperVSim::hyperv
