// ModifyResourceSettings: memory and processor settings as the library sizes a machine, the host's limits,
// and what a running machine refuses.
#include "ModelClient.h"

namespace HyperVSimTest {
namespace {

class ModifyResourceTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        machine = defineMachine(L"vm1", 2);
        settings = settingsPathOf(machine);
    }

    Ref<IWbemClassObject> memory() { return std::move(associated(settings, L"Msvm_MemorySettingData").at(0)); }
    Ref<IWbemClassObject> processor() {
        return std::move(associated(settings, L"Msvm_ProcessorSettingData").at(0));
    }

    // The library's setVmRam: four properties written as VT_I4.
    Call sizeMemory(LONG mebibytes) {
        auto target = memory();
        for (const wchar_t* name : {L"MaxMemoryBlocksPerNumaNode", L"Reservation", L"Limit", L"VirtualQuantity"})
            put(target.get(), name, Var::i4(mebibytes));
        return modifyResource({embeddedText(target.get())});
    }
    // The library's setCpuCores.
    Call sizeProcessors(LONG count, LONG reservation, LONG limit, LONG weight) {
        auto target = processor();
        put(target.get(), L"VirtualQuantity", Var::i4(count));
        put(target.get(), L"Reservation", Var::i4(reservation));
        put(target.get(), L"MaxProcessorsPerNumaNode", Var::i4(count));
        put(target.get(), L"Limit", Var::i4(limit));
        put(target.get(), L"Weight", Var::i4(weight));
        return modifyResource({embeddedText(target.get())});
    }

    void expectAccepted(const Call& call) {
        ASSERT_EQ(call.status, S_OK);
        EXPECT_EQ(call.returnValue(), 0);
        EXPECT_EQ(call.typeOf(L"ResultingResourceSettings"), VT_ARRAY | VT_BSTR);
    }
    void expectRefused(const Call& call, const std::wstring& reason) {
        ASSERT_EQ(call.status, S_OK);
        EXPECT_EQ(call.returnValue(), 4096);
        const Job job = jobOf(call);
        EXPECT_EQ(job.state, 10);
        EXPECT_EQ(job.errorCode, 32773);
        EXPECT_NE(job.description.find(reason), std::wstring::npos) << narrow(job.description);
    }

    std::wstring machine, settings;
};

TEST_F(ModifyResourceTest, MemoryIsSizedAsTheLibrarySizesIt) {
    const std::wstring before = text(memory().get(), L"InstanceID");
    expectAccepted(sizeMemory(4096));
    auto after = memory();
    EXPECT_EQ(text(after.get(), L"InstanceID"), before);
    const auto view = HyperVSim::Control::machine(machine);
    EXPECT_EQ(view->memoryMiB, 4096u);
    EXPECT_EQ(view->memoryReservation, 4096u);
    EXPECT_EQ(view->memoryLimit, 4096u);
    EXPECT_EQ(view->maxMemoryBlocksPerNumaNode, 4096u);
}

TEST_F(ModifyResourceTest, AnObjectSentBackUnchangedStaysAsItWas) {
    for (const wchar_t* className : {L"Msvm_MemorySettingData", L"Msvm_ProcessorSettingData"}) {
        auto target = std::move(associated(settings, className).at(0));
        const std::wstring before = embeddedText(target.get());
        expectAccepted(modifyResource({before}));
        auto after = object(text(target.get(), L"__PATH"));
        EXPECT_EQ(embeddedText(after.get()), before);
    }
}

TEST_F(ModifyResourceTest, MemoryMustBeAnEvenSizeWithinTheHost) {
    expectAccepted(sizeMemory(32));
    expectAccepted(sizeMemory(65536));
    expectRefused(sizeMemory(1023), L"is not an even number of MiB");
    expectRefused(sizeMemory(30), L"outside 32 to 65536 MiB");
    expectRefused(sizeMemory(65538), L"outside 32 to 65536 MiB");
    EXPECT_EQ(HyperVSim::Control::machine(machine)->memoryMiB, 65536u);
}

