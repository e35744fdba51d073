// Run control: the worker's entry and the one-worker rule.
#include "engine/run/run.h"

#include <chrono>
#include <thread>

#include "base/error_log.h"
#include "base/utils.h"

namespace {

void Pause(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

bool BeginRun(RunBlock* block, const AppSettings& settings) {
  bool expected = false;
  if (!gWorkerActive.compare_exchange_strong(expected, true)) return false;
  block->ended.store(false);
  block->result = RunResult();
  block->settings = settings;
  return true;
}

void AbandonRun(RunBlock* block) {
  block->ended.store(true);
  gWorkerActive.store(false);
}

uint32_t ConvertThreadMain(void* param) {
  auto* block = static_cast<RunBlock*>(param);
  DebugTrace(u"Start_Thread_Convert");
  Pause(block->pauseMs);
  bool finished = RunTrapped("ConvertFiles", [&](int& step) {
    step = 1;
    ConvertFiles(block->settings, &block->result);
  });
  if (!finished) block->result.faulted = true;
  Pause(block->pauseMs);
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
