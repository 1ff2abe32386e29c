// velmora: the command-line front end over Velmora's seven functions and, off Windows, the simulated host.
#include <Velmora/HResultError.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BadInput.h"
#include "Command.h"
#include "CommandLine.h"
#include "ConsoleText.h"
#include "ErrorCodes.h"
#include "ExitStatus.h"
#include "Failure.h"
#include "Host.h"
#include "LogSink.h"
#include "Output.h"

using namespace VelmoraCommand;

namespace {

constexpr const char* overview =
    "velmora: manage virtual machines on the local Hyper-V host through the Velmora library.\n"
    "A machine is named by its name or by the path that `velmora create` prints.";

std::string footer() {
    return "Log lines of the library go to standard error with their level: by default warnings and errors,\n"
           "with --verbose also info lines, with --quiet errors only. Results go to standard output.\n"
           "\n"
           "Exit status: 0 done; 1 the library refused, or the machine did not get where it was sent in time;\n"
           "2 usage error or bad input, refused before any library function was called; 3 the library raised\n"
           "HResultError (out of memory). With --json every run prints one document: \"ok\" true with the\n"
           "result, or \"ok\" false with \"error\" (the reason) and \"lines\" (every log line with its level).\n"
           "\n" +
           std::string(stateOptionNote()[0] != '\0'
                           ? "Off Windows the library talks to a simulated Hyper-V host, kept between runs in the\n"
                             "--state file (see velmora host --help for the file, its lock and recovery).\n\n"
                           : "") +
           "Example:\n"
           "  velmora create --name web-01 --memory 2GB --switch 'Default Switch' && velmora start web-01";
}

// A run that failed: with its own reason, or the underlying fault's (a replay without an answer), which then
// decides the status as well.
int fail(bool json, ExitStatus status, const std::string& reason,
         const nlohmann::json& details = nlohmann::json::object()) {
    const std::string shown = reasonOfFailure(reason);
    printError(shown);
    if (json) printJson(failureDocument(shown, details));
    return underlyingFault() ? exitFailed : status;
}

// A command line that CLI11 or the command refused; the hint goes to people only.
int refuseCommandLine(bool json, const std::string& reason) {
    printError(reason + "\nRun with --help for more information.");
    if (json) printJson(failureDocument(reason));
    return exitBadInput;
}

std::string hresultText(std::int32_t hr) {
    const auto meaning = hresultMeaning(static_cast<std::uint32_t>(hr));
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(hr));
    return meaning ? *meaning : std::string(hex);
}

// A command that reaches no host makes no WMI calls that a trace could hold.
void refuseTraces(const Command& command, const GlobalOptions& global) {
    if (global.record.empty() && global.replay.empty()) return;
    throw BadInput(std::string(global.record.empty() ? "--replay" : "--record") +
                   " is for commands that reach the host; `" + command.app->get_name() + "` does not");
}

int runCommand(const Command& command, const GlobalOptions& global, std::unique_ptr<WmiStandIn>& standIn) {
    try {
        if (command.host == HostUse::None) refuseTraces(command, global);
        // Before anything reaches COM, and until the command is done with the host.
        standIn = command.host == HostUse::None ? nullptr : installWmiStandIn(global);
        if (standIn) setUnderlyingFault([stand = standIn.get()] { return stand->fault(); });
        prepareHost(command.host, global);
        return command.run(global);
    } catch (const BadInput& e) {
        return fail(global.json, exitBadInput, e.what());
    } catch (const Failure& e) {
        return fail(global.json, exitFailed, e.what(), e.details());
    } catch (const Velmora::HResultError& e) {
        return fail(global.json, exitLibraryError, "the library raised HResultError " + hresultText(e.hresult()));
    } catch (const std::exception& e) {
        // Files the command reads or writes itself (the tour's images, the simulated host's state).
        return fail(global.json, exitFailed, e.what());
    }
}

int run(const Command& command, const GlobalOptions& global) {
    std::unique_ptr<WmiStandIn> standIn;
    int status = runCommand(command, global, standIn);
    if (!standIn) return status;
    // A command that succeeded has printed its result already: what the stand-in has to say comes after it.
    if (const auto fault = underlyingFault(); fault && status == exitSuccess) {
        printError(*fault);
        status = exitFailed;
    }
    setUnderlyingFault(nullptr);
    try {
        standIn->finish();
    } catch (const Failure& e) {
        printError(e.what());
        status = exitFailed;
    }
    return status;
}

// --help and --version: text, or with --json the same in a document.
int answer(const CLI::App& app, const CLI::Error& request, bool json) {
    std::ostringstream out;
    std::ostringstream err;
    app.exit(request, out, err);
    if (!json) {
        printText(out.str());
        return exitSuccess;
    }
    std::string text = out.str();
    while (!text.empty() && text.back() == '\n') text.pop_back();
    printJson({{"ok", true}, {dynamic_cast<const CLI::CallForVersion*>(&request) ? "version" : "help", text}});
    return exitSuccess;
}

const Command* chosen(const std::vector<Command>& commands) {
    for (const auto& command : commands)
        if (command.app->parsed()) return &command;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = commandLineArguments(argc, argv);
    const bool json = asksForJson(arguments);

    CLI::App app(overview, "velmora");
    GlobalOptions global;
    app.add_flag("--json", global.json, "Print the result as one JSON document, also when the command fails");
    auto* quiet = app.add_flag("-q,--quiet", global.quiet, "Show only the library's error lines");
    auto* verbose = app.add_flag("-v,--verbose", global.verbose, "Show every log line of the library, info too");
    quiet->excludes(verbose);
    app.set_version_flag("--version", "velmora " VELMORA_VERSION, "Print the version and exit");
    addHostOptions(app, global);
    app.require_subcommand(1);
    app.fallthrough();

    std::vector<Command> commands{addListCommand(app),   addSwitchesCommand(app), addMemoryCommand(app),
                                  addCreateCommand(app), addDisksCommand(app),    addStartCommand(app),
                                  addStopCommand(app),   addDeleteCommand(app)};
    addHostCommands(app, commands);
    commands.push_back(addTourCommand(app));
    commands.push_back(addHelpCommand(app));
    app.footer(footer());

    if (const auto unknown = unknownCommand(arguments, app)) return refuseCommandLine(json, *unknown);
    std::vector<const char*> pointers;
    for (const auto& argument : arguments) pointers.push_back(argument.c_str());
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp& e) {
        return answer(app, e, json);
    } catch (const CLI::CallForAllHelp& e) {
        return answer(app, e, json);
    } catch (const CLI::CallForVersion& e) {
        return answer(app, e, json);
    } catch (const CLI::ParseError& e) {
        return refuseCommandLine(json, e.what());
    }

    const ConsoleColour colour;
    configureLogSink(global.quiet     ? Verbosity::Quiet
                     : global.verbose ? Verbosity::Verbose
                                      : Verbosity::Normal,
                     colour.on());
    const Command* command = chosen(commands);
    if (command == nullptr)  // CLI11 requires a subcommand; this only guards against a parser change
        return fail(json, exitBadInput, "no command given; see velmora --help");
    return run(*command, global);
}
