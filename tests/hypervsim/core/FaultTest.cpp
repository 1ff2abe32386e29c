// Fault rules of every kind, the call journal, and the count of live COM objects.
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "WmiClient.h"

namespace HyperVSimTest {
namespace {

using HyperVSim::Control;
using HyperVSim::Fault;
using HyperVSim::JournalEntry;

class FaultTest : public HostTest {
protected:
    static Fault rule(const char* operation, Fault::Kind kind, std::int32_t result = 0, std::wstring argument = {},
                      unsigned occurrence = 1) {
        Fault fault;
        fault.operation = operation;
        fault.kind = kind;
        fault.result = result;
        fault.argument = std::move(argument);
        fault.occurrence = occurrence;
        return fault;
    }

    std::wstring servicePath() {
        auto found = queryAll(services.get(), L"select * from Msvm_VirtualSystemManagementService");
        return found.empty() ? std::wstring() : text(found[0].get(), L"__PATH");
    }

    // ExecMethod of RequestStateChange on the host system (the model refuses it, but the call is made).
    HRESULT callOnHost(Ref<IWbemClassObject>& out, Ref<IWbemCallResult>& result) {
        Ref<IWbemClassObject> definition, in, parameters;
        EXPECT_EQ(getObject(services.get(), L"Msvm_VirtualSystemManagementService", definition), S_OK);
        EXPECT_EQ(definition->GetMethod(L"DestroySystem", 0, in.out(), nullptr), S_OK);
        EXPECT_EQ(in->SpawnInstance(0, parameters.out()), S_OK);
        Var target = Var::text(L"Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"NOSUCH\"");
        EXPECT_EQ(parameters->Put(L"AffectedSystem", 0, target.get(), 0), S_OK);
        Bstr path(servicePath()), method(L"DestroySystem");
        return services->ExecMethod(path.get(), method.get(), 0, nullptr, parameters.get(), out.out(),
                                    result.out());
    }
};

TEST_F(FaultTest, FailRulesFireOnTheChosenOccurrenceOfTheChosenArgument) {
    const HRESULT failure = wbem(WBEM_E_PROVIDER_FAILURE);
    Control::injectFault(rule("ExecQuery", Fault::Kind::Fail, failure, L"SELECT * FROM Msvm_Memory", 2));
    Ref<IEnumWbemClassObject> enumerator;
    EXPECT_EQ(execQuery(services.get(), L"select * from Msvm_Memory", enumerator), S_OK);
    EXPECT_EQ(execQuery(services.get(), L"select * from Msvm_VirtualEthernetSwitch", enumerator), S_OK);
    EXPECT_EQ(execQuery(services.get(), L"select * from Msvm_Memory", enumerator), failure);
    EXPECT_FALSE(enumerator);
    EXPECT_EQ(execQuery(services.get(), L"select * from Msvm_Memory", enumerator), S_OK);

    Control::injectFault(rule("ConnectServer", Fault::Kind::Fail, failure, {}, 0));
    Ref<IWbemServices> root;
    EXPECT_EQ(connect(L"root", root), failure);
    EXPECT_EQ(connect(L"root", root), failure);
    Control::clearFaults();
    EXPECT_EQ(connect(L"root", root), S_OK);
}

TEST_F(FaultTest, NextCanFailOrReportAnObjectItDoesNotGive) {
    Control::injectFault(rule("Next", Fault::Kind::NoObject, 0, L"select * from Msvm_Memory"));
    Control::injectFault(rule("Next", Fault::Kind::Fail, wbem(WBEM_E_FAILED), L"select * from Msvm_Memory", 3));
    Ref<IEnumWbemClassObject> enumerator;
    ASSERT_EQ(execQuery(services.get(), L"select * from Msvm_Memory", enumerator), S_OK);
    IWbemClassObject* object = reinterpret_cast<IWbemClassObject*>(0x1);
    ULONG returned = 0;
    EXPECT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, &object, &returned), S_OK);
    EXPECT_EQ(returned, 1u);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, &object, &returned), S_OK);
    ASSERT_NE(object, nullptr);
    object->Release();
    EXPECT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, &object, &returned), wbem(WBEM_E_FAILED));
    EXPECT_EQ(returned, 0u);
}

