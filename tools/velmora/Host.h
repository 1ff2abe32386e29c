// The host the command works on, and the parts of the command that differ with it. Off Windows the library
// talks to the simulated Hyper-V host, which the command keeps in a state file: the --state option, the `host`
// commands, and a tour that shows the host as it goes (SimulatedHost.cpp). On Windows the library talks to
// Hyper-V itself, and none of these exist (HyperVHost.cpp); a test there can put the simulated host of
// HyperVSim.dll in its place.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Command.h"

namespace VelmoraCommand {

// What stands in for the system's WMI service during a run, or records what the run asks of it: put in place
// before anything reaches COM, taken away when the run ends.
class WmiStandIn {
public:
    virtual ~WmiStandIn() = default;
    // Why the stand-in has failed the run so far, which outweighs what the command says of its own outcome: a
    // replay that had no answer for a call fails that call and every later one. Nothing while it serves.
    virtual std::optional<std::string> fault() const { return std::nullopt; }
    // Ends its part in a run that is over; throws Failure when what it made is not whole (a trace that could
    // not be written).
    virtual void finish() {}
};

// The global options of traces, --record FILE and --replay FILE (TraceOptions.cpp), which the host's options
// below include.
struct TraceOptions {
    CLI::Option* record = nullptr;
    CLI::Option* replay = nullptr;
};
TraceOptions addTraceOptions(CLI::App& app, GlobalOptions& global);

// The host's own global options (--state; the hidden option for tests on Windows; the traces) and commands
// (`host`).
void addHostOptions(CLI::App& app, GlobalOptions& global);
void addHostCommands(CLI::App& app, std::vector<Command>& commands);

// The WMI service for a run that reaches the host, as the global options ask: a trace to record into or to
// answer from, the simulated host of HyperVSim.dll on Windows; nothing for the system's own (off Windows: the
// simulated host of the platform stand-in). Every other way the command reaches the host starts here. Throws
// Failure when the stand-in cannot be put in place, BadInput for a trace that cannot be read.
std::unique_ptr<WmiStandIn> installWmiStandIn(const GlobalOptions& global);

// Makes the host ready for a command that uses it as `use` says; throws BadInput when it cannot be.
void prepareHost(HostUse use, const GlobalOptions& global);

// ", --state FILE" where the global options are listed, empty where there is no state file.
const char* stateOptionNote();

// The host a tour runs on.
class TourHost {
public:
    virtual ~TourHost() = default;
    // On which host the tour runs, to end its first sentence: "The typical road ... on " + where() + ".". The
    // first line ends at the line break in it.
    virtual std::string where() const = 0;
    // What the tour's JSON document says of the host ("state": its file).
    virtual nlohmann::json description() const = 0;
    // Whether the host is the tour's alone, so that its machine needs no name that sets it apart from others.
    virtual bool ownedByTheTour() const = 0;
    // The name of the tour's machine where the host decides it (a replay: the recorded tour's); nothing leaves
    // it to the tour.
    virtual std::optional<std::string> machineName() const { return std::nullopt; }

    // The image files the tour attaches: what its step says it does with `folder`, the tour's own.
    virtual std::string imagesStep(const std::filesystem::path& folder) const = 0;
    struct Images {
        std::vector<std::string> paths;  // UTF-8, for the library
        std::string outcome;             // what the step says it got
    };
    // Makes the images `names` in `folder`, or takes them where the host has them. Throws Failure with the
    // reason when it cannot; what it made is left in the folder, which the tour removes.
    virtual Images makeImages(const std::filesystem::path& folder, const std::vector<std::string>& names) const = 0;
    struct Picture {
        std::string text;
        nlohmann::json json;
    };
    // The host as it is now, to show after the key steps; nothing where the command cannot see into it.
    virtual std::optional<Picture> picture() const = 0;
};

// What the tour's help says of its host.
const char* tourHostNote();

// The tour's host: a fresh one of its own in `scratch`, or the --state file's as it is (simulated host), or
// Hyper-V. Throws BadInput when the state file cannot be used.
std::unique_ptr<TourHost> openTourHost(const GlobalOptions& global, const std::filesystem::path& scratch);

}  // namespace VelmoraCommand
