#include "trace/ObjectComparison.h"

#include <cwchar>

#include "parse/CaseFold.h"
#include "trace/ObjectXml.h"

namespace HyperVSim {
namespace {

bool holdsInstance(std::wstring_view text) {
    const std::size_t start = text.find_first_not_of(L" \t\r\n");
    return start != std::wstring_view::npos && text.substr(start).starts_with(L"<INSTANCE");
}

bool sameNumber(const std::wstring& a, const std::wstring& b) {
    wchar_t* endA = nullptr;
    wchar_t* endB = nullptr;
    const double x = std::wcstod(a.c_str(), &endA);
    const double y = std::wcstod(b.c_str(), &endB);
    return *endA == 0 && *endB == 0 && x == y;
}

std::wstring quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring shown(const std::optional<std::vector<std::wstring>>& values, bool isArray) {
    if (!values) return L"NULL";
    if (!isArray) return values->empty() ? L"NULL" : quoted(values->front());
    std::wstring list = L"{";
    for (std::size_t i = 0; i < values->size(); ++i) list += (i ? L", " : L"") + quoted((*values)[i]);
    return list + L"}";
}

// Why two elements of a property differ; nullopt when they agree.
std::optional<std::wstring> elementDifference(const std::wstring& actual, const std::wstring& recorded,
                                              CimType type, const SameText& same) {
    switch (type) {
        case CimType::Boolean:
            if (equalsIgnoreCase(actual, recorded)) return std::nullopt;
            break;
        case CimType::Real32:
        case CimType::Real64:
            if (actual == recorded || sameNumber(actual, recorded)) return std::nullopt;
            break;
        default:
            if (holdsInstance(actual) && holdsInstance(recorded)) {
                const auto left = readObjectXml(actual);
                const auto right = readObjectXml(recorded);
                if (left.record && right.record) {
                    const auto inner = contentDifference(*left.record, *right.record, same);
                    if (!inner) return std::nullopt;
                    return L"the embedded " + describeObject(*left.record) + L": " + *inner;
                }
            }
            if (same(actual, recorded)) return std::nullopt;
            break;
    }
    return std::wstring();
}

const RecordedProperty* find(const std::vector<RecordedProperty>& properties, std::wstring_view name) {
    for (const auto& property : properties)
        if (equalsIgnoreCase(property.name, name)) return &property;
    return nullptr;
}

std::optional<std::wstring> valueDifference(const RecordedProperty* actual, const RecordedProperty* recorded,
                                            const std::wstring& name, const SameText& same) {
    static const std::optional<std::vector<std::wstring>> null;
    const auto& actualValues = actual ? actual->values : null;
    const auto& recordedValues = recorded ? recorded->values : null;
    const bool isArray = (actual && actual->isArray) || (recorded && recorded->isArray);
    const CimType type = actual ? actual->type : recorded->type;
    const auto mismatch = [&](std::wstring detail) {
        std::wstring text = L"property " + name + L": " + shown(actualValues, isArray) + L" where the trace has " +
                            shown(recordedValues, isArray);
        return detail.empty() ? text : L"property " + name + L": " + detail;
    };
    if (!actualValues && !recordedValues) return std::nullopt;
    if (!actualValues || !recordedValues || actualValues->size() != recordedValues->size()) return mismatch({});
    for (std::size_t i = 0; i < actualValues->size(); ++i)
        if (auto difference = elementDifference((*actualValues)[i], (*recordedValues)[i], type, same))
            return mismatch(std::move(*difference));
    return std::nullopt;
}

// The names of both property lists, those of `first` first, each once.
std::vector<std::wstring> namesOf(const std::vector<RecordedProperty>& first,
                                  const std::vector<RecordedProperty>& second) {
    std::vector<std::wstring> names;
    for (const auto& property : first) names.push_back(property.name);
    for (const auto& property : second)
        if (!find(first, property.name)) names.push_back(property.name);
    return names;
}

std::wstring typeText(const RecordedProperty& property) {
    return std::wstring(cimTypeName(property.type)) + (property.isArray ? L"[]" : L"");
}

// Parameters as "Name (type)" lists that differ between the two definitions of one method.
void parameterDifferences(const std::wstring& where, const std::vector<RecordedProperty>& model,
                          const std::vector<RecordedProperty>& recorded, std::vector<std::wstring>& differences) {
    for (const auto& parameter : recorded) {
        const RecordedProperty* other = find(model, parameter.name);
        if (!other)
            differences.push_back(where + L" parameter " + parameter.name + L" is missing in the model");
        else if (other->type != parameter.type || other->isArray != parameter.isArray)
            differences.push_back(where + L" parameter " + parameter.name + L" is " + typeText(*other) +
                                  L" where the trace has " + typeText(parameter));
    }
    for (const auto& parameter : model)
        if (!find(recorded, parameter.name))
            differences.push_back(where + L" parameter " + parameter.name + L" is not in the trace");
}

void methodDifferences(const ObjectRecord& model, const ObjectRecord& recorded,
                       std::vector<std::wstring>& differences) {
    for (const auto& method : recorded.methods) {
        const RecordedMethod* other = nullptr;
        for (const auto& candidate : model.methods)
            if (equalsIgnoreCase(candidate.name, method.name)) other = &candidate;
        if (!other) {
            differences.push_back(L"method " + method.name + L" is missing in the model");
            continue;
        }
        parameterDifferences(L"method " + method.name + L": input", other->in, method.in, differences);
        parameterDifferences(L"method " + method.name + L": output", other->out, method.out, differences);
    }
    for (const auto& method : model.methods) {
        bool recordedToo = false;
        for (const auto& candidate : recorded.methods)
            recordedToo = recordedToo || equalsIgnoreCase(candidate.name, method.name);
        if (!recordedToo) differences.push_back(L"method " + method.name + L" is not in the trace");
    }
}

}  // namespace

std::wstring describeObject(const ObjectRecord& record) {
    return record.className + (record.isClass ? L" class" : L" instance");
}

std::optional<std::wstring> contentDifference(const ObjectRecord& actual, const ObjectRecord& recorded,
                                              const SameText& same) {
    if (!equalsIgnoreCase(actual.className, recorded.className) || actual.isClass != recorded.isClass)
        return L"a " + describeObject(actual) + L" where the trace has a " + describeObject(recorded);
    for (const auto& name : namesOf(recorded.properties, actual.properties))
        if (auto difference =
                valueDifference(find(actual.properties, name), find(recorded.properties, name), name, same))
            return difference;
    return std::nullopt;
}

std::vector<std::wstring> modelDifferences(const ObjectRecord& model, const ObjectRecord& recorded,
                                           const SameText& same) {
    std::vector<std::wstring> differences;
    if (!equalsIgnoreCase(model.className, recorded.className) || model.isClass != recorded.isClass) {
        differences.push_back(L"a " + describeObject(model) + L" where the trace has a " +
                              describeObject(recorded));
        return differences;
    }
    std::wstring onlyRecorded;
    std::wstring onlyModel;
    for (const auto& property : recorded.properties)
        if (!find(model.properties, property.name))
            onlyRecorded += (onlyRecorded.empty() ? L"" : L", ") + property.name;
    for (const auto& property : model.properties)
        if (!find(recorded.properties, property.name))
            onlyModel += (onlyModel.empty() ? L"" : L", ") + property.name;
    if (!onlyRecorded.empty()) differences.push_back(L"properties the model lacks: " + onlyRecorded);
    if (!onlyModel.empty()) differences.push_back(L"properties the trace lacks: " + onlyModel);
    for (const auto& property : recorded.properties) {
        const RecordedProperty* other = find(model.properties, property.name);
        if (!other) continue;
        if (other->type != property.type || other->isArray != property.isArray) {
            differences.push_back(L"property " + property.name + L" is " + typeText(*other) +
                                  L" where the trace has " + typeText(property));
            continue;
        }
        if (property.type == CimType::Datetime) continue;
        if (auto difference = valueDifference(other, &property, property.name, same))
            differences.push_back(std::move(*difference));
    }
    methodDifferences(model, recorded, differences);
    return differences;
}

}  // namespace HyperVSim
