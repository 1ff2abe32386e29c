// The Hyper-V methods as a client calls them: parameter objects spawned from the class, embedded instances
// made by the object text source, outputs and jobs read back through WMI.
#pragma once

#include <string>
#include <vector>

#include "WmiClient.h"

namespace HyperVSimTest {

struct Job {
    LONG state = -1;
    LONG errorCode = -1;
    std::wstring description;
};

struct Call {
    HRESULT status = E_FAIL;
    Ref<IWbemClassObject> out;
    LONG returnValue() const { return out ? i4(out.get(), L"ReturnValue") : -1; }
    VARTYPE typeOf(const std::wstring& name) const { return HyperVSimTest::typeOf(out.get(), name); }
};

class ModelTest : public HostTest {
protected:
    std::wstring servicePath() {
        auto found = queryAll(services.get(), L"select * from Msvm_VirtualSystemManagementService");
        return found.empty() ? std::wstring() : text(found[0].get(), L"__PATH");
    }

    Ref<IWbemClassObject> parametersOf(const std::wstring& className, const std::wstring& method) {
        Ref<IWbemClassObject> definition, in, parameters;
        EXPECT_EQ(getObject(services.get(), className, definition), S_OK);
        if (!definition) return parameters;
        EXPECT_EQ(definition->GetMethod(method.c_str(), 0, in.out(), nullptr), S_OK);
        if (in) {
            EXPECT_EQ(in->SpawnInstance(0, parameters.out()), S_OK);
        }
        return parameters;
    }

    Ref<IWbemClassObject> object(const std::wstring& path) {
        Ref<IWbemClassObject> result;
        EXPECT_EQ(getObject(services.get(), path, result), S_OK) << narrow(path);
        return result;
    }

    Ref<IWbemClassObject> spawn(const std::wstring& className) {
        Ref<IWbemClassObject> definition, instance;
        EXPECT_EQ(getObject(services.get(), className, definition), S_OK);
        if (definition) {
            EXPECT_EQ(definition->SpawnInstance(0, instance.out()), S_OK);
        }
        return instance;
    }

    static void put(IWbemClassObject* target, const std::wstring& name, Var value) {
        EXPECT_EQ(target->Put(name.c_str(), 0, value.get(), 0), S_OK) << narrow(name);
    }

    static std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

    std::wstring embeddedText(IWbemClassObject* source) {
        Ref<IWbemObjectTextSrc> textSource;
        EXPECT_EQ(CoCreateInstance(CLSID_WbemObjectTextSrc, nullptr, CLSCTX_ALL, IID_IWbemObjectTextSrc,
                                   reinterpret_cast<void**>(textSource.out())),
                  S_OK);
        BSTR result = nullptr;
        EXPECT_EQ(textSource->GetText(0, source, WMI_OBJ_TEXT_CIM_DTD_2_0, nullptr, &result), S_OK);
        std::wstring copy = result ? result : L"";
        SysFreeString(result);
        return copy;
    }

    Call run(const std::wstring& path, const std::wstring& method, IWbemClassObject* parameters) {
        Call call;
        Bstr target(path), name(method);
        call.status =
            services->ExecMethod(target.get(), name.get(), 0, nullptr, parameters, call.out.out(), nullptr);
        return call;
    }

    Job jobOf(const Call& call) {
        Job job;
        const std::wstring path = text(call.out.get(), L"Job");
        auto found = object(path);
        if (!found) return job;
        job.state = i4(found.get(), L"JobState");
        job.errorCode = i4(found.get(), L"ErrorCode");
        Var description;
        EXPECT_EQ(found->Get(L"ErrorDescription", 0, description.get(), nullptr, nullptr), S_OK);
        if (description->vt == VT_BSTR) job.description = description->bstrVal;
        return job;
    }

    // DefineSystem with the text of a spawned settings object carrying `name` (and `subType` unless empty).
    Call defineSystem(const std::wstring& settingsText) {
        auto parameters = parametersOf(L"Msvm_VirtualSystemManagementService", L"DefineSystem");
        put(parameters.get(), L"SystemSettings", Var::text(settingsText));
        return run(servicePath(), L"DefineSystem", parameters.get());
    }
    std::wstring settingsText(const std::wstring& name, const std::wstring& subType = {},
                              const std::wstring& root = {}) {
        auto settings = spawn(L"Msvm_VirtualSystemSettingData");
        put(settings.get(), L"ElementName", Var::text(name));
        if (!subType.empty()) put(settings.get(), L"VirtualSystemSubType", Var::text(subType));
        if (!root.empty()) put(settings.get(), L"ConfigurationDataRoot", Var::text(root));
        return embeddedText(settings.get());
    }
    std::wstring defineMachine(const std::wstring& name, int generation = 1) {
        Call call = defineSystem(settingsText(name, L"Microsoft:Hyper-V:SubType:" + std::to_wstring(generation)));
        EXPECT_EQ(call.status, S_OK);
        EXPECT_EQ(call.returnValue(), 0);
        return call.out ? text(call.out.get(), L"ResultingSystem") : std::wstring();
    }

