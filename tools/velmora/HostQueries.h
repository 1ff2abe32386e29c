// The two exports that ask the host about itself, with their results in the command's own types.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Switches.h"

namespace VelmoraCommand {

// Empty when the library function returned false.
std::optional<std::vector<Switch>> retrieveSwitches();
std::optional<std::uint64_t> retrieveUsedMemory();

}  // namespace VelmoraCommand
