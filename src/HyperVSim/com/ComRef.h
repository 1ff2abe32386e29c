// Owners of the platform's reference-counted and allocated resources. Each resource inside the simulated
// host has exactly one of these as its owner, so that every path releases it.
#pragma once

#include <utility>

#include "platform.h"

namespace HyperVSim {

// One counted reference to a COM interface.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ComRef(std::nullptr_t) {}
    // Takes over a reference the caller already holds.
    static ComRef adopt(T* raw) {
        ComRef ref;
        ref.ptr_ = raw;
        return ref;
    }
    // Adds a reference of its own.
    static ComRef share(T* raw) {
        if (raw) raw->AddRef();
        return adopt(raw);
    }
    ComRef(const ComRef& other) : ptr_(other.ptr_) {
        if (ptr_) ptr_->AddRef();
    }
    ComRef(ComRef&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComRef& operator=(ComRef other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    ~ComRef() {
        if (ptr_) ptr_->Release();
    }

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    // Hands the reference to the caller (for out parameters).
    T* detach() { return std::exchange(ptr_, nullptr); }
    // For APIs that fill an out pointer: releases what is held first.
    T** put() {
        *this = nullptr;
        return &ptr_;
    }

private:
    T* ptr_ = nullptr;
};

// A BSTR freed on every path.
class OwnedBstr {
public:
    OwnedBstr() = default;
    explicit OwnedBstr(BSTR adopted) : value_(adopted) {}
    OwnedBstr(const OwnedBstr&) = delete;
    OwnedBstr& operator=(const OwnedBstr&) = delete;
    OwnedBstr(OwnedBstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    ~OwnedBstr() { SysFreeString(value_); }
    BSTR get() const { return value_; }
    BSTR detach() { return std::exchange(value_, nullptr); }

private:
    BSTR value_ = nullptr;
};

// A SAFEARRAY destroyed on every path unless detached.
class OwnedSafeArray {
public:
    explicit OwnedSafeArray(SAFEARRAY* adopted) : value_(adopted) {}
    OwnedSafeArray(const OwnedSafeArray&) = delete;
    OwnedSafeArray& operator=(const OwnedSafeArray&) = delete;
    ~OwnedSafeArray() {
        if (value_) SafeArrayDestroy(value_);
    }
    SAFEARRAY* get() const { return value_; }
    SAFEARRAY* detach() { return std::exchange(value_, nullptr); }

private:
    SAFEARRAY* value_ = nullptr;
};

// A VARIANT cleared on every path.
class OwnedVariant {
public:
    OwnedVariant() { VariantInit(&value_); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    ~OwnedVariant() { VariantClear(&value_); }
    VARIANT* get() { return &value_; }
    const VARIANT& operator*() const { return value_; }

private:
    VARIANT value_;
};

// Access to a SAFEARRAY's elements for the length of a scope.
class SafeArrayData {
public:
    explicit SafeArrayData(SAFEARRAY* array) : array_(array) {
        if (SafeArrayAccessData(array_, &data_) < 0) data_ = nullptr;
    }
    SafeArrayData(const SafeArrayData&) = delete;
    SafeArrayData& operator=(const SafeArrayData&) = delete;
    ~SafeArrayData() {
        if (data_) SafeArrayUnaccessData(array_);
    }
    void* data() const { return data_; }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
};

}  // namespace HyperVSim
