// Faults injected into the COM runtime calls (WinCompat/Testing.h).
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "WinCompat/Testing.h"
#include "internal.h"

namespace WinCompat::detail {
namespace {

constexpr const char* faultableFunctions[] = {"CoInitializeEx", "CoInitializeSecurity", "CoCreateInstance",
                                              "CoSetProxyBlanket", "CoCreateGuid"};

struct Rule {
    std::string function;
    HRESULT result = S_OK;
    unsigned occurrence = 1;  // 0: every call
    unsigned calls = 0;       // calls of `function` seen since the rule was injected
};

struct Faults {
    std::mutex mutex;
    std::vector<Rule> rules;
};
Faults& faults() {
    static Faults state;
    return state;
}

}  // namespace

bool faultFires(const char* function, HRESULT& result) {
    Faults& state = faults();
    std::lock_guard lock(state.mutex);
    bool fired = false;
    for (Rule& rule : state.rules) {
        if (rule.function != function) continue;
        ++rule.calls;
        if (!fired && (rule.occurrence == 0 || rule.calls == rule.occurrence)) {
            fired = true;
            result = rule.result;
        }
    }
    // One-shot rules that have fired or can no longer fire are dropped.
    std::erase_if(state.rules,
                  [](const Rule& rule) { return rule.occurrence != 0 && rule.calls >= rule.occurrence; });
    return fired;
}

}  // namespace WinCompat::detail

namespace WinCompat::Testing {

void injectFault(const std::string& function, HRESULT result, unsigned occurrence) {
    bool known = false;
    for (const char* name : detail::faultableFunctions) known = known || function == name;
    if (!known) throw std::invalid_argument("WinCompat::Testing::injectFault: no faults for " + function);
    detail::Faults& state = detail::faults();
    std::lock_guard lock(state.mutex);
    state.rules.push_back(detail::Rule{function, result, occurrence, 0});
}

void clearFaults() {
    detail::Faults& state = detail::faults();
    std::lock_guard lock(state.mutex);
    state.rules.clear();
}

}  // namespace WinCompat::Testing
