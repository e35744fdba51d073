#include "base/wide_win32.h"
#include "tests/e2e/e2e_win32.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>

E2eSetup gSetup;

namespace {

constexpr wchar_t kMainCaption[] = {'T', 'e', 's', 's', 'a', 'l', 'y', 'E', 'x', ' ', 0};
constexpr wchar_t kDialogClass[] = {'#', '3', '2', '7', '7', '0', 0};

Text FromWide(const wchar_t* text) {
  return Text(reinterpret_cast<const char16_t*>(text));
}

struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid && IsWindowVisible(window)) search->found.push_back(window);
  return TRUE;
}

struct DescendantSearch {
  int id;
  Text className;
  HWND found;
};

BOOL CALLBACK MatchDescendant(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<DescendantSearch*>(param);
  if (GetDlgCtrlID(window) != search->id) return TRUE;
  if (!search->className.empty() && !EqualsNoCase(ClassName(window), search->className)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

namespace {

// Details of the check under way, printed under its result line.
std::vector<std::string> gDetails;

}  // namespace

bool Fail(const std::string& what) {
  gDetails.push_back(what);
  return false;
}

void PrintDetails() {
  for (const std::string& line : gDetails) std::printf("      %s\n", line.c_str());
  gDetails.clear();
  std::fflush(stdout);
}

bool Fail(const std::string& what, TextView detail) {
  return Fail(what + ": " + Quote(detail));
}

void Note(const std::string& what) {
  gDetails.push_back(what);
}

std::string Quote(TextView text) {
  // Line breaks written out, so that one detail stays on one line.
  std::string quoted = "\"";
  for (char c : TextToUtf8(text)) {
    if (c == '\r') {
      quoted += "\\r";
    } else if (c == '\n') {
      quoted += "\\n";
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

Text DataPath(TextView relative) {
  return gSetup.work + Text(relative);
}

Text ConfigFile() {
  return gSetup.programFolder + u"Config.dat";
}

Text Quoted(TextView path) {
  Text quoted(1, u'"');
  return (quoted += path) += u'"';
}

void PumpFor(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

bool WaitUntil(DWORD timeoutMs, const std::function<bool()>& test) {
  DWORD start = GetTickCount();
  for (;;) {
    if (test()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    PumpFor(50);
  }
}

Program::~Program() {
  if (!info_.hProcess) return;
  if (Running()) {
    DWORD code;
    if (!CloseAndWait(8000, &code)) Kill();
  }
  CloseHandle(info_.hProcess);
  CloseHandle(info_.hThread);
}

bool Program::Start(TextView arguments) {
  return StartCopy(gSetup.program, arguments);
}

bool Program::StartCopy(TextView programPath, TextView arguments) {
  Text path(programPath);
  Text line = Quoted(path);
  if (!arguments.empty()) (line += u' ') += arguments;
  return Launch(path, line, path.substr(0, path.rfind(u'\\') + 1));
}

bool Program::StartCommandLine(TextView commandLine) {
  return Launch(Text(), Text(commandLine), gSetup.work);
}

bool Program::Launch(const Text& application, const Text& commandLine, const Text& folder) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::vector<wchar_t> writable(commandLine.size() + 1);
  for (size_t i = 0; i < commandLine.size(); ++i) writable[i] = static_cast<wchar_t>(commandLine[i]);
  writable[commandLine.size()] = 0;
  // Wine now and then refuses a start with an internal error (1359) on a busy machine;
  // a second try a moment later goes through.
  DWORD error = 0;
  for (int attempt = 1; attempt <= 3; ++attempt) {
    if (CreateProcessW(application.empty() ? nullptr : Wide(application), writable.data(), nullptr, nullptr, FALSE, 0,
                       nullptr, Wide(folder), &startup, &info_)) {
      if (attempt > 1) Note("the start went through at attempt " + std::to_string(attempt));
      return true;
    }
    error = GetLastError();
    Sleep(500);
  }
  return Fail("CreateProcessW failed with " + std::to_string(error));
}

bool Program::Running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Program::WaitExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!WaitUntil(timeoutMs, [this] { return !Running(); })) return false;
  GetExitCodeProcess(info_.hProcess, exitCode);
  return true;
}

HWND Program::WaitMainWindow(DWORD timeoutMs) {
  HWND main = nullptr;
  WaitUntil(timeoutMs, [&] {
    for (HWND window : ProcessWindows(pid())) {
      if (ClassName(window) == u"#32770" && WindowText(window) == FromWide(kMainCaption)) main = window;
    }
    return main != nullptr;
  });
  return main;
}

bool Program::CloseAndWait(DWORD timeoutMs, DWORD* exitCode) {
  WindowSearch search{pid(), {}};
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
  for (HWND window : search.found) {
    if (ClassName(window) == u"#32770" && WindowText(window) == FromWide(kMainCaption)) {
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    }
  }
  return WaitExit(timeoutMs, exitCode);
}

void Program::Kill() {
  if (!Running()) return;
  TerminateProcess(info_.hProcess, 99);
  WaitForSingleObject(info_.hProcess, 5000);
}

void KillStrays() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    // "Tessaly.exe", or "Tessaly.exe.so" for the Winelib program started by its path.
    Text name = ToLower(FromWide(entry.szExeFile));
    if (name.rfind(u"tessaly.exe", 0) != 0) continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (!process) continue;
    Note("ending a leftover program, process " + std::to_string(entry.th32ProcessID));
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
  }
  CloseHandle(snapshot);
}

std::vector<HWND> ProcessWindows(DWORD pid) {
  WindowSearch search{pid, {}};
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

Text ClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return FromWide(name);
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs, &result)) return 0;
  return static_cast<LRESULT>(result);
}

