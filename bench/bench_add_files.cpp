// How long adding one folder of many files to the list takes: the folder listing, the
// extension filter and one duplicate search per file. Run: bench_add_files [count]
// (10 000 files by default). Creates the files in a temporary folder and removes them.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/utils.h"
#include "base/ui_port.h"
#include "input/collect.h"
#include "input/file_list.h"
#include "settings/app_settings.h"

// The benchmark has no window: labels, buttons and boxes go nowhere.
void UiSetStatusLine(TextView) {}
void UiSetElapsedLine(TextView) {}
void UiSetPageCount(TextView) {}
void UiEnableStart(bool) {}
void UiRepaintNow() {}
bool UiCtrlHeld() { return false; }
Text UiFilterText() { return Text(); }
int32_t TimedMessageBox(TextView text, TextView, WindowRef, int32_t, uint32_t) {
  std::fprintf(stderr, "%s\n", TextToUtf8(text).c_str());
  return kIdOk;
}
void DebugTrace(TextView) {}

namespace {

double SecondsOf(void (*work)(const Text&), const Text& folder) {
  auto start = std::chrono::steady_clock::now();
  work(folder);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  int count = argc > 1 ? std::atoi(argv[1]) : 10000;
  if (count <= 0) {
    std::fprintf(stderr, "usage: bench_add_files [count]\n");
    return 2;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "tessaly-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string folder = pattern;
  // Names of equal length that differ only near the end, as camera folders do, which is
  // the hard case for any comparison of whole paths.
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/IMG_%06d.JPG", i);
    if (std::FILE* f = std::fopen((folder + name).c_str(), "wb")) {
      std::fclose(f);
    } else {
      std::perror("fopen");
      std::filesystem::remove_all(folder);
      return 1;
    }
  }

  gAppSettings.ClearListOnAdd = 0;
  FileListClear();
  Text path = TextFromUtf8(folder);
  double first = SecondsOf([](const Text& p) { AddPath(p); }, path);
  int32_t added = FileListCount();
  // The same folder again: every file is now a duplicate, found by the search and refused.
  double again = SecondsOf([](const Text& p) { AddPath(p); }, path);
  int32_t afterAgain = FileListCount();
  std::filesystem::remove_all(folder);

  std::printf("files: %d\n", count);
  std::printf("AddPath(folder), empty list:      %.3f s (%d entries)\n", first, added);
  std::printf("AddPath(folder), all duplicates:  %.3f s (%d entries)\n", again, afterAgain);
  if (added != count || afterAgain != count) {
    std::fprintf(stderr, "expected %d entries\n", count);
    return 1;
  }
  return 0;
}
