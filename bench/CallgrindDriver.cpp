// Runs one export for instruction counts: `velmora_callgrind_driver <export>` sets up the default host,
// calls the export once to warm up (first-call costs of the process: COM security, class tables, the
// host's schema) and then once more inside measuredCall, the only function whose cost callgrind collects
// (valgrind --tool=callgrind --collect-atstart=no --toggle-collect=measuredCall).
#include <HyperVSim/Control.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "support/DiskImages.h"
#include "support/Scene.h"

using namespace VelmoraBench;
using HyperVSim::Control;

extern "C" __attribute__((noinline)) bool measuredCall(const std::function<bool()>* call) {
    return (*call)();
}

namespace {

bool measure(const std::function<bool()>& prepare, const std::function<bool()>& call) {
    if (!prepare() || !call()) return false;
    if (!prepare()) return false;
    return measuredCall(&call);
}

bool run(const std::string& name) {
    resetHost();
    const std::wstring switchPath = Control::switches().front().path;
    const MachineRequest request{L"measured", {switchPath.c_str()}};
    const Velmora::VMSettings settings = request.settings();
    Velmora::CreatedVM created{};
    std::wstring machine;
    const auto defineStopped = [&] {
        if (!machine.empty()) Velmora::deleteVM(quietLog, machine.c_str());
        machine = Control::defineMachine(L"measured", 2);
        return true;
    };
    static Velmora::NetworksList list;
    std::uint64_t used = 0;
    auto images = DiskImages::first(1);

    if (name == "createVM")
        return measure([&] { return created.vmPath[0] == 0 || Velmora::deleteVM(quietLog, created.vmPath); },
                       [&] { return Velmora::createVM(quietLog, settings, created); });
    if (name == "deleteVM") {
        return measure([&] { return (machine = Control::defineMachine(L"measured", 2), true); },
                       [&] { return Velmora::deleteVM(quietLog, machine.c_str()); });
    }
    if (name == "startVM")
        return measure(defineStopped, [&] { return Velmora::startVM(quietLog, machine.c_str()); });
    if (name == "stopVM")
        return measure([&] { return defineStopped() && Velmora::startVM(quietLog, machine.c_str()); },
                       [&] { return Velmora::stopVM(quietLog, machine.c_str()); });
    if (name == "setDiskImages")
        return measure(defineStopped,
                       [&] { return Velmora::setDiskImages(quietLog, machine.c_str(), 2, images.data(), 1); });
    if (name == "retrieveAvailableNetworkAdapters")
        return measure([] { return true; },
                       [] { return Velmora::retrieveAvailableNetworkAdapters(quietLog, list); });
    if (name == "retrieveUsedMemory")
        return measure([] { return true; }, [&] { return Velmora::retrieveUsedMemory(quietLog, used); });
    std::fprintf(stderr, "unknown export: %s\n", name.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <export>\n", argv[0]);
        return 2;
    }
    const bool ok = run(argv[1]);
    if (!ok) std::fprintf(stderr, "%s failed\n", argv[1]);
    return ok ? 0 : 1;
}
