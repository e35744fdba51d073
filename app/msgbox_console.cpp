// The message box of the native build: the text goes to standard error; a Yes/No
// question is answered by the policy the front end chose, or at the terminal.
#include <poll.h>
#include <unistd.h>

#include <cstdio>

#include "app/console_answer.h"
#include "app/console_text.h"
#include "base/paths.h"
#include "base/utils.h"

ConsoleAnswer gConsoleAnswer = ConsoleAnswer::Continue;

namespace {

// Waits for a line on the terminal; kIdTimeout when none came in time.
int32_t AskAtTerminal(uint32_t timeoutMs) {
  std::fputs("[y/n] ", stderr);
  std::fflush(stderr);
  struct pollfd in = {STDIN_FILENO, POLLIN, 0};
  int ready = ::poll(&in, 1, timeoutMs > 0 ? static_cast<int>(timeoutMs) : -1);
  if (ready <= 0) {
    std::fputs("\n", stderr);
    return kIdTimeout;
  }
  char buf[64] = {};
  ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf - 1);
  if (n <= 0) return kIdTimeout;
  return (buf[0] == 'n' || buf[0] == 'N') ? kIdNo : kIdYes;
}

}  // namespace

int32_t TimedMessageBox(TextView text, TextView caption, WindowRef, int32_t kind, uint32_t timeoutMs) {
  Text title = caption.empty() ? ProgramBaseName() : Cut(caption, 63);
  std::fprintf(stderr, "%s: %s\n", ConsoleText(title).c_str(), ConsoleText(Cut(text, 2047)).c_str());
  if (!MessageBoxHasYesNo(kind)) return kIdOk;
  // A question the policy answers says so, or a log reader would wonder who answered it.
  switch (gConsoleAnswer) {
    case ConsoleAnswer::Continue: std::fputs("[yes: --on-error continue]\n", stderr); return kIdYes;
    case ConsoleAnswer::Stop: std::fputs("[no: --on-error stop]\n", stderr); return kIdNo;
    case ConsoleAnswer::Ask: return AskAtTerminal(timeoutMs);
  }
  return kIdYes;
}

void DebugTrace(TextView text) {
  static const bool enabled = getenv("TESSALY_TRACE") != nullptr;
  if (enabled) std::fprintf(stderr, "%s\n", ConsoleText(text).c_str());
}
