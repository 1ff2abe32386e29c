// The library's own WMI reading operations on a connection to the simulated host: what each returns, the
// lines it logs, and its failures.
#include "LibraryTests.h"
#include "wmi/Bstr.h"
#include "wmi/Query.h"

namespace VelmoraTest {
namespace {

using Velmora::Bstr;
using Velmora::ComPtr;

const wchar_t* const switchQuery = L"select * from Msvm_VirtualEthernetSwitch";

std::wstring text(const Bstr& value) {
    return value.get() ? std::wstring(value.get(), value.length()) : L"<null>";
}

class WmiReading : public LibraryTest {
protected:
    // Runs `work` with the host's services, the first switch as the host enumerates it and no lines yet.
    static void withSwitch(const std::function<void(IWbemServices*, IWbemClassObject*)>& work) {
        ASSERT_TRUE(runInternal([&](const HyperV& hyperV) {
            const ComPtr<IWbemClassObject> object = Velmora::executeQuery(hyperV.services, Bstr(switchQuery));
            clearCapturedLines();
            Control::clearJournal();
            Control::enableJournal(true);
            work(hyperV.services, object.get());
            return true;
        }));
    }
    static std::wstring firstPath() { return Control::switches().at(0).path; }
};

TEST_F(WmiReading, ExecuteQueryHandsBackTheFirstObjectAndAsksForNoOther) {
    const std::wstring first = firstPath();
    withSwitch([&](IWbemServices* services, IWbemClassObject*) {
        const ComPtr<IWbemClassObject> object = Velmora::executeQuery(services, Bstr(switchQuery));
        ASSERT_TRUE(object);
        EXPECT_EQ(Control::journalCounts()["Next"], 1u);
        EXPECT_EQ(stringProperty(object.get(), L"__Path"), first);
    });
    EXPECT_TRUE(sameLines(capturedLines(), {info("Executing query")}));
}

TEST_F(WmiReading, ExecuteQueryFailures) {
    const struct {
        Fault fault;
        const char* line;
    } cases[] = {
        {rule("ExecQuery", switchQuery, Fault::Kind::Fail, wbem(WBEM_E_INVALID_CLASS)),
         "Query failed, err=-2147217392"},
        {rule("Next", switchQuery, Fault::Kind::Fail, wbem(WBEM_E_TRANSPORT_FAILURE)),
         "Query::Next failed, err=-2147217387"},
        {rule("Next", switchQuery, Fault::Kind::NoObject), "Query returned no objects!"},
        {rule("Next", switchQuery, Fault::Kind::Fail, wbem(WBEM_S_FALSE)), "Query returned no objects!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        withSwitch([&](IWbemServices* services, IWbemClassObject*) {
            Control::injectFault(c.fault);
            EXPECT_FALSE(Velmora::executeQuery(services, Bstr(switchQuery)));
            Control::clearFaults();
        });
        EXPECT_TRUE(sameLines(capturedLines(), {info("Executing query"), error(c.line)}));
    }
}

TEST_F(WmiReading, WalkStartsWithoutTheExecutingQueryLine) {
    withSwitch([&](IWbemServices* services, IWbemClassObject*) {
        EXPECT_TRUE(Velmora::startWalk(services, Bstr(switchQuery)));
        Control::injectFault(rule("ExecQuery", switchQuery, Fault::Kind::Fail, wbem(WBEM_E_INVALID_QUERY)));
        EXPECT_FALSE(Velmora::startWalk(services, Bstr(switchQuery)));
    });
    EXPECT_TRUE(sameLines(capturedLines(), {error("Query failed, err=-2147217385")}));
}

TEST_F(WmiReading, GetObjectByPathOrClassName) {
    const std::wstring first = firstPath();
    const std::string path = ascii(first);
    withSwitch([&](IWbemServices* services, IWbemClassObject*) {
        const ComPtr<IWbemClassObject> object = Velmora::getObject(services, Bstr(first.c_str()));
        ASSERT_TRUE(object);
        EXPECT_EQ(stringProperty(object.get(), L"__Path"), first);
        EXPECT_TRUE(Velmora::getObject(services, Bstr(L"Msvm_VirtualSystemManagementService")));
        Control::injectFault(rule("GetObject", first, Fault::Kind::NoObject));
        EXPECT_FALSE(Velmora::getObject(services, Bstr(first.c_str())));
        Control::removeAllSwitches();
        EXPECT_FALSE(Velmora::getObject(services, Bstr(first.c_str())));
    });
    EXPECT_TRUE(sameLines(capturedLines(),
                          {info("Get object: " + path), info("Get object: Msvm_VirtualSystemManagementService"),
                           info("Get object: " + path), error("Get null object!"), info("Get object: " + path),
                           error("Could not get object: " + path + ", err=-2147217406")}));
}

TEST_F(WmiReading, GetClassInstanceQueriesTheClassByName) {
    withSwitch([&](IWbemServices* services, IWbemClassObject*) {
        EXPECT_TRUE(Velmora::getClassInstance(services, Bstr(L"Msvm_VirtualSystemManagementService")));
        ASSERT_FALSE(Control::journal().empty());
        EXPECT_EQ(Control::journal()[0],
                  (HyperVSim::JournalEntry{"ExecQuery", L"select * from Msvm_VirtualSystemManagementService", 0}));
        EXPECT_FALSE(Velmora::getClassInstance(services, Bstr(L"")));
    });
    EXPECT_TRUE(sameLines(capturedLines(), infos({"Get class instance: Msvm_VirtualSystemManagementService",
                                                  "Executing query", "Get class instance: ", "Executing query"}) +
                                               LogLines{error("Query failed, err=-2147217385")}));
}

TEST_F(WmiReading, StringFieldValuesAndFailures) {
    const std::wstring name = Control::switches().at(0).name;
    const struct {
        Fault fault;
        const wchar_t* result;
        std::string line;
    } cases[] = {
        {rule("Get", L"Nothing", Fault::Kind::Fail), name.c_str(), ""},
        {rule("Get", L"ElementName", Fault::Kind::Fail, wbem(WBEM_E_NOT_FOUND)), L"", "Failed to get object field"},
        {delivering(L"ElementName", std::int32_t{5}), L"", "Invalid type of field, expected string, got 3"},
        {delivering(L"ElementName", std::monostate{}), L"", "Invalid type of field, expected string, got 1"},
        {delivering(L"ElementName", true), L"", "Invalid type of field, expected string, got 11"},
        {delivering(L"ElementName", std::vector<std::wstring>{L"a"}), L"",
         "Invalid type of field, expected string, got 8200"},
        {delivering(L"ElementName", HyperVSim::NullString{}), nullptr, ""},
        {delivering(L"ElementName", std::wstring(L"ab\0cd", 5)), L"ab", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        withSwitch([&](IWbemServices*, IWbemClassObject* object) {
            Control::injectFault(c.fault);
            const Bstr value = Velmora::getStringField(object, Bstr(L"ElementName"));
            EXPECT_EQ(text(value), c.result ? c.result : L"<null>");
            Control::clearFaults();
        });
        EXPECT_TRUE(sameLines(capturedLines(), c.line.empty() ? LogLines{} : LogLines{error(c.line)}));
    }
}

TEST_F(WmiReading, PathsAndAssociationQueriesAreReadAfterTheirLine) {
    const std::wstring first = firstPath();
    withSwitch([&](IWbemServices* services, IWbemClassObject* object) {
        EXPECT_EQ(text(Velmora::getObjectPath(object)), first);
        EXPECT_EQ(text(Velmora::associationQuery(L"Associators of {", object, L"} where ResultClass = X")),
                  L"Associators of {" + first + L"} where ResultClass = X");
        // Without a readable path WMI gets "{}" and rejects the query.
        Control::injectFault(delivering(L"__Path", std::int32_t{1}));
        const Bstr query = Velmora::associationQuery(L"References of {", object, L"} where ResultClass = X");
        EXPECT_EQ(text(query), L"References of {} where ResultClass = X");
        EXPECT_FALSE(Velmora::executeQuery(services, query));
    });
    EXPECT_TRUE(
        sameLines(capturedLines(), infos({"Get '__Path'", "Get '__Path'", "Get '__Path'"}) +
                                       LogLines{error("Invalid type of field, expected string, got 3"),
                                                info("Executing query"), error("Query failed, err=-2147217385")}));
}

}  // namespace
}  // namespace VelmoraTest
