// The lines a run shows: the progress line of each entry and the elapsed time.
#pragma once

#include <cstdint>

#include "base/text.h"

// Selects the entry and puts its progress line in the status line. size 0 means the
// file was skipped.
void ShowProgress(int32_t index, int32_t count, uint64_t size, TextView fileName);
Text ProgressText(int32_t index, int32_t count, uint64_t size, TextView fileName);

// The elapsed-time line: one more tick, or a fresh count when flag is 0.
Text ElapsedTimeText(int32_t flag);
Text ElapsedText(uint32_t seconds);
// Timer ticks since the run started; only the main thread touches it.
extern uint32_t gElapsedSeconds;
