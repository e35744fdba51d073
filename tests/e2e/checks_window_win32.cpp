// Checks of the main window: the program started with arguments, read and driven from
// outside through window messages that Wine carries across processes, and the files it
// leaves (outputs, Config.dat).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "app/startup.h"
#include "base/wide_win32.h"
#include "settings/app_settings.h"
#include "tests/e2e/checks_win32.h"
#include "tests/e2e/e2e_win32.h"
#include "tests/e2e/main_window_e2e_win32.h"

bool MainWindowAppears() {
  ForgetConfig();
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, u"")) return false;
  if (WindowText(main.dialog) != u"TessalyEx ") return Fail("caption", WindowText(main.dialog));
  LRESULT tabs = Send(main.tabs, TCM_GETITEMCOUNT, 0, 0);
  if (tabs != 4) return Fail("the tab control has " + std::to_string(tabs) + " tabs");
  if (!ExpectStatus(main, u"Всего файлов в списке: 0")) return false;
  if (Send(main.tabs, TCM_GETCURSEL, 0, 0) != 1) return Fail("the parameters tab is not the first one shown");
  if (IsWindowEnabled(main.start) || IsWindowEnabled(main.stop)) return Fail("Start or Stop enabled with an empty list");
  Note("elapsed line " + Quote(WindowText(FindDescendant(main.dialog, kIdElapsed))));
  return true;
}

bool EachTabScreenshot() {
  ForgetConfig();
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, Quoted(gSetup.work + u"in"))) return false;
  WaitUntil(5000, [&] { return ListCount(main.list) > 0; });
  static const char* kNames[] = {"tab1-file-list", "tab2-parameters", "tab3-settings", "tab4-about"};
  bool ok = true;
  for (int i = 0; i < 4; ++i) {
    SelectTab(main, i);
    if (Send(main.tabs, TCM_GETCURSEL, 0, 0) != i) ok = Fail("tab " + std::to_string(i + 1) + " not selected");
    ok = Screenshot(kNames[i]) && ok;
  }
  return ok;
}

bool ArgumentsListExactlyTheAcceptedFiles() {
  ForgetConfig();
  Program program;
  MainWindow main;
  // A file with a blank, a file twice in other capitals, a rejected file and a folder
  // (whose subfolder is not entered).
  Text arguments = Quoted(DataPath(u"in\\x y.jpg")) + u" " + DataPath(u"in\\B.PNG") + u" " + DataPath(u"in\\b.png") + u" " + DataPath(u"in\\notes.txt") +
                   u" " + Quoted(gSetup.work + u"in2");
  if (!StartMain(&program, &main, arguments)) return false;
  std::vector<Text> expected = {DataPath(u"in\\x y.jpg"), DataPath(u"in\\B.PNG"), gSetup.work + u"in2\\e.jpg",
                                gSetup.work + u"in2\\f.png", gSetup.work + u"in2\\g.gif"};
  if (!WaitListCount(main, static_cast<int>(expected.size()))) {
    ExpectListHolds(main, expected);
    return false;
  }
  PumpFor(500);
  if (!ExpectListHolds(main, expected)) return false;
  if (!ExpectStatus(main, u"Всего файлов в списке: 5")) return false;
  if (WindowText(main.pageCount) != u"Всего: 5") return Fail("page count", WindowText(main.pageCount));
  if (!IsWindowEnabled(main.start)) return Fail("Start is not enabled with files listed");
  return true;
}

bool SecondStartAddsFilesWithoutDuplicates() {
  ForgetConfig();
  Program first;
  MainWindow main;
  if (!StartMain(&first, &main, Quoted(gSetup.work + u"in2"))) return false;
  if (!WaitListCount(main, 3)) return false;
  // One new file, one already listed, and the folder again.
  if (!RunLaterInstance(Quoted(DataPath(u"in\\a.jpg")) + u" " + DataPath(u"in\\b.png") + u" " + gSetup.work + u"in2\\E.JPG " +
                 Quoted(gSetup.work + u"in2")))
    return false;
  if (!WaitListCount(main, 5)) return false;
  PumpFor(800);
  if (!ExpectListHolds(main, {DataPath(u"in\\a.jpg"), DataPath(u"in\\b.png"), gSetup.work + u"in2\\e.jpg", gSetup.work + u"in2\\f.png",
                              gSetup.work + u"in2\\g.gif"}))
    return false;
  if (!IsWindowVisible(main.dialog)) return Fail("the window is not visible after the hand-over");
  Screenshot("after-hand-over");
  return ExpectStatus(main, u"Всего файлов в списке: 5");
}

