// The log callback of the MSVC-ABI caller: it keeps the lines of the current call, with their levels, in
// static storage.
#pragma once

#include <Velmora/Velmora.h>

#include "Console.h"

namespace MsvcCaller {

struct RecordedLine {
    int level;
    const char* text;
};

class LogRecord {
public:
    void clear() {
        count_ = 0;
        used_ = 0;
        overflowed_ = false;
    }

    void add(int level, const char* text) {
        const std::size_t size = lengthOf(text) + 1;
        if (count_ == maxLines || used_ + size > sizeof characters_) {
            overflowed_ = true;
            return;
        }
        char* copy = characters_ + used_;
        for (std::size_t i = 0; i < size; ++i) copy[i] = text[i];
        used_ += size;
        lines_[count_++] = {level, copy};
    }

    unsigned count() const { return count_; }
    const RecordedLine& operator[](unsigned index) const { return lines_[index]; }
    bool overflowed() const { return overflowed_; }

    unsigned countOfLevel(int level) const {
        unsigned found = 0;
        for (unsigned i = 0; i < count_; ++i) found += lines_[i].level == level;
        return found;
    }

    void printAll() const {
        for (unsigned i = 0; i < count_; ++i) {
            print("    ");
            printNumber(static_cast<std::uint64_t>(lines_[i].level));
            print(" ");
            print(lines_[i].text);
            print("\n");
        }
    }

private:
    static constexpr unsigned maxLines = 512;
    RecordedLine lines_[maxLines];
    unsigned count_;
    char characters_[64 * 1024];
    std::size_t used_;
    bool overflowed_;
};

// Zero-initialised storage, so that the caller needs no constructors run at start-up.
inline LogRecord received;

inline void recordLine(Velmora::LoggingLevel level, const char* line) {
    received.add(level, line);
}

}  // namespace MsvcCaller
