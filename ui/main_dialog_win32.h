// The main window: one dialog with the header band, the tab control and its four
// pages, the status line and the Start and Stop buttons.
#pragma once

#include <windows.h>

#include "base/text.h"

// The process entry calls this once, after the settings were loaded and the tooltip
// switch set. Builds the dialog, runs it until it ends and returns its result; returns
// only after a run that was going on has ended and the settings were saved.
INT_PTR ShowMainDialog();

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The page dialog of a 1-based page number; 0 before the pages exist.
HWND MainPage(int pageNumber);
// Selects a 1-based tab and shows its page.
void SelectTab(HWND dialog, int pageNumber);

// The program's web pages, opened with the "Open" verb.
constexpr char16_t kSiteProjectPage[] = u"https://tessaly.example/converter/";
constexpr char16_t kSiteDonatePage[] = u"https://tessaly.example/donate";
constexpr char16_t kSiteMainPage[] = u"https://tessaly.example/";
void OpenWebPage(HWND owner, TextView address);
