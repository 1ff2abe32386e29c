// The command's text on standard output and standard error. The command works in UTF-8; a Windows console
// shows bytes in its own code page, which is seldom UTF-8, so there the text goes to the console as UTF-16.
// Files and pipes get the UTF-8 bytes as they are, on every system.
#pragma once

#include <string_view>

#include "Terminal.h"

namespace VelmoraCommand {

// Writes `utf8` to standard output or standard error and flushes it. Standard output is flushed before
// anything goes to standard error, so that results and log lines appear in the order they happened.
void writeText(Stream stream, std::string_view utf8);

// Colour on standard error for the length of the run: only on a terminal and when NO_COLOR is not set
// (https://no-color.org). A Windows console shows colour codes only with its escape sequence processing on;
// this switches it on and back to what it was at the end, and leaves colour off where the console refuses.
class ConsoleColour {
public:
    ConsoleColour();
    ~ConsoleColour();
    ConsoleColour(const ConsoleColour&) = delete;
    ConsoleColour& operator=(const ConsoleColour&) = delete;

    bool on() const { return on_; }

private:
    bool on_ = false;
    // Windows only: the console mode to restore.
    [[maybe_unused]] unsigned long previousMode_ = 0;
    [[maybe_unused]] bool modeChanged_ = false;
};

}  // namespace VelmoraCommand
