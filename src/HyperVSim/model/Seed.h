// The default host: the host computer system, the management service, two switches, host memory in two
// NUMA nodes plus the aggregate, and the primordial resource pools with capabilities and templates.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/Host.h"

namespace HyperVSim {

inline constexpr unsigned hostLogicalProcessors = 16;
inline constexpr std::uint64_t hostMemoryMiB = 64 * 1024;

// Clears the state (GUID counter included) and puts the default host in place.
void seedDefaultHost(HostState& state);

// Adds an Msvm_VirtualEthernetSwitch; returns its full path.
std::wstring addSwitch(HostState& state, std::wstring_view name);

// Adds a primordial Msvm_ResourcePool with its Msvm_AllocationCapabilities and the four templates of
// `templateClass`; returns the pool's full path.
std::wstring addPrimordialPool(HostState& state, std::uint16_t resourceType, std::wstring_view resourceSubType,
                               std::wstring_view templateClass);

// Reorders every capabilities' Msvm_SettingsDefineCapabilities so that References queries yield the
// Default template first (true) or last (false).
void setDefaultTemplateFirst(HostState& state, bool first);

}  // namespace HyperVSim
