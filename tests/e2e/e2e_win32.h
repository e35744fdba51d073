// What the end-to-end checks share: starting the program, finding its windows, reading
// and driving its controls from another process, files, screenshots, and the check
// bookkeeping. Everything waits with a bound, so a program that hangs fails a check
// instead of hanging the run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/text.h"

// Set once from the driver's arguments.
struct E2eSetup {
  Text program;        // Windows path of Tessaly.exe.so inside its own folder
  Text programFolder;  // with a trailing backslash
  Text work;           // Windows path of the test-data folder, with a trailing backslash
  std::string shots;   // host path of the screenshot folder
};
extern E2eSetup gSetup;

// The static that holds a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;

constexpr DWORD kWindowWaitMs = 30000;  // for a window to appear
constexpr DWORD kExitWaitMs = 15000;    // for a process to end

// A path inside the test-data folder ("in\\a.jpg"); Config.dat beside the program.
Text DataPath(TextView relative);
Text ConfigFile();
Text Quoted(TextView path);

// Check bookkeeping: a check reports what went wrong with Fail and returns false.
bool Fail(const std::string& what);
bool Fail(const std::string& what, TextView detail);
void Note(const std::string& what);
// Prints the details gathered since the last call, indented, and forgets them.
void PrintDetails();
std::string Quote(TextView text);

// Repeats the test every 50 ms until it holds or the time is up.
bool WaitUntil(DWORD timeoutMs, const std::function<bool()>& test);
// Sleeps while dispatching this thread's messages (the driver's own windows).
void PumpFor(DWORD ms);

// A started program. The destructor makes sure it is gone: it asks the main window to
// close and, failing that, terminates the process.
class Program {
 public:
  Program() = default;
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Starts the program with the arguments (the text after the program's own path).
  bool Start(TextView arguments);
  // Starts another copy of the program, by its path, with the arguments.
  bool StartCopy(TextView programPath, TextView arguments);
  // Starts a whole command line as Windows and the explorer do: no separate program
  // name, so the line's first token (quoted or not) names the program.
  bool StartCommandLine(TextView commandLine);
  DWORD pid() const { return info_.dwProcessId; }
  HANDLE process() const { return info_.hProcess; }
  bool Running() const;
  // Waits for the end (pumping the driver's messages); false on time-out.
  bool WaitExit(DWORD timeoutMs, DWORD* exitCode);
  // Its main dialog, visible, caption "TessalyEx "; 0 when none appeared in time.
  HWND WaitMainWindow(DWORD timeoutMs);
  // Closes the main dialog as Escape does (command id 2) and waits for the end.
  bool CloseAndWait(DWORD timeoutMs, DWORD* exitCode);
  void Kill();

 private:
  bool Launch(const Text& application, const Text& commandLine, const Text& folder);

  PROCESS_INFORMATION info_ = {};
};

// Starts a later instance, waits for it to end and checks that it ended with 0 and never
// showed a window of its own.
bool RunLaterInstance(TextView arguments);

// Ends every process of the program that a failed check left behind.
void KillStrays();

// Visible top-level windows of a process.
std::vector<HWND> ProcessWindows(DWORD pid);
Text ClassName(HWND window);
// Control text through WM_GETTEXT (marshalled across processes).
Text WindowText(HWND window);
// The first descendant with this id (and class, when given).
HWND FindDescendant(HWND parent, int id, TextView className = u"");
// List-box entries across processes.
int ListCount(HWND list);
std::vector<Text> ListItems(HWND list);
// Sends with a bound; 0 on time-out.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs = 5000);

// Files on the driver's side (Windows paths).
bool FileExists(TextView path);
int64_t FileSize(TextView path);
std::vector<uint8_t> ReadFileBytes(TextView path);
bool WriteFileBytes(TextView path, const void* data, size_t size);
void DeleteFileIfAny(TextView path);
std::vector<Text> FolderFiles(TextView folder);  // names of the plain files inside

// A picture of the whole screen into the screenshot folder, as <name>.png.
bool Screenshot(const std::string& name);
