// The library's own WMI reading operations on a connection to the simulated host, where the exports do not
// reach every case: a query hands back its first object alone, and a field is read as a string or not at all.
#include "LibraryTests.h"
#include "log/Log.h"
#include "wmi/Bstr.h"
#include "wmi/ExportFrame.h"
#include "wmi/Query.h"
#include "wmi/Variant.h"

namespace VelmoraTest {
namespace {

using Velmora::Bstr;
using Velmora::ComPtr;

const wchar_t* const switchQuery = L"select * from Msvm_VirtualEthernetSwitch";

class WmiReading : public LibraryTest {
protected:
    // Runs `work` in the library's own frame with captureLog, the host's services and the first switch, with
    // no lines yet and the journal on; every object `work` obtains must be released before it returns.
    static void withSwitch(const std::function<void(IWbemServices*, IWbemClassObject*)>& work) {
        const Velmora::LogScope scope(captureLog);
        ASSERT_TRUE(Velmora::withHyperVServices([&](IWbemServices* services) {
            const ComPtr<IWbemClassObject> object = Velmora::executeQuery(services, Bstr(switchQuery));
            clearCapturedLines();
            Control::clearJournal();
            Control::enableJournal(true);
            work(services, object.get());
            return true;
        }));
    }
};

// The path WMI reports for an object, read without a line; empty when there is none.
std::wstring pathOf(IWbemClassObject* object) {
    Velmora::Variant value;
    if (!object || FAILED(object->Get(L"__Path", 0, value.put(), nullptr, nullptr)) || value.type() != VT_BSTR ||
        !value->bstrVal)
        return {};
    return value->bstrVal;
}

TEST_F(WmiReading, AQueryHandsBackItsFirstObjectAndAsksForNoOther) {
    const struct {
        Fault fault;
        const char* line;  // the Error line after "Executing query", none when the query succeeds
    } cases[] = {
        {{}, nullptr},
        {rule("ExecQuery", switchQuery, Fault::Kind::Fail, wbem(WBEM_E_INVALID_CLASS)),
         "Query failed, err=-2147217392"},
        {rule("Next", switchQuery, Fault::Kind::Fail, wbem(WBEM_E_TRANSPORT_FAILURE)),
         "Query::Next failed, err=-2147217387"},
        {rule("Next", switchQuery, Fault::Kind::NoObject), "Query returned no objects!"},
        {rule("Next", switchQuery, Fault::Kind::Fail, wbem(WBEM_S_FALSE)), "Query returned no objects!"},
    };
    const std::wstring first = Control::switches().at(0).path;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line ? c.line : "success");
        withSwitch([&](IWbemServices* services, IWbemClassObject*) {
            if (c.line) Control::injectFault(c.fault);
            const ComPtr<IWbemClassObject> object = Velmora::executeQuery(services, Bstr(switchQuery));
            EXPECT_EQ(pathOf(object.get()), c.line ? L"" : first);
            EXPECT_LE(Control::journalCounts()["Next"], 1u);
            Control::clearFaults();
        });
        EXPECT_TRUE(sameLines(capturedLines(),
                              LogLines{info("Executing query")} + (c.line ? LogLines{error(c.line)} : LogLines{})));
    }
}

TEST_F(WmiReading, AStringFieldIsAStringOrElseEmptyWithItsLine) {
    const std::wstring name = Control::switches().at(0).name;
    const struct {
        Fault fault;
        const wchar_t* result;  // null: a null string
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
            const std::wstring text = value.get() ? std::wstring(value.get(), value.length()) : L"<null>";
            EXPECT_EQ(text, c.result ? c.result : L"<null>");
            Control::clearFaults();
        });
        EXPECT_TRUE(sameLines(capturedLines(), c.line.empty() ? LogLines{} : LogLines{error(c.line)}));
    }
}

}  // namespace
}  // namespace VelmoraTest
