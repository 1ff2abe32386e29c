// velmora start, velmora stop, velmora delete: one library call on a machine each, then a wait until the
// machine is where it was sent.
#include <chrono>
#include <memory>

#include "Command.h"
#include "ExitStatus.h"
#include "Failure.h"
#include "HostSession.h"
#include "LibraryCall.h"
#include "LogSink.h"
#include "Machines.h"
#include "Output.h"
#include "Terminal.h"
#include "Text.h"
#include "Validators.h"
#include "Waiting.h"

namespace VelmoraCommand {
namespace {

using MachineFunction = bool (*)(Velmora::LogCallback, const wchar_t*);

struct Lifecycle {
    const char* name;
    const char* summary;
    const char* details;
    const char* function;
    MachineFunction call;
    Goal goal;
    const char* done;       // "Started"
    const char* requested;  // "Start"
    bool confirms;          // asks on a terminal first
};

struct LifecycleOptions {
    std::string machine;
    unsigned timeout = 60;
    bool noWait = false;
    bool yes = false;
};

constexpr unsigned longestWait = 24 * 60 * 60;

void confirmDeletion(const Machine& machine, const LifecycleOptions& options) {
    // Only a person at a terminal is asked; a script (input or error stream not a terminal) is not.
    if (options.yes || !isTerminal(Stream::Input) || !isTerminal(Stream::Error)) return;
    if (!confirm("Delete " + machine.display + " (" + machine.path +
                 ")? Its configuration is removed; its disk image files stay."))
        throw Failure(
            machine.display + " is not deleted: the deletion was not confirmed (--yes skips the question)",
            {{"path", machine.path}});
}

int change(const Lifecycle& lifecycle, const LifecycleOptions& options, const GlobalOptions& global) {
    HostSession host;
    const Machine machine = resolveMachine(host, options.machine, lifecycle.name);
    nlohmann::json result = {{"machine", machine.display}, {"path", machine.path}};
    if (lifecycle.confirms) confirmDeletion(machine, options);

    const LibraryCall call(lifecycle.function, machine.subject());
    if (!lifecycle.call(logSink, widen(machine.path).c_str())) call.failed(result);

    std::string text;
    if (options.noWait) {
        text = std::string(lifecycle.requested) + " of " + machine.display +
               " accepted by Hyper-V; not waited for (--no-wait)";
    } else {
        const WaitOutcome outcome = waitFor(host, machine, lifecycle.goal, std::chrono::seconds(options.timeout));
        result["state"] = outcome.enabledState ? stateName(*outcome.enabledState) : "gone";
        if (!outcome.reached) throw Failure(outcome.problem, result);
        text = std::string(lifecycle.done) + " " + machine.display;
        if (lifecycle.goal == Goal::Off && !outcome.enabledState) text += " (it no longer exists)";
    }
    if (global.json) {
        result["ok"] = true;
        printJson(result);
    } else {
        printText(text + "\n");
    }
    return exitSuccess;
}

Command addLifecycleCommand(CLI::App& parent, const Lifecycle& lifecycle) {
    auto options = std::make_shared<LifecycleOptions>();
    auto* app = parent.add_subcommand(lifecycle.name, lifecycle.summary);
    app->add_option("machine", options->machine, "The machine: its name, or its path as `velmora list` shows it")
        ->required()
        ->type_name("MACHINE");
    app->add_option("--timeout", options->timeout,
                    std::string("How long to wait for the machine to be ") + goalName(lifecycle.goal))
        ->type_name("SECONDS")
        ->check(wholeNumberValidator(0, longestWait, "seconds"))
        ->capture_default_str();
    app->add_flag("--no-wait", options->noWait, "Return once Hyper-V has accepted the request");
    if (lifecycle.confirms) app->add_flag("-y,--yes", options->yes, "Do not ask for confirmation on a terminal");
    describe(*app, lifecycle.details, std::string("velmora ") + lifecycle.name + " web-01");
    return {app, HostUse::Changes,
            [options, lifecycle](const GlobalOptions& global) { return change(lifecycle, *options, global); }};
}

}  // namespace

Command addStartCommand(CLI::App& parent) {
    return addLifecycleCommand(
        parent, {"start", "Start a machine and wait until it runs",
                 "Calls startVM (RequestStateChange 2), then waits until the machine is running, as\n"
                 "Start-VM does. A machine that is not running when --timeout has passed, or that goes back to\n"
                 "off, ends the command with exit status 1 and the state it is in.",
                 "startVM", &Velmora::startVM, Goal::Running, "Started", "Start", false});
}

Command addStopCommand(CLI::App& parent) {
    return addLifecycleCommand(
        parent, {"stop", "Turn a machine off at once (a power-off, no guest shutdown)",
                 "Calls stopVM (RequestStateChange 3): Hyper-V turns the machine off like pulling its plug.\n"
                 "The guest operating system is not asked to shut down; whatever it has not written is lost.\n"
                 "Then waits until the machine is off. A machine that no longer exists counts as stopped (the\n"
                 "library returns true and logs a warning).",
                 "stopVM", &Velmora::stopVM, Goal::Off, "Stopped", "Turn-off", false});
}

Command addDeleteCommand(CLI::App& parent) {
    return addLifecycleCommand(
        parent, {"delete", "Delete a machine and wait until it is gone",
                 "Calls deleteVM (DestroySystem): the machine and its configuration are removed; its disk image\n"
                 "files stay. Hyper-V deletes only a machine that is off. On a terminal the command asks first;\n"
                 "--yes skips the question, and a script (no terminal) is never asked.",
                 "deleteVM", &Velmora::deleteVM, Goal::Gone, "Deleted", "Deletion", true});
}

}  // namespace VelmoraCommand
