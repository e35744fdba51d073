// The message pump the main thread runs while it waits for the worker.
#include "base/pump_win32.h"

void PumpMessages(HWND dialog) {
  if (!dialog) dialog = GetActiveWindow();
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    // Keyboard navigation of the dialog (Tab, Enter, Esc) comes before the rest.
    if (dialog && IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}
