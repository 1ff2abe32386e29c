#include "Output.h"

#include "ConsoleText.h"
#include "LogSink.h"

namespace VelmoraCommand {
namespace {

std::function<std::optional<std::string>()> faultSource;

}  // namespace

void printText(std::string_view text) {
    writeText(Stream::Output, text);
}

void printJson(const nlohmann::json& document) {
    if (document.value("ok", false) && underlyingFault()) {
        auto details = document;
        details.erase("ok");
        printJson(failureDocument("", details));
        return;
    }
    // Text from the host or from arguments that is not UTF-8 must not cost the whole document.
    printText(document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

void printError(std::string_view message) {
    while (!message.empty() && message.back() == '\n') message.remove_suffix(1);
    writeText(Stream::Error, "velmora: " + std::string(message) + "\n");
}

nlohmann::json failureDocument(const std::string& reason, const nlohmann::json& details) {
    nlohmann::json lines = nlohmann::json::array();
    for (const auto& line : loggedLines()) lines.push_back({{"level", levelName(line.level)}, {"text", line.text}});
    nlohmann::json document = details.is_object() ? details : nlohmann::json::object();
    document["ok"] = false;
    document["error"] = reasonOfFailure(reason);
    document["lines"] = lines;
    return document;
}

void setUnderlyingFault(std::function<std::optional<std::string>()> fault) {
    faultSource = std::move(fault);
}

std::optional<std::string> underlyingFault() {
    return faultSource ? faultSource() : std::nullopt;
}

std::string reasonOfFailure(const std::string& own) {
    return underlyingFault().value_or(own);
}

}  // namespace VelmoraCommand
