#include "tests/fake_ui_port.h"

#include "base/ui_port.h"

std::mutex gFakeUiLock;
Text gFakeStatusLine;
std::vector<Text> gFakeStatusHistory;
Text gFakeElapsedLine;
Text gFakePageCount;
bool gFakeStartEnabled = false;
int gFakeStartCalls = 0;
bool gFakeCtrlHeld = false;
Text gFakeFilterText;

void ResetFakeUi() {
  std::lock_guard<std::mutex> hold(gFakeUiLock);
  gFakeStatusLine.clear();
  gFakeStatusHistory.clear();
  gFakeElapsedLine.clear();
  gFakePageCount.clear();
  gFakeStartEnabled = false;
  gFakeStartCalls = 0;
  gFakeCtrlHeld = false;
  gFakeFilterText.clear();
}

void UiSetStatusLine(TextView text) {
  std::lock_guard<std::mutex> hold(gFakeUiLock);
  gFakeStatusLine = Text(text);
  gFakeStatusHistory.push_back(gFakeStatusLine);
}

void UiSetElapsedLine(TextView text) {
  std::lock_guard<std::mutex> hold(gFakeUiLock);
  gFakeElapsedLine = Text(text);
}

void UiSetPageCount(TextView text) {
  std::lock_guard<std::mutex> hold(gFakeUiLock);
  gFakePageCount = Text(text);
}

void UiEnableStart(bool enable) {
  std::lock_guard<std::mutex> hold(gFakeUiLock);
  gFakeStartEnabled = enable;
  ++gFakeStartCalls;
}

bool UiCtrlHeld() {
  std::lock_guard<std::mutex> hold(gFakeUiLock);
  return gFakeCtrlHeld;
}

void UiRepaintNow() {}

// The real box holds at most 79 units; tests may set longer texts to check the cut.
Text UiFilterText() {
  std::lock_guard<std::mutex> hold(gFakeUiLock);
  return gFakeFilterText;
}
