#include "wmi/ResourceSettings.h"

#include "HResultError.h"
#include "log/Log.h"
#include "wmi/Bstr.h"
#include "wmi/EmbeddedInstance.h"
#include "wmi/MethodCall.h"
#include "wmi/Query.h"
#include "wmi/SafeArray.h"
#include "wmi/Values.h"
#include "wmi/Variant.h"

namespace Velmora {

namespace {

// A copy of the string array that `value` holds; anything else is a caller's argument error.
SafeArray copyStringArray(const Variant& value) {
    if (!(value.type() & VT_ARRAY) || !value->parray) throw HResultError(E_INVALIDARG);
    VARTYPE elementType = VT_EMPTY;
    throwIfFailed(SafeArrayGetVartype(value->parray, &elementType));
    if (elementType != VT_BSTR) throw HResultError(E_INVALIDARG);
    SAFEARRAY* copied = nullptr;
    throwIfFailed(SafeArrayCopy(value->parray, &copied));
    return SafeArray::adopt(copied);
}

// Element 0 of the object paths Hyper-V created, or null when there is none.
ComPtr<IWbemClassObject> getFirstResult(IWbemServices* services, const Variant& resulting) {
    const SafeArray paths = copyStringArray(resulting);
    SafeArrayLockGuard lock(paths.get());
    LONG lower = 0;
    LONG upper = 0;
    throwIfFailed(SafeArrayGetLBound(paths.get(), 1, &lower));
    throwIfFailed(SafeArrayGetUBound(paths.get(), 1, &upper));
    const long long count = static_cast<long long>(upper) - lower + 1;
    if (count <= 0) {
        logMessage(Error, "Result count == 0");
        return nullptr;
    }
    if (lower > 0 || upper < 0) throw HResultError(E_INVALIDARG);
    const BSTR first = static_cast<BSTR*>(paths.get()->pvData)[-lower];
    logValues(Info, "Request result: ", first);
    return getObject(services, Bstr(first));
}

}  // namespace

ComPtr<IWbemClassObject> addResourceSettings(IWbemServices* services, IWbemClassObject* managementService,
                                             IWbemClassObject* managementServiceClass,
                                             IWbemClassObject* settingsData, IWbemClassObject* resourceSettings) {
    logMessage(Info, "Add resource settings");
    const Bstr method(L"AddResourceSettings");
    const ComPtr<IWbemClassObject> inDefinition = getMethodParams(managementServiceClass, method);
    if (!inDefinition) return nullptr;
    const ComPtr<IWbemClassObject> inParams = spawnInstance(inDefinition.get());
    if (!inParams) return nullptr;

    const Bstr settingsPath = getObjectPath(settingsData);
    if (!putValue(inParams.get(), Bstr(L"AffectedConfiguration"), stringValue(settingsPath.get()))) return nullptr;
    if (!putEmbeddedInstanceList(inParams.get(), Bstr(L"ResourceSettings"), resourceSettings)) return nullptr;

    const Bstr servicePath = getObjectPath(managementService);
    ComPtr<IWbemClassObject> outParams;
    const ComPtr<IWbemCallResult> callResult =
        executeMethod(services, servicePath, method, inParams.get(), &outParams);
    if (!callResult) return nullptr;

    // A success code other than S_OK is refused as well: the value it came with is not trusted.
    Variant resulting;
    const HRESULT hr = outParams->Get(L"ResultingResourceSettings", 0, resulting.put(), nullptr, nullptr);
    if (hr != S_OK) {
        logValues(Error, "Can't get ResultingSystem, res= ", hr);
        return nullptr;
    }
    if (resulting.type() == VT_NULL) {
        logMessage(Error, "Settings == VT_NULL");
        return nullptr;
    }
    return getFirstResult(services, resulting);
}

}  // namespace Velmora
