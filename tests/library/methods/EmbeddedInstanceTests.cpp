// Embedded instances and pool defaults: the text of an object, the one-element list that carries it into a
// method, and the default settings object that a resource pool names.
#include <string>
#include <vector>

#include "MethodsTest.h"
#include "wmi/Bstr.h"
#include "wmi/EmbeddedInstance.h"
#include "wmi/MethodCall.h"
#include "wmi/Query.h"
#include "wmi/Variant.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;
using HyperVSim::Fault;
using Velmora::Bstr;
using Velmora::ComPtr;

Fault deliverValue(const wchar_t* property, HyperVSim::Value value) {
    Fault f = fault("Get", property, Fault::Kind::DeliverValue);
    f.value = std::move(value);
    return f;
}

std::wstring text(const Bstr& value) {
    return value.get() ? std::wstring(value.get(), value.length()) : std::wstring();
}

const std::wstring capabilitiesSuffix =
    L"} where ResultClass = Msvm_AllocationCapabilities AssocClass = Msvm_ElementCapabilities";

// --- serializeObject ---------------------------------------------------------------------------------

class SerializeObject : public LibraryTest {};

TEST_F(SerializeObject, WritesTheObjectAsCimXmlWithoutALine) {
    std::wstring written;
    EXPECT_TRUE(runInternal([&](const HyperV& hyperV) {
        written = text(Velmora::serializeObject(hyperV.managementService.get()));
        return true;
    }));

    EXPECT_TRUE(capturedLines().empty());
    EXPECT_NE(written.find(L"<INSTANCE"), std::wstring::npos) << ascii(written);
    EXPECT_NE(written.find(L"Msvm_VirtualSystemManagementService"), std::wstring::npos) << ascii(written);
}

TEST_F(SerializeObject, FailuresGiveAnEmptyStringNeverNull) {
    const struct {
        Fault fault;
        const char* line;
    } cases[] = {
        {fault("CreateInstance", L"WbemObjectTextSrc", Fault::Kind::Fail, failed),
         "Can't create instance of IWbemObjectTextSrc"},
        {fault("GetText", L"", Fault::Kind::Fail, failed), "Can't serialize IWbemClassObject"},
    };
    for (const auto& c : cases) {
        bool isNull = true;
        UINT length = 1;
        EXPECT_TRUE(runInternal([&](const HyperV& hyperV) {
            hostFault(c.fault);
            const Bstr written = Velmora::serializeObject(hyperV.managementService.get());
            isNull = written.get() == nullptr;
            length = written.length();
            return true;
        }));
        Control::clearFaults();

        EXPECT_FALSE(isNull) << c.line;
        EXPECT_EQ(length, 0u) << c.line;
        EXPECT_TRUE(sameLines(capturedLines(), {error(c.line)}));
    }
}

// Each text comes from a text source of its own, released before the text is handed back.
TEST_F(SerializeObject, MakesAndReleasesATextSourcePerObject) {
    Control::clearJournal();
    Control::enableJournal(true);
    long liveBefore = -1;
    long liveBetween = -1;
    long liveAfter = -1;
    EXPECT_TRUE(runInternal([&](const HyperV& hyperV) {
        liveBefore = Control::liveObjects();
        const Bstr first = Velmora::serializeObject(hyperV.managementService.get());
        liveBetween = Control::liveObjects();
        const Bstr second = Velmora::serializeObject(hyperV.managementService.get());
        liveAfter = Control::liveObjects();
        return !first.empty() && !second.empty();
    }));

    EXPECT_EQ(liveBetween, liveBefore);
    EXPECT_EQ(liveAfter, liveBefore);
    int textSources = 0;
    for (const HyperVSim::JournalEntry& entry : Control::journal()) {
        if (entry.operation == "CreateInstance" && entry.argument == L"WbemObjectTextSrc") ++textSources;
    }
    EXPECT_EQ(textSources, 2);
}

// --- putEmbeddedInstanceList -----------------------------------------------------------------------

class EmbeddedInstanceList : public LibraryTest {
protected:
    struct Element {
        bool isList = false;
        long lower = -1;
        long upper = -1;
        std::wstring first;
    };

