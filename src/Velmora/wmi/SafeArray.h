// Owner of one SAFEARRAY and a scoped lock on it. Failures of the array calls raise HResultError.
#pragma once

#include <utility>

#include "HResultError.h"
#include "platform.h"

namespace Velmora {

inline void throwIfFailed(HRESULT hr) {
    if (FAILED(hr)) throw HResultError(hr);
}

class SafeArray {
public:
    SafeArray() = default;
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;
    SafeArray(SafeArray&& other) noexcept : array_(std::exchange(other.array_, nullptr)) {}
    SafeArray& operator=(SafeArray&& other) noexcept {
        std::swap(array_, other.array_);
        return *this;
    }
    ~SafeArray() {
        if (array_) SafeArrayDestroy(array_);
    }

    static SafeArray adopt(SAFEARRAY* array) {
        SafeArray result;
        result.array_ = array;
        return result;
    }

    // A one-dimensional array of `count` elements of type `vt`, lower bound 0.
    static SafeArray create(VARTYPE vt, ULONG count) {
        SAFEARRAYBOUND bound{count, 0};
        SAFEARRAY* array = SafeArrayCreate(vt, 1, &bound);
        if (!array) throw HResultError(E_OUTOFMEMORY);
        return adopt(array);
    }

    SAFEARRAY* get() const { return array_; }
    SAFEARRAY* release() { return std::exchange(array_, nullptr); }
    explicit operator bool() const { return array_ != nullptr; }

private:
    SAFEARRAY* array_ = nullptr;
};

class SafeArrayLockGuard {
public:
    explicit SafeArrayLockGuard(SAFEARRAY* array) : array_(array) { throwIfFailed(SafeArrayLock(array_)); }
    SafeArrayLockGuard(const SafeArrayLockGuard&) = delete;
    SafeArrayLockGuard& operator=(const SafeArrayLockGuard&) = delete;
    ~SafeArrayLockGuard() { SafeArrayUnlock(array_); }

private:
    SAFEARRAY* array_;
};

}  // namespace Velmora
