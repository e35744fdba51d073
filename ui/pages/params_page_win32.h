// The conversion-parameters page (second tab).
#pragma once

#include <windows.h>

INT_PTR CALLBACK ParamsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the resize rule, the target format and its option panel of AppSettings in the
// page's controls; the panel is rebuilt, which also sets FormatId.
void ShowConversionSettings(HWND page);
