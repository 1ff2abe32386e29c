// Eight threads take machines through their whole life on one host at once, each with a callback of its own:
// every call succeeds, every line reaches the callback of the thread that made the call, and no thread hears of
// another's machines.
#include <HyperVSim/Control.h>

#include <array>
#include <cstdint>
#include <thread>

#include "Reliability.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;

constexpr int threadCount = 8, rounds = 3;

struct ThreadLog {
    std::thread::id owner;
    std::string lines;
    bool foreign = false;  // a line arrived on another thread than the owner
};
std::array<ThreadLog, threadCount> logs;

template <int Index>
void logOf(Velmora::LoggingLevel, const char* line) {
    logs[Index].foreign |= std::this_thread::get_id() != logs[Index].owner;
    logs[Index].lines += std::string(line) + '\n';
}

template <int... Indices>
constexpr std::array<Velmora::LogCallback, threadCount> callbacksOf(std::integer_sequence<int, Indices...>) {
    return {&logOf<Indices>...};
}
constexpr auto callbacks = callbacksOf(std::make_integer_sequence<int, threadCount>{});

class Threads : public LibraryTest {};

TEST_F(Threads, WholeLivesOnOneHostStayApart) {
    const auto switches = [] {  // paths and names
        std::wstring all;
        for (const auto& view : Control::switches()) all += view.path + L'|' + view.name + L'\n';
        return all;
    };
    const std::wstring switchesBefore = switches(), firstSwitch = Control::switches().at(0).path;
    const wchar_t* networks[] = {firstSwitch.c_str()};
    std::array<std::vector<std::string>, threadCount> created;
    std::array<int, threadCount> failures{};
    std::vector<std::thread> threads;
    for (int index = 0; index < threadCount; ++index) {
        threads.emplace_back([&, index] {
            logs[index].owner = std::this_thread::get_id();
            const Velmora::LogCallback log = callbacks[index];
            for (int round = 0; round < rounds; ++round) {
                const std::wstring name = L"t" + std::to_wstring(index) + L"r" + std::to_wstring(round);
                const std::wstring image = makeImage(name + L".vhdx");
                const wchar_t* images[] = {image.c_str()};
                const Velmora::VMSettings settings{
                    name.c_str(), 2, std::uint64_t{1} << 30, L"C:\\VMs", {1, 0, 100, 100}, networks, 1};
                Velmora::CreatedVM vm{};
                std::uint64_t used = 0;
                const bool ok = Velmora::createVM(log, settings, vm) &&
                                Velmora::setDiskImages(log, vm.vmPath, 2, images, 1) &&
                                Velmora::startVM(log, vm.vmPath) && Velmora::retrieveUsedMemory(log, used) &&
                                Velmora::stopVM(log, vm.vmPath) && Velmora::deleteVM(log, vm.vmPath);
                failures[index] += !ok;
                const std::wstring path = vm.vmPath;
                if (!path.empty()) created[index].push_back(std::string(path.begin(), path.end()));
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int index = 0; index < threadCount; ++index) {
        SCOPED_TRACE("thread " + std::to_string(index));
        EXPECT_EQ(failures[index], 0) << logs[index].lines;
        EXPECT_FALSE(logs[index].foreign);
        EXPECT_EQ(created[index].size(), static_cast<std::size_t>(rounds));
        for (int other = 0; other < threadCount; ++other) {
            if (other == index) continue;
            for (const std::string& path : created[other])
                EXPECT_EQ(logs[index].lines.find(path), std::string::npos);
        }
    }
    EXPECT_TRUE(Control::machines().empty());
    EXPECT_EQ(switches(), switchesBefore);
}

}  // namespace
}  // namespace VelmoraTest
