// Checks of the Win32 side that the native unit tests cannot make: real message boxes
// that end themselves (alone, on two threads at once, one over another), the file-system
// port over the Win32 file calls, the shell folder lookup and the two exported routines.
// A Winelib console program; it needs a display (Xvfb) and prints one line per check.
// Exit status: the number of failed checks.
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "base/main_window_win32.h"
#include "base/error_log.h"
#include "base/filesys.h"
#include "base/filesys_win32.h"
#include "base/paths.h"
#include "base/pump_win32.h"
#include "base/shell_win32.h"
#include "base/utils.h"
#include "engine/codecs/image.h"
#include "engine/codecs/decode.h"
#include "engine/codecs/encode.h"
#include "tests/freed_memory_checks.h"
#include "tests/sample_images.h"
#include "engine/pipeline/pipeline.h"
#include "engine/workers/job_pool.h"
#include "engine/workers/worker.h"
#include "engine/workers/worker_process.h"
#include "input/file_list.h"
#include "input/file_list_win32.h"
#include "settings/app_settings.h"
#include "settings/defaults.h"

extern "C" {
const WCHAR* __stdcall FormatByteSize64(uint32_t bytes);
void __stdcall MWRITEFILE(const WCHAR* fileName, const uint8_t* const* data);
}

namespace {

int gFailures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  std::fflush(stdout);
  if (!ok) ++gFailures;
}

std::string Utf8(TextView text) {
  return TextToUtf8(text);
}

const wchar_t* Wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

Text WindowText(HWND window) {
  char16_t buffer[4096] = {};
  int n = GetWindowTextW(window, reinterpret_cast<wchar_t*>(buffer), 4096);
  return Text(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

bool ClassIs(HWND window, const char* name) {
  char buffer[64] = {};
  GetClassNameA(window, buffer, sizeof buffer);
  return lstrcmpiA(buffer, name) == 0;
}

// ---- message boxes --------------------------------------------------------------

// What a watcher saw of a box shown by another thread, and what it pressed.
struct BoxSeen {
  DWORD boxThread = 0;     // in: the thread that shows the box
  DWORD holdMs = 0;        // in: how long to leave the box open before pressing
  int press = 0;           // in: the button to press (IDOK, IDYES, IDNO)
  Text awaitSelected;      // in: for a folder browser, the item to wait for before pressing
  Text lastSelected;       // the browser's selected item when the button was pressed
  bool found = false;
  Text caption;
  size_t textLength = 0;   // the longest static text: the message itself
  bool hasOk = false, hasYes = false, hasNo = false;
  bool topmost = false;
  HWND owner = nullptr;
};

struct FindBox {
  DWORD thread;
  HWND box;
};

BOOL CALLBACK FindBoxOfThread(HWND window, LPARAM param) {
  auto* find = reinterpret_cast<FindBox*>(param);
  if (GetWindowThreadProcessId(window, nullptr) == find->thread && ClassIs(window, "#32770") &&
      IsWindowVisible(window)) {
    find->box = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK LongestStatic(HWND child, LPARAM param) {
  auto* longest = reinterpret_cast<size_t*>(param);
  if (ClassIs(child, "Static")) {
    size_t n = static_cast<size_t>(GetWindowTextLengthW(child));
    if (n > *longest) *longest = n;
  }
  return TRUE;
}

HWND WaitForBox(DWORD thread, DWORD withinMs) {
  for (DWORD waited = 0; waited < withinMs; waited += 50) {
    FindBox find = {thread, nullptr};
    EnumWindows(FindBoxOfThread, reinterpret_cast<LPARAM>(&find));
    if (find.box) return find.box;
    Sleep(50);
  }
  return nullptr;
}

// The text of the item selected in the folder browser's tree, empty when none is.
Text SelectedTreeItem(HWND browser) {
  HWND tree = FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
  if (!tree) return {};
  auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (!item) return {};
  char16_t buffer[MAX_PATH] = {};
  TVITEMW info = {};
  info.mask = TVIF_TEXT;
  info.hItem = item;
  info.pszText = reinterpret_cast<wchar_t*>(buffer);
  info.cchTextMax = MAX_PATH;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info));
  return Text(buffer);
}

// The browser applies its preselection during an initialisation that may answer sent
// messages half-way (the shell's enumeration pumps), so only the tree itself tells when
// the selection is in place.
Text AwaitSelection(HWND browser, const Text& item) {
  Text selected = SelectedTreeItem(browser);
  for (DWORD waited = 0; waited < 15000 && selected != item; waited += 50) {
    Sleep(50);
    selected = SelectedTreeItem(browser);
  }
  return selected;
}

DWORD WINAPI WatchBox(void* param) {
  auto* seen = static_cast<BoxSeen*>(param);
  HWND box = WaitForBox(seen->boxThread, 10000);
  if (!box) return 0;
  seen->found = true;
  seen->caption = WindowText(box);
  EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&seen->textLength));
  seen->hasOk = GetDlgItem(box, IDOK) != nullptr;
  seen->hasYes = GetDlgItem(box, IDYES) != nullptr;
  seen->hasNo = GetDlgItem(box, IDNO) != nullptr;
  seen->topmost = (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  seen->owner = GetWindow(box, GW_OWNER);
  // The box answers a sent message only from its own message loop, that is after its
  // initialisation (the folder browser's preselection included) has finished; on a busy
  // machine that can take longer than the hold below.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(box, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
  if (!seen->awaitSelected.empty()) seen->lastSelected = AwaitSelection(box, seen->awaitSelected);
  Sleep(seen->holdMs);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(seen->press, BN_CLICKED), 0);
  return 0;
}

HANDLE StartThread(LPTHREAD_START_ROUTINE routine, void* param) {
  return CreateThread(nullptr, 0, routine, param, 0, nullptr);
}

void Finish(HANDLE thread) {
  WaitForSingleObject(thread, 30000);
  CloseHandle(thread);
}

// One timed box on a thread of its own, measured.
struct TimedCall {
  int32_t kind = 6;
  uint32_t timeoutMs = 0;
  Text caption;
  int32_t result = -1;
  DWORD elapsedMs = 0;
};

