#include "ui/pages/pages_win32.h"

#include "base/error_log.h"
#include "base/main_window_win32.h"

INT_PTR TrappedDialogProc(const char* procedure, DialogDispatch dispatch, HWND page, UINT message, WPARAM wParam,
                        LPARAM lParam) {
  INT_PTR result = FALSE;
  RunTrapped(procedure, [&](int& step) {
    step = 1;
    result = dispatch(page, message, wParam, lParam);
  });
  return result;
}

void NotifySettingsApplied() {
  HWND main = MainWindow();
  if (main) SendMessageW(main, kMsgSettingsApplied, 0, 0);
}
