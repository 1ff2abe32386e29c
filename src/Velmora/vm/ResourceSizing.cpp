#include "vm/ResourceSizing.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

#include "log/Log.h"
#include "vm/MachineSettings.h"
#include "wmi/Bstr.h"
#include "wmi/EmbeddedInstance.h"
#include "wmi/MethodCall.h"
#include "wmi/Query.h"
#include "wmi/Values.h"

namespace Velmora {

namespace {

// What tells the members of the family apart; the procedure itself is the same for both.
struct SizingMember {
    const char* openingLine;
    const wchar_t* settingsQuerySuffix;  // names the settings class associated with the machine's settings
    const char* successLine;
};

constexpr SizingMember memoryMember{"Set VM RAM", L"} where ResultClass = Msvm_MemorySettingData",
                                    "Request VM RAM - OK"};
constexpr SizingMember processorMember{"Setting CPU cores", L"} where ResultClass = Msvm_ProcessorSettingData",
                                       "Set CPU cores - OK"};

struct PropertyValue {
    const wchar_t* name;
    std::int32_t value;
};

// Why the requested values cannot be written: a text followed by the offending number.
struct Refusal {
    const char* text;
    std::int64_t value;
};

// The values in the order they are put, or why they cannot be.
struct Sizing {
    std::array<PropertyValue, 5> properties{};
    std::size_t count = 0;
    std::optional<Refusal> refusal;
};

struct ManagementTarget {
    IWbemServices* services;
    IWbemClassObject* service;
    IWbemClassObject* serviceClass;
};

constexpr std::uint64_t bytesPerMiB = 1048576;

Sizing refused(const char* text, std::int64_t value) {
    Sizing sizing;
    sizing.refusal = Refusal{text, value};
    return sizing;
}

Sizing memorySizing(std::uint64_t ramSizeBytes) {
    const std::uint64_t mib = wholeMebibytes(ramSizeBytes);
    if (mib > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return refused("VM RAM of 2^31 MiB or more cannot be set, MiB requested: ", static_cast<std::int64_t>(mib));
    const auto quantity = static_cast<std::int32_t>(mib);
    Sizing sizing;
    sizing.properties = {{{L"MaxMemoryBlocksPerNumaNode", quantity},
                          {L"Reservation", quantity},
                          {L"Limit", quantity},
                          {L"VirtualQuantity", quantity}}};
    sizing.count = 4;
    return sizing;
}

// Hyper-V takes reservation and limit in thousandths of a percent.
std::optional<std::int32_t> thousandths(std::int32_t percent) {
    const std::int64_t scaled = static_cast<std::int64_t>(percent) * 1000;
    if (scaled > std::numeric_limits<std::int32_t>::max() || scaled < std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    return static_cast<std::int32_t>(scaled);
}

Sizing processorSizing(const CPUSettings& cpu) {
    const std::optional<std::int32_t> reservation = thousandths(cpu.reservation);
    if (!reservation) return refused("CPU reservation out of range, percent: ", cpu.reservation);
    const std::optional<std::int32_t> limit = thousandths(cpu.limit);
    if (!limit) return refused("CPU limit out of range, percent: ", cpu.limit);
    Sizing sizing;
    sizing.properties = {{{L"VirtualQuantity", cpu.count},
                          {L"Reservation", *reservation},
                          {L"MaxProcessorsPerNumaNode", cpu.count},
                          {L"Limit", *limit},
                          {L"Weight", cpu.weight}}};
    sizing.count = 5;
    return sizing;
}

// The machine's first settings object of the member's class, found through its settings data.
ComPtr<IWbemClassObject> findResourceSettings(IWbemServices* services, const wchar_t* vmPath,
                                              const SizingMember& member) {
    const ComPtr<IWbemClassObject> machine = getObject(services, Bstr(vmPath));
    if (!machine) return nullptr;
    const ComPtr<IWbemClassObject> settingsData = getMachineSettings(services, machine.get());
    if (!settingsData) return nullptr;
    return executeQuery(services,
                        associationQuery(L"Associators of {", settingsData.get(), member.settingsQuerySuffix));
}

bool modifyResourceSettings(const ManagementTarget& target, IWbemClassObject* resourceSettings) {
    const Bstr method(L"ModifyResourceSettings");
    const ComPtr<IWbemClassObject> inDefinition = getMethodParams(target.serviceClass, method);
    if (!inDefinition) return false;
    const ComPtr<IWbemClassObject> inParams = spawnInstance(inDefinition.get());
    if (!inParams) return false;
    if (!putEmbeddedInstanceList(inParams.get(), Bstr(L"ResourceSettings"), resourceSettings)) return false;
    const Bstr servicePath = getObjectPath(target.service);
    return static_cast<bool>(executeMethod(target.services, servicePath, method, inParams.get(), nullptr));
}

bool sizeResource(const ManagementTarget& target, const wchar_t* vmPath, const SizingMember& member,
                  const Sizing& sizing) {
    logMessage(Info, member.openingLine);
    if (sizing.refusal) {
        logValues(Error, sizing.refusal->text, sizing.refusal->value);
        return false;
    }
    const ComPtr<IWbemClassObject> resourceSettings = findResourceSettings(target.services, vmPath, member);
    if (!resourceSettings) return false;
    // Values go onto the local copy only; nothing reaches Hyper-V before the whole object is sent.
    for (std::size_t i = 0; i < sizing.count; ++i) {
        const PropertyValue& property = sizing.properties[i];
        if (!putValue(resourceSettings.get(), Bstr(property.name), int32Value(property.value))) return false;
    }
    if (!modifyResourceSettings(target, resourceSettings.get())) return false;
    logMessage(Info, member.successLine);
    return true;
}

}  // namespace

std::uint64_t wholeMebibytes(std::uint64_t bytes) {
    // Division first, so that sizes near 2^64 cannot overflow on the way up.
    return bytes / bytesPerMiB + (bytes % bytesPerMiB != 0 ? 1 : 0);
}

bool setVmRam(IWbemServices* services, IWbemClassObject* managementService,
              IWbemClassObject* managementServiceClass, const wchar_t* vmPath, std::uint64_t ramSizeBytes) {
    return sizeResource({services, managementService, managementServiceClass}, vmPath, memoryMember,
                        memorySizing(ramSizeBytes));
}

bool setCpuCores(IWbemServices* services, IWbemClassObject* managementService,
                 IWbemClassObject* managementServiceClass, const wchar_t* vmPath, const CPUSettings& cpu) {
    return sizeResource({services, managementService, managementServiceClass}, vmPath, processorMember,
                        processorSizing(cpu));
}

}  // namespace Velmora
