// The Hyper-V methods the host implements, each with the acceptances and refusals of a real host.
#pragma once

#include "model/Host.h"

namespace HyperVSim::hyperv {

// Msvm_VirtualSystemManagementService
MethodOutcome defineSystem(HostState& state, const Instance& target, const Instance& inParams);
MethodOutcome destroySystem(HostState& state, const Instance& target, const Instance& inParams);
MethodOutcome addResourceSettings(HostState& state, const Instance& target, const Instance& inParams);
MethodOutcome modifyResourceSettings(HostState& state, const Instance& target, const Instance& inParams);
// Msvm_ComputerSystem
MethodOutcome requestStateChange(HostState& state, const Instance& target, const Instance& inParams);

}  // namespace HyperVSim::hyperv