DWORD WINAPI ShowTimed(void* param) {
  auto* call = static_cast<TimedCall*>(param);
  DWORD start = GetTickCount();
  call->result = TimedMessageBox(u"Вопрос без ответа", call->caption, 0, call->kind, call->timeoutMs);
  call->elapsedMs = GetTickCount() - start;
  return 0;
}

void TestBoxTimesOut() {
  TimedCall call;
  call.timeoutMs = 1500;
  ShowTimed(&call);
  Check(call.result == kIdTimeout, "kind 6 with 1500 ms returns 32000 by itself (got " + std::to_string(call.result) + ")");
  Check(call.elapsedMs >= 1400 && call.elapsedMs < 6500,
        "it closes after about 1500 ms (" + std::to_string(call.elapsedMs) + " ms)");
}

void TestTwoThreadsTimeOutOnTheirOwn() {
  TimedCall quick, slow;
  quick.timeoutMs = 1000;
  quick.caption = u"quick";
  slow.timeoutMs = 3500;
  slow.caption = u"slow";
  HANDLE a = StartThread(ShowTimed, &quick);
  HANDLE b = StartThread(ShowTimed, &slow);
  Finish(a);
  Finish(b);
  Check(quick.result == kIdTimeout && slow.result == kIdTimeout, "two threads' boxes both time out");
  Check(quick.elapsedMs >= 900 && quick.elapsedMs < 3000,
        "the 1000 ms box ends on its own time (" + std::to_string(quick.elapsedMs) + " ms)");
  Check(slow.elapsedMs >= 3400 && slow.elapsedMs < 6000,
        "the 3500 ms box is not ended by the other thread's timer (" + std::to_string(slow.elapsedMs) + " ms)");
}

// The inner box of the nesting check, shown from a timer that the outer box's loop runs.
TimedCall gInner;

void CALLBACK ShowInnerBox(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  ShowTimed(&gInner);
}

void TestNestedBoxes() {
  gInner = TimedCall();
  gInner.kind = 1;
  gInner.timeoutMs = 1000;
  TimedCall outer;
  outer.timeoutMs = 4000;
  SetTimer(nullptr, 0, 300, ShowInnerBox);
  ShowTimed(&outer);
  Check(gInner.result == kIdTimeout && gInner.elapsedMs >= 900 && gInner.elapsedMs < 3500,
        "a box shown over another times out on its own time (" + std::to_string(gInner.elapsedMs) + " ms)");
  Check(outer.result == kIdTimeout && outer.elapsedMs >= 3900 && outer.elapsedMs < 9000,
        "the box under it keeps its own time-out (" + std::to_string(outer.elapsedMs) + " ms)");
}

void TestAnsweredBox() {
  HWND mainWindow = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
  Check(mainWindow != nullptr, "a stand-in main window is made (is there a display?)");
  SetMainWindow(mainWindow);
  BoxSeen seen;
  seen.boxThread = GetCurrentThreadId();
  seen.press = IDNO;
  HANDLE watcher = StartThread(WatchBox, &seen);
  DWORD start = GetTickCount();
  int32_t result = TimedMessageBox(Text(3000, u'x'), u"", 0, 6, 10000);
  DWORD elapsed = GetTickCount() - start;
  Finish(watcher);
  SetMainWindow(nullptr);
  DestroyWindow(mainWindow);
  Check(seen.found, "the box appears");
  Check(result == kIdNo && elapsed < 9000, "an answered box returns the button (got " + std::to_string(result) + ")");
  Check(seen.caption == ProgramBaseName(), "an empty caption shows the program name (" + Utf8(seen.caption) + ")");
  Check(seen.textLength == 2047, "the text is cut to 2047 units (" + std::to_string(seen.textLength) + ")");
  Check(seen.hasYes && seen.hasNo && !seen.hasOk, "kind 6 has Yes and No only");
  Check(seen.topmost, "the box is topmost");
  Check(seen.owner == mainWindow, "owner 0 means the main window");
}

void TestBoxWithoutTimeOutWaits() {
  BoxSeen seen;
  seen.boxThread = GetCurrentThreadId();
  seen.press = IDOK;
  seen.holdMs = 2500;
  HANDLE watcher = StartThread(WatchBox, &seen);
  DWORD start = GetTickCount();
  int32_t result = TimedMessageBox(u"Ждёт ответа", Text(100, u'c'), 0, 4, 0);
  DWORD elapsed = GetTickCount() - start;
  Finish(watcher);
  Check(result == kIdOk && elapsed >= 2400, "a box without time-out waits for its answer (" + std::to_string(elapsed) + " ms)");
  Check(seen.caption.size() == 63, "the caption is cut to 63 units (" + std::to_string(seen.caption.size()) + ")");
  Check(seen.hasOk && !seen.hasYes, "kind 4 has OK only");
}

// ---- file-system port ----------------------------------------------------------

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> ReadAll(const Text& path) {
  std::vector<uint8_t> bytes;
  return FsReadWholeFile(path, &bytes) == ReadResult::Ok ? bytes : std::vector<uint8_t>{};
}

bool Write(const Text& path, const std::string& text) {
  return FsWriteFileReplacing(path, text.data(), text.size());
}

Text MakeScratchFolder() {
  char16_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, reinterpret_cast<wchar_t*>(temp));
  // Wine reuses process ids from one run to the next; the tick count tells runs apart.
  Text folder = WithTrailingBackslash(Text(temp)) + u"tessaly-test-" + NumberText(GetCurrentProcessId()) + u"-" +
                NumberText(GetTickCount());
  return !FsIsDirectory(folder) && FsCreateDirectory(folder) ? folder : Text();
}

void RemoveTree(const Text& folder) {
  FsListFolder(folder, [&](const FolderEntry& e) {
    Text path = folder + u"\\" + e.name;
    if (e.isDirectory) {
      RemoveTree(path);
    } else {
      FsDeleteFile(path);
    }
  });
  RemoveDirectoryW(Wide(Win32FilePath(folder)));
}

