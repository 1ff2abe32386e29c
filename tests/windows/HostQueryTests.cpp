// The two host queries end to end through Wine's COM runtime and OLE Automation, with a fake WMI service
// registered for CLSID_WbemLocator in this process: the library's strings, values and enumerations are the
// real platform's, and the fake records what the library asked of it.
#include <gtest/gtest.h>
#include <objbase.h>

#include <cstdint>
#include <memory>
#include <string>

#include "ComApartment.h"
#include "ExportCalls.h"
#include "FakeWmiHost.h"
#include "FakeWmiRegistration.h"
#include "LogCapture.h"
#include "StreamCapture.h"

namespace VelmoraWine {
namespace {

using Velmora::Error;
using Velmora::Info;
using Velmora::Warning;
using Texts = std::vector<std::string>;
using WideTexts = std::vector<std::wstring>;

constexpr const wchar_t* switchPathPrefix =
    L"\\\\WINE\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.CreationClassName="
    L"\"Msvm_VirtualEthernetSwitch\",Name=\"";

FakeWmiInstance virtualSwitch(const std::wstring& id, std::optional<std::wstring> name) {
    return {{{L"__Path", switchPathPrefix + id + L"\""}, {L"Name", id}, {L"ElementName", std::move(name)}}};
}

FakeWmiInstance memory(std::wstring name, std::wstring blockSize, std::wstring blocks) {
    return {
        {{L"Name", std::move(name)}, {L"BlockSize", std::move(blockSize)}, {L"NumberOfBlocks", std::move(blocks)}}};
}

// The entries of a NetworksList up to and including its closing empty string.
WideTexts entriesOf(const Velmora::NetworksList& list) {
    WideTexts entries;
    std::size_t offset = 0;
    while (offset < Velmora::networksListCapacity) {
        const std::wstring entry(list.entries + offset);
        entries.push_back(entry);
        if (entry.empty() && entries.size() % 2 == 1) break;
        offset += entry.size() + 1;
    }
    return entries;
}

Texts frameLines(const char* banner) {
    return {banner, "Initializing COM", "Connect to the server", "Connect to the server - OK",
            "Open namespace: virtualization\\v2"};
}

Texts joined(Texts first, const Texts& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// Everything the library asks of the service for one query, in order, with the values it must pass.
WideTexts journalOfQuery(const std::wstring& query, std::size_t instances) {
    WideTexts journal{
        L"ConnectServer root",
        L"SetBlanket root authentication=10 authorization=0 principal=<null> level=3 impersonation=3 "
        L"identity=<null> capabilities=0",
        L"OpenNamespace root virtualization\\v2 flags=0",
        L"ExecQuery root\\virtualization\\v2 WQL " + query + L" flags=16",
    };
    for (std::size_t i = 0; i <= instances; ++i) journal.emplace_back(L"Next timeout=-1 count=1");
    return journal;
}

// The test thread joins the multithreaded apartment and registers the fake there, as the library's own
// threads join the same apartment for each call.
class FakeWmiHostQueries : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        registration_ = std::make_unique<FakeWmiRegistration>(host_);
        ASSERT_EQ(registration_->registration(), S_OK);
    }

    void TearDown() override {
        registration_.reset();
        CoUninitialize();
        EXPECT_EQ(host_->liveObjects(), 0) << "COM kept the class factory after it was revoked";
    }

    // Only the registered class factory may outlive a call.
    void expectEverythingReleased() const { EXPECT_EQ(host_->liveObjects(), 1); }

