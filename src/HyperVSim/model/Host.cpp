#include "model/Host.h"

#include <chrono>
#include <cstdio>

#include "model/Seed.h"
#include "parse/CaseFold.h"

namespace HyperVSim {

std::wstring GuidGenerator::next() {
    ++counter_;
    wchar_t text[40];
    std::swprintf(text, sizeof text / sizeof text[0], L"5653494D-%04X-4000-8000-%012llX",
                  static_cast<unsigned>((counter_ >> 48) & 0xFFFF),
                  static_cast<unsigned long long>(counter_ & 0xFFFFFFFFFFFFull));
    return text;
}

std::int64_t wallClockMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool HostState::transitionDue() const {
    if (transitions.empty()) return false;
    const auto now = wallClockMilliseconds();
    for (const auto& transition : transitions)
        if (transition.endsAt <= now) return true;
    return false;
}

namespace {
constexpr std::wstring_view jobClass = L"Msvm_ConcreteJob";

void describeEnd(Instance& job, JobState state, std::uint16_t errorCode, std::wstring errorDescription) {
    job.setInteger(L"JobState", static_cast<std::int64_t>(state));
    job.setInteger(L"ErrorCode", errorCode);
    job.setInteger(L"PercentComplete", state == JobState::Running ? 0 : 100);
    if (!errorDescription.empty()) job.setString(L"ErrorDescription", std::move(errorDescription));
}
}  // namespace

void HostState::finishJob(const std::wstring& path, JobState state, std::uint16_t errorCode,
                          std::wstring errorDescription) {
    const Instance* found = repository.findByPath(path);
    if (!found) return;
    Instance job = *found;
    describeEnd(job, state, errorCode, std::move(errorDescription));
    repository.put(std::move(job));
}

std::wstring HostState::createJob(JobState state, std::uint16_t errorCode, std::wstring errorDescription) {
    Instance job = Instance::ofClass(jobClass);
    job.setString(L"InstanceID", guids.next());
    describeEnd(job, state, errorCode, std::move(errorDescription));
    auto path = job.fullPath();
    repository.put(std::move(job));
    while (repository.countOf(jobClass) > finishedJobsKept)
        repository.remove(repository.oldestOf(jobClass)->identity());
    return path;
}

Host::Host() {
    seedDefaultHost(state_);
    registerMethodHandlers(*this);
}

Host& Host::instance() {
    static Host host;
    return host;
}

void Host::setStore(std::unique_ptr<StateStore> store) {
    std::unique_lock lock(mutex_);
    if (store) store->attach(state_);
    store_ = std::move(store);
}

namespace {
std::wstring handlerKey(std::wstring_view className, std::wstring_view methodName) {
    return foldCase(className) + L"." + foldCase(methodName);
}
}  // namespace

void Host::registerHandler(std::wstring_view className, std::wstring_view methodName, MethodHandler handler) {
    std::lock_guard lock(handlersMutex_);
    handlers_[handlerKey(className, methodName)] = std::move(handler);
}

MethodHandler Host::handler(std::wstring_view className, std::wstring_view methodName) const {
    const auto definition = Schema::instance().find(className);
    std::vector<std::wstring> chain{std::wstring(className)};
    if (definition) chain.insert(chain.end(), definition->derivation.begin(), definition->derivation.end());
    std::lock_guard lock(handlersMutex_);
    for (const auto& name : chain) {
        const auto found = handlers_.find(handlerKey(name, methodName));
        if (found != handlers_.end()) return found->second;
    }
    return {};
}

}  // namespace HyperVSim
