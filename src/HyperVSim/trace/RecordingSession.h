// One recording: the trace file, the numbers given to the objects WMI hands out, and the object text source
// that writes their text.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>

#include "com/ComRef.h"
#include "trace/TraceFile.h"

namespace HyperVSim {

class RecordingSession {
public:
    // Throws TraceError when the file cannot be written. `textSource` may be null (Wine has none).
    RecordingSession(const std::filesystem::path& path, ComRef<IWbemObjectTextSrc> textSource);

    std::int64_t newNumber() { return ++numbers_; }
    // The object as the trace holds it; nullopt for a null object or one that cannot be read.
    std::optional<TraceObject> describe(IWbemClassObject* object);
    // Writes the call unless the recording has ended: calls on objects that outlive it are passed on only.
    void write(TraceCall call) { writer_.write(std::move(call)); }
    // Ends the recording and closes the file; false when a call could not be written.
    bool close();

private:
    std::mutex mutex_;
    TraceWriter writer_;
    std::atomic<std::int64_t> numbers_{0};
    ComRef<IWbemObjectTextSrc> textSource_;
};

}  // namespace HyperVSim
