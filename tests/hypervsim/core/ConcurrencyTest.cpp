// Many clients at once: readers and writers on their own threads, each with its own COM objects.
#include <atomic>
#include <thread>

#include "HostClient.h"

namespace HyperVSimTest {
namespace {

using ConcurrencyTest = HostTest;

TEST_F(ConcurrencyTest, EightThreadsQueryAndChangeTheHostTogether) {
    constexpr int threads = 8, rounds = 25;
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &failures] {
            if (CoInitializeEx(nullptr, COINIT_MULTITHREADED) < 0) return void(++failures);
            {
                auto own = hyperV();
                for (int round = 0; round < rounds && own; ++round) {
                    if (t % 2 == 0)
                        Control::addSwitch(L"Switch " + std::to_wstring(t) + L"/" + std::to_wstring(round));
                    auto capabilities =
                        HyperVSimTest::query(own.get(), L"select * from Msvm_AllocationCapabilities");
                    failures += capabilities.size() != 5;
                    for (const auto& item : capabilities)
                        failures += HyperVSimTest::query(
                                        own.get(), L"References of {" + text(item.get(), L"__PATH") +
                                                       L"} where ResultClass = Msvm_SettingsDefineCapabilities")
                                        .size() != 4;
                    failures +=
                        HyperVSimTest::query(own.get(), L"select * from Msvm_VirtualEthernetSwitch").size() < 2;
                }
            }
            CoUninitialize();
        });
    }
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(Control::switches().size(), 2u + (threads / 2) * rounds);
}

}  // namespace
}  // namespace HyperVSimTest
