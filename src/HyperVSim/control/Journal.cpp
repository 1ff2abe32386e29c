#include "control/Journal.h"

namespace HyperVSim {

Journal& Journal::instance() {
    static Journal journal;
    return journal;
}

void Journal::record(std::string operation, std::wstring argument, std::int32_t result) {
    if (!enabled_.load()) return;
    std::lock_guard lock(mutex_);
    if (entries_.size() == capacity) entries_.pop_front();
    entries_.push_back(JournalEntry{std::move(operation), std::move(argument), result});
}

std::vector<JournalEntry> Journal::entries() const {
    std::lock_guard lock(mutex_);
    return {entries_.begin(), entries_.end()};
}

void Journal::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

}  // namespace HyperVSim
