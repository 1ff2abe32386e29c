// What the tests can learn about the platform's resources. Off Windows the stand-in accounts for strings,
// arrays and COM initialisation (WinCompat/Testing.h) and can fail COM runtime calls; on Windows only the
// COM state of the calling thread can be told (CoInitializeEx answers S_OK or S_FALSE), and nothing about
// strings or arrays.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "TestPlatform.h"

namespace VelmoraTest {

struct PlatformSnapshot {
    long strings = 0;
    long arrays = 0;
    int comDepth = 0;  // Windows: 1 when the thread has COM initialised, else 0
};

class PlatformProbe {
public:
    // Whether the platform can tell string and array counts and fail COM runtime calls (the stand-in).
    static constexpr bool accountsResources() {
#ifdef _WIN32
        return false;
#else
        return true;
#endif
    }
    static PlatformSnapshot snapshot();
    // Disarms allocation failures and clears COM runtime faults, where the platform has them.
    static void clearFaults();
};

}  // namespace VelmoraTest

// Ends a test that needs the stand-in's accounting or faults as skipped on a platform without them.
#define VELMORA_NEEDS_STAND_IN()                                                              \
    do {                                                                                      \
        if (!::VelmoraTest::PlatformProbe::accountsResources())                               \
            GTEST_SKIP() << "needs the platform stand-in's accounting or COM runtime faults"; \
    } while (false)
