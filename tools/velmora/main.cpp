// velmora: the command-line front end over Velmora's seven functions and, off Windows, the simulated host.
#include <Velmora/HResultError.h>

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "BadInput.h"
#include "Command.h"
#include "ExitStatus.h"
#include "HostState.h"
#include "LogSink.h"
#include "Output.h"
#include "StateLocation.h"

using namespace VelmoraCommand;

namespace {

constexpr const char* overview =
    "velmora: manage virtual machines on the local Hyper-V host through the Velmora library.\n"
    "A machine is named by the path that `velmora create` prints.";

constexpr const char* footer =
    "Log lines of the library go to standard error with their level: by default warnings and errors,\n"
    "with --verbose also info lines, with --quiet errors only. Results go to standard output.\n"
    "\n"
    "Exit status: 0 the library function returned true; 1 it returned false; 2 usage error or bad\n"
    "input, refused before the library was called; 3 the library raised HResultError.\n"
    "\n"
    "Off Windows the library talks to a simulated Hyper-V host, kept between runs in the --state file.\n"
    "\n"
    "Example:\n"
    "  vm=$(velmora create --name web-01 --memory 2GiB --switch 'Default Switch') && velmora start \"$vm\"";

const char* describeHResult(std::int32_t hr) {
    switch (static_cast<std::uint32_t>(hr)) {
        case 0x8007000Eu:
            return " (out of memory)";
        case 0x80070057u:
            return " (invalid argument)";
        default:
            return "";
    }
}

// CLI11 reports a misspelt command as a missing one; name it instead, with the commands there are.
std::optional<std::string> unknownCommand(int argc, char** argv, const CLI::App& app) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--state") {
            ++i;
            continue;
        }
        if (argument.starts_with("-")) continue;
        std::string known;
        for (const auto* sub : app.get_subcommands({})) {
            if (sub->check_name(argument)) return std::nullopt;
            known += (known.empty() ? "" : ", ") + sub->get_name();
        }
        return "unknown command '" + argument + "'; the commands are: " + known;
    }
    return std::nullopt;
}

const Command* chosen(const std::vector<Command>& commands) {
    for (const auto& command : commands)
        if (command.app->parsed()) return &command;
    return nullptr;
}

int run(const Command& command, const GlobalOptions& global) {
    try {
        if (command.host == HostUse::StateFile)
            openHostState(global.state.empty() ? defaultStatePath() : std::filesystem::path(global.state));
        return command.run(global);
    } catch (const BadInput& e) {
        printError(e.what());
        return exitBadInput;
    } catch (const Velmora::HResultError& e) {
        char text[96];
        std::snprintf(text, sizeof text, "the library raised HResultError 0x%08" PRIX32 "%s",
                      static_cast<std::uint32_t>(e.hresult()), describeHResult(e.hresult()));
        printError(text);
        return exitLibraryError;
    } catch (const std::filesystem::filesystem_error& e) {
        printError(e.what());
        return exitFailed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(overview, "velmora");
    GlobalOptions global;
    app.add_flag("--json", global.json, "Print the result as one JSON document");
    auto* quiet = app.add_flag("-q,--quiet", global.quiet, "Show only the library's error lines");
    auto* verbose = app.add_flag("-v,--verbose", global.verbose, "Show every log line of the library, info too");
    quiet->excludes(verbose);
    app.add_option("--state", global.state,
                   "State file of the simulated host (default: $XDG_STATE_HOME/velmora/host.json, or "
                   "~/.local/state/velmora/host.json)")
        ->type_name("FILE");
    app.require_subcommand(1);
    app.fallthrough();

    std::vector<Command> commands{addSwitchesCommand(app), addMemoryCommand(app), addCreateCommand(app),
                                  addDisksCommand(app),    addStartCommand(app),  addStopCommand(app),
                                  addDeleteCommand(app)};
    for (auto& command : addHostCommands(app)) commands.push_back(std::move(command));
    commands.push_back(addTourCommand(app));
    app.footer(footer);
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return "velmora: " + std::string(e.what()) + "\nRun with --help for more information.\n";
    });

    if (const auto unknown = unknownCommand(argc, argv, app)) {
        printError(*unknown + "\nRun with --help for more information.");
        return exitBadInput;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? exitSuccess : exitBadInput;
    }

    configureLogSink(global.quiet     ? Verbosity::Quiet
                     : global.verbose ? Verbosity::Verbose
                                      : Verbosity::Normal,
                     standardErrorWantsColour());
    const Command* command = chosen(commands);
    if (command == nullptr) {  // CLI11 requires a subcommand; this only guards against a parser change
        printError("no command given; see velmora --help");
        return exitBadInput;
    }
    return run(*command, global);
}
