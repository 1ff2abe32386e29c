// COM start-up, the connection to root and the Hyper-V namespace, as every export goes through them:
// each failure's exact lines, the result, and that COM is left as the caller had it.
#include <cstdint>
#include <string>
#include <thread>

#include "LibraryTest.h"
#include "log/Log.h"
#include "wmi/Connection.h"

#ifndef _WIN32
#include <WinCompat/Testing.h>
#endif

namespace VelmoraTest {
namespace {

class StartUp : public LibraryTest {
protected:
    bool callExport() {
        std::uint64_t used = 0;
        return Velmora::retrieveUsedMemory(captureLog, used);
    }
};

LogLines workLines() {
    return {info("Get 'Name'"),          info("Skipped. Name != 'Microsoft'"),
            info("Get 'Name'"),          info("Skipped. Name != 'Microsoft'"),
            info("Get 'Name'"),          info("Skipped. Name != 'Microsoft'"),
            info("Get used memory - OK")};
}

LogLines successLines() {
    return LogLines{info("Get used memory")} + connectionLines() + workLines();
}

// Whether the calling thread has COM initialised (the stand-in also tells how often: the depth).
int comDepth() {
    return PlatformProbe::snapshot().comDepth;
}

bool hostWasAsked(const std::string& operation) {
    for (const HyperVSim::JournalEntry& entry : HyperVSim::Control::journal())
        if (entry.operation == operation) return true;
    return false;
}

TEST_F(StartUp, FailedCoInitializeExEndsTheCallBeforeAnyConnection) {
    VELMORA_NEEDS_STAND_IN();
    HyperVSim::Control::enableJournal(true);
    failComCall("CoInitializeEx", E_UNEXPECTED);
    EXPECT_FALSE(callExport());
    EXPECT_TRUE(sameLines(capturedLines(), {info("Get used memory"), info("Initializing COM"),
                                            error("Failed to initialize COM library. Error: -2147418113")}));
    EXPECT_FALSE(hostWasAsked("ConnectServer"));
    EXPECT_EQ(comDepth(), 0);
}

TEST_F(StartUp, PositiveCoInitializeExResultOtherThanSFalseIsAFailure) {
    VELMORA_NEEDS_STAND_IN();
    failComCall("CoInitializeEx", wbem(WBEM_S_TIMEDOUT));
    EXPECT_FALSE(callExport());
    EXPECT_TRUE(sameLines(capturedLines(), {info("Get used memory"), info("Initializing COM"),
                                            error("Failed to initialize COM library. Error: 262148")}));
}

#ifndef _WIN32
// The stand-in tells the apartment, and can forget the process's security, which Windows cannot.
TEST_F(StartUp, FailedCoInitializeSecurityUndoesTheCallsOwnInitialisation) {
    failComCall("CoInitializeSecurity", E_ACCESSDENIED);
    EXPECT_FALSE(callExport());
    EXPECT_TRUE(sameLines(capturedLines(), {info("Get used memory"), info("Initializing COM"),
                                            error("Failed to initialize security. Error: -2147024891")}));
    EXPECT_EQ(comDepth(), 0);
    EXPECT_EQ(WinCompat::Testing::comApartment(), -1);
}

TEST_F(StartUp, SecurityAlreadySetInTheProcessCountsAsSuccess) {
    WinCompat::Testing::resetProcessSecurity();
    EXPECT_TRUE(callExport());
    clearCapturedLines();
    // The second call in the process gets RPC_E_TOO_LATE from the platform itself.
    EXPECT_TRUE(callExport());
    failComCall("CoInitializeSecurity", RPC_E_TOO_LATE);
    EXPECT_TRUE(callExport());
    EXPECT_TRUE(sameLines(capturedLines(), successLines() + successLines()));
}
#endif

TEST_F(StartUp, ThreadAlreadyInTheMultithreadedApartmentKeepsItsInitialisation) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_TRUE(callExport());
    EXPECT_EQ(comDepth(), 1);
    CoUninitialize();
    EXPECT_TRUE(sameLines(capturedLines(), successLines()));
}

#ifndef _WIN32
// On Windows the host's class factories serve the multithreaded apartment only: a single-threaded one
// would reach the system's own WMI.
TEST_F(StartUp, SingleThreadedApartmentOfTheCallerIsUsedAndLeftIntact) {
    struct Outcome {
        HRESULT ownInit = E_FAIL;
        bool result = false;
        int depthAfter = -1;
        int apartmentAfter = -1;
        LogLines lines;
    } outcome;
    std::thread caller([&outcome] {
        outcome.ownInit = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        std::uint64_t used = 0;
        outcome.result = Velmora::retrieveUsedMemory(captureLog, used);
        outcome.depthAfter = comDepth();
        outcome.apartmentAfter = WinCompat::Testing::comApartment();
        outcome.lines = capturedLines();
        if (SUCCEEDED(outcome.ownInit)) CoUninitialize();
    });
    caller.join();
    ASSERT_EQ(outcome.ownInit, S_OK);
    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(outcome.depthAfter, 1);
    EXPECT_EQ(outcome.apartmentAfter, COINIT_APARTMENTTHREADED);
    EXPECT_TRUE(sameLines(outcome.lines, successLines()));
}
#endif

TEST_F(StartUp, LocatorThatCannotBeCreatedFailsTheConnection) {
    VELMORA_NEEDS_STAND_IN();
    failComCall("CoCreateInstance", REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(callExport());
    EXPECT_TRUE(sameLines(capturedLines(),
                          {info("Get used memory"), info("Initializing COM"), info("Connect to the server"),
                           error("Failed to create IWbemLocator object, err=-2147221164")}));
    EXPECT_EQ(comDepth(), 0);
}

TEST_F(StartUp, FailedConnectServerIsReportedWithItsCode) {
    failHostCall("ConnectServer", wbem(WBEM_E_ACCESS_DENIED));
    EXPECT_FALSE(callExport());
    EXPECT_TRUE(sameLines(capturedLines(),
                          {info("Get used memory"), info("Initializing COM"), info("Connect to the server"),
                           error("Could not connect, err=" + code(wbem(WBEM_E_ACCESS_DENIED)))}));
    EXPECT_EQ(comDepth(), 0);
}

TEST_F(StartUp, FailedProxyBlanketReleasesTheConnection) {
    failHostCall("SetBlanket", E_ACCESSDENIED);
    EXPECT_FALSE(callExport());
    EXPECT_TRUE(sameLines(capturedLines(),
                          {info("Get used memory"), info("Initializing COM"), info("Connect to the server"),
                           error("Could not set proxy blanket. err=-2147024891")}));
}

TEST_F(StartUp, ConnectionAsksForCallLevelAuthenticationWithImpersonation) {
    DWORD authentication = 99, authorization = 99, level = 99, impersonation = 99, capabilities = 99;
    OLECHAR* principal = nullptr;
    void* identity = &level;
    {
        const Velmora::LogScope scope(captureLog);
        const Velmora::ComInitializer com;
        const Velmora::ComPtr<IWbemServices> root = Velmora::connectToServer();
        ASSERT_TRUE(root);
        Velmora::ComPtr<IClientSecurity> security;
        ASSERT_EQ(root->QueryInterface(IID_IClientSecurity, security.putVoid()), S_OK);
        ASSERT_EQ(security->QueryBlanket(root.get(), &authentication, &authorization, &principal, &level,
                                         &impersonation, &identity, &capabilities),
                  S_OK);
    }
    EXPECT_EQ(authentication, static_cast<DWORD>(RPC_C_AUTHN_WINNT));
    EXPECT_EQ(authorization, static_cast<DWORD>(RPC_C_AUTHZ_NONE));
    EXPECT_EQ(principal, nullptr);
    EXPECT_EQ(level, static_cast<DWORD>(RPC_C_AUTHN_LEVEL_CALL));
    EXPECT_EQ(impersonation, static_cast<DWORD>(RPC_C_IMP_LEVEL_IMPERSONATE));
    EXPECT_EQ(identity, nullptr);
    EXPECT_EQ(capabilities, static_cast<DWORD>(EOAC_NONE));
}

TEST_F(StartUp, MissingHyperVNamespaceIsReportedAndRootIsReleased) {
    failHostCall("OpenNamespace", wbem(WBEM_E_INVALID_NAMESPACE));
    EXPECT_FALSE(callExport());
    EXPECT_TRUE(sameLines(capturedLines(), LogLines{info("Get used memory")} + connectionLines() +
                                               LogLines{error("Failed to open namespace, err=" +
                                                              code(wbem(WBEM_E_INVALID_NAMESPACE)))}));
}

TEST_F(StartUp, NamespaceCallWithoutObjectIsReported) {
    const LogLines connecting = {info("Get used memory"), info("Initializing COM"), info("Connect to the server")};
    const struct {
        const char* operation;
        LogLines lines;
    } cases[] = {
        // Nothing may reach CoSetProxyBlanket then: Windows would dereference the missing proxy.
        {"ConnectServer", connecting + LogLines{error("Null namespace!")}},
        {"OpenNamespace",
         LogLines{info("Get used memory")} + connectionLines() + LogLines{error("Null namespace!")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.operation);
        HyperVSim::Control::clearFaults();
        clearCapturedLines();
        HyperVSim::Fault fault;
        fault.operation = c.operation;
        fault.kind = HyperVSim::Fault::Kind::NoObject;
        hostFault(fault);
        EXPECT_FALSE(callExport());
        EXPECT_TRUE(sameLines(capturedLines(), c.lines));
    }
}

}  // namespace
}  // namespace VelmoraTest