std::vector<FolderEntry> Listing(const Text& folder) {
  std::vector<FolderEntry> entries;
  FsListFolder(folder, [&](const FolderEntry& e) { entries.push_back(e); });
  return entries;
}

const FolderEntry* Named(const std::vector<FolderEntry>& entries, TextView name) {
  for (const FolderEntry& e : entries)
    if (e.name == name) return &e;
  return nullptr;
}

void TestPathRules() {
  Check(kPathSeparator == u'\\' && IsPathSeparator(u'\\') && IsPathSeparator(u':') && !IsPathSeparator(u'/'),
        "paths split at '\\' and ':'");
  Text at255 = u"C:\\" + Text(252, u'a');
  Text at256 = at255 + u"b";
  Check(Win32FilePath(at255) == at255, "a path of 255 units is used as it is");
  Check(Win32FilePath(at256) == u"\\\\?\\" + at256, "a path of 256 units gets the \\\\?\\ prefix");
  Text unc = u"\\\\server\\share\\" + Text(250, u'u');
  Check(Win32FilePath(unc) == u"\\\\?\\UNC\\" + unc.substr(2), "a long network path gets the UNC form");
  Text program = FsProgramPath();
  Check(program.size() > 4 && ProgramBaseName() == u"tessaly_win32_tests",
        "the program path names this program (" + Utf8(program) + ")");
  SYSTEMTIME now;
  GetLocalTime(&now);
  Check(FsLocalTime().year == now.wYear && FsLocalTime().month == now.wMonth, "local time comes from the system clock");
}

void TestWriteReplaceRead(const Text& folder) {
  Text file = folder + u"\\data.bin";
  Check(Write(file, "first content") && ReadAll(file) == Bytes("first content"), "a new file is written and read back");
  Check(Write(file, "2nd") && ReadAll(file) == Bytes("2nd"), "writing again replaces the whole content");
  Check(FsFileExists(file) && !FsIsDirectory(file), "the file exists and is no folder");
  std::vector<FolderEntry> entries = Listing(folder);
  Check(entries.size() == 1 && entries[0].name == u"data.bin", "no temporary file is left beside it");
  std::vector<uint8_t> head;
  uint64_t size = 0;
  Check(FsReadFileHead(file, 2, &head, &size) == ReadResult::Ok && head == Bytes("2n") && size == 3,
        "the head of a file is read with the full size");
  Check(FsAppendToFile(file, "+x", 2) && FsAppendToFile(file, "+y", 2) && ReadAll(file) == Bytes("2nd+x+y"),
        "appending adds at the end");
  Check(FsSameFile(file, folder + u"\\DATA.BIN") && FsSameFile(file, folder + u"\\.\\sub\\..\\data.bin"),
        "one file is recognised under another letter case and path");
  Write(folder + u"\\data2.bin", "2nd+x+y");
  Check(!FsSameFile(file, folder + u"\\data2.bin") && !FsSameFile(file, folder + u"\\none.bin"),
        "a twin with the same content or a missing file is another file");
  FsDeleteFile(folder + u"\\data2.bin");
  Check(FsDeleteFile(file) && !FsFileExists(file) && !FsDeleteFile(file), "a file is deleted once");
  std::vector<uint8_t> none;
  Check(FsReadWholeFile(file, &none) == ReadResult::CannotOpen, "a missing file cannot be opened");
  Check(!Write(folder + u"\\missing\\x.bin", "x"), "writing into a missing folder fails");
}

