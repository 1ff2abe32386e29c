// Runs an export call from inside another export's log callback, so that a sweep sees whether the call
// gave the thread its caller's callback back: the outer export's later lines reach the outer callback only
// if it did.
#pragma once

#include <functional>

#include "LibraryTest.h"

namespace VelmoraTest {

struct NestedOutcome {
    bool result = false;
    bool threw = false;     // the call left by Velmora::HResultError
    HRESULT code = S_OK;    // its HRESULT
    bool restored = false;  // the outer export went on logging to its own callback, and only there
};

// `call` runs while the outer export (retrieveUsedMemory) logs its first line, before the outer export
// makes any WMI call; `after` runs right after it, still inside (e.g. to disarm a fault).
NestedOutcome runNested(const std::function<bool()>& call, const std::function<void()>& after = {});

}  // namespace VelmoraTest
