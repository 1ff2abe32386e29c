// Many clients at once: readers and writers on their own threads, each with its own COM objects.
#include <atomic>
#include <thread>

#include "WmiClient.h"

namespace HyperVSimTest {
namespace {

using HyperVSim::Control;
using ConcurrencyTest = HostTest;

TEST_F(ConcurrencyTest, EightThreadsQueryAndChangeTheHostTogether) {
    constexpr int threads = 8, rounds = 25;
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &failures] {
            if (CoInitializeEx(nullptr, COINIT_MULTITHREADED) < 0) {
                ++failures;
                return;
            }
            {
                auto own = hyperV();
                for (int round = 0; round < rounds && own; ++round) {
                    if (t % 2 == 0) {
                        Control::addSwitch(L"Switch " + std::to_wstring(t) + L"/" + std::to_wstring(round));
                    } else {
                        auto capabilities = queryAll(own.get(), L"select * from Msvm_AllocationCapabilities");
                        if (capabilities.size() != 5) ++failures;
                        for (const auto& item : capabilities) {
                            auto links =
                                queryAll(own.get(), L"References of {" + text(item.get(), L"__PATH") +
                                                        L"} where ResultClass = Msvm_SettingsDefineCapabilities");
                            if (links.size() != 4) ++failures;
                        }
                    }
                    const auto switches = queryAll(own.get(), L"select * from Msvm_VirtualEthernetSwitch");
                    if (switches.size() < 2) ++failures;
                }
            }
            CoUninitialize();
        });
    }
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(Control::switches().size(), 2u + (threads / 2) * rounds);
    EXPECT_EQ(Control::liveObjects(), 1);
}

}  // namespace
}  // namespace HyperVSimTest
