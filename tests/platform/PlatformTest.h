// Shared by the platform tests: a fixture that resets the stand-in's process-wide test state and checks that a
// test released every string, array and registration it made and left COM as it found it; a class factory.
#pragma once

#include <gtest/gtest.h>

#include <atomic>

#include "WinCompat/Testing.h"
#include "WinCompat/wbemidl.h"
#include "WinCompat/windows.h"

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { before_ = (reset(), WinCompat::Testing::liveCounts()); }
    void TearDown() override {
        reset();
        EXPECT_EQ(WinCompat::Testing::liveCounts(), before_) << "a string, array or registration leaked";
        EXPECT_EQ(WinCompat::Testing::comInitDepth(), 0) << "COM left initialised on the test thread";
    }

private:
    static void reset() {
        WinCompat::Testing::disarmAllocationFailure();
        WinCompat::Testing::clearFaults();
        WinCompat::Testing::resetProcessSecurity();
    }
    WinCompat::Testing::LiveCounts before_;
};

using Results = std::vector<HRESULT>;  // of calls made one after the other, to compare with those expected

inline std::wstring text(BSTR s) {
    return s == nullptr ? std::wstring() : std::wstring(s, SysStringLen(s));
}

inline HRESULT initializeSecurity() {
    return CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_DYNAMIC_CLOAKING, nullptr);
}

// Classes that nothing else registers.
inline constexpr CLSID testClassId = {0x12345678, 0x9ABC, 0x4DEF, {0x80, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};
inline constexpr CLSID otherClassId = {
    0x12345679, 0x9ABC, 0x4DEF, {0x80, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};

// CoCreateInstance of a class, releasing what it made.
inline HRESULT create(REFCLSID id, DWORD context = CLSCTX_ALL, REFIID iid = IID_IUnknown) {
    void* object = nullptr;
    const HRESULT hr = CoCreateInstance(id, nullptr, context, iid, &object);
    if (object != nullptr) static_cast<IUnknown*>(object)->Release();
    return hr;
}

// A reference-counted class factory that hands itself out as each object it makes, and counts them.
class FakeFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        const bool known = IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory);
        *ppv = known ? this : nullptr;
        if (known) AddRef();
        return known ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
        const HRESULT hr = QueryInterface(riid, ppv);
        if (SUCCEEDED(hr)) ++created;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    std::atomic<ULONG> references{1};
    std::atomic<int> created{0};
};
