// velmora host diff FILE: the calls of a trace made against a fresh simulated host, and every call its model
// answers otherwise than the recorded host did.
#include <HyperVSim/Control.h>

#include <memory>

#include "BadInput.h"
#include "Command.h"
#include "ExitStatus.h"
#include "Failure.h"
#include "Output.h"
#include "Text.h"

namespace VelmoraCommand {
namespace {

std::string callCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " call" : " calls");
}

int diff(const GlobalOptions& global, const std::string& trace) {
    std::vector<HyperVSim::TraceDifference> differences;
    // A fresh default host, the same for every run: the state file is neither read nor changed.
    HyperVSim::Control::reset();
    try {
        differences = HyperVSim::Control::diffTrace(trace);
    } catch (const HyperVSim::TraceError& e) {
        throw BadInput(std::string("cannot diff: ") + e.what());
    }
    nlohmann::json list = nlohmann::json::array();
    std::string text;
    for (const auto& difference : differences) {
        nlohmann::json lines = nlohmann::json::array();
        text += "Call " + std::to_string(difference.position) + ", " + narrow(difference.call) + ":\n";
        for (const auto& line : difference.differences) {
            lines.push_back(narrow(line));
            text += "  " + narrow(line) + "\n";
        }
        list.push_back({{"call", difference.position}, {"made", narrow(difference.call)}, {"differences", lines}});
    }
    if (differences.empty()) {
        if (global.json)
            printJson({{"ok", true}, {"trace", trace}, {"differences", list}});
        else
            printText("The model answers every call of " + trace + " as the recorded host did.\n");
        return exitSuccess;
    }
    if (!global.json) printText(text);
    throw Failure("the model answers " + callCount(differences.size()) + " of " + trace +
                      " otherwise than the recorded host did",
                  {{"trace", trace}, {"differences", list}});
}

}  // namespace

Command addHostDiffCommand(CLI::App& host) {
    auto trace = std::make_shared<std::string>();
    auto* app = host.add_subcommand("diff", "Hold a trace against the simulated host's model");
    app->add_option("trace", *trace, "The trace, as velmora --record or HyperVSim.dll wrote it")
        ->required()
        ->type_name("FILE");
    describe(*app,
             "Makes the trace's calls, in order, against a fresh default host (the state file is neither read\n"
             "nor changed) and lists each call the model answers otherwise than the recorded host: HRESULT,\n"
             "ReturnValue, call status, the number of objects, their classes, properties and methods. GUIDs,\n"
             "the host's name and time stamps may differ. Exit status 0 when no call differs, 1 when some do.",
             "velmora --record tour.jsonl tour && velmora host diff tour.jsonl");
    // It makes its calls on a model of its own, not through the host the other commands reach.
    return {app, HostUse::None, [trace](const GlobalOptions& global) { return diff(global, *trace); }};
}

}  // namespace VelmoraCommand
