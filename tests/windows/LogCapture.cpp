#include "LogCapture.h"

#include <atomic>
#include <sstream>

namespace VelmoraWine {
namespace {

thread_local LogCapture* boundCaptures[2] = {nullptr, nullptr};
std::atomic<int> strayCount{0};

std::size_t indexOf(LogCapture::Slot slot) {
    return slot == LogCapture::Slot::First ? 0 : 1;
}

void recordLine(LogCapture::Slot slot, Velmora::LoggingLevel level, const char* line) {
    if (LogCapture* capture = boundCaptures[indexOf(slot)]) {
        capture->record(level, line);
        return;
    }
    ++strayCount;
}

void recordFirst(Velmora::LoggingLevel level, const char* line) {
    recordLine(LogCapture::Slot::First, level, line);
}

void recordSecond(Velmora::LoggingLevel level, const char* line) {
    recordLine(LogCapture::Slot::Second, level, line);
}

}  // namespace

std::string describe(const std::vector<LogLine>& lines) {
    std::ostringstream out;
    for (const LogLine& line : lines) out << "\n  [" << static_cast<int>(line.level) << "] " << line.text;
    return out.str();
}

LogCapture::LogCapture(Slot slot) : slot_(slot), previous_(boundCaptures[indexOf(slot)]) {
    boundCaptures[indexOf(slot)] = this;
}

LogCapture::~LogCapture() {
    boundCaptures[indexOf(slot_)] = previous_;
}

void LogCapture::record(Velmora::LoggingLevel level, const char* line) {
    lines_.push_back({level, line ? line : "<null line>"});
}

Velmora::LogCallback LogCapture::callback() const {
    return slot_ == Slot::First ? &recordFirst : &recordSecond;
}

std::vector<std::string> LogCapture::texts() const {
    std::vector<std::string> texts;
    for (const LogLine& line : lines_) texts.push_back(line.text);
    return texts;
}

int LogCapture::strayLines() {
    return strayCount.load();
}

}  // namespace VelmoraWine
