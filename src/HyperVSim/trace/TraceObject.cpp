#include "trace/TraceObject.h"

#include "com/ComRef.h"
#include "trace/ObjectReading.h"

namespace HyperVSim {
namespace {

std::vector<RecordedProperty> referencesOf(const ObjectRecord& record) {
    std::vector<RecordedProperty> references;
    if (record.isClass) return references;
    for (const auto& property : record.properties)
        if (property.type == CimType::Reference) references.push_back(property);
    return references;
}

}  // namespace

TraceObject traceObject(const ObjectRecord& record) {
    return TraceObject{writeObjectXml(record), false, referencesOf(record)};
}

HRESULT traceObject(IWbemClassObject* object, IWbemObjectTextSrc* textSource, TraceObject& out) {
    ObjectRecord record;
    const HRESULT hr = readObject(object, record);
    if (FAILED(hr)) return hr;
    out = traceObject(record);
    if (record.isClass || !textSource) return S_OK;
    BSTR text = nullptr;
    if (FAILED(textSource->GetText(0, object, WMI_OBJ_TEXT_CIM_DTD_2_0, nullptr, &text)) || !text) return S_OK;
    OwnedBstr owned(text);
    out.xml.assign(text, SysStringLen(text));
    out.fromTextSource = true;
    return S_OK;
}

ObjectXmlRead recordOf(const TraceObject& object) {
    ObjectXmlRead read = readObjectXml(object.xml);
    if (!read.record) return read;
    for (const auto& reference : object.references) {
        if (RecordedProperty* property = read.record->property(reference.name)) {
            property->type = CimType::Reference;
            property->isArray = reference.isArray;
            property->values = reference.values;
        } else {
            read.record->properties.push_back(reference);
        }
    }
    return read;
}

}  // namespace HyperVSim
