// Checks of folder trees in the window: a dropped tree (three levels, the same names at
// each, a hidden file and folder, a link back to the top) converted with subfolders on into
// the same tree below the output folder with the sources' dates; a restart that converts
// nothing again, a touched source that converts alone; a counter name beside a file that
// is not the program's, chosen on the additional-settings page.
#include <windows.h>

#include <algorithm>

#include "base/text.h"
#include "tests/e2e/checks_win32.h"
#include "tests/e2e/desktop_e2e_win32.h"
#include "tests/e2e/e2e_win32.h"
#include "tests/e2e/main_window_e2e_win32.h"

namespace {

// Written out rather than taken from the program's headers (main_window_e2e_win32.h says why).
constexpr int kIdSubfoldersBox = 4015;
constexpr int kIdKeepDatesBox = 5110;
constexpr int kIdKeepIfSmallerBox = 5111;
constexpr int kIdExistingFilesBox = 5112;
constexpr int kSettingsTab = 2;
constexpr size_t kRecursiveOffset = 136;
constexpr size_t kExistingFilesOffset = 144;

// The tree test-e2e.sh makes: what a walk must find, below "tree\".
const char16_t* const kTreeFiles[] = {u"IMG_0001.jpg", u"2024\\IMG_0001.jpg", u"2024\\Trip\\IMG_0001.jpg",
                                      u"2025\\IMG_0001.png"};

Text OutputOf(TextView relative) {
  Text out(relative);
  out = out.substr(0, out.rfind(u'.')) + u".jpg";
  return gSetup.work + u"out-tree\\" + out;
}

bool ModifiedTime(TextView path, FILETIME* time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  Text full(path);
  if (!GetFileAttributesExW(reinterpret_cast<const wchar_t*>(full.c_str()), GetFileExInfoStandard, &data)) return false;
  *time = data.ftLastWriteTime;
  return true;
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

bool SetModifiedTime(TextView path, const FILETIME& time) {
  Text full(path);
  HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(full.c_str()), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = SetFileTime(file, nullptr, nullptr, &time) != 0;
  CloseHandle(file);
  return ok;
}

int32_t ConfigWord(size_t offset) {
  std::vector<uint8_t> bytes = ReadFileBytes(ConfigFile());
  if (bytes.size() < offset + 4) return -1;
  int32_t value = 0;
  std::copy_n(bytes.begin() + static_cast<ptrdiff_t>(offset), 4, reinterpret_cast<uint8_t*>(&value));
  return value;
}

// Drops the tree on a started program, runs it and expects the summary.
bool DropAndRun(const Program& program, const MainWindow& main, TextView folder, int listed, TextView summary) {
  if (!DropPaths(program, main, {gSetup.work + Text(folder)}) || !WaitListCount(main, listed)) return false;
  PressButton(main, kIdStart, main.start);
  std::vector<Text> seen;
  if (!WaitRunEnd(main, 60000, &seen)) return Fail("the run did not end", WindowText(main.status));
  return ExpectSummary(main, summary);
}

bool EndProgram(Program* program) {
  DWORD code = 1;
  if (!program->CloseAndWait(kExitWaitMs, &code) || code != 0) return Fail("the program did not end with 0");
  return true;
}

// A later session: the program started again over the same Config.dat and record.
bool RunAgain(TextView summary) {
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, u"")) return false;
  SelectTab(main, 0);
  if (!DropAndRun(program, main, u"tree", 4, summary)) return false;
  return EndProgram(&program);
}

bool OutputsMirrorTheTreeWithTheSourcesDates() {
  for (const char16_t* relative : kTreeFiles) {
    Text source = gSetup.work + u"tree\\" + relative, output = OutputOf(relative);
    FILETIME sourceTime, outputTime;
    if (!ModifiedTime(output, &outputTime)) return Fail("no output at", output);
    if (!ModifiedTime(source, &sourceTime) || !SameTime(sourceTime, outputTime))
      return Fail("the output's time is not its source's", output);
  }
  Note("each output lies at its source's path below out-tree, with the source's time");
  for (const char16_t* absent : {u".hidden.jpg", u".thumbs", u"2024\\Trip\\loop"}) {
    Text path = gSetup.work + u"out-tree\\" + absent;
    if (FileExists(path) || GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str())) != INVALID_FILE_ATTRIBUTES)
      return Fail("something was written for what the walk leaves out", path);
  }
  return true;
}

}  // namespace

