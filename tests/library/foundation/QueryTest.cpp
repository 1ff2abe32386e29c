// The library's own WMI reading operations, driven directly on a connection to the simulated host: what
// each returns, the lines it logs, and its failure rows.
#include <algorithm>
#include <optional>
#include <string>

#include "HyperVSession.h"
#include "wmi/Query.h"

namespace VelmoraTest {
namespace {

using Velmora::Bstr;
using Velmora::ComPtr;

const wchar_t* const switchQuery = L"select * from Msvm_VirtualEthernetSwitch";

std::string code(HRESULT result) {
    return std::to_string(result);
}
std::string narrow(const std::wstring& text) {
    return Velmora::narrowText(text.c_str());
}
std::wstring text(const Bstr& value) {
    return value.get() ? std::wstring(value.get(), value.length()) : L"<null>";
}

class Queries : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        session_.emplace();
    }
    void TearDown() override {
        session_.reset();
        LibraryTest::TearDown();
    }

    IWbemServices* services() const { return session_->services(); }

    // The first switch as the host enumerates it.
    ComPtr<IWbemClassObject> firstSwitch() {
        ComPtr<IWbemClassObject> object = Velmora::executeQuery(services(), Bstr(switchQuery));
        clearCapturedLines();
        return object;
    }
    std::wstring firstSwitchPath() const { return HyperVSim::Control::switches().at(0).path; }

private:
    std::optional<HyperVSession> session_;
};

HyperVSim::Fault deliver(const std::wstring& property, HyperVSim::Value value) {
    HyperVSim::Fault fault;
    fault.operation = "Get";
    fault.argument = property;
    fault.kind = HyperVSim::Fault::Kind::DeliverValue;
    fault.value = std::move(value);
    return fault;
}

HyperVSim::Fault noObject(const std::string& operation, const std::wstring& argument = {}) {
    HyperVSim::Fault fault;
    fault.operation = operation;
    fault.argument = argument;
    fault.kind = HyperVSim::Fault::Kind::NoObject;
    return fault;
}

long countCalls(const std::string& operation) {
    const auto journal = HyperVSim::Control::journal();
    return std::count_if(journal.begin(), journal.end(),
                         [&](const HyperVSim::JournalEntry& entry) { return entry.operation == operation; });
}

TEST_F(Queries, ExecuteQueryHandsBackTheFirstObjectAndAsksForNoOther) {
    ASSERT_NE(services(), nullptr);
    HyperVSim::Control::enableJournal(true);
    HyperVSim::Control::clearJournal();
    const ComPtr<IWbemClassObject> object = Velmora::executeQuery(services(), Bstr(switchQuery));
    ASSERT_TRUE(object);
    EXPECT_EQ(countCalls("Next"), 1);
    EXPECT_EQ(text(Velmora::getStringField(object.get(), Bstr(L"__Path"))), firstSwitchPath());
    EXPECT_TRUE(sameLines(capturedLines(), {info("Executing query")}));
}

