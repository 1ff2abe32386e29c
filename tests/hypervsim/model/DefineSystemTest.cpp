// DefineSystem: which settings a host accepts, and the machine it leaves behind.
#include <cwctype>
#include <stdexcept>

#include "ModelClient.h"

namespace HyperVSimTest {
namespace {

using DefineSystemTest = ModelTest;

bool isUpperCaseGuid(const std::wstring& text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash != (text[i] == L'-')) return false;
        if (!dash && !(std::iswdigit(text[i]) || (text[i] >= L'A' && text[i] <= L'F'))) return false;
    }
    return true;
}

TEST_F(DefineSystemTest, Generation1MachineIsOffWithSettingsMemoryProcessorAndTwoIdeControllers) {
    Call call = defineSystem(settingsText(L"vm1", L"Microsoft:Hyper-V:SubType:1"));
    ASSERT_EQ(call.status, S_OK);
    EXPECT_EQ(call.returnValue(), 0);
    EXPECT_EQ(call.typeOf(L"Job"), VT_NULL);
    const std::wstring machinePath = text(call.out.get(), L"ResultingSystem");
    ASSERT_EQ(machinePath.rfind(L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.", 0), 0u);

    auto machine = object(machinePath);
    ASSERT_TRUE(machine);
    const std::wstring id = text(machine.get(), L"Name");
    EXPECT_TRUE(isUpperCaseGuid(id)) << narrow(id);
    EXPECT_EQ(text(machine.get(), L"ElementName"), L"vm1");
    EXPECT_EQ(i4(machine.get(), L"EnabledState"), 3);
    EXPECT_EQ(text(machine.get(), L"Description"), L"Microsoft Virtual Machine");
    EXPECT_EQ(text(machine.get(), L"Caption"), L"Virtual Machine");

    auto settings = associated(machinePath, L"Msvm_VirtualSystemSettingData");
    ASSERT_EQ(settings.size(), 1u);
    EXPECT_EQ(text(settings[0].get(), L"InstanceID"), L"Microsoft:" + id);
    EXPECT_EQ(text(settings[0].get(), L"ElementName"), L"vm1");
    EXPECT_EQ(text(settings[0].get(), L"VirtualSystemIdentifier"), id);
    EXPECT_EQ(text(settings[0].get(), L"VirtualSystemType"), L"Microsoft:Hyper-V:System:Realized");
    EXPECT_EQ(text(settings[0].get(), L"VirtualSystemSubType"), L"Microsoft:Hyper-V:SubType:1");
    EXPECT_EQ(text(settings[0].get(), L"ConfigurationDataRoot"), L"C:\\ProgramData\\Microsoft\\Windows\\Hyper-V");

    const std::wstring settingsPath = text(settings[0].get(), L"__PATH");
    auto memory = associated(settingsPath, L"Msvm_MemorySettingData");
    ASSERT_EQ(memory.size(), 1u);
    EXPECT_EQ(text(memory[0].get(), L"InstanceID"), L"Microsoft:" + id + L"\\4764334d-e001-4176-82ee-5594ec9b530e");
    EXPECT_EQ(i4(memory[0].get(), L"ResourceType"), 4);
    for (const wchar_t* quantity : {L"VirtualQuantity", L"Reservation", L"Limit"})
        EXPECT_EQ(text(memory[0].get(), quantity), L"1024") << narrow(quantity);

    auto processor = associated(settingsPath, L"Msvm_ProcessorSettingData");
    ASSERT_EQ(processor.size(), 1u);
    EXPECT_EQ(text(processor[0].get(), L"InstanceID"),
              L"Microsoft:" + id + L"\\b637f346-6a0e-4dec-af52-bd70cb80a21d\\0");
    EXPECT_EQ(i4(processor[0].get(), L"ResourceType"), 3);
    EXPECT_EQ(text(processor[0].get(), L"VirtualQuantity"), L"1");
    EXPECT_EQ(text(processor[0].get(), L"Limit"), L"100000");
    EXPECT_EQ(text(processor[0].get(), L"Reservation"), L"0");
    EXPECT_EQ(i4(processor[0].get(), L"Weight"), 100);

    const auto ide = resourcesOf(machinePath, L"Emulated IDE Controller");
    ASSERT_EQ(ide.size(), 2u);
    for (int number = 0; number < 2; ++number) {
        auto controller = object(ide[static_cast<std::size_t>(number)]);
        EXPECT_EQ(i4(controller.get(), L"ResourceType"), 5);
        EXPECT_EQ(text(controller.get(), L"Address"), std::to_wstring(number));
        EXPECT_EQ(text(controller.get(), L"InstanceID"),
                  L"Microsoft:" + id + L"\\83F8638B-8DCA-4152-9EDA-2CA8B33039B4\\" + std::to_wstring(number));
    }
    // Nothing else: no SCSI controller, no DVD drive.
    EXPECT_EQ(associated(settingsPath, L"CIM_ResourceAllocationSettingData").size(), 4u);
}

TEST_F(DefineSystemTest, Generation2MachineHasNoIdeController) {
    const std::wstring machinePath = defineMachine(L"gen2", 2);
    const std::wstring settingsPath = settingsPathOf(machinePath);
    auto settings = object(settingsPath);
    EXPECT_EQ(text(settings.get(), L"VirtualSystemSubType"), L"Microsoft:Hyper-V:SubType:2");
    EXPECT_TRUE(resourcesOf(machinePath, L"Emulated IDE Controller").empty());
    EXPECT_EQ(associated(settingsPath, L"CIM_ResourceAllocationSettingData").size(), 2u);
}

TEST_F(DefineSystemTest, UnsetSubTypeMeansGeneration1AndAGivenFolderIsKept) {
    Call call = defineSystem(settingsText(L"plain", {}, L"D:\\VMs"));
    ASSERT_EQ(call.returnValue(), 0);
    const std::wstring machinePath = text(call.out.get(), L"ResultingSystem");
    auto settings = object(settingsPathOf(machinePath));
    EXPECT_EQ(text(settings.get(), L"VirtualSystemSubType"), L"Microsoft:Hyper-V:SubType:1");
    EXPECT_EQ(text(settings.get(), L"ConfigurationDataRoot"), L"D:\\VMs");
    EXPECT_EQ(resourcesOf(machinePath, L"Emulated IDE Controller").size(), 2u);
}

TEST_F(DefineSystemTest, NamesNeedNotBeUniqueAndMayHaveAHundredCharacters) {
    const std::wstring first = defineMachine(L"twin");
    const std::wstring second = defineMachine(L"twin");
    EXPECT_NE(first, second);
    const std::wstring longest(100, L'n');
    const std::wstring third = defineMachine(longest);
    EXPECT_EQ(text(object(third).get(), L"ElementName"), longest);
    EXPECT_EQ(HyperVSim::Control::machines().size(), 3u);
}

TEST_F(DefineSystemTest, RefusedSettingsGive32773AndNoMachine) {
    auto memoryTemplate = spawn(L"Msvm_MemorySettingData");
    put(memoryTemplate.get(), L"ElementName", Var::text(L"not a machine"));
    const std::wstring otherClass = embeddedText(memoryTemplate.get());
    std::wstring unknownProperty = settingsText(L"vm");
    unknownProperty.replace(unknownProperty.find(L"NAME=\"ElementName\""), 18, L"NAME=\"NoSuchProperty\"");

    const struct {
        const char* why;
        std::wstring text;
    } cases[] = {
        {"unreadable text", L"<INSTANCE CLASSNAME="},
        {"empty text", L""},
        {"another class", otherClass},
        {"a property the class lacks", unknownProperty},
        {"empty name", settingsText(L"")},
        {"101 characters", settingsText(std::wstring(101, L'x'))},
        {"generation 3", settingsText(L"vm", L"Microsoft:Hyper-V:SubType:3")},
        {"empty subtype", settingsText(L"vm", L" ")},
    };
    for (const auto& c : cases) {
        Call call = defineSystem(c.text);
        ASSERT_EQ(call.status, S_OK) << c.why;
        EXPECT_EQ(call.returnValue(), 32773) << c.why;
        EXPECT_EQ(call.typeOf(L"ResultingSystem"), VT_NULL) << c.why;
    }
    EXPECT_TRUE(HyperVSim::Control::machines().empty());
}

TEST_F(DefineSystemTest, ResourcesGivenWithTheDefinitionAreAddedOrNoMachineIsMade) {
    auto adapter = defaultTemplate(L"Msvm_SyntheticEthernetPortSettingData", L"Synthetic Ethernet Port");
    auto bare = spawn(L"Msvm_SyntheticEthernetPortSettingData");
    const auto defineWith = [&](std::vector<std::wstring> resources) {
        auto parameters = parametersOf(L"Msvm_VirtualSystemManagementService", L"DefineSystem");
        put(parameters.get(), L"SystemSettings", Var::text(settingsText(L"equipped")));
        put(parameters.get(), L"ResourceSettings", Var::texts(resources));
        return run(servicePath(), L"DefineSystem", parameters.get());
    };
    EXPECT_EQ(defineWith({embeddedText(adapter.get()), embeddedText(bare.get())}).returnValue(), 32773);
    EXPECT_TRUE(HyperVSim::Control::machines().empty());

    Call call = defineWith({embeddedText(adapter.get())});
    ASSERT_EQ(call.returnValue(), 0);
    const auto view = HyperVSim::Control::machine(text(call.out.get(), L"ResultingSystem"));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->adapters.size(), 1u);
}

// Memory and processor settings given with the definition size the new machine, as ModifyResourceSettings
// would; values the host cannot give refuse the whole definition.
TEST_F(DefineSystemTest, MemoryAndProcessorSettingsGivenWithTheDefinitionSizeTheMachine) {
    const auto sized = [&](const wchar_t* className, const wchar_t* property, LONG value) {
        auto settings = spawn(className);
        put(settings.get(), property, Var::i4(value));
        return embeddedText(settings.get());
    };
    const auto defineWith = [&](std::vector<std::wstring> resources) {
        auto parameters = parametersOf(L"Msvm_VirtualSystemManagementService", L"DefineSystem");
        put(parameters.get(), L"SystemSettings", Var::text(settingsText(L"sized")));
        put(parameters.get(), L"ResourceSettings", Var::texts(resources));
        return run(servicePath(), L"DefineSystem", parameters.get());
    };
    EXPECT_EQ(defineWith({sized(L"Msvm_MemorySettingData", L"VirtualQuantity", 1025)}).returnValue(), 32773);
    EXPECT_EQ(defineWith({sized(L"Msvm_ProcessorSettingData", L"VirtualQuantity", 17)}).returnValue(), 32773);
    EXPECT_TRUE(HyperVSim::Control::machines().empty());

    Call call = defineWith({sized(L"Msvm_MemorySettingData", L"VirtualQuantity", 2048),
                            sized(L"Msvm_ProcessorSettingData", L"VirtualQuantity", 4)});
    ASSERT_EQ(call.returnValue(), 0);
    const auto view = HyperVSim::Control::machine(text(call.out.get(), L"ResultingSystem"));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->memoryMiB, 2048u);
    EXPECT_EQ(view->processors, 4u);
    EXPECT_EQ(view->processorLimit, 100000u) << "a property the client did not name changed";
}

