// Where the simulated host keeps its state between two runs of the command.
#pragma once

#include <filesystem>

namespace VelmoraCommand {

// $XDG_STATE_HOME/velmora/host.json, or ~/.local/state/velmora/host.json when XDG_STATE_HOME is unset or not
// an absolute path (such a value is to be ignored). Throws BadInput when neither it nor HOME is usable.
std::filesystem::path defaultStatePath();

}  // namespace VelmoraCommand