TEST_F(FaultTest, GetCanDeliverAnotherValueOrAnotherResult) {
    auto switches = queryAll(services.get(), L"select * from Msvm_VirtualEthernetSwitch");
    ASSERT_FALSE(switches.empty());
    Fault deliver = rule("Get", Fault::Kind::DeliverValue, 0, L"ElementName");
    deliver.value = std::int32_t{42};
    Control::injectFault(deliver);
    EXPECT_EQ(i4(switches[0].get(), L"ElementName"), 42);
    EXPECT_EQ(text(switches[0].get(), L"ElementName"), L"Default Switch");  // the rule fired once

    Control::injectFault(rule("Get", Fault::Kind::Fail, 0x40005, L"__PATH"));
    Var path;
    EXPECT_EQ(switches[0]->Get(L"__PATH", 0, path.get(), nullptr, nullptr), 0x40005);
    EXPECT_EQ(path->vt, VT_BSTR);
    Control::injectFault(rule("Get", Fault::Kind::Fail, wbem(WBEM_E_FAILED), L"__PATH"));
    Var failed;
    EXPECT_EQ(switches[0]->Get(L"__PATH", 0, failed.get(), nullptr, nullptr), wbem(WBEM_E_FAILED));
    EXPECT_EQ(failed->vt, VT_EMPTY);
}

TEST_F(FaultTest, GetObjectAndOpenNamespaceCanSucceedWithoutAnObject) {
    Control::injectFault(rule("GetObject", Fault::Kind::NoObject));
    Control::injectFault(rule("OpenNamespace", Fault::Kind::NoObject));
    Ref<IWbemClassObject> object;
    EXPECT_EQ(getObject(services.get(), L"Msvm_ComputerSystem", object), S_OK);
    EXPECT_FALSE(object);
    Ref<IWbemServices> root, child;
    ASSERT_EQ(connect(L"root", root), S_OK);
    EXPECT_EQ(open(root.get(), L"virtualization\\v2", child), S_OK);
    EXPECT_FALSE(child);
}

TEST_F(FaultTest, ExecMethodRulesShapeTheCallsResults) {
    Ref<IWbemClassObject> out;
    Ref<IWbemCallResult> result;
    Control::injectFault(rule("ExecMethod", Fault::Kind::ReturnValue, 4096, L"DestroySystem"));
    ASSERT_EQ(callOnHost(out, result), S_OK);  // without the rule the unknown machine fails the call
    EXPECT_EQ(i4(out.get(), L"ReturnValue"), 4096);

    ASSERT_EQ(callOnHost(out, result), wbem(WBEM_E_NOT_FOUND));

    Control::injectFault(rule("ExecMethod", Fault::Kind::ReturnValue, 0, L"DestroySystem", 0));
    Control::injectFault(rule("ExecMethod", Fault::Kind::NoObject, 0, L"DestroySystem"));
    ASSERT_EQ(callOnHost(out, result), S_OK);
    EXPECT_TRUE(out);
    EXPECT_FALSE(result);

    Control::injectFault(rule("ExecMethod", Fault::Kind::NoOutParams, 0, L"DestroySystem"));
    ASSERT_EQ(callOnHost(out, result), S_OK);
    EXPECT_FALSE(out);
    EXPECT_TRUE(result);

    Fault deliver = rule("ExecMethod", Fault::Kind::DeliverValue, 0, L"DestroySystem");
    deliver.parameter = L"Job";
    deliver.value = std::int32_t{7};
    Control::injectFault(deliver);
    ASSERT_EQ(callOnHost(out, result), S_OK);
    EXPECT_EQ(i4(out.get(), L"Job"), 7);

    Fault omit = rule("ExecMethod", Fault::Kind::OmitOutput, 0, L"DestroySystem");
    omit.parameter = L"ReturnValue";
    Control::injectFault(omit);
    ASSERT_EQ(callOnHost(out, result), S_OK);
    Var missing;
    EXPECT_EQ(out->Get(L"ReturnValue", 0, missing.get(), nullptr, nullptr), wbem(WBEM_E_NOT_FOUND));

    Control::injectFault(rule("GetCallStatus", Fault::Kind::CallStatus, 5, L"DestroySystem"));
    ASSERT_EQ(callOnHost(out, result), S_OK);
    LONG status = -1;
    EXPECT_EQ(result->GetCallStatus(0, &status), S_OK);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(result->GetCallStatus(0, &status), S_OK);
    EXPECT_EQ(status, 0);
}

