#include "LogSink.h"

#include "ConsoleText.h"
#include "Text.h"

namespace VelmoraCommand {
namespace {

Verbosity currentVerbosity = Verbosity::Normal;
bool currentColour = false;
std::vector<LogLine> lines;

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

const char* colourOf(Velmora::LoggingLevel level) {
    switch (level) {
        case Velmora::Info:
            return "\033[2m";
        case Velmora::Warning:
            return "\033[33m";
        case Velmora::Error:
            return "\033[31m";
    }
    return "";
}

}  // namespace

void configureLogSink(Verbosity verbosity, bool colour) {
    currentVerbosity = verbosity;
    currentColour = colour;
}

std::string levelName(Velmora::LoggingLevel level) {
    switch (level) {
        case Velmora::Info:
            return "info";
        case Velmora::Warning:
            return "warning";
        case Velmora::Error:
            return "error";
    }
    // The library sends only the three levels; anything else is still shown rather than lost.
    return "level " + std::to_string(static_cast<int>(level));
}

std::string formatLogLine(Velmora::LoggingLevel level, const std::string& line, bool colour) {
    const std::string name = levelName(level);
    const char* colourCode = colourOf(level);
    std::string text = colour && *colourCode != '\0' ? std::string(colourCode) + name + "\033[0m" : name;
    return text + ": " + line + "\n";
}

void logSink(Velmora::LoggingLevel level, const char* line) {
    lines.push_back({level, line != nullptr ? fromLibraryText(line) : ""});
    if (!shown(level)) return;
    writeText(Stream::Error, formatLogLine(level, lines.back().text, currentColour));
}

const std::vector<LogLine>& loggedLines() {
    return lines;
}

}  // namespace VelmoraCommand
