// The frame every export runs its work inside: log scope, banner, COM, connection, namespace, work,
// release in reverse order, COM end, callback restored.
#pragma once

#include <functional>

#include "Velmora.h"
#include "platform.h"

namespace Velmora {

using HyperVWork = std::function<bool(IWbemServices* hyperV)>;

// COM start-up, connection to "root", "virtualization\v2", the work, and everything released again.
// False when any step before the work fails (its own line has been logged) or when the work returns false.
bool withHyperVServices(const HyperVWork& work);

// The whole frame of an export: LogScope with `log`, the banner at Info, then withHyperVServices.
bool runExport(LogCallback log, const char* banner, const HyperVWork& work);

}  // namespace Velmora
