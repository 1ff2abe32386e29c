// Control: machines as the model holds them. A machine is an Msvm_ComputerSystem other than the host; its
// settings are its own Msvm_VirtualSystemSettingData (not a checkpoint's) and the resource settings
// associated with those through Msvm_VirtualSystemSettingDataComponent.
#include <algorithm>

#include "HyperVSim/Control.h"
#include "hyperv/Machines.h"
#include "model/Host.h"
#include "parse/CaseFold.h"

namespace HyperVSim {
namespace {

constexpr std::int64_t ideController = 5, scsiController = 6;

std::wstring text(const Instance& instance, std::wstring_view name) {
    return instance.getString(name).value_or(L"");
}
std::uint64_t number(const Instance& instance, std::wstring_view name) {
    return instance.getUnsigned(name).value_or(0);
}
std::wstring firstOf(const Instance& instance, std::wstring_view name) {
    const auto values = instance.getStrings(name);
    return values && !values->empty() ? values->front() : std::wstring();
}
bool sameObject(const std::wstring& path, const Instance& instance) {
    return !path.empty() && identityOfPath(path) == instance.identity();
}

class MachineReader {
public:
    explicit MachineReader(const Repository& repository) : repository_(repository) {}

    MachineView read(const Instance& system) const {
        MachineView view;
        view.path = system.fullPath();
        view.id = text(system, L"Name");
        view.name = text(system, L"ElementName");
        view.enabledState = static_cast<int>(system.getInteger(L"EnabledState").value_or(0));
        const Instance* settings = hyperv::settingsOfMachine(repository_, system);
        if (!settings) return view;
        const Instance& vssd = *settings;
        view.generation = text(vssd, L"VirtualSystemSubType") == L"Microsoft:Hyper-V:SubType:2" ? 2 : 1;
        view.configurationDataRoot = text(vssd, L"ConfigurationDataRoot");
        const auto parts = repository_.associators(vssd.identity(), {}, L"Msvm_VirtualSystemSettingDataComponent");
        readSizing(parts, view);
        readAdapters(parts, view);
        readControllers(parts, view);
        return view;
    }

private:
    static void readSizing(const std::vector<Snapshot>& parts, MachineView& view) {
        for (const auto& part : parts) {
            if (equalsIgnoreCase(part->className(), L"Msvm_MemorySettingData")) {
                view.memoryMiB = number(*part, L"VirtualQuantity");
                view.memoryReservation = number(*part, L"Reservation");
                view.memoryLimit = number(*part, L"Limit");
                view.maxMemoryBlocksPerNumaNode = number(*part, L"MaxMemoryBlocksPerNumaNode");
            } else if (equalsIgnoreCase(part->className(), L"Msvm_ProcessorSettingData")) {
                view.processors = number(*part, L"VirtualQuantity");
                view.processorReservation = number(*part, L"Reservation");
                view.processorLimit = number(*part, L"Limit");
                view.processorWeight = static_cast<std::uint32_t>(number(*part, L"Weight"));
                view.maxProcessorsPerNumaNode = number(*part, L"MaxProcessorsPerNumaNode");
            }
        }
    }

    static void readAdapters(const std::vector<Snapshot>& parts, MachineView& view) {
        for (const auto& part : parts) {
            if (!equalsIgnoreCase(part->className(), L"Msvm_SyntheticEthernetPortSettingData")) continue;
            AdapterView adapter;
            adapter.path = part->fullPath();
            adapter.name = text(*part, L"ElementName");
            adapter.identifiers =
                part->getStrings(L"VirtualSystemIdentifiers").value_or(std::vector<std::wstring>{});
            adapter.staticMacAddress = part->getBoolean(L"StaticMacAddress").value_or(false);
            for (const auto& connection : parts)
                if (equalsIgnoreCase(connection->className(), L"Msvm_EthernetPortAllocationSettingData") &&
                    sameObject(text(*connection, L"Parent"), *part))
                    adapter.switches.push_back(firstOf(*connection, L"HostResource"));
            view.adapters.push_back(std::move(adapter));
        }
    }

    static void readControllers(const std::vector<Snapshot>& parts, MachineView& view) {
        for (const auto& part : parts) {
            const auto type = part->getInteger(L"ResourceType");
            if (type != ideController && type != scsiController) continue;
            ControllerView controller;
            controller.kind = type == ideController ? ControllerView::Kind::Ide : ControllerView::Kind::Scsi;
            controller.path = part->fullPath();
            controller.address = text(*part, L"Address");
            for (const auto& drive : parts) {
                if (!sameObject(text(*drive, L"Parent"), *part) ||
                    equalsIgnoreCase(drive->className(), L"Msvm_StorageAllocationSettingData"))
                    continue;
                DriveView driveView{drive->fullPath(), text(*drive, L"AddressOnParent"), {}};
                for (const auto& image : parts)
                    if (equalsIgnoreCase(image->className(), L"Msvm_StorageAllocationSettingData") &&
                        sameObject(text(*image, L"Parent"), *drive))
                        driveView.image = firstOf(*image, L"HostResource");
                controller.drives.push_back(std::move(driveView));
            }
            view.controllers.push_back(std::move(controller));
        }
        // IDE controllers by address first; SCSI controllers keep their order of addition.
        std::stable_sort(view.controllers.begin(), view.controllers.end(),
                         [](const ControllerView& a, const ControllerView& b) {
                             if (a.kind != b.kind) return a.kind == ControllerView::Kind::Ide;
                             return a.kind == ControllerView::Kind::Ide && a.address < b.address;
                         });
    }

    const Repository& repository_;
};

bool isMachine(const Instance& system) {
    return equalsIgnoreCase(system.className(), L"Msvm_ComputerSystem") &&
           !equalsIgnoreCase(text(system, L"Name"), hostName);
}

}  // namespace

std::vector<MachineView> Control::machines() {
    return Host::instance().read([](const HostState& state) {
        std::vector<MachineView> result;
        const MachineReader reader(state.repository);
        for (const auto& system : state.repository.ofClass(L"Msvm_ComputerSystem"))
            if (isMachine(*system)) result.push_back(reader.read(*system));
        return result;
    });
}

std::optional<MachineView> Control::machine(const std::wstring& path) {
    return Host::instance().read([&](const HostState& state) -> std::optional<MachineView> {
        const Instance* system = state.repository.findByPath(path);
        if (!system || !isMachine(*system)) return std::nullopt;
        return MachineReader(state.repository).read(*system);
    });
}

}  // namespace HyperVSim
