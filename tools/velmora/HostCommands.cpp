// velmora host show, velmora host reset: the simulated host itself, beside the library.
#include "Command.h"
#include "ExitStatus.h"
#include "HostState.h"
#include "HostView.h"
#include "Output.h"
#include "StateLocation.h"

namespace VelmoraCommand {

std::vector<Command> addHostCommands(CLI::App& parent) {
    auto* host = parent.add_subcommand("host", "Show or reset the simulated Hyper-V host");
    host->require_subcommand(1);
    describe(*host, "The simulated host stands in for Hyper-V off Windows; it lives in the --state file.",
             "velmora host show");

    auto* show = host->add_subcommand("show", "Show the host's machines, switches and used memory");
    describe(*show,
             "Each machine with its state, memory, processors, network adapters and their switches,\n"
             "controllers and the images in their drives. The used memory is retrieveUsedMemory's figure.",
             "velmora host show --json");

    auto* reset = host->add_subcommand("reset", "Put a fresh default host into the state file");
    describe(*reset, "No machines; the two switches 'Default Switch' and 'External Switch'.",
             "velmora host reset --state /tmp/host.json");

    return {{show, HostUse::StateFile,
             [](const GlobalOptions& global) {
                 const auto snapshot = takeHostSnapshot();
                 if (global.json) {
                     auto document = hostJson(snapshot);
                     document["ok"] = snapshot.usedMemory.has_value();
                     printJson(document);
                 } else {
                     printText(hostText(snapshot, ""));
                 }
                 // The used memory is the library's answer; when it has none, the library returned false.
                 if (!snapshot.usedMemory) return reportFailure(false, "retrieveUsedMemory");
                 return static_cast<int>(exitSuccess);
             }},
            {reset, HostUse::Own, [](const GlobalOptions& global) {
                 const auto file = global.state.empty() ? defaultStatePath() : std::filesystem::path(global.state);
                 resetHostState(file);
                 if (global.json)
                     printJson({{"ok", true}, {"state", file.string()}});
                 else
                     printText("The host in " + file.string() + " is fresh.\n");
                 return static_cast<int>(exitSuccess);
             }}};
}

}  // namespace VelmoraCommand
