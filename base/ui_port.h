// What the core shows and asks through the main window: the status and elapsed-time
// lines, the page counter, the Start button, the Ctrl key, the filter box. The Win32
// program implements these over its controls; tessaly-batch and the tests have their own.
#pragma once

#include "base/text.h"

// The main window's status line (progress texts and the list total).
void UiSetStatusLine(TextView text);
// The elapsed-time line under it.
void UiSetElapsedLine(TextView text);
// The "Всего:" counter on the file-list page.
void UiSetPageCount(TextView text);
void UiEnableStart(bool enable);
// True while the Ctrl key is held.
bool UiCtrlHeld();
// Lets the window repaint, and answer what other threads and programs send it, in the
// middle of long work on the user-interface thread. Input is not acted on meanwhile, so
// nothing the user clicks runs inside that work. Nothing to do without windows.
void UiRepaintNow();
// The edit text of the filter box (at most 79 units).
Text UiFilterText();