namespace {

// Starts the program on a folder of the test data with the results going to `out`,
// waits until `count` files are listed and presses Start.
bool StartRunOn(TextView folder, TextView out, int count, Program* program, MainWindow* main) {
  if (!WriteConfigWithOutputFolder(out)) return false;
  if (!StartMain(program, main, Quoted(gSetup.work + Text(folder)))) return false;
  if (!WaitListCount(*main, count)) return false;
  PressButton(*main, kIdStart, main->start);
  return true;
}

}  // namespace

bool StartConvertsTheListedFiles() {
  Text out = gSetup.work + u"out\\";
  Program program;
  MainWindow main;
  if (!StartRunOn(u"in2", out, 3, &program, &main)) return false;
  if (!WaitUntil(5000, [&] { return IsWindowEnabled(main.stop) || !FolderFiles(out).empty(); }))
    Note("Stop was never seen enabled (the run may have been quicker than the poll)");
  std::vector<Text> seen;
  bool ended = WaitRunEnd(main, 60000, &seen);
  for (const Text& status : seen) Note("status " + Quote(status));
  if (!ended) return Fail("the run did not end");
  Screenshot("summary-line");
  if (!ExpectSummary(main, u"Готово: преобразовано 3, пропущено 0, ошибок 0 (")) return false;
  std::vector<Text> names = FolderFiles(out);
  std::sort(names.begin(), names.end());
  if (names != std::vector<Text>{u"e.jpg", u"f.jpg", u"g.jpg"}) {
    for (const Text& name : names) Fail("  output", name);
    return Fail("the output folder does not hold e.jpg, f.jpg, g.jpg");
  }
  for (const Text& name : names) {
    std::vector<uint8_t> bytes = ReadFileBytes(out + name);
    if (bytes.size() < 100 || bytes[0] != 0xFF || bytes[1] != 0xD8) return Fail("not a JPEG", name);
  }
  bool sawProgress = std::any_of(seen.begin(), seen.end(), [](const Text& s) { return s.rfind(u"Выполняется: (", 0) == 0; });
  if (!sawProgress) Note("no progress line was caught while polling");
  return true;
}

