#include "SimulatedHostTraces.h"

#include <HyperVSim/Control.h>

#include "BadInput.h"
#include "Failure.h"
#include "Text.h"

namespace VelmoraCommand {

using HyperVSim::Control;

TraceRecording::TraceRecording(std::string path) : path_(std::move(path)) {
    try {
        Control::record(path_);
    } catch (const HyperVSim::TraceError& e) {
        throw Failure(std::string("cannot record: ") + e.what());
    }
}

TraceRecording::~TraceRecording() {
    // Only on a way out that did not finish (an exception): the trace holds what was written, and nobody is
    // left to tell about the rest.
    if (recording_) try {
            Control::stopRecording();
        } catch (const HyperVSim::TraceError&) {
        }
}

void TraceRecording::finish() {
    recording_ = false;
    try {
        Control::stopRecording();
    } catch (const HyperVSim::TraceError& e) {
        throw Failure("the trace " + path_ + " is incomplete: " + e.what());
    }
}

TraceReplay::TraceReplay(const std::string& path) {
    try {
        Control::replay(path);
    } catch (const HyperVSim::TraceError& e) {
        throw BadInput(std::string("cannot replay: ") + e.what());
    }
}

TraceReplay::~TraceReplay() {
    Control::stopReplay();
}

std::optional<std::string> TraceReplay::fault() const {
    const std::wstring diagnostic = Control::replayDiagnostic();
    if (diagnostic.empty()) return std::nullopt;
    return narrow(diagnostic);
}

}  // namespace VelmoraCommand
