// A conversion run as the main window starts it.
#pragma once

#include <windows.h>

#include "engine/run/convert_files.h"

// Creates the worker thread and waits for it, pumping this thread's messages as they
// come and at least every 10 ms, so the window stays responsive (Stop, the tray and
// hand-overs keep working) and the run's questions to the list are answered at once.
// Returns when the worker has ended; false when no worker ran (one was still alive, or
// the thread could not be created, which is reported).
// What the run did goes to *result.
bool StartConversion(RunResult* result);