bool DroppedTreeIsMirroredDatedAndDoneAcrossRestarts() {
  if (!WriteConfig(RunOnceSettings(gSetup.work + u"out-tree\\"))) return false;
  DeleteFileIfAny(gSetup.programFolder + u"Converted.dat");
  {
    Program program;
    MainWindow main;
    if (!StartMain(&program, &main, u"")) return false;
    SelectTab(main, 0);
    HWND subfolders = FindDescendant(main.dialog, kIdSubfoldersBox, u"Button");
    if (!subfolders || !IsWindowEnabled(subfolders)) return Fail("the subfolders box is missing or disabled");
    if (Ticked(subfolders)) return Fail("the subfolders box is ticked in a Config.dat without it");
    Click(subfolders);
    if (!Ticked(subfolders)) return Fail("the subfolders box does not tick");
    if (!DropPaths(program, main, {gSetup.work + u"tree"}) || !WaitListCount(main, 4)) return false;
    std::vector<Text> expected;
    for (const char16_t* relative : kTreeFiles) expected.push_back(gSetup.work + u"tree\\" + relative);
    std::vector<Text> listed = ListItems(main.list);
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    if (listed != expected) return Fail("the list is not the tree's four files", listed.empty() ? Text() : listed.back());
    Screenshot("tree-dropped");
    PressButton(main, kIdStart, main.start);
    std::vector<Text> seen;
    if (!WaitRunEnd(main, 60000, &seen)) return Fail("the run did not end");
    if (!ExpectSummary(main, u"Готово: преобразовано 4, пропущено 0, ошибок 0 (")) return false;
    if (!EndProgram(&program)) return false;
  }
  if (ConfigWord(kRecursiveOffset) != 1) return Fail("Config.dat does not keep the subfolders box at byte 136");
  if (!FileExists(gSetup.programFolder + u"Converted.dat")) return Fail("no record of what was done beside Config.dat");
  if (!OutputsMirrorTheTreeWithTheSourcesDates()) return false;
  if (!RunAgain(u"Готово: преобразовано 0, пропущено 4, ошибок 0 (")) return false;
  Note("after a restart the same tree converts nothing and skips all four");
  // One source touched: a new time, the same bytes.
  FILETIME touched = {0x12345678, 0x01D5C000};
  if (!SetModifiedTime(gSetup.work + u"tree\\2025\\IMG_0001.png", touched)) return Fail("the source cannot be touched");
  if (!RunAgain(u"Готово: преобразовано 1, пропущено 3, ошибок 0 (")) return false;
  FILETIME now;
  if (!ModifiedTime(OutputOf(u"2025\\IMG_0001.png"), &now) || !SameTime(now, touched))
    return Fail("the output of the touched source does not carry its new time");
  Note("touching one source converts that one alone");
  return true;
}

bool CounterWritesBesideAForeignFile() {
  AppSettings settings = RunOnceSettings(gSetup.work + u"out-counter\\");
  settings.Recursive = 1;
  if (!WriteConfig(settings)) return false;
  DeleteFileIfAny(gSetup.programFolder + u"Converted.dat");
  CreateDirectoryW(reinterpret_cast<const wchar_t*>((gSetup.work + u"out-counter").c_str()), nullptr);
  const char kForeign[] = "a file of another program";
  if (!WriteFileBytes(gSetup.work + u"out-counter\\a.jpg", kForeign, sizeof kForeign - 1))
    return Fail("cannot write the foreign a.jpg");
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, u"")) return false;
  SelectTab(main, kSettingsTab);
  HWND page = SettingsPageOf(main.dialog);
  if (!page) return Fail("no additional-settings page");
  HWND dates = FindDescendant(page, kIdKeepDatesBox), smaller = FindDescendant(page, kIdKeepIfSmallerBox);
  HWND existing = FindDescendant(page, kIdExistingFilesBox);
  if (!dates || !smaller || !existing) return Fail("the output options are not on the page");
  if (!Ticked(dates) || Ticked(smaller) || Send(existing, CB_GETCURSEL, 0, 0) != 0)
    return Fail("the output options do not show a fresh Config.dat's choices");
  Send(existing, CB_SETCURSEL, 2, 0);
  Send(page, WM_COMMAND, MAKEWPARAM(kIdExistingFilesBox, CBN_SELCHANGE), reinterpret_cast<LPARAM>(existing));
  Screenshot("settings-tree-options");
  SelectTab(main, 0);
  if (!DropAndRun(program, main, u"counter", 1, u"Готово: преобразовано 1, пропущено 0, ошибок 0 (")) return false;
  if (!EndProgram(&program)) return false;
  std::vector<uint8_t> kept = ReadFileBytes(gSetup.work + u"out-counter\\a.jpg");
  if (std::string(kept.begin(), kept.end()) != kForeign) return Fail("the foreign a.jpg was changed");
  if (FileSize(gSetup.work + u"out-counter\\a (2).jpg") <= 0) return Fail("no a (2).jpg beside the foreign a.jpg");
  if (ConfigWord(kExistingFilesOffset) != 2) return Fail("Config.dat does not keep the counter choice at byte 144");
  Note("a (2).jpg written beside the foreign a.jpg, which is left as it was");
  return true;
}
