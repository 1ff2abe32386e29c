#include "wmi/MethodCall.h"

#include <optional>

#include "log/Log.h"
#include "wmi/Variant.h"

namespace Velmora {

namespace {

constexpr std::uint32_t returnCompleted = 0;
constexpr std::uint32_t returnJobStarted = 4096;

// The output parameters of a completed call: those that came with it, or those its call result holds.
// Null after the line that says why there are none.
ComPtr<IWbemClassObject> outputOf(IWbemCallResult* callResult, const ComPtr<IWbemClassObject>* given) {
    ComPtr<IWbemClassObject> output;
    if (given) {
        output = *given;
    } else {
        const HRESULT hr = callResult->GetResultObject(static_cast<LONG>(WBEM_INFINITE), output.put());
        if (FAILED(hr)) {
            logValues(Error, "Could not get method result, err=", hr);
            return nullptr;
        }
    }
    if (!output) logMessage(Error, "Null out params!");
    return output;
}

// ReturnValue (uint32, delivered as VT_I4), or nothing after the line a field read logs when it fails.
std::optional<std::uint32_t> returnValueOf(IWbemClassObject* output) {
    Variant value;
    if (FAILED(output->Get(L"ReturnValue", 0, value.put(), nullptr, nullptr))) {
        logMessage(Error, "Failed to get object field");
        return std::nullopt;
    }
    if (value.type() != VT_I4) {
        logValues(Error, "Invalid type of field, expected string, got ", value.type());
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value->lVal);
}

}  // namespace

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
                                      IWbemClassObject* inParams, ComPtr<IWbemClassObject>* outParams,
                                      const ReturnValueTolerance& tolerate) {
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

    // WMI accepted the call; whether the method did what was asked is its own ReturnValue.
    const ComPtr<IWbemClassObject> output = outputOf(callResult.get(), outParams);
    if (!output) return nullptr;
    const std::optional<std::uint32_t> returnValue = returnValueOf(output.get());
    if (!returnValue) return nullptr;
    if (*returnValue == returnCompleted || *returnValue == returnJobStarted) return callResult;
    if (tolerate && tolerate(*returnValue)) return callResult;
    logValues(Error, "", method.get(), " returned ", *returnValue);
    return nullptr;
}

}  // namespace Velmora