    // Puts the management service's text as ResourceSettings of a ModifyResourceSettings input object
    // and reads the property back.
    bool putAndReadBack(const std::vector<Fault>& faults, Element& element, std::wstring& expected) {
        return runInternal([&](const HyperV& hyperV) {
            const ComPtr<IWbemClassObject> definition =
                Velmora::getMethodParams(hyperV.managementServiceClass.get(), Bstr(L"ModifyResourceSettings"));
            const ComPtr<IWbemClassObject> inParams = Velmora::spawnInstance(definition.get());
            expected = text(Velmora::serializeObject(hyperV.managementService.get()));
            clearCapturedLines();
            for (const Fault& f : faults) hostFault(f);
            if (!Velmora::putEmbeddedInstanceList(inParams.get(), Bstr(L"ResourceSettings"),
                                                  hyperV.managementService.get()))
                return false;
            Velmora::Variant value;
            if (FAILED(inParams->Get(L"ResourceSettings", 0, value.put(), nullptr, nullptr))) return false;
            element.isList = value.type() == (VT_ARRAY | VT_BSTR);
            if (!element.isList) return true;
            LONG lower = 0;
            LONG upper = 0;
            SafeArrayGetLBound(value->parray, 1, &lower);
            SafeArrayGetUBound(value->parray, 1, &upper);
            element.lower = lower;
            element.upper = upper;
            BSTR first = nullptr;
            LONG index = 0;
            if (SUCCEEDED(SafeArrayGetElement(value->parray, &index, &first))) {
                element.first = first ? std::wstring(first, SysStringLen(first)) : std::wstring();
                SysFreeString(first);
            }
            return true;
        });
    }
};

TEST_F(EmbeddedInstanceList, HoldsExactlyTheObjectsText) {
    Element element;
    std::wstring expected;
    EXPECT_TRUE(putAndReadBack({}, element, expected));

    EXPECT_TRUE(sameLines(capturedLines(), {info("Put value: ResourceSettings")}));
    EXPECT_TRUE(element.isList);
    EXPECT_EQ(element.lower, 0);
    EXPECT_EQ(element.upper, 0);
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(element.first, expected);
}

TEST_F(EmbeddedInstanceList, TextThatCannotBeMadeLeavesOneEmptyElement) {
    Element element;
    std::wstring expected;
    EXPECT_TRUE(putAndReadBack({fault("GetText", L"", Fault::Kind::Fail, failed)}, element, expected));

    EXPECT_TRUE(sameLines(capturedLines(),
                          {error("Can't serialize IWbemClassObject"), info("Put value: ResourceSettings")}));
    EXPECT_EQ(element.lower, 0);
    EXPECT_EQ(element.upper, 0);
    EXPECT_EQ(element.first, L"");
}

TEST_F(EmbeddedInstanceList, RefusedPutIsReportedAndReleasesTheList) {
    Element element;
    std::wstring expected;
    EXPECT_FALSE(putAndReadBack({fault("Put", L"ResourceSettings", Fault::Kind::Fail, failed)}, element, expected));

    EXPECT_TRUE(sameLines(capturedLines(),
                          {info("Put value: ResourceSettings"), error("Put param failed, err= -2147217407")}));
}

// --- requestDefaultObject --------------------------------------------------------------------------

class DefaultObject : public LibraryTest {
protected:
    struct Outcome {
        bool found = false;
        std::wstring path;
        std::wstring instanceId;
    };

    Outcome request(const std::vector<Fault>& faults = {}) {
        Outcome outcome;
        runInternal([&](const HyperV& hyperV) {
            const ComPtr<IWbemClassObject> pool = ethernetPortPool(hyperV.services);
            clearCapturedLines();
            for (const Fault& f : faults) hostFault(f);
            const ComPtr<IWbemClassObject> object = Velmora::requestDefaultObject(hyperV.services, pool.get());
            outcome.found = static_cast<bool>(object);
            if (object) {
                outcome.path = pathOf(object.get());
                outcome.instanceId = stringProperty(object.get(), L"InstanceID");
            }
            return true;
        });
        return outcome;
    }

    static LogLines linesBeforeValueRole() {
        return LogLines{info("Request default object form resource pool")} + associationLines() +
               associationLines() + LogLines{info("Get 'ValueRole'")};
    }
};

TEST_F(DefaultObject, IsTheTemplateOfTheDefaultRole) {
    const Outcome outcome = request();

    ASSERT_TRUE(outcome.found);
    EXPECT_EQ(outcome.instanceId.substr(outcome.instanceId.size() - 8), L"\\Default") << ascii(outcome.instanceId);
    EXPECT_TRUE(sameLines(
        capturedLines(), linesBeforeValueRole() + LogLines{info("Get 'PartComponent'"), objectLine(outcome.path)}));
}

// The associations come in no promised order: they are walked until the role 0 (Default), one at a time.
TEST_F(DefaultObject, DefaultListedLastIsFoundByWalking) {
    Control::setDefaultTemplateFirst(false);
    const Outcome outcome = request();

    ASSERT_TRUE(outcome.found);
    EXPECT_EQ(outcome.instanceId.substr(outcome.instanceId.size() - 8), L"\\Default") << ascii(outcome.instanceId);
    const LogLines roles(3, info("Get 'ValueRole'"));
    EXPECT_TRUE(sameLines(capturedLines(), linesBeforeValueRole() + roles +
                                               LogLines{info("Get 'PartComponent'"), objectLine(outcome.path)}));
}