    std::vector<Ref<IWbemClassObject>> associated(const std::wstring& path, const std::wstring& resultClass) {
        return queryAll(services.get(), L"associators of {" + path + L"} where ResultClass = " + resultClass);
    }
    std::wstring settingsPathOf(const std::wstring& machinePath) {
        auto settings = associated(machinePath, L"Msvm_VirtualSystemSettingData");
        return settings.empty() ? std::wstring() : text(settings[0].get(), L"__PATH");
    }
    // The resource of the machine whose ResourceSubType ends in `kind` ("Emulated IDE Controller", ...).
    std::vector<std::wstring> resourcesOf(const std::wstring& machinePath, const std::wstring& kind) {
        std::vector<std::wstring> paths;
        for (auto& resource : associated(settingsPathOf(machinePath), L"CIM_ResourceAllocationSettingData"))
            if (text(resource.get(), L"ResourceSubType") == L"Microsoft:Hyper-V:" + kind)
                paths.push_back(text(resource.get(), L"__PATH"));
        return paths;
    }

    // A pool's Default template, found as clients find it.
    Ref<IWbemClassObject> defaultTemplate(const std::wstring& className, const std::wstring& kind) {
        for (auto& candidate : queryAll(services.get(), L"select * from " + className +
                                                            L" where ResourceSubType = 'Microsoft:Hyper-V:" + kind +
                                                            L"' and InstanceID like '%\\\\Default'"))
            return std::move(candidate);
        ADD_FAILURE() << "no template for " << narrow(kind);
        return {};
    }

    Call addResource(const std::wstring& settingsPath, const std::vector<std::wstring>& texts) {
        auto parameters = parametersOf(L"Msvm_VirtualSystemManagementService", L"AddResourceSettings");
        put(parameters.get(), L"AffectedConfiguration", Var::text(settingsPath));
        put(parameters.get(), L"ResourceSettings", Var::texts(texts));
        return run(servicePath(), L"AddResourceSettings", parameters.get());
    }
    Call addResource(const std::wstring& settingsPath, IWbemClassObject* resource) {
        return addResource(settingsPath, std::vector<std::wstring>{embeddedText(resource)});
    }
    // The path of what AddResourceSettings created; fails the test when it was refused.
    std::wstring added(const Call& call) {
        EXPECT_EQ(call.status, S_OK);
        EXPECT_EQ(call.returnValue(), 0);
        Var value;
        if (!call.out || call.out->Get(L"ResultingResourceSettings", 0, value.get(), nullptr, nullptr) != S_OK ||
            value->vt != (VT_ARRAY | VT_BSTR))
            return {};
        LONG index = 0;
        BSTR element = nullptr;
        SafeArrayGetElement(value->parray, &index, &element);
        std::wstring path = element ? element : L"";
        SysFreeString(element);
        return path;
    }

    Call modifyResource(const std::vector<std::wstring>& texts) {
        auto parameters = parametersOf(L"Msvm_VirtualSystemManagementService", L"ModifyResourceSettings");
        put(parameters.get(), L"ResourceSettings", Var::texts(texts));
        return run(servicePath(), L"ModifyResourceSettings", parameters.get());
    }

    Call requestState(const std::wstring& machinePath, SHORT state) {
        auto parameters = parametersOf(L"Msvm_ComputerSystem", L"RequestStateChange");
        put(parameters.get(), L"RequestedState", Var::i2(state));
        return run(machinePath, L"RequestStateChange", parameters.get());
    }

    Call destroy(const std::wstring& machinePath) {
        auto parameters = parametersOf(L"Msvm_VirtualSystemManagementService", L"DestroySystem");
        put(parameters.get(), L"AffectedSystem", Var::text(machinePath));
        return run(servicePath(), L"DestroySystem", parameters.get());
    }
};

}  // namespace HyperVSimTest