void TestListingFlags(const Text& folder) {
  Text listed = folder + u"\\listed";
  Check(FsCreateDirectory(listed + u"\\") && FsIsDirectory(listed), "a folder is created (trailing separator allowed)");
  Check(FsCreateDirectory(listed), "creating an existing folder succeeds");
  Write(listed + u"\\visible.jpg", "v");
  Write(listed + u"\\hidden.jpg", "h");
  Write(listed + u"\\system.jpg", "s");
  FsCreateDirectory(listed + u"\\sub");
  SetFileAttributesW(Wide(listed + u"\\hidden.jpg"), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW(Wide(listed + u"\\system.jpg"), FILE_ATTRIBUTE_SYSTEM);
  std::vector<FolderEntry> entries = Listing(listed);
  Check(entries.size() == 4, "the listing holds four entries, no '.' or '..' (" + std::to_string(entries.size()) + ")");
  const FolderEntry* visible = Named(entries, u"visible.jpg");
  const FolderEntry* hidden = Named(entries, u"hidden.jpg");
  const FolderEntry* system = Named(entries, u"system.jpg");
  const FolderEntry* sub = Named(entries, u"sub");
  Check(visible && !visible->isHidden && !visible->isSystem && !visible->isDirectory, "a plain file has no flag");
  Check(hidden && hidden->isHidden && !hidden->isDirectory, "a hidden file is flagged hidden");
  Check(system && system->isSystem && !system->isHidden, "a system file is flagged system");
  Check(sub && sub->isDirectory && !sub->isHidden, "a subfolder is flagged as folder");
  std::vector<Text> shown;
  for (const FolderEntry& e : entries)
    if (!e.isHidden && !e.isSystem && !e.isDirectory) shown.push_back(e.name);
  Check(shown.size() == 1 && shown[0] == u"visible.jpg", "skipping hidden, system and folders leaves visible.jpg");
  Check(!FsListFolder(folder + u"\\nothing-here", [](const FolderEntry&) {}), "a missing folder cannot be listed");
}

// Names beyond ASCII, a surrogate pair among them, go through every file call intact.
void TestUnicodeNames(const Text& folder) {
  Text sub = folder + u"\\Готово 😀";
  Text file = sub + u"\\фото ёж 😀.jpg";
  Check(FsCreateDirectory(sub) && FsIsDirectory(sub), "a folder with a Cyrillic and emoji name is created");
  Check(Write(file, "unicode") && ReadAll(file) == Bytes("unicode") && FsFileExists(file),
        "a file with such a name is written, found and read back");
  std::vector<FolderEntry> entries = Listing(sub);
  Check(entries.size() == 1 && entries[0].name == u"фото ёж 😀.jpg", "the listing gives the name back unchanged");
  Check(FsSameFile(file, sub + u"\\ФОТО ЁЖ 😀.JPG"), "the Cyrillic upper-case spelling is the same file");
  Check(FsDeleteFile(file), "the file is deleted");
}

void TestLongPaths(const Text& folder) {
  Text deep = folder;
  for (int level = 0; level < 3; ++level) {
    deep += u"\\" + Text(90, static_cast<char16_t>(u'k' + level));
    FsCreateDirectory(deep);
  }
  Check(deep.size() > 255 && FsIsDirectory(deep), "a folder deeper than 255 units is created (" +
        std::to_string(deep.size()) + ")");
  Text file = deep + u"\\long.bin";
  Check(Write(file, "far away") && ReadAll(file) == Bytes("far away"), "a file beyond 255 units is written and read");
  std::vector<FolderEntry> entries = Listing(deep);
  Check(entries.size() == 1 && entries[0].name == u"long.bin", "a folder beyond 255 units is listed");
  Check(FsDeleteFile(file) && !FsFileExists(file), "a file beyond 255 units is deleted");
}

// ---- shell, pump and exported routines ----------------------------------------

// The folder browser shown by this thread, answered by a watcher with OK or Cancel.
Text BrowseAndPress(const Text& start, int press, BoxSeen* seen) {
  seen->boxThread = GetCurrentThreadId();
  seen->press = press;
  seen->holdMs = 500;
  seen->awaitSelected = u"start";
  HANDLE watcher = StartThread(WatchBox, seen);
  Text chosen = BrowseForFolder(nullptr, start, u"Выберите папку", 0);
  Finish(watcher);
  return chosen;
}

void TestBrowseForFolder(const Text& folder) {
  Text start = folder + u"\\start";
  FsCreateDirectory(start);
  BoxSeen accepted;
  Text chosen = BrowseAndPress(start, IDOK, &accepted);
  Check(accepted.found && chosen == start, "the folder browser opens at the start folder (" + Utf8(chosen) +
                                              ", the tree showed \"" + Utf8(accepted.lastSelected) + "\")");
  BoxSeen cancelled;
  chosen = BrowseAndPress(start, IDCANCEL, &cancelled);
  Check(cancelled.found && chosen.empty(), "a cancelled browser gives an empty path");
}

// The list box is the file list; the duplicate test's index beside it must follow every
// change, including one made to the list box behind the port's back.
void TestFileListIndex() {
  HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  gFileListBox.store(list);
  FileListClear();
  for (const char16_t* text : {u"C:\\a\\one.jpg", u"C:\\a\\Two.jpg", u"C:\\a\\three.jpg"}) FileListAppend(text);
  Check(FileListFind(u"c:\\A\\TWO.JPG") == 1 && FileListFind(u"C:\\a\\four.jpg") == -1,
        "the list finds an entry in other capitals and not a missing one");
  FileListDelete(0);
  Check(FileListFind(u"C:\\a\\three.jpg") == 1 && FileListFind(u"C:\\a\\one.jpg") == -1,
        "after a deletion the later entries are found at their new places");
  SendMessageW(list, LB_DELETESTRING, 0, 0);
  Check(FileListFind(u"C:\\a\\three.jpg") == 0, "a deletion behind the port is noticed");
  FileListAppend(u"C:\\a\\five.jpg");
  Check(FileListFind(u"C:\\a\\FIVE.jpg") == 1, "an entry appended after that is found");
  FileListClear();
  Check(FileListFind(u"C:\\a\\three.jpg") == -1 && FileListCount() == 0, "clearing empties the list and its index");
  gFileListBox.store(nullptr);
  DestroyWindow(list);
}

// The mirror of a tree below a root in Windows' own spellings: a dropped drive root (joined
// as "C:\\"), a share, and a path as long as an entry may be; the output path of mode 0.
void TestTreeRules() {
  struct Row {
    Text path;
    size_t rootUnits;
    Text folders;
  } rows[] = {
      {u"D:\\Photos\\2024\\Trip\\IMG_0001.jpg", 10, u"2024\\Trip\\"},
      {u"C:\\\\2024\\a.jpg", 4, u"2024\\"},  // "C:\" dropped
      {u"C:\\a.jpg", 3, u""},
      {u"\\\\server\\share\\x\\y\\a.jpg", 15, u"x\\y\\"},
      {u"\\\\server\\share\\a.jpg", 15, u""},
      {u"C:\\t\\" + Text(240, u'x') + u"\\" + Text(10, u'y') + u"\\a.jpg", 5,
       Text(240, u'x') + u"\\" + Text(10, u'y') + u"\\"},
  };
  bool all = true;
  for (const Row& row : rows) all = all && FoldersBelowRoot(row.path, row.rootUnits) == row.folders;
  Check(all, "the folders below a root, drive roots and shares included");
  AppSettings s{};
  s.OutputMode = 0;
  SetField(s.TargetFormat, u"JPG");
  OutputPlan plan = PlanOutput(s, u"\\\\nas\\photos\\2024\\Trip\\IMG.png", u"E:\\Out\\", 13);
  Check(plan.error == 0 && plan.outputPath == u"E:\\Out\\2024\\Trip\\IMG.jpg",
        "a file of a share goes below the output folder (" + Utf8(plan.outputPath) + ")");
  plan = PlanOutput(s, u"C:\\p\\" + Text(245, u'x') + u"\\a.png", u"E:\\Results\\Long\\", 5);
  Check(plan.error == kErrorOutputTooLong, "an output path past 260 units is refused");
}

// Identities see through spellings, times go on a file and come back, and every missing
// level of a folder path is made.
void TestIdsTimesAndFolders(const Text& folder) {
  Text deep = folder + u"\\made\\a\\b";
  Check(FsCreateDirectories(deep + u"\\") && FsIsDirectory(deep), "every missing level is made");
  Check(FsCreateDirectories(deep), "making an existing folder succeeds");
  FileId one, two;
  Check(FsFileId(deep, &one) && FsFileId(folder + u"\\MADE\\a\\.\\b", &two) && one == two,
        "one folder has one identity in any spelling");
  Check(FsFileId(folder + u"\\made\\a", &two) && !(one == two), "two folders have two identities");
  Text file = deep + u"\\t.bin";
  Check(Write(file, "times"), "a file to date is written");
  constexpr int64_t kModified = 132000000000000000;  // 2019-04-17
  constexpr int64_t kCreated = 131000000000000000;
  FileFacts facts;
  Check(FsSetFileTimes(file, kModified, kCreated) && FsFileFacts(file, &facts) && facts.modified == kModified &&
            facts.size == 5,
        "a file takes a modification time (" + std::to_string(facts.modified) + ")");
  // Wine keeps its files on a Unix file system, where no creation time can be set.
  bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  if (!wine) Check(facts.created == kCreated, "a file takes a creation time");
  PendingFile pending;
  pending.modified = kModified + 10000000;
  Text reason;
  Check(FsBeginReplace(file, &pending, &reason) && FsCommitReplace(&pending, "new", 3, &reason) &&
            FsFileFacts(file, &facts) && facts.modified == kModified + 10000000,
        "a replaced file comes with the time it was given");
  Check(!FsFileFacts(deep, &facts), "a folder has no file facts");
  FsDeleteFile(file);
  for (const Text& level : {deep, folder + u"\\made\\a", folder + u"\\made"}) RemoveDirectoryW(Wide(level));
}

// Each entry's root rides in its item data beside the stamp and the failure mark.
void TestFileListRoots() {
  HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  gFileListBox.store(list);
  FileListClear();
  FileListAppend(u"C:\\one.jpg");
  FileListAppend(u"D:\\Photos\\2024\\a.jpg", 10);
  FileListSetStamp(1, 0xFFFFFFFF);
  FileListDelete(0);
  auto data = static_cast<uint64_t>(SendMessageW(list, LB_GETITEMDATA, 0, 0));
  Check(FileListRootUnits(0) == 10 && FileListStamp(0) == 0xFFFFFFFFu && (data >> kEntryRootShift) == 10,
        "the root and the stamp stay with their entry");
  FileListSetStamp(0, 5);
  Check(FileListRootUnits(0) == 10 && FileListStamp(0) == 5, "a new stamp keeps the root");
  FileListClear();
  gFileListBox.store(nullptr);
  DestroyWindow(list);
}

int gPumped = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) ++gPumped;
  return DefWindowProcW(window, message, wParam, lParam);
}

