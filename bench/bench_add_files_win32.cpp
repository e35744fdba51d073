// How long adding one folder of many files to the window's list takes, through the
// list-box form of the file list: the folder listing, the extension filter and one
// duplicate test per file, with the list on screen as the window shows it (drawing the
// list after every addition was where the window's time went). Beside it, the same
// additions with the list box's own LB_FINDSTRINGEXACT as the duplicate test.
// The whole road through the window (a second start handing a folder over) is timed by
// the end-to-end driver, which prints its figure as "benchmark: ...".
// With a number of folders as well, the files are spread over a tree of that many folders
// (two levels, as years and months), added with subfolders on: the figure a user with a
// photo archive meets when dropping its top folder.
// Run under Wine with a display: bench_add_files_win32.exe.so [count [folders]] (10 000 files
// in one folder by default; 100000 5000 for the archive).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/filesys.h"
#include "base/wide_win32.h"
#include "input/collect.h"
#include "input/file_list.h"
#include "input/file_list_win32.h"
#include "settings/app_settings.h"

namespace {

double SecondsSince(LARGE_INTEGER start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

// Names of equal length that differ only near the end, as camera folders do.
std::vector<Text> MakeFiles(const Text& folder, int count) {
  std::vector<Text> paths;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "\\IMG_%06d.JPG", i);
    Text path = folder + TextFromUtf8(name);
    HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    CloseHandle(file);
    paths.push_back(path);
  }
  return paths;
}

bool MakeEmptyFile(const Text& path) {
  HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// count files over folders leaf folders, top\Y0000\M0000\IMG_000000.JPG; the leaves are
// grouped a hundred to a parent. Returns every file, or nothing when one could not be made.
std::vector<Text> MakeTree(const Text& top, int count, int folders, std::vector<Text>* madeFolders) {
  std::vector<Text> paths;
  int perFolder = (count + folders - 1) / folders;
  for (int f = 0; f < folders && static_cast<int>(paths.size()) < count; ++f) {
    char parent[16], leaf[16];
    std::snprintf(parent, sizeof parent, "\\Y%04d", f / 100);
    std::snprintf(leaf, sizeof leaf, "\\M%04d", f % 100);
    Text upper = top + TextFromUtf8(parent);
    Text folder = upper + TextFromUtf8(leaf);
    if (f % 100 == 0) {
      FsCreateDirectory(upper);
      madeFolders->push_back(upper);
    }
    FsCreateDirectory(folder);
    madeFolders->push_back(folder);
    for (int i = 0; i < perFolder && static_cast<int>(paths.size()) < count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "\\IMG_%06d.JPG", i);
      paths.push_back(folder + TextFromUtf8(name));
      if (!MakeEmptyFile(paths.back())) return {};
    }
  }
  return paths;
}

constexpr int kMostCompared = 10000;

// The additions as the list box alone would do them.
double ListBoxSearchSeconds(HWND list, const std::vector<Text>& paths) {
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  LARGE_INTEGER start = Now();
  for (const Text& path : paths) {
    if (SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(Wide(path))) < 0)
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(path)));
  }
  return SecondsSince(start);
}

// Processor time of this process so far: on a machine shared with other work the wall
// time says more about the others than about the program.
double CpuSeconds() {
  FILETIME created, ended, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
  auto ticks = [](const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

double AddPathSeconds(const Text& folder, double* cpu) {
  double cpuBefore = CpuSeconds();
  LARGE_INTEGER start = Now();
  AddPath(folder);
  *cpu = CpuSeconds() - cpuBefore;
  return SecondsSince(start);
}

}  // namespace

int Argument(int argc, wchar_t** argv, int at, int otherwise) {
  return argc > at ? std::atoi(TextToUtf8(reinterpret_cast<const char16_t*>(argv[at])).c_str()) : otherwise;
}

extern "C" int wmain(int argc, wchar_t** argv) {
  int count = Argument(argc, argv, 1, 10000);
  int folders = Argument(argc, argv, 2, 1);
  if (count <= 0 || folders <= 0) {
    std::fprintf(stderr, "usage: bench_add_files_win32 [count [folders]]\n");
    return 2;
  }
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  Text folder = Text(reinterpret_cast<const char16_t*>(temp)) + u"tessaly-bench-" + NumberText(GetCurrentProcessId());
  FsCreateDirectory(folder);
  std::vector<Text> madeFolders;
  std::vector<Text> paths = folders > 1 ? MakeTree(folder, count, folders, &madeFolders) : MakeFiles(folder, count);
  HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY, 0, 0, 600, 400,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (paths.empty() || !list) {
    std::fprintf(stderr, "bench_add_files_win32: could not make the files or the list box\n");
    return 1;
  }
  gFileListBox.store(list);
  gAppSettings.ClearListOnAdd = 0;
  gAppSettings.Recursive = folders > 1 ? 1 : 0;
  gAppSettings.OutputMode = 2;
  FileListClear();
  double firstCpu = 0, againCpu = 0;
  double first = AddPathSeconds(folder, &firstCpu);
  int32_t added = FileListCount();
  double again = AddPathSeconds(folder, &againCpu);
  int32_t afterAgain = FileListCount();
  // The list box's own search compares with every entry: quadratic, hours at 100 000.
  bool compared = count <= kMostCompared;
  double listBox = compared ? ListBoxSearchSeconds(list, paths) : 0;
  for (const Text& path : paths) FsDeleteFile(path);
  for (auto it = madeFolders.rbegin(); it != madeFolders.rend(); ++it) RemoveDirectoryW(Wide(*it));
  RemoveDirectoryW(Wide(folder));
  DestroyWindow(list);

  std::printf("files: %d in %d folders%s\n", count, folders, folders > 1 ? " (subfolders on)" : "");
  std::printf("AddPath(folder), empty list:             %.3f s (%d entries, processor %.3f s)\n", first, added,
              firstCpu);
  std::printf("AddPath(folder), all duplicates:         %.3f s (%d entries, processor %.3f s)\n", again, afterAgain,
              againCpu);
  if (compared) {
    std::printf("LB_FINDSTRINGEXACT + LB_ADDSTRING loop:  %.3f s\n", listBox);
    std::printf("AddPath / list-box search: %.3f\n", first / listBox);
  }
  return added == count && afterAgain == count ? 0 : 1;
}
