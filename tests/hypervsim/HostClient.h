// The simulated host as its clients meet it: the WMI calls the library makes, with owners for what they hand
// out, and the Hyper-V methods called as the library and the command call them. Each test starts on a freshly
// seeded host with COM on its thread and ends with every object the host handed out released.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <HyperVSim/Control.h>
#include <WinCompat/wbemidl.h>
#include <WinCompat/windows.h>

#include "com/ComRef.h"

namespace HyperVSimTest {

using HyperVSim::Control;
using HyperVSim::Value;
using Object = HyperVSim::ComRef<IWbemClassObject>;
using Services = HyperVSim::ComRef<IWbemServices>;
using Enumerator = HyperVSim::ComRef<IEnumWbemClassObject>;

constexpr HRESULT wbem(WBEMSTATUS code) {
    return static_cast<HRESULT>(static_cast<unsigned long>(code));
}
inline std::string narrow(const std::wstring& text) {
    return {text.begin(), text.end()};
}
inline HyperVSim::OwnedBstr bstr(const std::wstring& text) {
    return HyperVSim::OwnedBstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// Put of a value in the VARIANT the library would use: VT_NULL, VT_BSTR, VT_I4, VT_I2, VT_BOOL, VT_ARRAY|VT_BSTR.
inline HRESULT put(IWbemClassObject* object, const std::wstring& name, const Value& value) {
    HyperVSim::OwnedVariant owned;
    VARIANT& v = *owned.get();
    v.vt = VT_NULL;
    if (const auto* text = std::get_if<std::wstring>(&value)) {
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text->c_str());
    } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
        v.vt = VT_I4;
        v.lVal = *number;
    } else if (const auto* small = std::get_if<std::int16_t>(&value)) {
        v.vt = VT_I2;
        v.iVal = *small;
    } else if (const auto* flag = std::get_if<bool>(&value)) {
        v.vt = VT_BOOL;
        v.boolVal = *flag ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (const auto* texts = std::get_if<std::vector<std::wstring>>(&value)) {
        v.vt = VT_ARRAY | VT_BSTR;
        v.parray = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts->size()));
        for (LONG i = 0; i < static_cast<LONG>(texts->size()); ++i)
            SafeArrayPutElement(v.parray, &i, bstr((*texts)[static_cast<std::size_t>(i)]).get());
    }
    return object->Put(name.c_str(), 0, owned.get(), 0);
}

// A property as Get delivers it, in the same terms; a failed Get or another VARIANT type fails the test.
inline Value get(IWbemClassObject* object, const std::wstring& name, CIMTYPE* type = nullptr) {
    HyperVSim::OwnedVariant owned;
    const VARIANT& v = *owned;
    const HRESULT status = object ? object->Get(name.c_str(), 0, owned.get(), type, nullptr) : E_POINTER;
    if (status != S_OK) ADD_FAILURE() << "Get " << narrow(name) << " gave " << std::hex << status;
    if (v.vt == VT_BSTR) return v.bstrVal ? Value(std::wstring(v.bstrVal)) : Value(HyperVSim::NullString{});
    if (v.vt == VT_I4) return std::int32_t{v.lVal};
    if (v.vt == VT_I2) return std::int16_t{v.iVal};
    if (v.vt == VT_BOOL) return v.boolVal == VARIANT_TRUE;
    if (v.vt == (VT_ARRAY | VT_BSTR)) {
        std::vector<std::wstring> texts(v.parray->rgsabound[0].cElements);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const BSTR element = static_cast<BSTR*>(v.parray->pvData)[i];
            texts[i] = element ? element : L"";
        }
        return texts;
    }
    if (v.vt != VT_NULL) ADD_FAILURE() << narrow(name) << " is of VARIANT type " << v.vt;
    return {};
}
inline std::wstring text(IWbemClassObject* object, const std::wstring& name) {
    const Value value = get(object, name);
    if (const auto* held = std::get_if<std::wstring>(&value)) return *held;
    ADD_FAILURE() << narrow(name) << " is no string";
    return {};
}
inline long number(IWbemClassObject* object, const std::wstring& name) {
    const Value value = get(object, name);
    if (const auto* held = std::get_if<std::int32_t>(&value)) return *held;
    if (const auto* held = std::get_if<std::int16_t>(&value)) return *held;
    ADD_FAILURE() << narrow(name) << " is no number";
    return -1;
}
inline bool isNull(IWbemClassObject* object, const std::wstring& name) {
    return std::holds_alternative<std::monostate>(get(object, name));
}
// Properties as one line to compare whole: strings quoted, numbers bare, arrays in brackets, NULL as NULL.
inline std::wstring shown(IWbemClassObject* object, std::initializer_list<const wchar_t*> names) {
    std::wstring line;
    for (const wchar_t* name : names) {
        const Value value = get(object, name);
        line += line.empty() ? L"" : L" ";
        if (const auto* held = std::get_if<std::wstring>(&value)) line += L"'" + *held + L"'";
        if (const auto* held = std::get_if<std::int32_t>(&value)) line += std::to_wstring(*held);
        if (const auto* held = std::get_if<std::int16_t>(&value)) line += std::to_wstring(*held);
        if (const auto* held = std::get_if<bool>(&value)) line += *held ? L"true" : L"false";
        if (const auto* held = std::get_if<std::vector<std::wstring>>(&value))
            for (std::size_t i = 0; i <= held->size(); ++i)
                line += (i ? L"" : L"[") + (i < held->size() ? L"'" + (*held)[i] + L"'," : L"]");
        if (std::holds_alternative<std::monostate>(value)) line += L"NULL";
    }
    return line;
}

