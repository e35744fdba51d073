// What the process entry keeps for the rest of the Win32 program.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/handover.h"
#include "base/text.h"

// The window message of the instance hand-over; every instance registers the same name
// and so gets the same number. 0 when the registration failed.
extern UINT gHandoverMessage;
// wParam of a hand-over message: kHandoverCode of app/handover.h.

// The tooltip switch set at start from the settings: 0 on, -1 off. The shared tooltip
// routine takes it over once it exists.
extern int32_t gToolTipSwitch;

// The full path of the running executable, as GetModuleFileNameW gives it for the
// program's own module (276 units at most).
Text EXENAME();
