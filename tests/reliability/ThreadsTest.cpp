// Eight threads take machines through their whole life on one host at once, each with its own callback.
#include <gtest/gtest.h>

#include <HyperVSim/Control.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ExportRuns.h"
#include "LibraryTest.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;

constexpr int threadCount = 8;
constexpr int rounds = 3;

struct ThreadLog {
    std::thread::id owner;
    std::vector<std::string> lines;
    bool foreign = false;  // a line arrived on another thread than the owner
};
std::array<ThreadLog, threadCount> logs;

template <int Index>
void logOf(Velmora::LoggingLevel, const char* line) {
    ThreadLog& log = logs[Index];
    if (std::this_thread::get_id() != log.owner) log.foreign = true;
    log.lines.emplace_back(line);
}

template <int... Indices>
constexpr std::array<Velmora::LogCallback, threadCount> callbacksOf(std::integer_sequence<int, Indices...>) {
    return {&logOf<Indices>...};
}
constexpr auto callbacks = callbacksOf(std::make_integer_sequence<int, threadCount>{});

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

class Threads : public LibraryTest {};

TEST_F(Threads, WholeLivesOnOneHostStayApart) {
    const auto switchesBefore = Control::switches();
    ASSERT_FALSE(switchesBefore.empty());
    const std::wstring switchPath = switchesBefore.front().path;
    std::array<std::vector<std::string>, threadCount> created;
    std::array<int, threadCount> failures{};

    std::vector<std::thread> threads;
    for (int index = 0; index < threadCount; ++index) {
        threads.emplace_back([&, index] {
            logs[index].owner = std::this_thread::get_id();
            const Velmora::LogCallback log = callbacks[index];
            for (int round = 0; round < rounds; ++round) {
                const std::wstring name = L"t" + std::to_wstring(index) + L"r" + std::to_wstring(round);
                const std::wstring folder = L"C:\\VMs";
                const wchar_t* networks[] = {switchPath.c_str()};
                const Velmora::VMSettings settings{
                    name.c_str(), 2, std::uint64_t{1} << 30, folder.c_str(), Velmora::CPUSettings{1, 0, 100, 100},
                    networks,     1};
                Velmora::CreatedVM vm{};
                if (!Velmora::createVM(log, settings, vm)) {
                    ++failures[index];
                    continue;
                }
                created[index].push_back(narrow(vm.vmPath));
                const std::wstring image = makeImage(name + L".vhdx");
                const wchar_t* images[] = {image.c_str()};
                std::uint64_t used = 0;
                const bool ok = Velmora::setDiskImages(log, vm.vmPath, 2, images, 1) &&
                                Velmora::startVM(log, vm.vmPath) && Velmora::retrieveUsedMemory(log, used) &&
                                Velmora::stopVM(log, vm.vmPath) && Velmora::deleteVM(log, vm.vmPath);
                if (!ok) ++failures[index];
            }
        });
    }
    for (auto& thread : threads) thread.join();

    for (int index = 0; index < threadCount; ++index) {
        SCOPED_TRACE("thread " + std::to_string(index));
        EXPECT_EQ(failures[index], 0) << [&] {
            std::string all;
            for (auto& l : logs[index].lines) all += l + "\n";
            return all;
        }();
        EXPECT_FALSE(logs[index].foreign);
        EXPECT_EQ(created[index].size(), static_cast<std::size_t>(rounds));
        for (const std::string& line : logs[index].lines) {
            for (int other = 0; other < threadCount; ++other) {
                if (other == index) continue;
                for (const std::string& path : created[other])
                    EXPECT_EQ(line.find(path), std::string::npos) << line;
            }
        }
    }
    EXPECT_TRUE(Control::machines().empty());
    const auto switchesAfter = Control::switches();
    ASSERT_EQ(switchesAfter.size(), switchesBefore.size());
    for (std::size_t i = 0; i < switchesAfter.size(); ++i) {
        EXPECT_EQ(switchesAfter[i].path, switchesBefore[i].path);
        EXPECT_EQ(switchesAfter[i].name, switchesBefore[i].name);
    }
}

}  // namespace
}  // namespace VelmoraTest