TEST_F(Queries, ExecuteQueryFailures) {
    struct Case {
        const char* name;
        void (*arrange)();
        LogLines lines;
    };
    const Case cases[] = {
        {"query rejected",
         [] { failHostCall("ExecQuery", wbem(WBEM_E_INVALID_CLASS), switchQuery); },
         {info("Executing query"), error("Query failed, err=" + code(wbem(WBEM_E_INVALID_CLASS)))}},
        {"Next fails",
         [] { failHostCall("Next", wbem(WBEM_E_TRANSPORT_FAILURE), switchQuery); },
         {info("Executing query"), error("Query::Next failed, err=" + code(wbem(WBEM_E_TRANSPORT_FAILURE)))}},
        {"nothing matches",
         [] { HyperVSim::Control::removeAllSwitches(); },
         {info("Executing query"), error("Query returned no objects!")}},
        {"Next reports an object and gives none",
         [] { hostFault(noObject("Next", switchQuery)); },
         {info("Executing query"), error("Query returned no objects!")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HyperVSim::Control::reset();
        clearCapturedLines();
        c.arrange();
        EXPECT_FALSE(Velmora::executeQuery(services(), Bstr(switchQuery)));
        EXPECT_TRUE(sameLines(capturedLines(), c.lines));
    }
}

TEST_F(Queries, WalkStartsWithoutTheExecutingQueryLine) {
    EXPECT_TRUE(Velmora::startWalk(services(), Bstr(switchQuery)));
    EXPECT_TRUE(capturedLines().empty());
    failHostCall("ExecQuery", wbem(WBEM_E_INVALID_QUERY), switchQuery);
    EXPECT_FALSE(Velmora::startWalk(services(), Bstr(switchQuery)));
    EXPECT_TRUE(sameLines(capturedLines(), {error("Query failed, err=" + code(wbem(WBEM_E_INVALID_QUERY)))}));
}

TEST_F(Queries, GetObjectByPathAndByClassName) {
    const std::wstring path = firstSwitchPath();
    const ComPtr<IWbemClassObject> object = Velmora::getObject(services(), Bstr(path.c_str()));
    ASSERT_TRUE(object);
    EXPECT_EQ(text(Velmora::getStringField(object.get(), Bstr(L"__Path"))), path);
    const ComPtr<IWbemClassObject> definition =
        Velmora::getObject(services(), Bstr(L"Msvm_VirtualSystemManagementService"));
    EXPECT_TRUE(definition);
    EXPECT_TRUE(sameLines(capturedLines(), {info("Get object: " + narrow(path)),
                                            info("Get object: Msvm_VirtualSystemManagementService")}));
}

TEST_F(Queries, GetObjectThatNoLongerExists) {
    const std::wstring path = firstSwitchPath();
    HyperVSim::Control::removeAllSwitches();
    EXPECT_FALSE(Velmora::getObject(services(), Bstr(path.c_str())));
    EXPECT_TRUE(sameLines(capturedLines(),
                          {info("Get object: " + narrow(path)), error("Could not get object: " + narrow(path) +
                                                                      ", err=" + code(wbem(WBEM_E_NOT_FOUND)))}));
}

TEST_F(Queries, GetObjectThatSucceedsWithoutAnObject) {
    const std::wstring path = firstSwitchPath();
    hostFault(noObject("GetObject", path));
    EXPECT_FALSE(Velmora::getObject(services(), Bstr(path.c_str())));
    EXPECT_TRUE(sameLines(capturedLines(), {info("Get object: " + narrow(path)), error("Get null object!")}));
}

TEST_F(Queries, GetClassInstanceQueriesTheClassByName) {
    HyperVSim::Control::enableJournal(true);
    HyperVSim::Control::clearJournal();
    EXPECT_TRUE(Velmora::getClassInstance(services(), Bstr(L"Msvm_VirtualSystemManagementService")));
    EXPECT_TRUE(sameLines(capturedLines(), {info("Get class instance: Msvm_VirtualSystemManagementService"),
                                            info("Executing query")}));
    const auto journal = HyperVSim::Control::journal();
    const auto query = std::find_if(journal.begin(), journal.end(), [](const HyperVSim::JournalEntry& entry) {
        return entry.operation == "ExecQuery";
    });
    ASSERT_NE(query, journal.end());
    EXPECT_EQ(query->argument, L"select * from Msvm_VirtualSystemManagementService");
}

TEST_F(Queries, GetClassInstanceWithAnEmptyNameFailsAsAQuery) {
    EXPECT_FALSE(Velmora::getClassInstance(services(), Bstr(L"")));
    EXPECT_TRUE(sameLines(capturedLines(), {info("Get class instance: "), info("Executing query"),
                                            error("Query failed, err=" + code(wbem(WBEM_E_INVALID_QUERY)))}));
}

TEST_F(Queries, StringFieldValuesAndFailures) {
    const ComPtr<IWbemClassObject> object = firstSwitch();
    ASSERT_TRUE(object);
    const std::wstring name = HyperVSim::Control::switches().at(0).name;
    EXPECT_EQ(text(Velmora::getStringField(object.get(), Bstr(L"ElementName"))), name);
    EXPECT_TRUE(capturedLines().empty());

    struct Case {
        const char* name;
        HyperVSim::Fault fault;
        const wchar_t* result;
        LogLines lines;
    };
    HyperVSim::Fault failing;
    failing.operation = "Get";
    failing.argument = L"ElementName";
    failing.result = wbem(WBEM_E_NOT_FOUND);
    const Case cases[] = {
        {"Get fails", failing, L"", {error("Failed to get object field")}},
        {"32-bit integer",
         deliver(L"ElementName", std::int32_t{5}),
         L"",
         {error("Invalid type of field, expected string, got 3")}},
        {"VT_NULL",
         deliver(L"ElementName", std::monostate{}),
         L"",
         {error("Invalid type of field, expected string, got 1")}},
        {"boolean", deliver(L"ElementName", true), L"", {error("Invalid type of field, expected string, got 11")}},
        {"string array",
         deliver(L"ElementName", std::vector<std::wstring>{L"a"}),
         L"",
         {error("Invalid type of field, expected string, got 8200")}},
        {"null string", deliver(L"ElementName", HyperVSim::NullString{}), nullptr, {}},
        {"text with an embedded zero", deliver(L"ElementName", std::wstring(L"ab\0cd", 5)), L"ab", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HyperVSim::Control::clearFaults();
        clearCapturedLines();
        hostFault(c.fault);
        const Bstr value = Velmora::getStringField(object.get(), Bstr(L"ElementName"));
        if (c.result) {
            ASSERT_NE(value.get(), nullptr);
            EXPECT_EQ(text(value), c.result);
        } else {
            EXPECT_EQ(value.get(), nullptr);
        }
        EXPECT_TRUE(sameLines(capturedLines(), c.lines));
    }
}

TEST_F(Queries, ObjectPathIsReadAfterItsLine) {
    const ComPtr<IWbemClassObject> object = firstSwitch();
    ASSERT_TRUE(object);
    EXPECT_EQ(text(Velmora::getObjectPath(object.get())), firstSwitchPath());
    EXPECT_TRUE(sameLines(capturedLines(), {info("Get '__Path'")}));
}

TEST_F(Queries, AssociationQueryJoinsPrefixPathAndSuffixWithoutBlanks) {
    const ComPtr<IWbemClassObject> object = firstSwitch();
    ASSERT_TRUE(object);
    const Bstr query = Velmora::associationQuery(L"Associators of {", object.get(),
                                                 L"} where ResultClass = Msvm_VirtualSystemSettingData");
    EXPECT_EQ(text(query),
              L"Associators of {" + firstSwitchPath() + L"} where ResultClass = Msvm_VirtualSystemSettingData");
    EXPECT_TRUE(sameLines(capturedLines(), {info("Get '__Path'")}));
}

TEST_F(Queries, AssociationQueryFromAnObjectWithoutReadablePathIsRejectedByWmi) {
    const ComPtr<IWbemClassObject> object = firstSwitch();
    ASSERT_TRUE(object);
    hostFault(deliver(L"__Path", std::int32_t{1}));
    const Bstr query = Velmora::associationQuery(L"References of {", object.get(),
                                                 L"} where ResultClass = Msvm_SettingsDefineCapabilities");
    EXPECT_EQ(text(query), L"References of {} where ResultClass = Msvm_SettingsDefineCapabilities");
    EXPECT_FALSE(Velmora::executeQuery(services(), query));
    EXPECT_TRUE(
        sameLines(capturedLines(),
                  {info("Get '__Path'"), error("Invalid type of field, expected string, got 3"),
                   info("Executing query"), error("Query failed, err=" + code(wbem(WBEM_E_INVALID_QUERY)))}));
}

}  // namespace
}  // namespace VelmoraTest
