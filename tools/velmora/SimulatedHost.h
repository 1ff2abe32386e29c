// Off Windows the library talks to the simulated Hyper-V host, which the command keeps in a state file: the
// --state option, the `host` commands and the tour on a host of its own. On Windows the library talks to
// Hyper-V itself, and none of these exist (NoSimulatedHost.cpp).
#pragma once

#include <vector>

#include "Command.h"

namespace VelmoraCommand {

void addSimulatedHostOption(CLI::App& app, GlobalOptions& global);
void addSimulatedHostCommands(CLI::App& app, std::vector<Command>& commands);
// Makes the host ready for a command that uses it as `use` says; throws BadInput when it cannot be.
void prepareHost(HostUse use, const GlobalOptions& global);
// "--state FILE" where the global options are listed, empty where there is no state file.
const char* stateOptionNote();

}  // namespace VelmoraCommand
