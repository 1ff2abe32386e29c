#include "WindowsHostRegistration.h"

#include <cstdio>

#include "TestPlatform.h"

extern "C" HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);

namespace VelmoraTest {
namespace {

// Registers one class of the host; 0 on failure (the reason is printed).
DWORD registerClass(REFCLSID id, const char* name) {
    IUnknown* factory = nullptr;
    HRESULT result = DllGetClassObject(id, IID_IUnknown, reinterpret_cast<void**>(&factory));
    DWORD cookie = 0;
    if (SUCCEEDED(result)) {
        result = ::CoRegisterClassObject(id, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
        factory->Release();
    }
    if (FAILED(result)) {
        std::fprintf(stderr, "cannot register the simulated host's %s: 0x%08lX\n", name,
                     static_cast<unsigned long>(result));
        return 0;
    }
    return cookie;
}

}  // namespace

WindowsHostRegistration::WindowsHostRegistration() : thread_([this] { run(); }) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ready_; });
}

WindowsHostRegistration::~WindowsHostRegistration() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void WindowsHostRegistration::run() {
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const DWORD locator = SUCCEEDED(com) ? registerClass(CLSID_WbemLocator, "WMI locator") : 0;
    const DWORD textSource = SUCCEEDED(com) ? registerClass(CLSID_WbemObjectTextSrc, "object text source") : 0;
    {
        std::unique_lock lock(mutex_);
        ready_ = true;
        ok_ = locator != 0 && textSource != 0;
        changed_.notify_all();
        changed_.wait(lock, [this] { return stop_; });
    }
    if (textSource) ::CoRevokeClassObject(textSource);
    if (locator) ::CoRevokeClassObject(locator);
    if (SUCCEEDED(com)) ::CoUninitialize();
}

}  // namespace VelmoraTest
