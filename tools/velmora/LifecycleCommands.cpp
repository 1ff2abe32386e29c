// velmora start, velmora stop, velmora delete: one library call on a machine's path each.
#include <memory>

#include "Command.h"
#include "ExitStatus.h"
#include "LogSink.h"
#include "Output.h"
#include "Text.h"

namespace VelmoraCommand {
namespace {

using MachineFunction = bool (*)(Velmora::LogCallback, const wchar_t*);

struct Lifecycle {
    const char* name;
    const char* summary;
    const char* details;
    const char* function;
    MachineFunction call;
    const char* done;
};

Command addLifecycleCommand(CLI::App& parent, const Lifecycle& lifecycle) {
    auto machine = std::make_shared<std::string>();
    auto* app = parent.add_subcommand(lifecycle.name, lifecycle.summary);
    app->add_option("machine", *machine, "The machine's path, as `velmora create` printed it")
        ->required()
        ->type_name("PATH");
    describe(*app, lifecycle.details, std::string("velmora ") + lifecycle.name + " \"$vm\"");
    return {app, HostUse::StateFile, [machine, lifecycle](const GlobalOptions& global) {
                const nlohmann::json details = {{"path", *machine}};
                if (!lifecycle.call(logSink, widen(*machine).c_str()))
                    return reportFailure(global.json, lifecycle.function, details);
                if (global.json) {
                    auto document = details;
                    document["ok"] = true;
                    printJson(document);
                } else {
                    printText(std::string(lifecycle.done) + " " + *machine + "\n");
                }
                return static_cast<int>(exitSuccess);
            }};
}

}  // namespace

Command addStartCommand(CLI::App& parent) {
    return addLifecycleCommand(parent, {"start", "Start a machine", "Calls startVM (requested state 2).", "startVM",
                                        &Velmora::startVM, "Started"});
}

Command addStopCommand(CLI::App& parent) {
    return addLifecycleCommand(parent, {"stop", "Turn a machine off",
                                        "Calls stopVM (requested state 3). A machine that no longer exists counts\n"
                                        "as stopped: the library returns true and logs a warning.",
                                        "stopVM", &Velmora::stopVM, "Stopped"});
}

Command addDeleteCommand(CLI::App& parent) {
    return addLifecycleCommand(
        parent, {"delete", "Delete a machine", "Calls deleteVM.", "deleteVM", &Velmora::deleteVM, "Deleted"});
}

}  // namespace VelmoraCommand