namespace {

struct Target {
  const char16_t* name;  // TargetFormat, and the outputs' extension in lower case
  int32_t formatId;
  const char16_t* folder;
  bool (*signature)(const std::vector<uint8_t>& bytes);
};

bool IsJpeg(const std::vector<uint8_t>& b) {
  return b.size() > 100 && b[0] == 0xFF && b[1] == 0xD8 && b[b.size() - 2] == 0xFF && b[b.size() - 1] == 0xD9;
}

bool IsWebp(const std::vector<uint8_t>& b) {
  // RIFF size + 8 is the file's size.
  if (b.size() < 30 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WEBP", 4) != 0) return false;
  uint32_t riff = b[4] | b[5] << 8 | b[6] << 16 | static_cast<uint32_t>(b[7]) << 24;
  return riff + 8 == b.size();
}

bool IsPng(const std::vector<uint8_t>& b) {
  static const uint8_t kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return b.size() > 60 && std::memcmp(b.data(), kStart, 8) == 0 && std::memcmp(b.data() + b.size() - 8, "IEND", 4) == 0;
}

const Target kTargets[] = {
    {u"JPG", kFormatJpeg, u"out-jpg\\", IsJpeg},
    {u"WEBP", kFormatWebp, u"out-webp\\", IsWebp},
    {u"PNG", kFormatPng, u"out-png\\", IsPng},
};

bool ConvertsTo(const Target& target) {
  Text out = gSetup.work + target.folder;
  Program program;
  MainWindow main;
  AppSettings settings = RunOnceSettings(out);
  SetField(settings.TargetFormat, target.name);
  settings.FormatId = target.formatId;
  if (!WriteConfig(settings)) return false;
  if (!StartMain(&program, &main, Quoted(gSetup.work + u"in2"))) return false;
  if (!WaitListCount(main, 3)) return false;
  PressButton(main, kIdStart, main.start);
  std::vector<Text> seen;
  if (!WaitRunEnd(main, 60000, &seen)) return Fail("the run did not end");
  // Built by appending: GCC 12 warns wrongly about operator+ on a literal and a string.
  Text extension(1, u'.');
  extension += ToLower(target.name);
  std::vector<Text> expected;
  for (char16_t stem : {u'e', u'f', u'g'}) expected.push_back(Text(1, stem) += extension);
  std::vector<Text> names = FolderFiles(out);
  std::sort(names.begin(), names.end());
  if (names != expected) {
    for (const Text& name : names) Fail("  output", name);
    return Fail("the outputs are not e, f and g" + TextToUtf8(extension));
  }
  for (const Text& name : names) {
    if (!target.signature(ReadFileBytes(out + name))) return Fail("not a whole " + TextToUtf8(target.name) + " file", name);
  }
  Note(TextToUtf8(target.name) + ": " + std::to_string(FileSize(out + names[0])) + ", " +
       std::to_string(FileSize(out + names[1])) + ", " + std::to_string(FileSize(out + names[2])) + " bytes");
  return true;
}

}  // namespace

// A run to each target of the program writes whole files of that format (the outputs are
// left for scripts/test-e2e.sh, which compares the two programs' pictures).
bool EachTargetWritesItsFormat() {
  bool ok = true;
  for (const Target& target : kTargets) ok = ConvertsTo(target) && ok;
  return ok;
}

namespace {

// The conversion's question, shown by the worker while the window keeps pumping.
HWND WaitQuestion(const Program& program) {
  HWND box = nullptr;
  WaitUntil(kWindowWaitMs, [&] {
    for (HWND window : ProcessWindows(program.pid())) {
      if (ClassName(window) == u"#32770" && WindowText(window) == u"Ошибка выполнения преобразования") box = window;
    }
    return box != nullptr;
  });
  return box;
}

// The good pictures listed before the first failing one: what a run ended there wrote.
std::vector<Text> OutputsBefore(const std::vector<Text>& listed, TextView failing) {
  std::vector<Text> names;
  for (const Text& path : listed) {
    Text name = path.substr(path.rfind(u'\\') + 1);
    if (name == failing) break;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// A JPEG cut off inside its picture asks the question with its reason; "No" ends the run
// once the files under way are done, and nothing is written for it.
bool FailedFileAsksAndNoEndsTheRun() {
  Text out = gSetup.work + u"out-bad\\";
  Program program;
  MainWindow main;
  if (!StartRunOn(u"bad", out, 3, &program, &main)) return false;
  std::vector<Text> listed = ListItems(main.list);
  HWND box = WaitQuestion(program);
  if (!box) return Fail("no question appeared");
  Text text = WindowText(FindDescendant(box, kMessageBoxTextId));
  Note("question " + Quote(text));
  Screenshot("error-question");
  if (text.rfind(u"cut.jpg", 0) != 0 || text.find(u"Файл повреждён: данные обрываются - Error: 13") == Text::npos ||
      text.find(u"Продолжить выполнение ?") == Text::npos)
    return Fail("question text", text);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
  std::vector<Text> seen;
  if (!WaitRunEnd(main, 30000, &seen)) return Fail("the run did not end after No");
  if (!ExpectSummary(main, u"Прервано: преобразовано ")) return false;
  if (WindowText(main.status).find(u", ошибок 1 (") == Text::npos) return Fail("the summary does not count one failure");
  // The good files listed before cut.jpg, and the one after it when it was under way
  // already (files are converted side by side).
  std::vector<Text> written = FolderFiles(out);
  std::sort(written.begin(), written.end());
  std::vector<Text> before = OutputsBefore(listed, u"cut.jpg");
  std::vector<Text> withNext = before;
  withNext.push_back(u"z-good.jpg");
  if (written != before && written != withNext) {
    for (const Text& name : written) Fail("  output", name);
    return Fail("the outputs are not the good files listed before cut.jpg (and z-good.jpg, under way)");
  }
  return true;
}

// Files that crash the image library or declare gigantic pictures, between two good
// ones: each fails on its own with its question, answered Yes, and the good pictures
// are converted by the window's worker processes.
bool HostileFilesFailAloneInTheWindow() {
  Text out = gSetup.work + u"out-hostile\\";
  Program program;
  MainWindow main;
  if (!StartRunOn(u"hostile", out, 6, &program, &main)) return false;
  std::vector<Text> questions;
  bool ended = WaitUntil(120000, [&] {
    for (HWND window : ProcessWindows(program.pid())) {
      if (ClassName(window) != u"#32770" || WindowText(window) != u"Ошибка выполнения преобразования") continue;
      Text text = WindowText(FindDescendant(window, kMessageBoxTextId));
      if (questions.empty() || questions.back() != text) questions.push_back(text);
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
    }
    return IsRunSummary(WindowText(main.status)) && IsWindowEnabled(main.start) && !IsWindowEnabled(main.stop);
  });
  for (const Text& text : questions) Note("question " + Quote(text));
  if (!ended) return Fail("the run did not end");
  for (const char16_t* expected : {u"huge_header.bmp\r\nИзображение слишком велико - Error: 18",
                                   u"huge_header.pcx\r\nИзображение слишком велико - Error: 18"}) {
    bool asked = std::any_of(questions.begin(), questions.end(),
                             [&](const Text& q) { return q.rfind(expected, 0) == 0; });
    if (!asked) return Fail("no question", expected);
  }
  std::vector<Text> written = FolderFiles(out);
  for (const char16_t* good : {u"a-good.jpg", u"z-good.jpg"}) {
    if (std::find(written.begin(), written.end(), good) == written.end()) return Fail("not converted", good);
  }
  if (!IsWindow(main.dialog)) return Fail("the window is gone after the run");
  return true;
}

namespace {

int ProgressIndex(TextView status) {
  // "Выполняется: ( 3/ 40)  Имя: ..." -> 3
  size_t open = status.find(u'(');
  size_t slash = status.find(u'/');
  if (status.rfind(u"Выполняется: (", 0) != 0 || open == TextView::npos || slash == TextView::npos) return -1;
  int value = 0;
  for (size_t i = open + 1; i < slash; ++i) {
    if (status[i] >= u'0' && status[i] <= u'9') value = value * 10 + (status[i] - u'0');
  }
  return value;
}

// Starts the program on the folder of many large files, results into `out`, and presses
// Start; *total is the number of files listed.
bool StartLongRun(TextView out, Program* program, MainWindow* main, int* total) {
  *total = static_cast<int>(FolderFiles(gSetup.work + u"many\\").size());
  return StartRunOn(u"many", out, *total, program, main);
}

}  // namespace

// Stop lets the files under way finish, whole, and begins no other: a worker per
// logical processor, and at most twice as many results waiting for their turn in list
// order (one more file may have begun between the look at the status and the click).
bool StopEndsAfterTheFilesInFlight() {
  Text out = gSetup.work + u"out-stop\\";
  int total = 0;
  Program program;
  MainWindow main;
  if (!StartLongRun(out, &program, &main, &total)) return false;
  int current = -1;
  if (!WaitUntil(30000, [&] { return (current = ProgressIndex(WindowText(main.status))) >= 2; }))
    return Fail("the run never reached its second file");
  PressButton(main, kIdStop, main.stop);
  Note("Stop pressed while the status showed file " + std::to_string(current) + " of " + std::to_string(total));
  std::vector<Text> seen;
  if (!WaitRunEnd(main, 60000, &seen)) return Fail("the run did not end after Stop");
  if (!ExpectSummary(main, u"Остановлено: преобразовано ")) return false;
  std::vector<Text> names = FolderFiles(out);
  int written = static_cast<int>(names.size());
  SYSTEM_INFO info = {};
  GetSystemInfo(&info);
  int inFlight = 2 * static_cast<int>(info.dwNumberOfProcessors);
  Note(std::to_string(written) + " files were written, " + std::to_string(inFlight) + " may be under way at once");
  if (written >= total) return Fail("the run went on to the end of the list");
  if (written < current || written > current + inFlight) return Fail("the run did not end after the files in flight");
  for (const Text& name : names)
    if (!IsJpeg(ReadFileBytes(out + name))) return Fail("not a whole JPEG (a temporary or cut file?)", name);
  return true;
}

// A start with "/auto" (start with Windows) stays in the tray; a later start brings the
// window up.
bool AutoStartStaysInTheTray() {
  ForgetConfig();
  Program program;
  return program.Start(u"/auto") && StaysInTheTrayUntilALaterStart(program);
}

// Closing while converting: the worker finishes the file it is on, every output on disk
// is a whole JPEG, no temporary file is left, and the settings are saved.
bool CloseDuringARunLosesNothing() {
  Text out = gSetup.work + u"out-close\\";
  int total = 0;
  Program program;
  MainWindow main;
  if (!StartLongRun(out, &program, &main, &total)) return false;
  if (!WaitUntil(30000, [&] { return ProgressIndex(WindowText(main.status)) >= 2; }))
    return Fail("the run never reached its second file");
  DWORD code = 1;
  if (!program.CloseAndWait(60000, &code)) return Fail("the program did not end after closing during a run");
  if (code != 0) return Fail("exit code " + std::to_string(code));
  std::vector<Text> names = FolderFiles(out);
  Note(std::to_string(names.size()) + " of " + std::to_string(total) + " files were written");
  if (names.empty() || static_cast<int>(names.size()) >= total) return Fail("the run did not end early");
  for (const Text& name : names) {
    std::vector<uint8_t> bytes = ReadFileBytes(out + name);
    bool whole = bytes.size() > 4 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[bytes.size() - 2] == 0xFF &&
                 bytes[bytes.size() - 1] == 0xD9;
    if (!whole) return Fail("not a whole JPEG (a temporary or cut file?)", name);
  }
  AppSettings settings;
  int64_t size = 0;
  if (!ReadConfig(&settings, &size)) return false;
  if (settings.LaunchCount != 2) return Fail("the settings were not saved at the end");
  return true;
}

// Windows ends a program after WM_ENDSESSION without a WM_DESTROY: the settings must be
// on disk by then, and only when the session really ends.
bool SessionEndSavesTheSettings() {
  ForgetConfig();
  {
    Program program;
    MainWindow main;
    if (!StartMain(&program, &main, u"")) return false;
    SelectTab(main, 1);
    Send(main.dialog, WM_ENDSESSION, FALSE, 0);
    if (FileExists(ConfigFile())) return Fail("a cancelled session end wrote the settings");
    Send(main.dialog, WM_ENDSESSION, TRUE, 0);
    program.Kill();
  }
  return ExpectSavedConfig(1, 2);
}

namespace {

// Closes the window and answers the box that says the settings were not written.
bool CloseExpectingUnsavedBox(Program* program, const MainWindow& main) {
  PostMessageW(main.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  HWND box = nullptr;
  WaitUntil(kWindowWaitMs, [&] {
    for (HWND window : ProcessWindows(program->pid())) {
      if (window != main.dialog && ClassName(window) == u"#32770") box = window;
    }
    return box != nullptr || !program->Running();
  });
  if (!box) return Fail("the program ended without a word about the unsaved settings");
  Text text = WindowText(FindDescendant(box, kMessageBoxTextId));
  Note("box " + Quote(text));
  Screenshot("settings-not-saved");
  if (text != SettingsNotSavedText(ConfigFile())) return Fail("box text", text);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  DWORD code = 1;
  if (!program->WaitExit(kExitWaitMs, &code)) return Fail("the program did not end after the box");
  if (code != 0) return Fail("exit code " + std::to_string(code));
  return true;
}

}  // namespace

// A folder where Config.dat should be: the save fails, and the user is told so.
bool UnwritableSettingsSaySoAtClose() {
  ForgetConfig();
  Text config = ConfigFile();
  if (!CreateDirectoryW(Wide(config), nullptr)) return Fail("could not put a folder in place of Config.dat");
  bool ok = false;
  {
    Program program;
    MainWindow main;
    ok = StartMain(&program, &main, u"") && CloseExpectingUnsavedBox(&program, main);
  }
  RemoveDirectoryW(Wide(config));
  return ok;
}

bool CloseWritesConfigWithLaunchCountAndTab() {
  ForgetConfig();
  {
    Program program;
    MainWindow main;
    if (!StartMain(&program, &main, u"")) return false;
    SelectTab(main, 2);
    PostMessageW(main.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 1;
    if (!program.WaitExit(kExitWaitMs, &code)) return Fail("the program did not end on SC_CLOSE");
    if (code != 0) return Fail("exit code " + std::to_string(code));
  }
  if (!ExpectSavedConfig(1, 3)) return false;
  // The next start shows that tab again and raises the count once more.
  {
    Program program;
    MainWindow main;
    if (!StartMain(&program, &main, u"")) return false;
    if (Send(main.tabs, TCM_GETCURSEL, 0, 0) != 2) return Fail("the chosen tab was not restored");
    DWORD code = 1;
    if (!program.CloseAndWait(kExitWaitMs, &code) || code != 0) return Fail("the program did not end on command 2");
  }
  return ExpectSavedConfig(2, 3);
}

namespace {

bool DeleteKeyRemovesTheEntry(const MainWindow& main, int index, int countAfter) {
  Send(main.list, LB_SETCURSEL, index, 0);
  Send(main.list, WM_KEYDOWN, VK_DELETE, 0);
  Send(main.list, WM_KEYUP, VK_DELETE, 0xC0000001);
  if (!WaitListCount(main, countAfter)) return false;
  Text status = u"Всего файлов в списке:" + NumberWithBlank(countAfter);
  if (!ExpectStatus(main, status)) return false;
  Text page = u"Всего:" + NumberWithBlank(countAfter);
  if (WindowText(main.pageCount) != page) return Fail("page count", WindowText(main.pageCount));
  return true;
}

// The context menu's "Очистить список": with no entry selected the menu is the add

// item, the option, "Очистить список", a separator and "Отмена"; Up twice from the end

// reaches it.

bool ClearThroughTheMenu(Program* program, const MainWindow& main) {
  Send(main.list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  RECT box;
  GetWindowRect(main.list, &box);
  PostMessageW(GetParent(main.list), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(main.list),
               MAKELPARAM(box.left + 40, box.top + 40));
  HWND menu = WaitPopupMenu(*program);
  if (!menu) return Fail("the context menu did not open");
  Screenshot("file-list-menu");
  for (WPARAM key : {VK_UP, VK_UP, VK_RETURN}) {
    PostMessageW(menu, WM_KEYDOWN, key, 0);
    PumpFor(150);
  }
  return WaitListCount(main, 0);
}

}  // namespace

bool DeleteKeyAndClearingFollowTheCounts() {
  ForgetConfig();
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, Quoted(gSetup.work + u"in2") + u" " + Quoted(gSetup.work + u"in"))) return false;
  if (!WaitUntil(10000, [&] { return ListCount(main.list) >= 6; })) return Fail("the list did not fill");
  PumpFor(500);
  int count = ListCount(main.list);
  std::vector<Text> before = ListItems(main.list);
  if (!DeleteKeyRemovesTheEntry(main, 1, count - 1)) return false;
  std::vector<Text> after = ListItems(main.list);
  if (std::find(after.begin(), after.end(), before[1]) != after.end()) return Fail("the deleted entry is still listed");
  // The last entry, then the caret is on the new last one.
  if (!DeleteKeyRemovesTheEntry(main, count - 2, count - 2)) return false;
  if (!ClearThroughTheMenu(&program, main)) return false;
  if (!ExpectStatus(main, u"Всего файлов в списке: 0")) return false;
  if (IsWindowEnabled(main.start)) return Fail("Start is enabled with an empty list");
  return true;
}
