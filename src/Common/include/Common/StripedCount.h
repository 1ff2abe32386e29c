// A count that many threads change at once without meeting on one cache line: each thread adds to one of
// a fixed set of slots, chosen once per thread, and the count is their sum. Something made on one thread
// and released on another leaves +1 in one slot and -1 in another, so the sum stays right; read it when
// the threads that change it are done (a test's checks, after joining its threads).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

namespace Common {

class StripedCount {
public:
    void add(long delta) { slots_[slotOfThread()].value.fetch_add(delta, std::memory_order_relaxed); }
    long sum() const {
        long total = 0;
        for (const auto& slot : slots_) total += slot.value.load(std::memory_order_relaxed);
        return total;
    }

private:
    static constexpr std::size_t slotCount = 64;
    struct alignas(64) Slot {
        std::atomic<long> value{0};
    };
    static std::size_t slotOfThread() {
        static std::atomic<std::size_t> threads{0};
        thread_local const std::size_t slot = threads.fetch_add(1, std::memory_order_relaxed) % slotCount;
        return slot;
    }
    std::array<Slot, slotCount> slots_{};
};

}  // namespace Common
