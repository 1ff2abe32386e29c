// The process-wide simulated host: its repository and deterministic GUIDs behind one reader/writer lock
// (queries side by side, changes exclusive), and the registry of method handlers.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/Instance.h"
#include "model/Repository.h"
#include "platform.h"

namespace HyperVSim {

inline constexpr const wchar_t* hostNamespace = L"root\\virtualization\\v2";

// Upper-case GUIDs without braces from a counter, so that the same sequence of changes always gives the
// same GUIDs and paths.
class GuidGenerator {
public:
    std::wstring next();
    void reset() { counter_ = 0; }

private:
    std::uint64_t counter_ = 0;
};

// Msvm_ConcreteJob.JobState values that handlers use.
enum class JobState : std::uint16_t { Completed = 7, Exception = 10 };

struct HostState {
    Repository repository;
    GuidGenerator guids;
    // Whether a References query from allocation capabilities yields the Default template first.
    bool defaultTemplateFirst = true;

    // Stores a finished Msvm_ConcreteJob and returns its full path (for the Job output of ReturnValue 4096).
    std::wstring createJob(JobState state, std::uint16_t errorCode = 0, std::wstring errorDescription = {});
};

// What a method handler decides. A failing `failure` makes ExecMethod itself return it (no output
// parameters); otherwise the output-parameter object carries `returnValue` and `outputs`.
struct MethodOutcome {
    HRESULT failure = S_OK;
    std::uint32_t returnValue = 0;
    std::vector<std::pair<std::wstring, CimValue>> outputs;

    static MethodOutcome fail(HRESULT hr) { return MethodOutcome{hr, 0, {}}; }
    static MethodOutcome returns(std::uint32_t value, std::vector<std::pair<std::wstring, CimValue>> out = {}) {
        return MethodOutcome{S_OK, value, std::move(out)};
    }
};

// Runs under the host's exclusive lock. `target` is a copy of the instance the method runs on (for a call
// on the class path: an instance of the class with no values); `inParams` is an instance of the method's
// input definition (every parameter NULL when the caller passed none).
using MethodHandler = std::function<MethodOutcome(HostState&, const Instance& target, const Instance& inParams)>;

class Host {
public:
    static Host& instance();

    template <class F>
    auto read(F&& work) const {
        std::shared_lock lock(mutex_);
        return work(static_cast<const HostState&>(state_));
    }
    template <class F>
    auto write(F&& work) {
        std::unique_lock lock(mutex_);
        return work(state_);
    }

    // Registered per class and method; a handler of a class serves its subclasses too.
    void registerHandler(std::wstring_view className, std::wstring_view methodName, MethodHandler handler);
    // The handler for a method of `className` (looking up the superclass chain); empty when none.
    MethodHandler handler(std::wstring_view className, std::wstring_view methodName) const;

private:
    Host();
    mutable std::shared_mutex mutex_;
    HostState state_;
    mutable std::mutex handlersMutex_;
    std::unordered_map<std::wstring, MethodHandler> handlers_;  // "class.method", lower-case
};

// Where the Hyper-V method handlers (DefineSystem, RequestStateChange, ...) register themselves; called
// once when the host is created.
void registerMethodHandlers(Host& host);

}  // namespace HyperVSim
