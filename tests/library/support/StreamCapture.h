// Sends the process's standard output and standard error to temporary files for the lifetime of the
// capture, then restores them and hands back what was written. It works on the file descriptors, not on
// std::cout and std::cerr, so it also sees what another copy of the C++ runtime in the process writes: on
// Windows Velmora.dll links its own, with streams of its own, over the shared C runtime.
//
// Text comes back with "\n" line ends, as a program reading it back in text mode sees it. Assert after
// finish(): a failure reported during the capture would end up in the captured text.
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
