// The window's labels as tessaly-batch has them: the progress line of each file goes to
// standard output, everything else has nowhere to go.
#include <cstdio>

#include "app/console_text.h"
#include "base/run_state.h"
#include "base/ui_port.h"
#include "settings/app_settings.h"

void UiSetStatusLine(TextView text) {
  // Outside a run the status line only repeats the list total after each added path.
  if (!WorkerActive()) return;
  std::fputs((ConsoleText(text) + "\n").c_str(), stdout);
  std::fflush(stdout);  // keeps the lines in order with the questions on standard error
}

void UiSetElapsedLine(TextView) {}

void UiSetPageCount(TextView) {}

void UiEnableStart(bool) {}

// Held for good, so ClearListOnAdd never drops the paths given before the last one.
bool UiCtrlHeld() {
  return true;
}

void UiRepaintNow() {}

Text UiFilterText() {
  return Text(FieldView(gAppSettings.CurrentFilter));
}
