// Run control shared by every platform: the run state, the block the worker signals
// its end through and the worker's entry. The progress and elapsed-time lines are in
// engine/run/progress.h.
//
// The thread itself is created by the platform: in the Winelib build a std::thread is
// not a Wine thread and must never call Win32, so the window creates the worker with
// CreateThread and a small WINAPI trampoline around ConvertThreadMain:
//
//   RunBlock block;
//   if (!BeginRun(&block)) return;
//   HANDLE thread = CreateThread(nullptr, 0, WorkerEntry, &block, 0, &id);
//   if (!thread) { AbandonRun(&block); ReportThreadFailure(SystemErrorText(GetLastError())); return; }
//   WaitForWorker(block, [] { Sleep(10); PumpMessages(); });
//   CloseHandle(thread);
//
// tessaly-batch and the tests use std::thread the same way.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "base/text.h"
#include "engine/run/convert_files.h"
#include "engine/run/progress.h"
#include "base/run_state.h"


// Shared by address between the thread that starts a run and its worker.
struct RunBlock {
  std::atomic<bool> ended{false};
  // What the run converts with: the settings as they were when it began.
  AppSettings settings{};
  RunResult result;
  // The window's worker pauses this long before and after the run, as it always has;
  // tessaly-batch has nothing to wait for and sets 0 (it was a tenth of a second of
  // every run, and more than that of a short one).
  int pauseMs = 50;
};

// Claims the one worker slot. False while a worker of an earlier run is still
// finishing its file (after a stop the Start button is enabled again at once): the
// start request must then be refused so two workers never walk the same list.
bool BeginRun(RunBlock* block, const AppSettings& settings);
// Gives the slot back when the platform could not create the thread.
void AbandonRun(RunBlock* block);

// The worker's body: trace, the block's pause, ConvertFiles inside the fault trap, the
// pause again, trace, then the end signal. Returns 0 (a thread exit code).
uint32_t ConvertThreadMain(void* block);

// Calls waitStep until the worker has signalled its end; the window's waitStep sleeps
// 10 ms and pumps its messages, a console's just sleeps.
void WaitForWorker(const RunBlock& block, const std::function<void()>& waitStep);

// "Can't create thread: " + the system's text, caption "Error", closing after 10 s.
void ReportThreadFailure(TextView systemText);
