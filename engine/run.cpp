// Run control: the worker's entry, the one-worker rule, progress and elapsed lines.
#include "engine/run.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "diag/error_log.h"
#include "diag/utils.h"
#include "engine/ui_port.h"
#include "input/file_list.h"

std::atomic<int32_t> gRunState{kRunIdle};
uint32_t gElapsedSeconds = 0;

namespace {

// Set from BeginRun until the worker has finished, so a start request that arrives
// while a stopped worker is still on its last file cannot create a second one.
std::atomic<bool> gWorkerActive{false};

void Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

bool BeginRun(RunBlock* block) {
  bool expected = false;
  if (!gWorkerActive.compare_exchange_strong(expected, true)) return false;
  block->ended.store(false);
  block->result = RunResult();
  return true;
}

void AbandonRun(RunBlock* block) {
  block->ended.store(true);
  gWorkerActive.store(false);
}

bool WorkerActive() {
  return gWorkerActive.load();
}

uint32_t ConvertThreadMain(void* param) {
  auto* block = static_cast<RunBlock*>(param);
  DebugTrace(u"Start_Thread_Convert");
  Pause(50);
  bool finished = RunTrapped("ConvertFiles", [&](int& step) {
    step = 1;
    ConvertFiles(&block->result);
  });
  if (!finished) block->result.faulted = true;
  Pause(50);
  DebugTrace(u"Stop_Thread_Convert");
  // The slot is free before the end is signalled: whoever waits on the block may start
  // the next run as soon as it sees the end.
  gWorkerActive.store(false);
  block->ended.store(true);
  return 0;
}

void WaitForWorker(const RunBlock& block, const std::function<void()>& waitStep) {
  while (!block.ended.load()) waitStep();
}

void ReportThreadFailure(TextView systemText) {
  TimedMessageBox(u"Can't create thread: " + Text(systemText), u"Error", 0, 4, 10000);
}

Text ProgressText(int32_t index, int32_t count, uint64_t size, TextView fileName) {
  Text position(1, u'(');
  position += NumberWithBlank(int64_t{index} + 1) + u"/" + NumberWithBlank(count) + u")  Имя: ";
  // A name may hold a line feed: the status line and a console line stay one line.
  Text name = DisplayText(fileName);
  if (size == 0) return u"Пропущен: " + position + name;
  return u"Выполняется: " + position + name + u" , " + FormatByteSize64(size);
}

void ShowProgress(int32_t index, int32_t count, uint64_t size, TextView fileName) {
  FileListSelect(index);
  UiSetStatusLine(ProgressText(index, count, size, fileName));
}

Text ElapsedText(uint32_t seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", seconds / 3600, seconds % 3600 / 60, seconds % 3600 % 60);
  return u"Прошло: " + TextFromUtf8(buf);
}

Text ElapsedTimeText(int32_t flag) {
  ++gElapsedSeconds;
  if (flag == 0) gElapsedSeconds = 0;
  return ElapsedText(gElapsedSeconds);
}
