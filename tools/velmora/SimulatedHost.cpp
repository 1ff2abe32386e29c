#include "SimulatedHost.h"

#include "HostState.h"
#include "StateLocation.h"
#include "Validators.h"

namespace VelmoraCommand {

std::vector<Command> addHostCommands(CLI::App& parent);
Command addTourCommand(CLI::App& parent);

namespace {

std::filesystem::path stateFile(const GlobalOptions& global) {
    return global.state.empty() ? defaultStatePath() : std::filesystem::path(global.state);
}

}  // namespace

void addSimulatedHostOption(CLI::App& app, GlobalOptions& global) {
    app.add_option("--state", global.state,
                   "State file of the simulated host (default: $XDG_STATE_HOME/velmora/host.json, or\n"
                   "~/.local/state/velmora/host.json); FILE.lock beside it is its lock")
        ->type_name("FILE")
        ->check(notEmptyValidator("the state file's name"));
}

void addSimulatedHostCommands(CLI::App& app, std::vector<Command>& commands) {
    for (auto& command : addHostCommands(app)) commands.push_back(std::move(command));
    commands.push_back(addTourCommand(app));
}

void prepareHost(HostUse use, const GlobalOptions& global) {
    if (use == HostUse::Reads) openHostState(stateFile(global), StateUse::Read);
    if (use == HostUse::Changes) openHostState(stateFile(global), StateUse::Change);
}

const char* stateOptionNote() {
    return ", --state FILE";
}

}  // namespace VelmoraCommand
