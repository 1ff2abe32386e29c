#include "control/Journal.h"

namespace HyperVSim {

Journal& Journal::instance() {
    static Journal journal;
    return journal;
}

void Journal::record(std::string_view operation, std::wstring_view argument, std::int32_t result) {
    if (!enabled_.load()) return;
    JournalEntry entry{std::string(operation), std::wstring(argument), result};
    std::lock_guard lock(mutex_);
    if (entries_.size() == capacity) entries_.pop_front();
    entries_.push_back(std::move(entry));
    const auto counted = counts_.find(operation);
    if (counted != counts_.end())
        ++counted->second;
    else
        counts_.emplace(operation, 1);
}

std::vector<JournalEntry> Journal::entries() const {
    std::lock_guard lock(mutex_);
    return {entries_.begin(), entries_.end()};
}

std::map<std::string, std::size_t> Journal::counts() const {
    std::lock_guard lock(mutex_);
    return {counts_.begin(), counts_.end()};
}

void Journal::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    counts_.clear();
}

}  // namespace HyperVSim
