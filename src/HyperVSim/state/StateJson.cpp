#include "state/StateJson.h"

#include <cstdio>
#include <string>

#include "cimxml/Text.h"

namespace HyperVSim {
namespace {

using cimxml::fromUtf8;
using cimxml::toUtf8;
using nlohmann::json;

constexpr const char* formatName = "HyperVSim host state";

std::string typeName(const PropertyDef& property) {
    return toUtf8(cimTypeName(property.type)) + (property.isArray ? "[]" : "");
}

json elementJson(const CimElement& element) {
    if (const auto* text = std::get_if<std::wstring>(&element)) return toUtf8(*text);
    if (const auto* flag = std::get_if<bool>(&element)) return *flag;
    if (const auto* number = std::get_if<std::int64_t>(&element)) return *number;
    if (const auto* number = std::get_if<std::uint64_t>(&element)) return *number;
    return std::get<double>(element);
}

json valueJson(const CimValue& value) {
    if (value.isNull()) return nullptr;
    json elements = json::array();
    for (const auto& element : value.elements()) elements.push_back(elementJson(element));
    return value.isArray() ? elements : elements.front();
}

// The CIM-XML text of one element, which CimValue reads with the declared type's rules (ranges included).
std::optional<std::wstring> elementText(const json& element, CimType type) {
    if (isTextType(type) || type == CimType::Char16) {
        if (!element.is_string()) return std::nullopt;
        return fromUtf8(element.get<std::string>());
    }
    if (type == CimType::Boolean) {
        if (!element.is_boolean()) return std::nullopt;
        return element.get<bool>() ? L"TRUE" : L"FALSE";
    }
    if (element.is_number_unsigned()) return std::to_wstring(element.get<std::uint64_t>());
    if (element.is_number_integer()) return std::to_wstring(element.get<std::int64_t>());
    if (element.is_number_float() && !isIntegerType(type)) {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", element.get<double>());
        return fromUtf8(text);
    }
    return std::nullopt;
}

std::optional<CimValue> valueFromJson(const json& value, const PropertyDef& property) {
    if (value.is_null()) return CimValue::null(property.type, property.isArray);
    if (property.isArray != value.is_array()) return std::nullopt;
    std::vector<std::wstring> texts;
    for (const auto& element : property.isArray ? value : json::array({value})) {
        auto text = elementText(element, property.type);
        if (!text) return std::nullopt;
        texts.push_back(std::move(*text));
    }
    return CimValue::fromText(property.type, property.isArray, texts);
}

json overrideJson(const Value& value) {
    return std::visit(
        [](const auto& held) -> json {
            using T = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return {{"vt", "null"}};
            else if constexpr (std::is_same_v<T, NullString>)
                return {{"vt", "nullString"}};
            else if constexpr (std::is_same_v<T, std::wstring>)
                return {{"vt", "string"}, {"value", toUtf8(held)}};
            else if constexpr (std::is_same_v<T, std::int32_t>)
                return {{"vt", "i4"}, {"value", held}};
            else if constexpr (std::is_same_v<T, std::int16_t>)
                return {{"vt", "i2"}, {"value", held}};
            else if constexpr (std::is_same_v<T, bool>)
                return {{"vt", "bool"}, {"value", held}};
            else {
                json texts = json::array();
                for (const auto& text : held) texts.push_back(toUtf8(text));
                return {{"vt", "strings"}, {"value", texts}};
            }
        },
        value);
}

Value overrideFromJson(const json& entry) {
    const std::string vt = entry.at("vt").get<std::string>();
    if (vt == "null") return std::monostate{};
    if (vt == "nullString") return NullString{};
    if (vt == "string") return fromUtf8(entry.at("value").get<std::string>());
    if (vt == "i4") return entry.at("value").get<std::int32_t>();
    if (vt == "i2") return entry.at("value").get<std::int16_t>();
    if (vt == "bool") return entry.at("value").get<bool>();
    if (vt == "strings") {
        std::vector<std::wstring> texts;
        for (const auto& text : entry.at("value")) texts.push_back(fromUtf8(text.get<std::string>()));
        return texts;
    }
    throw StateFormatError("an override value has the unknown kind '" + vt + "'");
}

json instanceJson(const Instance& instance) {
    json values = json::object();
    json overrides = json::object();
    const auto& definitions = instance.definition().properties;
    for (std::size_t i = 0; i < definitions.size(); ++i) {
        const PropertyDef& property = definitions[i];
        // Values never set are the class defaults and come back by themselves.
        if (instance.isExplicit(property.name)) values[toUtf8(property.name)] = valueJson(instance.values()[i]);
        if (const auto raw = instance.overrideFor(property.name))
            overrides[toUtf8(property.name)] = overrideJson(*raw);
    }
    json entry = {{"class", toUtf8(instance.className())}, {"values", values}};
    if (!overrides.empty()) entry["overrides"] = overrides;
    return entry;
}

Instance instanceFromJson(const json& entry) {
    const std::wstring className = fromUtf8(entry.at("class").get<std::string>());
    const auto definition = Schema::instance().find(className);
    if (!definition) throw StateFormatError("the class '" + toUtf8(className) + "' does not exist");
    Instance instance(definition);
    for (const auto& [name, stored] : entry.at("values").items()) {
        const PropertyDef* property = definition->property(fromUtf8(name));
        if (!property)
            throw StateFormatError("the class '" + toUtf8(className) + "' has no property '" + name + "'");
        auto value = valueFromJson(stored, *property);
        if (!value)
            throw StateFormatError("the value of " + toUtf8(className) + "." + name + " is not a valid " +
                                   typeName(*property));
        instance.set(property->name, std::move(*value));
    }
    if (const auto overrides = entry.find("overrides"); overrides != entry.end())
        for (const auto& [name, raw] : overrides->items())
            instance.setOverride(fromUtf8(name), overrideFromJson(raw));
    if (!instance.hasKeys()) throw StateFormatError("an instance of " + toUtf8(className) + " lacks a key value");
    return instance;
}

json planJson(const StateChangePlan& plan) {
    return {{"milliseconds", plan.milliseconds}, {"fails", plan.fails}};
}

StateChangePlan planFromJson(const json& plan) {
    return {plan.at("milliseconds").get<std::uint32_t>(), plan.at("fails").get<bool>()};
}

json transitionJson(const Transition& transition) {
    return {{"machine", toUtf8(transition.machine)}, {"from", transition.from},   {"to", transition.to},
            {"endsAt", transition.endsAt},           {"fails", transition.fails}, {"job", toUtf8(transition.job)}};
}

Transition transitionFromJson(const json& entry) {
    return {fromUtf8(entry.at("machine").get<std::string>()),
            entry.at("from").get<std::int64_t>(),
            entry.at("to").get<std::int64_t>(),
            entry.at("endsAt").get<std::int64_t>(),
            entry.at("fails").get<bool>(),
            fromUtf8(entry.at("job").get<std::string>())};
}

}  // namespace

json stateToJson(const HostState& state) {
    json instances = json::array();
    for (const auto& instance : state.repository.all()) instances.push_back(instanceJson(*instance));
    json document = {{"format", formatName},
                     {"version", stateFormatVersion},
                     {"guidsIssued", state.guids.issued()},
                     {"defaultTemplateFirst", state.defaultTemplateFirst},
                     {"instances", instances}};
    // Written only when there is something to say, so that a host without planned changes keeps its
    // file as before.
    if (state.nextStateChange) document["nextStateChange"] = planJson(*state.nextStateChange);
    if (!state.transitions.empty()) {
        json transitions = json::array();
        for (const auto& transition : state.transitions) transitions.push_back(transitionJson(transition));
        document["transitions"] = transitions;
    }
    return document;
}

HostState stateFromJson(const json& document) {
    if (!document.is_object() || document.value("format", std::string()) != formatName)
        throw StateFormatError("it is not a simulated host state file");
    const auto version = document.find("version");
    if (version == document.end() || !version->is_number_integer() || version->get<std::int64_t>() < 1)
        throw StateFormatError("it names no valid format version");
    if (version->get<std::int64_t>() > stateFormatVersion)
        throw StateFormatError("it was written in format version " + std::to_string(version->get<std::int64_t>()) +
                               ", newer than version " + std::to_string(stateFormatVersion) +
                               " that this host reads");
    HostState state;
    try {
        state.guids.restore(document.at("guidsIssued").get<std::uint64_t>());
        state.defaultTemplateFirst = document.at("defaultTemplateFirst").get<bool>();
        if (const auto plan = document.find("nextStateChange"); plan != document.end())
            state.nextStateChange = planFromJson(*plan);
        if (const auto transitions = document.find("transitions"); transitions != document.end())
            for (const auto& entry : *transitions) state.transitions.push_back(transitionFromJson(entry));
        std::size_t position = 0;
        for (const auto& entry : document.at("instances")) {
            try {
                state.repository.put(instanceFromJson(entry));
            } catch (const StateFormatError& error) {
                throw StateFormatError("instance " + std::to_string(position) + ": " + error.what());
            }
            ++position;
        }
    } catch (const json::exception& error) {
        throw StateFormatError(std::string("its content is damaged (") + error.what() + ")");
    }
    return state;
}

}  // namespace HyperVSim
