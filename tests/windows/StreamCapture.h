// Sends the process's standard output and standard error to temporary files for the lifetime of the
// capture, then restores them and hands back what was written. Works at the descriptor level, so it sees
// what Velmora's own copy of the C++ runtime writes through the shared C runtime.
#pragma once

#include <string>
#include <vector>

namespace VelmoraWine {

struct CapturedStreams {
    std::string output;
    std::string error;
};

// Lines of captured text; each must end in a line end ("\n", or "\r\n" from a text-mode stream).
// A final fragment without a line end is returned as the last element, prefixed with "<unterminated>".
std::vector<std::string> splitLines(const std::string& text);

class StreamCapture {
public:
    StreamCapture();
    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;
    ~StreamCapture();

    // Restores both streams and returns what was written to them since the capture began.
    CapturedStreams finish();

private:
    struct Redirect {
        int stream = -1;
        int saved = -1;
        int file = -1;
        std::wstring path;
    };

    static Redirect redirect(int stream);
    static std::string restore(Redirect& redirect);

    Redirect output_;
    Redirect error_;
    bool finished_ = false;
};

}  // namespace VelmoraWine
