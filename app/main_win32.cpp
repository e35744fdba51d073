// The process entry of the Win32 program.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/instance_win32.h"
#include "app/main_win32.h"
#include "app/startup.h"
#include "diag/filesys.h"
#include "diag/utils.h"
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

int RunFirstInstance() {
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
  CoInitialize(nullptr);
  InitControlClasses();
  RegisterHandoverMessage();
  int result = IsFirstInstance(kInstanceMutexName) ? RunFirstInstance() : RunLaterInstance();
  CoUninitialize();
  return result;
}
