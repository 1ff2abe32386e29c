// How the exports scale with the size of what they walk or make: switches, Msvm_Memory instances, disk
// images, network adapters. Each size 0 is the baseline that the report subtracts to give the cost per item.
#include <HyperVSim/Control.h>

#include <string>

#include "support/Counters.h"
#include "support/DiskImages.h"
#include "support/Scene.h"

namespace VelmoraBench {
namespace {

using HyperVSim::Control;

// Long enough that 1,000 switches already overflow the 65,536 characters of NetworksList.
constexpr std::size_t switchNameLength = 64;

void BM_switches(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    resetHost();
    replaceSwitches(count, switchNameLength);
    static Velmora::NetworksList list;
    recordRoundTrips(state, required::retrieveAvailableNetworkAdapters(count),
                     [] { return Velmora::retrieveAvailableNetworkAdapters(quietLog, list); });
    for (auto _ : state) expectSuccess(state, Velmora::retrieveAvailableNetworkAdapters(quietLog, list));
    state.counters["items"] = static_cast<double>(count);
    resetHost();
}

void BM_memory(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    resetHost();
    replaceMemory(count);
    std::uint64_t used = 0;
    recordRoundTrips(state, required::retrieveUsedMemory(count),
                     [&] { return Velmora::retrieveUsedMemory(quietLog, used); });
    for (auto _ : state) expectSuccess(state, Velmora::retrieveUsedMemory(quietLog, used));
    if (used != 4096ull * 262144ull * count) state.SkipWithError("wrong sum of the memory");
    state.counters["items"] = static_cast<double>(count);
    resetHost();
}

void BM_diskImages(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    resetHost();
    auto images = DiskImages::first(count);
    const auto attach = [&](const std::wstring& path) {
        return Velmora::setDiskImages(quietLog, path.c_str(), 2, images.data(), static_cast<std::uint32_t>(count));
    };
    const std::wstring measuredMachine = Control::defineMachine(L"bench-disks", 2);
    recordRoundTrips(state, required::setDiskImages(count), [&] { return attach(measuredMachine); });
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
    state.counters["items"] = static_cast<double>(count);
}

// createVM with `range(0)` adapters on a host that already holds range(1) machines.
void BM_adapters(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    resetHost();
    addIdleMachines(static_cast<std::size_t>(state.range(1)));
    const auto switches = Control::switches();
    MachineRequest request{L"bench-adapters", {}};
    for (std::size_t i = 0; i < count; ++i) request.networks.push_back(switches[i % switches.size()].path.c_str());
    const Velmora::VMSettings settings = request.settings();
    Velmora::CreatedVM created{};
    recordRoundTrips(state, required::createVM(count),
                     [&] { return Velmora::createVM(quietLog, settings, created); });
    Velmora::deleteVM(quietLog, created.vmPath);
    for (auto _ : state) {
        expectSuccess(state, Velmora::createVM(quietLog, settings, created));
        state.PauseTiming();
        Velmora::deleteVM(quietLog, created.vmPath);
        state.ResumeTiming();
    }
    state.counters["items"] = static_cast<double>(count);
    resetHost();
}

// A machine's whole life (create, start, stop, delete) on a host that holds range(0) other machines.
void BM_lifecycle(benchmark::State& state) {
    resetHost();
    addIdleMachines(static_cast<std::size_t>(state.range(0)));
    const MachineRequest request{L"bench-lifecycle", {}};
    const Velmora::VMSettings settings = request.settings();
    const auto lifecycle = [&] {
        Velmora::CreatedVM created{};
        return Velmora::createVM(quietLog, settings, created) && Velmora::startVM(quietLog, created.vmPath) &&
               Velmora::stopVM(quietLog, created.vmPath) && Velmora::deleteVM(quietLog, created.vmPath);
    };
    recordRoundTrips(state, required::createVM(0) + required::startVM + required::stopVM + required::deleteVM,
                     lifecycle);
    for (auto _ : state) expectSuccess(state, lifecycle());
    state.counters["machines"] = static_cast<double>(state.range(0));
    resetHost();
}

}  // namespace

BENCHMARK(BM_switches)->Arg(0)->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_memory)->Arg(0)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_diskImages)->Arg(0)->Arg(1)->Arg(16)->Arg(64)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_adapters)->Args({0, 1000})->Args({4, 1000})->Args({12, 1000})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_lifecycle)->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace VelmoraBench
