// main of the library's test programs on Windows: the simulated host, linked into the program, registers its
// WMI locator and object text source with the COM runtime (<HyperVSim/Registration.h>), so that every
// thread in the multithreaded apartment and every thread without COM reaches them through CoCreateInstance;
// then the tests run.
#include <gtest/gtest.h>

#include <cstdio>

#include "HyperVSim/Registration.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const long registered = HyperVSimRegisterClassObjects();
    if (registered < 0) {
        std::fprintf(stderr, "cannot register the simulated host: 0x%08lX\n",
                     static_cast<unsigned long>(registered));
        return 2;
    }
    const int result = RUN_ALL_TESTS();
    HyperVSimRevokeClassObjects();
    return result;
}
