// AddResourceSettings: adapters, connections, controllers, drives and disks as the library adds them, and
// every refusal with its job.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ModelClient.h"

namespace HyperVSimTest {
namespace {

namespace fs = std::filesystem;

class AddResourceTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        folder = fs::temp_directory_path() / ("hypervsim-model-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        machine = defineMachine(L"vm1", 1);
        settings = settingsPathOf(machine);
        ide = resourcesOf(machine, L"Emulated IDE Controller");
        ASSERT_EQ(ide.size(), 2u);
    }
    void TearDown() override {
        fs::remove_all(folder);
        ModelTest::TearDown();
    }

    std::wstring image(const std::wstring& name) {
        const fs::path path = folder / fs::path(name);
        std::ofstream(path) << "image";
        return path.wstring();
    }

    Call drive(const std::wstring& target, const std::wstring& controller, const std::wstring& address) {
        auto resource = defaultTemplate(L"Msvm_ResourceAllocationSettingData", L"Synthetic Disk Drive");
        put(resource.get(), L"Parent", Var::text(controller));
        put(resource.get(), L"AddressOnParent", Var::text(address));
        return addResource(target, resource.get());
    }
    Call disk(const std::wstring& target, const std::wstring& parent, const std::wstring& file) {
        auto resource = defaultTemplate(L"Msvm_StorageAllocationSettingData", L"Virtual Hard Disk");
        put(resource.get(), L"Parent", Var::text(parent));
        put(resource.get(), L"HostResource", Var::texts({file}));
        return addResource(target, resource.get());
    }
    Call scsiController(const std::wstring& target) {
        auto resource = defaultTemplate(L"Msvm_ResourceAllocationSettingData", L"Synthetic SCSI Controller");
        put(resource.get(), L"ElementName", Var::text(L"SCSI Controller"));
        put(resource.get(), L"VirtualSystemIdentifiers", Var::texts({L"{6C8E1D55-1F3C-4E4B-9F0B-0A6C2C4C1A11}"}));
        return addResource(target, resource.get());
    }
    Call adapter(const std::wstring& target) {
        auto resource = defaultTemplate(L"Msvm_SyntheticEthernetPortSettingData", L"Synthetic Ethernet Port");
        put(resource.get(), L"VirtualSystemIdentifiers", Var::texts({L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}"}));
        put(resource.get(), L"ElementName", Var::text(L"Network Adapter"));
        put(resource.get(), L"StaticMacAddress", Var::boolean(false));
        return addResource(target, resource.get());
    }
    Call connection(const std::wstring& target, const std::wstring& parent, const std::wstring& switchPath) {
        auto resource = defaultTemplate(L"Msvm_EthernetPortAllocationSettingData", L"Ethernet Connection");
        put(resource.get(), L"Parent", Var::text(parent));
        put(resource.get(), L"HostResource", Var::texts({switchPath}));
        return addResource(target, resource.get());
    }
    std::wstring firstSwitch() {
        auto switches = queryAll(services.get(), L"select * from Msvm_VirtualEthernetSwitch");
        return switches.empty() ? std::wstring() : text(switches[0].get(), L"__PATH");
    }
    std::wstring instanceId(const std::wstring& path) { return text(object(path).get(), L"InstanceID"); }

    // A refusal: 4096, no ResultingResourceSettings, a job that ended in an exception with the reason.
    void expectRefused(const Call& call, LONG errorCode, const std::wstring& reason) {
        ASSERT_EQ(call.status, S_OK);
        EXPECT_EQ(call.returnValue(), 4096);
        EXPECT_EQ(call.typeOf(L"ResultingResourceSettings"), VT_NULL);
        const Job job = jobOf(call);
        EXPECT_EQ(job.state, 10);
        EXPECT_EQ(job.errorCode, errorCode);
        EXPECT_NE(job.description.find(reason), std::wstring::npos)
            << "description: " << narrow(job.description) << "\nexpected to contain: " << narrow(reason);
    }

    fs::path folder;
    std::wstring machine, settings;
    std::vector<std::wstring> ide;
};

TEST_F(AddResourceTest, AdapterAndConnectionJoinTheMachine) {
    const std::wstring adapterPath = added(adapter(settings));
    ASSERT_FALSE(adapterPath.empty());
    const std::wstring id = text(object(machine).get(), L"Name");
    const std::wstring adapterId = instanceId(adapterPath);
    EXPECT_EQ(adapterId.rfind(L"Microsoft:" + id + L"\\", 0), 0u) << narrow(adapterId);
    EXPECT_EQ(adapterId.size(), std::wstring(L"Microsoft:\\").size() + 2 * id.size());
    auto created = object(adapterPath);
    EXPECT_EQ(i4(created.get(), L"ResourceType"), 10);  // from the template
    EXPECT_EQ(text(created.get(), L"ElementName"), L"Network Adapter");

    const std::wstring switchPath = firstSwitch();
    const std::wstring connectionPath = added(connection(settings, adapterPath, switchPath));
    ASSERT_FALSE(connectionPath.empty());
    EXPECT_EQ(instanceId(connectionPath), adapterId + L"\\C");

    const auto view = HyperVSim::Control::machine(machine);
    ASSERT_TRUE(view);
    ASSERT_EQ(view->adapters.size(), 1u);
    EXPECT_EQ(view->adapters[0].path, adapterPath);
    EXPECT_EQ(view->adapters[0].identifiers, std::vector<std::wstring>{L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}"});
    EXPECT_EQ(view->adapters[0].switches, std::vector<std::wstring>{switchPath});
    EXPECT_EQ(associated(settings, L"Msvm_EthernetPortAllocationSettingData").size(), 1u);
}

// A real host takes a machine's own path for its settings; the host computer system is no machine.
TEST_F(AddResourceTest, AMachinesPathStandsForItsSettings) {
    EXPECT_FALSE(added(adapter(machine)).empty());
    expectRefused(adapter(L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName="
                          L"\"Msvm_ComputerSystem\",Name=\"HVSIM01\""),
                  32773, L"is not the settings of a virtual machine");
    EXPECT_EQ(HyperVSim::Control::machine(machine)->adapters.size(), 1u);
}

TEST_F(AddResourceTest, DrivesAndDisksGoOnIdeAndScsiControllers) {
    const std::wstring idDrive = added(drive(settings, ide[1], L"1"));
    ASSERT_FALSE(idDrive.empty());
    EXPECT_EQ(instanceId(idDrive), instanceId(ide[1]) + L"\\1\\D");
    const std::wstring file = image(L"system.VHDX");  // the extension is matched without regard to case
    const std::wstring diskPath = added(disk(settings, idDrive, file));
    ASSERT_FALSE(diskPath.empty());
    EXPECT_EQ(instanceId(diskPath), instanceId(ide[1]) + L"\\1\\L");

    const std::wstring scsi = added(scsiController(settings));
    ASSERT_FALSE(scsi.empty());
    const std::wstring scsiId = instanceId(scsi);
    EXPECT_EQ(scsiId.substr(scsiId.size() - 2), L"\\0");
    const std::wstring scsiDrive = added(drive(settings, scsi, L"63"));
    EXPECT_EQ(instanceId(scsiDrive), scsiId + L"\\63\\D");
    added(disk(settings, scsiDrive, image(L"data.vhd")));

    const auto view = HyperVSim::Control::machine(machine);
    ASSERT_TRUE(view);
    ASSERT_EQ(view->controllers.size(), 3u);
    ASSERT_EQ(view->controllers[1].drives.size(), 1u);
    EXPECT_EQ(view->controllers[1].drives[0].address, L"1");
    EXPECT_EQ(view->controllers[1].drives[0].image, file);
    ASSERT_EQ(view->controllers[2].drives.size(), 1u);
    EXPECT_EQ(view->controllers[2].drives[0].address, L"63");
}

TEST_F(AddResourceTest, BareObjectsAndForeignConfigurationsAreRefused) {
    auto bare = spawn(L"Msvm_SyntheticEthernetPortSettingData");
    put(bare.get(), L"ElementName", Var::text(L"Network Adapter"));
    expectRefused(addResource(settings, bare.get()), 32773, L"ResourceType and ResourceSubType are empty");

    auto template_ = defaultTemplate(L"Msvm_SyntheticEthernetPortSettingData", L"Synthetic Ethernet Port");
    expectRefused(addResource(servicePath(), template_.get()), 32773, L"is not the settings of a virtual machine");
    expectRefused(addResource(L"not a path", template_.get()), 32773, L"is not the settings of a virtual machine");
    expectRefused(addResource(settings, std::vector<std::wstring>{L"<INSTANCE"}), 32773, L"unusable");
    EXPECT_TRUE(HyperVSim::Control::machine(machine)->adapters.empty());
}

TEST_F(AddResourceTest, DrivesNeedAControllerOfTheMachineAndAFreeAddressInRange) {
    const std::wstring other = defineMachine(L"other", 1);
    const std::wstring otherController = resourcesOf(other, L"Emulated IDE Controller")[0];
    const std::wstring memory = text(associated(settings, L"Msvm_MemorySettingData")[0].get(), L"__PATH");
    expectRefused(drive(settings, otherController, L"0"), 32773, L"is not a controller of virtual machine 'vm1'");
    expectRefused(drive(settings, memory, L"0"), 32773, L"is not a controller");
    expectRefused(drive(settings, L"", L"0"), 32773, L"is not a controller");

    added(drive(settings, ide[0], L"0"));
    expectRefused(drive(settings, ide[0], L"0"), 32773, L"already taken");
    for (const wchar_t* address : {L"2", L"-1", L"", L"x"})
        expectRefused(drive(settings, ide[0], address), 32773, L"locations 0 to 1");
    const std::wstring scsi = added(scsiController(settings));
    expectRefused(drive(settings, scsi, L"64"), 32773, L"locations 0 to 63");
    EXPECT_EQ(HyperVSim::Control::machine(machine)->controllers[0].drives.size(), 1u);
}

TEST_F(AddResourceTest, DisksNeedAnEmptyDriveAndAnUnattachedImageFile) {
    const std::wstring driveA = added(drive(settings, ide[0], L"0"));
    const std::wstring driveB = added(drive(settings, ide[0], L"1"));
    const std::wstring missing = (folder / "missing.vhdx").wstring();
    expectRefused(disk(settings, driveA, missing), 32773,
                  L"The virtual hard disk path '" + missing + L"' does not exist.");
    expectRefused(disk(settings, driveA, image(L"notes.txt")), 32773, L"does not end in .vhd or .vhdx");
    expectRefused(disk(settings, driveA, folder.wstring()), 32773, L"is not a file");
    expectRefused(disk(settings, ide[0], image(L"a.vhd")), 32773, L"is not a disk drive of virtual machine 'vm1'");

    const std::wstring file = image(L"shared.vhdx");
    added(disk(settings, driveA, file));
    expectRefused(disk(settings, driveA, image(L"second.vhdx")), 32773, L"already holds the virtual hard disk");
    expectRefused(disk(settings, driveB, file), 32774, L"is already attached to virtual machine 'vm1'");

    const std::wstring other = defineMachine(L"other", 1);
    const std::wstring otherSettings = settingsPathOf(other);
    const std::wstring otherDrive =
        added(drive(otherSettings, resourcesOf(other, L"Emulated IDE Controller")[0], L"0"));
    expectRefused(disk(otherSettings, otherDrive, file), 32774, L"is already attached to virtual machine 'vm1'");

    // Other names of the same file are the same file.
    fs::create_directories(folder / "sub");
    fs::create_symlink(fs::path(file), folder / "link.vhdx");
    for (const fs::path& alias : {folder / "sub" / ".." / "shared.vhdx", folder / "link.vhdx"})
        expectRefused(disk(otherSettings, otherDrive, alias.wstring()), 32774, L"is already attached");

    // A machine's removal frees its images.
    ASSERT_EQ(destroy(machine).returnValue(), 4096);
    added(disk(otherSettings, otherDrive, (folder / "link.vhdx").wstring()));
    const std::wstring third = defineMachine(L"third", 1);
    const std::wstring thirdDrive =
        added(drive(settingsPathOf(third), resourcesOf(third, L"Emulated IDE Controller")[0], L"0"));
    expectRefused(disk(settingsPathOf(third), thirdDrive, file), 32774,
                  L"is already attached to virtual machine 'other'");
}

TEST_F(AddResourceTest, ConnectionsNeedAnAdapterOfTheMachineAndASwitch) {
    const std::wstring adapterPath = added(adapter(settings));
    const std::wstring hostSystem =
        L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
        L"Name=\"HVSIM01\"";
    expectRefused(connection(settings, ide[0], firstSwitch()), 32773,
                  L"is not a network adapter of virtual machine");
    expectRefused(connection(settings, adapterPath, hostSystem), 32773, L"is not a virtual switch");
    expectRefused(connection(settings, adapterPath, L""), 32773, L"is not a virtual switch");
    added(connection(settings, adapterPath, firstSwitch()));
    expectRefused(connection(settings, adapterPath, firstSwitch()), 32773, L"is already connected");
}

TEST_F(AddResourceTest, AMachineHasAtMostFourScsiControllersAndTwelveAdapters) {
    for (int i = 0; i < 4; ++i) added(scsiController(settings));
    expectRefused(scsiController(settings), 32773, L"already has 4 SCSI controllers");
    for (int i = 0; i < 12; ++i) added(adapter(settings));
    expectRefused(adapter(settings), 32773, L"already has 12 network adapters");
    const auto view = HyperVSim::Control::machine(machine);
    EXPECT_EQ(view->controllers.size(), 6u);
    EXPECT_EQ(view->adapters.size(), 12u);
}

TEST_F(AddResourceTest, AListIsAddedWhollyOrNotAtAll) {
    auto good = defaultTemplate(L"Msvm_SyntheticEthernetPortSettingData", L"Synthetic Ethernet Port");
    auto bare = spawn(L"Msvm_SyntheticEthernetPortSettingData");
    expectRefused(addResource(settings, {embeddedText(good.get()), embeddedText(bare.get())}), 32773, L"empty");
    EXPECT_TRUE(HyperVSim::Control::machine(machine)->adapters.empty());

    Call both = addResource(settings, {embeddedText(good.get()), embeddedText(good.get())});
    EXPECT_EQ(both.returnValue(), 0);
    EXPECT_EQ(HyperVSim::Control::machine(machine)->adapters.size(), 2u);
}

}  // namespace
}  // namespace HyperVSimTest
