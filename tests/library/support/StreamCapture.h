// Sends standard output and error to temporary files while it lives and hands back what was written (with "\n"
// line ends). It works on the descriptors, so it also sees what another copy of the C++ runtime writes (on
// Windows Velmora.dll has its own). Assert after finish(): a failure reported meanwhile would be captured.
#pragma once

#include <filesystem>
#include <string>

namespace VelmoraTest {

struct CapturedStreams {
    std::string output;
    std::string error;
};

class StreamCapture {
public:
    StreamCapture();
    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;
    ~StreamCapture() { finish(); }

    // Restores both streams and returns what was written to them since the capture began; later calls
    // return nothing.
    CapturedStreams finish();

private:
    struct Redirect {
        int stream = -1, saved = -1, file = -1;
        std::filesystem::path path;
    };
    static Redirect redirect(int stream);
    static std::string restore(Redirect& redirect);

    Redirect output_, error_;
    bool finished_ = false;
};

}  // namespace VelmoraTest