Text WindowText(HWND window) {
  if (!window) return Text();
  LRESULT length = Send(window, WM_GETTEXTLENGTH, 0, 0);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2, 0);
  Send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return FromWide(buffer.data());
}

HWND FindDescendant(HWND parent, int id, TextView className) {
  DescendantSearch search{id, Text(className), nullptr};
  EnumChildWindows(parent, MatchDescendant, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int ListCount(HWND list) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &result)) return -1;
  return static_cast<int>(static_cast<LRESULT>(result));
}

std::vector<Text> ListItems(HWND list) {
  std::vector<Text> items;
  int count = ListCount(list);
  for (int i = 0; i < count; ++i) {
    LRESULT length = Send(list, LB_GETTEXTLEN, i, 0);
    if (length < 0) length = 0;
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2, 0);
    Send(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer.data()));
    items.push_back(FromWide(buffer.data()));
  }
  return items;
}

bool FileExists(TextView path) {
  Text p(path);
  DWORD attributes = GetFileAttributesW(Wide(p));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t FileSize(TextView path) {
  Text p(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(p), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<uint8_t> ReadFileBytes(TextView path) {
  Text p(path);
  std::vector<uint8_t> bytes;
  HANDLE file = CreateFileW(Wide(p), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  DWORD size = GetFileSize(file, nullptr);
  bytes.resize(size);
  DWORD read = 0;
  if (size && !ReadFile(file, bytes.data(), size, &read, nullptr)) read = 0;
  bytes.resize(read);
  CloseHandle(file);
  return bytes;
}

bool WriteFileBytes(TextView path, const void* data, size_t size) {
  Text p(path);
  HANDLE file = CreateFileW(Wide(p), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
  CloseHandle(file);
  return ok;
}

void DeleteFileIfAny(TextView path) {
  Text p(path);
  DeleteFileW(Wide(p));
}

std::vector<Text> FolderFiles(TextView folder) {
  std::vector<Text> names;
  Text pattern = Text(folder) + u"*";
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(pattern), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(FromWide(data.cFileName));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

bool Screenshot(const std::string& name) {
  // The driver is a Winelib program, so the host's C library runs ImageMagick directly.
  std::string path = gSetup.shots + "/" + name + ".png";
  std::string command = "import -window root '" + path + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return Fail("screenshot failed: " + path);
  Note("screenshot " + path);
  return true;
}

bool RunLaterInstance(TextView arguments) {
  Program sender;
  if (!sender.Start(arguments)) return false;
  bool showedWindow = false;
  bool ended = WaitUntil(kExitWaitMs, [&] {
    if (!ProcessWindows(sender.pid()).empty()) showedWindow = true;
    return !sender.Running();
  });
  if (!ended) return Fail("the later instance did not end");
  DWORD code = 0;
  sender.WaitExit(0, &code);
  if (code != 0) return Fail("the later instance ended with " + std::to_string(code));
  if (showedWindow) return Fail("the later instance showed a window of its own");
  return true;
}