inline HRESULT connect(const std::wstring& name, Services& services) {
    HyperVSim::ComRef<IWbemLocator> locator;
    const HRESULT created = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_ALL, IID_IWbemLocator,
                                             reinterpret_cast<void**>(locator.put()));
    if (created != S_OK) return created;
    return locator->ConnectServer(bstr(name).get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put());
}
inline HRESULT open(IWbemServices* parent, const std::wstring& name, Services& child) {
    return parent->OpenNamespace(bstr(name).get(), 0, nullptr, child.put(), nullptr);
}
// The Hyper-V namespace, reached as the library reaches it.
inline Services hyperV() {
    Services root, child;
    if (connect(L"root", root) == S_OK) EXPECT_EQ(open(root.get(), L"virtualization\\v2", child), S_OK);
    EXPECT_TRUE(child);
    return child;
}
inline HRESULT execQuery(IWbemServices* services, const std::wstring& text, Enumerator& result,
                         LONG flags = WBEM_FLAG_RETURN_IMMEDIATELY) {
    return services->ExecQuery(bstr(L"WQL").get(), bstr(text).get(), flags, nullptr, result.put());
}
// Every object of a query, one Next at a time as the library takes them.
inline std::vector<Object> query(IWbemServices* services, const std::wstring& text) {
    std::vector<Object> objects;
    Enumerator enumerator;
    EXPECT_EQ(execQuery(services, text, enumerator), S_OK) << narrow(text);
    for (ULONG returned = 1; enumerator && returned == 1;) {
        Object object;
        const HRESULT next = enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.put(), &returned);
        EXPECT_EQ(next, returned == 1 ? S_OK : wbem(WBEM_S_FALSE));
        if (returned == 1) objects.push_back(std::move(object));
    }
    return objects;
}

