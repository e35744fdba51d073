// The labels, the Start button, the Ctrl key and the filter box as the core sees them,
// over the controls of the main dialog and the file-list page. The status line is also
// written by the conversion worker: SetWindowTextW on another thread's window is a
// synchronous message that the main thread serves from its wait loop.
#include <windows.h>

#include "base/main_window_win32.h"
#include "base/ui_port.h"
#include "input/collect.h"
#include "input/file_list_win32.h"
#include "ui/pages/file_list_page_ids.h"
#include "ui/main_dialog_ids.h"

namespace {

void SetControlText(HWND window, int id, TextView text) {
  if (!window) return;
  Text shown(text);
  SetDlgItemTextW(window, id, reinterpret_cast<const wchar_t*>(shown.c_str()));
}

}  // namespace

void UiSetStatusLine(TextView text) {
  SetControlText(MainWindow(), kIdStatusLine, text);
}

void UiSetElapsedLine(TextView text) {
  SetControlText(MainWindow(), kIdElapsedLine, text);
}

void UiSetPageCount(TextView text) {
  SetControlText(gFileListPage.load(), kIdPageCount, text);
}

void UiEnableStart(bool enable) {
  HWND main = MainWindow();
  if (main) EnableWindow(GetDlgItem(main, kIdStart), enable ? TRUE : FALSE);
}

bool UiCtrlHeld() {
  return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

void UiRepaintNow() {
  MSG message;
  // Paint messages only (sent messages are served by the peek itself); input and posted
  // commands wait for the work to end.
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) DispatchMessageW(&message);
}

Text UiFilterText() {
  HWND box = gFilterBox.load();
  if (!box) return {};
  char16_t buffer[kMaxFilterUnits + 1] = {};
  int length = GetWindowTextW(box, reinterpret_cast<wchar_t*>(buffer), kMaxFilterUnits + 1);
  return Text(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}
