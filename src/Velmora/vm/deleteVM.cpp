#include "Velmora.h"
#include "log/Log.h"
#include "wmi/Bstr.h"
#include "wmi/ExportFrame.h"
#include "wmi/MethodCall.h"
#include "wmi/Query.h"
#include "wmi/Values.h"

namespace Velmora {

namespace {

// The machine is not looked up first: its path travels only inside AffectedSystem, and Hyper-V's verdict
// on the call is the result.
bool destroySystem(IWbemServices* hyperV, const wchar_t* vmPath) {
    const Bstr serviceClassName(managementServiceClassName);
    const ComPtr<IWbemClassObject> serviceClass = getObject(hyperV, serviceClassName);
    if (!serviceClass) return false;
    const ComPtr<IWbemClassObject> service = getClassInstance(hyperV, serviceClassName);
    if (!service) return false;

    const Bstr method(L"DestroySystem");
    const ComPtr<IWbemClassObject> inDefinition = getMethodParams(serviceClass.get(), method);
    if (!inDefinition) return false;
    const ComPtr<IWbemClassObject> inParams = spawnInstance(inDefinition.get());
    if (!inParams) return false;
    if (!putValue(inParams.get(), Bstr(L"AffectedSystem"), stringValue(vmPath))) return false;

    const Bstr servicePath = getObjectPath(service.get());
    const ComPtr<IWbemCallResult> callResult = executeMethod(hyperV, servicePath, method, inParams.get(), nullptr);
    if (!callResult) return false;
    logMessage(Info, "Delete VM - OK");
    return true;
}

}  // namespace

bool deleteVM(LogCallback log, const wchar_t* vmPath) {
    return runExport(log, "Delete VM", [vmPath](IWbemServices* hyperV) { return destroySystem(hyperV, vmPath); });
}

}  // namespace Velmora
