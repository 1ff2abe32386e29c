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

ClassRegistration::ClassRegistration() : thread_([this] { run(); }) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ready_; });
}

ClassRegistration::~ClassRegistration() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ClassRegistration::run() {
    HRESULT result = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const bool comStarted = SUCCEEDED(result);
    const DWORD locator = comStarted ? registerClass(CLSID_WbemLocator, result) : 0;
    const DWORD textSource = locator ? registerClass(CLSID_WbemObjectTextSrc, result) : 0;
    {
        std::unique_lock lock(mutex_);
        ready_ = true;
        result_ = textSource ? S_OK : result;
        changed_.notify_all();
        changed_.wait(lock, [this] { return stop_; });
    }
    if (textSource) ::CoRevokeClassObject(textSource);
    if (locator) ::CoRevokeClassObject(locator);
    if (comStarted) ::CoUninitialize();
}

}  // namespace HyperVSim
