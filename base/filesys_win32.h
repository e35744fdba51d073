// What the Win32 file calls share beyond the file-system port itself.
#pragma once

#include "base/text.h"

// The path as a Win32 file call should receive it: longer than 255 units and absolute,
// it gets the "\\?\" prefix (the "\\?\UNC\" form for a network path) that lifts the
// 260-unit limit; otherwise it is returned unchanged.
Text Win32FilePath(TextView path);

// A short English description of a Win32 error code, for fault reports.
const char* Win32ErrorDescription(unsigned long code);
