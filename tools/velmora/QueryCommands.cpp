// velmora switches, velmora memory
#include "Command.h"
#include "ExitStatus.h"
#include "HostQueries.h"
#include "Output.h"
#include "Sizes.h"

namespace VelmoraCommand {

Command addSwitchesCommand(CLI::App& parent) {
    auto* app = parent.add_subcommand("switches", "List the host's virtual switches: name and path");
    describe(*app,
             "Calls retrieveAvailableNetworkAdapters. Either column can be given to `velmora create --switch`.",
             "velmora switches --json");
    return {app, HostUse::Reads, [](const GlobalOptions& global) {
                const auto switches = retrieveSwitches();
                if (global.json) {
                    nlohmann::json list = nlohmann::json::array();
                    for (const auto& s : switches) list.push_back({{"name", s.name}, {"path", s.path}});
                    printJson({{"ok", true}, {"switches", list}});
                } else {
                    printText(switchTable(switches, ""));
                }
                return static_cast<int>(exitSuccess);
            }};
}

Command addMemoryCommand(CLI::App& parent) {
    auto* app = parent.add_subcommand("memory", "Show the host's used memory");
    describe(*app,
             "Calls retrieveUsedMemory: BlockSize x NumberOfBlocks summed over the host's Msvm_Memory\n"
             "objects that the library counts.",
             "velmora memory");
    return {app, HostUse::Reads, [](const GlobalOptions& global) {
                const auto bytes = retrieveUsedMemory();
                if (global.json)
                    printJson({{"ok", true}, {"usedMemoryBytes", bytes}});
                else
                    printText(describeSize(bytes) + "\n");
                return static_cast<int>(exitSuccess);
            }};
}

}  // namespace VelmoraCommand
