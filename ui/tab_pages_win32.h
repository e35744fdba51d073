// Dialogs built without a resource template, and the pages of the main dialog's tab
// control.
#pragma once

#include <windows.h>

#include <vector>

#include "base/text.h"

// An in-memory dialog template without controls: the window is built by its handler.
// The caller keeps the vector alive while the dialog is created.
std::vector<WORD> EmptyDialogTemplate(DWORD style, DWORD exStyle, TextView caption);

// Inserts tab pageNumber (1-based) with image pageNumber and the caption into the tab
// control tabId of dialog, and creates the page's child dialog with handler proc,
// hidden. Returns the page, or 0 when it could not be created.
HWND CreateTabPage(HWND dialog, int tabId, TextView caption, int pageNumber, DLGPROC proc);

// Places a page over the tab control's display area, above the tab control.
void PlaceTabPage(HWND dialog, int tabId, HWND page);
