// A subcommand: its CLI11 parser, how it uses the host, and what it does once its arguments are parsed and
// checked. Each subcommand's file registers itself through one add...Command function.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace VelmoraCommand {

struct GlobalOptions {
    bool json = false;
    bool quiet = false;
    bool verbose = false;
    std::string state;           // the simulated host's state file; empty for the default location
    bool simulatedHost = false;  // on Windows: HyperVSim.dll's simulated host in place of Hyper-V, for tests
    std::string record;          // a trace file that the run's WMI calls are written to; empty: none
    std::string replay;          // a trace file that answers the run's WMI calls instead of the host; empty: none
};

enum class HostUse {
    None,     // the command does not touch the host
    Reads,    // it only reads the host
    Changes,  // it changes the host
    Own,      // it sets up its host itself (the tour)
};

struct Command {
    CLI::App* app = nullptr;
    HostUse host = HostUse::Changes;
    // Returns the exit status of a success; failures are thrown (BadInput, Failure).
    std::function<int(const GlobalOptions&)> run;
};

Command addSwitchesCommand(CLI::App& parent);
Command addMemoryCommand(CLI::App& parent);
Command addListCommand(CLI::App& parent);
Command addCreateCommand(CLI::App& parent);
Command addDisksCommand(CLI::App& parent);
Command addStartCommand(CLI::App& parent);
Command addStopCommand(CLI::App& parent);
Command addDeleteCommand(CLI::App& parent);
Command addTourCommand(CLI::App& parent);
Command addHelpCommand(CLI::App& parent);

// A subcommand's help: `details` (may be empty) under the options, then an example.
void describe(CLI::App& app, const std::string& details, const std::string& example);

// The text every command's help ends with before its example: the global options.
std::string globalOptionsNote();

}  // namespace VelmoraCommand
