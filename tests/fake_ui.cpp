// The message box of the test build: records what was shown and answers from a script.
#include "base/utils.h"
#include "tests/test_support.h"

std::vector<ShownBox> gShownBoxes;
std::deque<int32_t> gBoxAnswers;
std::function<void(const ShownBox&)> gOnBoxShown;

void ResetBoxes() {
  gShownBoxes.clear();
  gBoxAnswers.clear();
  gOnBoxShown = nullptr;
}

int32_t TimedMessageBox(TextView text, TextView caption, WindowRef, int32_t kind, uint32_t timeoutMs) {
  gShownBoxes.push_back({Text(text), Text(caption), kind, timeoutMs});
  if (gOnBoxShown) gOnBoxShown(gShownBoxes.back());
  if (gBoxAnswers.empty()) return MessageBoxHasYesNo(kind) ? kIdTimeout : kIdOk;
  int32_t answer = gBoxAnswers.front();
  gBoxAnswers.pop_front();
  return answer;
}

void DebugTrace(TextView) {}
