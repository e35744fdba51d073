// The program's main window and settings file as the end-to-end checks reach them.
#pragma once

#include <windows.h>

#include <vector>

#include "settings/app_settings.h"
#include "tests/e2e/e2e_win32.h"

// The ids are written out here rather than taken from the program's headers, so that a
// changed header cannot hide a changed id.
constexpr int kIdElapsed = 1009;
constexpr int kIdStatus = 1010;
constexpr int kIdTabs = 2001;
constexpr int kIdStart = 2101;
constexpr int kIdStop = 2102;
constexpr int kIdFileList = 4020;
constexpr int kIdPageCount = 4011;

// Config.dat as the program left it, beside the program or at a path of its own (a copy
// of the program keeps its own).
bool ReadConfig(AppSettings* settings, int64_t* size);
bool ReadConfigAt(TextView path, AppSettings* settings, int64_t* size);
// A Config.dat of a program that has run once (defaults, LaunchCount 1), with the
// results going to one folder.
AppSettings RunOnceSettings(TextView outputFolder);
bool WriteConfig(const AppSettings& settings);
bool WriteConfigWithOutputFolder(TextView folder);
void ForgetConfig();
// Config.dat as a close writes it: the record plus whole profiles, with this launch
// count and tab.
bool ExpectSavedConfig(int32_t launchCount, int32_t activeTab);

// The pieces of the main window the checks look at.
struct MainWindow {
  HWND dialog = nullptr;
  HWND tabs = nullptr;
  HWND status = nullptr;
  HWND start = nullptr;
  HWND stop = nullptr;
  HWND list = nullptr;
  HWND pageCount = nullptr;
};

bool FindMainWindow(Program* program, MainWindow* main);
bool StartMain(Program* program, MainWindow* main, TextView arguments);
// Selects a tab by its 0-based index, as a click does.
void SelectTab(const MainWindow& main, int index);
bool WaitListCount(const MainWindow& main, int count);
bool ExpectStatus(const MainWindow& main, TextView expected);
bool ExpectListHolds(const MainWindow& main, std::vector<Text> expected);
// The line a run leaves in the status line when it has ended.
bool IsRunSummary(TextView status);
// Status texts seen while a run goes on, until the status line shows the run's summary,
// Start is enabled and Stop disabled again.
bool WaitRunEnd(const MainWindow& main, DWORD timeoutMs, std::vector<Text>* seen);
// The status line starts with the expected summary.
bool ExpectSummary(const MainWindow& main, TextView start);
// Posted: Start returns only when the run has ended.
void PressButton(const MainWindow& main, int id, HWND button);
// A drop of these paths on the main window, as the shell delivers one.
bool DropPaths(const Program& program, const MainWindow& main, const std::vector<Text>& paths);
// The program's main dialog whether shown or not.
HWND MainDialogOf(DWORD pid);
// A start meant for the tray: the main dialog is made but stays hidden, until a later
// start (one without arguments) brings it up.
bool StaysInTheTrayUntilALaterStart(const Program& program);
// A dialog of the program other than its main one (a message box, the folder chooser),
// once it is shown; 0 when none came in time or the program ended.
HWND WaitOtherDialog(const Program& program, HWND main);
// A double click on an item of the parameters page's profile list (items 26 pixels high),
// which activates that profile. Posted: the list acts after the call returns.
void DoubleClickProfile(HWND list, int index);
// The program's open pop-up menu; 0 when none opened in time.
HWND WaitPopupMenu(const Program& program);
