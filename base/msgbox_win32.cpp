// The program's message box, with a time-out of its own, and the debugger trace.
//
// MessageBoxTimeoutW would do, but Wine ignores its time-out, so the box is an ordinary
// MessageBoxExW that a timer ends. A thread-local CBT hook learns the box's window
// when it is created; a thread timer, dispatched by the box's own modal loop, ends it
// with EndDialog(box, kIdTimeout). Hook, timer and bookkeeping all belong to the calling
// thread, so the worker's question and a box of the main thread never meet; a box shown
// while another is open on the same thread (from a timer or a window procedure) gets a
// record of its own on the thread's stack.
//
// The hook also makes the box topmost when it is first activated: Wine's message box
// ignores MB_TOPMOST, and a box hidden behind the topmost main window could not be
// answered.
#include <windows.h>

#include "base/main_window_win32.h"
#include "base/paths.h"
#include "base/utils.h"

namespace {

constexpr size_t kTextCapacity = 2047;
constexpr size_t kCaptionCapacity = 63;
constexpr WORD kLanguageEnglishUs = 0x0409;

// One shown box and what its time-out needs to end it.
struct BoxWatch {
  HHOOK hook = nullptr;
  HWND box = nullptr;
  bool raised = false;
  UINT_PTR timer = 0;
  BoxWatch* outer = nullptr;  // the box this one was shown over, on this thread
};

// The innermost box that the calling thread is showing.
thread_local BoxWatch* tInnermost = nullptr;

bool IsDialogWindow(HWND window) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  // "#32770", the dialog class that message boxes use.
  static const wchar_t kDialogClass[] = {'#', '3', '2', '7', '7', '0', 0};
  return lstrcmpW(className, kDialogClass) == 0;
}

void RaiseToTop(HWND box) {
  if ((GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0)
    SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The first dialog created on this thread after the call is the box; it is raised to
// the top when it is activated the first time.
LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
  BoxWatch* watch = tInnermost;
  HWND window = reinterpret_cast<HWND>(wParam);
  if (watch && code == HCBT_CREATEWND && !watch->box && IsDialogWindow(window)) watch->box = window;
  if (watch && code == HCBT_ACTIVATE && window == watch->box && !watch->raised) {
    watch->raised = true;
    RaiseToTop(window);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK BoxTimeUp(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  for (BoxWatch* watch = tInnermost; watch; watch = watch->outer) {
    if (watch->timer != timer) continue;
    watch->timer = 0;
    if (watch->box) EndDialog(watch->box, kIdTimeout);
    return;
  }
}

HWND OwnerOrMainWindow(WindowRef owner) {
  return owner ? reinterpret_cast<HWND>(owner) : MainWindow();
}

Text CaptionFor(TextView caption) {
  return caption.empty() ? Cut(ProgramBaseName(), kCaptionCapacity) : Cut(caption, kCaptionCapacity);
}

int32_t ShowBox(HWND owner, const Text& text, const Text& caption, UINT style) {
  return MessageBoxExW(owner, reinterpret_cast<const wchar_t*>(text.c_str()),
                       reinterpret_cast<const wchar_t*>(caption.c_str()), style, kLanguageEnglishUs);
}

// A time-out of 0 sets no timer: the box waits for its answer.
int32_t ShowWatchedBox(HWND owner, const Text& text, const Text& caption, UINT style, uint32_t timeoutMs) {
  BoxWatch watch;
  watch.outer = tInnermost;
  tInnermost = &watch;
  watch.hook = SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
  if (timeoutMs > 0) watch.timer = SetTimer(nullptr, 0, timeoutMs, BoxTimeUp);
  int32_t result = ShowBox(owner, text, caption, style);
  if (watch.timer) KillTimer(nullptr, watch.timer);
  if (watch.hook) UnhookWindowsHookEx(watch.hook);
  tInnermost = watch.outer;
  return result;
}

}  // namespace

int32_t TimedMessageBox(TextView text, TextView caption, WindowRef owner, int32_t kind, uint32_t timeoutMs) {
  HWND window = OwnerOrMainWindow(owner);
  Text shownText = Cut(text, kTextCapacity);
  Text shownCaption = CaptionFor(caption);
  return ShowWatchedBox(window, shownText, shownCaption, MessageBoxStyle(kind), timeoutMs);
}

void DebugTrace(TextView text) {
  Text line(text);
  OutputDebugStringW(reinterpret_cast<const wchar_t*>(line.c_str()));
}
