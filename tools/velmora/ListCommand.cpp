// velmora list: every machine with its name, state and path, as Get-VM or `virsh list --all` give them.
#include <algorithm>

#include "Command.h"
#include "ExitStatus.h"
#include "HostSession.h"
#include "Machines.h"
#include "Output.h"
#include "Text.h"

namespace VelmoraCommand {
namespace {

std::string table(const std::vector<MachineRecord>& machines) {
    std::size_t nameWidth = 0;
    std::size_t stateWidth = 0;
    for (const auto& m : machines) {
        nameWidth = std::max(nameWidth, displayWidth(oneLine(m.name)));
        stateWidth = std::max(stateWidth, stateName(m.enabledState).size());
    }
    std::string text;
    for (const auto& m : machines) {
        const std::string name = oneLine(m.name);
        const std::string state = stateName(m.enabledState);
        text += name + std::string(nameWidth - displayWidth(name) + 2, ' ') + state +
                std::string(stateWidth - state.size() + 2, ' ') + m.path + "\n";
    }
    return text;
}

}  // namespace

Command addListCommand(CLI::App& parent) {
    auto* app = parent.add_subcommand("list", "List the machines: name, state and path");
    describe(*app,
             "Reads every Msvm_ComputerSystem of the host but the hosting computer itself, sorted by name.\n"
             "A tab or line end in a name is shown as \\t or \\n.",
             "velmora list --json");
    return {app, HostUse::Reads, [](const GlobalOptions& global) {
                HostSession host;
                auto machines = host.machines();
                std::stable_sort(machines.begin(), machines.end(),
                                 [](const MachineRecord& a, const MachineRecord& b) { return a.name < b.name; });
                if (global.json) {
                    nlohmann::json list = nlohmann::json::array();
                    for (const auto& m : machines)
                        list.push_back({{"name", m.name},
                                        {"state", stateName(m.enabledState)},
                                        {"enabledState", m.enabledState},
                                        {"path", m.path}});
                    printJson({{"ok", true}, {"machines", list}});
                } else {
                    printText(table(machines));
                }
                return static_cast<int>(exitSuccess);
            }};
}

}  // namespace VelmoraCommand
