#include "trace/RecordingSession.h"

namespace HyperVSim {

RecordingSession::RecordingSession(const std::filesystem::path& path, ComRef<IWbemObjectTextSrc> textSource)
    : writer_(path), textSource_(std::move(textSource)) {}

std::optional<TraceObject> RecordingSession::describe(IWbemClassObject* object) {
    if (!object) return std::nullopt;
    ComRef<IWbemObjectTextSrc> textSource;
    {
        std::lock_guard lock(mutex_);
        textSource = textSource_;
    }
    TraceObject traced;
    if (FAILED(traceObject(object, textSource.get(), traced))) return std::nullopt;
    return traced;
}

bool RecordingSession::close() {
    ComRef<IWbemObjectTextSrc> textSource;
    {
        std::lock_guard lock(mutex_);
        textSource = std::move(textSource_);
    }
    return writer_.close();
}

}  // namespace HyperVSim
