#include "tests/e2e/main_window_e2e_win32.h"
#include "settings/defaults.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

bool ReadConfigAt(TextView path, AppSettings* settings, int64_t* size) {
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  *size = static_cast<int64_t>(bytes.size());
  if (bytes.size() < sizeof(AppSettings)) return Fail("Config.dat holds " + std::to_string(bytes.size()) + " bytes");
  std::memcpy(settings, bytes.data(), sizeof(AppSettings));
  return true;
}

bool ReadConfig(AppSettings* settings, int64_t* size) {
  return ReadConfigAt(ConfigFile(), settings, size);
}

AppSettings RunOnceSettings(TextView outputFolder) {
  AppSettings settings;
  std::memset(&settings, 0, sizeof settings);
  ApplyDefaultSettings(&settings, gSetup.work);
  settings.LaunchCount = 1;
  settings.OutputMode = 0;
  SetField(settings.OutputFolder, outputFolder);
  return settings;
}

bool WriteConfig(const AppSettings& settings) {
  return WriteFileBytes(ConfigFile(), &settings, sizeof settings) || Fail("cannot write Config.dat");
}

bool WriteConfigWithOutputFolder(TextView folder) {
  return WriteConfig(RunOnceSettings(folder));
}

void ForgetConfig() {
  DeleteFileIfAny(ConfigFile());
}

bool ExpectSavedConfig(int32_t launchCount, int32_t activeTab) {
  AppSettings settings;
  int64_t size = 0;
  if (!ReadConfig(&settings, &size)) return false;
  Note("Config.dat: " + std::to_string(size) + " bytes, ProfileCount " + std::to_string(settings.ProfileCount) +
       ", LaunchCount " + std::to_string(settings.LaunchCount) + ", ActiveTab " + std::to_string(settings.ActiveTab));
  if (size != 3394 + 1588 * static_cast<int64_t>(settings.ProfileCount)) return Fail("wrong Config.dat size");
  if (settings.LaunchCount != launchCount) return Fail("LaunchCount is not " + std::to_string(launchCount));
  if (settings.ActiveTab != activeTab) return Fail("ActiveTab is not the chosen tab " + std::to_string(activeTab));
  return true;
}

bool ExpectStatus(const MainWindow& main, TextView expected) {
  if (WaitUntil(5000, [&] { return WindowText(main.status) == expected; })) return true;
  return Fail("status line", WindowText(main.status));
}

bool ExpectListHolds(const MainWindow& main, std::vector<Text> expected) {
  std::vector<Text> items = ListItems(main.list);
  std::vector<Text> sortedItems = items;
  std::sort(sortedItems.begin(), sortedItems.end());
  std::sort(expected.begin(), expected.end());
  if (sortedItems == expected) return true;
  for (const Text& item : items) Fail("  listed", item);
  for (const Text& item : expected) Fail("  expected", item);
  return Fail("the list is not the expected set of files");
}

bool FindMainWindow(Program* program, MainWindow* main) {
  main->dialog = program->WaitMainWindow(kWindowWaitMs);
  if (!main->dialog) return Fail("the main window did not appear");
  main->tabs = FindDescendant(main->dialog, kIdTabs);
  main->status = FindDescendant(main->dialog, kIdStatus);
  main->start = FindDescendant(main->dialog, kIdStart);
  main->stop = FindDescendant(main->dialog, kIdStop);
  main->list = FindDescendant(main->dialog, kIdFileList, u"ListBox");
  main->pageCount = FindDescendant(main->dialog, kIdPageCount);
  if (!main->tabs) return Fail("no tab control 2001");
  if (!main->status) return Fail("no status line 1010");
  if (!main->start || !main->stop) return Fail("no Start/Stop buttons");
  if (!main->list) return Fail("no file list 4020");
  return true;
}

bool StartMain(Program* program, MainWindow* main, TextView arguments) {
  return program->Start(arguments) && FindMainWindow(program, main);
}

void SelectTab(const MainWindow& main, int index) {
  // TCM_SETCURFOCUS changes the page the way a click does, with the notifications.
  Send(main.tabs, TCM_SETCURFOCUS, index, 0);
  PumpFor(400);
}

