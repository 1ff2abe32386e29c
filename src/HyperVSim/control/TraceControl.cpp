// Control: recording, replaying and comparing traces of WMI calls.
#include <memory>

#include "HyperVSim/Control.h"
#include "cimxml/Text.h"
#include "trace/ReplaySession.h"
#include "trace/TraceDiff.h"
#include "trace/TraceFile.h"
#ifdef _WIN32
#include "windows/ProcessRecording.h"
#else
#include "trace/Recorder.h"
#endif

namespace HyperVSim {
namespace {

// S_FALSE too: recording already, or not recording.
void check(const RecorderResult& result) {
    if (result.result != S_OK) throw TraceError(result.message);
}

}  // namespace

void Control::record(const std::string& path) {
#ifdef _WIN32
    check(startProcessRecording(pathOfUtf8(path)));
#else
    check(startRecording(pathOfUtf8(path)));
#endif
}

void Control::stopRecording() {
#ifdef _WIN32
    check(stopProcessRecording());
#else
    check(HyperVSim::stopRecording());
#endif
}

void Control::replay(const std::string& path) {
    setCurrentReplay(std::make_shared<ReplaySession>(pathOfUtf8(path)));
}

void Control::stopReplay() {
    setCurrentReplay(nullptr);
}

std::wstring Control::replayDiagnostic() {
    return lastReplayDiagnostic();
}

std::vector<TraceDifference> Control::diffTrace(const std::string& path) {
    return diffAgainstModel(pathOfUtf8(path));
}

}  // namespace HyperVSim
