#include <stdexcept>

#include "CimXml.h"
#include "Text.h"
#include "Xml.h"

namespace HyperVSim::cimxml {
namespace {

// Thrown inside the reader only; readInstance turns it into ReadResult::error.
struct ReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

std::wstring readValue(const XmlElement& value, const CimProperty& property, const std::string& name) {
    if (!value.children.empty()) {
        throw ReadError("VALUE of property " + quoted(name) + " contains element " +
                        quoted(value.children[0].name));
    }
    std::wstring text = fromUtf8(value.text);
    if (property.type != CimType::Boolean) return text;
    // Hand-built documents send lower-case booleans; the structure always holds the upper-case form WMI writes.
    if (equalsIgnoringCase(text, L"true")) return L"TRUE";
    if (equalsIgnoringCase(text, L"false")) return L"FALSE";
    throw ReadError("boolean property " + quoted(name) + " has value " + quoted(value.text));
}

std::vector<std::wstring> readArrayValues(const XmlElement& array, const CimProperty& property,
                                          const std::string& name) {
    std::vector<std::wstring> values;
    for (const auto& child : array.children) {
        if (child.name == "VALUE.NULL") {
            throw ReadError("array property " + quoted(name) + " has a NULL element, which is not supported");
        }
        if (child.name != "VALUE") {
            throw ReadError("VALUE.ARRAY of property " + quoted(name) + " contains " + quoted(child.name));
        }
        values.push_back(readValue(child, property, name));
    }
    return values;
}

bool readPropagated(const XmlElement& element, const std::string& name) {
    const std::string* propagated = element.attribute("PROPAGATED");
    if (!propagated || *propagated == "false") return false;
    if (*propagated == "true") return true;
    throw ReadError("property " + quoted(name) + " has PROPAGATED=" + quoted(*propagated));
}

CimProperty readProperty(const XmlElement& element) {
    const bool isArray = element.name == "PROPERTY.ARRAY";
    const std::string* name = element.attribute("NAME");
    if (!name || name->empty()) throw ReadError(element.name + " without NAME");
    const std::string* typeName = element.attribute("TYPE");
    if (!typeName) throw ReadError("property " + quoted(*name) + " without TYPE");
    // A reference property has an element of its own (PROPERTY.REFERENCE), never a TYPE name.
    const auto type = cimTypeFromName(fromUtf8(*typeName));
    if (!type || *type == CimType::Reference)
        throw ReadError("property " + quoted(*name) + " has unknown TYPE " + quoted(*typeName));

    CimProperty property;
    property.name = fromUtf8(*name);
    property.type = *type;
    property.isArray = isArray;
    if (const std::string* origin = element.attribute("CLASSORIGIN")) property.classOrigin = fromUtf8(*origin);
    property.propagated = readPropagated(element, *name);

    for (const auto& child : element.children) {
        if (child.name == "QUALIFIER") continue;  // qualifiers carry nothing the host keeps per instance
        if (property.values) throw ReadError("property " + quoted(*name) + " has more than one value");
        if (isArray && child.name == "VALUE.ARRAY") {
            property.values = readArrayValues(child, property, *name);
        } else if (!isArray && child.name == "VALUE") {
            property.values = std::vector<std::wstring>{readValue(child, property, *name)};
        } else if (isArray && child.name == "VALUE") {
            throw ReadError("array property " + quoted(*name) + " has a bare VALUE instead of VALUE.ARRAY");
        } else if (!isArray && child.name == "VALUE.ARRAY") {
            throw ReadError("scalar property " + quoted(*name) + " has a VALUE.ARRAY");
        } else {
            throw ReadError("property " + quoted(*name) + " contains " + quoted(child.name));
        }
    }
    return property;
}

bool isSystemPropertyName(std::wstring_view name) {
    return name.starts_with(L"__");
}

void rejectDuplicate(const CimInstance& instance, const CimProperty& property) {
    for (const auto* list : {&instance.systemProperties, &instance.properties}) {
        for (const auto& existing : *list) {
            // Property names in WMI do not depend on case, so "Name" and "NAME" are the same property.
            if (equalsIgnoringCase(existing.name, property.name)) {
                throw ReadError("duplicate property " + quoted(toUtf8(property.name)));
            }
        }
    }
}

CimInstance readRoot(const XmlElement& root) {
    if (root.name != "INSTANCE") throw ReadError("root element is " + quoted(root.name) + ", expected 'INSTANCE'");
    const std::string* className = root.attribute("CLASSNAME");
    if (!className) throw ReadError("INSTANCE without CLASSNAME");
    if (className->empty()) throw ReadError("INSTANCE with an empty CLASSNAME");

    CimInstance instance;
    instance.className = fromUtf8(*className);
    for (const auto& child : root.children) {
        if (child.name == "QUALIFIER") continue;
        if (child.name == "PROPERTY.REFERENCE") throw ReadError("reference properties are not supported");
        if (child.name != "PROPERTY" && child.name != "PROPERTY.ARRAY") {
            throw ReadError("INSTANCE contains " + quoted(child.name));
        }
        CimProperty property = readProperty(child);
        rejectDuplicate(instance, property);
        auto& list = isSystemPropertyName(property.name) ? instance.systemProperties : instance.properties;
        list.push_back(std::move(property));
    }
    return instance;
}

}  // namespace

ReadResult readInstance(std::wstring_view text) {
    XmlParseResult parsed = parseXml(toUtf8(text));
    if (!parsed.root) return {std::nullopt, std::move(parsed.error)};
    try {
        return {readRoot(*parsed.root), {}};
    } catch (const ReadError& error) {
        return {std::nullopt, error.what()};
    }
}

}  // namespace HyperVSim::cimxml
