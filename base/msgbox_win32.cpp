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
// answered. At the same moment the box is made as large as its text needs (Wine's box
// measured it a few pixels short and cut the last characters of the longest line), and a
// box that closes by itself gets a line under its text that counts down the seconds it
// has left, so that its closing and what follows come as no surprise.
#include <windows.h>

#include <algorithm>

#include "base/main_window_win32.h"
#include "base/paths.h"
#include "base/utils.h"

namespace {

constexpr size_t kTextCapacity = 2047;
constexpr size_t kCaptionCapacity = 63;
constexpr WORD kLanguageEnglishUs = 0x0409;
// The message box's own text control, and the countdown line added under it.
constexpr int kBoxTextId = 0xFFFF;
constexpr int kCountdownId = 1001;
constexpr UINT kTickMs = 1000;

// One shown box and what its time-out needs to end it.
struct BoxWatch {
  HHOOK hook = nullptr;
  HWND box = nullptr;
  bool raised = false;
  UINT_PTR timer = 0;
  UINT_PTR tick = 0;          // the countdown's second timer
  UINT_PTR fit = 0;           // fits the box once its own layout is done
  bool question = false;      // a Yes/No box: its time-out goes on with the work
  bool timed = false;         // a time-out closes it
  DWORD closesAt = 0;         // GetTickCount when the time-out ends it
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

Text WindowTextOf(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return Text();
  Text text(static_cast<size_t>(length) + 1, u'\0');
  int got = GetWindowTextW(window, reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

// "Без ответа выполнение продолжится через 6 с": the seconds left, rounded up.
Text CountdownText(const BoxWatch& watch) {
  auto left = static_cast<int32_t>(watch.closesAt - GetTickCount());
  int32_t seconds = left <= 0 ? 0 : (left + 999) / 1000;
  Text lead = watch.question ? u"Без ответа выполнение продолжится через " : u"Сообщение закроется через ";
  return lead + NumberText(seconds) + u" с";
}

// The rectangle a text needs in the font, at most `widest` pixels wide (longer lines wrap,
// and a word longer than that, a path say, is broken where it must be).
SIZE MeasureText(HWND control, TextView text, int widest) {
  SIZE size = {0, 0};
  HDC dc = GetDC(control);
  if (!dc) return size;
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  Text copy(text);
  const UINT flags = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS;
  RECT area = {0, 0, widest, 0};
  DrawTextW(dc, reinterpret_cast<const wchar_t*>(copy.c_str()), static_cast<int>(copy.size()), &area, flags);
  if (area.right > widest) {
    area = RECT{0, 0, widest, 0};
    DrawTextW(dc, reinterpret_cast<const wchar_t*>(copy.c_str()), static_cast<int>(copy.size()), &area,
              flags | DT_WORDBREAK | DT_EDITCONTROL);
  }
  if (previous) SelectObject(dc, previous);
  ReleaseDC(control, dc);
  size.cx = area.right;
  size.cy = area.bottom;
  return size;
}

RECT RectInBox(HWND box, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool IsButton(HWND window) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  return lstrcmpiW(className, reinterpret_cast<const wchar_t*>(u"Button")) == 0;
}

// The buttons move down by dy and right by dx (the text control may reach down beside
// them, so their place, not the text's, tells them apart).
void ShiftButtons(HWND box, int dx, int dy) {
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsButton(child)) continue;
    RECT r = RectInBox(box, child);
    SetWindowPos(child, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The text control grown to its text, a countdown line under it for a box that closes
// by itself, the buttons moved below, and the box grown around them, still centred where
// it was.
void FitBox(BoxWatch* watch) {
  HWND box = watch->box;
  HWND label = GetDlgItem(box, kBoxTextId);
  if (!label) return;
  RECT text = RectInBox(box, label);
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  constexpr int kSlack = 6;  // what the box's own measure fell short by, and a little more
  SIZE need = MeasureText(label, WindowTextOf(label), (work.right - work.left) * 2 / 3);
  int width = std::max<int>(text.right - text.left, need.cx + kSlack);
  int height = std::max<int>(text.bottom - text.top, need.cy);
  int lineHeight = watch->timed ? MeasureText(label, u"0", 1000).cy : 0;
  int dx = width - (text.right - text.left);
  int dy = height - (text.bottom - text.top) + (lineHeight ? lineHeight + lineHeight / 2 : 0);
  ShiftButtons(box, dx / 2, dy);
  SetWindowPos(label, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (lineHeight) {
    Text line = CountdownText(*watch);
    HWND countdown = CreateWindowExW(0, reinterpret_cast<const wchar_t*>(u"Static"), reinterpret_cast<const wchar_t*>(line.c_str()),
                                     WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, text.left,
                                     text.top + height + lineHeight / 2, width, lineHeight, box,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCountdownId)), nullptr, nullptr);
    if (countdown) SendMessageW(countdown, WM_SETFONT, SendMessageW(label, WM_GETFONT, 0, 0), FALSE);
  }
  RECT frame;
  GetWindowRect(box, &frame);
  SetWindowPos(box, nullptr, frame.left - dx / 2, frame.top - dy / 2, frame.right - frame.left + dx,
               frame.bottom - frame.top + dy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CALLBACK BoxTimeUp(HWND, UINT, UINT_PTR timer, DWORD);

// The first dialog created on this thread after the call is the box; it is raised to the
// top when it is activated the first time, and fitted to its text right after.
LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
  BoxWatch* watch = tInnermost;
  HWND window = reinterpret_cast<HWND>(wParam);
  if (watch && code == HCBT_CREATEWND && !watch->box && IsDialogWindow(window)) watch->box = window;
  if (watch && code == HCBT_ACTIVATE && window == watch->box && !watch->raised) {
    watch->raised = true;
    RaiseToTop(window);
    // The box may still be laying out its controls when it is activated; it is fitted
    // from its own message loop, once that is done.
    watch->fit = SetTimer(nullptr, 0, 1, BoxTimeUp);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK BoxTimeUp(HWND, UINT, UINT_PTR timer, DWORD) {
  for (BoxWatch* watch = tInnermost; watch; watch = watch->outer) {
    if (watch->fit == timer) {
      KillTimer(nullptr, timer);
      watch->fit = 0;
      if (watch->box) FitBox(watch);
      return;
    }
    if (watch->tick == timer) {
      HWND countdown = watch->box ? GetDlgItem(watch->box, kCountdownId) : nullptr;
      Text line = CountdownText(*watch);
      if (countdown) SetWindowTextW(countdown, reinterpret_cast<const wchar_t*>(line.c_str()));
      return;
    }
    if (watch->timer != timer) continue;
    KillTimer(nullptr, timer);
    watch->timer = 0;
    if (watch->box) EndDialog(watch->box, kIdTimeout);
    return;
  }
  KillTimer(nullptr, timer);
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
  watch.question = (style & MB_TYPEMASK) == MB_YESNO;
  watch.hook = SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
  if (timeoutMs > 0) {
    watch.timed = true;
    watch.closesAt = GetTickCount() + timeoutMs;
    watch.timer = SetTimer(nullptr, 0, timeoutMs, BoxTimeUp);
    watch.tick = SetTimer(nullptr, 0, kTickMs, BoxTimeUp);
  }
  int32_t result = ShowBox(owner, text, caption, style);
  if (watch.timer) KillTimer(nullptr, watch.timer);
  if (watch.tick) KillTimer(nullptr, watch.tick);
  if (watch.fit) KillTimer(nullptr, watch.fit);
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
