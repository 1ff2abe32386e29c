// A machine from its creation to its deletion, through the exports only; afterwards the host is as it was.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "LifecycleSupport.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;

class WholeLifecycle : public LifecycleTest {};

// (path, name) pairs of a filled NetworksList.
std::vector<std::pair<std::wstring, std::wstring>> switchesIn(const Velmora::NetworksList& list) {
    std::vector<std::pair<std::wstring, std::wstring>> result;
    const wchar_t* entry = list.entries;
    while (*entry) {
        std::wstring path = entry;
        entry += path.size() + 1;
        std::wstring name = entry;
        entry += name.size() + 1;
        result.emplace_back(std::move(path), std::move(name));
    }
    return result;
}

bool sameSwitches(const std::vector<HyperVSim::SwitchView>& a, const std::vector<HyperVSim::SwitchView>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].path != b[i].path || a[i].name != b[i].name) return false;
    }
    return true;
}

TEST_F(WholeLifecycle, CreateEquipRunStopAndDeleteLeavesTheHostAsItWas) {
    const std::vector<HyperVSim::SwitchView> hostSwitches = Control::switches();
    const std::vector<std::wstring> images = makeImages(3);

    auto list = std::make_unique<Velmora::NetworksList>();
    ASSERT_TRUE(Velmora::retrieveAvailableNetworkAdapters(captureLog, *list));
    const auto listed = switchesIn(*list);
    ASSERT_EQ(listed.size(), hostSwitches.size());
    ASSERT_EQ(listed.size(), 2u);
    for (std::size_t i = 0; i < listed.size(); ++i) {
        EXPECT_EQ(listed[i].first, hostSwitches[i].path);
        EXPECT_EQ(listed[i].second, hostSwitches[i].name);
    }

    std::uint64_t memoryBefore = 0;
    ASSERT_TRUE(Velmora::retrieveUsedMemory(captureLog, memoryBefore));

    MachineSettings settings(L"lifecycle", 2);
    settings.ramSizeBytes = 2ull * 1024 * 1024 * 1024;
    settings.withSwitches({listed[0].first, listed[1].first});
    CreatedMachine created;
    ASSERT_TRUE(Velmora::createVM(captureLog, settings.record(), created.created));
    const std::wstring vmPath = created.path();

    std::vector<const wchar_t*> imageList = pointers(images);
    ASSERT_TRUE(Velmora::setDiskImages(captureLog, vmPath.c_str(), 2, imageList.data(), 3));

    std::optional<HyperVSim::MachineView> vm = Control::machine(vmPath);
    ASSERT_TRUE(vm.has_value());
    ASSERT_EQ(vm->adapters.size(), 2u);
    EXPECT_EQ(vm->adapters[0].switches, std::vector<std::wstring>{listed[0].first});
    EXPECT_EQ(vm->adapters[1].switches, std::vector<std::wstring>{listed[1].first});
    ASSERT_EQ(vm->controllers.size(), 1u);
    ASSERT_EQ(vm->controllers[0].drives.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(vm->controllers[0].drives[i].address, std::to_wstring(i));
        EXPECT_EQ(vm->controllers[0].drives[i].image, images[i]);
    }

    ASSERT_TRUE(Velmora::startVM(captureLog, vmPath.c_str()));
    EXPECT_EQ(Control::machine(vmPath)->enabledState, 2);
    std::uint64_t memoryRunning = 0;
    ASSERT_TRUE(Velmora::retrieveUsedMemory(captureLog, memoryRunning));
    EXPECT_EQ(memoryRunning - memoryBefore, settings.ramSizeBytes);

    ASSERT_TRUE(Velmora::stopVM(captureLog, vmPath.c_str()));
    EXPECT_EQ(Control::machine(vmPath)->enabledState, 3);
    ASSERT_TRUE(Velmora::deleteVM(captureLog, vmPath.c_str()));

    EXPECT_TRUE(Control::machines().empty());
    EXPECT_TRUE(sameSwitches(Control::switches(), hostSwitches));
    std::uint64_t memoryAfter = 0;
    ASSERT_TRUE(Velmora::retrieveUsedMemory(captureLog, memoryAfter));
    EXPECT_EQ(memoryAfter, memoryBefore);
    EXPECT_TRUE(imagesUntouched());
    // The only Error line is the end of setDiskImages' search for a SCSI controller the machine lacked.
    EXPECT_TRUE(sameLines(linesOfLevel(capturedLines(), Velmora::Error), {error("Query returned no objects!")}));
}

}  // namespace
}  // namespace VelmoraTest
