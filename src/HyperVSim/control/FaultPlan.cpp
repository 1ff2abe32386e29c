#include "control/FaultPlan.h"

#include "parse/CaseFold.h"

namespace HyperVSim {

FaultPlan& FaultPlan::instance() {
    static FaultPlan plan;
    return plan;
}

void FaultPlan::add(const Fault& fault) {
    std::lock_guard lock(mutex_);
    rules_.push_back(Rule{fault, 0});
    ruleCount_.store(rules_.size());
}

void FaultPlan::clear() {
    std::lock_guard lock(mutex_);
    rules_.clear();
    ruleCount_.store(0);
}

std::vector<Fault> FaultPlan::match(std::string_view operation, std::wstring_view argument) {
    if (ruleCount_.load() == 0) return {};
    std::lock_guard lock(mutex_);
    std::vector<Fault> fired;
    for (auto& rule : rules_) {
        if (rule.fault.operation != operation) continue;
        if (!rule.fault.argument.empty() && !equalsIgnoreCase(rule.fault.argument, argument)) continue;
        ++rule.seen;
        const bool fires = rule.fault.occurrence == 0 || rule.seen == rule.fault.occurrence;
        if (fires) fired.push_back(rule.fault);
    }
    return fired;
}

}  // namespace HyperVSim
