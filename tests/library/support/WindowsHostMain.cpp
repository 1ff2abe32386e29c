// main of the library's test programs on Windows: the simulated host's WMI locator and object text source
// are registered (CoRegisterClassObject) from a thread that stays in the multithreaded apartment, so that
// every MTA thread and every thread without COM reaches them through CoCreateInstance; then the tests run.
#include <gtest/gtest.h>

#include "WindowsHostRegistration.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    VelmoraTest::WindowsHostRegistration registration;
    if (!registration.ok()) return 2;
    return RUN_ALL_TESTS();
}
