// Keeping the user interface alive while the main thread waits (for the worker).
#pragma once

#include <windows.h>

// Dispatches every message waiting in this thread's queue, giving the dialog (the active
// window when 0) the first look at each, and returns when the queue is empty.
void PumpMessages(HWND dialog);