TEST_F(DefaultObject, NoDefaultRoleGivesNull) {
    Fault noDefault = deliverValue(L"ValueRole", std::int32_t{3});
    noDefault.occurrence = 0;
    const Outcome outcome = request({noDefault});

    EXPECT_FALSE(outcome.found);
    EXPECT_TRUE(sameLines(capturedLines(), linesBeforeValueRole() + LogLines(3, info("Get 'ValueRole'")) +
                                               LogLines{error("Query returned no matching objects!")}));
}

TEST_F(DefaultObject, UnreadableValueRoleGivesNull) {
    const struct {
        Fault fault;
        const char* line;
    } cases[] = {
        {fault("Get", L"ValueRole", Fault::Kind::Fail, failed), "Failed to get object field"},
        {deliverValue(L"ValueRole", std::wstring(L"0")), "Invalid type of field, expected string, got 8"},
        {deliverValue(L"ValueRole", std::int16_t{0}), "Invalid type of field, expected string, got 2"},
        {deliverValue(L"ValueRole", std::monostate{}), "Invalid type of field, expected string, got 1"},
    };
    for (const auto& c : cases) {
        clearCapturedLines();
        Control::clearFaults();
        const Outcome outcome = request({c.fault});

        EXPECT_FALSE(outcome.found) << c.line;
        EXPECT_TRUE(sameLines(capturedLines(), linesBeforeValueRole() + LogLines{error(c.line)}));
    }
}

// Without the pool's path the first query still runs, with "{}" where the path would stand.
TEST_F(DefaultObject, UnreadablePoolPathStillRunsTheQuery) {
    Control::clearJournal();
    Control::enableJournal(true);

    const Outcome outcome = request({fault("Get", L"__Path", Fault::Kind::Fail, failed)});

    EXPECT_FALSE(outcome.found);
    EXPECT_TRUE(sameLines(capturedLines(), {info("Request default object form resource pool"), info("Get '__Path'"),
                                            error("Failed to get object field"), info("Executing query"),
                                            error("Query failed, err=-2147217385")}));
    bool ran = false;
    for (const HyperVSim::JournalEntry& entry : Control::journal()) {
        if (entry.operation == "ExecQuery" && entry.argument == L"Associators of {" + capabilitiesSuffix)
            ran = true;
    }
    EXPECT_TRUE(ran);
}

TEST_F(DefaultObject, MissingCapabilitiesOrAssociationGivesNull) {
    const LogLines opening{info("Request default object form resource pool")};
    EXPECT_FALSE(request({fault("Next", L"", Fault::Kind::NoObject)}).found);
    EXPECT_TRUE(
        sameLines(capturedLines(), opening + associationLines() + LogLines{error("Query returned no objects!")}));

    clearCapturedLines();
    Control::clearFaults();
    EXPECT_FALSE(request({fault("Next", L"", Fault::Kind::NoObject, 0, 2)}).found);
    EXPECT_TRUE(sameLines(capturedLines(), opening + associationLines() + associationLines() +
                                               LogLines{error("Query returned no objects!")}));
}

// An unreadable PartComponent goes on with an empty path; WMI answers that with an empty object.
TEST_F(DefaultObject, UnreadableTemplatePathGoesOnWithAnEmptyPath) {
    const Outcome outcome = request({fault("Get", L"PartComponent", Fault::Kind::Fail, failed)});

    EXPECT_TRUE(outcome.path.empty()) << ascii(outcome.path);
    EXPECT_TRUE(sameLines(capturedLines(), linesBeforeValueRole() + LogLines{info("Get 'PartComponent'"),
                                                                             error("Failed to get object field"),
                                                                             info("Get object: ")}));
}

TEST_F(DefaultObject, TemplateThatCannotBeFetchedGivesNull) {
    const Outcome outcome = request({fault("GetObject", L"", Fault::Kind::Fail, failed)});

    EXPECT_FALSE(outcome.found);
    const LogLines& lines = capturedLines();
    ASSERT_EQ(lines.size(), linesBeforeValueRole().size() + 3);
    const std::string fetch = lines[lines.size() - 2].text;
    ASSERT_EQ(fetch.rfind("Get object: ", 0), 0u) << fetch;
    const std::string path = fetch.substr(std::string("Get object: ").size());
    EXPECT_NE(path.find("Default"), std::string::npos) << path;
    EXPECT_EQ(lines.back(), error("Could not get object: " + path + ", err=-2147217407"));
}

}  // namespace
}  // namespace VelmoraTest
