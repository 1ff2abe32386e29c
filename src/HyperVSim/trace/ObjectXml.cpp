#include "trace/ObjectXml.h"

#include <algorithm>
#include <stdexcept>

#include "cimxml/Text.h"
#include "cimxml/Xml.h"
#include "parse/CaseFold.h"

namespace HyperVSim {
namespace {

using cimxml::fromUtf8;
using cimxml::toUtf8;
using cimxml::XmlElement;
using cimxml::XmlWriter;

std::string xmlText(std::wstring_view text) {
    return toUtf8(cimxml::withXmlCharactersOnly(text));
}

// References have no TYPE in CIM-XML; in an instance they are written as the strings they hold.
std::string typeAttribute(CimType type) {
    return type == CimType::Reference ? "string" : toUtf8(cimTypeName(type));
}

void writeBooleanQualifier(XmlWriter& xml, const char* name) {
    xml.startElement("QUALIFIER");
    xml.attribute("NAME", name);
    xml.attribute("TYPE", "boolean");
    xml.startElement("VALUE");
    xml.text("true");
    xml.endElement();
    xml.endElement();
}

void writeValues(XmlWriter& xml, const RecordedProperty& property) {
    if (!property.values) return;
    if (property.isArray) xml.startElement("VALUE.ARRAY");
    for (const auto& value : *property.values) {
        xml.startElement("VALUE");
        xml.text(xmlText(value));
        xml.endElement();
    }
    if (property.isArray) xml.endElement();
}

void writeProperty(XmlWriter& xml, const RecordedProperty& property, bool inClass) {
    // A class declares its references as such; their defaults are never set.
    const bool declaredReference = inClass && property.type == CimType::Reference;
    xml.startElement(declaredReference ? "PROPERTY.REFERENCE" : property.isArray ? "PROPERTY.ARRAY" : "PROPERTY");
    xml.attribute("NAME", xmlText(property.name));
    if (!property.classOrigin.empty()) xml.attribute("CLASSORIGIN", xmlText(property.classOrigin));
    if (property.propagated) xml.attribute("PROPAGATED", "true");
    if (!declaredReference) xml.attribute("TYPE", typeAttribute(property.type));
    if (property.key) writeBooleanQualifier(xml, "key");
    if (!declaredReference) writeValues(xml, property);
    xml.endElement();
}

const char* parameterElement(const RecordedProperty& parameter) {
    if (parameter.type == CimType::Reference)
        return parameter.isArray ? "PARAMETER.REFARRAY" : "PARAMETER.REFERENCE";
    return parameter.isArray ? "PARAMETER.ARRAY" : "PARAMETER";
}

void writeParameter(XmlWriter& xml, const RecordedProperty& parameter, bool in, bool out) {
    xml.startElement(parameterElement(parameter));
    xml.attribute("NAME", xmlText(parameter.name));
    if (parameter.type != CimType::Reference) xml.attribute("TYPE", typeAttribute(parameter.type));
    if (in) writeBooleanQualifier(xml, "In");
    if (out) writeBooleanQualifier(xml, "Out");
    xml.endElement();
}

const RecordedProperty* findIn(const std::vector<RecordedProperty>& list, std::wstring_view name) {
    for (const auto& candidate : list)
        if (equalsIgnoreCase(candidate.name, name)) return &candidate;
    return nullptr;
}

void writeMethod(XmlWriter& xml, const RecordedMethod& method) {
    xml.startElement("METHOD");
    xml.attribute("NAME", xmlText(method.name));
    if (const auto* returned = findIn(method.out, L"ReturnValue"))
        xml.attribute("TYPE", typeAttribute(returned->type));
    if (!method.classOrigin.empty()) xml.attribute("CLASSORIGIN", xmlText(method.classOrigin));
    for (const auto& parameter : method.in)
        writeParameter(xml, parameter, true, findIn(method.out, parameter.name));
    for (const auto& parameter : method.out) {
        if (equalsIgnoreCase(parameter.name, L"ReturnValue") || findIn(method.in, parameter.name)) continue;
        writeParameter(xml, parameter, false, true);
    }
    xml.endElement();
}

// --- reading ---

struct ReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::wstring attributeText(const XmlElement& element, std::string_view name) {
    const std::string* value = element.attribute(name);
    return value ? fromUtf8(*value) : std::wstring();
}

bool hasTrueQualifier(const XmlElement& element, std::wstring_view name) {
    for (const auto& child : element.children) {
        if (child.name != "QUALIFIER" || !equalsIgnoreCase(attributeText(child, "NAME"), name)) continue;
        for (const auto& value : child.children)
            if (value.name == "VALUE") return equalsIgnoreCase(fromUtf8(value.text), L"true");
    }
    return false;
}

std::wstring valueText(const XmlElement& value, CimType type) {
    std::wstring text = fromUtf8(value.text);
    if (type != CimType::Boolean) return text;
    if (equalsIgnoreCase(text, L"true")) return L"TRUE";
    if (equalsIgnoreCase(text, L"false")) return L"FALSE";
    return text;
}

// nullopt for a property of a form a trace does not hold.
std::optional<RecordedProperty> readProperty(const XmlElement& element) {
    RecordedProperty property;
    property.name = attributeText(element, "NAME");
    if (property.name.empty()) throw ReadError(element.name + " without NAME");
    property.classOrigin = attributeText(element, "CLASSORIGIN");
    property.propagated = equalsIgnoreCase(attributeText(element, "PROPAGATED"), L"true");
    property.key = hasTrueQualifier(element, L"key");
    if (element.name == "PROPERTY.REFERENCE") {
        property.type = CimType::Reference;
        return property;
    }
    property.isArray = element.name == "PROPERTY.ARRAY";
    const auto type = cimTypeFromName(attributeText(element, "TYPE"));
    if (!type) return std::nullopt;
    property.type = *type;
    for (const auto& child : element.children) {
        if (child.name == "VALUE" && !property.isArray) {
            property.values = std::vector<std::wstring>{valueText(child, property.type)};
        } else if (child.name == "VALUE.ARRAY" && property.isArray) {
            property.values.emplace();
            for (const auto& item : child.children) {
                if (item.name != "VALUE" && item.name != "VALUE.NULL") return std::nullopt;
                property.values->push_back(valueText(item, property.type));
            }
        } else if (child.name != "QUALIFIER") {
            return std::nullopt;
        }
    }
    return property;
}

RecordedProperty readParameter(const XmlElement& element) {
    RecordedProperty parameter;
    parameter.name = attributeText(element, "NAME");
    if (parameter.name.empty()) throw ReadError(element.name + " without NAME");
    parameter.isArray = element.name == "PARAMETER.ARRAY" || element.name == "PARAMETER.REFARRAY";
    if (element.name == "PARAMETER.REFERENCE" || element.name == "PARAMETER.REFARRAY") {
        parameter.type = CimType::Reference;
        return parameter;
    }
    const auto type = cimTypeFromName(attributeText(element, "TYPE"));
    if (!type) throw ReadError("parameter '" + toUtf8(parameter.name) + "' of unknown TYPE");
    parameter.type = *type;
    return parameter;
}

RecordedMethod readMethod(const XmlElement& element) {
    RecordedMethod method;
    method.name = attributeText(element, "NAME");
    if (method.name.empty()) throw ReadError("METHOD without NAME");
    method.classOrigin = attributeText(element, "CLASSORIGIN");
    for (const auto& child : element.children) {
        if (!child.name.starts_with("PARAMETER")) continue;
        const RecordedProperty parameter = readParameter(child);
        if (hasTrueQualifier(child, L"In")) method.in.push_back(parameter);
        if (hasTrueQualifier(child, L"Out")) method.out.push_back(parameter);
    }
    method.hasInput = !method.in.empty();
    const std::wstring returnType = attributeText(element, "TYPE");
    if (!returnType.empty()) {
        const auto type = cimTypeFromName(returnType);
        if (!type) throw ReadError("method '" + toUtf8(method.name) + "' of unknown TYPE");
        RecordedProperty returned;
        returned.name = L"ReturnValue";
        returned.type = *type;
        method.out.push_back(std::move(returned));
    }
    return method;
}

ObjectRecord readRoot(const XmlElement& root) {
    ObjectRecord record;
    if (root.name == "INSTANCE") {
        record.className = attributeText(root, "CLASSNAME");
    } else if (root.name == "CLASS") {
        record.isClass = true;
        record.className = attributeText(root, "NAME");
    } else {
        throw ReadError("the root element is '" + root.name + "', not INSTANCE or CLASS");
    }
    if (record.className.empty()) throw ReadError(root.name + " without a class name");
    for (const auto& child : root.children) {
        if (child.name == "METHOD") {
            if (record.isClass) record.methods.push_back(readMethod(child));
            continue;
        }
        if (!child.name.starts_with("PROPERTY")) continue;
        auto property = readProperty(child);
        if (!property) continue;
        auto& list = property->name.starts_with(L"__") ? record.systemProperties : record.properties;
        list.push_back(std::move(*property));
    }
    return record;
}

}  // namespace

std::wstring writeObjectXml(const ObjectRecord& record) {
    std::vector<const RecordedProperty*> sorted;
    for (const auto& property : record.properties) sorted.push_back(&property);
    std::stable_sort(sorted.begin(), sorted.end(), [](const RecordedProperty* a, const RecordedProperty* b) {
        return compareIgnoreCase(a->name, b->name) < 0;
    });

    XmlWriter xml;
    if (record.isClass) {
        xml.startElement("CLASS");
        xml.attribute("NAME", xmlText(record.className));
        if (const auto* superclass = record.systemProperty(L"__SUPERCLASS"))
            if (const auto text = scalarText(*superclass)) xml.attribute("SUPERCLASS", xmlText(*text));
    } else {
        xml.startElement("INSTANCE");
        xml.attribute("CLASSNAME", xmlText(record.className));
    }
    for (const auto& property : record.systemProperties) writeProperty(xml, property, false);
    for (const auto* property : sorted) writeProperty(xml, *property, record.isClass);
    for (const auto& method : record.methods) writeMethod(xml, method);
    xml.endElement();
    return fromUtf8(xml.result());
}

ObjectXmlRead readObjectXml(std::wstring_view text) {
    auto parsed = cimxml::parseXml(toUtf8(text));
    if (!parsed.root) return {std::nullopt, std::move(parsed.error)};
    try {
        return {readRoot(*parsed.root), {}};
    } catch (const ReadError& error) {
        return {std::nullopt, error.what()};
    }
}

}  // namespace HyperVSim
