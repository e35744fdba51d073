// The worker of a conversion run, created with CreateThread: under Winelib only a thread
// that Wine created may call Win32, and the worker sends the list box and the status
// line messages.
#include "ui/conversion_win32.h"

#include "app/instance_win32.h"
#include "base/pump_win32.h"
#include "engine/run/run.h"

namespace {

DWORD WINAPI WorkerEntry(LPVOID block) {
  return ConvertThreadMain(block);
}

// The run asks the list and the status line through messages sent to this thread, one
// or more per file: they are answered as soon as they arrive rather than up to 10 ms
// later. Paints alone do not wake it, so a window that never validates cannot make it spin.
void WaitStep() {
  constexpr DWORD kWake = QS_SENDMESSAGE | QS_POSTMESSAGE | QS_INPUT | QS_HOTKEY | QS_TIMER;
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, kWake);
  // The active window gets the first look at each message, as a modal dialog would.
  PumpMessages(nullptr);
}

}  // namespace

bool StartConversion(RunResult* result) {
  RunBlock block;
  if (!BeginRun(&block, gAppSettings)) return false;
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
