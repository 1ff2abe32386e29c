#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CimXml.h"

// Builders for the instances the tests write and read, shaped like the objects the simulated host hands out.
namespace HyperVSim::cimxml::test {

inline CimProperty scalar(std::wstring name, CimType type, std::optional<std::wstring> value,
                          std::wstring classOrigin = {}, bool propagated = false) {
    CimProperty property{std::move(name), type, false, std::move(classOrigin), propagated, std::nullopt};
    if (value) property.values = std::vector<std::wstring>{std::move(*value)};
    return property;
}

inline CimProperty array(std::wstring name, CimType type, std::optional<std::vector<std::wstring>> values,
                         std::wstring classOrigin = {}, bool propagated = false) {
    return CimProperty{std::move(name), type, true, std::move(classOrigin), propagated, std::move(values)};
}

// A queried memory settings object: system properties with a path whose key holds doubled backslashes and quotes.
inline CimInstance memorySettings() {
    const std::wstring relPath =
        L"Msvm_MemorySettingData.InstanceID=\"Microsoft:4764334D-E001-4176-82EE-5594EC9B530E\\\\"
        L"4764334d-e001-4176-82ee-5594ec9b530e\"";
    CimInstance instance;
    instance.className = L"Msvm_MemorySettingData";
    instance.systemProperties = {
        scalar(L"__PATH", CimType::String, L"\\\\HVSIM01\\root\\virtualization\\v2:" + relPath, L"___SYSTEM"),
        scalar(L"__NAMESPACE", CimType::String, L"root\\virtualization\\v2", L"___SYSTEM"),
        scalar(L"__SERVER", CimType::String, L"HVSIM01", L"___SYSTEM"),
        array(L"__DERIVATION", CimType::String,
              std::vector<std::wstring>{L"CIM_ResourceAllocationSettingData", L"CIM_SettingData",
                                        L"CIM_ManagedElement"},
              L"___SYSTEM"),
        scalar(L"__PROPERTY_COUNT", CimType::Sint32, L"7", L"___SYSTEM"),
        scalar(L"__RELPATH", CimType::String, relPath, L"___SYSTEM"),
        scalar(L"__DYNASTY", CimType::String, L"CIM_ManagedElement", L"___SYSTEM"),
        scalar(L"__SUPERCLASS", CimType::String, L"CIM_ResourceAllocationSettingData", L"___SYSTEM"),
        scalar(L"__CLASS", CimType::String, L"Msvm_MemorySettingData", L"___SYSTEM"),
        scalar(L"__GENUS", CimType::Sint32, L"2", L"___SYSTEM"),
    };
    instance.properties = {
        scalar(L"VirtualQuantity", CimType::Uint64, L"1024", L"CIM_ResourceAllocationSettingData"),
        scalar(L"InstanceID", CimType::String,
               L"Microsoft:4764334D-E001-4176-82EE-5594EC9B530E\\4764334d-e001-4176-82ee-5594ec9b530e",
               L"CIM_SettingData"),
        scalar(L"DynamicMemoryEnabled", CimType::Boolean, L"FALSE", L"Msvm_MemorySettingData"),
        scalar(L"ResourceType", CimType::Uint16, L"4", L"CIM_ResourceAllocationSettingData"),
        scalar(L"ElementName", CimType::String, L"Memory", L"CIM_SettingData"),
        array(L"HostResource", CimType::String, std::nullopt, L"CIM_ResourceAllocationSettingData", true),
        scalar(L"Caption", CimType::String, std::nullopt, L"CIM_ManagedElement", true),
    };
    return instance;
}

}  // namespace HyperVSim::cimxml::test
