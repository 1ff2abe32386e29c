// The COM task allocator.
#include <cstdlib>

#include "WinCompat/unknwn.h"

WINCOMPAT_API LPVOID CoTaskMemAlloc(std::size_t cb) {
    return std::malloc(cb == 0 ? 1 : cb);
}

WINCOMPAT_API void CoTaskMemFree(LPVOID pv) {
    std::free(pv);
}
