#include "wmi/Connection.h"

#include "log/Log.h"

namespace Velmora {
namespace {

bool comStarted(HRESULT result) {
    // S_OK and S_FALSE: this call joined (or re-entered) the apartment. RPC_E_CHANGED_MODE: the thread is
    // already in another apartment that someone else set up; COM is usable all the same.
    return static_cast<ULONG>(result) <= 1 || result == RPC_E_CHANGED_MODE;
}

bool securityUsable(HRESULT result) {
    // RPC_E_TOO_LATE: the process already has its security, set by an earlier call.
    return SUCCEEDED(result) || result == RPC_E_TOO_LATE;
}

}  // namespace

ComInitializer::ComInitializer() {
    logMessage(Info, "Initializing COM");
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (!comStarted(init)) {
        logValues(Error, "Failed to initialize COM library. Error: ", init);
        return;
    }
    // Only this call's own initialisation is balanced; after RPC_E_CHANGED_MODE the thread's COM belongs
    // to the caller and must be left as it is.
    balance_.armed = init != RPC_E_CHANGED_MODE;
    const HRESULT security =
        CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_DYNAMIC_CLOAKING, nullptr);
    if (!securityUsable(security)) {
        logValues(Error, "Failed to initialize security. Error: ", security);
        return;
    }
    usable_ = true;
}

ComPtr<IWbemServices> connectToServer() {
    logMessage(Info, "Connect to the server");
    ComPtr<IWbemLocator> locator;
    HRESULT result = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_ALL, IID_IWbemLocator, locator.putVoid());
    if (FAILED(result)) {
        logValues(Error, "Failed to create IWbemLocator object, err=", result);
        return nullptr;
    }
    // A real BSTR even for a constant: the locator's proxy marshals the argument by its length prefix.
    const Bstr rootNamespace(L"root");
    ComPtr<IWbemServices> services;
    result =
        locator->ConnectServer(rootNamespace.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put());
    if (FAILED(result)) {
        logValues(Error, "Could not connect, err=", result);
        return nullptr;
    }
    // Windows' CoSetProxyBlanket dereferences the proxy without a check: a success without an object must
    // stop here, as it does for OpenNamespace.
    if (!services) {
        logMessage(Error, "Null namespace!");
        return nullptr;
    }
    result = CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(result)) {
        logValues(Error, "Could not set proxy blanket. err=", result);
        return nullptr;
    }
    logMessage(Info, "Connect to the server - OK");
    return services;
}

ComPtr<IWbemServices> openNamespace(IWbemServices* parent, const Bstr& name) {
    logValues(Info, "Open namespace: ", name.get());
    ComPtr<IWbemServices> child;
    const HRESULT result = parent->OpenNamespace(name.get(), 0, nullptr, child.put(), nullptr);
    if (FAILED(result)) {
        logValues(Error, "Failed to open namespace, err=", result);
        return nullptr;
    }
    if (!child) {
        logMessage(Error, "Null namespace!");
        return nullptr;
    }
    return child;
}

}  // namespace Velmora
