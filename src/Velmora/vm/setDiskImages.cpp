#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Velmora.h"
#include "log/Log.h"
#include "vm/DiskControllers.h"
#include "vm/MachineSettings.h"
#include "vm/ManagementService.h"
#include "wmi/Bstr.h"
#include "wmi/EmbeddedInstance.h"
#include "wmi/ExportFrame.h"
#include "wmi/MethodCall.h"
#include "wmi/Query.h"
#include "wmi/ResourceSettings.h"
#include "wmi/Values.h"

namespace Velmora {

namespace {

constexpr const wchar_t* managementServiceClassName = L"Msvm_VirtualSystemManagementService";
constexpr const wchar_t* drivePoolQuery =
    L"select * from Msvm_ResourcePool where ResourceSubType = 'Microsoft:Hyper-V:Synthetic Disk Drive' and "
    L"Primordial = True";
constexpr const wchar_t* diskPoolQuery =
    L"select * from Msvm_ResourcePool where ResourceSubType = 'Microsoft:Hyper-V:Virtual Hard Disk' and "
    L"Primordial = True";
constexpr std::size_t drivesPerIdeController = 2;

// What one call works with once the machine and its controllers are known.
struct Machine {
    IWbemServices* services;
    IWbemClassObject* managementService;
    IWbemClassObject* managementServiceClass;
    IWbemClassObject* settingsData;
    const std::vector<ComPtr<IWbemClassObject>>& ideControllers;
    IWbemClassObject* scsiController;
};

// Where the next drive goes. The controller follows the image index while the address follows the images
// attached completely, so a skipped image leaves its address to the next one.
struct Placement {
    bool scsiMode;
    std::uint64_t attached = 0;
};

enum class Outcome { Attached, Skipped, Failed };

// The default settings object of the pool that `poolQuery` finds; null after the wrappers' lines.
ComPtr<IWbemClassObject> defaultSettings(IWbemServices* services, const wchar_t* poolQuery) {
    const ComPtr<IWbemClassObject> pool = executeQuery(services, Bstr(poolQuery));
    if (!pool) return nullptr;
    return requestDefaultObject(services, pool.get());
}

Outcome attachImage(const Machine& machine, std::uint32_t generation, std::size_t index, const wchar_t* image,
                    Placement& placement) {
    const SafeArray hostResource = singleStringArray(image);
    logValues(Info, "Trying to add disk image: ", image);

    IWbemClassObject* controller = nullptr;
    if (generation == 1 && index == drivesPerIdeController * machine.ideControllers.size()) {
        logMessage(Info, "Maximum IDE disk reached. Starting add to SCSI");
        placement.scsiMode = true;
        placement.attached = 0;
        controller = machine.scsiController;
    } else if (placement.scsiMode) {
        controller = machine.scsiController;
    } else {
        controller = machine.ideControllers[index / drivesPerIdeController].get();
    }
    const std::uint64_t address =
        placement.scsiMode ? placement.attached : placement.attached % drivesPerIdeController;

    const ComPtr<IWbemClassObject> driveSettings = defaultSettings(machine.services, drivePoolQuery);
    if (!driveSettings) return Outcome::Failed;
    const Bstr controllerPath = getObjectPath(controller);
    if (!putValue(driveSettings.get(), Bstr(L"Parent"), stringValue(controllerPath.get()))) return Outcome::Failed;
    if (!putValue(driveSettings.get(), Bstr(L"AddressOnParent"), stringValue(std::to_wstring(address).c_str()))) {
        return Outcome::Failed;
    }
    const ComPtr<IWbemClassObject> drive =
        addResourceSettings(machine.services, machine.managementService, machine.managementServiceClass,
                            machine.settingsData, driveSettings.get());
    if (!drive) {
        logMessage(Info, "Disk has already added. Continue");
        return Outcome::Skipped;
    }

    const ComPtr<IWbemClassObject> diskSettings = defaultSettings(machine.services, diskPoolQuery);
    if (!diskSettings) return Outcome::Failed;
    const Bstr drivePath = getObjectPath(drive.get());
    if (!putValue(diskSettings.get(), Bstr(L"Parent"), stringValue(drivePath.get()))) return Outcome::Failed;
    if (!putValue(diskSettings.get(), Bstr(L"HostResource"), arrayValue(hostResource.get()))) {
        return Outcome::Failed;
    }
    const ComPtr<IWbemClassObject> disk =
        addResourceSettings(machine.services, machine.managementService, machine.managementServiceClass,
                            machine.settingsData, diskSettings.get());
    return disk ? Outcome::Attached : Outcome::Failed;
}

bool attachImages(IWbemServices* services, const wchar_t* vmPath, std::uint32_t generation,
                  const wchar_t* const* images, std::uint32_t imagesCount) {
    // Neither controller kind belongs to another generation, so its first image would have nowhere to go.
    if (imagesCount > 0 && generation != 1 && generation != 2) {
        logValues(Error, "Invalid VM generation: ", generation);
        return false;
    }
    if (imagesCount > 0 && !images) {
        logValues(Error, "No list of disk images given for a count of ", imagesCount);
        return false;
    }

    const Bstr className(managementServiceClassName);
    const ComPtr<IWbemClassObject> managementServiceClass = getObject(services, className);
    if (!managementServiceClass) return false;
    const ComPtr<IWbemClassObject> managementService = getClassInstance(services, className);
    if (!managementService) return false;
    const ComPtr<IWbemClassObject> vm = getObject(services, Bstr(vmPath));
    if (!vm) return false;
    const ComPtr<IWbemClassObject> settingsData = getMachineSettings(services, vm.get());
    if (!settingsData) {
        logMessage(Error, "Cannot get virtual system settings data");
        return false;
    }

    std::vector<ComPtr<IWbemClassObject>> ideControllers;
    if (generation == 1) {
        logMessage(Info, "Generation 1 is used");
        ideControllers = getIdeControllers(services, settingsData.get());
        if (ideControllers.empty()) {
            logMessage(Error, "Failed to get IDE controllers");
            return false;
        }
    }
    const ComPtr<IWbemClassObject> scsiController =
        getScsiController(services, managementService.get(), managementServiceClass.get(), settingsData.get());
    if (!scsiController) {
        logMessage(Error, "Failed to get SCSI controller");
        return false;
    }

    const Machine machine{services,           managementService.get(), managementServiceClass.get(),
                          settingsData.get(), ideControllers,          scsiController.get()};
    Placement placement{generation == 2};
    for (std::uint32_t index = 0; index < imagesCount; ++index) {
        switch (attachImage(machine, generation, index, images[index], placement)) {
            case Outcome::Attached:
                ++placement.attached;
                break;
            case Outcome::Skipped:
                break;
            case Outcome::Failed:
                return false;
        }
    }
    logMessage(Info, "Set disk images - OK");
    return true;
}

}  // namespace

bool setDiskImages(LogCallback log, const wchar_t* vmPath, std::uint32_t generation, const wchar_t** images,
                   std::uint32_t imagesCount) {
    return runExport(log, "Set disk images", [&](IWbemServices* hyperV) {
        return attachImages(hyperV, vmPath, generation, images, imagesCount);
    });
}

}  // namespace Velmora
