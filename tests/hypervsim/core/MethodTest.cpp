// ExecMethod and the object text source: what ExecMethod checks before a method runs, the synchronous
// call result, and objects written as CIM-XML and read back.
#include "WmiClient.h"

namespace HyperVSimTest {
namespace {

class MethodTest : public HostTest {
protected:
    std::wstring servicePath() {
        auto found = queryAll(services.get(), L"select * from Msvm_VirtualSystemManagementService");
        return found.empty() ? std::wstring() : text(found[0].get(), L"__PATH");
    }

    Ref<IWbemClassObject> parametersOf(const std::wstring& className, const std::wstring& method) {
        Ref<IWbemClassObject> definition, in, parameters;
        EXPECT_EQ(getObject(services.get(), className, definition), S_OK);
        EXPECT_EQ(definition->GetMethod(method.c_str(), 0, in.out(), nullptr), S_OK);
        EXPECT_EQ(in->SpawnInstance(0, parameters.out()), S_OK);
        return parameters;
    }

    std::wstring embeddedText(IWbemClassObject* object) {
        Ref<IWbemObjectTextSrc> source;
        EXPECT_EQ(CoCreateInstance(CLSID_WbemObjectTextSrc, nullptr, CLSCTX_ALL, IID_IWbemObjectTextSrc,
                                   reinterpret_cast<void**>(source.out())),
                  S_OK);
        BSTR text = nullptr;
        EXPECT_EQ(source->GetText(0, object, WMI_OBJ_TEXT_CIM_DTD_2_0, nullptr, &text), S_OK);
        std::wstring result = text ? text : L"";
        SysFreeString(text);
        return result;
    }

    // DefineSystem of a machine named `name`, as a client calls it.
    HRESULT define(const std::wstring& settingsText, Ref<IWbemClassObject>& out, Ref<IWbemCallResult>& result) {
        auto parameters = parametersOf(L"Msvm_VirtualSystemManagementService", L"DefineSystem");
        Var settings = Var::text(settingsText);
        EXPECT_EQ(parameters->Put(L"SystemSettings", 0, settings.get(), 0), S_OK);
        Bstr path(servicePath()), method(L"DefineSystem");
        return services->ExecMethod(path.get(), method.get(), 0, nullptr, parameters.get(), out.out(),
                                    result.out());
    }

