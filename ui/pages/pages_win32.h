// What the main dialog's pages share: their procedures, the notification of settings
// applied from elsewhere, and the trap every page procedure runs inside.
#pragma once

#include <windows.h>

#include "base/text.h"

// Sent by the main dialog to each page when the settings record changed under them (a
// profile was activated): each page shows the fields it owns again. A page never
// writes into another page's controls.
constexpr UINT kMsgSettingsApplied = WM_APP + 40;

// A dialog's message handler: its result, FALSE for what it does not handle.
using DialogDispatch = INT_PTR (*)(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the handler inside the error trap under the procedure's name; a fault is logged
// and shown, and the message answers FALSE.
INT_PTR TrappedDialogProc(const char* procedure, DialogDispatch dispatch, HWND page, UINT message, WPARAM wParam,
                        LPARAM lParam);

// Asks the main dialog to tell every page that the settings changed.
void NotifySettingsApplied();

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
