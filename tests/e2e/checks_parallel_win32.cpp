// Checks of a run that converts several files at once: the window runs a worker process
// per logical processor, and its results are the ones tessaly-batch writes.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "settings/defaults.h"
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
// worker per processor, two at least on this machine, and leaves the files that
// scripts/test-e2e.sh compares with tessaly-batch's, made with the same Config.dat.
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
  // The Winelib program starts a spare beside each busy worker; Tessaly.exe's workers take
  // the files in turn, with no spare.
  bool spares = gSetup.program.size() > 3 && gSetup.program.substr(gSetup.program.size() - 3) == u".so";
  if (Processors() >= 2 && most < (spares ? 4 : 2)) return Fail("never two workers converting at once");
  std::vector<Text> names = FolderFiles(out);
  if (static_cast<int>(names.size()) != kTwentyPhotos) return Fail(std::to_string(names.size()) + " results");
  for (const Text& name : names)
    if (!IsWholeJpeg(ReadFileBytes(out + name))) return Fail("not a whole JPEG", name);
  return true;
}

namespace {

// One round of the timed photos: a fresh window (so nothing is skipped as done), Start
// pressed, the time until Start is enabled again.
bool TimeOneRound(const Text& out, DWORD* ms) {
  for (const Text& name : FolderFiles(out)) DeleteFileIfAny(out + name);
  DeleteFileIfAny(gSetup.programFolder + u"Converted.dat");
  Program program;
  MainWindow main;
  if (!StartMain(&program, &main, Quoted(gSetup.work + u"large"))) return false;
  if (!WaitListCount(main, kTwentyPhotos)) return false;
  DWORD start = GetTickCount();
  PressButton(main, kIdStart, main.start);
  bool ended = WaitUntil(600000, [&] { return IsRunSummary(WindowText(main.status)) && IsWindowEnabled(main.start); });
  *ms = GetTickCount() - start;
  if (!ended) return Fail("the run did not end", WindowText(main.status));
  if (!ExpectSummary(main, u"Готово: преобразовано 20, пропущено 0, ошибок 0 (")) return false;
  DWORD code = 0;
  return program.CloseAndWait(kExitWaitMs, &code) || Fail("the window did not close");
}

}  // namespace

// The speed of a program as a user meets it: twenty photos of 4000 x 3000 shrunk to
// 2000 px (JPEG at its defaults) into the subfolder beside them, from Start until Start
// is enabled again, the better of two rounds. scripts/test-e2e.sh sets the line it prints
// beside the other program's; the figure is a benchmark, so only the run's end is checked.
bool LargePhotosTimedFromStartToEnd() {
  Text out = gSetup.work + u"large\\" + Text(kDefaultSubfolder) + u"\\";
  AppSettings settings = RunOnceSettings(out);
  settings.OutputMode = 1;
  settings.ResizeMode = 1;
  settings.ResizeSide = 1;
  settings.TargetSize = 2000;
  if (!WriteConfig(settings)) return false;
  DWORD best = MAXDWORD;
  for (int round = 0; round < 2; ++round) {
    DWORD ms = 0;
    if (!TimeOneRound(out, &ms)) return false;
    best = std::min(best, ms);
    Note("round " + std::to_string(round + 1) + ": " + std::to_string(ms) + " ms");
  }
  if (static_cast<int>(FolderFiles(out).size()) != kTwentyPhotos) return Fail("not every photo was converted");
  std::printf("benchmark: 20 photos of 4000 x 3000 to 2000 px in %lu ms\n", static_cast<unsigned long>(best));
  std::fflush(stdout);
  return true;
}