struct Call {
    HRESULT status = E_FAIL;
    Object out;
    HyperVSim::ComRef<IWbemCallResult> result;
    long returnValue() const { return out ? number(out.get(), L"ReturnValue") : -1; }
};

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(CoInitializeEx(nullptr, COINIT_MULTITHREADED), 0);
        Control::reset();
        services = hyperV();
        ASSERT_TRUE(services);
    }
    void TearDown() override {
        services = nullptr;
        Control::reset();
        EXPECT_EQ(Control::liveObjects(), 0);
        CoUninitialize();
    }

    std::vector<Object> query(const std::wstring& text) { return HyperVSimTest::query(services.get(), text); }
    HRESULT getObject(const std::wstring& path, Object& object) {
        return services->GetObject(bstr(path).get(), 0, nullptr, object.put(), nullptr);
    }
    Object object(const std::wstring& path) {
        Object result;
        EXPECT_EQ(getObject(path, result), S_OK) << narrow(path);
        return result;
    }
    Object spawn(const std::wstring& className) {
        Object instance;
        EXPECT_EQ(object(className)->SpawnInstance(0, instance.put()), S_OK);
        return instance;
    }
    HyperVSim::ComRef<IWbemObjectTextSrc> textSource() {
        HyperVSim::ComRef<IWbemObjectTextSrc> source;
        CoCreateInstance(CLSID_WbemObjectTextSrc, nullptr, CLSCTX_ALL, IID_IWbemObjectTextSrc,
                         reinterpret_cast<void**>(source.put()));
        return source;
    }
    std::wstring xml(IWbemClassObject* object) {
        BSTR raw = nullptr;
        EXPECT_EQ(textSource()->GetText(0, object, WMI_OBJ_TEXT_CIM_DTD_2_0, nullptr, &raw), S_OK);
        const HyperVSim::OwnedBstr owned(raw);
        return raw ? raw : L"";
    }
    Object fromXml(const std::wstring& text, HRESULT expected = S_OK) {
        Object result;
        EXPECT_EQ(
            textSource()->CreateFromText(0, bstr(text).get(), WMI_OBJ_TEXT_CIM_DTD_2_0, nullptr, result.put()),
            expected);
        return result;
    }

    // The Hyper-V methods: parameters spawned from the class, embedded instances as GetText writes them.
    std::wstring servicePath() {
        return text(query(L"select * from Msvm_VirtualSystemManagementService").at(0).get(), L"__PATH");
    }
    Object parameters(const std::wstring& className, const std::wstring& method) {
        Object in, instance;
        EXPECT_EQ(object(className)->GetMethod(method.c_str(), 0, in.put(), nullptr), S_OK);
        if (in) EXPECT_EQ(in->SpawnInstance(0, instance.put()), S_OK);
        return instance;
    }
    Call run(const std::wstring& path, const std::wstring& method, IWbemClassObject* in) {
        Call call;
        call.status = services->ExecMethod(bstr(path).get(), bstr(method).get(), 0, nullptr, in, call.out.put(),
                                           call.result.put());
        return call;
    }
    Call serviceCall(const std::wstring& method, const std::vector<std::pair<std::wstring, Value>>& arguments) {
        auto in = parameters(L"Msvm_VirtualSystemManagementService", method);
        for (const auto& [name, value] : arguments) EXPECT_EQ(put(in.get(), name, value), S_OK) << narrow(name);
        return run(servicePath(), method, in.get());
    }
    std::wstring settingsText(const std::wstring& name, const std::wstring& subType = {}) {
        auto settings = spawn(L"Msvm_VirtualSystemSettingData");
        put(settings.get(), L"ElementName", name);
        if (!subType.empty()) put(settings.get(), L"VirtualSystemSubType", subType);
        return xml(settings.get());
    }
    Call defineSystem(const std::wstring& settings, const std::vector<std::wstring>& resources = {}) {
        std::vector<std::pair<std::wstring, Value>> arguments{{L"SystemSettings", settings}};
        if (!resources.empty()) arguments.emplace_back(L"ResourceSettings", resources);
        return serviceCall(L"DefineSystem", arguments);
    }
    std::wstring defineMachine(const std::wstring& name, int generation = 1) {
        const Call call =
            defineSystem(settingsText(name, L"Microsoft:Hyper-V:SubType:" + std::to_wstring(generation)));
        EXPECT_EQ(call.returnValue(), 0);
        return call.out ? text(call.out.get(), L"ResultingSystem") : std::wstring();
    }
    std::vector<Object> associated(const std::wstring& path, const std::wstring& resultClass) {
        return query(L"associators of {" + path + L"} where ResultClass = " + resultClass);
    }
    std::wstring settingsOf(const std::wstring& machine) {
        return text(associated(machine, L"Msvm_VirtualSystemSettingData").at(0).get(), L"__PATH");
    }
    // The machine's resources whose ResourceSubType is "Microsoft:Hyper-V:<kind>".
    std::vector<std::wstring> resourcesOf(const std::wstring& machine, const std::wstring& kind) {
        std::vector<std::wstring> paths;
        for (auto& resource : associated(settingsOf(machine), L"CIM_ResourceAllocationSettingData"))
            if (text(resource.get(), L"ResourceSubType") == L"Microsoft:Hyper-V:" + kind)
                paths.push_back(text(resource.get(), L"__PATH"));
        return paths;
    }
    // A pool's Default template, found as the command's and tests' clients find it.
    Object defaultTemplate(const std::wstring& className, const std::wstring& kind) {
        auto found = query(L"select * from " + className + L" where ResourceSubType = 'Microsoft:Hyper-V:" + kind +
                           L"' and InstanceID like '%\\\\Default'");
        EXPECT_EQ(found.size(), 1u) << narrow(kind);
        return found.empty() ? Object() : std::move(found[0]);
    }
    Call addResource(const std::wstring& target, const std::vector<std::wstring>& texts) {
        return serviceCall(L"AddResourceSettings",
                           {{L"AffectedConfiguration", target}, {L"ResourceSettings", texts}});
    }
    // The path of what AddResourceSettings created; fails the test when it was refused.
    std::wstring added(const Call& call) {
        EXPECT_EQ(call.returnValue(), 0);
        const Value value = call.out ? get(call.out.get(), L"ResultingResourceSettings") : Value();
        const auto* paths = std::get_if<std::vector<std::wstring>>(&value);
        return paths && paths->size() == 1 ? paths->front() : std::wstring();
    }
    Call modifyResource(const std::vector<std::wstring>& texts) {
        return serviceCall(L"ModifyResourceSettings", {{L"ResourceSettings", texts}});
    }
    Call requestState(const std::wstring& machine, std::int16_t state) {
        auto in = parameters(L"Msvm_ComputerSystem", L"RequestStateChange");
        put(in.get(), L"RequestedState", state);
        return run(machine, L"RequestStateChange", in.get());
    }
    Call destroy(const std::wstring& machine) {
        return serviceCall(L"DestroySystem", {{L"AffectedSystem", machine}});
    }
    // The job a method handed back: "JobState ErrorCode 'ErrorDescription'".
    std::wstring jobOf(const Call& call) {
        return shown(object(text(call.out.get(), L"Job")).get(), {L"JobState", L"ErrorCode", L"ErrorDescription"});
    }

    Services services;
};

}  // namespace HyperVSimTest
