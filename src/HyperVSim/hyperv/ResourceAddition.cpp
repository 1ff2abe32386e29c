#include "hyperv/ResourceAddition.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "hyperv/ImageFiles.h"
#include "hyperv/Machines.h"
#include "hyperv/Names.h"
#include "hyperv/ResourceKinds.h"
#include "parse/CaseFold.h"

namespace HyperVSim::hyperv {
namespace {

// The machine being added to, and what it has already.
class Target {
public:
    Target(HostState& hostState, const Instance& systemSettings, const Instance& machine)
        : state(hostState),
          settings(systemSettings),
          settingsIdentity(systemSettings.identity()),
          machineId(hyperv::machineId(machine)),
          machineName(machine.getString(L"ElementName").value_or(L"")) {}

    HostState& state;
    const Instance& settings;
    const std::wstring settingsIdentity;
    const std::wstring machineId;
    const std::wstring machineName;

    // Every resource of the machine. Only the checks that count resources walk them; the others look up
    // what they need, so that adding the hundredth disk costs what adding the first did.
    const std::vector<Snapshot>& resources() {
        if (!resources_) resources_ = resourcesOf(state.repository, settings);
        return *resources_;
    }

private:
    std::optional<std::vector<Snapshot>> resources_;
};

using Prepared = std::variant<Instance, Rejection>;

std::wstring inQuotes(std::wstring_view text) {
    return L"'" + std::wstring(text) + L"'";
}

std::wstring nameOf(const Instance& resource) {
    auto name = resource.getString(L"ElementName").value_or(L"");
    return inQuotes(name.empty() ? resource.getString(L"InstanceID").value_or(L"") : name);
}

bool isOwn(const Target& target, const Instance& resource) {
    const Instance* settings = settingsOfResource(target.state.repository, resource);
    return settings && settings->identity() == target.settingsIdentity;
}

// The machine's own resource that a path names; nullptr when it names anything else.
const Instance* ownResource(const Target& target, std::wstring_view path) {
    const Instance* found = target.state.repository.findByPath(path);
    return found && isOwn(target, *found) ? found : nullptr;
}

std::wstring parentKey(std::wstring_view identity) {
    return L"parent:" + std::wstring(identity);
}

// The resources whose Parent names `parent`.
std::vector<Snapshot> childrenOf(const Target& target, const Instance& parent) {
    return target.state.repository.withKey(parentKey(parent.identity()));
}

std::size_t countOf(Target& target, ResourceKind kind) {
    const auto& resources = target.resources();
    return static_cast<std::size_t>(std::count_if(resources.begin(), resources.end(),
                                                  [kind](const Snapshot& r) { return resourceKind(*r) == kind; }));
}

std::optional<unsigned> slotNumber(std::wstring_view text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned number = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - L'0');
    }
    return number;
}

std::wstring firstHostResource(const Instance& resource) {
    const auto resources = resource.getStrings(L"HostResource");
    return resources && !resources->empty() ? resources->front() : std::wstring();
}

// The names under which a disk's image file is found: as written (Windows compares file names without
// regard to case) and, when the file exists, resolved (symbolic links, "..", relative paths).
std::vector<std::wstring> imageKeys(const std::wstring& file) {
    std::vector<std::wstring> keys;
    if (file.empty()) return keys;
    keys.push_back(L"image:" + foldCase(file));
    std::error_code error;
    const auto resolved = std::filesystem::canonical(std::filesystem::path(file), error);
    if (!error) {
        auto key = L"image:" + foldCase(resolved.wstring());
        if (key != keys.front()) keys.push_back(std::move(key));
    }
    return keys;
}