TEST_F(ModifyResourceTest, ProcessorsAreSizedAsTheLibrarySizesThem) {
    expectAccepted(sizeProcessors(4, 10000, 80000, 200));
    const auto view = HyperVSim::Control::machine(machine);
    EXPECT_EQ(view->processors, 4u);
    EXPECT_EQ(view->processorReservation, 10000u);
    EXPECT_EQ(view->maxProcessorsPerNumaNode, 4u);
    EXPECT_EQ(view->processorLimit, 80000u);
    EXPECT_EQ(view->processorWeight, 200u);
}

TEST_F(ModifyResourceTest, ProcessorSettingsStayWithinTheHostsLimits) {
    expectAccepted(sizeProcessors(16, 100000, 100000, 10000));
    expectAccepted(sizeProcessors(1, 0, 0, 1));
    expectRefused(sizeProcessors(0, 0, 100000, 100), L"processor count 0 is outside 1 to 16");
    expectRefused(sizeProcessors(17, 0, 100000, 100), L"processor count 17 is outside 1 to 16");
    expectRefused(sizeProcessors(2, 0, 100001, 100), L"limit 100001 is above 100000");
    expectRefused(sizeProcessors(2, 60000, 50000, 100), L"reservation 60000 is above the limit 50000");
    expectRefused(sizeProcessors(2, 0, 100000, 0), L"weight 0 is outside 1 to 10000");
    expectRefused(sizeProcessors(2, 0, 100000, 10001), L"weight 10001 is outside 1 to 10000");
    EXPECT_EQ(HyperVSim::Control::machine(machine)->processors, 1u);
}

TEST_F(ModifyResourceTest, TheTargetIsChosenByInstanceId) {
    auto target = memory();
    put(target.get(), L"InstanceID", Var::text(L"Microsoft:00000000-0000-0000-0000-000000000000"));
    expectRefused(modifyResource({embeddedText(target.get())}), L"No resource of a virtual machine");

    auto poolTemplate = defaultTemplate(L"Msvm_ResourceAllocationSettingData", L"Synthetic SCSI Controller");
    expectRefused(modifyResource({embeddedText(poolTemplate.get())}), L"No resource of a virtual machine");
    expectRefused(modifyResource({}), L"no ResourceSettings");

    // The processor object's InstanceID in a memory object's text: the classes differ.
    auto wrongClass = memory();
    put(wrongClass.get(), L"InstanceID", Var::text(text(processor().get(), L"InstanceID")));
    expectRefused(modifyResource({embeddedText(wrongClass.get())}), L"is of class Msvm_ProcessorSettingData");
}

TEST_F(ModifyResourceTest, AListIsCheckedWholeBeforeAnythingChanges) {
    auto goodMemory = memory();
    put(goodMemory.get(), L"VirtualQuantity", Var::i4(2048));
    auto badProcessor = processor();
    put(badProcessor.get(), L"VirtualQuantity", Var::i4(99));
    expectRefused(modifyResource({embeddedText(goodMemory.get()), embeddedText(badProcessor.get())}), L"99");
    EXPECT_EQ(HyperVSim::Control::machine(machine)->memoryMiB, 1024u);
}

TEST_F(ModifyResourceTest, ARunningMachineKeepsItsSizeButTakesOtherChanges) {
    ASSERT_EQ(requestState(machine, 2).returnValue(), 4096);
    const Call memoryCall = sizeMemory(2048);
    ASSERT_EQ(memoryCall.status, S_OK);
    EXPECT_EQ(memoryCall.returnValue(), 32775);
    EXPECT_EQ(memoryCall.typeOf(L"Job"), VT_NULL);
    const Call countCall = sizeProcessors(2, 0, 100000, 100);
    EXPECT_EQ(countCall.returnValue(), 32775);
    expectAccepted(sizeProcessors(1, 0, 50000, 300));

    const auto view = HyperVSim::Control::machine(machine);
    EXPECT_EQ(view->memoryMiB, 1024u);
    EXPECT_EQ(view->processors, 1u);
    EXPECT_EQ(view->processorLimit, 50000u);
    EXPECT_EQ(view->processorWeight, 300u);
}

}  // namespace
}  // namespace HyperVSimTest