void TestPumpMessages() {
  WNDCLASSW type = {};
  type.lpfnWndProc = CountingProc;
  type.hInstance = GetModuleHandleW(nullptr);
  type.lpszClassName = L"TessalyPumpCheck";
  RegisterClassW(&type);
  HWND window = CreateWindowExW(0, L"TessalyPumpCheck", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  for (int i = 0; i < 3; ++i) PostMessageW(window, WM_APP, 0, 0);
  PumpMessages(nullptr);
  MSG left;
  bool empty = !PeekMessageW(&left, nullptr, 0, 0, PM_NOREMOVE);
  Check(window && gPumped == 3 && empty, "the pump dispatches every waiting message and returns (" +
        std::to_string(gPumped) + ")");
  DestroyWindow(window);
}


void TestSpecialFolder() {
  Text pictures = GetSpecialFolder(kCsidlMyPictures);
  Check(!pictures.empty() && pictures.back() != u'\\' && IsDirectory(pictures) == 16,
        "the Pictures folder is found (" + Utf8(pictures) + ")");
  Check(GetSpecialFolder(-5).empty(), "an unknown folder id gives an empty path");
}

using ByteSizeRoutine = const WCHAR*(__stdcall*)(uint32_t);
using WriteRoutine = void(__stdcall*)(const WCHAR*, const uint8_t* const*);

void* Exported(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), name));
}

void TestExportTable() {
  ByteSizeRoutine byteSize = &FormatByteSize64;
  WriteRoutine write = &MWRITEFILE;
  void* exportedByteSize = Exported("FormatByteSize64");
  Check(exportedByteSize == reinterpret_cast<void*>(byteSize), "FormatByteSize64 is exported under its name");
  Check(Exported("MWRITEFILE") == reinterpret_cast<void*>(write), "MWRITEFILE is exported under its name");
  if (!exportedByteSize) return;
  // Called the way another program would: through the export table.
  auto routine = reinterpret_cast<ByteSizeRoutine>(exportedByteSize);
  auto text = [routine](uint32_t bytes) { return Text(reinterpret_cast<const char16_t*>(routine(bytes))); };
  Check(text(1300000) == u"1.24 M" && text(4294967295u) == u"4.00 G" && text(512) == u"512 B" &&
            text(1048576) == u"1024.00 K",
        "the exported byte-size text is the program's");
}

BSTR Counted(const std::string& bytes) {
  return SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
}

void WriteThroughExport(const Text& name, const std::string& data) {
  BSTR fileName = SysAllocStringLen(Wide(name), static_cast<UINT>(name.size()));
  BSTR bytes = Counted(data);
  MWRITEFILE(fileName, reinterpret_cast<const uint8_t* const*>(&bytes));
  SysFreeString(bytes);
  SysFreeString(fileName);
}

void TestMWriteFile(const Text& folder) {
  Text file = folder + u"\\written.dat";
  WriteThroughExport(file, std::string("abc\0def", 7));
  Check(ReadAll(file) == Bytes(std::string("abc\0def", 7)), "MWRITEFILE writes every byte, zeros included");
  WriteThroughExport(file, "z");
  Check(ReadAll(file) == Bytes("z"), "MWRITEFILE replaces an existing file's whole content");
  WriteThroughExport(file, "");
  Check(FsFileExists(file) && ReadAll(file).empty(), "MWRITEFILE with empty data leaves an empty file");

  // A failure is trapped: logged with the file name, shown without it.
  SetErrorLogPlace(ErrorLogPlace{folder + u"\\LOGFILE", u"conv", FsLocalTime});
  Text bad = folder + u"\\no-such-folder\\x.dat";
  BoxSeen seen;
  seen.boxThread = GetCurrentThreadId();
  seen.press = IDOK;
  HANDLE watcher = StartThread(WatchBox, &seen);
  WriteThroughExport(bad, "data");
  Finish(watcher);
  std::vector<uint8_t> log = ReadAll(folder + u"\\LOGFILE\\LOGFILE_conv_#0.TXT");
  std::string line(log.begin(), log.end());
  Check(seen.found && seen.caption == u"Fun MWRITEFILE", "a failed write shows the fault box (" + Utf8(seen.caption) + ")");
  Check(line.rfind("1) ", 0) == 0 && line.find(", Fun MWRITEFILE, file: " + Utf8(bad) + "\r\n") != std::string::npos,
        "a failed write is logged with its file name: " + line);
}

}  // namespace

