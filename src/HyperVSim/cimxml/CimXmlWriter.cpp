#include <algorithm>
#include <stdexcept>

#include "CimXml.h"
#include "Text.h"
#include "Xml.h"

namespace HyperVSim::cimxml {
namespace {

std::string xmlText(std::wstring_view text) {
    return toUtf8(withXmlCharactersOnly(text));
}

std::wstring valueText(const CimProperty& property, const std::wstring& value) {
    if (property.type != CimType::Boolean) return value;
    if (equalsIgnoringCase(value, L"true")) return L"TRUE";
    if (equalsIgnoringCase(value, L"false")) return L"FALSE";
    throw std::invalid_argument("boolean property holds neither TRUE nor FALSE");
}

void writeValue(XmlWriter& xml, const CimProperty& property, const std::wstring& value) {
    xml.startElement("VALUE");
    xml.text(xmlText(valueText(property, value)));
    xml.endElement();
}

void writeProperty(XmlWriter& xml, const CimProperty& property) {
    if (property.name.empty()) throw std::invalid_argument("property without a name");
    if (property.type == CimType::Reference) throw std::invalid_argument("CIM-XML has no reference TYPE");
    if (!property.isArray && property.values && property.values->size() != 1) {
        throw std::invalid_argument("scalar property must hold exactly one value");
    }

    xml.startElement(property.isArray ? "PROPERTY.ARRAY" : "PROPERTY");
    xml.attribute("NAME", xmlText(property.name));
    if (!property.classOrigin.empty()) xml.attribute("CLASSORIGIN", xmlText(property.classOrigin));
    if (property.propagated) xml.attribute("PROPAGATED", "true");
    xml.attribute("TYPE", toUtf8(cimTypeName(property.type)));

    if (property.values && property.isArray) {
        // An empty array keeps its VALUE.ARRAY so that it stays distinct from a NULL array.
        xml.startElement("VALUE.ARRAY");
        for (const auto& value : *property.values) writeValue(xml, property, value);
        xml.endElement();
    } else if (property.values) {
        writeValue(xml, property, property.values->front());
    }
    xml.endElement();
}

}  // namespace

std::wstring writeInstance(const CimInstance& instance) {
    if (instance.className.empty()) throw std::invalid_argument("instance without a class name");

    std::vector<const CimProperty*> sorted;
    sorted.reserve(instance.properties.size());
    for (const auto& property : instance.properties) sorted.push_back(&property);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const CimProperty* a, const CimProperty* b) { return lessIgnoringCase(a->name, b->name); });

    XmlWriter xml;
    xml.startElement("INSTANCE");
    xml.attribute("CLASSNAME", xmlText(instance.className));
    for (const auto& property : instance.systemProperties) writeProperty(xml, property);
    for (const auto* property : sorted) writeProperty(xml, *property);
    xml.endElement();
    return fromUtf8(xml.result());
}

}  // namespace HyperVSim::cimxml
