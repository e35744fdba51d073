// The additional-settings page: where results go, the filter presets, the explorer's
// context menu, start with Windows and the window options.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/text.h"

// The page's handler (the third tab of the main dialog).
INT_PTR CALLBACK AppSettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Checks the output-mode radio button of `mode` (0, 1, 2) and clears the other two.
void ShowOutputMode(int32_t mode);

// Ticks the check box (when id is not 0) if the verb key exists; 1 then, else 0 and the
// box is left alone.
int32_t CheckVerbPresent(HWND dialog, int id, TextView verbKeyPath);
