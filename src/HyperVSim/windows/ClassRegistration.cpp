#include "windows/ClassRegistration.h"

#include "HyperVSim/Control.h"

extern "C" HYPERVSIM_API HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);

namespace HyperVSim {
namespace {

// Registers one class of the host: its cookie, or 0 with the failure in `result`.
DWORD registerClass(REFCLSID id, HRESULT& result) {
    IUnknown* factory = nullptr;
    result = DllGetClassObject(id, IID_IUnknown, reinterpret_cast<void**>(&factory));
    if (FAILED(result)) return 0;
    DWORD cookie = 0;
    result = ::CoRegisterClassObject(id, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    // The COM runtime keeps a reference of its own while the class is registered.
    factory->Release();
    return SUCCEEDED(result) ? cookie : 0;
}

}  // namespace

ClassRegistration::ClassRegistration() {
    result_ = thread_.run([this] {
        HRESULT result = S_OK;
        locator_ = registerClass(CLSID_WbemLocator, result);
        if (locator_) textSource_ = registerClass(CLSID_WbemObjectTextSrc, result);
        return result;
    });
}

ClassRegistration::~ClassRegistration() {
    thread_.run([this] {
        if (textSource_) ::CoRevokeClassObject(textSource_);
        if (locator_) ::CoRevokeClassObject(locator_);
        return S_OK;
    });
}

HRESULT ClassRegistration::withdrawLocator() {
    return thread_.run([this] {
        if (!locator_) return S_FALSE;
        const HRESULT result = ::CoRevokeClassObject(locator_);
        if (SUCCEEDED(result)) locator_ = 0;
        return result;
    });
}

HRESULT ClassRegistration::restoreLocator() {
    return thread_.run([this] {
        if (locator_) return S_FALSE;
        HRESULT result = S_OK;
        locator_ = registerClass(CLSID_WbemLocator, result);
        return result;
    });
}

}  // namespace HyperVSim
