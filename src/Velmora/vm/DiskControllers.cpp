#include "vm/DiskControllers.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "log/Log.h"
#include "vm/Guid.h"
#include "wmi/Bstr.h"
#include "wmi/EmbeddedInstance.h"
#include "wmi/MethodCall.h"
#include "wmi/Query.h"
#include "wmi/ResourceSettings.h"
#include "wmi/Values.h"
#include "wmi/Variant.h"

namespace Velmora {

namespace {

constexpr std::int32_t ideControllerResourceType = 5;
constexpr std::wstring_view ideControllerSubType = L"Microsoft:Hyper-V:Emulated IDE Controller";
constexpr std::wstring_view scsiControllerSubType = L"Microsoft:Hyper-V:Synthetic SCSI Controller";
constexpr const wchar_t* scsiPoolQuery =
    L"select * from Msvm_ResourcePool where ResourceSubType = 'Microsoft:Hyper-V:Synthetic SCSI Controller' and "
    L"Primordial = True";

// Every resource of the machine's configuration; both controller searches walk the same list.
ComPtr<IEnumWbemClassObject> walkResources(IWbemServices* services, IWbemClassObject* settingsData) {
    return startWalk(services, associationQuery(L"Associators of {", settingsData,
                                                L"} where ResultClass = Msvm_ResourceAllocationSettingData"));
}

// The next resource of the walk; null at its end or after a failed step, each with its Error line.
ComPtr<IWbemClassObject> nextResource(IEnumWbemClassObject* resources) {
    ComPtr<IWbemClassObject> resource;
    ULONG returned = 0;
    const HRESULT hr = resources->Next(static_cast<LONG>(WBEM_INFINITE), 1, resource.put(), &returned);
    if (FAILED(hr)) {
        logValues(Error, "Query::Next failed, err=", hr);
        return nullptr;
    }
    if (!resource) logMessage(Error, "Query returned no objects!");
    return resource;
}

// Compared with the whole stored text, so that neither case nor a trailing character is forgiven.
bool hasSubType(IWbemClassObject* resource, std::wstring_view subType) {
    const Bstr value = getStringField(resource, Bstr(L"ResourceSubType"));
    return std::wstring_view(value.get() ? value.get() : L"", value.length()) == subType;
}

// ResourceType, or nothing after the line that says why it cannot be used.
std::optional<std::int32_t> resourceType(IWbemClassObject* resource) {
    Variant value;
    if (FAILED(resource->Get(L"ResourceType", 0, value.put(), nullptr, nullptr))) {
        logMessage(Error, "Failed to get object field");
        return std::nullopt;
    }
    if (value.type() != VT_I4) {
        logValues(Error, "Invalid type of field, expected string, got ", value.type());
        return std::nullopt;
    }
    return value->lVal;
}

}  // namespace

std::vector<ComPtr<IWbemClassObject>> getIdeControllers(IWbemServices* services, IWbemClassObject* settingsData) {
    logMessage(Info, "Get IDE controllers");
    std::vector<ComPtr<IWbemClassObject>> controllers;
    const ComPtr<IEnumWbemClassObject> resources = walkResources(services, settingsData);
    if (!resources) return controllers;

    while (ComPtr<IWbemClassObject> resource = nextResource(resources.get())) {
        if (resourceType(resource.get()) != ideControllerResourceType) continue;
        if (hasSubType(resource.get(), ideControllerSubType)) {
            logMessage(Info, "Controller added");
            controllers.push_back(std::move(resource));
        } else {
            logMessage(Info, "Controller skipped - wrong subtype");
        }
    }
    logMessage(Info, "Get IDE controllers - OK");
    return controllers;
}

ComPtr<IWbemClassObject> findScsiController(IWbemServices* services, IWbemClassObject* settingsData) {
    const ComPtr<IEnumWbemClassObject> resources = walkResources(services, settingsData);
    if (!resources) return nullptr;
    while (ComPtr<IWbemClassObject> resource = nextResource(resources.get())) {
        if (hasSubType(resource.get(), scsiControllerSubType)) return resource;
    }
    return nullptr;
}

ComPtr<IWbemClassObject> getScsiController(IWbemServices* services, IWbemClassObject* managementService,
                                           IWbemClassObject* managementServiceClass,
                                           IWbemClassObject* settingsData) {
    logMessage(Info, "Get SCSI controller");
    if (ComPtr<IWbemClassObject> found = findScsiController(services, settingsData)) {
        logMessage(Info, "SCSI controller has already added. Using it.");
        return found;
    }

    const ComPtr<IWbemClassObject> pool = executeQuery(services, Bstr(scsiPoolQuery));
    if (!pool) return nullptr;
    const ComPtr<IWbemClassObject> controller = requestDefaultObject(services, pool.get());
    if (!controller) return nullptr;

    const std::optional<GuidText> guid = newGuidText("Geterating adapter GUID");
    if (!guid) return nullptr;
    const SafeArray identifiers = singleStringArray(guid->chars);
    if (!putValue(controller.get(), Bstr(L"VirtualSystemIdentifiers"), arrayValue(identifiers.get()))) {
        return nullptr;
    }
    if (!putValue(controller.get(), Bstr(L"ElementName"), stringValue(L"SCSI Controller"))) return nullptr;

    return addResourceSettings(services, managementService, managementServiceClass, settingsData, controller.get());
}

}  // namespace Velmora
