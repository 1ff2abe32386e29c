// Observing a thread's COM initialisation from the outside: CoInitializeEx answers S_OK on a thread
// without COM and S_FALSE on a thread already in the requested apartment, so one probe (undone at once)
// tells whether a call left the thread's initialisation count as it found it.
#pragma once

#include <windows.h>

#include <functional>

namespace VelmoraWine {

// CoInitializeEx(model) on the calling thread, balanced again before returning when it succeeded.
HRESULT probeApartment(DWORD model);

// Runs `body` on a new thread and waits for it, so that it starts with no COM initialisation of its own.
void onFreshThread(const std::function<void()>& body);

}  // namespace VelmoraWine
