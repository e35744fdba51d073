// The process entry of the Win32 program.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/instance_win32.h"
#include "app/main_win32.h"
#include "app/startup.h"
#include "base/filesys.h"
#include "base/utils.h"
#include "engine/codecs/image.h"
#include "engine/run/convert_files.h"
#include "engine/run/done_record.h"
#include "engine/workers/worker.h"
#include "engine/workers/worker_process.h"
#include "ui/main_dialog_win32.h"

UINT gHandoverMessage = 0;
int32_t gToolTipSwitch = 0;

namespace {

// The window classes the program's dialogs use beyond the standard ones: the tab
// control, the trackbars and the tooltips.
void InitControlClasses() {
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&classes);
}

void RegisterHandoverMessage() {
  // A failed registration leaves 0; the hand-over then simply never arrives.
  gHandoverMessage = RegisterWindowMessageA(kHandoverMessageName);
}

void ReportUnreadableSettings(const Text& path) {
  TimedMessageBox(u"Не удалось прочитать файл настроек\r\n" + path +
                      u"\r\n\r\nПрограмма продолжит работу с настройками по умолчанию.",
                  u"", 0, 4, 0);
}

// Settings from Config.dat beside the program, defaults on a first run; an unreadable
// file is reported and the defaults are used.
void LoadSettings() {
  Text path = ConfigPath();
  if (LoadStartupSettings(path) == ConfigResult::ReadFailed) ReportUnreadableSettings(path);
}

// 1 (tooltips on) becomes 0, 0 (off) becomes -1.
void SetToolTipSwitch() {
  gToolTipSwitch = gAppSettings.ShowToolTips - 1;
}

// A later instance hands its command-line tail (even an empty one) to the running
// window and ends without a window of its own. When no window is there to take it (the
// first instance is still starting) it says so for three seconds.
int RunLaterInstance() {
  constexpr int32_t kKindInformation = 1;
  constexpr uint32_t kRefusalShownMs = 3000;
  Text tail = CommandLineTail(reinterpret_cast<const char16_t*>(GetCommandLineW()));
  if (!HandOverToRunningInstance(gHandoverMessage, tail)) {
    TimedMessageBox(kAlreadyRunningText, u"", 0, kKindInformation, kRefusalShownMs);
  }
  return 0;
}

// A crash in the image library ends the worker at once with its code, for the run to
// report: no debugger, no box on the user's screen.
LONG WINAPI EndWorkerOnFault(EXCEPTION_POINTERS* fault) {
  TerminateProcess(GetCurrentProcess(), fault->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

// The program as its own worker (engine/workers/worker.h): before the single-instance rule, the
// hand-over and Config.dat, none of which a worker may touch.
int RunWorker(TextView tail) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(EndWorkerOnFault);
  if (!WorkerChannelOpen(tail)) return 2;
  InitImageLibrary();
  return RunWorkerLoop();
}

bool IsWorkerStart(TextView tail) {
  TextView name(kWorkerSwitchText);
  return tail.substr(0, name.size()) == name && (tail.size() == name.size() || tail[name.size()] == u' ');
}

int RunFirstInstance() {
  SetWorkerProgram(FsProgramPath());
  // The window converts on every logical processor and keeps its record of what is done
  // beside its settings.
  SetRunOptions(RunOptions{0, true, 0, DoneRecordPathBeside(ConfigPath())});
  LoadSettings();
  SetToolTipSwitch();
  ShowMainDialog();
  return 0;
}

}  // namespace

Text EXENAME() {
  return FsProgramPath();
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Text tail = CommandLineTail(reinterpret_cast<const char16_t*>(GetCommandLineW()));
  if (IsWorkerStart(tail)) return RunWorker(tail);
  CoInitialize(nullptr);
  InitControlClasses();
  RegisterHandoverMessage();
  int result = IsFirstInstance(kInstanceMutexName) ? RunFirstInstance() : RunLaterInstance();
  CoUninitialize();
  return result;
}
