// COM start-up and the connection to the Hyper-V namespace, as every export goes through them: each failure's
// lines, and COM left as the caller had it (none, the multithreaded or a single-threaded apartment).
#include <cctype>
#include <thread>

#include "LibraryTests.h"
#include "log/Log.h"
#include "wmi/Connection.h"

namespace VelmoraTest {
namespace {

class StartUp : public LibraryTest {
protected:
    static bool callExport() {
        std::uint64_t used = 0;
        return Velmora::retrieveUsedMemory(captureLog, used);
    }
};

// A COM runtime function of the stand-in fails, or a call of the host hands back nothing (the reliability sweep
// fails every call of the host in every export in every other way).
struct StartUpFailure {
    const char* name;
    const char* operation;
    HRESULT result;
    int linesBefore;  // of the banner and connectionLines()
    std::string line;
    Fault::Kind kind = Fault::Kind::Fail;
};

const StartUpFailure startUpFailures[] = {
    {"CoInitializeExFails", "CoInitializeEx", E_UNEXPECTED, 2,
     "Failed to initialize COM library. Error: -2147418113"},
    {"CoInitializeExPositive", "CoInitializeEx", wbem(WBEM_S_TIMEDOUT), 2,
     "Failed to initialize COM library. Error: 262148"},
    {"CoInitializeSecurityFails", "CoInitializeSecurity", E_ACCESSDENIED, 2,
     "Failed to initialize security. Error: -2147024891"},
    {"NoLocator", "CoCreateInstance", REGDB_E_CLASSNOTREG, 3,
     "Failed to create IWbemLocator object, err=-2147221164"},
    // Nothing may reach CoSetProxyBlanket then: Windows would dereference the missing proxy.
    {"ConnectServerGivesNothing", "ConnectServer", 0, 3, "Null namespace!", Fault::Kind::NoObject},
    {"OpenNamespaceGivesNothing", "OpenNamespace", 0, 5, "Null namespace!", Fault::Kind::NoObject},
};

class StartUpFails : public StartUp, public ::testing::WithParamInterface<StartUpFailure> {};

TEST_P(StartUpFails, WithItsLineAndLeavesNoCom) {
    const StartUpFailure& row = GetParam();
    const bool comRuntime = row.operation[0] == 'C' && row.operation[1] == 'o' && std::isupper(row.operation[2]);
    if (comRuntime) {
        VELMORA_NEEDS_STAND_IN();
        failComCall(row.operation, row.result);
    } else {
        Control::injectFault(rule(row.operation, {}, row.kind, row.result));
    }
    Control::enableJournal(true);
    EXPECT_FALSE(callExport());
    const LogLines all = frame("Get used memory");
    EXPECT_TRUE(sameLines(capturedLines(),
                          LogLines(all.begin(), all.begin() + row.linesBefore) + LogLines{error(row.line)}));
    EXPECT_EQ(comDepth(), 0);
    EXPECT_EQ(Control::journalCounts().count("ConnectServer"), comRuntime ? 0u : 1u);
#ifndef _WIN32
    EXPECT_EQ(WinCompat::Testing::comApartment(), -1);
#endif
}

INSTANTIATE_TEST_SUITE_P(EachStep, StartUpFails, ::testing::ValuesIn(startUpFailures),
                         [](const auto& param) { return std::string(param.param.name); });

#ifndef _WIN32
// The stand-in can forget the process's security: the first call sets it, later ones get RPC_E_TOO_LATE (success).
TEST_F(StartUp, SecurityAlreadySetInTheProcessCountsAsSuccess) {
    WinCompat::Testing::resetProcessSecurity();
    EXPECT_TRUE(callExport());
    EXPECT_TRUE(callExport());
    failComCall("CoInitializeSecurity", RPC_E_TOO_LATE);
    EXPECT_TRUE(callExport());
    EXPECT_TRUE(sameLines(capturedLines(), usedMemoryLines() + usedMemoryLines() + usedMemoryLines()));
}

// On Windows the host's class factories serve the multithreaded apartment only.
TEST_F(StartUp, SingleThreadedApartmentOfTheCallerIsUsedAndLeftIntact) {
    HRESULT ownInit = E_FAIL;
    bool result = false;
    int depthAfter = -1, apartmentAfter = -1;
    LogLines lines;
    std::thread([&] {
        ownInit = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        result = callExport();
        depthAfter = comDepth();
        apartmentAfter = WinCompat::Testing::comApartment();
        lines = capturedLines();
        if (SUCCEEDED(ownInit)) CoUninitialize();
    }).join();
    ASSERT_EQ(ownInit, S_OK);
    EXPECT_TRUE(result);
    EXPECT_EQ(depthAfter, 1);
    EXPECT_EQ(apartmentAfter, COINIT_APARTMENTTHREADED);
    EXPECT_TRUE(sameLines(lines, usedMemoryLines()));
}
#endif

TEST_F(StartUp, ThreadAlreadyInTheMultithreadedApartmentKeepsItsInitialisation) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_TRUE(callExport());
    EXPECT_EQ(comDepth(), 1);
    CoUninitialize();
    EXPECT_TRUE(sameLines(capturedLines(), usedMemoryLines()));
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
    EXPECT_EQ(std::vector<DWORD>({authentication, authorization, level, impersonation, capabilities}),
              std::vector<DWORD>({RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, RPC_C_AUTHN_LEVEL_CALL,
                                  RPC_C_IMP_LEVEL_IMPERSONATE, EOAC_NONE}));
    EXPECT_EQ(principal, nullptr);
    EXPECT_EQ(identity, nullptr);
}

}  // namespace
}  // namespace VelmoraTest
