// Checks of a run that converts several files at once: the window runs a worker process
// per logical processor, and its results are the ones tessaly-batch writes.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "tests/e2e/checks_win32.h"
#include "tests/e2e/e2e_win32.h"
#include "tests/e2e/main_window_e2e_win32.h"

namespace {

constexpr int kTwentyPhotos = 20;

// Worker processes the program has started and that still run (spares included).
int WorkerCount(DWORD pid) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (entry.th32ParentProcessID == pid) ++count;
  CloseHandle(snapshot);
  return count;
}

int Processors() {
  SYSTEM_INFO info = {};
  GetSystemInfo(&info);
  return static_cast<int>(info.dwNumberOfProcessors);
}

bool IsWholeJpeg(const std::vector<uint8_t>& b) {
  return b.size() > 100 && b[0] == 0xFF && b[1] == 0xD8 && b[b.size() - 2] == 0xFF && b[b.size() - 1] == 0xD9;
}

}  // namespace

// Twenty photos, some turned by EXIF, shrunk to 800 px: the window converts them with a
// worker per processor, two at least on this machine (each busy worker has a spare
// started beside it), and leaves the files that scripts/test-e2e.sh compares with
// tessaly-batch's, made with the same Config.dat.
bool TwentyPhotosOnSeveralWorkersAsTessalyBatchWrites() {
  Text out = gSetup.work + u"out-twenty\\";
  AppSettings settings = RunOnceSettings(out);
  settings.ResizeMode = 1;
  settings.ResizeSide = 1;
  settings.TargetSize = 800;
  if (!WriteConfig(settings)) return false;
  if (!WriteFileBytes(DataPath(u"twenty-config.dat"), &settings, sizeof settings)) return Fail("cannot keep the settings");
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, Quoted(gSetup.work + u"twenty"))) return false;
  if (!WaitListCount(main, kTwentyPhotos)) return false;
  PressButton(main, kIdStart, main.start);
  int most = 0;
  bool ended = WaitUntil(180000, [&] {
    most = std::max(most, WorkerCount(program.pid()));
    return IsRunSummary(WindowText(main.status)) && IsWindowEnabled(main.start);
  });
  Note("at most " + std::to_string(most) + " worker processes at once, " + std::to_string(Processors()) +
       " logical processors");
  if (!ended) return Fail("the run did not end", WindowText(main.status));
  if (!ExpectSummary(main, u"Готово: преобразовано 20, пропущено 0, ошибок 0 (")) return false;
  if (Processors() >= 2 && most < 4) return Fail("never two workers converting at once");
  std::vector<Text> names = FolderFiles(out);
  if (static_cast<int>(names.size()) != kTwentyPhotos) return Fail(std::to_string(names.size()) + " results");
  for (const Text& name : names)
    if (!IsWholeJpeg(ReadFileBytes(out + name))) return Fail("not a whole JPEG", name);
  return true;
}
