// Off Windows, traces of what the command asks of the simulated host, through its control interface: a
// recording of the calls the host answers, or a replay that answers them from a trace instead of the host.
#pragma once

#include <string>

#include "Host.h"

namespace VelmoraCommand {

class TraceRecording : public WmiStandIn {
public:
    // Throws Failure when the trace cannot be written.
    explicit TraceRecording(std::string path);
    ~TraceRecording() override;
    TraceRecording(const TraceRecording&) = delete;
    TraceRecording& operator=(const TraceRecording&) = delete;
    void finish() override;

private:
    std::string path_;
    bool recording_ = true;
};

class TraceReplay : public WmiStandIn {
public:
    // Throws BadInput, with the line and why, for a file that is no trace.
    explicit TraceReplay(const std::string& path);
    ~TraceReplay() override;
    TraceReplay(const TraceReplay&) = delete;
    TraceReplay& operator=(const TraceReplay&) = delete;
    std::optional<std::string> fault() const override;
};

}  // namespace VelmoraCommand
