#pragma once

#include "WinCompat/wbemcli.h"
