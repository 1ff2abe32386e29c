// A replay: the calls of a trace, answered in order. Each call that reaches the replay must be the one the
// trace holds at that place (interface, method, object called, arguments); it is answered with the recorded
// HRESULT and objects. The first call that is not fails with WBEM_E_FAILED and a diagnostic (written to
// standard error and kept), and so does every call after it: the replay has lost its place.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "trace/TraceCall.h"
#include "wmi/ObjectState.h"

namespace HyperVSim {

class ReplaySession {
public:
    // Reads the trace and rebuilds every object in it; throws TraceError.
    explicit ReplaySession(const std::filesystem::path& path);

    // The recorded call that answers `call`, or nullptr when the trace has no answer for it.
    const TraceCall* answer(const TraceCall& call);
    // The host's object for an object of a recorded answer.
    const ObjectState& rebuilt(const TraceObject& object) const { return objects_.at(&object); }
    // Why the first call without an answer had none; empty while every call had one.
    std::wstring diagnostic() const;

private:
    // Whether a GUID of the call at `position` was handed out by the recorded host before: the replay must
    // then use it as it is. Other GUIDs are the caller's own, made up anew by every run.
    bool fromHost(std::wstring_view guid, std::size_t position) const;
    void fail(std::wstring why);

    std::wstring name_;
    std::vector<TraceCall> calls_;
    std::unordered_map<const TraceObject*, ObjectState> objects_;
    std::unordered_map<std::wstring, std::size_t> firstAnswered_;  // upper-case GUID -> position

    mutable std::mutex mutex_;
    std::size_t next_ = 0;      // index of the call the trace expects next
    std::size_t received_ = 0;  // calls that reached the replay
    bool lost_ = false;
    std::wstring diagnostic_;
};

// The replay the simulated host's WMI locator answers from, if any (see Control::replay). replaying() is the
// cheap test that every creation of the locator makes.
bool replaying();
std::shared_ptr<ReplaySession> currentReplay();
void setCurrentReplay(std::shared_ptr<ReplaySession> replay);
// The diagnostic of the current replay, or of the last one when none is current.
std::wstring lastReplayDiagnostic();

}  // namespace HyperVSim
