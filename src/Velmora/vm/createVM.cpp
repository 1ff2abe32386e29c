#include <cstdint>
#include <cwchar>

#include "Velmora.h"
#include "log/Log.h"
#include "vm/ManagementService.h"
#include "vm/NetworkAdapters.h"
#include "vm/ResourceSizing.h"
#include "wmi/Bstr.h"
#include "wmi/ComPtr.h"
#include "wmi/ExportFrame.h"
#include "wmi/MethodCall.h"
#include "wmi/Query.h"
#include "wmi/Values.h"
#include "wmi/Variant.h"

namespace Velmora {

namespace {

const wchar_t* subTypeOf(std::uint32_t generation) {
    switch (generation) {
        case 1:
            return L"Microsoft:Hyper-V:SubType:1";
        case 2:
            return L"Microsoft:Hyper-V:SubType:2";
        default:
            return nullptr;
    }
}

// The new machine's settings as DefineSystem takes them: its embedded-instance text. The text source is
// made here rather than through serializeObject because a failure to make it must end the call instead of
// sending an empty definition. An unreadable object still gives an empty text after its Error line.
bool putSystemSettings(IWbemClassObject* inParams, IWbemClassObject* settingsData) {
    ComPtr<IWbemObjectTextSrc> textSource;
    if (FAILED(CoCreateInstance(CLSID_WbemObjectTextSrc, nullptr, CLSCTX_ALL, IID_IWbemObjectTextSrc,
                                textSource.putVoid()))) {
        logMessage(Error, "Can't create instance of IWbemObjectTextSrc");
        return false;
    }
    Bstr text;
    if (FAILED(textSource->GetText(0, settingsData, WMI_OBJ_TEXT_CIM_DTD_2_0, nullptr, text.put()))) {
        logMessage(Error, "Can't serialize IWbemClassObject");
        text = Bstr(L"");
    }
    return putValue(inParams, Bstr(L"SystemSettings"), stringValue(text.get()));
}

// Copies ResultingSystem into `created`. Refuses a value that is not a string, a null string and one that
// would not fit with its terminator, leaving `created` as it was.
bool takeResultingSystem(IWbemClassObject* outParams, CreatedVM& created) {
    Variant resultingSystem;
    const HRESULT hr = outParams->Get(L"ResultingSystem", 0, resultingSystem.put(), nullptr, nullptr);
    if (hr != S_OK) {
        logValues(Error, "Can't get ResultingSystem, res= ", hr);
        return false;
    }
    if (resultingSystem.type() != VT_BSTR) {
        logValues(Error, "Invalid type of ResultingSystem, expected string, got ", resultingSystem.type());
        return false;
    }
    const wchar_t* path = resultingSystem->bstrVal;
    if (!path) {
        logMessage(Error, "ResultingSystem holds no path");
        return false;
    }
    const std::size_t length = std::wcslen(path);
    if (length >= vmPathCapacity) {
        logValues(Error, "ResultingSystem does not fit the VM path, characters: ", length);
        return false;
    }
    wcscpy_s(created.vmPath, vmPathCapacity, path);
    return true;
}

bool defineMachine(IWbemServices* services, const VMSettings& settings, CreatedVM& created) {
    // Refused before anything is defined: a machine whose adapters cannot be added should not be made.
    if (settings.networksCount > 0 && !settings.networks) {
        logValues(Error, "No list of network adapters given for a count of ", settings.networksCount);
        return false;
    }

    const Bstr serviceClassName(managementServiceClassName);
    const ComPtr<IWbemClassObject> managementServiceClass = getObject(services, serviceClassName);
    if (!managementServiceClass) return false;
    const ComPtr<IWbemClassObject> managementService = getClassInstance(services, serviceClassName);
    if (!managementService) return false;

    const ComPtr<IWbemClassObject> settingsClass = getObject(services, Bstr(L"Msvm_VirtualSystemSettingData"));
    if (!settingsClass) return false;
    const ComPtr<IWbemClassObject> settingsData = spawnInstance(settingsClass.get());
    if (!settingsData) return false;

    if (!putValue(settingsData.get(), Bstr(L"ElementName"), stringValue(settings.name))) return false;
    const wchar_t* subType = subTypeOf(settings.generation);
    if (!subType) {
        logValues(Error, "Invalid VM generation: ", settings.generation);
        return false;
    }
    if (!putValue(settingsData.get(), Bstr(L"VirtualSystemSubType"), stringValue(subType))) return false;
    if (!putValue(settingsData.get(), Bstr(L"ConfigurationDataRoot"),
                  stringValue(settings.configurationDataRoot))) {
        return false;
    }

    const Bstr method(L"DefineSystem");
    const ComPtr<IWbemClassObject> definition = getMethodParams(managementServiceClass.get(), method);
    if (!definition) return false;
    const ComPtr<IWbemClassObject> inParams = spawnInstance(definition.get());
    if (!inParams) return false;
    if (!putSystemSettings(inParams.get(), settingsData.get())) return false;

    const Bstr servicePath = getObjectPath(managementService.get());
    ComPtr<IWbemCallResult> callResult;
    ComPtr<IWbemClassObject> outParams;
    callResult = executeMethod(services, servicePath, method, inParams.get(), &outParams);
    if (!callResult) return false;
    if (!takeResultingSystem(outParams.get(), created)) return false;

    // From here on the machine exists: the remaining steps only adjust it, so their failures are reported
    // and Hyper-V's defaults stand for whatever they could not change.
    if (!setVmRam(services, managementService.get(), managementServiceClass.get(), created.vmPath,
                  settings.ramSizeBytes)) {
        logMessage(Error, "Failed to set RAM value. Default value 1024 MB will be used");
    }
    if (!setCpuCores(services, managementService.get(), managementServiceClass.get(), created.vmPath,
                     settings.cpu)) {
        logMessage(Error, "Failed to set cpu cores number. Default value 1 cpu core will be used");
    }
    if (!setNetworkAdapters(services, managementService.get(), managementServiceClass.get(), created.vmPath,
                            settings.networks, settings.networksCount)) {
        logMessage(Error, "Failed to set up connection to network adapters");
    }
    logMessage(Info, "Create VM - OK");
    return true;
}

}  // namespace

bool createVM(LogCallback log, const VMSettings& settings, CreatedVM& created) {
    return runExport(log, "Create VM",
                     [&](IWbemServices* hyperV) { return defineMachine(hyperV, settings, created); });
}

}  // namespace Velmora
