// The simulated host behind the library, backed by a state file so that one run of the command sees what the
// run before it did.
#pragma once

#include <filesystem>
#include <optional>

namespace VelmoraCommand {

enum class StateUse { Read, Change };

// Loads the host from `file`; a file that does not exist yet starts a fresh default host, which is written
// only by a command that changes the host. A command that only reads needs no write access to the file or
// its folder. Throws BadInput when the file cannot be used, saying how to recover from a damaged one.
void openHostState(const std::filesystem::path& file, StateUse use);

// Puts a fresh default host into `file`. A file that exists must be a state file; with `force` one that is
// not is kept beside it (returned) and replaced.
std::optional<std::filesystem::path> resetHostState(const std::filesystem::path& file, bool force);

}  // namespace VelmoraCommand
