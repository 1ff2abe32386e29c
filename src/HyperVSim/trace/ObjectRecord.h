// A WMI object as a trace holds it: its class, system properties, properties with their CIM types and values
// as text, and for a class definition its methods with their parameters. Recording fills it by reading an
// object through IWbemClassObject (trace/ObjectReading.h) or from CIM-XML (trace/ObjectXml.h); replay
// rebuilds an object of the host from it (trace/ObjectRebuild.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/Value.h"

namespace HyperVSim {

struct RecordedProperty {
    std::wstring name;
    CimType type = CimType::String;
    bool isArray = false;
    std::wstring classOrigin;  // empty when unknown
    bool key = false;
    bool propagated = false;  // the value still comes from the class
    // One text per element in the CIM-XML spelling (decimal numbers, TRUE/FALSE); nullopt is NULL.
    std::optional<std::vector<std::wstring>> values;
};

// A method with its parameters as GetMethod defines them: `in` and `out` are the properties of the input and
// output definitions (the output's ReturnValue included). A method without inputs has no input definition.
struct RecordedMethod {
    std::wstring name;
    std::wstring classOrigin;
    bool hasInput = false;
    std::vector<RecordedProperty> in;
    std::vector<RecordedProperty> out;
};

struct ObjectRecord {
    bool isClass = false;
    std::wstring className;
    std::vector<RecordedProperty> systemProperties;  // __PATH, __CLASS, ... as the object had them
    std::vector<RecordedProperty> properties;
    std::vector<RecordedMethod> methods;  // class definitions only

    // Case-insensitive lookups; nullptr when there is none.
    const RecordedProperty* property(std::wstring_view name) const;
    const RecordedProperty* systemProperty(std::wstring_view name) const;
    RecordedProperty* property(std::wstring_view name);
};

// The text of a scalar value, nullopt for NULL or an array.
std::optional<std::wstring> scalarText(const RecordedProperty& property);

}  // namespace HyperVSim
