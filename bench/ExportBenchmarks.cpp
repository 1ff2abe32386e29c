// Each export once per iteration on the default simulated host, with its round trips against the required
// count. Set-up and clean-up that the measured call needs (a machine to start, to delete, to give disks)
// run with the timer paused.
#include <HyperVSim/Control.h>

#include <string>

#include "support/Counters.h"
#include "support/DiskImages.h"
#include "support/Scene.h"

namespace VelmoraBench {
namespace {

using HyperVSim::Control;

std::wstring defaultSwitch() {
    return Control::switches().front().path;
}

void BM_createVM(benchmark::State& state) {
    resetHost();
    const std::wstring switchPath = defaultSwitch();
    const MachineRequest request{L"bench-create", {switchPath.c_str()}};
    const Velmora::VMSettings settings = request.settings();
    Velmora::CreatedVM created{};
    recordRoundTrips(state, required::createVM(1), [&] { return Velmora::createVM(quietLog, settings, created); });
    Velmora::deleteVM(quietLog, created.vmPath);
    for (auto _ : state) {
        expectSuccess(state, Velmora::createVM(quietLog, settings, created));
        state.PauseTiming();
        Velmora::deleteVM(quietLog, created.vmPath);
        state.ResumeTiming();
    }
}

void BM_deleteVM(benchmark::State& state) {
    resetHost();
    recordRoundTrips(state, required::deleteVM, [] {
        const std::wstring path = Control::defineMachine(L"bench-delete", 2);
        return Velmora::deleteVM(quietLog, path.c_str());
    });
    for (auto _ : state) {
        state.PauseTiming();
        const std::wstring path = Control::defineMachine(L"bench-delete", 2);
        state.ResumeTiming();
        expectSuccess(state, Velmora::deleteVM(quietLog, path.c_str()));
    }
}

void BM_startVM(benchmark::State& state) {
    resetHost();
    const std::wstring path = Control::defineMachine(L"bench-start", 2);
    recordRoundTrips(state, required::startVM, [&] { return Velmora::startVM(quietLog, path.c_str()); });
    Velmora::stopVM(quietLog, path.c_str());
    for (auto _ : state) {
        expectSuccess(state, Velmora::startVM(quietLog, path.c_str()));
        state.PauseTiming();
        Velmora::stopVM(quietLog, path.c_str());
        state.ResumeTiming();
    }
}

void BM_stopVM(benchmark::State& state) {
    resetHost();
    const std::wstring path = Control::defineMachine(L"bench-stop", 2);
    Velmora::startVM(quietLog, path.c_str());
    recordRoundTrips(state, required::stopVM, [&] { return Velmora::stopVM(quietLog, path.c_str()); });
    for (auto _ : state) {
        state.PauseTiming();
        Velmora::startVM(quietLog, path.c_str());
        state.ResumeTiming();
        expectSuccess(state, Velmora::stopVM(quietLog, path.c_str()));
    }
}

void BM_setDiskImages(benchmark::State& state) {
    resetHost();
    auto images = DiskImages::first(1);
    const auto attach = [&](const std::wstring& path) {
        return Velmora::setDiskImages(quietLog, path.c_str(), 2, images.data(), 1);
    };
    const std::wstring measuredMachine = Control::defineMachine(L"bench-disks", 2);
    recordRoundTrips(state, required::setDiskImages(1), [&] { return attach(measuredMachine); });
    Velmora::deleteVM(quietLog, measuredMachine.c_str());
    for (auto _ : state) {
        state.PauseTiming();
        const std::wstring path = Control::defineMachine(L"bench-disks", 2);
        state.ResumeTiming();
        expectSuccess(state, attach(path));
        state.PauseTiming();
        Velmora::deleteVM(quietLog, path.c_str());
        state.ResumeTiming();
    }
}

void BM_retrieveAvailableNetworkAdapters(benchmark::State& state) {
    resetHost();
    const std::size_t switches = Control::switches().size();
    static Velmora::NetworksList list;
    recordRoundTrips(state, required::retrieveAvailableNetworkAdapters(switches),
                     [] { return Velmora::retrieveAvailableNetworkAdapters(quietLog, list); });
    for (auto _ : state) expectSuccess(state, Velmora::retrieveAvailableNetworkAdapters(quietLog, list));
}

void BM_retrieveUsedMemory(benchmark::State& state) {
    resetHost();
    // The default host describes its memory with three Msvm_Memory instances (two nodes and the aggregate).
    constexpr std::size_t defaultMemoryInstances = 3;
    std::uint64_t used = 0;
    recordRoundTrips(state, required::retrieveUsedMemory(defaultMemoryInstances),
                     [&] { return Velmora::retrieveUsedMemory(quietLog, used); });
    for (auto _ : state) expectSuccess(state, Velmora::retrieveUsedMemory(quietLog, used));
}

}  // namespace

BENCHMARK(BM_createVM)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_deleteVM)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_startVM)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_stopVM)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_setDiskImages)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_retrieveAvailableNetworkAdapters)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_retrieveUsedMemory)->Unit(benchmark::kMicrosecond);

}  // namespace VelmoraBench
