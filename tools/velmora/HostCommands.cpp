// velmora host show, reset, checkpoint, default-template and diff: the simulated host itself, beside the
// library.
#include <HyperVSim/Control.h>

#include <memory>
#include <stdexcept>

#include "BadInput.h"
#include "Command.h"
#include "ExitStatus.h"
#include "Failure.h"
#include "HostState.h"
#include "HostView.h"
#include "Machines.h"
#include "Output.h"
#include "StateLocation.h"
#include "Terminal.h"
#include "Text.h"

namespace VelmoraCommand {

// velmora host diff (HostDiffCommand.cpp).
Command addHostDiffCommand(CLI::App& host);

namespace {

constexpr const char* stateFileText =
    "The simulated host stands in for Hyper-V off Windows. It lives in the --state file, a JSON\n"
    "document that every command reads and every change replaces whole (written beside it, then renamed\n"
    "over it). Commands that change the host hold an exclusive lock on FILE.lock while they do; commands\n"
    "that only read (list, switches, memory, host show) take a shared one, and need no write access to\n"
    "the file or its folder (without a usable lock file they read without one: a reader always sees one\n"
    "whole state). A file that is damaged, empty or of another kind is refused, never overwritten:\n"
    "`velmora host reset --force` replaces it with a fresh host and keeps it beside as FILE.damaged.";

// These commands work on the simulated host itself, which a replay does not answer from.
void refuseReplay(const GlobalOptions& global, const char* command) {
    if (!global.replay.empty())
        throw BadInput(std::string("`host ") + command +
                       "` works on the simulated host itself; --replay answers the library from a trace");
}

struct ResetOptions {
    bool force = false;
    bool yes = false;
};

int reset(const GlobalOptions& global, const ResetOptions& options) {
    refuseReplay(global, "reset");
    const auto file = global.state.empty() ? defaultStatePath() : std::filesystem::path(global.state);
    if (!options.yes && isTerminal(Stream::Input) && isTerminal(Stream::Error) &&
        !confirm("Replace the simulated host in " + file.string() + " with a fresh one? Its machines are lost."))
        throw Failure("the host in " + file.string() +
                      " is left as it was: the reset was not confirmed (--yes "
                      "skips the question)");
    const auto kept = resetHostState(file, options.force);
    if (global.json) {
        nlohmann::json document = {{"ok", true}, {"state", file.string()}};
        if (kept) document["kept"] = kept->string();
        printJson(document);
    } else {
        printText("The host in " + file.string() + " is fresh." +
                  (kept ? " The file that was there is kept as " + kept->string() + "." : std::string()) + "\n");
    }
    return exitSuccess;
}

}  // namespace

std::vector<Command> addSimulatedHostCommands(CLI::App& parent) {
    auto* host = parent.add_subcommand(
        "host", "Show, reset or change the simulated Hyper-V host, or hold a trace against it");
    host->require_subcommand(1);
    describe(*host, stateFileText, "velmora host show");

    auto* show = host->add_subcommand("show", "Show the host's machines, switches and used memory");
    describe(*show,
             "Each machine with its state, memory, processors, network adapters and their switches,\n"
             "controllers and the images in their drives. The used memory is retrieveUsedMemory's figure.\n"
             "A tab or line end in a name is shown as \\t or \\n.",
             "velmora host show --json");

    auto options = std::make_shared<ResetOptions>();
    auto* reset = host->add_subcommand("reset", "Put a fresh default host into the state file");
    reset->add_flag("--force", options->force,
                    "Replace a file that is not a readable state file too, keeping it beside as FILE.damaged");
    reset->add_flag("-y,--yes", options->yes, "Do not ask for confirmation on a terminal");
    describe(*reset,
             "No machines; the two switches 'Default Switch' and 'External Switch'. On a terminal the\n"
             "command asks first; --yes skips the question, and a script (no terminal) is never asked.",
             "velmora host reset --state /tmp/host.json");

    auto machine = std::make_shared<std::string>();
    auto* checkpoint = host->add_subcommand("checkpoint", "Give a machine a checkpoint");
    checkpoint->add_option("machine", *machine, "The machine: its name or its path")
        ->required()
        ->type_name("MACHINE");
    describe(*checkpoint,
             "A second settings object of the machine, of type Microsoft:Hyper-V:Snapshot:Realized, which the\n"
             "host lists before the machine's own settings, as a real host may.",
             "velmora host checkpoint web-01");

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

    Command diff = addHostDiffCommand(*host);

    return {{checkpoint, HostUse::Changes,
             [machine](const GlobalOptions& global) {
                 refuseReplay(global, "checkpoint");
                 HostSession session;
                 const Machine found = resolveMachine(session, *machine, "host checkpoint");
                 std::wstring path;
                 try {
                     path = HyperVSim::Control::addCheckpoint(widen(found.path));
                 } catch (const std::invalid_argument&) {
                     throw BadInput("no machine has the path " + found.path);
                 }
                 if (global.json)
                     printJson({{"ok", true}, {"path", found.path}, {"checkpoint", narrow(path)}});
                 else
                     printText("Checkpoint " + narrow(path) + "\n");
                 return static_cast<int>(exitSuccess);
             }},
            {templates, HostUse::Changes,
             [order](const GlobalOptions& global) {
                 refuseReplay(global, "default-template");
                 HyperVSim::Control::setDefaultTemplateFirst(*order == "first");
                 if (global.json)
                     printJson({{"ok", true}, {"defaultTemplate", *order}});
                 else
                     printText("Each pool lists its default template " + *order + ".\n");
                 return static_cast<int>(exitSuccess);
             }},
            {show, HostUse::Reads,
             [](const GlobalOptions& global) {
                 refuseReplay(global, "show");
                 const auto snapshot = takeHostSnapshot();
                 // The used memory is the library's answer; when it has none, the library returned false.
                 if (!snapshot.usedMemory) {
                     if (!global.json) printText(hostText(snapshot, ""));
                     throw Failure(snapshot.memoryFailure, hostJson(snapshot));
                 }
                 if (global.json) {
                     auto document = hostJson(snapshot);
                     document["ok"] = true;
                     printJson(document);
                 } else {
                     printText(hostText(snapshot, ""));
                 }
                 return static_cast<int>(exitSuccess);
             }},
            {reset, HostUse::Own,
             [options](const GlobalOptions& global) { return VelmoraCommand::reset(global, *options); }},
            diff};
}

}  // namespace VelmoraCommand
