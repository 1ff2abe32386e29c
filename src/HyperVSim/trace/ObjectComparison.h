// Holding two objects against each other: a replayed call's input against the recorded one (content only),
// and an object the model hands back against the recorded host's (classes, property types and values).
// System properties are left out: they follow from the class and the object's place. A text that holds a
// CIM-XML instance (an embedded instance) is compared as the instance it holds, whoever wrote the text.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trace/ObjectRecord.h"

namespace HyperVSim {

// Whether a text at some place counts as the recorded one.
using SameText = std::function<bool(std::wstring_view actual, std::wstring_view recorded)>;

// The first way in which `actual` differs from `recorded` in its class and property values (a property one
// of them lacks counts as NULL), e.g. "property ElementName: "a" where the trace has "b""; nullopt when none.
std::optional<std::wstring> contentDifference(const ObjectRecord& actual, const ObjectRecord& recorded,
                                              const SameText& same);

// Every way in which the model's object differs from the recorded one: class, properties only one of them
// has, property types, and values (datetime values left out: they are time stamps).
std::vector<std::wstring> modelDifferences(const ObjectRecord& model, const ObjectRecord& recorded,
                                           const SameText& same);

// A short description for messages: "Msvm_ComputerSystem instance", "__PARAMETERS class", ...
std::wstring describeObject(const ObjectRecord& record);

}  // namespace HyperVSim
