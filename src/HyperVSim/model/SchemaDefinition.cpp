// The classes of root\virtualization\v2 that the host serves. Superclasses come before their subclasses;
// a property declared again in a subclass only changes its key flag or default.
#include <algorithm>

#include "model/Schema.h"

namespace HyperVSim {
namespace {

struct Prop {
    PropertyDef def;
    Prop key() && {
        def.key = true;
        return std::move(*this);
    }
    Prop defaults(CimValue value) && {
        def.defaultValue = std::move(value);
        return std::move(*this);
    }
};

Prop prop(const wchar_t* name, CimType type, bool isArray = false) {
    PropertyDef def;
    def.name = name;
    def.type = type;
    def.isArray = isArray;
    def.defaultValue = CimValue::null(type, isArray);
    return Prop{std::move(def)};
}
Prop str(const wchar_t* name) {
    return prop(name, CimType::String);
}
Prop strs(const wchar_t* name) {
    return prop(name, CimType::String, true);
}
Prop u16(const wchar_t* name) {
    return prop(name, CimType::Uint16);
}
Prop u16s(const wchar_t* name) {
    return prop(name, CimType::Uint16, true);
}
Prop u32(const wchar_t* name) {
    return prop(name, CimType::Uint32);
}
Prop u64(const wchar_t* name) {
    return prop(name, CimType::Uint64);
}
Prop flag(const wchar_t* name) {
    return prop(name, CimType::Boolean);
}
Prop datetime(const wchar_t* name) {
    return prop(name, CimType::Datetime);
}
Prop ref(const wchar_t* name) {
    return prop(name, CimType::Reference);
}
Prop refs(const wchar_t* name) {
    return prop(name, CimType::Reference, true);
}

CimValue u16Value(std::int64_t value) {
    return CimValue::integer(CimType::Uint16, value);
}
CimValue text(const wchar_t* value) {
    return CimValue::string(value);
}

std::shared_ptr<const ClassDef> parameters(std::vector<Prop> props, bool withReturnValue) {
    auto definition = std::make_shared<ClassDef>();
    definition->name = L"__PARAMETERS";
    definition->isParameters = true;
    if (withReturnValue) props.push_back(u32(L"ReturnValue"));
    for (auto& p : props) {
        p.def.classOrigin = L"__PARAMETERS";
        definition->properties.push_back(std::move(p.def));
    }
    std::sort(definition->properties.begin(), definition->properties.end(),
              [](const PropertyDef& a, const PropertyDef& b) { return a.name < b.name; });
    return definition;
}

MethodDef method(const wchar_t* name, std::vector<Prop> in, std::vector<Prop> out) {
    MethodDef def;
    def.name = name;
    if (!in.empty()) def.in = parameters(std::move(in), false);
    def.out = parameters(std::move(out), true);
    return def;
}

void define(Schema& schema, const wchar_t* name, const wchar_t* superclass, std::vector<Prop> props,
            std::vector<MethodDef> methods = {}) {
    ClassDef def;
    def.name = name;
    def.superclass = superclass;
    for (auto& p : props) def.properties.push_back(std::move(p.def));
    def.methods = std::move(methods);
    schema.add(std::move(def));
}

void defineCoreClasses(Schema& s) {
    define(s, L"CIM_ManagedElement", L"",
           {str(L"Caption"), str(L"Description"), str(L"ElementName"), str(L"InstanceID")});
    define(
        s, L"CIM_ManagedSystemElement", L"CIM_ManagedElement",
        {str(L"Name"), u16(L"HealthState"), datetime(L"InstallDate"), u16s(L"OperationalStatus"), str(L"Status")});
    define(s, L"CIM_LogicalElement", L"CIM_ManagedSystemElement", {});
    define(s, L"CIM_EnabledLogicalElement", L"CIM_LogicalElement",
           {u16(L"EnabledState"), u16(L"RequestedState").defaults(u16Value(12)),
            u16(L"EnabledDefault").defaults(u16Value(2)), str(L"OtherEnabledState"),
            datetime(L"TimeOfLastStateChange")});
    define(s, L"CIM_System", L"CIM_EnabledLogicalElement",
           {str(L"CreationClassName").key(), str(L"Name").key(), str(L"NameFormat"), str(L"PrimaryOwnerName")});
    define(s, L"CIM_ComputerSystem", L"CIM_System", {u16s(L"Dedicated")});
    define(s, L"CIM_Service", L"CIM_EnabledLogicalElement",
           {str(L"CreationClassName").key(), str(L"Name").key(), str(L"SystemCreationClassName").key(),
            str(L"SystemName").key(), flag(L"Started"), str(L"StartMode")});
    define(s, L"CIM_LogicalDevice", L"CIM_EnabledLogicalElement",
           {str(L"CreationClassName").key(), str(L"DeviceID").key(), str(L"SystemCreationClassName").key(),
            str(L"SystemName").key()});
    define(s, L"CIM_StorageExtent", L"CIM_LogicalDevice",
           {u64(L"BlockSize"), u64(L"NumberOfBlocks"), u64(L"ConsumableBlocks"), str(L"Purpose")});
    define(s, L"CIM_Memory", L"CIM_StorageExtent", {flag(L"Volatile")});
    define(s, L"CIM_SettingData", L"CIM_ManagedElement", {str(L"InstanceID").key()});
    define(s, L"CIM_Capabilities", L"CIM_ManagedElement", {str(L"InstanceID").key()});
    define(s, L"CIM_ResourcePool", L"CIM_LogicalElement",
           {str(L"InstanceID").key(), str(L"PoolID"), flag(L"Primordial").defaults(CimValue::boolean(false)),
            u64(L"Capacity"), u64(L"Reserved"), u16(L"ResourceType"), str(L"OtherResourceType"),
            str(L"ResourceSubType"), str(L"AllocationUnits")});
    define(s, L"CIM_Job", L"CIM_LogicalElement",
           {str(L"JobStatus"), datetime(L"TimeSubmitted"), u16(L"PercentComplete"), u16(L"ErrorCode"),
            str(L"ErrorDescription"), flag(L"DeleteOnCompletion")});
    define(s, L"CIM_ConcreteJob", L"CIM_Job",
           {str(L"InstanceID").key(), u16(L"JobState"), datetime(L"TimeOfLastStateChange")});
}

void defineSettingClasses(Schema& s) {
    define(s, L"CIM_VirtualSystemSettingData", L"CIM_SettingData",
           {str(L"VirtualSystemIdentifier"), str(L"VirtualSystemType"), strs(L"Notes"), datetime(L"CreationTime"),
            str(L"ConfigurationID"), str(L"ConfigurationDataRoot"), str(L"ConfigurationFile"),
            str(L"SnapshotDataRoot"), str(L"SuspendDataRoot"), str(L"SwapFileDataRoot"), str(L"LogDataRoot"),
            u16(L"AutomaticStartupAction"), datetime(L"AutomaticStartupActionDelay"),
            u16(L"AutomaticShutdownAction"), u16(L"AutomaticRecoveryAction"), str(L"RecoveryFile")});
    define(s, L"Msvm_VirtualSystemSettingData", L"CIM_VirtualSystemSettingData",
           {str(L"VirtualSystemSubType"), flag(L"VirtualNumaEnabled"), flag(L"SecureBootEnabled"),
            u16s(L"BootOrder"), strs(L"BootSourceOrder"), str(L"Version"), str(L"Parent")});
    define(s, L"CIM_ResourceAllocationSettingData", L"CIM_SettingData",
           {u16(L"ResourceType"), str(L"OtherResourceType"), str(L"ResourceSubType"), str(L"PoolID"),
            u16(L"ConsumerVisibility"), strs(L"HostResource"), str(L"AllocationUnits"), u64(L"VirtualQuantity"),
            u64(L"Reservation"), u64(L"Limit"), u32(L"Weight"), flag(L"AutomaticAllocation"),
            flag(L"AutomaticDeallocation"), str(L"Parent"), strs(L"Connection"), str(L"Address"),
            u16(L"MappingBehavior"), str(L"AddressOnParent"), str(L"VirtualQuantityUnits")});
    define(s, L"Msvm_ResourceAllocationSettingData", L"CIM_ResourceAllocationSettingData",
           {strs(L"VirtualSystemIdentifiers")});
    define(s, L"Msvm_MemorySettingData", L"CIM_ResourceAllocationSettingData",
           {u16(L"ResourceType").defaults(u16Value(4)),
            str(L"ResourceSubType").defaults(text(L"Microsoft:Hyper-V:Memory")),
            str(L"AllocationUnits").defaults(text(L"byte * 2^20")),
            str(L"VirtualQuantityUnits").defaults(text(L"byte * 2^20")), flag(L"DynamicMemoryEnabled"),
            u32(L"TargetMemoryBuffer"), u64(L"MaxMemoryBlocksPerNumaNode"), flag(L"IsVirtualized"),
            flag(L"SwapFilesInUse"), flag(L"HugePagesEnabled"), u64(L"SgxSize"), flag(L"SgxEnabled")});
    define(s, L"Msvm_ProcessorSettingData", L"CIM_ResourceAllocationSettingData",
           {u16(L"ResourceType").defaults(u16Value(3)),
            str(L"ResourceSubType").defaults(text(L"Microsoft:Hyper-V:Processor")),
            str(L"AllocationUnits").defaults(text(L"percent / 1000")), u64(L"MaxProcessorsPerNumaNode"),
            u64(L"MaxNumaNodesPerSocket"), flag(L"LimitCPUID"), flag(L"LimitProcessorFeatures")});
    define(s, L"CIM_EthernetPortAllocationSettingData", L"CIM_ResourceAllocationSettingData",
           {u16(L"DesiredVLANEndpointMode")});
    define(s, L"Msvm_SyntheticEthernetPortSettingData", L"CIM_EthernetPortAllocationSettingData",
           {flag(L"StaticMacAddress"), strs(L"VirtualSystemIdentifiers"), flag(L"ClusterMonitored")});
    define(s, L"Msvm_EthernetPortAllocationSettingData", L"CIM_EthernetPortAllocationSettingData",
           {u16(L"EnabledState"), str(L"TestReplicaPoolID"), str(L"TestReplicaSwitchName")});
    define(s, L"CIM_StorageAllocationSettingData", L"CIM_ResourceAllocationSettingData",
           {u64(L"VirtualResourceBlockSize")});
    define(s, L"Msvm_StorageAllocationSettingData", L"CIM_StorageAllocationSettingData",
           {flag(L"PersistentReservationsSupported")});
}

void defineSystemClasses(Schema& s) {
    define(s, L"Msvm_ComputerSystem", L"CIM_ComputerSystem",
           {u64(L"OnTimeInMilliseconds"), u32(L"ProcessID"), u16(L"NumberOfNumaNodes")},
           {method(L"RequestStateChange", {u16(L"RequestedState"), datetime(L"TimeoutPeriod")}, {ref(L"Job")})});
    define(s, L"Msvm_VirtualEthernetSwitch", L"CIM_ComputerSystem", {u32(L"MaxVMQOffloads")});
    define(s, L"CIM_VirtualSystemManagementService", L"CIM_Service", {});
    define(s, L"Msvm_VirtualSystemManagementService", L"CIM_VirtualSystemManagementService", {},
           {method(L"DefineSystem",
                   {str(L"SystemSettings"), strs(L"ResourceSettings"), ref(L"ReferenceConfiguration")},
                   {ref(L"ResultingSystem"), ref(L"Job")}),
            method(L"DestroySystem", {ref(L"AffectedSystem")}, {ref(L"Job")}),
            method(L"ModifySystemSettings", {str(L"SystemSettings")}, {ref(L"Job")}),
            method(L"AddResourceSettings", {ref(L"AffectedConfiguration"), strs(L"ResourceSettings")},
                   {refs(L"ResultingResourceSettings"), ref(L"Job")}),
            method(L"ModifyResourceSettings", {strs(L"ResourceSettings")},
                   {refs(L"ResultingResourceSettings"), ref(L"Job")}),
            method(L"RemoveResourceSettings", {refs(L"ResourceSettings")}, {ref(L"Job")})});
    define(s, L"Msvm_Memory", L"CIM_Memory", {});
    define(s, L"Msvm_ResourcePool", L"CIM_ResourcePool", {});
    define(s, L"CIM_AllocationCapabilities", L"CIM_Capabilities",
           {u16(L"ResourceType"), str(L"OtherResourceType"), str(L"ResourceSubType"), u16(L"RequestTypesSupported"),
            u16(L"SharingMode"), u16s(L"SupportedAddStates"), u16s(L"SupportedRemoveStates")});
    define(s, L"Msvm_AllocationCapabilities", L"CIM_AllocationCapabilities", {});
    define(s, L"Msvm_ConcreteJob", L"CIM_ConcreteJob", {str(L"ErrorSummaryDescription")});
}

void defineAssociations(Schema& s) {
    define(s, L"CIM_ElementCapabilities", L"",
           {ref(L"ManagedElement").key(), ref(L"Capabilities").key(), u16s(L"Characteristics")});
    define(s, L"Msvm_ElementCapabilities", L"CIM_ElementCapabilities", {});
    define(s, L"CIM_Component", L"", {ref(L"GroupComponent").key(), ref(L"PartComponent").key()});
    define(s, L"CIM_SettingsDefineCapabilities", L"CIM_Component",
           {u16(L"PropertyPolicy").defaults(u16Value(0)), u16(L"ValueRole").defaults(u16Value(3)),
            u16(L"ValueRange").defaults(u16Value(0))});
    define(s, L"Msvm_SettingsDefineCapabilities", L"CIM_SettingsDefineCapabilities", {u16(L"SupportStatement")});
    define(s, L"CIM_SettingsDefineState", L"", {ref(L"ManagedElement").key(), ref(L"SettingData").key()});
    define(s, L"Msvm_SettingsDefineState", L"CIM_SettingsDefineState", {});
    define(s, L"CIM_Dependency", L"", {ref(L"Antecedent").key(), ref(L"Dependent").key()});
    define(s, L"CIM_SnapshotOfVirtualSystem", L"CIM_Dependency", {});
    define(s, L"Msvm_SnapshotOfVirtualSystem", L"CIM_SnapshotOfVirtualSystem", {});
    define(s, L"CIM_VirtualSystemSettingDataComponent", L"CIM_Component", {});
    define(s, L"Msvm_VirtualSystemSettingDataComponent", L"CIM_VirtualSystemSettingDataComponent", {});
}

}  // namespace

struct SchemaDefinition {
    static Schema build() {
        Schema schema;
        defineCoreClasses(schema);
        defineSettingClasses(schema);
        defineSystemClasses(schema);
        defineAssociations(schema);
        return schema;
    }
};

const Schema& Schema::instance() {
    static const Schema schema = SchemaDefinition::build();
    return schema;
}

}  // namespace HyperVSim
