// Out of memory anywhere in startVM, stopVM or deleteVM leaves the export by HResultError(E_OUTOFMEMORY)
// with every object and string released, COM balanced and the previous log callback back in place.
#include <string>

#include "MethodsTest.h"
#include "Velmora/HResultError.h"
#include "Velmora/Velmora.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;
using Export = bool (*)(Velmora::LogCallback, const wchar_t*);

struct ExportCase {
    const char* name;
    Export call;
};

class ExportAllocationFailure : public LibraryTest, public ::testing::WithParamInterface<ExportCase> {};

TEST_P(ExportAllocationFailure, EveryFailedAllocationRaisesAndReleasesEverything) {
    const std::wstring vmPath = Control::defineMachine(L"vm1", 2);
    unsigned long failures = 0;
    for (unsigned long failAt = 1;; ++failAt) {
        ASSERT_LT(failAt, 500u) << "the export never completed";
        clearCapturedLines();
        WinCompat::Testing::armAllocationFailure(failAt, libraryModule());
        bool raised = false;
        try {
            GetParam().call(captureLog, vmPath.c_str());
        } catch (const Velmora::HResultError& e) {
            raised = true;
            EXPECT_EQ(e.hresult(), E_OUTOFMEMORY) << "allocation " << failAt;
        }
        WinCompat::Testing::disarmAllocationFailure();
        expectNothingLive();
        if (!raised) break;
        ++failures;
    }
    EXPECT_GT(failures, 0u);
}

// An export that raises inside another export's log callback: the outer export's later lines must reach
// the outer callback again, so the inner one restored what it found.
struct Nesting {
    Export inner = nullptr;
    std::wstring path;
    bool entered = false;
    bool raised = false;
    LogLines innerLines;
};
thread_local Nesting nesting;

void innerLog(Velmora::LoggingLevel level, const char* line) {
    nesting.innerLines.push_back({level, line});
}

void outerLog(Velmora::LoggingLevel level, const char* line) {
    captureLog(level, line);
    if (nesting.entered) return;
    nesting.entered = true;
    WinCompat::Testing::armAllocationFailure(1, libraryModule());
    try {
        nesting.inner(innerLog, nesting.path.c_str());
    } catch (const Velmora::HResultError&) {
        nesting.raised = true;
    }
    WinCompat::Testing::disarmAllocationFailure();
}

TEST_P(ExportAllocationFailure, PreviousCallbackIsBackAfterTheException) {
    const std::wstring vmPath = Control::defineMachine(L"vm1", 2);
    const std::wstring outerPath = Control::defineMachine(L"vm2", 2);
    nesting = Nesting{};
    nesting.inner = GetParam().call;
    nesting.path = vmPath;

    EXPECT_TRUE(Velmora::startVM(outerLog, outerPath.c_str()));

    EXPECT_TRUE(nesting.raised);
    EXPECT_FALSE(nesting.innerLines.empty());
    const LogLines& outer = capturedLines();
    ASSERT_EQ(outer.size(), 13u) << "outer lines went elsewhere";
    EXPECT_EQ(outer.front(), info("Starting VM"));
    EXPECT_EQ(outer.back(), info("Request VM state change - OK"));
    EXPECT_EQ(Control::machine(outerPath)->enabledState, 2);
    EXPECT_TRUE(Control::machine(vmPath).has_value());
}

INSTANTIATE_TEST_SUITE_P(Exports, ExportAllocationFailure,
                         ::testing::Values(ExportCase{"startVM", &Velmora::startVM},
                                           ExportCase{"stopVM", &Velmora::stopVM},
                                           ExportCase{"deleteVM", &Velmora::deleteVM}),
                         [](const ::testing::TestParamInfo<ExportCase>& param) { return param.param.name; });

}  // namespace
}  // namespace VelmoraTest
