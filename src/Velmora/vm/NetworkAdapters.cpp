#include "vm/NetworkAdapters.h"

#include "log/Log.h"
#include "vm/Guid.h"
#include "vm/MachineSettings.h"
#include "wmi/Bstr.h"
#include "wmi/EmbeddedInstance.h"
#include "wmi/MethodCall.h"
#include "wmi/Query.h"
#include "wmi/ResourceSettings.h"
#include "wmi/Values.h"

namespace Velmora {

namespace {

constexpr const wchar_t* adapterPoolQuery =
    L"select * from Msvm_ResourcePool where ResourceSubType = 'Microsoft:Hyper-V:Synthetic Ethernet Port' and "
    L"Primordial = True";
constexpr const wchar_t* connectionPoolQuery =
    L"select * from Msvm_ResourcePool where ResourceType = 33 and Primordial = True";

// The connection is added without reading what Hyper-V reports back, so this is addResourceSettings up to
// its method call only.
bool addConnection(IWbemServices* services, IWbemClassObject* managementService,
                   IWbemClassObject* managementServiceClass, IWbemClassObject* settingsData,
                   IWbemClassObject* connection) {
    const Bstr method(L"AddResourceSettings");
    const ComPtr<IWbemClassObject> definition = getMethodParams(managementServiceClass, method);
    if (!definition) return false;
    const ComPtr<IWbemClassObject> inParams = spawnInstance(definition.get());
    if (!inParams) return false;

    const Bstr settingsDataPath = getObjectPath(settingsData);
    if (!putValue(inParams.get(), Bstr(L"AffectedConfiguration"), stringValue(settingsDataPath.get()))) {
        return false;
    }
    if (!putEmbeddedInstanceList(inParams.get(), Bstr(L"ResourceSettings"), connection)) return false;

    const Bstr servicePath = getObjectPath(managementService);
    return static_cast<bool>(executeMethod(services, servicePath, method, inParams.get(), nullptr));
}

// One adapter and its connection. False after the line that says which part failed.
bool connectSwitch(IWbemServices* services, IWbemClassObject* managementService,
                   IWbemClassObject* managementServiceClass, IWbemClassObject* settingsData,
                   const wchar_t* switchPath) {
    const ComPtr<IWbemClassObject> adapter =
        createSyntheticAdapter(services, managementService, managementServiceClass, settingsData);
    if (!adapter) {
        logMessage(Error, "Cannot create new synthetic adapter");
        return false;
    }
    const ComPtr<IWbemClassObject> switchObject = getObject(services, Bstr(switchPath));
    if (!switchObject) {
        logMessage(Error, "Cannot get adapter");
        return false;
    }
    const ComPtr<IWbemClassObject> connection = createConnection(services, adapter.get(), switchObject.get());
    if (!connection) {
        logMessage(Error, "Failed to create connection to synthetic adapter");
        return false;
    }
    return addConnection(services, managementService, managementServiceClass, settingsData, connection.get());
}

}  // namespace

bool setNetworkAdapters(IWbemServices* services, IWbemClassObject* managementService,
                        IWbemClassObject* managementServiceClass, const wchar_t* vmPath,
                        const wchar_t* const* networks, std::uint32_t networksCount) {
    logMessage(Info, "Set network adapters");
    const ComPtr<IWbemClassObject> machine = getObject(services, Bstr(vmPath));
    if (!machine) return false;
    const ComPtr<IWbemClassObject> settingsData = getMachineSettings(services, machine.get());
    if (!settingsData) {
        logMessage(Error, "Cannot get virtual system settings data");
        return false;
    }

    logMessage(Info, "Creating adapters");
    for (std::uint32_t index = 0; index < networksCount; ++index) {
        if (!connectSwitch(services, managementService, managementServiceClass, settingsData.get(),
                           networks[index])) {
            return false;
        }
    }
    logMessage(Info, "Set network adapters - OK");
    return true;
}

ComPtr<IWbemClassObject> createSyntheticAdapter(IWbemServices* services, IWbemClassObject* managementService,
                                                IWbemClassObject* managementServiceClass,
                                                IWbemClassObject* settingsData) {
    logMessage(Info, "Create syntetic adapter");
    const ComPtr<IWbemClassObject> pool = executeQuery(services, Bstr(adapterPoolQuery));
    if (!pool) return nullptr;
    const ComPtr<IWbemClassObject> adapter = requestDefaultObject(services, pool.get());
    if (!adapter) return nullptr;

    const std::optional<GuidText> guid = newGuidText("Generating adapter GUID");
    if (!guid) return nullptr;
    const SafeArray identifiers = singleStringArray(guid->chars);

    if (!putValue(adapter.get(), Bstr(L"VirtualSystemIdentifiers"), arrayValue(identifiers.get()))) return nullptr;
    if (!putValue(adapter.get(), Bstr(L"ElementName"), stringValue(L"Network Adapter"))) return nullptr;
    // Left out, StaticMacAddress would keep whatever the pool's template says; false lets Hyper-V assign one.
    if (!putValue(adapter.get(), Bstr(L"StaticMacAddress"), boolValue(false))) return nullptr;

    return addResourceSettings(services, managementService, managementServiceClass, settingsData, adapter.get());
}

ComPtr<IWbemClassObject> createConnection(IWbemServices* services, IWbemClassObject* adapter,
                                          IWbemClassObject* switchObject) {
    logMessage(Info, "Create connection");
    const ComPtr<IWbemClassObject> pool = executeQuery(services, Bstr(connectionPoolQuery));
    if (!pool) return nullptr;
    ComPtr<IWbemClassObject> connection = requestDefaultObject(services, pool.get());
    if (!connection) return nullptr;

    const Bstr adapterPath = getObjectPath(adapter);
    if (!putValue(connection.get(), Bstr(L"Parent"), stringValue(adapterPath.get()))) return nullptr;

    const Bstr switchPath = getObjectPath(switchObject);
    const SafeArray hostResource = singleStringArray(switchPath.get());
    if (!putValue(connection.get(), Bstr(L"HostResource"), arrayValue(hostResource.get()))) return nullptr;

    logMessage(Info, "Create connection - OK");
    return connection;
}

}  // namespace Velmora
