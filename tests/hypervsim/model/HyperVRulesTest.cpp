// The Hyper-V rules of the simulated host as the library and the command meet them: the machine DefineSystem
// leaves, each method's refusals (in the ReturnValue or in a failed job that says why), state changes, removal,
// checkpoints, and the embedded instances the methods read.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "HostClient.h"

namespace HyperVSimTest {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::wstring>;

constexpr long completed = 4096, invalidParameter = 32773, inUse = 32774, invalidState = 32775,
               notSupported = 32770;
const std::wstring hostSystem =
    L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName="
    L"\"Msvm_ComputerSystem\",Name=\"HVSIM01\"";

class HyperVRulesTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        folder = fs::temp_directory_path() / ("hypervsim-rules-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        machine = defineMachine(L"vm1", 1);
        settings = settingsOf(machine);
        ide = resourcesOf(machine, L"Emulated IDE Controller");
        ASSERT_EQ(ide.size(), 2u);
    }
    void TearDown() override {
        fs::remove_all(folder);
        HostTest::TearDown();
    }

    std::wstring image(const std::wstring& name) {
        std::ofstream(folder / name) << "image";
        return (folder / name).wstring();
    }
    // A pool's Default template with the properties the library sets, as its text.
    std::wstring resource(const std::wstring& className, const std::wstring& kind,
                          const std::vector<std::pair<std::wstring, Value>>& values) {
        auto instance = defaultTemplate(className, kind);
        for (const auto& [name, value] : values) EXPECT_EQ(put(instance.get(), name, value), S_OK) << narrow(name);
        return xml(instance.get());
    }
    std::wstring drive(const std::wstring& controller, const std::wstring& address) {
        return resource(L"Msvm_ResourceAllocationSettingData", L"Synthetic Disk Drive",
                        {{L"Parent", controller}, {L"AddressOnParent", address}});
    }
    std::wstring disk(const std::wstring& parent, const std::wstring& file) {
        return resource(L"Msvm_StorageAllocationSettingData", L"Virtual Hard Disk",
                        {{L"Parent", parent}, {L"HostResource", Texts{file}}});
    }
    std::wstring scsiController() {
        return resource(L"Msvm_ResourceAllocationSettingData", L"Synthetic SCSI Controller",
                        {{L"ElementName", std::wstring(L"SCSI Controller")}});
    }
    std::wstring adapter() {
        return resource(L"Msvm_SyntheticEthernetPortSettingData", L"Synthetic Ethernet Port",
                        {{L"ElementName", std::wstring(L"Network Adapter")},
                         {L"VirtualSystemIdentifiers", Texts{L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}"}}});
    }
    std::wstring connection(const std::wstring& parent, const std::wstring& switchPath) {
        return resource(L"Msvm_EthernetPortAllocationSettingData", L"Ethernet Connection",
                        {{L"Parent", parent}, {L"HostResource", Texts{switchPath}}});
    }
    std::wstring firstSwitch() { return Control::switches().at(0).path; }
    std::wstring instanceId(const std::wstring& path) { return text(object(path).get(), L"InstanceID"); }

    // A refusal in a job: 4096, nothing resulting, the job ended in an exception with the reason.
    void expectRefused(const Call& call, long errorCode, const std::wstring& reason) {
        ASSERT_EQ(call.status, S_OK);
        EXPECT_EQ(call.returnValue(), completed);
        for (const wchar_t* result : {L"ResultingResourceSettings", L"ResultingSystem"})
            if (call.out && call.out->Get(result, 0, nullptr, nullptr, nullptr) == S_OK) {
                EXPECT_TRUE(isNull(call.out.get(), result));
            }
        const std::wstring job = jobOf(call);
        EXPECT_EQ(job.rfind(L"10 " + std::to_wstring(errorCode) + L" '", 0), 0u) << narrow(job);
        EXPECT_NE(job.find(reason), std::wstring::npos)
            << narrow(job) << "\nexpected to contain: " << narrow(reason);
    }
    void expectDone(const Call& call) {
        ASSERT_EQ(call.returnValue(), completed);
        EXPECT_EQ(jobOf(call).substr(0, 4), L"7 0 ");
    }
    std::vector<Object> ownMemory(const std::wstring& path) {
        return query(L"select * from Msvm_Memory where SystemName = '" + text(object(path).get(), L"Name") + L"'");
    }

    fs::path folder;
    std::wstring machine, settings;
    std::vector<std::wstring> ide;
};

TEST_F(HyperVRulesTest, DefineSystemLeavesAMachineOffWithItsSettingsAndDevices) {
    for (const int generation : {1, 2}) {
        const std::wstring path = defineMachine(L"gen" + std::to_wstring(generation), generation);
        auto system = object(path);
        const std::wstring id = text(system.get(), L"Name"), own = settingsOf(path);
        ASSERT_EQ(id.size(), 36u);
        EXPECT_EQ(id.find_first_of(L"abcdef"), std::wstring::npos) << narrow(id);
        const std::wstring g = std::to_wstring(generation);
        EXPECT_EQ(shown(system.get(), {L"ElementName", L"EnabledState", L"Description", L"Caption"}),
                  L"'gen" + g + L"' 3 'Microsoft Virtual Machine' 'Virtual Machine'");
        EXPECT_EQ(shown(object(own).get(), {L"InstanceID", L"VirtualSystemIdentifier", L"VirtualSystemType",
                                            L"VirtualSystemSubType", L"ConfigurationDataRoot"}),
                  L"'Microsoft:" + id + L"' '" + id +
                      L"' 'Microsoft:Hyper-V:System:Realized' "
                      L"'Microsoft:Hyper-V:SubType:" +
                      g + L"' 'C:\\ProgramData\\Microsoft\\Windows\\Hyper-V'");
        EXPECT_EQ(shown(associated(own, L"Msvm_MemorySettingData").at(0).get(),
                        {L"InstanceID", L"ElementName", L"Description", L"ResourceType", L"VirtualQuantity",
                         L"Reservation", L"Limit"}),
                  L"'Microsoft:" + id +
                      L"\\4764334d-e001-4176-82ee-5594ec9b530e' 'Memory' "
                      L"'Settings for Microsoft Virtual Machine Memory.' 4 '1024' '1024' '1024'");
        EXPECT_EQ(
            shown(associated(own, L"Msvm_ProcessorSettingData").at(0).get(),
                  {L"InstanceID", L"ElementName", L"ResourceType", L"VirtualQuantity", L"Limit", L"Reservation",
                   L"Weight"}),
            L"'Microsoft:" + id + L"\\b637f346-6a0e-4dec-af52-bd70cb80a21d\\0' 'Processor' 3 '1' '100000' '0' 100");
        const auto controllers = resourcesOf(path, L"Emulated IDE Controller");
        ASSERT_EQ(controllers.size(), generation == 1 ? 2u : 0u);
        for (std::size_t address = 0; address < controllers.size(); ++address) {
            auto controller = object(controllers[address]);
            EXPECT_EQ(text(controller.get(), L"Address"), std::to_wstring(address));
            EXPECT_EQ(text(controller.get(), L"InstanceID"),
                      L"Microsoft:" + id + L"\\83F8638B-8DCA-4152-9EDA-2CA8B33039B4\\" + std::to_wstring(address));
        }
        EXPECT_EQ(associated(own, L"CIM_ResourceAllocationSettingData").size(), controllers.size() + 2);
    }
    // An unset subtype is generation 1; a given folder is kept; names need not be unique.
    const Call plain = defineSystem(settingsText(L"vm1"));
    auto plainSettings = object(settingsOf(text(plain.out.get(), L"ResultingSystem")));
    EXPECT_EQ(text(plainSettings.get(), L"VirtualSystemSubType"), L"Microsoft:Hyper-V:SubType:1");
    auto folderSettings = spawn(L"Msvm_VirtualSystemSettingData");
    put(folderSettings.get(), L"ElementName", std::wstring(100, L'n'));
    put(folderSettings.get(), L"ConfigurationDataRoot", std::wstring(L"D:\\VMs"));
    const Call kept = defineSystem(xml(folderSettings.get()));
    EXPECT_EQ(Control::machine(text(kept.out.get(), L"ResultingSystem"))->configurationDataRoot, L"D:\\VMs");
    EXPECT_EQ(Control::machines().size(), 5u);
}

TEST_F(HyperVRulesTest, DefineSystemTakesResourcesWithTheDefinitionOrMakesNoMachine) {
    const auto sized = [&](const wchar_t* className, std::int32_t quantity) {
        auto instance = spawn(className);
        put(instance.get(), L"VirtualQuantity", quantity);
        return xml(instance.get());
    };
    auto otherClass = spawn(L"Msvm_MemorySettingData");
    std::wstring unknownProperty = settingsText(L"vm");
    unknownProperty.replace(unknownProperty.find(L"NAME=\"ElementName\""), 18, L"NAME=\"NoSuchProperty\"");
    // clang-format off
    const struct {
        const char* why;
        std::wstring settings;
        Texts resources;
        long returnValue;
    } refused[] = {
        {"unreadable", L"<INSTANCE CLASSNAME=", {}, invalidParameter}, {"empty", L"", {}, invalidParameter},
        {"another class", xml(otherClass.get()), {}, invalidParameter},
        {"unknown property", unknownProperty, {}, invalidParameter},
        {"empty name", settingsText(L""), {}, invalidParameter},
        {"101 characters", settingsText(std::wstring(101, L'x')), {}, invalidParameter},
        {"generation 3", settingsText(L"vm", L"Microsoft:Hyper-V:SubType:3"), {}, invalidParameter},
        {"blank subtype", settingsText(L"vm", L" "), {}, invalidParameter},
        {"a bare adapter", settingsText(L"vm"), {adapter(), xml(spawn(L"Msvm_SyntheticEthernetPortSettingData").get())}, invalidParameter},
        {"odd memory", settingsText(L"vm"), {sized(L"Msvm_MemorySettingData", 1025)}, invalidParameter},
        {"17 processors", settingsText(L"vm"), {sized(L"Msvm_ProcessorSettingData", 17)}, invalidParameter}};
    // clang-format on
    for (const auto& row : refused) {
        const Call call = defineSystem(row.settings, row.resources);
        ASSERT_EQ(call.status, S_OK) << row.why;
        EXPECT_EQ(call.returnValue(), row.returnValue) << row.why;
        EXPECT_TRUE(isNull(call.out.get(), L"ResultingSystem")) << row.why;
        EXPECT_TRUE(isNull(call.out.get(), L"Job")) << row.why;
    }
    const Call copy = serviceCall(
        L"DefineSystem", {{L"SystemSettings", settingsText(L"copy")}, {L"ReferenceConfiguration", settings}});
    EXPECT_EQ(copy.returnValue(), notSupported);
    EXPECT_EQ(Control::machines().size(), 1u);

    const Call equipped =
        defineSystem(settingsText(L"equipped"),
                     {adapter(), sized(L"Msvm_MemorySettingData", 2048), sized(L"Msvm_ProcessorSettingData", 4)});
    ASSERT_EQ(equipped.returnValue(), 0);
    const auto view = Control::machine(text(equipped.out.get(), L"ResultingSystem"));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->adapters.size(), 1u);
    EXPECT_EQ(view->memoryMiB, 2048u);
    EXPECT_EQ(view->processors, 4u);
    EXPECT_EQ(view->processorLimit, 100000u) << "a property the client did not name changed";
}

TEST_F(HyperVRulesTest, AddResourceSettingsBuildsTheMachinesDevices) {
    const std::wstring id = text(object(machine).get(), L"Name");
    const std::wstring adapterPath =
        added(addResource(machine, {adapter()}));  // the machine stands for its settings
    const std::wstring adapterId = instanceId(adapterPath);
    EXPECT_EQ(adapterId.rfind(L"Microsoft:" + id + L"\\", 0), 0u) << narrow(adapterId);
    EXPECT_EQ(adapterId.size(), std::wstring(L"Microsoft:\\").size() + 2 * id.size());
    EXPECT_EQ(number(object(adapterPath).get(), L"ResourceType"), 10);
    EXPECT_EQ(instanceId(added(addResource(settings, {connection(adapterPath, firstSwitch())}))),
              adapterId + L"\\C");

    const std::wstring ideDrive = added(addResource(settings, {drive(ide[1], L"1")}));
    EXPECT_EQ(instanceId(ideDrive), instanceId(ide[1]) + L"\\1\\D");
    const std::wstring file = image(L"system.VHDX");  // the extension in any case
    EXPECT_EQ(instanceId(added(addResource(settings, {disk(ideDrive, file)}))), instanceId(ide[1]) + L"\\1\\L");
    const std::wstring scsi = added(addResource(settings, {scsiController()}));
    EXPECT_EQ(instanceId(scsi).substr(instanceId(scsi).size() - 2), L"\\0");
    const std::wstring scsiDrive = added(addResource(settings, {drive(scsi, L"39")}));
    EXPECT_EQ(instanceId(scsiDrive), instanceId(scsi) + L"\\39\\D");

    const auto view = Control::machine(machine);
    ASSERT_TRUE(view);
    ASSERT_EQ(view->adapters.size(), 1u);
    EXPECT_EQ(view->adapters[0].identifiers, Texts{L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}"});
    EXPECT_EQ(view->adapters[0].switches, Texts{firstSwitch()});
    ASSERT_EQ(view->controllers.size(), 3u);
    ASSERT_EQ(view->controllers[1].drives.size(), 1u);
    EXPECT_EQ(view->controllers[1].drives[0].image, file);
    EXPECT_EQ(view->controllers[2].drives.at(0).address, L"39");

    // At most four SCSI controllers and twelve adapters; a list is added whole or not at all.
    for (int i = 0; i < 3; ++i) added(addResource(settings, {scsiController()}));
    expectRefused(addResource(settings, {scsiController()}), invalidParameter, L"already has 4 SCSI controllers");
    expectRefused(addResource(settings, {adapter(), xml(spawn(L"Msvm_SyntheticEthernetPortSettingData").get())}),
                  invalidParameter, L"empty");
    EXPECT_EQ(addResource(settings, Texts(11, adapter())).returnValue(), 0);
    expectRefused(addResource(settings, {adapter()}), invalidParameter, L"already has 12 network adapters");
    EXPECT_EQ(Control::machine(machine)->adapters.size(), 12u);
    EXPECT_EQ(Control::machine(machine)->controllers.size(), 6u);
}

TEST_F(HyperVRulesTest, AddResourceSettingsRefusesWithAJobThatSaysWhy) {
    const std::wstring other = defineMachine(L"other", 1), otherSettings = settingsOf(other);
    const std::wstring otherDrive =
        added(addResource(otherSettings, {drive(resourcesOf(other, L"Emulated IDE Controller")[0], L"0")}));
    const std::wstring taken = added(addResource(settings, {drive(ide[0], L"0")}));
    const std::wstring empty = added(addResource(settings, {drive(ide[0], L"1")}));
    const std::wstring scsi = added(addResource(settings, {scsiController()}));
    const std::wstring adapterPath = added(addResource(settings, {adapter()}));
    added(addResource(settings, {connection(adapterPath, firstSwitch())}));
    const std::wstring spare = added(addResource(settings, {adapter()}));
    const std::wstring shared = image(L"shared.vhdx"), missing = (folder / "missing.vhdx").wstring();
    added(addResource(settings, {disk(taken, shared)}));
    fs::create_directories(folder / "sub");
    fs::create_symlink(fs::path(shared), folder / "link.vhdx");
    const std::wstring memory = text(associated(settings, L"Msvm_MemorySettingData").at(0).get(), L"__PATH");

    const std::wstring link = (folder / "link.vhdx").wstring(),
                       otherIde = resourcesOf(other, L"Emulated IDE Controller")[1];
    const struct {
        std::wstring target, resource, reason;
        long errorCode = invalidParameter;
    } refused[] = {
        {settings, xml(spawn(L"Msvm_SyntheticEthernetPortSettingData").get()),
         L"ResourceType and ResourceSubType are empty"},
        {hostSystem, adapter(), L"is not the settings of a virtual machine"},
        {servicePath(), adapter(), L"is not the settings of a virtual machine"},
        {L"not a path", adapter(), L"is not the settings of a virtual machine"},
        {settings, L"<INSTANCE", L"unusable"},
        {settings, drive(otherIde, L"0"), L"is not a controller of virtual machine 'vm1'"},
        {settings, drive(memory, L"0"), L"is not a controller"},
        {settings, drive(L"", L"0"), L"is not a controller"},
        {settings, drive(ide[0], L"0"), L"already taken"},
        {settings, drive(ide[1], L"2"), L"locations 0 to 1"},
        {settings, drive(ide[1], L"-1"), L"locations 0 to 1"},
        {settings, drive(ide[1], L""), L"locations 0 to 1"},
        {settings, drive(ide[1], L"x"), L"locations 0 to 1"},
        {settings, drive(scsi, L"64"), L"locations 0 to 63"},
        {settings, disk(empty, missing), L"The virtual hard disk path '" + missing + L"' does not exist."},
        {settings, disk(empty, image(L"notes.txt")),
         L"' is not a virtual hard disk: its name does not end in .vhd or .vhdx."},
        {settings, disk(empty, folder.wstring()), L"is not a file"},
        {settings, disk(ide[0], image(L"a.vhd")), L"is not a disk drive of virtual machine 'vm1'"},
        {settings, disk(taken, image(L"second.vhdx")), L"already holds the virtual hard disk"},
        {settings, disk(empty, shared), L"is already attached to virtual machine 'vm1'", inUse},
        {otherSettings, disk(otherDrive, shared), L"is already attached to virtual machine 'vm1'", inUse},
        {otherSettings, disk(otherDrive, (folder / "sub" / ".." / "shared.vhdx").wstring()), L"is already attached",
         inUse},
        {otherSettings, disk(otherDrive, link), L"is already attached", inUse},
        {settings, connection(ide[0], firstSwitch()), L"is not a network adapter of virtual machine"},
        {settings, connection(spare, hostSystem), L"is not a virtual switch"},
        {settings, connection(spare, L""), L"is not a virtual switch"},
        {settings, connection(adapterPath, firstSwitch()), L"is already connected"}};
    for (const auto& row : refused) {
        SCOPED_TRACE(narrow(row.reason));
        expectRefused(addResource(row.target, {row.resource}), row.errorCode, row.reason);
    }
    const auto view = Control::machine(machine);
    EXPECT_EQ(view->adapters.size(), 2u);
    EXPECT_EQ(view->controllers[0].drives.size(), 2u);

    // A machine's removal frees its images.
    expectDone(destroy(machine));
    added(addResource(otherSettings, {disk(otherDrive, link)}));
}

TEST_F(HyperVRulesTest, ModifyResourceSettingsSizesWithinTheHostsLimits) {
    // The library's setVmRam and setCpuCores: the properties it writes, as VT_I4.
    const auto memory = [&](std::int32_t mib) {
        auto target = associated(settings, L"Msvm_MemorySettingData").at(0);
        for (const wchar_t* name : {L"MaxMemoryBlocksPerNumaNode", L"Reservation", L"Limit", L"VirtualQuantity"})
            put(target.get(), name, mib);
        return xml(target.get());
    };
    const auto processors = [&](std::int32_t count, std::int32_t reservation, std::int32_t limit,
                                std::int32_t weight) {
        auto target = associated(settings, L"Msvm_ProcessorSettingData").at(0);
        for (const auto& [name, value] : {std::pair{L"VirtualQuantity", count},
                                          {L"MaxProcessorsPerNumaNode", count},
                                          {L"Reservation", reservation},
                                          {L"Limit", limit},
                                          {L"Weight", weight}})
            put(target.get(), name, value);
        return xml(target.get());
    };
    // clang-format off
    const struct {
        std::wstring resource;
        std::wstring refusal;  // empty when accepted
    } rows[] = {
        {memory(32), L""}, {memory(65536), L""}, {memory(1023), L"is not an even number of MiB"},
        {memory(30), L"outside 32 to 65536 MiB"}, {memory(65538), L"outside 32 to 65536 MiB"}, {memory(4096), L""},
        {processors(16, 100000, 100000, 10000), L""},
        {processors(0, 0, 100000, 100), L"processor count 0 is outside 1 to 16"},
        {processors(17, 0, 100000, 100), L"processor count 17 is outside 1 to 16"},
        {processors(2, 0, 100001, 100), L"limit 100001 is above 100000"},
        {processors(2, 60000, 50000, 100), L"reservation 60000 is above the limit 50000"},
        {processors(2, 0, 100000, 0), L"weight 0 is outside 1 to 10000"},
        {processors(2, 0, 100000, 10001), L"weight 10001 is outside 1 to 10000"},
        {processors(4, 10000, 80000, 200), L""}};
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(narrow(row.refusal));
        const Call call = modifyResource({row.resource});
        if (!row.refusal.empty()) {
            expectRefused(call, invalidParameter, row.refusal);
        } else {
            EXPECT_EQ(call.returnValue(), 0);
            EXPECT_FALSE(isNull(call.out.get(), L"ResultingResourceSettings"));
        }
    }
    auto view = Control::machine(machine);
    // clang-format off
    EXPECT_EQ(std::vector<std::uint64_t>({view->memoryMiB, view->memoryReservation, view->memoryLimit,
                                          view->maxMemoryBlocksPerNumaNode, view->processors, view->processorReservation,
                                          view->maxProcessorsPerNumaNode, view->processorLimit, view->processorWeight}),
              std::vector<std::uint64_t>({4096, 4096, 4096, 4096, 4, 10000, 4, 80000, 200}));
    // clang-format on

    // The target is chosen by InstanceID and class; a list is checked whole before anything changes.
    auto stranger = associated(settings, L"Msvm_MemorySettingData").at(0);
    put(stranger.get(), L"InstanceID", std::wstring(L"Microsoft:00000000-0000-0000-0000-000000000000"));
    auto wrongClass = associated(settings, L"Msvm_MemorySettingData").at(0);
    put(wrongClass.get(), L"InstanceID",
        text(associated(settings, L"Msvm_ProcessorSettingData").at(0).get(), L"InstanceID"));
    const std::pair<Texts, std::wstring> refused[] = {
        {{xml(stranger.get())}, L"No resource of a virtual machine"},
        {{xml(defaultTemplate(L"Msvm_ResourceAllocationSettingData", L"Synthetic SCSI Controller").get())},
         L"No resource of a virtual machine"},
        {{}, L"no ResourceSettings"},
        {{xml(wrongClass.get())}, L"' is of class Msvm_ProcessorSettingData"},
        {{memory(2048), processors(99, 0, 100000, 100)}, L"99"}};
    for (const auto& [texts, reason] : refused) expectRefused(modifyResource(texts), invalidParameter, reason);
    EXPECT_EQ(Control::machine(machine)->memoryMiB, 4096u);

    // An object sent back unchanged stays as it was.
    auto unchanged = associated(settings, L"Msvm_ProcessorSettingData").at(0);
    const std::wstring before = xml(unchanged.get());
    EXPECT_EQ(modifyResource({before}).returnValue(), 0);
    EXPECT_EQ(xml(object(text(unchanged.get(), L"__PATH")).get()), before);

    // A running machine keeps its size but takes other changes.
    expectDone(requestState(machine, 2));
    for (const std::wstring& resize : {memory(2048), processors(2, 0, 100000, 100)}) {
        const Call call = modifyResource({resize});
        EXPECT_EQ(call.returnValue(), invalidState);
        EXPECT_TRUE(isNull(call.out.get(), L"Job"));
    }
    EXPECT_EQ(modifyResource({processors(4, 10000, 50000, 300)}).returnValue(), 0);
    view = Control::machine(machine);
    EXPECT_EQ(std::vector<std::uint64_t>({view->memoryMiB, view->processors, view->processorLimit}),
              std::vector<std::uint64_t>({4096, 4, 50000}));
}

TEST_F(HyperVRulesTest, RequestStateChangeStartsAndTurnsOffWithTheMachinesMemory) {
    const std::wstring second = defineMachine(L"vm2", 2);
    EXPECT_TRUE(ownMemory(machine).empty());
    const Call again = requestState(machine, 3);
    EXPECT_EQ(again.returnValue(), invalidState);
    EXPECT_TRUE(isNull(again.out.get(), L"Job"));
    expectDone(requestState(machine, 2));
    expectDone(requestState(second, 2));
    EXPECT_EQ(number(object(machine).get(), L"EnabledState"), 2);
    auto memory = ownMemory(machine);
    ASSERT_EQ(memory.size(), 1u);
    EXPECT_EQ(text(memory[0].get(), L"NumberOfBlocks"), L"1024");
    EXPECT_EQ(text(memory[0].get(), L"BlockSize"), L"1048576");
    EXPECT_EQ(query(L"select * from Msvm_Memory").size(), 5u);  // two nodes, their aggregate, two machines

    EXPECT_EQ(requestState(machine, 2).returnValue(), invalidState);
    for (const std::int16_t other : {0, 1, 4, 6, 7, 8, 9, 10, 11})
        EXPECT_EQ(requestState(machine, other).returnValue(), notSupported) << other;
    EXPECT_EQ(requestState(hostSystem, 3).returnValue(), notSupported);
    EXPECT_EQ(destroy(machine).returnValue(), invalidState);

    expectDone(requestState(machine, 3));
    EXPECT_EQ(number(object(machine).get(), L"EnabledState"), 3);
    EXPECT_TRUE(ownMemory(machine).empty());

    // The host keeps the newest 1,024 finished jobs.
    std::vector<std::wstring> jobs;
    for (int i = 0; i < 1030; ++i) jobs.push_back(text(requestState(second, i % 2 ? 2 : 3).out.get(), L"Job"));
    EXPECT_EQ(query(L"select * from Msvm_ConcreteJob").size(), 1024u);
    Object found;
    EXPECT_EQ(getObject(jobs[5], found), wbem(WBEM_E_NOT_FOUND));
    EXPECT_EQ(getObject(jobs[6], found), S_OK);

    // While a change takes its time the machine takes no other request and cannot be destroyed.
    Control::planNextStateChange({60'000});
    ASSERT_EQ(requestState(second, 3).returnValue(), completed);
    EXPECT_EQ(requestState(second, 2).returnValue(), invalidState);
    EXPECT_EQ(destroy(second).returnValue(), invalidState);
}

TEST_F(HyperVRulesTest, DestroySystemTakesTheMachineWithEverythingLinkedButItsImages) {
    const std::wstring file = image(L"disk.vhdx");
    added(addResource(settings, {disk(added(addResource(settings, {drive(ide[0], L"0")})), file)}));
    std::vector<std::wstring> order{machine};
    for (int i = 2; i <= 5; ++i) order.push_back(defineMachine(L"vm" + std::to_wstring(i), 2));
    std::vector<std::wstring> gone{machine, settings};
    for (auto& linked : associated(settings, L"CIM_ResourceAllocationSettingData"))
        gone.push_back(text(linked.get(), L"__PATH"));
    ASSERT_EQ(gone.size(), 8u);  // memory, processor, two controllers, drive, disk

    const std::wstring unknown = L"Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"NOSUCH\"";
    EXPECT_EQ(destroy(unknown).status, wbem(WBEM_E_NOT_FOUND));
    EXPECT_EQ(destroy(L"Msvm_ComputerSystem.Name=").status, wbem(WBEM_E_INVALID_METHOD_PARAMETERS));
    EXPECT_EQ(destroy(L"").status, wbem(WBEM_E_INVALID_METHOD_PARAMETERS));

    // Machines keep the order of their definition through removals and changes (a changed one is stored anew).
    expectDone(destroy(machine));
    expectDone(destroy(order[2]));
    expectDone(requestState(order[1], 2));
    Texts listed;
    for (auto& system : query(L"select * from Msvm_ComputerSystem where Description = 'Microsoft Virtual Machine'"))
        listed.push_back(text(system.get(), L"__PATH"));
    EXPECT_EQ(listed, (Texts{order[1], order[3], order[4]}));
    for (const auto& path : gone) {
        Object found;
        EXPECT_EQ(getObject(path, found), wbem(WBEM_E_NOT_FOUND)) << narrow(path);
    }
    EXPECT_EQ(query(L"select * from Msvm_SettingsDefineState").size(), 3u);
    EXPECT_EQ(query(L"select * from Msvm_VirtualSystemSettingDataComponent").size(), 6u);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(destroy(machine).status, wbem(WBEM_E_NOT_FOUND));
}

TEST_F(HyperVRulesTest, ACheckpointComesBeforeTheMachinesOwnSettingsAndGoesWithIt) {
    const std::wstring checkpoint = Control::addCheckpoint(machine);
    auto listed = associated(machine, L"Msvm_VirtualSystemSettingData");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(text(listed[0].get(), L"__PATH"), checkpoint);
    EXPECT_EQ(text(listed[0].get(), L"VirtualSystemType"), L"Microsoft:Hyper-V:Snapshot:Realized");
    EXPECT_EQ(text(listed[0].get(), L"ElementName"), L"vm1 - Checkpoint");
    EXPECT_EQ(text(listed[1].get(), L"__PATH"), settings);
    EXPECT_EQ(Control::machine(machine)->memoryMiB, 1024u);
    EXPECT_EQ(addResource(checkpoint, {adapter()}).returnValue(), completed);
    EXPECT_TRUE(Control::machine(machine)->adapters.empty()) << "a checkpoint took a resource";
    EXPECT_THROW(Control::addCheckpoint(settings), std::invalid_argument);
    expectDone(destroy(machine));
    EXPECT_TRUE(query(L"select * from Msvm_VirtualSystemSettingData").empty());
}

// Embedded instances as GetText writes them and the methods read them.
TEST_F(HyperVRulesTest, EmbeddedInstancesReadBackAsWrittenAndMustFitTheirClass) {
    Texts paths{machine, settings, firstSwitch()};
    for (auto& linked : associated(settings, L"CIM_ResourceAllocationSettingData"))
        paths.push_back(text(linked.get(), L"__PATH"));
    // What follows the system properties, which say where an object lives rather than what it holds.
    const auto held = [](const std::wstring& text) {
        return text.substr(text.find(L"<PROPERTY", text.rfind(L"CLASSORIGIN=\"___SYSTEM\"")));
    };
    for (const auto& path : paths) {
        const std::wstring written = xml(object(path).get());
        auto copy = fromXml(written);
        ASSERT_TRUE(copy) << narrow(path);
        EXPECT_EQ(held(xml(copy.get())), held(written)) << narrow(path);
    }
    auto spawned = spawn(L"Msvm_MemorySettingData");
    put(spawned.get(), L"VirtualQuantity", std::int32_t{2048});
    const std::wstring written = xml(spawned.get());
    for (const wchar_t* part :
         {L"<PROPERTY NAME=\"VirtualQuantity\" CLASSORIGIN=\"CIM_ResourceAllocationSettingData\" TYPE=\"uint64\">"
          L"<VALUE>2048</VALUE>",
          L"<PROPERTY NAME=\"ResourceType\" CLASSORIGIN=\"CIM_ResourceAllocationSettingData\" PROPAGATED=\"true\" "
          L"TYPE=\"uint16\"><VALUE>4</VALUE>"})
        EXPECT_NE(written.find(part), std::wstring::npos) << narrow(part);

    // The minimal form clients build is read by the declared types.
    auto minimal = fromXml(
        L"<INSTANCE CLASSNAME=\"Msvm_MemorySettingData\">"
        L"<PROPERTY NAME=\"virtualquantity\" TYPE=\"string\"><VALUE>512</VALUE></PROPERTY>"
        L"<PROPERTY NAME=\"ElementName\" TYPE=\"string\"></PROPERTY></INSTANCE>");
    CIMTYPE type = 0;
    EXPECT_EQ(get(minimal.get(), L"VirtualQuantity", &type), Value(std::wstring(L"512")));
    EXPECT_EQ(type, CIM_UINT64);
    EXPECT_TRUE(isNull(minimal.get(), L"ElementName"));
    EXPECT_EQ(number(minimal.get(), L"ResourceType"), 4);

    const std::wstring head = L"<INSTANCE CLASSNAME=\"Msvm_MemorySettingData\">";
    const auto property = [&](const std::wstring& body) { return head + body + L"</INSTANCE>"; };
    for (const std::wstring& refused :
         {std::wstring(L"<INSTANCE CLASSNAME=\"Msvm_NoSuchClass\"></INSTANCE>"),
          std::wstring(L"<INSTANCE CLASSNAME=\"Msvm_SettingsDefineState\"></INSTANCE>"),
          property(L"<PROPERTY NAME=\"NoSuchProperty\" TYPE=\"string\"><VALUE>x</VALUE></PROPERTY>"),
          property(L"<PROPERTY NAME=\"ResourceType\" TYPE=\"uint16\"><VALUE>many</VALUE></PROPERTY>"),
          property(L"<PROPERTY NAME=\"ResourceType\" TYPE=\"uint16\"><VALUE>70000</VALUE></PROPERTY>"),
          property(L"<PROPERTY NAME=\"DynamicMemoryEnabled\" TYPE=\"boolean\"><VALUE>maybe</VALUE></PROPERTY>"),
          property(L"<PROPERTY.ARRAY NAME=\"ElementName\" TYPE=\"string\"><VALUE.ARRAY><VALUE>x</VALUE>"
                   L"</VALUE.ARRAY></PROPERTY.ARRAY>"),
          property(L"<PROPERTY NAME=\"HostResource\" TYPE=\"string\"><VALUE>x</VALUE></PROPERTY>")})
        EXPECT_FALSE(fromXml(refused, wbem(WBEM_E_INVALID_SYNTAX))) << narrow(refused);
}

}  // namespace
}  // namespace HyperVSimTest
