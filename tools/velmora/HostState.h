// The simulated host behind the library, backed by a state file so that one run of the command sees what the
// run before it did.
#pragma once

#include <filesystem>

namespace VelmoraCommand {

// Loads the host from `file`; a file that does not exist yet starts a fresh default host and is written.
// Throws BadInput when the file cannot be used.
void openHostState(const std::filesystem::path& file);

// Puts a fresh default host into `file`. A file that exists must be a state file: anything else is refused
// rather than overwritten.
void resetHostState(const std::filesystem::path& file);

}  // namespace VelmoraCommand
