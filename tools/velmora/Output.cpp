#include "Output.h"

#include <cstdio>

#include "ExitStatus.h"

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

int reportFailure(bool json, std::string_view function, nlohmann::json details) {
    printError(std::string(function) + " returned false");
    if (json) {
        details["ok"] = false;
        printJson(details);
    }
    return exitFailed;
}

void printError(std::string_view message) {
    while (!message.empty() && message.back() == '\n') message.remove_suffix(1);
    std::fflush(stdout);
    std::fprintf(stderr, "velmora: %.*s\n", static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
}

}  // namespace VelmoraCommand
