#include "trace/ReplaySession.h"

#include <atomic>
#include <cstdio>
#include <cwctype>

#include "HyperVSim/Trace.h"
#include "cimxml/Text.h"
#include "trace/CallMatch.h"
#include "trace/ObjectRebuild.h"
#include "trace/TextMatching.h"
#include "trace/TraceFile.h"

namespace HyperVSim {
namespace {

// Every object of a call's answer, with the texts it carries.
template <class Visit>
void forEachObject(const TraceCall& call, Visit&& visit) {
    for (const auto& field : call.returned) {
        if (const auto* object = std::get_if<TraceObject>(&field.value)) visit(*object);
        if (const auto* objects = std::get_if<TraceObjects>(&field.value))
            for (const auto& entry : *objects)
                if (entry) visit(*entry);
    }
}

std::atomic<bool> active{false};
std::mutex currentMutex;
std::shared_ptr<ReplaySession> current;
std::wstring lastDiagnostic;

}  // namespace

ReplaySession::ReplaySession(const std::filesystem::path& path) : calls_(readTrace(path)) {
    const auto spelt = path.u8string();
    name_ = cimxml::fromUtf8(std::string(spelt.begin(), spelt.end()));
    for (const auto& call : calls_) {
        forEachObject(call, [&](const TraceObject& object) {
            const auto read = recordOf(object);
            auto rebuilt = read.record ? rebuildObject(*read.record) : RebuiltObject{};
            if (!rebuilt.state) {
                const std::string why = read.record ? cimxml::toUtf8(rebuilt.error) : read.error;
                throw TraceError(cimxml::toUtf8(name_) + ": call " + std::to_string(call.position) +
                                 ": an object that cannot be rebuilt: " + why);
            }
            objects_.emplace(&object, std::move(*rebuilt.state));
            const auto remember = [&](std::wstring_view text) {
                for (const auto& guid : findGuids(text))
                    firstAnswered_.emplace(upperCase(text.substr(guid.offset, guidLength)), call.position);
            };
            remember(object.xml);
            for (const auto& reference : object.references)
                for (const auto& value : reference.values.value_or(std::vector<std::wstring>{})) remember(value);
        });
    }
}

bool ReplaySession::fromHost(std::wstring_view guid, std::size_t position) const {
    const auto found = firstAnswered_.find(upperCase(guid));
    return found != firstAnswered_.end() && found->second < position;
}

const TraceCall* ReplaySession::answer(const TraceCall& call) {
    std::lock_guard lock(mutex_);
    ++received_;
    if (lost_) return nullptr;
    const std::wstring received =
        L"call " + std::to_wstring(received_) + L", " + describeCall(call) + L", has no answer: ";
    if (next_ >= calls_.size()) {
        fail(received + L"the trace ends after its " + std::to_wstring(calls_.size()) + L" calls");
        return nullptr;
    }
    const TraceCall& expected = calls_[next_];
    const std::wstring there =
        L"the trace expects as its call " + std::to_wstring(expected.position) + L" " + describeCall(expected);
    const SameText same = [this, &expected](std::wstring_view actual, std::wstring_view recorded) {
        return sameWithGuids(actual, recorded, [this, &expected](std::wstring_view guid) {
            return fromHost(guid, expected.position);
        });
    };
    if (const auto difference = callDifference(call, expected, same)) {
        fail(received + there + L"; " + *difference);
        return nullptr;
    }
    if (!call.replayable || !expected.replayable) {
        fail(received + L"a trace does not keep the outputs of " + describeCall(expected));
        return nullptr;
    }
    ++next_;
    return &expected;
}

void ReplaySession::fail(std::wstring why) {
    lost_ = true;
    diagnostic_ = L"replay of " + name_ + L": " + why;
    std::fprintf(stderr, "%s\n", cimxml::toUtf8(diagnostic_).c_str());
    std::fflush(stderr);
    std::lock_guard lock(currentMutex);
    lastDiagnostic = diagnostic_;
}

std::wstring ReplaySession::diagnostic() const {
    std::lock_guard lock(mutex_);
    return diagnostic_;
}

bool replaying() {
    return active.load(std::memory_order_relaxed);
}

std::shared_ptr<ReplaySession> currentReplay() {
    std::lock_guard lock(currentMutex);
    return current;
}

void setCurrentReplay(std::shared_ptr<ReplaySession> replay) {
    std::lock_guard lock(currentMutex);
    if (replay) lastDiagnostic.clear();
    active.store(replay != nullptr);
    current = std::move(replay);
}

std::wstring lastReplayDiagnostic() {
    std::lock_guard lock(currentMutex);
    return lastDiagnostic;
}

}  // namespace HyperVSim