// ---- the image library under Wine ------------------------------------------------

// The reader's warning reaches the program through a callback from the host library;
// the worker that decodes is a Wine thread, as in a real run.
struct CutDecode {
  std::vector<uint8_t> bytes;
  int32_t error = 0;
  bool image = false;
};

DWORD WINAPI DecodeOnWorker(void* param) {
  auto* job = static_cast<CutDecode*>(param);
  Image image = LoadImageFromBuffer(job->bytes.data(), static_cast<uint32_t>(job->bytes.size()), &job->error);
  job->image = static_cast<bool>(image);
  return 0;
}

void TestCutJpegOnWorker() {
  InitImageLibrary();
  std::vector<uint8_t> whole;
  Check(EncodeImage(CreateSampleImage(SampleKind::Rgb24, 320, 240), kFormatJpeg, 0, &whole),
        "a sample JPEG is encoded");
  CutDecode cut, intact;
  cut.bytes.assign(whole.begin(), whole.begin() + whole.size() / 2);
  intact.bytes = whole;
  Finish(StartThread(DecodeOnWorker, &cut));
  Finish(StartThread(DecodeOnWorker, &intact));
  Check(!cut.image && cut.error == kErrorTruncated,
        "a JPEG cut in half is refused with 13 on a worker (" + std::to_string(cut.error) + ")");
  Check(intact.image && intact.error == 0, "the whole JPEG decodes on a worker");
}

// libwebp is the host's library, called from Winelib code on a Wine thread: what it
// writes must read back as the same picture.
struct WebpRoundTrip {
  int32_t flags = 0;
  bool encoded = false, sameSize = false, samePixels = true;
};

DWORD WINAPI WebpOnWorker(void* param) {
  auto* job = static_cast<WebpRoundTrip*>(param);
  Image sample = CreateSampleImage(SampleKind::Rgba32, 37, 23);
  std::vector<uint8_t> bytes;
  job->encoded = EncodeImage(sample, kFormatWebp, job->flags, &bytes);
  int32_t error = 0;
  Image back = LoadImageFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), &error);
  job->sameSize = ImageWidth(back) == 37 && ImageHeight(back) == 23 && ImageHasAlpha(back);
  for (uint32_t y = 0; y < 23; ++y)
    for (uint32_t x = 0; x < 37; ++x) {
      PaletteEntry a = PixelAt(sample, x, y), b = PixelAt(back, x, y);
      if (a.alpha != 0 && (a.red != b.red || a.green != b.green || a.blue != b.blue || a.alpha != b.alpha))
        job->samePixels = false;
    }
  return 0;
}

void TestWebpOnWorker() {
  WebpRoundTrip lossy, lossless;
  lossy.flags = 90;
  lossless.flags = 0x100;
  Finish(StartThread(WebpOnWorker, &lossy));
  Finish(StartThread(WebpOnWorker, &lossless));
  Check(lossy.encoded && lossy.sameSize, "a lossy WEBP with alpha is written through libwebp and reads back");
  Check(lossless.encoded && lossless.sameSize && lossless.samePixels,
        "a lossless WEBP through libwebp reads back pixel for pixel");
}

// ---- worker processes -----------------------------------------------------------

// A file of the repository's tests/data, through Wine's Z: drive.
std::vector<uint8_t> TestData(const char* name) {
  Text path = u"Z:" + TextFromUtf8(std::string(TESSALY_TEST_DATA) + "/" + name);
  for (char16_t& c : path)
    if (c == u'/') c = u'\\';
  std::vector<uint8_t> bytes;
  FsReadWholeFile(path, &bytes);
  return bytes;
}

struct WorkerRound {
  std::vector<Text> paths;
  std::vector<FileWork> results;
  int decodedCalls = 0;
  int32_t concurrent = 0;  // the most jobs under way at once
  std::atomic<int> lastDecoded{-1};  // the job whose picture was decoded last
  HANDLE afterKill = nullptr;         // set once the killed workers have ended
};

// One file through the pool, its news counted; the result.
FileWork ConvertThroughPool(JobPool* pool, const Text& path, WorkerRound* round, int job) {
  pool->Begin(static_cast<uint64_t>(job), path, gAppSettings);
  for (;;) {
    for (PoolNews& news : pool->Wait(UINT32_MAX)) {
      if (news.kind == JobNews::Done) return std::move(news.report.result);
      ++round->decodedCalls;
      round->lastDecoded = job;
    }
  }
}

// Like a run: the jobs go out from a Wine thread, one fresh worker each. The second job
// is given no time once its header is read.
DWORD WINAPI RunJobsOnWorker(void* param) {
  auto* round = static_cast<WorkerRound*>(param);
  JobPool pool(1, UINT64_MAX, FileWorkOptions());
  for (size_t i = 0; i < round->paths.size(); ++i) {
    if (i == 3 && round->afterKill) WaitForSingleObject(round->afterKill, 60000);
    SetWorkTimeLimits(i == 1 ? WorkTimeLimits{30000, 0, 0} : WorkTimeLimits());
    round->results.push_back(ConvertThroughPool(&pool, round->paths[i], round, static_cast<int>(i)));
  }
  SetWorkTimeLimits(WorkTimeLimits());
  return 0;
}

