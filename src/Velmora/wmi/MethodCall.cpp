#include "wmi/MethodCall.h"

#include "log/Log.h"

namespace Velmora {

ComPtr<IWbemClassObject> getMethodParams(IWbemClassObject* classDefinition, const Bstr& method) {
    logValues(Info, "Get method params: ", method.get());
    ComPtr<IWbemClassObject> inSignature;
    const HRESULT hr = classDefinition->GetMethod(method.get(), 0, inSignature.put(), nullptr);
    if (FAILED(hr)) {
        logValues(Error, "Could not get method, err=", hr);
        return nullptr;
    }
    // A method without inputs has no signature object; every method we call has inputs, so this is a fault.
    if (!inSignature) {
        logMessage(Error, "Returned null method params!");
        return nullptr;
    }
    return inSignature;
}

ComPtr<IWbemClassObject> spawnInstance(IWbemClassObject* classObject) {
    logMessage(Info, "Spawn instance");
    ComPtr<IWbemClassObject> instance;
    const HRESULT hr = classObject->SpawnInstance(0, instance.put());
    if (FAILED(hr)) {
        logValues(Error, "SpawnInstance call failed, err=", hr);
        return nullptr;
    }
    if (!instance) {
        logMessage(Error, "Spawned null instance!");
        return nullptr;
    }
    return instance;
}

bool putValue(IWbemClassObject* object, const Bstr& name, Variant value) {
    logValues(Info, "Put value: ", name.get());
    // Type 0: WMI takes the CIM type from the property's definition and converts the VARIANT to it.
    const HRESULT hr = object->Put(name.get(), 0, value.get(), 0);
    if (FAILED(hr)) {
        logValues(Error, "Put param failed, err= ", hr);
        return false;
    }
    return true;
}

ComPtr<IWbemCallResult> executeMethod(IWbemServices* services, const Bstr& path, const Bstr& method,
                                      IWbemClassObject* inParams, ComPtr<IWbemClassObject>* outParams) {
    logValues(Info, "Executing method: ", method.get());
    ComPtr<IWbemCallResult> callResult;
    HRESULT hr = services->ExecMethod(path.get(), method.get(), 0, nullptr, inParams,
                                      outParams ? outParams->put() : nullptr, callResult.put());
    if (FAILED(hr)) {
        logValues(Error, "Call failed, err= ", hr);
        return nullptr;
    }
    if (!callResult) {
        logMessage(Error, "Null call result!");
        return nullptr;
    }
    // Only the WMI call status decides: the method's own ReturnValue (a started job, a refusal) is left to
    // callers that read the output parameters.
    LONG status = 0;
    hr = callResult->GetCallStatus(static_cast<LONG>(WBEM_INFINITE), &status);
    if (FAILED(hr)) {
        logValues(Error, "Faled to get call status", hr);
        return nullptr;
    }
    if (status != 0) {
        logValues(Error, "Call failed, status: ", status);
        return nullptr;
    }
    return callResult;
}

}  // namespace Velmora
