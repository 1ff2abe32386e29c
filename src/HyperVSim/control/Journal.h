// The record of calls that reached the host, oldest first. Bounded: beyond `capacity` entries the oldest
// are dropped, so a long-running process does not grow without end. The number of calls of each operation
// is counted apart from the entries, so that it stays exact however many were dropped.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "HyperVSim/Control.h"

namespace HyperVSim {

class Journal {
public:
    static constexpr std::size_t capacity = 1 << 16;

    static Journal& instance();

    // Copies the texts only while the journal is on.
    void record(std::string_view operation, std::wstring_view argument, std::int32_t result);
    std::vector<JournalEntry> entries() const;
    std::map<std::string, std::size_t> counts() const;
    void clear();
    void enable(bool enabled) { enabled_.store(enabled); }

private:
    std::atomic<bool> enabled_{true};
    mutable std::mutex mutex_;
    std::deque<JournalEntry> entries_;
    std::map<std::string, std::size_t, std::less<>> counts_;
};

}  // namespace HyperVSim