// Four files on two workers at once: the pool waits on both answer pipes together.
DWORD WINAPI RunJobsSideBySide(void* param) {
  auto* round = static_cast<WorkerRound*>(param);
  JobPool pool(2, UINT64_MAX, FileWorkOptions());
  round->results.resize(round->paths.size());
  size_t begun = 0, done = 0;
  while (done < round->paths.size()) {
    while (begun < round->paths.size() && pool.HasRoom()) {
      pool.Begin(begun, round->paths[begun], gAppSettings);
      ++begun;
    }
    round->concurrent = std::max(round->concurrent, pool.Busy());
    for (PoolNews& news : pool.Wait(UINT32_MAX)) {
      if (news.kind != JobNews::Done) continue;
      round->results[news.tag] = std::move(news.report.result);
      ++done;
    }
  }
  return 0;
}

// What a crash in the image library looks like from the run: the worker vanishes
// mid-job. (The crashing JPEG of tests/data crashes natively, but under Wine its
// over-read often stays inside mapped memory.) The spare waiting for the next job is
// killed too, and waited for: the next file must not be given to it.
int KillChildProcesses() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  int killed = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID != GetCurrentProcessId()) continue;
    HANDLE child = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (child && TerminateProcess(child, 0xC0000005)) {
      WaitForSingleObject(child, 10000);
      ++killed;
    }
    if (child) CloseHandle(child);
  }
  CloseHandle(snapshot);
  return killed;
}

void TestWorkersSideBySide(const Text& program, const Text& goodPath, const std::vector<uint8_t>& expected) {
  SetWorkerProgram(program);
  WorkerRound side;
  side.paths = {goodPath, goodPath, goodPath, goodPath};
  Finish(StartThread(RunJobsSideBySide, &side));
  SetWorkerProgram(u"");
  bool same = side.results.size() == 4;
  for (const FileWork& work : side.results) same = same && work.error == 0 && work.encoded == expected;
  Check(side.concurrent == 2 && same, "two workers convert side by side, each file to the same bytes (" +
                                          std::to_string(side.concurrent) + " at once)");
}

std::vector<DWORD> ChildProcessIds() {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (entry.th32ParentProcessID == GetCurrentProcessId()) ids.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  std::sort(ids.begin(), ids.end());
  return ids;
}

// Files through a pool of one, in turn; the worker processes there are after each.
struct TurnRound {
  std::vector<Text> paths;
  std::vector<FileWork> results;
  std::vector<std::vector<DWORD>> children;
  WorkerRound news;  // for the job decoded last
  HANDLE firstDone = nullptr;  // when set: raised after the first file, and the next waits
  HANDLE goOn = nullptr;       // for this
};

DWORD WINAPI RunJobsInTurn(void* param) {
  auto* round = static_cast<TurnRound*>(param);
  JobPool pool(1, UINT64_MAX, FileWorkOptions());
  for (size_t i = 0; i < round->paths.size(); ++i) {
    if (i == 1 && round->firstDone) {
      SetEvent(round->firstDone);
      WaitForSingleObject(round->goOn, 60000);
    }
    round->results.push_back(ConvertThroughPool(&pool, round->paths[i], &round->news, static_cast<int>(i)));
    round->children.push_back(ChildProcessIds());
  }
  return 0;
}

// Runs the files in turn; once the job numbered killAt is decoded, kills the workers.
void FilesInTurn(TurnRound* round, const std::vector<Text>& paths, int killAt = -1) {
  round->paths = paths;
  HANDLE thread = StartThread(RunJobsInTurn, round);
  if (killAt >= 0) {
    for (int waited = 0; waited < 120000 && round->news.lastDecoded != killAt; waited += 5) Sleep(5);
    KillChildProcesses();
  }
  Finish(thread);
}

// Where workers take files in turn (Tessaly.exe): the same worker serves the next file;
// one that dies at a later file hands it to a fresh worker; the JPEG whose EXIF reader
// reads past its buffer, after a photo of noise in the same worker, writes none of the
// photo's bytes (it once wrote an earlier picture's so).
void TestWorkersTakeFilesInTurn(const Text& folder, const Text& goodPath, const Text& slowPath) {
  if (WorkerProcessFilesEach() == 1) {
    std::printf("note: this build's workers take one file each; nothing taken in turn to check\n");
    return;
  }
  TurnRound twice;
  FilesInTurn(&twice, {goodPath, goodPath});
  bool ok = twice.results.size() == 2 && twice.results[0].error == 0 && twice.results[1].error == 0;
  Check(ok && twice.children[0].size() == 1 && twice.children[1] == twice.children[0],
        "one worker, with no spare beside it, converts two files in turn");

  TurnRound killed;
  FilesInTurn(&killed, {goodPath, slowPath}, 1);
  Check(killed.results.size() == 2 && killed.results[1].error == 0 && !killed.results[1].encoded.empty() &&
            killed.children[1] != killed.children[0],
        "a worker that dies at its second file hands it to a fresh worker, which converts it (" +
            std::to_string(killed.results.size() > 1 ? killed.results[1].error : -1) + ")");

  // Killed while it waits for its next file: the file goes to a fresh worker unharmed.
  TurnRound idle;
  idle.paths = {goodPath, goodPath};
  idle.firstDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  idle.goOn = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = StartThread(RunJobsInTurn, &idle);
  WaitForSingleObject(idle.firstDone, 60000);
  int killedIdle = KillChildProcesses();
  SetEvent(idle.goOn);
  Finish(thread);
  CloseHandle(idle.firstDone);
  CloseHandle(idle.goOn);
  Check(killedIdle == 1 && idle.results.size() == 2 && idle.results[1].error == 0 &&
            idle.results[1].encoded == idle.results[0].encoded,
        "a worker killed while it waits for its next file costs that file nothing");

  Image photo = CreateSampleImage(SampleKind::Rgb24, 320, 240);
  PixelRows rows = ImageRows(photo);
  uint32_t noise = 7;
  for (uint32_t y = 0; y < rows.height; ++y)
    for (uint32_t x = 0; x < rows.width * 3; ++x) rows.Row(y)[x] = static_cast<uint8_t>((noise = noise * 1103515245 + 12345) >> 16);
  std::vector<uint8_t> photoBytes, hostile = TestData("hostile/thirdparty_freeimage_exif_ifdcount_segv.jpg");
  EncodeImage(photo, kFormatPng, 0, &photoBytes);
  Text photoPath = folder + u"\\noise.png", hostilePath = folder + u"\\exif-over-read.jpg";
  FsWriteFileReplacing(photoPath, photoBytes.data(), photoBytes.size());
  FsWriteFileReplacing(hostilePath, hostile.data(), hostile.size());
  int32_t scale = gAppSettings.ResizeMode;
  gAppSettings.ResizeMode = 0;
  ByteWindows before;
  before.Add(photoBytes.data(), photoBytes.size());
  for (uint32_t y = 0; y < rows.height; ++y) before.Add(rows.Row(y), rows.width * 3);
  bool clean = true;
  int converted = 0;
  for (int i = 0; i < 3; ++i) {
    TurnRound pair;
    FilesInTurn(&pair, {photoPath, hostilePath});
    if (pair.results.size() != 2 || pair.results[0].error != 0) clean = false;
    if (pair.results.size() != 2 || pair.results[1].error != 0) continue;
    before.AddJpegScan(pair.results[0].encoded);
    ++converted;
    clean = clean && !before.FoundIn(pair.results[1].encoded);
  }
  gAppSettings.ResizeMode = scale;
  Check(clean, "the JPEG that reads past its EXIF, after a photo in the same worker, writes none of the photo's bytes (" +
                   std::to_string(converted) + " of 3 converted)");
}

