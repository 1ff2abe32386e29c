// Recording for the process that HyperVSim.dll (or a program that links the host) runs in: when the host's
// own registration is active, its locator makes way for the recorder and comes back afterwards.
#pragma once

#include <filesystem>

#include "trace/Recorder.h"

namespace HyperVSim {

RecorderResult startProcessRecording(const std::filesystem::path& path);
RecorderResult stopProcessRecording();

}  // namespace HyperVSim
