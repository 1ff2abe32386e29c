// The fault rules in force. Every COM call of the host asks here (through wmi/Call.h) whether a rule fires.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "HyperVSim/Control.h"

namespace HyperVSim {

class FaultPlan {
public:
    static FaultPlan& instance();

    void add(const Fault& fault);
    void clear();
    // Counts the call against every rule it matches and returns the rules that fire on it, in the order
    // they were added.
    std::vector<Fault> match(std::string_view operation, std::wstring_view argument);

private:
    struct Rule {
        Fault fault;
        unsigned seen = 0;
    };
    std::mutex mutex_;
    std::vector<Rule> rules_;
    // How many rules there are, readable without the lock: with none (every benchmark, most of a test run)
    // the calls of all threads pass without meeting at the mutex.
    std::atomic<std::size_t> ruleCount_{0};
};

}  // namespace HyperVSim
