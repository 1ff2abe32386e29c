// One WMI call as the host sees it: the fault rule that fires on it (if any) and its journal entry. Every
// COM method of the host starts one Call and leaves through finish(), so faults and the journal are decided
// in this one place.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "HyperVSim/Control.h"
#include "control/FaultPlan.h"
#include "control/Journal.h"
#include "platform.h"

namespace HyperVSim {

class Call {
public:
    Call(const char* operation, std::wstring argument)
        : operation_(operation),
          argument_(std::move(argument)),
          fault_(FaultPlan::instance().match(operation_, argument_)) {}

    const std::optional<Fault>& fault() const { return fault_; }
    bool fires(Fault::Kind kind) const { return fault_ && fault_->kind == kind; }
    // The failing result of a Fail rule, when one fires.
    std::optional<HRESULT> failure() const {
        if (fires(Fault::Kind::Fail)) return static_cast<HRESULT>(fault_->result);
        return std::nullopt;
    }

    HRESULT finish(HRESULT result) {
        Journal::instance().record(operation_, std::move(argument_), result);
        return result;
    }

private:
    std::string operation_;
    std::wstring argument_;
    std::optional<Fault> fault_;
};

inline std::wstring textOf(const wchar_t* text) {
    return text ? std::wstring(text) : std::wstring();
}

}  // namespace HyperVSim
