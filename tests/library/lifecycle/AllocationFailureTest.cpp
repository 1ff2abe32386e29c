// Memory running out at any allocation of createVM or setDiskImages: the call either ends normally or leaves
// by HResultError(E_OUTOFMEMORY), releases everything, and gives the thread its previous log callback back.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "LifecycleSupport.h"
#include "Velmora/HResultError.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;

// The lines of an outer export, whose callback runs the call under test while the outer export logs its
// banner. The outer export's later lines arrive here only if the inner call restored this callback.
thread_local LogLines outerLines;
thread_local std::function<void()> innerCall;

void outerLog(Velmora::LoggingLevel level, const char* line) {
    outerLines.push_back({level, line});
    if (innerCall) std::exchange(innerCall, nullptr)();
}

class AllocationFailure : public LifecycleTest {
protected:
    // Fails the library's allocation number 1, 2, ... in turn until a run completes without reaching it.
    // `prepare` puts the host in place for one run and returns the call to make.
    void failEachAllocation(const std::function<std::function<void()>()>& prepare) {
        unsigned long failures = 0;
        for (unsigned long failAt = 1;; ++failAt) {
            SCOPED_TRACE("allocation " + std::to_string(failAt));
            Control::reset();
            clearCapturedLines();
            outerLines.clear();
            const std::function<void()> call = prepare();
            bool threw = false;
            HRESULT code = S_OK;
            unsigned long counted = 0;
            innerCall = [&] {
                WinCompat::Testing::armAllocationFailure(failAt, libraryModule());
                try {
                    call();
                } catch (const Velmora::HResultError& failure) {
                    threw = true;
                    code = failure.hresult();
                }
                counted = WinCompat::Testing::disarmAllocationFailure();
            };
            std::uint64_t usedMemory = 0;
            EXPECT_TRUE(Velmora::retrieveUsedMemory(outerLog, usedMemory));

            if (threw) {
                ++failures;
                EXPECT_EQ(code, E_OUTOFMEMORY);
            }
            ASSERT_FALSE(outerLines.empty());
            EXPECT_EQ(outerLines.front(), info("Get used memory"));
            EXPECT_EQ(outerLines.back(), info("Get used memory - OK"));
            const LogLines& inner = capturedLines();
            EXPECT_EQ(std::count(inner.begin(), inner.end(), info("Get used memory - OK")), 0);
            expectNothingLive();
            if (HasFatalFailure() || counted < failAt) break;
        }
        EXPECT_GT(failures, 0u);
    }
};

TEST_F(AllocationFailure, CreateVMReleasesEverythingWhereverMemoryRunsOut) {
    failEachAllocation([this] {
        auto settings = std::make_shared<MachineSettings>();
        settings->withSwitches({hostSwitchPaths().at(0)});
        auto created = std::make_shared<CreatedMachine>();
        return std::function<void()>(
            [settings, created] { Velmora::createVM(captureLog, settings->record(), created->created); });
    });
}

TEST_F(AllocationFailure, SetDiskImagesReleasesEverythingWhereverMemoryRunsOut) {
    // One image on a generation 1 machine passes every step: IDE controllers, a new SCSI controller, a
    // drive and a disk.
    const std::vector<std::wstring> images = makeImages(1);
    failEachAllocation([&images] {
        const std::wstring vmPath = Control::defineMachine(L"vm", 1);
        return std::function<void()>([vmPath, &images] {
            std::vector<const wchar_t*> list = pointers(images);
            Velmora::setDiskImages(captureLog, vmPath.c_str(), 1, list.data(),
                                   static_cast<std::uint32_t>(list.size()));
        });
    });
}

}  // namespace
}  // namespace VelmoraTest
