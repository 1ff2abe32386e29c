// A new virtual machine as DefineSystem makes it: the computer system, its settings and the default
// resources of its generation.
#pragma once

#include <string>
#include <string_view>

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

namespace HyperVSim {

// Defines a machine the way DefineSystem does, for the control interface. An empty
// `configurationDataRoot` means the host default. Throws std::invalid_argument for a name or generation
// that DefineSystem would refuse.
std::wstring defineMachine(HostState& state, std::wstring_view name, int generation,
                           std::wstring_view configurationDataRoot);

}  // namespace HyperVSim
