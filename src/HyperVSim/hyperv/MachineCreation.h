// A new virtual machine as DefineSystem makes it: the computer system, its settings and the default
// resources of its generation.
#pragma once

#include <string>

#include "model/Host.h"

namespace HyperVSim::hyperv {

struct SettingsCheck {
    int generation = 0;
    std::wstring error;  // why Hyper-V refuses the settings; empty when they are acceptable
};

// Checks the Msvm_VirtualSystemSettingData a client wants a machine defined with.
SettingsCheck checkSystemSettings(const Instance& requested);

// Defines a machine from checked settings (the client's other values are kept); returns the full path of
// its Msvm_ComputerSystem.
std::wstring createMachine(HostState& state, const Instance& requested, int generation);

}  // namespace HyperVSim::hyperv