bool WaitListCount(const MainWindow& main, int count) {
  if (WaitUntil(10000, [&] { return ListCount(main.list) == count; })) return true;
  return Fail("the list holds " + std::to_string(ListCount(main.list)) + " entries, expected " + std::to_string(count));
}

bool IsRunSummary(TextView status) {
  for (TextView head : {u"Готово: ", u"Остановлено: ", u"Прервано: ", u"Не выполнено: "})
    if (status.substr(0, head.size()) == head) return true;
  return false;
}

bool WaitRunEnd(const MainWindow& main, DWORD timeoutMs, std::vector<Text>* seen) {
  return WaitUntil(timeoutMs, [&] {
    Text status = WindowText(main.status);
    if (seen->empty() || seen->back() != status) seen->push_back(status);
    return IsRunSummary(status) && IsWindowEnabled(main.start) && !IsWindowEnabled(main.stop);
  });
}

bool ExpectSummary(const MainWindow& main, TextView start) {
  Text status = WindowText(main.status);
  Note("summary " + Quote(status));
  if (status.substr(0, start.size()) == start) return true;
  return Fail("the status line does not start with " + Quote(start), status);
}

void PressButton(const MainWindow& main, int id, HWND button) {
  PostMessageW(main.dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// A drop as the shell delivers it: a DROPFILES block with the names, double-zero ended.
// The block is written into the program's own memory, where DragQueryFileW reads it.
bool DropPaths(const Program& program, const MainWindow& main, const std::vector<Text>& paths) {
  std::vector<uint8_t> block(sizeof(DROPFILES), 0);
  auto* head = reinterpret_cast<DROPFILES*>(block.data());
  head->pFiles = sizeof(DROPFILES);
  head->fWide = TRUE;
  for (const Text& path : paths) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(path.c_str());
    block.insert(block.end(), bytes, bytes + (path.size() + 1) * sizeof(char16_t));
  }
  block.insert(block.end(), {0, 0});
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, program.pid());
  if (!process) return Fail("the program's memory cannot be written for a drop");
  void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  SIZE_T written = 0;
  bool ok = remote && WriteProcessMemory(process, remote, block.data(), block.size(), &written) &&
            written == block.size();
  CloseHandle(process);
  if (!ok) return Fail("the drop's names could not be written into the program");
  PostMessageW(main.dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
  return true;
}

HWND MainDialogOf(DWORD pid) {
  for (HWND window = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); window;
       window = FindWindowExW(nullptr, window, L"#32770", nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid && WindowText(window) == u"TessalyEx ") return window;
  }
  return nullptr;
}

HWND WaitOtherDialog(const Program& program, HWND main) {
  HWND other = nullptr;
  WaitUntil(kWindowWaitMs, [&] {
    for (HWND window : ProcessWindows(program.pid()))
      if (window != main && ClassName(window) == u"#32770") other = window;
    return other != nullptr || !program.Running();
  });
  return other;
}

bool StaysInTheTrayUntilALaterStart(const Program& program) {
  HWND dialog = nullptr;
  if (!WaitUntil(kWindowWaitMs, [&] { return (dialog = MainDialogOf(program.pid())) != nullptr; }))
    return Fail("the main window was never created");
  PumpFor(1500);
  if (IsWindowVisible(dialog)) return Fail("the window showed although the start was meant for the tray");
  if (!RunLaterInstance(u"")) return false;
  if (!WaitUntil(5000, [&] { return IsWindowVisible(dialog) != FALSE; }))
    return Fail("a later start did not bring the window up");
  return true;
}

HWND WaitPopupMenu(const Program& program) {
  HWND menu = nullptr;
  WaitUntil(5000, [&] {
    for (HWND window : ProcessWindows(program.pid()))
      if (ClassName(window) == u"#32768") menu = window;
    return menu != nullptr;
  });
  return menu;
}

void DoubleClickProfile(HWND list, int index) {
  LPARAM at = MAKELPARAM(60, index * 26 + 13);
  PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(list, WM_LBUTTONUP, 0, at);
  PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageW(list, WM_LBUTTONUP, 0, at);
}
