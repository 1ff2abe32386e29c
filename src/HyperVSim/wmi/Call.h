// One WMI call as the host sees it: the fault rule that fires on it (if any) and its journal entry. Every
// COM method of the host starts one Call and leaves through finish(), so faults and the journal are decided
// in this one place.
#pragma once

#include <cwchar>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "HyperVSim/Control.h"
#include "control/FaultPlan.h"
#include "control/Journal.h"
#include "platform.h"

namespace HyperVSim {

class Call {
public:
    // The argument is borrowed (it must outlive the call: a member of the object called, the caller's own
    // text) or, given as a temporary, kept; the journal copies it only while it records.
    Call(const char* operation, std::wstring_view argument)
        : operation_(operation), argument_(argument), faults_(FaultPlan::instance().match(operation_, argument_)) {}
    Call(const char* operation, const wchar_t* argument)
        : Call(operation, argument ? std::wstring_view(argument) : std::wstring_view()) {}
    Call(const char* operation, std::wstring&& argument)
        : operation_(operation),
          kept_(std::move(argument)),
          argument_(kept_),
          faults_(FaultPlan::instance().match(operation_, argument_)) {}
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    const std::vector<Fault>& faults() const { return faults_; }
    // The first firing rule of that kind, or nullptr.
    const Fault* fired(Fault::Kind kind) const {
        for (const auto& fault : faults_)
            if (fault.kind == kind) return &fault;
        return nullptr;
    }
    bool fires(Fault::Kind kind) const { return fired(kind) != nullptr; }
    // The result of a Fail rule, when one fires.
    std::optional<HRESULT> failure() const {
        if (const Fault* fault = fired(Fault::Kind::Fail)) return static_cast<HRESULT>(fault->result);
        return std::nullopt;
    }

    // What `work` returns, or `onStateFileError` when the host cannot read or write its state file: a C++
    // exception must never leave through a COM method, so the caller sees a failed WMI call instead.
    template <class Work, class Result>
    static Result shielded(Work&& work, Result onStateFileError) {
        try {
            return work();
        } catch (const StateFileError&) {
            return onStateFileError;
        }
    }

    HRESULT finish(HRESULT result) {
        Journal::instance().record(operation_, argument_, result);
        return result;
    }

private:
    std::string_view operation_;
    std::wstring kept_;
    std::wstring_view argument_;
    std::vector<Fault> faults_;
};

// A BSTR argument reaches an out-of-process WMI service through a proxy that copies it by its length
// prefix, so text that is not a BSTR (a plain wide literal) would arrive with whatever length the bytes
// before it hold. The host checks what the proxy relies on and refuses such an argument as the stub would.
inline bool marshalsAsBstr(const BSTR text) {
    return !text || SysStringLen(text) == std::wcslen(text);
}
inline constexpr HRESULT rpcBadStubData = static_cast<HRESULT>(0x800706F7);

inline std::wstring textOf(const wchar_t* text) {
    return text ? std::wstring(text) : std::wstring();
}

}  // namespace HyperVSim
