// Trace files: JSON lines, a header line naming the format and its version, then one document per call.
#pragma once

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "trace/TraceCall.h"

namespace HyperVSim {

inline constexpr const char* traceFormatName = "velmora-wmi-trace";
inline constexpr int traceFormatVersion = 1;

// An HRESULT as a trace writes it: "0x80041002".
std::string hresultText(HRESULT result);

// Writes calls as they complete, each line flushed at once, so that a process that ends abruptly leaves
// every call it made. Any number of threads may write.
class TraceWriter {
public:
    // Creates or truncates the file and writes the header; throws TraceError when it cannot.
    explicit TraceWriter(const std::filesystem::path& path);

    // Gives the call the next position and writes it. A failed write is remembered (see failed()): the call
    // itself has already happened and goes on.
    void write(TraceCall call);
    // Closes the file (later writes are dropped); false when a write or the close failed.
    bool close();

private:
    std::mutex mutex_;
    std::ofstream file_;
    std::size_t written_ = 0;
    bool failed_ = false;
    bool closed_ = false;
};

// Every call of a trace file in order; throws TraceError naming the file, the line and what is wrong.
std::vector<TraceCall> readTrace(const std::filesystem::path& path);

// The path of a text given as UTF-8.
std::filesystem::path pathOfUtf8(const std::string& path);

}  // namespace HyperVSim
