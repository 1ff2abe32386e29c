#include "vm/StateChange.h"

#include <optional>

#include "log/Log.h"
#include "wmi/Bstr.h"
#include "wmi/ExportFrame.h"
#include "wmi/MethodCall.h"
#include "wmi/Query.h"
#include "wmi/Values.h"
#include "wmi/Variant.h"

namespace Velmora {

namespace {

// Hyper-V's answer to a request for the state the machine is in already.
constexpr std::uint32_t invalidStateReturn = 32775;

// EnabledState of the instance fetched before the call; nothing when it cannot be read as a number.
std::optional<std::int32_t> enabledStateOf(IWbemClassObject* machine) {
    Variant state;
    if (FAILED(machine->Get(L"EnabledState", 0, state.put(), nullptr, nullptr)) || state.type() != VT_I4)
        return std::nullopt;
    return state->lVal;
}

bool changeState(IWbemServices* hyperV, const wchar_t* vmPath, std::uint16_t requestedState) {
    const Bstr path(vmPath);
    HRESULT lookup = S_OK;
    const ComPtr<IWbemClassObject> machine = getObject(hyperV, path, lookup);
    if (!machine) {
        // Only a machine that is not there is as off as it gets; a path WMI cannot use says nothing of the
        // machine.
        if (requestedState != requestedStateDisabled || lookup != static_cast<HRESULT>(WBEM_E_NOT_FOUND))
            return false;
        logMessage(Warning, "VM seems to be already deleted");
        return true;
    }

    const ComPtr<IWbemClassObject> computerSystemClass = getObject(hyperV, Bstr(L"Msvm_ComputerSystem"));
    if (!computerSystemClass) return false;
    const Bstr method(L"RequestStateChange");
    const ComPtr<IWbemClassObject> inDefinition = getMethodParams(computerSystemClass.get(), method);
    if (!inDefinition) return false;
    const ComPtr<IWbemClassObject> inParams = spawnInstance(inDefinition.get());
    if (!inParams) return false;
    // VT_I2 is the VARIANT type WMI converts to the uint16 parameter; the state number is passed unchanged.
    if (!putValue(inParams.get(), Bstr(L"RequestedState"), int16Value(static_cast<std::int16_t>(requestedState))))
        return false;

    // Hyper-V refuses a request for the state the machine is in; the request is met all the same.
    const auto alreadyThere = [&machine, requestedState](std::uint32_t returnValue) {
        if (returnValue != invalidStateReturn || enabledStateOf(machine.get()) != requestedState) return false;
        logMessage(Warning, "VM is already in the requested state");
        return true;
    };
    // The caller's path text goes to WMI as given, not the __Path that WMI reports for the machine.
    const ComPtr<IWbemCallResult> callResult =
        executeMethod(hyperV, path, method, inParams.get(), nullptr, alreadyThere);
    if (!callResult) return false;
    logMessage(Info, "Request VM state change - OK");
    return true;
}

}  // namespace

bool requestStateChange(const wchar_t* vmPath, std::uint16_t requestedState) {
    logMessage(Info, "Request VM state change");
    return withHyperVServices(
        [vmPath, requestedState](IWbemServices* hyperV) { return changeState(hyperV, vmPath, requestedState); });
}

}  // namespace Velmora