TEST_F(FaultTest, CreatingTheHostsClassesCanFail) {
    Control::injectFault(rule("CreateInstance", Fault::Kind::Fail, E_OUTOFMEMORY, L"WbemObjectTextSrc"));
    Ref<IWbemObjectTextSrc> source;
    EXPECT_EQ(CoCreateInstance(CLSID_WbemObjectTextSrc, nullptr, CLSCTX_ALL, IID_IWbemObjectTextSrc,
                               reinterpret_cast<void**>(source.out())),
              E_OUTOFMEMORY);
    EXPECT_TRUE(locator());
}

TEST_F(FaultTest, JournalRecordsEveryCallWithItsArgumentAndResult) {
    Control::clearJournal();
    const std::wstring query = L"select * from Msvm_VirtualEthernetSwitch";
    auto switches = queryAll(services.get(), query);
    ASSERT_EQ(switches.size(), 2u);
    Var value;
    switches[0]->Get(L"NoSuchProperty", 0, value.get(), nullptr, nullptr);
    const std::vector<JournalEntry> expected{
        {"ExecQuery", query, 0},
        {"Next", query, 0},
        {"Next", query, 0},
        {"Next", query, 1},
        {"Get", L"NoSuchProperty", wbem(WBEM_E_NOT_FOUND)},
    };
    EXPECT_EQ(Control::journal(), expected);

    Control::enableJournal(false);
    queryAll(services.get(), query);
    Control::enableJournal(true);
    EXPECT_EQ(Control::journal().size(), expected.size());
    const std::map<std::string, std::size_t> counted{{"ExecQuery", 1}, {"Next", 3}, {"Get", 1}};
    EXPECT_EQ(Control::journalCounts(), counted);

    // The journal keeps the newest 65,536 calls; the counts stay exact beyond.
    for (int i = 0; i < 70000; ++i) switches[0]->Get(L"NoSuchProperty", 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(Control::journal().size(), 65536u);
    EXPECT_EQ(Control::journalCounts().at("Get"), 70001u);
    EXPECT_EQ(Control::journalCounts().at("Next"), 3u);
    Control::clearJournal();
    EXPECT_TRUE(Control::journal().empty());
    EXPECT_TRUE(Control::journalCounts().empty());
}

TEST_F(FaultTest, LiveObjectsCountWhatClientsHold) {
    const long before = Control::liveObjects();
    EXPECT_EQ(before, 1);  // the fixture's services
    {
        auto objects = queryAll(services.get(), L"select * from Msvm_Memory");
        Ref<IEnumWbemClassObject> enumerator;
        ASSERT_EQ(execQuery(services.get(), L"select * from Msvm_Memory", enumerator), S_OK);
        EXPECT_EQ(Control::liveObjects(), before + 4);
        Ref<IWbemClassObject> clone;
        ASSERT_EQ(objects[0]->Clone(clone.out()), S_OK);
        EXPECT_EQ(Control::liveObjects(), before + 5);
    }
    EXPECT_EQ(Control::liveObjects(), before);

    // Objects made on another thread and released on this one.
    std::vector<Ref<IWbemClassObject>> handedOver;
    std::thread([&] {
        if (CoInitializeEx(nullptr, COINIT_MULTITHREADED) < 0) return;
        handedOver = queryAll(hyperV().get(), L"select * from Msvm_Memory");
        CoUninitialize();
    }).join();
    EXPECT_EQ(Control::liveObjects(), before + 3);
    handedOver.clear();
    EXPECT_EQ(Control::liveObjects(), before);
}

}  // namespace
}  // namespace HyperVSimTest
