// The two exports that ask the host about itself, with their results in the command's own types. When the
// library returns false they throw Failure with its reason.
#pragma once

#include <cstdint>
#include <vector>

#include "Switches.h"

namespace VelmoraCommand {

std::vector<Switch> retrieveSwitches();
std::uint64_t retrieveUsedMemory();

}  // namespace VelmoraCommand