    std::wstring machineSettings(const std::wstring& name) {
        Ref<IWbemClassObject> vssdClass, vssd;
        EXPECT_EQ(getObject(services.get(), L"Msvm_VirtualSystemSettingData", vssdClass), S_OK);
        EXPECT_EQ(vssdClass->SpawnInstance(0, vssd.out()), S_OK);
        Var elementName = Var::text(name);
        EXPECT_EQ(vssd->Put(L"ElementName", 0, elementName.get(), 0), S_OK);
        return embeddedText(vssd.get());
    }
};

TEST_F(MethodTest, ExecMethodIsSynchronousAndHandsBackOutputAndCallResult) {
    Ref<IWbemClassObject> out;
    Ref<IWbemCallResult> result;
    ASSERT_EQ(define(machineSettings(L"vm1"), out, result), S_OK);
    ASSERT_TRUE(out);
    ASSERT_TRUE(result);
    EXPECT_EQ(i4(out.get(), L"ReturnValue"), 0);
    const std::wstring machinePath = text(out.get(), L"ResultingSystem");
    LONG status = -1;
    EXPECT_EQ(result->GetCallStatus(0, &status), S_OK);
    EXPECT_EQ(status, 0);
    Ref<IWbemClassObject> resultObject;
    ASSERT_EQ(result->GetResultObject(0, resultObject.out()), S_OK);
    EXPECT_EQ(text(resultObject.get(), L"ResultingSystem"), machinePath);

    Ref<IWbemClassObject> machine;
    ASSERT_EQ(getObject(services.get(), machinePath, machine), S_OK);
    EXPECT_EQ(text(machine.get(), L"ElementName"), L"vm1");
    ASSERT_EQ(HyperVSim::Control::machines().size(), 1u);
    EXPECT_EQ(HyperVSim::Control::machines()[0].path, machinePath);
}

TEST_F(MethodTest, AMethodsOwnRefusalArrivesAsItsReturnValue) {
    Ref<IWbemClassObject> out;
    Ref<IWbemCallResult> result;
    ASSERT_EQ(define(L"<not an instance", out, result), S_OK);
    EXPECT_EQ(i4(out.get(), L"ReturnValue"), 32773);
    EXPECT_EQ(typeOf(out.get(), L"ResultingSystem"), VT_NULL);
    EXPECT_TRUE(HyperVSim::Control::machines().empty());
}

TEST_F(MethodTest, ExecMethodChecksPathMethodAndParametersFirst) {
    auto requestParameters = parametersOf(L"Msvm_ComputerSystem", L"RequestStateChange");
    Ref<IWbemClassObject> vssdClass, vssd;
    ASSERT_EQ(getObject(services.get(), L"Msvm_VirtualSystemSettingData", vssdClass), S_OK);
    ASSERT_EQ(vssdClass->SpawnInstance(0, vssd.out()), S_OK);

    const std::wstring service = servicePath();
    const std::wstring missingMachine =
        L"Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"00000000-0000-0000-0000-"
        L"000000000000\"";
    struct Case {
        std::wstring path, method;
        IWbemClassObject* in;
        HRESULT expected;
    };
    const Case cases[] = {
        {service, L"NoSuchMethod", nullptr, wbem(WBEM_E_INVALID_METHOD)},
        {service, L"DefineSystem", requestParameters.get(), wbem(WBEM_E_INVALID_METHOD_PARAMETERS)},
        {service, L"DefineSystem", vssd.get(), wbem(WBEM_E_INVALID_METHOD_PARAMETERS)},
        {service, L"DefineSystem", vssdClass.get(), wbem(WBEM_E_INVALID_METHOD_PARAMETERS)},
        {L"Msvm_ComputerSystem.Name=", L"RequestStateChange", nullptr, wbem(WBEM_E_INVALID_OBJECT_PATH)},
        {L"Msvm_NoSuchClass.Name=\"x\"", L"RequestStateChange", nullptr, wbem(WBEM_E_INVALID_CLASS)},
        {missingMachine, L"RequestStateChange", requestParameters.get(), wbem(WBEM_E_NOT_FOUND)},
        {service, L"RemoveResourceSettings", nullptr, wbem(WBEM_E_NOT_SUPPORTED)},  // no handler
    };
    for (const auto& c : cases) {
        Bstr path(c.path), method(c.method);
        Ref<IWbemClassObject> out;
        Ref<IWbemCallResult> result;
        EXPECT_EQ(services->ExecMethod(path.get(), method.get(), 0, nullptr, c.in, out.out(), result.out()),
                  c.expected)
            << std::string(c.method.begin(), c.method.end());
        EXPECT_FALSE(out);
        EXPECT_FALSE(result);
    }
}

TEST_F(MethodTest, TextSourceWritesObjectsAsCimXmlAndReadsThemBack) {
    auto switches = queryAll(services.get(), L"select * from Msvm_VirtualEthernetSwitch");
    ASSERT_FALSE(switches.empty());
    const std::wstring xml = embeddedText(switches[0].get());
    EXPECT_EQ(xml.rfind(L"<INSTANCE CLASSNAME=\"Msvm_VirtualEthernetSwitch\"", 0), 0u);
    EXPECT_NE(xml.find(L"<VALUE>Default Switch</VALUE>"), std::wstring::npos);
    EXPECT_NE(xml.find(L"CLASSORIGIN=\"___SYSTEM\""), std::wstring::npos);

    Ref<IWbemObjectTextSrc> source;
    ASSERT_EQ(CoCreateInstance(CLSID_WbemObjectTextSrc, nullptr, CLSCTX_ALL, IID_IWbemObjectTextSrc,
                               reinterpret_cast<void**>(source.out())),
              S_OK);
    BSTR other = nullptr;
    EXPECT_EQ(source->GetText(0, switches[0].get(), WMI_OBJ_TEXT_WMI_DTD_2_0, nullptr, &other),
              wbem(WBEM_E_NOT_SUPPORTED));
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(source->GetText(0, nullptr, WMI_OBJ_TEXT_CIM_DTD_2_0, nullptr, &other),
              wbem(WBEM_E_INVALID_PARAMETER));

    Bstr text(xml);
    Ref<IWbemClassObject> copy;
    ASSERT_EQ(source->CreateFromText(0, text.get(), WMI_OBJ_TEXT_CIM_DTD_2_0, nullptr, copy.out()), S_OK);
    EXPECT_EQ(HyperVSimTest::text(copy.get(), L"ElementName"), L"Default Switch");
    EXPECT_EQ(typeOf(copy.get(), L"__PATH"), VT_NULL);
}

}  // namespace
}  // namespace HyperVSimTest
