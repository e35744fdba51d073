// The worker of a conversion run, created with CreateThread: under Winelib only a thread
// that Wine created may call Win32, and the worker sends the list box and the status
// line messages.
#include "ui/conversion_win32.h"

#include "app/instance_win32.h"
#include "diag/pump_win32.h"
#include "engine/run.h"

namespace {

DWORD WINAPI WorkerEntry(LPVOID block) {
  return ConvertThreadMain(block);
}

void WaitStep() {
  Sleep(10);
  // The active window gets the first look at each message, as a modal dialog would.
  PumpMessages(nullptr);
}

}  // namespace

bool StartConversion(RunResult* result) {
  RunBlock block;
  if (!BeginRun(&block)) return false;
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, WorkerEntry, &block, 0, &threadId);
  if (!thread) {
    DWORD error = GetLastError();
    AbandonRun(&block);
    ReportThreadFailure(SystemErrorText(error));
    return false;
  }
  WaitForWorker(block, WaitStep);
  // Nothing uses the thread after the run.
  CloseHandle(thread);
  *result = block.result;
  return true;
}
