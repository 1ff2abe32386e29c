#include "Output.h"

#include <cstdio>

#include "LogSink.h"

namespace VelmoraCommand {

void printText(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    // Flushed at once so that results and the log lines on standard error appear in the order they happened.
    std::fflush(stdout);
}

void printJson(const nlohmann::json& document) {
    // Text from the host or from arguments that is not UTF-8 must not cost the whole document.
    printText(document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

void printError(std::string_view message) {
    while (!message.empty() && message.back() == '\n') message.remove_suffix(1);
    std::fflush(stdout);
    std::fprintf(stderr, "velmora: %.*s\n", static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
}

nlohmann::json failureDocument(const std::string& reason, const nlohmann::json& details) {
    nlohmann::json lines = nlohmann::json::array();
    for (const auto& line : loggedLines()) lines.push_back({{"level", levelName(line.level)}, {"text", line.text}});
    nlohmann::json document = details.is_object() ? details : nlohmann::json::object();
    document["ok"] = false;
    document["error"] = reason;
    document["lines"] = lines;
    return document;
}

}  // namespace VelmoraCommand