    const std::shared_ptr<FakeWmiHost> host_ = std::make_shared<FakeWmiHost>();
    std::unique_ptr<FakeWmiRegistration> registration_;
    LogCapture log_;
};

TEST_F(FakeWmiHostQueries, SwitchListHoldsPathAndNameOfEverySwitchInTheHostsOrder) {
    host_->switches = {virtualSwitch(L"5C3B2F6E-0D41-4E8A-9B7C-1A2B3C4D5E6F", L"External \u00e9\u4e2d"),
                       virtualSwitch(L"C08CB7B8-9B3C-408E-8E30-5E16A3AEB444", L"Default Switch")};
    const auto list = std::make_unique<Velmora::NetworksList>();
    std::fill(std::begin(list->entries), std::end(list->entries), L'#');

    EXPECT_TRUE(Velmora::retrieveAvailableNetworkAdapters(log_.callback(), *list));

    EXPECT_EQ(
        entriesOf(*list),
        (WideTexts{
            std::wstring(switchPathPrefix) + L"5C3B2F6E-0D41-4E8A-9B7C-1A2B3C4D5E6F\"", L"External \u00e9\u4e2d",
            std::wstring(switchPathPrefix) + L"C08CB7B8-9B3C-408E-8E30-5E16A3AEB444\"", L"Default Switch", L""}));
    EXPECT_EQ(log_.texts(), joined(frameLines("Get available network adapters"),
                                   {"Get '__Path'", "Get 'ElementName'", "Get '__Path'", "Get 'ElementName'",
                                    "Get available network adapters - OK"}));
    for (const LogLine& line : log_.lines()) EXPECT_EQ(line.level, Info) << line.text;
    EXPECT_EQ(host_->journal(), journalOfQuery(L"select * from Msvm_VirtualEthernetSwitch", 2));
    expectEverythingReleased();
}

TEST_F(FakeWmiHostQueries, HostWithoutSwitchesGivesAnEmptyList) {
    const auto list = std::make_unique<Velmora::NetworksList>();
    list->entries[0] = L'#';

    EXPECT_TRUE(Velmora::retrieveAvailableNetworkAdapters(log_.callback(), *list));

    EXPECT_EQ(list->entries[0], L'\0');
    EXPECT_EQ(log_.texts(),
              joined(frameLines("Get available network adapters"), {"Get available network adapters - OK"}));
    expectEverythingReleased();
}

TEST_F(FakeWmiHostQueries, SwitchWhoseNameIsNullKeepsAnEmptyNameInItsPair) {
    host_->switches = {virtualSwitch(L"S1", std::nullopt), virtualSwitch(L"S2", L"Second")};
    const auto list = std::make_unique<Velmora::NetworksList>();

    EXPECT_TRUE(Velmora::retrieveAvailableNetworkAdapters(log_.callback(), *list));

    EXPECT_EQ(entriesOf(*list), (WideTexts{std::wstring(switchPathPrefix) + L"S1\"", L"",
                                           std::wstring(switchPathPrefix) + L"S2\"", L"Second", L""}));
    const std::vector<LogLine> expectedTail{{Info, "Get '__Path'"},
                                            {Info, "Get 'ElementName'"},
                                            {Error, "Invalid type of field, expected string, got 1"},
                                            {Info, "Get '__Path'"},
                                            {Info, "Get 'ElementName'"},
                                            {Info, "Get available network adapters - OK"}};
    ASSERT_GE(log_.lines().size(), expectedTail.size());
    EXPECT_EQ(std::vector<LogLine>(log_.lines().end() - expectedTail.size(), log_.lines().end()), expectedTail)
        << describe(log_.lines());
    expectEverythingReleased();
}

TEST_F(FakeWmiHostQueries, UsedMemoryAddsEveryInstanceWhoseNameDoesNotMentionMicrosoft) {
    host_->memories = {memory(L"Microsoft:Physical Memory 0", L"1048576", L"65536"),
                       memory(L"7F2B1C4A-3D5E-4F60-8A9B-0C1D2E3F4A5B", L"4096", L"262144"),
                       memory(L"A1576C71-F505-4D1B-9B78-2CFD971B0F31", L"1048576", L"2048"),
                       memory(L"Aggregate of Microsoft:Memory", L"1048576", L"1")};
    std::uint64_t usedMemory = 7;

    EXPECT_TRUE(Velmora::retrieveUsedMemory(log_.callback(), usedMemory));

    EXPECT_EQ(usedMemory, 1073741824ull + 2147483648ull);
    EXPECT_EQ(log_.texts(), joined(frameLines("Get used memory"),
                                   {"Get 'Name'", "Skipped. Name != 'Microsoft'", "Get 'Name'", "Get 'BlockSize'",
                                    "Get 'NumberOfBlocks'", "Get 'Name'", "Get 'BlockSize'", "Get 'NumberOfBlocks'",
                                    "Get 'Name'", "Skipped. Name != 'Microsoft'", "Get used memory - OK"}));
    for (const LogLine& line : log_.lines()) EXPECT_EQ(line.level, Info) << line.text;
    EXPECT_EQ(host_->journal(), journalOfQuery(L"select * from Msvm_Memory", 4));
    expectEverythingReleased();
}

TEST_F(FakeWmiHostQueries, InstanceWithANumberThatIsNotWholeAddsNothing) {
    host_->memories = {memory(L"vm-1", L"4096 ", L"10"), memory(L"vm-2", L"4096", L"12x"),
                       memory(L"vm-3", L"", L"10"), memory(L"vm-4", L"512", L"3")};
    std::uint64_t usedMemory = 7;

    EXPECT_TRUE(Velmora::retrieveUsedMemory(log_.callback(), usedMemory));

    EXPECT_EQ(usedMemory, 1536u);
    const std::vector<LogLine> expectedTail{{Info, "Get 'Name'"},
                                            {Info, "Get 'BlockSize'"},
                                            {Warning, "Failed to convert block size to integer value."},
                                            {Info, "Get 'Name'"},
                                            {Info, "Get 'BlockSize'"},
                                            {Info, "Get 'NumberOfBlocks'"},
                                            {Warning, "Failed to convert blocks number to integer value."},
                                            {Info, "Get 'Name'"},
                                            {Info, "Get 'BlockSize'"},
                                            {Warning, "Failed to convert block size to integer value."},
                                            {Info, "Get 'Name'"},
                                            {Info, "Get 'BlockSize'"},
                                            {Info, "Get 'NumberOfBlocks'"},
                                            {Info, "Get used memory - OK"}};
    ASSERT_GE(log_.lines().size(), expectedTail.size());
    EXPECT_EQ(std::vector<LogLine>(log_.lines().end() - expectedTail.size(), log_.lines().end()), expectedTail)
        << describe(log_.lines());
    expectEverythingReleased();
}

TEST_F(FakeWmiHostQueries, WithoutCallbackWarningsGoToStandardOutputAndErrorsToStandardError) {
    host_->memories = {{{{L"Name", std::nullopt}, {L"BlockSize", L"4096 "}, {L"NumberOfBlocks", L"1"}}}};
    std::uint64_t usedMemory = 7;
    StreamCapture streams;
    const bool result = Velmora::retrieveUsedMemory(nullptr, usedMemory);
    const CapturedStreams captured = streams.finish();

    EXPECT_TRUE(result);
    EXPECT_EQ(usedMemory, 0u);
    EXPECT_EQ(splitLines(captured.output),
              joined(frameLines("Get used memory"),
                     {"Get 'Name'", "Get 'BlockSize'", "Failed to convert block size to integer value.",
                      "Get used memory - OK"}));
    EXPECT_EQ(splitLines(captured.error), Texts{"Invalid type of field, expected string, got 1"});
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(FakeWmiHostQueries, HostWithoutMemoryInstancesUsesNone) {
    std::uint64_t usedMemory = 7;

    EXPECT_TRUE(Velmora::retrieveUsedMemory(log_.callback(), usedMemory));

    EXPECT_EQ(usedMemory, 0u);
    EXPECT_EQ(log_.texts(), joined(frameLines("Get used memory"), {"Get used memory - OK"}));
}

TEST_F(FakeWmiHostQueries, CallFromAThreadWithoutComReachesTheFakeThroughTheSharedApartment) {
    host_->memories = {memory(L"vm-1", L"1048576", L"4")};
    onFreshThread([] {
        LogCapture capture;
        std::uint64_t usedMemory = 0;
        EXPECT_TRUE(Velmora::retrieveUsedMemory(capture.callback(), usedMemory));
        EXPECT_EQ(usedMemory, 4u << 20);
        EXPECT_EQ(probeApartment(COINIT_MULTITHREADED), S_OK) << "the call left its initialisation behind";
    });
    expectEverythingReleased();
}

TEST_F(FakeWmiHostQueries, OnceRevokedWinesOwnWmiAnswersAgain) {
    host_->memories = {memory(L"vm-1", L"1048576", L"4")};
    ASSERT_EQ(registration_->revoke(), S_OK);
    EXPECT_EQ(host_->liveObjects(), 0);
    std::uint64_t usedMemory = 7;

    EXPECT_FALSE(Velmora::retrieveUsedMemory(log_.callback(), usedMemory));

    EXPECT_EQ(usedMemory, 7u);
    EXPECT_EQ(log_.texts(), linesUpToMissingNamespace(exportNamed("retrieveUsedMemory")));
    EXPECT_TRUE(host_->journal().empty());
}

}  // namespace
}  // namespace VelmoraWine
