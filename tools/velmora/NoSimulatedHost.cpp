// On Windows the library talks to Hyper-V itself: no state file, no simulated host to show or reset.
#include "SimulatedHost.h"

namespace VelmoraCommand {

void addSimulatedHostOption(CLI::App&, GlobalOptions&) {}
void addSimulatedHostCommands(CLI::App&, std::vector<Command>&) {}
void prepareHost(HostUse, const GlobalOptions&) {}
const char* stateOptionNote() {
    return "";
}

}  // namespace VelmoraCommand
