#include "RecordedTour.h"

#include <cstdint>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "BadInput.h"

namespace VelmoraCommand {
namespace {

// Hyper-V's resource type of a virtual hard disk (Msvm_StorageAllocationSettingData).
constexpr const char* virtualHardDisk = "31";

void appendUtf8(std::string& text, std::uint32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The character of a reference such as "#233" or "#xE9"; nothing for anything else.
std::optional<std::uint32_t> characterReference(std::string_view entity) {
    if (!entity.starts_with("#")) return std::nullopt;
    const bool hex = entity.starts_with("#x");
    const std::string digits(entity.substr(hex ? 2 : 1));
    if (digits.empty() ||
        digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos ||
        digits.size() > 6)
        return std::nullopt;
    const auto code = std::stoul(digits, nullptr, hex ? 16 : 10);
    if (code > 0x10FFFF) return std::nullopt;
    return static_cast<std::uint32_t>(code);
}

// XML character data as the text it stands for.
std::string unescaped(std::string_view xml) {
    std::string text;
    for (std::size_t at = 0; at < xml.size(); ++at) {
        const auto end = xml[at] == '&' ? xml.find(';', at) : std::string_view::npos;
        if (end == std::string_view::npos) {
            text += xml[at];
            continue;
        }
        const std::string_view entity = xml.substr(at + 1, end - at - 1);
        if (entity == "lt") {
            text += '<';
        } else if (entity == "gt") {
            text += '>';
        } else if (entity == "amp") {
            text += '&';
        } else if (entity == "quot") {
            text += '"';
        } else if (entity == "apos") {
            text += '\'';
        } else if (const auto code = characterReference(entity)) {
            appendUtf8(text, *code);
        } else {
            text += xml.substr(at, end - at + 1);
        }
        at = end;
    }
    return text;
}

// The values of the property `name` of a CIM-XML instance (PROPERTY or PROPERTY.ARRAY), as text; empty for
// NULL or a property the instance does not have.
std::vector<std::string> propertyValues(std::string_view xml, std::string_view name) {
    const std::string attribute = " NAME=\"" + std::string(name) + "\"";
    for (std::size_t at = xml.find("<PROPERTY"); at != std::string_view::npos; at = xml.find("<PROPERTY", at + 1)) {
        const auto tagEnd = xml.find('>', at);
        if (tagEnd == std::string_view::npos) break;
        if (xml.substr(at, tagEnd - at).find(attribute) == std::string_view::npos) continue;
        const auto close = xml.find("</PROPERTY", tagEnd);
        const std::string_view content =
            xml.substr(tagEnd + 1, close == std::string_view::npos ? 0 : close - tagEnd - 1);
        std::vector<std::string> values;
        for (auto value = content.find("<VALUE>"); value != std::string_view::npos;
             value = content.find("<VALUE>", value + 1)) {
            const auto valueEnd = content.find("</VALUE>", value);
            if (valueEnd == std::string_view::npos) break;
            values.push_back(unescaped(content.substr(value + 7, valueEnd - value - 7)));
        }
        return values;
    }
    return {};
}

std::optional<std::string> firstValue(std::string_view xml, std::string_view name) {
    auto values = propertyValues(xml, name);
    if (values.empty()) return std::nullopt;
    return std::move(values.front());
}

// The text of the input of a method call of the trace, if it is `method`'s.
std::optional<std::string> inputOf(const nlohmann::json& call, std::string_view method) {
    if (call.value("method", "") != "ExecMethod") return std::nullopt;
    const auto& arguments = call.value("arguments", nlohmann::json::object());
    if (arguments.value("method", "") != method) return std::nullopt;
    const auto& input = arguments.value("inParams", nlohmann::json());
    if (!input.is_object() || !input.contains("xml") || !input["xml"].is_string()) return std::nullopt;
    return input["xml"].get<std::string>();
}

}  // namespace

RecordedTour readRecordedTour(const std::string& trace) {
    std::ifstream file(std::filesystem::path(std::u8string(trace.begin(), trace.end())), std::ios::binary);
    if (!file) throw BadInput("cannot read the trace " + trace);
    RecordedTour tour;
    std::size_t number = 0;
    for (std::string line; std::getline(file, line);) {
        ++number;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        nlohmann::json call;
        try {
            call = nlohmann::json::parse(line);
        } catch (const nlohmann::json::exception& e) {
            throw BadInput(trace + ":" + std::to_string(number) + ": " + e.what());
        }
        if (!call.is_object()) continue;
        if (const auto input = inputOf(call, "DefineSystem"); input && !tour.machineName) {
            if (const auto settings = firstValue(*input, "SystemSettings"))
                tour.machineName = firstValue(*settings, "ElementName");
        }
        if (const auto input = inputOf(call, "AddResourceSettings")) {
            for (const auto& settings : propertyValues(*input, "ResourceSettings"))
                if (firstValue(settings, "ResourceType") == virtualHardDisk)
                    if (auto image = firstValue(settings, "HostResource")) tour.images.push_back(std::move(*image));
        }
    }
    return tour;
}

}  // namespace VelmoraCommand
