#include "LogCapture.h"

#include <sstream>

namespace VelmoraWine {
namespace {

thread_local LogCapture* boundCapture = nullptr;

}  // namespace

std::string describe(const std::vector<LogLine>& lines) {
    std::ostringstream out;
    for (const LogLine& line : lines) out << "\n  [" << static_cast<int>(line.level) << "] " << line.text;
    return out.str();
}

LogCapture::LogCapture() : previous_(boundCapture) {
    boundCapture = this;
}

LogCapture::~LogCapture() {
    boundCapture = previous_;
}

void LogCapture::record(Velmora::LoggingLevel level, const char* line) {
    if (boundCapture) boundCapture->lines_.push_back({level, line ? line : "<null line>"});
}

Velmora::LogCallback LogCapture::callback() const {
    return &LogCapture::record;
}

}  // namespace VelmoraWine
