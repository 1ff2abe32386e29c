// Live-resource accounting and allocation-failure injection (WinCompat/Testing.h).
#include <dlfcn.h>

#include <atomic>
#include <mutex>

#include "Common/StripedCount.h"
#include "WinCompat/Testing.h"
#include "internal.h"

namespace WinCompat::detail {
namespace {

using Common::StripedCount;

StripedCount liveStrings;
StripedCount liveArrays;
StripedCount liveObjects;

// Allocation-failure injection. `armed` is the fast path; everything else is guarded by the mutex.
struct Injection {
    std::mutex mutex;
    std::atomic<bool> armed{false};
    unsigned long failAt = 0;
    unsigned long counted = 0;
    const char* failed = nullptr;  // the function whose allocation failed since arming
    bool anyModule = true;
    const void* moduleBase = nullptr;  // null with anyModule false: no module matches
};
Injection& injection() {
    static Injection state;
    return state;
}

const void* moduleBaseOf(const void* address) {
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0) return nullptr;
    return info.dli_fbase;
}

}  // namespace

void stringAllocated() {
    liveStrings.add(1);
}
void stringFreed() {
    liveStrings.add(-1);
}
void arrayCreated() {
    liveArrays.add(1);
}
void arrayDestroyed() {
    liveArrays.add(-1);
}
void objectCreated() {
    liveObjects.add(1);
}
void objectDestroyed() {
    liveObjects.add(-1);
}

bool allocationAllowed(const void* caller, const char* function) {
    Injection& state = injection();
    if (!state.armed.load(std::memory_order_acquire)) return true;
    bool anyModule = false;
    const void* base = nullptr;
    {
        std::lock_guard lock(state.mutex);
        if (!state.armed.load(std::memory_order_relaxed)) return true;
        anyModule = state.anyModule;
        base = state.moduleBase;
    }
    if (!anyModule) {
        // Resolve the caller outside the lock: dladdr takes the loader's lock.
        const void* callerBase = moduleBaseOf(caller);
        if (base == nullptr || callerBase != base) return true;
    }
    std::lock_guard lock(state.mutex);
    if (!state.armed.load(std::memory_order_relaxed)) return true;
    if (state.anyModule != anyModule || state.moduleBase != base) return true;  // re-armed meanwhile
    if (++state.counted != state.failAt) return true;
    state.failed = function;
    return false;
}

}  // namespace WinCompat::detail

namespace WinCompat::Testing {

LiveCounts liveCounts() {
    LiveCounts counts;
    counts.strings = detail::liveStrings.sum();
    counts.arrays = detail::liveArrays.sum();
    counts.objects = detail::liveObjects.sum();
    return counts;
}

int comInitDepth() {
    return detail::threadInitDepth();
}
int comApartment() {
    return detail::threadApartment();
}

void armAllocationFailure(unsigned long failAt, const void* module) {
    const void* base = detail::moduleBaseOf(module);
    detail::Injection& state = detail::injection();
    std::lock_guard lock(state.mutex);
    state.failAt = failAt;
    state.counted = 0;
    state.failed = nullptr;
    state.anyModule = module == nullptr;
    state.moduleBase = base;
    state.armed.store(true, std::memory_order_release);
}

unsigned long disarmAllocationFailure() {
    detail::Injection& state = detail::injection();
    std::lock_guard lock(state.mutex);
    state.armed.store(false, std::memory_order_release);
    const unsigned long counted = state.counted;
    state.counted = 0;
    state.failAt = 0;
    return counted;
}

std::string failedAllocation() {
    detail::Injection& state = detail::injection();
    std::lock_guard lock(state.mutex);
    return state.failed ? state.failed : "";
}

void resetProcessSecurity() {
    detail::forgetProcessSecurity();
}

}  // namespace WinCompat::Testing
