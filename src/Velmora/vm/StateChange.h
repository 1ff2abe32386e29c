// Asking Hyper-V to move a machine into another state through Msvm_ComputerSystem.RequestStateChange.
#pragma once

#include <cstdint>

namespace Velmora {

// Values of RequestedState as Hyper-V publishes them.
inline constexpr std::uint16_t requestedStateEnabled = 2;   // the machine runs
inline constexpr std::uint16_t requestedStateDisabled = 3;  // the machine is turned off (power-off)

// Starts COM, connects to the Hyper-V namespace and requests the state for the machine at `vmPath` (null
// allowed). True when the request was accepted, when the machine is in that state already (with a warning),
// or when a turn-off is requested for a machine that WMI does not find; no wait for the new state.
bool requestStateChange(const wchar_t* vmPath, std::uint16_t requestedState);

}  // namespace Velmora
