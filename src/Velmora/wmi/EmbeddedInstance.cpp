#include "wmi/EmbeddedInstance.h"

#include <utility>

#include "log/Log.h"
#include "wmi/MethodCall.h"
#include "wmi/Query.h"
#include "wmi/SafeArray.h"
#include "wmi/Values.h"
#include "wmi/Variant.h"

namespace Velmora {

namespace {

// In-process server, in-process handler, local server and remote server: wherever the text source lives.
constexpr DWORD anyTextSourceContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

Bstr emptyText() {
    return Bstr(L"");
}

// Whether an Msvm_SettingsDefineCapabilities association names the Default template (ValueRole 0). A role
// that cannot be read ends the search: nothing can be said about that association.
Match defaultRole(IWbemClassObject* association) {
    logMessage(Info, "Get 'ValueRole'");
    Variant role;
    if (FAILED(association->Get(L"ValueRole", 0, role.put(), nullptr, nullptr))) {
        logMessage(Error, "Failed to get object field");
        return Match::Stop;
    }
    if (role.type() != VT_I4) {
        logValues(Error, "Invalid type of field, expected string, got ", role.type());
        return Match::Stop;
    }
    constexpr LONG defaultValueRole = 0;
    return role->lVal == defaultValueRole ? Match::Take : Match::Skip;
}

}  // namespace

Bstr serializeObject(IWbemClassObject* object) {
    // A fresh text source per object: none is kept or shared between calls.
    ComPtr<IWbemObjectTextSrc> textSource;
    HRESULT hr = CoCreateInstance(CLSID_WbemObjectTextSrc, nullptr, anyTextSourceContext, IID_IWbemObjectTextSrc,
                                  textSource.putVoid());
    if (FAILED(hr)) {
        logMessage(Error, "Can't create instance of IWbemObjectTextSrc");
        return emptyText();
    }
    Bstr text;
    hr = textSource->GetText(0, object, WMI_OBJ_TEXT_CIM_DTD_2_0, nullptr, text.put());
    if (FAILED(hr)) {
        logMessage(Error, "Can't serialize IWbemClassObject");
        return emptyText();
    }
    return text;
}

bool putEmbeddedInstanceList(IWbemClassObject* target, const Bstr& property, IWbemClassObject* object) {
    SafeArray list = SafeArray::create(VT_BSTR, 1);
    SafeArrayLockGuard lock(list.get());
    {
        Bstr text = serializeObject(object);
        if (text.get()) {
            auto* elements = static_cast<BSTR*>(list.get()->pvData);
            SysFreeString(std::exchange(elements[0], Bstr(text.get()).release()));
        }
    }
    return putValue(target, property, arrayValue(list.get()));
}

ComPtr<IWbemClassObject> requestDefaultObject(IWbemServices* services, IWbemClassObject* pool) {
    logMessage(Info, "Request default object form resource pool");
    const ComPtr<IWbemClassObject> capabilities =
        executeQuery(services, associationQuery(L"Associators of {", pool,
                                                L"} where ResultClass = Msvm_AllocationCapabilities AssocClass = "
                                                L"Msvm_ElementCapabilities"));
    if (!capabilities) return nullptr;

    // The associations come in no promised order: the first with the Default role is taken.
    const ComPtr<IWbemClassObject> definition =
        findInQuery(services,
                    associationQuery(L"References of {", capabilities.get(),
                                     L"} where ResultClass = Msvm_SettingsDefineCapabilities"),
                    defaultRole);
    if (!definition) return nullptr;

    logMessage(Info, "Get 'PartComponent'");
    const Bstr defaultPath = getStringField(definition.get(), Bstr(L"PartComponent"));
    return getObject(services, defaultPath);
}

}  // namespace Velmora