bool endsWithIgnoreCase(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && equalsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

Prepared prepareScsiController(Target& target, Instance resource) {
    if (countOf(target, ResourceKind::ScsiController) >= maxScsiControllers)
        return invalidParameterRejection(L"Virtual machine " + inQuotes(target.machineName) + L" already has " +
                                         std::to_wstring(maxScsiControllers) +
                                         L" SCSI controllers, the most it can have.");
    resource.setString(L"InstanceID",
                       L"Microsoft:" + target.machineId + L"\\" + target.state.guids.next() + L"\\0");
    return resource;
}

Prepared prepareDrive(Target& target, Instance resource, ResourceKind kind) {
    const std::wstring parentPath = resource.getString(L"Parent").value_or(L"");
    const Instance* controller = ownResource(target, parentPath);
    if (!controller || !isController(resourceKind(*controller)))
        return invalidParameterRejection(L"Cannot add the " + describe(kind) + L": its Parent " +
                                         inQuotes(parentPath) + L" is not a controller of virtual machine " +
                                         inQuotes(target.machineName) + L".");
    const unsigned slots = resourceKind(*controller) == ResourceKind::IdeController ? ideSlots : scsiSlots;
    const std::wstring address = resource.getString(L"AddressOnParent").value_or(L"");
    const auto slot = slotNumber(address);
    if (!slot || *slot >= slots)
        return invalidParameterRejection(L"The address " + inQuotes(address) + L" is not a location on " +
                                         nameOf(*controller) + L", which has locations 0 to " +
                                         std::to_wstring(slots - 1) + L".");
    for (const auto& other : childrenOf(target, *controller))
        if (isDrive(resourceKind(*other)) &&
            slotNumber(other->getString(L"AddressOnParent").value_or(L"")) == slot && isOwn(target, *other))
            return invalidParameterRejection(L"Location " + address + L" of " + nameOf(*controller) +
                                             L" is already taken by " + nameOf(*other) + L".");
    resource.setString(L"Parent", controller->fullPath());
    resource.setString(L"InstanceID", controller->getString(L"InstanceID").value_or(L"") + L"\\" +
                                          std::to_wstring(*slot) + L"\\D");
    return resource;
}

// Where the image is attached already, if anywhere on the host: the name of the machine (empty for a disk
// of no machine).
std::optional<std::wstring> attachedTo(const HostState& state, const std::wstring& file) {
    const Repository& repository = state.repository;
    for (const auto& key : imageKeys(file))
        for (const auto& disk : repository.withKey(key)) {
            const Instance* settings = settingsOfResource(repository, *disk);
            const Instance* machine = settings ? machineOfSettings(repository, *settings) : nullptr;
            return machine ? machine->getString(L"ElementName").value_or(L"") : std::wstring();
        }
    return std::nullopt;
}

Prepared prepareVirtualHardDisk(Target& target, Instance resource) {
    const std::wstring parentPath = resource.getString(L"Parent").value_or(L"");
    const Instance* drive = ownResource(target, parentPath);
    if (!drive || resourceKind(*drive) != ResourceKind::DiskDrive)
        return invalidParameterRejection(L"Cannot add the virtual hard disk: its Parent " + inQuotes(parentPath) +
                                         L" is not a disk drive of virtual machine " +
                                         inQuotes(target.machineName) + L".");
    for (const auto& other : childrenOf(target, *drive))
        if (resourceKind(*other) == ResourceKind::VirtualHardDisk && isOwn(target, *other))
            return invalidParameterRejection(L"The disk drive " + nameOf(*drive) +
                                             L" already holds the virtual hard disk " +
                                             inQuotes(firstHostResource(*other)) + L".");
    const std::wstring file = firstHostResource(resource);
    if (file.empty())
        return invalidParameterRejection(L"The virtual hard disk names no file: HostResource is empty.");
    const ImageFile image = inspectImageFile(file);
    if (image == ImageFile::Missing)
        return invalidParameterRejection(L"The virtual hard disk path " + inQuotes(file) + L" does not exist.");
    if (image == ImageFile::NotAFile)
        return invalidParameterRejection(L"The virtual hard disk path " + inQuotes(file) + L" is not a file.");
    if (!endsWithIgnoreCase(file, L".vhd") && !endsWithIgnoreCase(file, L".vhdx"))
        return invalidParameterRejection(L"The file " + inQuotes(file) +
                                         L" is not a virtual hard disk: its name does not end in .vhd or .vhdx.");
    if (const auto owner = attachedTo(target.state, file))
        return Rejection{static_cast<std::uint16_t>(systemInUse), L"The virtual hard disk " + inQuotes(file) +
                                                                      L" is already attached to virtual machine " +
                                                                      inQuotes(*owner) + L"."};
    std::wstring id = drive->getString(L"InstanceID").value_or(L"");
    if (!id.empty() && id.back() == L'D') id.back() = L'L';
    resource.setString(L"Parent", drive->fullPath());
    resource.setString(L"InstanceID", id);
    return resource;
}

Prepared prepareEthernetPort(Target& target, Instance resource) {
    if (countOf(target, ResourceKind::EthernetPort) >= maxNetworkAdapters)
        return invalidParameterRejection(L"Virtual machine " + inQuotes(target.machineName) + L" already has " +
                                         std::to_wstring(maxNetworkAdapters) +
                                         L" network adapters, the most it can have.");
    resource.setString(L"InstanceID", L"Microsoft:" + target.machineId + L"\\" + target.state.guids.next());
    return resource;
}

Prepared prepareConnection(Target& target, Instance resource) {
    const std::wstring parentPath = resource.getString(L"Parent").value_or(L"");
    const Instance* adapter = ownResource(target, parentPath);
    if (!adapter || resourceKind(*adapter) != ResourceKind::EthernetPort)
        return invalidParameterRejection(L"Cannot add the Ethernet connection: its Parent " + inQuotes(parentPath) +
                                         L" is not a network adapter of virtual machine " +
                                         inQuotes(target.machineName) + L".");
    // One connection per adapter: its InstanceID is derived from the adapter's.
    for (const auto& other : childrenOf(target, *adapter))
        if (resourceKind(*other) == ResourceKind::EthernetConnection && isOwn(target, *other))
            return invalidParameterRejection(L"The network adapter " + nameOf(*adapter) +
                                             L" is already connected.");
    const std::wstring switchPath = firstHostResource(resource);
    const Instance* vswitch = target.state.repository.findByPath(switchPath);
    if (!vswitch || !Schema::instance().derivesFrom(vswitch->className(), switchClass))
        return invalidParameterRejection(L"Cannot connect the network adapter: " + inQuotes(switchPath) +
                                         L" is not a virtual switch.");
    resource.setString(L"Parent", adapter->fullPath());
    resource.setStrings(L"HostResource", {vswitch->fullPath()});
    resource.setString(L"InstanceID", adapter->getString(L"InstanceID").value_or(L"") + L"\\C");
    return resource;
}

Prepared prepare(Target& target, Instance resource) {
    if (!Schema::instance().derivesFrom(resource.className(), resourceSettingsBaseClass))
        return invalidParameterRejection(L"Objects of class " + inQuotes(resource.className()) +
                                         L" are not resource settings.");
    const CimValue* type = resource.get(L"ResourceType");
    if (!type || type->isNull() || resource.getString(L"ResourceSubType").value_or(L"").empty())
        return invalidParameterRejection(
            L"The resource settings name no resource: ResourceType and ResourceSubType are empty. "
            L"Start from the default settings of a resource pool.");
    switch (const ResourceKind kind = resourceKind(resource)) {
        case ResourceKind::ScsiController:
            return prepareScsiController(target, std::move(resource));
        case ResourceKind::DiskDrive:
        case ResourceKind::DvdDrive:
            return prepareDrive(target, std::move(resource), kind);
        case ResourceKind::VirtualHardDisk:
            return prepareVirtualHardDisk(target, std::move(resource));
        case ResourceKind::EthernetPort:
            return prepareEthernetPort(target, std::move(resource));
        case ResourceKind::EthernetConnection:
            return prepareConnection(target, std::move(resource));
        case ResourceKind::Memory:
        case ResourceKind::Processor:
        case ResourceKind::IdeController:
            return invalidParameterRejection(L"A virtual machine has its " + describe(kind) +
                                             L" settings from its definition; they can be changed but not added.");
        case ResourceKind::Other:
            break;
    }
    resource.setString(L"InstanceID", L"Microsoft:" + target.machineId + L"\\" + target.state.guids.next());
    return resource;
}

}  // namespace

std::vector<std::wstring> resourceLookupKeys(const Instance& resource) {
    std::vector<std::wstring> keys;
    if (!Schema::instance().derivesFrom(resource.className(), resourceSettingsBaseClass)) return keys;
    if (const auto parent = resource.getString(L"Parent"))
        if (auto identity = identityOfPath(*parent); !identity.empty()) keys.push_back(parentKey(identity));
    if (resourceKind(resource) == ResourceKind::VirtualHardDisk)
        for (auto& key : imageKeys(firstHostResource(resource))) keys.push_back(std::move(key));
    return keys;
}

std::variant<std::wstring, Rejection> addResource(HostState& state, const Instance& systemSettings,
                                                  const Instance& requested) {
    const Instance* machine = machineOfSettings(state.repository, systemSettings);
    if (!machine)
        return invalidParameterRejection(L"The settings " + inQuotes(systemSettings.fullPath()) +
                                         L" belong to no virtual machine.");
    Target target(state, systemSettings, *machine);
    auto prepared = prepare(target, requested);
    if (auto* rejection = std::get_if<Rejection>(&prepared)) return std::move(*rejection);
    return attachResource(state.repository, systemSettings, std::get<Instance>(std::move(prepared)));
}

}  // namespace HyperVSim::hyperv
