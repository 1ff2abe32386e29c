// Conversions between the model's instances and their CIM-XML form: the text that GetText hands out, and
// the embedded instances that method calls bring in.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cimxml/CimXml.h"
#include "model/Instance.h"

namespace HyperVSim {

// Whether the object lives in the repository (its path is known) or is a client's spawned copy, for
// which WMI leaves __PATH, __NAMESPACE and __SERVER empty even when the keys are set.
enum class ObjectOrigin { Stored, Spawned };

// System properties first (CLASSORIGIN "___SYSTEM"), then every property of the class. Properties that
// still carry the class default are PROPAGATED; references are written as plain strings holding paths.
cimxml::CimInstance toCimInstance(const Instance& instance, ObjectOrigin origin = ObjectOrigin::Stored);
std::wstring toCimXml(const Instance& instance, ObjectOrigin origin = ObjectOrigin::Stored);

struct ConvertedInstance {
    Instance instance;
    // The class properties the text named (with or without a value), as the schema spells them.
    std::vector<std::wstring> named;
};

struct ConversionResult {
    std::optional<ConvertedInstance> value;
    std::wstring error;  // why the text was refused; empty when `value` is set
};

// Builds an instance of the text's class: values are read by the declared type of each property. Fails for
// an unknown class, an unknown property, a value that does not convert or an array where the class has a
// scalar (or the reverse). System properties are ignored. A property that arrives without a value is NULL.
// A PROPAGATED property whose value is the class default stays a class default (not explicitly set).
ConversionResult fromCimInstance(const cimxml::CimInstance& embedded);
// readInstance followed by fromCimInstance.
ConversionResult fromCimXml(std::wstring_view text);

}  // namespace HyperVSim
