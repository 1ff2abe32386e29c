// Records the lines that Velmora hands to a log callback on the current thread.
//
// A LogCallback is a bare function pointer, so the capture is reached through a thread-local slot that it
// binds itself to for its lifetime; the slot is a plain pointer, as a thread_local with a destructor
// crashes the exit of its thread with MinGW's emulated TLS.
#pragma once

#include <Velmora/Velmora.h>

#include <string>
#include <vector>

namespace VelmoraWine {

struct LogLine {
    Velmora::LoggingLevel level;
    std::string text;

    bool operator==(const LogLine&) const = default;
};

std::string describe(const std::vector<LogLine>& lines);

class LogCapture {
public:
    LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture();

    Velmora::LogCallback callback() const;
    const std::vector<LogLine>& lines() const { return lines_; }

private:
    static void record(Velmora::LoggingLevel level, const char* line);

    LogCapture* previous_;
    std::vector<LogLine> lines_;
};

}  // namespace VelmoraWine