// Last of all: it changes this process's own freeing for good.
void TestFreedMemoryIsWiped() {
  if (WorkerProcessFilesEach() == 1) return;
  int before = PatternLeftInReusedBlock(1000, false);
  bool wipes = WorkerWipeFreedMemory();
  int left = 0;
  for (size_t size : {24, 1000, 70000})
    for (bool grow : {false, true}) left = std::max(left, PatternLeftInReusedBlock(size, grow));
  Check(before > 0 && wipes && left == 0, "a worker wipes every block it frees (" + std::to_string(before) +
                                             " bytes of a freed block seen before, " + std::to_string(left) + " after)");
}

void TestWorkerProcesses(const Text& folder) {
  // The program beside these checks: the Winelib one, or Tessaly.exe when MinGW built them.
  Text program = ProgramFolder() + u"Tessaly.exe.so";
  if (!FsFileExists(program)) program = ProgramFolder() + u"Tessaly.exe";
  Check(FsFileExists(program), "the program to start as a worker is there (" + Utf8(program) + ")");
  SetWorkerProgram(program);
  ApplyDefaultSettings(&gAppSettings, folder);
  // Enlarged three times, the slow picture takes seconds after it is decoded: long
  // enough to be killed in the middle.
  gAppSettings.ResizeMode = 2;
  gAppSettings.ScalePercent = 300;
  std::vector<uint8_t> good, slow;
  EncodeImage(CreateSampleImage(SampleKind::Rgb24, 640, 480), kFormatPng, 0, &good);
  EncodeImage(CreateSampleImage(SampleKind::Rgb24, 3000, 2000), kFormatPng, 0, &slow);
  Text goodPath = folder + u"\\good.png", slowPath = folder + u"\\slow.png";
  FsWriteFileReplacing(goodPath, good.data(), good.size());
  FsWriteFileReplacing(slowPath, slow.data(), slow.size());
  WorkerRound round;
  round.paths = {goodPath, slowPath, slowPath, goodPath};
  round.afterKill = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = StartThread(RunJobsOnWorker, &round);
  int killed = 0;
  for (int waited = 0; waited < 120000 && round.lastDecoded != 2; waited += 5) Sleep(5);
  if (round.lastDecoded == 2) killed = KillChildProcesses();
  SetEvent(round.afterKill);
  Finish(thread);
  CloseHandle(round.afterKill);
  SetWorkerProgram(u"");
  auto error = [&round](size_t i) { return i < round.results.size() ? round.results[i].error : -1; };
  Check(error(0) == 0 && !round.results[0].encoded.empty() && round.decodedCalls >= 1,
        "a worker process converts a picture and reports it decoded");
  Check(error(1) == kErrorTimeLimit, "a worker past its time is ended: 17 (" + std::to_string(error(1)) + ")");
  // Where a worker takes files in turn there is no spare to kill beside it.
  Check(killed >= (WorkerFilesEach() > 1 ? 1 : 2) && error(2) == kErrorWorkerCrashed,
        "a worker that dies mid-job fails only its file: 16 (" + std::to_string(error(2)) + ", " +
            Utf8(round.results.size() > 2 ? round.results[2].detail : Text()) + ")");
  Check(error(3) == 0 && round.results[3].encoded == round.results[0].encoded,
        "the next file gets a fresh worker and the same bytes");
  TestWorkersSideBySide(program, goodPath, round.results[0].encoded);
  SetWorkerProgram(program);
  TestWorkersTakeFilesInTurn(folder, goodPath, slowPath);
  SetWorkerProgram(u"");
}

int main() {
  CoInitialize(nullptr);
  TestBoxTimesOut();
  TestTwoThreadsTimeOutOnTheirOwn();
  TestNestedBoxes();
  TestAnsweredBox();
  TestBoxWithoutTimeOutWaits();
  TestPathRules();
  Text folder = MakeScratchFolder();
  Check(!folder.empty(), "a scratch folder is made (" + Utf8(folder) + ")");
  if (!folder.empty()) {
    TestWriteReplaceRead(folder);
    TestListingFlags(folder);
    TestUnicodeNames(folder);
    TestLongPaths(folder);
    TestIdsTimesAndFolders(folder);
    TestMWriteFile(folder);
    TestBrowseForFolder(folder);
    TestWorkerProcesses(folder);
    RemoveTree(folder);
    Check(!FsIsDirectory(folder), "the scratch folder is removed again");
  }
  TestSpecialFolder();
  TestPumpMessages();
  TestFileListIndex();
  TestFileListRoots();
  TestTreeRules();
  TestExportTable();
  TestCutJpegOnWorker();
  TestWebpOnWorker();
  TestFreedMemoryIsWiped();
  CoUninitialize();
  std::printf("%d check(s) failed\n", gFailures);
  return gFailures;
}
