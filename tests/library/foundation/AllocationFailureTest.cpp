// Exhausted memory: every allocation of the library is made to fail in turn. The call must leave by
// HResultError(E_OUTOFMEMORY) or carry on as documented, with nothing alive afterwards, COM balanced, no
// line written for the exception, and the caller's log callback back in place.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "HyperVSession.h"
#include "wmi/Query.h"

namespace VelmoraTest {
namespace {

class AllocationFailure : public LibraryTest {
protected:
    // Fails allocation 1, 2, ... of `module` until `call` makes no more allocations than the failing one.
    // Returns how many allocations failed by an exception.
    int failEachAllocation(const void* module, const std::function<void()>& call, const LogLines& fullLog) {
        const WinCompat::Testing::LiveCounts live = WinCompat::Testing::liveCounts();
        const long hostObjects = HyperVSim::Control::liveObjects();
        const int comDepth = WinCompat::Testing::comInitDepth();
        int exceptions = 0;
        for (unsigned long failAt = 1;; ++failAt) {
            SCOPED_TRACE("allocation " + std::to_string(failAt));
            clearCapturedLines();
            WinCompat::Testing::armAllocationFailure(failAt, module);
            bool thrown = false;
            try {
                call();
            } catch (const Velmora::HResultError& failure) {
                thrown = true;
                EXPECT_EQ(failure.hresult(), E_OUTOFMEMORY);
            }
            const unsigned long made = WinCompat::Testing::disarmAllocationFailure();
            EXPECT_EQ(WinCompat::Testing::liveCounts().strings, live.strings);
            EXPECT_EQ(WinCompat::Testing::liveCounts().arrays, live.arrays);
            EXPECT_EQ(HyperVSim::Control::liveObjects(), hostObjects);
            EXPECT_EQ(WinCompat::Testing::comInitDepth(), comDepth);
            if (thrown) {
                ++exceptions;
                const LogLines& lines = capturedLines();
                EXPECT_LE(lines.size(), fullLog.size());
                EXPECT_TRUE(std::equal(lines.begin(), lines.end(), fullLog.begin()))
                    << "the lines before the exception are not the start of the usual log";
            }
            if (made < failAt) break;
            if (failAt > 1000) {
                ADD_FAILURE() << "the call never ran out of allocations";
                break;
            }
        }
        return exceptions;
    }
};

LogLines usedMemoryLog() {
    return LogLines{info("Get used memory")} + connectionLines() +
           LogLines{info("Get 'Name'"),          info("Skipped. Name != 'Microsoft'"),
                    info("Get 'Name'"),          info("Skipped. Name != 'Microsoft'"),
                    info("Get 'Name'"),          info("Skipped. Name != 'Microsoft'"),
                    info("Get used memory - OK")};
}

LogLines switchesLog() {
    return LogLines{info("Get available network adapters")} + connectionLines() +
           LogLines{info("Get '__Path'"), info("Get 'ElementName'"), info("Get '__Path'"),
                    info("Get 'ElementName'"), info("Get available network adapters - OK")};
}

TEST_F(AllocationFailure, UsedMemoryLeavesByHResultErrorAndReleasesEverything) {
    const int exceptions = failEachAllocation(
        libraryModule(),
        [] {
            std::uint64_t used = 0;
            Velmora::retrieveUsedMemory(captureLog, used);
        },
        usedMemoryLog());
    EXPECT_GT(exceptions, 0);
}

TEST_F(AllocationFailure, SwitchListLeavesByHResultErrorAndReleasesEverything) {
    const int exceptions = failEachAllocation(
        libraryModule(),
        [] {
            Velmora::NetworksList list;
            Velmora::retrieveAvailableNetworkAdapters(captureLog, list);
        },
        switchesLog());
    EXPECT_GT(exceptions, 0);
}

thread_local LogLines outerLines;
thread_local bool innerCalled = false;
thread_local int innerFailures = 0;
void outerCallback(Velmora::LoggingLevel level, const char* line) {
    outerLines.push_back({level, line});
    if (innerCalled || std::string(line) != "Connect to the server - OK") return;
    innerCalled = true;
    // The second allocation of the nested call fails: it names the Hyper-V namespace, after its COM start-up
    // and connection (the first names "root"), so the failure passes through every owner of the frame.
    WinCompat::Testing::armAllocationFailure(2, libraryModule());
    try {
        Velmora::NetworksList list;
        Velmora::retrieveAvailableNetworkAdapters(captureLog, list);
    } catch (const Velmora::HResultError&) {
        ++innerFailures;
    }
    WinCompat::Testing::disarmAllocationFailure();
}

TEST_F(AllocationFailure, CallbackOfTheCallerIsRestoredWhenTheExceptionLeaves) {
    outerLines.clear();
    innerCalled = false;
    innerFailures = 0;
    std::uint64_t used = 0;
    EXPECT_TRUE(Velmora::retrieveUsedMemory(outerCallback, used));
    EXPECT_EQ(innerFailures, 1);
    // The outer call's lines after the nested failure still reach the outer callback, and the nested call's
    // lines went only to its own.
    EXPECT_TRUE(sameLines(outerLines, usedMemoryLog()));
    EXPECT_TRUE(sameLines(capturedLines(), {info("Get available network adapters"), info("Initializing COM"),
                                            info("Connect to the server"), info("Connect to the server - OK")}));
}

TEST_F(AllocationFailure, QueryOperationsReleaseWhatTheyHold) {
    const void* testModule = reinterpret_cast<const void*>(&Velmora::getStringField);
    std::optional<HyperVSession> session;
    session.emplace();
    const Velmora::Bstr query(L"select * from Msvm_VirtualEthernetSwitch");
    const Velmora::ComPtr<IWbemClassObject> object = Velmora::executeQuery(session->services(), query);
    ASSERT_TRUE(object);
    clearCapturedLines();
    const LogLines pathLog{info("Get '__Path'")};
    EXPECT_GT(
        failEachAllocation(
            testModule, [&] { Velmora::associationQuery(L"Associators of {", object.get(), L"} x"); }, pathLog),
        0);
    const Velmora::Bstr name(L"Msvm_VirtualSystemManagementService");
    EXPECT_GT(failEachAllocation(
                  testModule, [&] { Velmora::getClassInstance(session->services(), name); },
                  {info("Get class instance: Msvm_VirtualSystemManagementService"), info("Executing query")}),
              0);
}

}  // namespace
}  // namespace VelmoraTest
