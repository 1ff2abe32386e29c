#include "LogSink.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace VelmoraCommand {
namespace {

Verbosity currentVerbosity = Verbosity::Normal;
bool currentColour = false;

bool shown(Velmora::LoggingLevel level) {
    switch (currentVerbosity) {
        case Verbosity::Quiet:
            return level >= Velmora::Error;
        case Verbosity::Normal:
            return level >= Velmora::Warning;
        case Verbosity::Verbose:
            return true;
    }
    return true;
}

}  // namespace

void configureLogSink(Verbosity verbosity, bool colour) {
    currentVerbosity = verbosity;
    currentColour = colour;
}

std::string formatLogLine(Velmora::LoggingLevel level, const char* line, bool colour) {
    std::string name;
    const char* colourCode = "";
    switch (level) {
        case Velmora::Info:
            name = "info", colourCode = "\033[2m";
            break;
        case Velmora::Warning:
            name = "warning", colourCode = "\033[33m";
            break;
        case Velmora::Error:
            name = "error", colourCode = "\033[31m";
            break;
        default:
            // The library sends only the three levels; anything else is still shown rather than lost.
            name = "level " + std::to_string(static_cast<int>(level));
            break;
    }
    std::string text = colour && *colourCode != '\0' ? std::string(colourCode) + name + "\033[0m" : name;
    return text + ": " + (line != nullptr ? line : "") + "\n";
}

void logSink(Velmora::LoggingLevel level, const char* line) {
    if (!shown(level)) return;
    std::fputs(formatLogLine(level, line, currentColour).c_str(), stderr);
    std::fflush(stderr);
}

bool standardErrorWantsColour() {
    const char* noColour = std::getenv("NO_COLOR");
    return isatty(STDERR_FILENO) == 1 && (noColour == nullptr || *noColour == '\0');
}

}  // namespace VelmoraCommand
