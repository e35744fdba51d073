// The handlers of the main dialog's pages that live in ui/.
#pragma once

#include <windows.h>

#include "base/text.h"

// File list (first tab).
INT_PTR CALLBACK FileListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// About (fourth tab).
INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The filter box's drop-down list made again from ExtensionList, after the presets were
// edited on the additional-settings page. Nothing before the file-list page exists.
void RefillFilterChoices();

// The shell's properties sheet of a file; the shell's instance value (above 32 on
// success). A failure is shown as "Unable to display properties".
INT_PTR ShowFileProperties(TextView path, HWND owner);
