// Records the lines that Velmora hands to a log callback on the current thread.
//
// A LogCallback is a bare function pointer, so each capture is reached through a thread-local slot: a
// capture binds itself to its slot for its lifetime, and the slot's callback appends to it. Two slots let a
// test tell apart the lines of two callbacks (an outer and an inner call, or an old and a new callback).
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
    enum class Slot { First, Second };

    explicit LogCapture(Slot slot = Slot::First);
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture();

    Velmora::LogCallback callback() const;
    const std::vector<LogLine>& lines() const { return lines_; }
    std::vector<std::string> texts() const;
    void clear() { lines_.clear(); }
    void record(Velmora::LoggingLevel level, const char* line);

    // Lines that reached a slot's callback while no capture was bound to it on that thread.
    static int strayLines();

private:
    Slot slot_;
    LogCapture* previous_;
    std::vector<LogLine> lines_;
};

}  // namespace VelmoraWine
