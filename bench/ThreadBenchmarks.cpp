// Throughput with one and two threads calling at once on one host: a read (retrieveUsedMemory over 1,000
// Msvm_Memory instances) and a machine's lifecycle (each thread its own machines). Real time, so that the
// items per second of the two-thread run are the host's throughput.
#include <HyperVSim/Control.h>

#include <string>

#include "support/Counters.h"
#include "support/Scene.h"

namespace VelmoraBench {
namespace {

constexpr std::size_t memoryInstances = 1000;

void BM_threads_retrieveUsedMemory(benchmark::State& state) {
    if (state.thread_index() == 0) {
        resetHost();
        replaceMemory(memoryInstances);
    }
    std::uint64_t used = 0;
    for (auto _ : state) expectSuccess(state, Velmora::retrieveUsedMemory(quietLog, used));
    state.SetItemsProcessed(state.iterations());
}

void BM_threads_lifecycle(benchmark::State& state) {
    if (state.thread_index() == 0) resetHost();
    const MachineRequest request{L"bench-thread-" + std::to_wstring(state.thread_index()), {}};
    const Velmora::VMSettings settings = request.settings();
    for (auto _ : state) {
        Velmora::CreatedVM created{};
        expectSuccess(
            state, Velmora::createVM(quietLog, settings, created) && Velmora::startVM(quietLog, created.vmPath) &&
                       Velmora::stopVM(quietLog, created.vmPath) && Velmora::deleteVM(quietLog, created.vmPath));
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_threads_retrieveUsedMemory)->Threads(1)->Threads(2)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_threads_lifecycle)->Threads(1)->Threads(2)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace VelmoraBench
