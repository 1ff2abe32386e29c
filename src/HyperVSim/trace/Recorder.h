// Recording the WMI calls of this process (docs/traces.md): a recording WMI locator takes the place of the
// locator registered when recording starts (the system's, or the simulated host's own), wraps it, and
// writes every call made through it to a trace file until recording stops.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "platform.h"

namespace HyperVSim {

// What a registration of the simulated host's own locator does to make way for the recorder, whose
// registration the COM runtime could otherwise ignore; empty functions when there is none.
struct LocatorHandover {
    std::function<HRESULT()> withdraw;
    std::function<HRESULT()> restore;
};

struct RecorderResult {
    HRESULT result = S_OK;  // S_FALSE: already recording (start) or not recording (stop)
    std::string message;    // why it failed; empty on success
};

RecorderResult startRecording(const std::filesystem::path& path, LocatorHandover handover = {});
// Revokes the recording locator, gives the place back, and closes the trace; fails when a call could not be
// written to it. Objects handed out while recording still work afterwards, without being recorded.
RecorderResult stopRecording();

}  // namespace HyperVSim
