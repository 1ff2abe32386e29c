#include "trace/TraceFile.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "HyperVSim/Trace.h"
#include "cimxml/Text.h"

namespace HyperVSim {
namespace {

using cimxml::fromUtf8;
using cimxml::toUtf8;
// Objects keep the order of their keys, so that a trace reads in the order its fields were written.
using json = nlohmann::ordered_json;

// Thrown while a line is read; readTrace adds the file and the line.
struct LineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

HRESULT hresultOf(const json& value) {
    if (!value.is_string()) throw LineError("\"hresult\" is not a text such as \"0x80041002\"");
    const std::string text = value.get<std::string>();
    if (text.size() != 10 || !text.starts_with("0x") ||
        text.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos)
        throw LineError("\"hresult\" is not a text such as \"0x80041002\": " + text);
    return static_cast<HRESULT>(static_cast<std::uint32_t>(std::stoul(text.substr(2), nullptr, 16)));
}

json valuesJson(const RecordedProperty& property) {
    if (!property.values) return nullptr;
    if (!property.isArray) return property.values->empty() ? json() : json(toUtf8(property.values->front()));
    json list = json::array();
    for (const auto& value : *property.values) list.push_back(toUtf8(value));
    return list;
}

json objectJson(const TraceObject& object) {
    json result = {{"xml", toUtf8(object.xml)}, {"from", object.fromTextSource ? "GetText" : "properties"}};
    if (!object.references.empty()) {
        json references = json::object();
        for (const auto& reference : object.references) references[toUtf8(reference.name)] = valuesJson(reference);
        result["references"] = std::move(references);
    }
    return result;
}

TraceObject objectOf(const json& value) {
    const auto xml = value.find("xml");
    if (xml == value.end() || !xml->is_string()) throw LineError("an object without its \"xml\" text");
    TraceObject object;
    object.xml = fromUtf8(xml->get<std::string>());
    object.fromTextSource = value.value("from", "") == "GetText";
    if (const auto references = value.find("references"); references != value.end()) {
        if (!references->is_object()) throw LineError("\"references\" is not an object");
        for (const auto& [name, held] : references->items()) {
            RecordedProperty reference;
            reference.name = fromUtf8(name);
            reference.type = CimType::Reference;
            reference.isArray = held.is_array();
            if (held.is_string()) {
                reference.values = std::vector<std::wstring>{fromUtf8(held.get<std::string>())};
            } else if (held.is_array()) {
                reference.values.emplace();
                for (const auto& element : held) {
                    if (!element.is_string()) throw LineError("reference \"" + name + "\" holds a non-text");
                    reference.values->push_back(fromUtf8(element.get<std::string>()));
                }
            } else if (!held.is_null()) {
                throw LineError("reference \"" + name + "\" is neither a text, a list of texts nor null");
            }
            object.references.push_back(std::move(reference));
        }
    }
    return object;
}

json valueJson(const TraceValue& value) {
    return std::visit(
        [](const auto& held) -> json {
            using T = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return nullptr;
            } else if constexpr (std::is_same_v<T, std::wstring>) {
                return toUtf8(held);
            } else if constexpr (std::is_same_v<T, TraceObject>) {
                return objectJson(held);
            } else if constexpr (std::is_same_v<T, TraceObjects>) {
                json list = json::array();
                for (const auto& object : held) list.push_back(object ? objectJson(*object) : json());
                return list;
            } else {
                return held;
            }
        },
        value);
}

TraceValue valueOf(const json& value) {
    if (value.is_null()) return std::monostate{};
    if (value.is_boolean()) return value.get<bool>();
    if (value.is_number_integer()) return value.get<std::int64_t>();
    if (value.is_string()) return fromUtf8(value.get<std::string>());
    if (value.is_object()) return objectOf(value);
    if (value.is_array()) {
        TraceObjects objects;
        for (const auto& element : value) {
            if (element.is_null())
                objects.emplace_back();
            else if (element.is_object())
                objects.emplace_back(objectOf(element));
            else
                throw LineError("a list holds something other than objects");
        }
        return objects;
    }
    throw LineError("a value of a kind traces do not hold");
}

json fieldsJson(const TraceFields& fields) {
    json result = json::object();
    for (const auto& field : fields) result[field.name] = valueJson(field.value);
    return result;
}

// Fields keep the order they were written in: a call's arguments are compared one by one and described
// in that order.
TraceFields fieldsOf(const json& document, const char* name) {
    const auto found = document.find(name);
    if (found == document.end()) return {};
    if (!found->is_object()) throw LineError(std::string("\"") + name + "\" is not an object");
    TraceFields fields;
    for (const auto& [key, value] : found->items()) fields.push_back({key, valueOf(value)});
    return fields;
}

std::string textOf(const json& document, const char* name) {
    const auto found = document.find(name);
    if (found == document.end() || !found->is_string()) throw LineError(std::string("no \"") + name + "\" text");
    return found->get<std::string>();
}

TraceCall callOf(const json& document) {
    if (!document.is_object()) throw LineError("the line is not a JSON object");
    TraceCall call;
    call.interfaceName = textOf(document, "interface");
    call.method = textOf(document, "method");
    if (const auto on = document.find("on"); on != document.end() && !on->is_null()) {
        if (!on->is_number_integer()) throw LineError("\"on\" is not an object number");
        call.on = on->get<std::int64_t>();
    }
    call.arguments = fieldsOf(document, "arguments");
    const auto result = document.find("hresult");
    if (result == document.end()) throw LineError("no \"hresult\"");
    call.result = hresultOf(*result);
    call.returned = fieldsOf(document, "returned");
    call.replayable = document.value("replayable", true);
    return call;
}

void checkHeader(const json& header) {
    if (!header.is_object() || header.value("format", "") != traceFormatName)
        throw LineError(std::string("not a trace: the first line must name the format \"") + traceFormatName +
                        "\"");
    const auto version = header.find("version");
    if (version == header.end() || !version->is_number_integer())
        throw LineError("the header has no version number");
    if (version->get<int>() != traceFormatVersion)
        throw LineError("version " + std::to_string(version->get<int>()) +
                        " of the format; this host reads version " + std::to_string(traceFormatVersion));
}

std::string displayed(const std::filesystem::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

std::string hresultText(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(static_cast<std::uint32_t>(result)));
    return text;
}

const TraceValue* findField(const TraceFields& fields, std::string_view name) {
    for (const auto& field : fields)
        if (field.name == name) return &field.value;
    return nullptr;
}

std::filesystem::path pathOfUtf8(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

TraceWriter::TraceWriter(const std::filesystem::path& path) : file_(path, std::ios::binary | std::ios::trunc) {
    const json header = {{"format", traceFormatName}, {"version", traceFormatVersion}};
    file_ << header.dump() << '\n' << std::flush;
    if (!file_) throw TraceError(displayed(path) + ": cannot write the trace");
}

void TraceWriter::write(TraceCall call) {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    call.position = ++written_;
    json document = {{"n", call.position}, {"interface", call.interfaceName}, {"method", call.method}};
    if (call.on) document["on"] = *call.on;
    document["arguments"] = fieldsJson(call.arguments);
    document["hresult"] = hresultText(call.result);
    document["returned"] = fieldsJson(call.returned);
    if (!call.replayable) document["replayable"] = false;
    // Texts that are not valid UTF-16 still make a line: the JSON writer replaces what it cannot encode.
    file_ << document.dump(-1, ' ', false, json::error_handler_t::replace) << '\n' << std::flush;
    if (!file_) failed_ = true;
}

bool TraceWriter::close() {
    std::lock_guard lock(mutex_);
    if (!closed_) {
        closed_ = true;
        file_.close();
        if (!file_) failed_ = true;
    }
    return !failed_;
}

std::vector<TraceCall> readTrace(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw TraceError(displayed(path) + ": cannot open the trace");
    std::vector<TraceCall> calls;
    std::string line;
    std::size_t number = 0;
    bool headerSeen = false;
    while (std::getline(file, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        try {
            const json document = json::parse(line);
            if (!headerSeen) {
                checkHeader(document);
                headerSeen = true;
                continue;
            }
            calls.push_back(callOf(document));
            calls.back().position = calls.size();
        } catch (const json::exception& error) {
            throw TraceError(displayed(path) + ":" + std::to_string(number) + ": " + error.what());
        } catch (const LineError& error) {
            throw TraceError(displayed(path) + ":" + std::to_string(number) + ": " + error.what());
        }
    }
    if (!headerSeen) throw TraceError(displayed(path) + ": empty, not a trace");
    return calls;
}

}  // namespace HyperVSim
