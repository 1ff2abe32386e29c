#include "hyperv/ResourceRules.h"

#include "hyperv/Names.h"
#include "hyperv/ResourceKinds.h"
#include "model/Seed.h"
#include "parse/CaseFold.h"

namespace HyperVSim::hyperv {
namespace {

std::wstring number(std::uint64_t value) {
    return std::to_wstring(value);
}

std::optional<Rejection> checkMemory(const Instance& current, const Instance& changed, bool running) {
    const auto size = changed.getUnsigned(L"VirtualQuantity");
    if (!size) return invalidParameterRejection(L"The memory size (VirtualQuantity) is not set.");
    if (*size % 2 != 0)
        return invalidParameterRejection(L"The memory size of " + number(*size) +
                                         L" MiB is not an even number of MiB.");
    if (*size < minimumMemoryMiB || *size > hostMemoryMiB)
        return invalidParameterRejection(L"The memory size of " + number(*size) + L" MiB is outside " +
                                         number(minimumMemoryMiB) + L" to " + number(hostMemoryMiB) +
                                         L" MiB, the memory of the host.");
    if (running && current.getUnsigned(L"VirtualQuantity") != size)
        return Rejection{static_cast<std::uint16_t>(invalidState),
                         L"The memory size of a running virtual machine cannot be changed."};
    return std::nullopt;
}

std::optional<Rejection> checkProcessors(const Instance& current, const Instance& changed, bool running) {
    const auto count = changed.getUnsigned(L"VirtualQuantity");
    if (!count || *count == 0 || *count > hostLogicalProcessors)
        return invalidParameterRejection(
            L"The processor count " + (count ? number(*count) : std::wstring(L"(not set)")) + L" is outside 1 to " +
            number(hostLogicalProcessors) + L", the logical processors of the host.");
    const auto limit = changed.getUnsigned(L"Limit");
    if (!limit || *limit > fullProcessorLimit)
        return invalidParameterRejection(L"The processor limit " +
                                         (limit ? number(*limit) : std::wstring(L"(not set)")) + L" is above " +
                                         number(fullProcessorLimit) + L" (100 %).");
    const auto reservation = changed.getUnsigned(L"Reservation");
    if (!reservation || *reservation > *limit)
        return invalidParameterRejection(L"The processor reservation " +
                                         (reservation ? number(*reservation) : std::wstring(L"(not set)")) +
                                         L" is above the limit " + number(*limit) + L".");
    const auto weight = changed.getUnsigned(L"Weight");
    if (!weight || *weight < minimumProcessorWeight || *weight > maximumProcessorWeight)
        return invalidParameterRejection(
            L"The processor weight " + (weight ? number(*weight) : std::wstring(L"(not set)")) + L" is outside " +
            number(minimumProcessorWeight) + L" to " + number(maximumProcessorWeight) + L".");
    if (running && current.getUnsigned(L"VirtualQuantity") != count)
        return Rejection{static_cast<std::uint16_t>(invalidState),
                         L"The processor count of a running virtual machine cannot be changed."};
    return std::nullopt;
}

}  // namespace

Instance withChanges(const Instance& current, const ConvertedInstance& sent) {
    Instance changed = current;
    for (const auto& name : sent.named) {
        const CimValue& value = *sent.instance.get(name);
        if (!equalsIgnoreCase(name, L"InstanceID") && value != *current.get(name)) changed.set(name, value);
    }
    return changed;
}

std::optional<Rejection> checkResourceChange(const Instance& current, const Instance& changed, bool running) {
    switch (resourceKind(current)) {
        case ResourceKind::Memory:
            return checkMemory(current, changed, running);
        case ResourceKind::Processor:
            return checkProcessors(current, changed, running);
        default:
            return std::nullopt;
    }
}

}  // namespace HyperVSim::hyperv
