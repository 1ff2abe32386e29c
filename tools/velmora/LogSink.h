// Where the library's log lines go: standard error, one line each with its level, filtered by verbosity; and
// every line, shown or not, kept for the report of a failure.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <Velmora/Velmora.h>

namespace VelmoraCommand {

enum class Verbosity {
    Quiet,    // Error lines only
    Normal,   // Warning and Error lines
    Verbose,  // every line, Info included
};

// Set once, before the first call into the library. The library's callback carries no context, so the
// sink's settings are process-wide.
void configureLogSink(Verbosity verbosity, bool colour);

// The callback handed to every export, and to the command's own WMI calls.
void logSink(Velmora::LoggingLevel level, const char* line);

struct LogLine {
    Velmora::LoggingLevel level;
    std::string text;
};

// Every line the sink received, in order, in UTF-8.
const std::vector<LogLine>& loggedLines();

// "info", "warning", "error"
std::string levelName(Velmora::LoggingLevel level);

// "error: text", with the level name coloured when `colour` is set.
std::string formatLogLine(Velmora::LoggingLevel level, const std::string& line, bool colour);

}  // namespace VelmoraCommand
