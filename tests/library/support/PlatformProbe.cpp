#include "PlatformProbe.h"

#ifndef _WIN32
#include <WinCompat/Testing.h>
#endif

namespace VelmoraTest {

#ifndef _WIN32

PlatformSnapshot PlatformProbe::snapshot() {
    const WinCompat::Testing::LiveCounts live = WinCompat::Testing::liveCounts();
    return {live.strings, live.arrays, WinCompat::Testing::comInitDepth()};
}

void PlatformProbe::clearFaults() {
    WinCompat::Testing::disarmAllocationFailure();
    WinCompat::Testing::clearFaults();
}

#else

PlatformSnapshot PlatformProbe::snapshot() {
    // S_OK: the thread had no COM (now undone at once); S_FALSE: it had; anything else: another apartment.
    const HRESULT result = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(result)) ::CoUninitialize();
    return {0, 0, result == S_OK ? 0 : 1};
}

void PlatformProbe::clearFaults() {}

#endif

}  // namespace VelmoraTest
