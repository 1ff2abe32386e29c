#include "vm/StateChange.h"

#include "log/Log.h"
#include "wmi/Bstr.h"
#include "wmi/ExportFrame.h"
#include "wmi/MethodCall.h"
#include "wmi/Query.h"
#include "wmi/Values.h"

namespace Velmora {

namespace {

bool changeState(IWbemServices* hyperV, const wchar_t* vmPath, std::uint16_t requestedState) {
    const Bstr path(vmPath);
    // Only proves that the machine exists: a machine that is gone is already as off as it gets.
    const ComPtr<IWbemClassObject> machine = getObject(hyperV, path);
    if (!machine) {
        if (requestedState != requestedStateDisabled) return false;
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

    // The caller's path text goes to WMI as given, not the __Path that WMI reports for the machine.
    const ComPtr<IWbemCallResult> callResult = executeMethod(hyperV, path, method, inParams.get(), nullptr);
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
