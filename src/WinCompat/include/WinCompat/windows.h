// Everything of the Windows platform that the project uses, for builds off Windows.
#pragma once

#include "WinCompat/basetypes.h"
#include "WinCompat/oleauto.h"
#include "WinCompat/unknwn.h"
#include "WinCompat/winnls.h"
