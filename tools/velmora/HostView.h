// What `velmora host show` and the tour show of the simulated host: its machines with their devices, its
// switches and its used memory.
#pragma once

#include <HyperVSim/Control.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace VelmoraCommand {

struct HostSnapshot {
    std::vector<HyperVSim::MachineView> machines;
    std::vector<HyperVSim::SwitchView> switches;
    std::optional<std::uint64_t> usedMemory;  // empty when retrieveUsedMemory returned false
    std::string memoryFailure;                // then: why
};

// Inspects the host through its control interface; the used memory comes from retrieveUsedMemory, the same
// figure that `velmora memory` reports.
HostSnapshot takeHostSnapshot();

// Paths of adapters, controllers and drives are left out: they carry GUIDs that the library generates, which
// would make two equal hosts look different. In text, names show control characters as escapes (oneLine).
nlohmann::json hostJson(const HostSnapshot& host);
std::string hostText(const HostSnapshot& host, const std::string& indent);

}  // namespace VelmoraCommand
