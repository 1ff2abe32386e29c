// Shared by the platform tests: a fixture that resets the stand-in's process-wide test state and checks that
// a test released every string and array it made, and small COM objects to activate and inspect.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "WinCompat/Testing.h"
#include "WinCompat/wbemidl.h"
#include "WinCompat/windows.h"

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        WinCompat::Testing::clearFaults();
        WinCompat::Testing::resetProcessSecurity();
        before_ = WinCompat::Testing::liveCounts();
    }
    void TearDown() override {
        WinCompat::Testing::disarmAllocationFailure();
        WinCompat::Testing::clearFaults();
        WinCompat::Testing::resetProcessSecurity();
        EXPECT_EQ(WinCompat::Testing::liveCounts(), before_) << "a string, array or registration leaked";
        EXPECT_EQ(WinCompat::Testing::comInitDepth(), 0) << "COM left initialised on the test thread";
    }

private:
    WinCompat::Testing::LiveCounts before_;
};

inline std::wstring text(BSTR s) {
    return s == nullptr ? std::wstring() : std::wstring(s, SysStringLen(s));
}

// An object with a reference count, optionally implementing IClientSecurity (recording SetBlanket's arguments).
class FakeObject final : public IClientSecurity {
public:
    explicit FakeObject(bool clientSecurity = false, HRESULT blanketResult = S_OK)
        : clientSecurity_(clientSecurity), blanketResult_(blanketResult) {}
    virtual ~FakeObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualGUID(riid, IID_IUnknown) || (clientSecurity_ && IsEqualGUID(riid, IID_IClientSecurity))) {
            *ppv = static_cast<IClientSecurity*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**,
                                           DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown* pProxy, DWORD authn, DWORD authz, OLECHAR* principal,
                                         DWORD authnLevel, DWORD impLevel, void* authInfo,
                                         DWORD capabilities) override {
        ++blanketCalls;
        blanketProxy = pProxy;
        blanketArgs[0] = authn;
        blanketArgs[1] = authz;
        blanketArgs[2] = authnLevel;
        blanketArgs[3] = impLevel;
        blanketArgs[4] = capabilities;
        blanketPrincipal = principal;
        blanketAuthInfo = authInfo;
        return blanketResult_;
    }
    HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown*, IUnknown**) override { return E_NOTIMPL; }

    ULONG references() const { return references_; }

    int blanketCalls = 0;
    IUnknown* blanketProxy = nullptr;
    DWORD blanketArgs[5] = {};
    OLECHAR* blanketPrincipal = nullptr;
    void* blanketAuthInfo = nullptr;

private:
    std::atomic<ULONG> references_{1};
    bool clientSecurity_;
    HRESULT blanketResult_;
};

// A class factory that makes FakeObjects and counts them.
class FakeFactory final : public IClassFactory {
public:
    virtual ~FakeFactory() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        auto* object = new FakeObject(true);
        const HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        if (SUCCEEDED(hr)) ++created;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    ULONG references() const { return references_; }
    std::atomic<int> created{0};

private:
    std::atomic<ULONG> references_{1};
};

// A class identifier that nothing registers.
inline constexpr CLSID testClassId = {0x12345678, 0x9ABC, 0x4DEF, {0x80, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};
