// The process-wide simulated host: its repository and deterministic GUIDs behind one reader/writer lock
// (queries side by side, changes exclusive), and the registry of method handlers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "HyperVSim/Control.h"
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
    // How many GUIDs were handed out, so that a saved host goes on where it stopped.
    std::uint64_t issued() const { return counter_; }
    void restore(std::uint64_t issued) { counter_ = issued; }

private:
    std::uint64_t counter_ = 0;
};

// Msvm_ConcreteJob.JobState values that handlers use.
enum class JobState : std::uint16_t { Running = 4, Completed = 7, Exception = 10 };

// A real host drops a finished job once its TimeBeforeRemoval has passed. Here every job has finished when
// its method returns, and a client reads it soon after, if at all: the newest ones are kept, so that a
// long-running host does not grow.
inline constexpr std::size_t finishedJobsKept = 1024;

// The lookup keys that the Hyper-V model gives an instance (Repository::withKey).
std::vector<std::wstring> lookupKeys(const Instance& instance);

// A machine on its way from one EnabledState to another while its job runs (Control::planNextStateChange).
// Times are wall-clock milliseconds since 1970, so that every process sharing a state file sees the change
// end at the same moment.
struct Transition {
    std::wstring machine;  // full path
    std::int64_t from = 0, to = 0;
    std::int64_t endsAt = 0;
    bool fails = false;
    std::wstring job;  // full path of its Msvm_ConcreteJob
    bool operator==(const Transition&) const = default;
};

std::int64_t wallClockMilliseconds();

struct HostState {
    Repository repository{lookupKeys};
    GuidGenerator guids;
    // Whether a References query from allocation capabilities yields the Default template first.
    bool defaultTemplateFirst = true;
    std::optional<StateChangePlan> nextStateChange;
    std::vector<Transition> transitions;

    bool transitionDue() const;

    // Stores an Msvm_ConcreteJob and returns its full path (for the Job output of ReturnValue 4096); drops
    // the oldest jobs beyond finishedJobsKept.
    std::wstring createJob(JobState state, std::uint16_t errorCode = 0, std::wstring errorDescription = {});
    // Gives a stored job its end; a job dropped meanwhile is left dropped.
    void finishJob(const std::wstring& path, JobState state, std::uint16_t errorCode = 0,
                   std::wstring errorDescription = {});
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

// Ends every transition whose time has come, as its plan says (hyperv/Transitions.cpp).
void endDueTransitions(HostState& state);

// Where the state lives besides memory (the state file), shared with other processes. The host consults it
// under its own lock: before every read and write (to take the store's lock and catch up with changes made
// elsewhere) and after every write (to store the change).
class StateStore {
public:
    virtual ~StateStore() = default;
    // Loads the stored state into `state`, or stores `state` when the store is still empty.
    virtual void attach(HostState& state) = 0;
    virtual void acquireShared(HostState& state) = 0;
    virtual void acquireExclusive(HostState& state) = 0;
    virtual void store(const HostState& state) = 0;
    // Ends what acquire began; after an exclusive acquire without store, the next acquire reloads.
    virtual void release() noexcept = 0;
};

class Host {
public:
    static Host& instance();

    template <class F>
    auto read(F&& work) const {
        {
            std::shared_lock lock(mutex_);
            if (!store_ && !state_.transitionDue()) return work(static_cast<const HostState&>(state_));
        }
        // Catching up with the store, and ending transitions whose time has come, change the state: such a
        // host reads one caller at a time. A reader keeps what it ended in memory; the next writer stores it.
        std::unique_lock lock(mutex_);
        StoreScope scope(store_.get(), state_, false);
        endDueTransitions(state_);
        return work(static_cast<const HostState&>(state_));
    }
    template <class F>
    auto write(F&& work) {
        std::unique_lock lock(mutex_);
        StoreScope scope(store_.get(), state_, true);
        endDueTransitions(state_);
        if constexpr (std::is_void_v<std::invoke_result_t<F&, HostState&>>) {
            work(state_);
            scope.store();
        } else {
            auto result = work(state_);
            scope.store();
            return result;
        }
    }

    // Backs the state by `store` (null: memory only); attach() runs first, and what it throws leaves the
    // host as it was.
    void setStore(std::unique_ptr<StateStore> store);

    // Registered per class and method; a handler of a class serves its subclasses too.
    void registerHandler(std::wstring_view className, std::wstring_view methodName, MethodHandler handler);
    // The handler for a method of `className` (looking up the superclass chain); empty when none.
    MethodHandler handler(std::wstring_view className, std::wstring_view methodName) const;

private:
    class StoreScope {
    public:
        StoreScope(StateStore* store, HostState& state, bool exclusive) : store_(store), state_(state) {
            if (!store_) return;
            if (exclusive)
                store_->acquireExclusive(state_);
            else
                store_->acquireShared(state_);
        }
        ~StoreScope() {
            if (store_) store_->release();
        }
        StoreScope(const StoreScope&) = delete;
        StoreScope& operator=(const StoreScope&) = delete;
        void store() {
            if (store_) store_->store(state_);
        }

    private:
        StateStore* store_;
        HostState& state_;
    };

    Host();
    mutable std::shared_mutex mutex_;
    mutable HostState state_;  // a backed host catches up with its store while reading
    std::unique_ptr<StateStore> store_;
    mutable std::mutex handlersMutex_;
    std::unordered_map<std::wstring, MethodHandler> handlers_;  // "class.method", lower-case
};

// Where the Hyper-V method handlers (DefineSystem, RequestStateChange, ...) register themselves; called
// once when the host is created.
void registerMethodHandlers(Host& host);

}  // namespace HyperVSim
