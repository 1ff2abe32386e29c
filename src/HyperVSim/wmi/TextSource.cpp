#include "wmi/TextSource.h"

#include <exception>

#include "com/Status.h"
#include "model/CimConversion.h"
#include "wmi/Call.h"
#include "wmi/ClassObject.h"

namespace HyperVSim {
namespace {

HRESULT checkFormat(ULONG format) {
    if (format == WMI_OBJ_TEXT_CIM_DTD_2_0) return S_OK;
    if (format >= WMI_OBJ_TEXT_WMI_DTD_2_0 && format <= WMI_OBJ_TEXT_WMI_EXT2) return wbem(WBEM_E_NOT_SUPPORTED);
    return wbem(WBEM_E_INVALID_PARAMETER);
}

// An object replayed from a trace keeps the system properties the recorded host gave it.
std::wstring cimXmlOf(const ObjectState& state) {
    const ObjectOrigin origin = state.stored ? ObjectOrigin::Stored : ObjectOrigin::Spawned;
    if (!state.recordedSystem) return toCimXml(state.instance(), origin);
    cimxml::CimInstance instance = toCimInstance(state.instance(), origin);
    instance.systemProperties.clear();
    for (const auto& [name, value] : *state.recordedSystem) {
        cimxml::CimProperty property;
        property.name = name;
        property.type = value.type() == CimType::Sint32 ? CimType::Sint32 : CimType::String;
        property.isArray = value.isArray();
        property.classOrigin = L"___SYSTEM";
        property.values = value.toText();
        instance.systemProperties.push_back(std::move(property));
    }
    return cimxml::writeInstance(instance);
}

}  // namespace

HRESULT TextSource::GetText(LONG, IWbemClassObject* pObj, ULONG uObjTextFormat, IWbemContext*, BSTR* strText) {
    const ClassObject* object = pObj ? ClassObject::of(pObj) : nullptr;
    Call call("GetText", object ? object->state().instance().className() : std::wstring());
    if (!pObj || !strText) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *strText = nullptr;
    if (const auto failure = call.failure()) return call.finish(*failure);
    const HRESULT format = checkFormat(uObjTextFormat);
    if (format < 0) return call.finish(format);
    if (!object || object->state().isClass) return call.finish(wbem(WBEM_E_INVALID_OBJECT));
    std::wstring text;
    try {
        text = cimXmlOf(object->state());
    } catch (const std::bad_alloc&) {
        return call.finish(wbem(WBEM_E_OUT_OF_MEMORY));
    } catch (const std::exception&) {
        return call.finish(wbem(WBEM_E_INVALID_OBJECT));
    }
    *strText = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
    return call.finish(*strText ? S_OK : wbem(WBEM_E_OUT_OF_MEMORY));
}

HRESULT TextSource::CreateFromText(LONG, BSTR strText, ULONG uObjTextFormat, IWbemContext*,
                                   IWbemClassObject** pNewObj) {
    Call call("CreateFromText", {});
    if (!strText || !pNewObj) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *pNewObj = nullptr;
    if (const auto failure = call.failure()) return call.finish(*failure);
    const HRESULT format = checkFormat(uObjTextFormat);
    if (format < 0) return call.finish(format);
    auto read = fromCimXml(std::wstring_view(strText, SysStringLen(strText)));
    if (!read.value) return call.finish(wbem(WBEM_E_INVALID_SYNTAX));
    handOut(makeObject<ClassObject>(ObjectState::ofFresh(std::move(read.value->instance))), pNewObj);
    return call.finish(S_OK);
}

}  // namespace HyperVSim
