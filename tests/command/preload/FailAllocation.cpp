// Preloaded into the velmora command by a test: makes the library's N-th allocation fail as if memory were
// exhausted, N taken from VELMORA_TEST_FAIL_ALLOCATION, so that the command meets Velmora::HResultError.
#include <Velmora/Velmora.h>
#include <WinCompat/Testing.h>

#include <cstdlib>

namespace {

__attribute__((constructor)) void armFromEnvironment() {
    const char* failAt = std::getenv("VELMORA_TEST_FAIL_ALLOCATION");
    if (failAt == nullptr) return;
    // Any address inside the library selects it: only its own allocations are counted.
    WinCompat::Testing::armAllocationFailure(std::strtoul(failAt, nullptr, 10),
                                             reinterpret_cast<const void*>(&Velmora::retrieveUsedMemory));
}

}  // namespace
