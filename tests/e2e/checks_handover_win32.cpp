// Hand-over checks: the driver plays the running first instance (the mutex, the shared
// block and a window of its own) and starts later instances of the program against it,
// so the sender side is checked whatever the main window does.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include "app/handover.h"
#include "app/instance_win32.h"
#include "tests/e2e/checks_win32.h"
#include "tests/e2e/e2e_win32.h"

namespace {

const wchar_t* Wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

UINT gHandoverMessage = 0;  // registered by the first stand-in
std::vector<Text> gReceived;
DWORD gReceiverDelayMs = 0;

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == gHandoverMessage && gHandoverMessage >= 0xC000 && LOWORD(wParam) == kHandoverCode) {
    // A slow receiver makes simultaneous senders queue up behind each other.
    if (gReceiverDelayMs) Sleep(gReceiverDelayMs);
    gReceived.push_back(ReceiveHandoverText());
    return 1;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Holds the instance mutex and, when asked, publishes a window of its own in the
// shared block, as a running program's main dialog would.
class StandIn {
 public:
  explicit StandIn(bool publish) {
    static const wchar_t kClass[] = {'T', 'e', 's', 's', 'a', 'l', 'y', 'E', '2', 'e', 0};
    static bool registered = false;
    if (!registered) {
      WNDCLASSW windowClass = {};
      windowClass.lpfnWndProc = ReceiverProc;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.lpszClassName = kClass;
      registered = RegisterClassW(&windowClass) != 0;
    }
    if (!gHandoverMessage) gHandoverMessage = RegisterWindowMessageA(kHandoverMessageName);
    Text mutexName(kInstanceMutexName);
    mutex_ = CreateMutexW(nullptr, FALSE, Wide(mutexName));
    if (GetLastError() == ERROR_ALREADY_EXISTS) Fail("the instance mutex already existed");
    gReceived.clear();
    gReceiverDelayMs = 0;
    if (!publish) return;
    window_ = CreateWindowExW(0, kClass, kClass, WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    published_ = window_ && PublishHandoverTarget(window_);
    if (!published_) Fail("the stand-in could not publish its window");
  }
  ~StandIn() {
    if (published_) SharedBlockClose();
    if (window_) DestroyWindow(window_);
    if (mutex_) CloseHandle(mutex_);
  }
  bool ok() const { return mutex_ && (published_ || !window_); }

 private:
  HANDLE mutex_ = nullptr;
  HWND window_ = nullptr;
  bool published_ = false;
};

bool ExpectReceived(const std::vector<Text>& expected) {
  PumpFor(300);  // a message posted just before the sender ended
  if (gReceived == expected) return true;
  Fail("received " + std::to_string(gReceived.size()) + " texts, expected " + std::to_string(expected.size()));
  for (const Text& text : gReceived) Fail("  got", Cut(text, 120));
  return false;
}

}  // namespace

bool SecondStartHandsOverItsArguments() {
  StandIn standIn(true);
  if (!standIn.ok()) return false;
  Text tail = Quoted(DataPath(u"in\\a.jpg")) + u" " + Quoted(DataPath(u"in\\x y.jpg")) + u" Ünïcödé-ё.png";
  return RunLaterInstance(tail) && ExpectReceived({tail});
}

bool SecondStartWithoutArgumentsStillHandsOver() {
  StandIn standIn(true);
  if (!standIn.ok()) return false;
  return RunLaterInstance(u"") && ExpectReceived({u""});
}

bool LongTailArrivesCutTo2047Units() {
  StandIn standIn(true);
  if (!standIn.ok()) return false;
  Text tail;
  for (int i = 0; tail.size() < 3000; ++i) (tail += u'p') += NumberText(i % 10);
  tail.resize(3000);
  return RunLaterInstance(tail) && ExpectReceived({tail.substr(0, 2047)});
}

// Several later instances at once against a slow receiver: each one must wait for the
// receiver to read its text before the next may write, so every text arrives.
bool SimultaneousSendersLoseNothing() {
  constexpr int kSenders = 6;
  StandIn standIn(true);
  if (!standIn.ok()) return false;
  gReceiverDelayMs = 150;
  std::vector<std::unique_ptr<Program>> senders;
  std::set<Text> expected;
  for (int i = 0; i < kSenders; ++i) {
    Text tail = u"sender-" + NumberText(i) + u".jpg";
    expected.insert(tail);
    senders.push_back(std::make_unique<Program>());
    if (!senders.back()->Start(tail)) return false;
  }
  bool ended = WaitUntil(30000, [&] {
    return std::none_of(senders.begin(), senders.end(), [](const auto& p) { return p->Running(); });
  });
  if (!ended) return Fail("the later instances did not all end");
  for (auto& sender : senders) {
    DWORD code = 1;
    sender->WaitExit(0, &code);
    if (code != 0) return Fail("a later instance ended with " + std::to_string(code));
  }
  PumpFor(500);
  std::set<Text> got(gReceived.begin(), gReceived.end());
  Note("hand-over messages read: " + std::to_string(gReceived.size()));
  if (got == expected) return true;
  for (const Text& text : expected) {
    if (!got.count(text)) Fail("lost", text);
  }
  return false;
}

// The mutex exists but no window is published: the refusal box, gone by itself after
// about three seconds, and exit code 0.
bool StartWithoutReceiverShowsRefusal() {
  StandIn standIn(false);
  if (!standIn.ok()) return false;
  Program later;
  if (!later.Start(u"")) return false;
  HWND box = nullptr;
  WaitUntil(kWindowWaitMs, [&] {
    for (HWND window : ProcessWindows(later.pid())) {
      if (ClassName(window) == u"#32770") box = window;
    }
    return box != nullptr || !later.Running();
  });
  if (!box) return Fail("no message box appeared");
  DWORD shownAt = GetTickCount();
  Text text = WindowText(FindDescendant(box, kMessageBoxTextId));
  Note("box caption " + Quote(WindowText(box)) + ", text " + Quote(text));
  Screenshot("refusal-box");
  if (text != kAlreadyRunningText) return Fail("box text", text);
  DWORD code = 1;
  if (!later.WaitExit(15000, &code)) return Fail("the box did not close by itself");
  DWORD shownMs = GetTickCount() - shownAt;
  Note("the box closed itself after about " + std::to_string(shownMs) + " ms");
  // The upper bound leaves room for the screenshot and the process's exit on a busy machine.
  if (shownMs < 2000 || shownMs > 8000) return Fail("the box was not shown for about 3 s");
  if (code != 0) return Fail("exit code " + std::to_string(code));
  return true;
}

// The first call with a name is the first instance; every later one, in this process or
// another, is not. An empty name stands for the fallback name.
bool InstanceMutexRule() {
  Text unique = u"TessalyE2eMutex-" + NumberText(GetCurrentProcessId());
  if (IsFirstInstance(unique) != 1) return Fail("a fresh name was not a first instance");
  if (IsFirstInstance(unique) != 0) return Fail("the same name twice was a first instance again");
  if (IsFirstInstance(u"") != 1) return Fail("the fallback name was taken already");
  Text fallback(kFallbackMutexName);
  HANDLE probe = CreateMutexW(nullptr, FALSE, Wide(fallback));
  bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (probe) CloseHandle(probe);
  if (!existed) return Fail("an empty name did not create the fallback mutex");
  return true;
}

// Create and open refuse a block that is already open; the copies do nothing while no
// block is open; a record written is read back whole.
bool SharedBlockOperations() {
  HandoverRecord record;
  std::memset(&record, 0x5A, sizeof record);
  SMB_GET(&record);
  if (record.TargetWindow != 0x5A5A5A5Au) return Fail("SMB_GET changed the record with no block open");
  if (SharedBlockOpen() != 0) return Fail("a block was opened where none exists");
  SharedBlockClose();
  if (SharedBlockCreate() != 1) return Fail("the block could not be created");
  bool ok = true;
  if (SharedBlockCreate() != 0 || SharedBlockOpen() != 0) ok = Fail("an open block was opened again");
  HandoverRecord sent{};
  sent.TargetWindow = 0x00012345;
  SetHandoverText(&sent, u"Z:\\a b\\c.jpg");
  SMB_SET(sent);
  HandoverRecord got{};
  SMB_GET(&got);
  if (std::memcmp(&got, &sent, sizeof got) != 0) ok = Fail("the record did not come back whole");
  if (ReceiveHandoverText() != u"Z:\\a b\\c.jpg") ok = Fail("ReceiveHandoverText", ReceiveHandoverText());
  SharedBlockClose();
  return ok;
}

bool SystemErrorTextNamesTheCode() {
  Text text = SystemErrorText(ERROR_FILE_NOT_FOUND);
  Note("SystemErrorText(2) = " + Quote(text));
  if (text.rfind(u"2 ", 0) != 0 || text.size() <= 2) return Fail("not the code, a blank and the text");
  Text unknown = SystemErrorText(0x7FFFFFF0);
  if (unknown != NumberText(0x7FFFFFF0) + u" ") return Fail("unknown code", unknown);
  return true;
}
