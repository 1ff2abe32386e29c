#include "ComApartment.h"

#include <objbase.h>

#include <thread>

namespace VelmoraWine {

HRESULT probeApartment(DWORD model) {
    const HRESULT result = CoInitializeEx(nullptr, model);
    if (SUCCEEDED(result)) CoUninitialize();
    return result;
}

void onFreshThread(const std::function<void()>& body) {
    std::thread thread(body);
    thread.join();
}

}  // namespace VelmoraWine
