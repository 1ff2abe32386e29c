// velmora host show, reset, checkpoint and default-template: the simulated host itself, beside the library.
#include <HyperVSim/Control.h>

#include <memory>
#include <stdexcept>

#include "BadInput.h"
#include "Command.h"
#include "ExitStatus.h"
#include "HostState.h"
#include "HostView.h"
#include "Output.h"
#include "StateLocation.h"
#include "Text.h"

namespace VelmoraCommand {

std::vector<Command> addHostCommands(CLI::App& parent) {
    auto* host = parent.add_subcommand("host", "Show, reset or change the simulated Hyper-V host");
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

    auto machine = std::make_shared<std::string>();
    auto* checkpoint = host->add_subcommand("checkpoint", "Give a machine a checkpoint");
    checkpoint->add_option("machine", *machine, "The machine's path, as `velmora create` printed it")
        ->required()
        ->type_name("PATH");
    describe(*checkpoint,
             "A second settings object of the machine, of type Microsoft:Hyper-V:Snapshot:Realized, which the\n"
             "host lists before the machine's own settings, as a real host may.",
             "velmora host checkpoint \"$vm\"");

    auto order = std::make_shared<std::string>();
    auto* templates = host->add_subcommand("default-template", "List each pool's default template first or last");
    templates->add_option("position", *order, "first or last")
        ->required()
        ->check(CLI::IsMember({"first", "last"}))
        ->type_name("first|last");
    describe(*templates,
             "Where the Default template comes among the templates of each pool's capabilities, which a real\n"
             "host does not promise. A fresh host lists it first.",
             "velmora host default-template last");

    return {{checkpoint, HostUse::StateFile,
             [machine](const GlobalOptions& global) {
                 std::wstring path;
                 try {
                     path = HyperVSim::Control::addCheckpoint(widen(*machine));
                 } catch (const std::invalid_argument&) {
                     throw BadInput("no machine has the path " + *machine);
                 }
                 if (global.json)
                     printJson({{"ok", true}, {"path", *machine}, {"checkpoint", narrow(path)}});
                 else
                     printText("Checkpoint " + narrow(path) + "\n");
                 return static_cast<int>(exitSuccess);
             }},
            {templates, HostUse::StateFile,
             [order](const GlobalOptions& global) {
                 HyperVSim::Control::setDefaultTemplateFirst(*order == "first");
                 if (global.json)
                     printJson({{"ok", true}, {"defaultTemplate", *order}});
                 else
                     printText("Each pool lists its default template " + *order + ".\n");
                 return static_cast<int>(exitSuccess);
             }},
            {show, HostUse::StateFile,
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