// A checkpoint's settings come back with the machine's own, before them; they take no resources and go
// with the machine.
TEST_F(DefineSystemTest, ACheckpointIsListedBeforeTheMachinesOwnSettingsAndGoesWithIt) {
    const std::wstring machinePath = defineMachine(L"kept", 2);
    const std::wstring own = settingsPathOf(machinePath);
    const std::wstring checkpoint = HyperVSim::Control::addCheckpoint(machinePath);

    auto settings = associated(machinePath, L"Msvm_VirtualSystemSettingData");
    ASSERT_EQ(settings.size(), 2u);
    EXPECT_EQ(text(settings[0].get(), L"__PATH"), checkpoint);
    EXPECT_EQ(text(settings[0].get(), L"VirtualSystemType"), L"Microsoft:Hyper-V:Snapshot:Realized");
    EXPECT_EQ(text(settings[1].get(), L"__PATH"), own);
    EXPECT_EQ(text(settings[1].get(), L"VirtualSystemType"), L"Microsoft:Hyper-V:System:Realized");
    EXPECT_EQ(HyperVSim::Control::machine(machinePath)->memoryMiB, 1024u);

    auto adapter = defaultTemplate(L"Msvm_SyntheticEthernetPortSettingData", L"Synthetic Ethernet Port");
    EXPECT_EQ(addResource(checkpoint, adapter.get()).returnValue(), 4096) << "a checkpoint took a resource";
    EXPECT_THROW(HyperVSim::Control::addCheckpoint(own), std::invalid_argument);

    EXPECT_EQ(destroy(machinePath).returnValue(), 4096);
    EXPECT_TRUE(queryAll(services.get(), L"select * from Msvm_VirtualSystemSettingData").empty());
}

TEST_F(DefineSystemTest, CopyingAnotherConfigurationIsNotSupported) {
    const std::wstring existing = settingsPathOf(defineMachine(L"original"));
    auto parameters = parametersOf(L"Msvm_VirtualSystemManagementService", L"DefineSystem");
    put(parameters.get(), L"SystemSettings", Var::text(settingsText(L"copy")));
    put(parameters.get(), L"ReferenceConfiguration", Var::text(existing));
    Call call = run(servicePath(), L"DefineSystem", parameters.get());
    EXPECT_EQ(call.returnValue(), 32770);
    EXPECT_EQ(HyperVSim::Control::machines().size(), 1u);
}

}  // namespace
}  // namespace HyperVSimTest
