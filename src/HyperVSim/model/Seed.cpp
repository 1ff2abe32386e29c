#include "model/Seed.h"

#include <algorithm>
#include <array>

namespace HyperVSim {
namespace {

constexpr const wchar_t* hostMemoryDevice = L"Microsoft:4764334E-E001-4176-82EE-5594EC9B530E\\";

void put(HostState& state, Instance instance) {
    state.repository.put(std::move(instance));
}

std::wstring addHostSystem(HostState& state) {
    Instance host = Instance::ofClass(L"Msvm_ComputerSystem");
    host.setString(L"CreationClassName", L"Msvm_ComputerSystem");
    host.setString(L"Name", hostName);
    host.setString(L"ElementName", hostName);
    host.setString(L"Caption", L"Hosting Computer System");
    host.setString(L"Description", L"Microsoft Hosting Computer System");
    host.setInteger(L"EnabledState", 2);
    host.setInteger(L"HealthState", 5);
    host.setInteger(L"NumberOfNumaNodes", 2);
    auto path = host.fullPath();
    put(state, std::move(host));
    return path;
}

void addManagementService(HostState& state) {
    Instance service = Instance::ofClass(L"Msvm_VirtualSystemManagementService");
    service.setString(L"CreationClassName", L"Msvm_VirtualSystemManagementService");
    service.setString(L"Name", L"vmms");
    service.setString(L"SystemCreationClassName", L"Msvm_ComputerSystem");
    service.setString(L"SystemName", hostName);
    service.setString(L"ElementName", L"Virtual Machine Management Service");
    service.setString(L"Caption", L"Virtual Machine Management Service");
    service.setInteger(L"EnabledState", 2);
    service.setInteger(L"HealthState", 5);
    service.setBoolean(L"Started", true);
    put(state, std::move(service));
}

void addHostMemory(HostState& state, std::wstring_view suffix, std::uint64_t mebibytes) {
    Instance memory = Instance::ofClass(L"Msvm_Memory");
    const std::wstring device = std::wstring(hostMemoryDevice) + std::wstring(suffix);
    memory.setString(L"CreationClassName", L"Msvm_Memory");
    memory.setString(L"DeviceID", device);
    memory.setString(L"SystemCreationClassName", L"Msvm_ComputerSystem");
    memory.setString(L"SystemName", hostName);
    memory.setString(L"Name", device);
    memory.setString(L"ElementName", L"Memory");
    memory.setString(L"Purpose", L"System Memory");
    memory.set(L"BlockSize", CimValue::uint64(1048576));
    memory.set(L"NumberOfBlocks", CimValue::uint64(mebibytes));
    memory.set(L"ConsumableBlocks", CimValue::uint64(mebibytes));
    memory.setInteger(L"EnabledState", 2);
    put(state, std::move(memory));
}

struct TemplateRole {
    const wchar_t* name;
    std::int64_t valueRole;
    std::int64_t valueRange;
};
constexpr std::array<TemplateRole, 4> templateRoles{{
    {L"Default", 0, 0},
    {L"Minimum", 3, 1},
    {L"Maximum", 3, 2},
    {L"Increment", 3, 3},
}};

Instance templateLink(const std::wstring& capabilitiesPath, const std::wstring& templatePath,
                      const TemplateRole& role) {
    Instance link = Instance::ofClass(L"Msvm_SettingsDefineCapabilities");
    link.set(L"GroupComponent", CimValue::string(capabilitiesPath, CimType::Reference));
    link.set(L"PartComponent", CimValue::string(templatePath, CimType::Reference));
    link.setInteger(L"ValueRole", role.valueRole);
    link.setInteger(L"ValueRange", role.valueRange);
    return link;
}

bool isDefaultLink(const Instance& link) {
    return link.getInteger(L"ValueRole") == 0;
}

}  // namespace

std::wstring addSwitch(HostState& state, std::wstring_view name) {
    Instance vswitch = Instance::ofClass(L"Msvm_VirtualEthernetSwitch");
    vswitch.setString(L"CreationClassName", L"Msvm_VirtualEthernetSwitch");
    vswitch.setString(L"Name", state.guids.next());
    vswitch.setString(L"ElementName", std::wstring(name));
    vswitch.setString(L"Caption", L"Virtual Switch");
    vswitch.setString(L"Description", L"Microsoft Virtual Switch");
    vswitch.setInteger(L"EnabledState", 2);
    vswitch.setInteger(L"HealthState", 5);
    auto path = vswitch.fullPath();
    put(state, std::move(vswitch));
    return path;
}

std::wstring addPrimordialPool(HostState& state, std::uint16_t resourceType, std::wstring_view resourceSubType,
                               std::wstring_view templateClass) {
    const std::wstring guid = state.guids.next();
    const std::wstring subType(resourceSubType);

    Instance pool = Instance::ofClass(L"Msvm_ResourcePool");
    pool.setString(L"InstanceID", L"Microsoft:" + guid);
    pool.setString(L"PoolID", L"");
    pool.setBoolean(L"Primordial", true);
    pool.setInteger(L"ResourceType", resourceType);
    pool.setString(L"ResourceSubType", subType);
    pool.setString(L"ElementName", L"Primordial pool");
    const auto poolPath = pool.fullPath();
    put(state, std::move(pool));

    Instance capabilities = Instance::ofClass(L"Msvm_AllocationCapabilities");
    capabilities.setString(L"InstanceID", L"Microsoft:AllocationCapabilities\\" + guid);
    capabilities.setInteger(L"ResourceType", resourceType);
    capabilities.setString(L"ResourceSubType", subType);
    capabilities.setInteger(L"RequestTypesSupported", 3);
    capabilities.setInteger(L"SharingMode", 3);
    const auto capabilitiesPath = capabilities.fullPath();
    put(state, std::move(capabilities));

    Instance element = Instance::ofClass(L"Msvm_ElementCapabilities");
    element.set(L"ManagedElement", CimValue::string(poolPath, CimType::Reference));
    element.set(L"Capabilities", CimValue::string(capabilitiesPath, CimType::Reference));
    element.set(L"Characteristics", CimValue::integerArray(CimType::Uint16, {2}));
    put(state, std::move(element));

    std::vector<Instance> links;
    for (const auto& role : templateRoles) {
        Instance settings = Instance::ofClass(templateClass);
        settings.setString(L"InstanceID", L"Microsoft:Definition\\" + guid + L"\\" + role.name);
        settings.setInteger(L"ResourceType", resourceType);
        settings.setString(L"ResourceSubType", subType);
        settings.setString(L"PoolID", L"");
        settings.setString(L"ElementName", subType.substr(subType.rfind(L':') + 1));
        links.push_back(templateLink(capabilitiesPath, settings.fullPath(), role));
        put(state, std::move(settings));
    }
    if (!state.defaultTemplateFirst) std::rotate(links.begin(), links.begin() + 1, links.end());
    for (auto& link : links) put(state, std::move(link));
    return poolPath;
}

void setDefaultTemplateFirst(HostState& state, bool first) {
    state.defaultTemplateFirst = first;
    for (const auto& capabilities : state.repository.ofClass(L"Msvm_AllocationCapabilities")) {
        std::vector<Instance> links;
        for (const auto& link :
             state.repository.references(capabilities->identity(), L"Msvm_SettingsDefineCapabilities"))
            links.push_back(*link);
        std::stable_partition(links.begin(), links.end(),
                              [first](const Instance& link) { return isDefaultLink(link) == first; });
        // Stored again in the new order: re-adding gives each link a new place in enumeration order.
        for (const auto& link : links) state.repository.remove(link.identity());
        for (auto& link : links) state.repository.put(std::move(link));
    }
}

namespace {

void seedInto(HostState& state) {
    addHostSystem(state);
    addManagementService(state);
    addSwitch(state, L"Default Switch");
    addSwitch(state, L"External Switch");
    addHostMemory(state, L"0", hostMemoryMiB / 2);
    addHostMemory(state, L"1", hostMemoryMiB / 2);
    addHostMemory(state, L"Aggregate", hostMemoryMiB);
    addPrimordialPool(state, 10, L"Microsoft:Hyper-V:Synthetic Ethernet Port",
                      L"Msvm_SyntheticEthernetPortSettingData");
    addPrimordialPool(state, 33, L"Microsoft:Hyper-V:Ethernet Connection",
                      L"Msvm_EthernetPortAllocationSettingData");
    addPrimordialPool(state, 6, L"Microsoft:Hyper-V:Synthetic SCSI Controller",
                      L"Msvm_ResourceAllocationSettingData");
    addPrimordialPool(state, 17, L"Microsoft:Hyper-V:Synthetic Disk Drive", L"Msvm_ResourceAllocationSettingData");
    addPrimordialPool(state, 31, L"Microsoft:Hyper-V:Virtual Hard Disk", L"Msvm_StorageAllocationSettingData");
}

}  // namespace

void seedDefaultHost(HostState& state) {
    // Every reset seeds the host again (each test does, and a fault sweep once per run): the instances are
    // made once and the host takes a copy.
    static const HostState seeded = [] {
        HostState fresh;
        seedInto(fresh);
        return fresh;
    }();
    state.repository = seeded.repository;
    state.guids = seeded.guids;
    state.defaultTemplateFirst = true;
    state.nextStateChange.reset();
    state.transitions.clear();
}

}  // namespace HyperVSim
