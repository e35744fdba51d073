// What a new user meets in the first minutes: a hand-over or a drop of several paths
// keeps all of them, failed files marked in the list with their reasons and their list
// one menu entry away, a question that says it will go on by itself, a hint in the empty
// list, a profile's filter shown, a keyboard move of the slider counted at once.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "settings/app_settings.h"
#include "tests/e2e/checks_win32.h"
#include "tests/e2e/e2e_win32.h"
#include "tests/e2e/main_window_e2e_win32.h"

namespace {

constexpr int kIdCountdown = 1001;
constexpr int kIdFilterBox = 4022;
constexpr int kIdSlider = 8802;
constexpr int kIdFormatBox = 5075;
constexpr int kIdProfiles = 5085;
constexpr int kIdAdd = 5086;
constexpr int kIdName = 5088;
constexpr int kFailureShift = 32;
constexpr int32_t kClearListOn = 8;

bool EndProgram(Program* program) {
  DWORD code = 1;
  if (!program->CloseAndWait(kExitWaitMs, &code) || code != 0) return Fail("the program did not end with 0");
  return true;
}

bool StartWithClearing(Program* program, MainWindow* main, TextView arguments) {
  AppSettings settings = RunOnceSettings(gSetup.work + u"out-first\\");
  settings.ClearListOnAdd = kClearListOn;
  return WriteConfig(settings) && StartMain(program, main, arguments);
}

std::vector<Text> Sorted(std::vector<Text> items) {
  std::sort(items.begin(), items.end());
  return items;
}

HWND WaitQuestionBox(const Program& program) {
  HWND box = nullptr;
  WaitUntil(kWindowWaitMs, [&] {
    for (HWND window : ProcessWindows(program.pid()))
      if (ClassName(window) == u"#32770" && WindowText(window) == u"Ошибка выполнения преобразования") box = window;
    return box != nullptr;
  });
  return box;
}

// The seconds a countdown line names: "... через 5 с" gives 5; -1 when it names none.
int CountdownSeconds(TextView line) {
  size_t at = line.rfind(u"через ");
  if (at == TextView::npos) return -1;
  int value = -1;
  for (size_t i = at + 6; i < line.size() && line[i] >= u'0' && line[i] <= u'9'; ++i)
    value = (value < 0 ? 0 : value * 10) + (line[i] - u'0');
  return value;
}

// The right-click menu of row `row`, then its entry number `steps` (1 is the first), as
// the arrow keys and Enter choose it.
bool ChooseRowMenuEntry(const Program& program, const MainWindow& main, int row, int steps) {
  LRESULT height = Send(main.list, LB_GETITEMHEIGHT, 0, 0);
  LPARAM at = MAKELPARAM(30, static_cast<int>(row * height + height / 2));
  PostMessageW(main.list, WM_RBUTTONDOWN, MK_RBUTTON, at);
  PostMessageW(main.list, WM_RBUTTONUP, 0, at);
  HWND menu = WaitPopupMenu(program);
  if (!menu) return Fail("no menu opened on the list");
  Screenshot("list-menu-with-failures");
  for (int i = 0; i < steps; ++i) {
    PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PumpFor(100);
  }
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  PumpFor(300);
  return true;
}

BOOL CALLBACK NoteWindow(HWND window, LPARAM) {
  if (IsWindowVisible(window)) Note("  window " + Quote(WindowText(window)));
  return TRUE;
}

struct WindowSearch {
  TextView part;
  HWND found = nullptr;
};

BOOL CALLBACK TakeWindowNamed(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  // A caption that starts with the text: the balloon of the run mentions the list too.
  if (!IsWindowVisible(window) || WindowText(window).rfind(search->part, 0) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

// A top-level window of any process whose caption holds the text.
HWND WaitWindowNamed(TextView part, DWORD timeoutMs) {
  WindowSearch search{part};
  WaitUntil(timeoutMs, [&] {
    EnumWindows(TakeWindowNamed, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  return search.found;
}

}  // namespace

// With clearing on, one hand-over of a folder of three files and one more file lists all
// four (each path cleared the list again, leaving the last one's files), and so does a
// drop of two items.
bool HandOverAndDropOfSeveralPathsKeepEveryPath() {
  Program program;
  MainWindow main;
  if (!StartWithClearing(&program, &main, Quoted(gSetup.work + u"in2")) || !WaitListCount(main, 3)) return false;
  HWND filterBox = FindDescendant(main.dialog, kIdFilterBox, u"ComboBox");
  Note("filter before the hand-over " + Quote(WindowText(filterBox)));
  Text single = gSetup.work + u"in2\\E.JPG";
  if (!RunLaterInstance(Quoted(DataPath(u"in")) + u" " + Quoted(single))) return false;
  std::vector<Text> expected = {DataPath(u"in\\a.jpg"), DataPath(u"in\\b.png"), DataPath(u"in\\x y.jpg"), single};
  if (!WaitUntil(5000, [&] { return Sorted(ListItems(main.list)) == Sorted(expected); })) {
    for (const Text& item : ListItems(main.list)) Fail("  listed", item);
    return Fail("the hand-over of a folder and a file did not list all four");
  }
  Note("a hand-over of a folder of 3 and a file lists " + std::to_string(ListCount(main.list)));
  HWND filter = FindDescendant(main.dialog, kIdFilterBox, u"ComboBox");
  if (!filter || WindowText(filter).empty()) return Fail("the filter box is empty after the hand-over");
  if (!DropPaths(program, main, {gSetup.work + u"in2", DataPath(u"in\\a.jpg")})) return false;
  std::vector<Text> dropped = {gSetup.work + u"in2\\e.jpg", gSetup.work + u"in2\\f.png", gSetup.work + u"in2\\g.gif",
                               DataPath(u"in\\a.jpg")};
  if (!WaitUntil(5000, [&] { return Sorted(ListItems(main.list)) == Sorted(dropped); })) {
    for (const Text& item : ListItems(main.list)) Fail("  listed", item);
    return Fail("the drop of a folder and a file did not list all four");
  }
  Note("a drop of a folder of 3 and a file lists " + std::to_string(ListCount(main.list)));
  return EndProgram(&program);
}

// Nobody answers the question of a damaged file: it counts down its seconds and closes
// by itself; after the run the failed entry is marked with its error code, its reason
// shows when it is selected, and the list of failed files opens from the list's menu.
bool FailuresAreShownWhereTheUserLooks() {
  Text out = gSetup.work + u"out-marked\\";
  if (!WriteConfigWithOutputFolder(out)) return false;
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, Quoted(gSetup.work + u"bad")) || !WaitListCount(main, 3)) return false;
  PressButton(main, kIdStart, main.start);
  HWND box = WaitQuestionBox(program);
  if (!box) return Fail("no question appeared");
  // The box is fitted, and its countdown line added, once it has laid itself out.
  HWND countdown = nullptr;
  WaitUntil(3000, [&] { return (countdown = FindDescendant(box, kIdCountdown)) && !WindowText(countdown).empty(); });
  Text first = WindowText(countdown);
  Screenshot("question-countdown");
  Note("countdown " + Quote(first));
  // The box grew for the line: its buttons stand below it.
  RECT yes = {}, line = {};
  if (!WaitUntil(2000, [&] {
        GetWindowRect(GetDlgItem(box, IDYES), &yes);
        GetWindowRect(countdown, &line);
        return yes.top >= line.bottom;
      }))
    return Fail("the countdown line lies over the buttons");
  if (first.rfind(u"Без ответа выполнение продолжится через ", 0) != 0 || CountdownSeconds(first) < 4)
    return Fail("the question shows no countdown of its six seconds", first);
  DWORD shown = GetTickCount();
  if (!WaitUntil(4000, [&] { return CountdownSeconds(WindowText(countdown)) < CountdownSeconds(first); }))
    return Fail("the countdown did not count", WindowText(countdown));
  if (!WaitUntil(10000, [&] { return !IsWindow(box); })) return Fail("the question did not close by itself");
  Note("the question closed by itself after " + std::to_string((GetTickCount() - shown) / 1000 + 1) + " s");
  std::vector<Text> seen;
  if (!WaitRunEnd(main, 60000, &seen)) return Fail("the run did not end");
  std::vector<Text> items = ListItems(main.list);
  int failed = -1;
  for (size_t i = 0; i < items.size(); ++i) {
    auto data = static_cast<uint64_t>(Send(main.list, LB_GETITEMDATA, i, 0));
    int code = static_cast<int>((data >> kFailureShift) & 0xFFFF);
    bool cut = items[i].find(u"cut.jpg") != Text::npos;
    if (cut && code != 13) return Fail("cut.jpg is not marked with error 13: " + std::to_string(code));
    if (!cut && code != 0) return Fail("a converted file is marked failed", items[i]);
    if (cut) failed = static_cast<int>(i);
  }
  Screenshot("failed-entry-after-run");
  // A click on the marked row puts its reason in the status line, another row the summary back.
  Text summary = WindowText(main.status);
  LRESULT height = Send(main.list, LB_GETITEMHEIGHT, 0, 0);
  int other = failed == 0 ? 1 : 0;
  for (int row : {other, failed}) {
    LPARAM at = MAKELPARAM(30, static_cast<int>(row * height + height / 2));
    PostMessageW(main.list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(main.list, WM_LBUTTONUP, 0, at);
    PumpFor(300);
  }
  if (!ExpectStatus(main, u"Файл повреждён: данные обрываются - Error: 13")) return false;
  Screenshot("failed-entry-selected");
  LPARAM away = MAKELPARAM(30, static_cast<int>(other * height + height / 2));
  PostMessageW(main.list, WM_LBUTTONDOWN, MK_LBUTTON, away);
  PostMessageW(main.list, WM_LBUTTONUP, 0, away);
  if (!ExpectStatus(main, summary)) return false;
  Screenshot("failed-entries");
  // "Открыть список файлов с ошибками" is the third entry of the menu.
  if (!ChooseRowMenuEntry(program, main, other, 3)) return false;
  HWND viewer = WaitWindowNamed(u"FAILED_Tessaly.TXT", 20000);
  if (!viewer) {
    EnumWindows(NoteWindow, 0);
    return Fail("the list of failed files did not open");
  }
  Note("opened " + Quote(WindowText(viewer)));
  DWORD viewerPid = 0;
  GetWindowThreadProcessId(viewer, &viewerPid);
  HANDLE viewerProcess = OpenProcess(PROCESS_TERMINATE, FALSE, viewerPid);
  if (viewerProcess) {
    TerminateProcess(viewerProcess, 0);
    CloseHandle(viewerProcess);
  }
  Text logFolder = gSetup.programFolder + u"LOGFILE\\";
  for (const Text& listed : FolderFiles(logFolder))
    if (listed.rfind(u"FAILED_", 0) == 0) DeleteFileIfAny(logFolder + listed);
  return EndProgram(&program);
}

// The empty list says how to add files, in grey over its background, and no longer once
// a file is listed.
bool EmptyListShowsAHint() {
  ForgetConfig();
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, u"")) return false;
  SelectTab(main, 0);
  PumpFor(500);
  Screenshot("empty-list-hint");
  auto greyPixels = [&] {
    RECT area;
    GetWindowRect(main.list, &area);
    HDC screen = GetDC(nullptr);
    int grey = 0;
    for (int y = area.top + 4; y < area.bottom - 4; y += 2)
      for (int x = area.left + 4; x < area.right - 4; x += 3) {
        COLORREF c = GetPixel(screen, x, y);
        if (c != CLR_INVALID && GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c) && GetRValue(c) > 90 &&
            GetRValue(c) < 200)
          ++grey;
      }
    ReleaseDC(nullptr, screen);
    return grey;
  };
  int withHint = greyPixels();
  Note(std::to_string(withHint) + " grey pixels in the empty list");
  if (withHint < 20) return Fail("the empty list shows no hint");
  if (!RunLaterInstance(Quoted(DataPath(u"in\\a.jpg"))) || !WaitListCount(main, 1)) return false;
  PumpFor(500);
  int withFile = greyPixels();
  Note(std::to_string(withFile) + " grey pixels with one file listed");
  if (withFile * 4 > withHint) return Fail("the hint stays over a list with a file");
  return EndProgram(&program);
}

// A profile keeps the filter it was made with: activating it shows that filter in the
// file list's filter box. The keyboard's moves of the quality slider change the caption
// proposed for a new profile at once, as the mouse's do.
bool ProfileFilterAndKeyboardSliderShowAtOnce() {
  ForgetConfig();
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, u"")) return false;
  HWND filter = FindDescendant(main.dialog, kIdFilterBox, u"ComboBox");
  if (!filter) return Fail("no filter box");
  auto setFilter = [&](TextView text) {
    Text typed(text);
    Send(filter, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    Send(GetParent(filter), WM_COMMAND, MAKEWPARAM(kIdFilterBox, CBN_SELENDCANCEL), reinterpret_cast<LPARAM>(filter));
  };
  setFilter(u"png");
  SelectTab(main, 1);
  HWND format = FindDescendant(main.dialog, kIdFormatBox, u"ComboBox");
  HWND page = format ? GetParent(format) : nullptr;
  HWND profiles = page ? GetDlgItem(page, kIdProfiles) : nullptr;
  HWND name = page ? GetDlgItem(page, kIdName) : nullptr;
  if (!profiles || !name) return Fail("the parameters page is missing its profile controls");
  Text typed = u"Только PNG";
  Send(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
  PostMessageW(page, WM_COMMAND, MAKEWPARAM(kIdAdd, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, kIdAdd)));
  if (!WaitUntil(5000, [&] { return ListCount(profiles) == 1; })) return Fail("the profile was not added");
  SelectTab(main, 0);
  setFilter(u"jpg");
  SelectTab(main, 1);
  Send(profiles, LB_SETCURSEL, 0, 0);
  Send(page, WM_COMMAND, MAKEWPARAM(kIdProfiles, LBN_DBLCLK), reinterpret_cast<LPARAM>(profiles));
  if (!WaitUntil(3000, [&] { return WindowText(filter) == u"png"; }))
    return Fail("the filter box does not show the profile's filter", WindowText(filter));
  Note("the filter box shows " + Quote(WindowText(filter)) + " after the activation");
  // WEBP, then the slider five steps left by keyboard alone.
  Send(format, CB_SETCURSEL, 1, 0);
  Send(page, WM_COMMAND, MAKEWPARAM(kIdFormatBox, CBN_SELCHANGE), reinterpret_cast<LPARAM>(format));
  PumpFor(200);
  HWND slider = FindDescendant(page, kIdSlider);
  if (!slider) return Fail("no quality slider on the WEBP panel");
  Send(main.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(slider), TRUE);
  Text before = WindowText(name);
  for (int i = 0; i < 5; ++i) Send(slider, WM_KEYDOWN, VK_LEFT, 0);
  if (!WaitUntil(500, [&] { return WindowText(name).find(u"(Q:85)") != Text::npos; }))
    return Fail("the proposed caption did not follow the keyboard's move: " + Quote(before) + " then",
                WindowText(name));
  Note("caption " + Quote(before) + " became " + Quote(WindowText(name)));
  return EndProgram(&program);
}
