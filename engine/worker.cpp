// Both sides of the worker: the slot a run drives, and the loop the worker runs.
#include "engine/worker.h"

#include <algorithm>
#include <chrono>
#include <mutex>

#include "diag/utils.h"
#include "engine/picture_budget.h"
#include "engine/worker_process.h"
#include "engine/worker_protocol.h"

namespace {

using Clock = std::chrono::steady_clock;

std::mutex gConfigLock;
Text gWorkerProgram;
WorkTimeLimits gLimits;

uint32_t MsUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(left, UINT32_MAX));
}

FileWork Failure(int32_t error, Text detail) {
  FileWork work;
  work.error = error;
  work.detail = std::move(detail);
  return work;
}

}  // namespace

void SetWorkerProgram(TextView programPath) {
  std::lock_guard<std::mutex> hold(gConfigLock);
  gWorkerProgram = Text(programPath);
}

Text WorkerProgram() {
  std::lock_guard<std::mutex> hold(gConfigLock);
  return gWorkerProgram;
}

void SetWorkTimeLimits(const WorkTimeLimits& limits) {
  std::lock_guard<std::mutex> hold(gConfigLock);
  gLimits = limits;
}

WorkTimeLimits CurrentWorkTimeLimits() {
  std::lock_guard<std::mutex> hold(gConfigLock);
  return gLimits;
}

uint64_t WorkerMemoryCap() {
  // The largest conversion the budget lets through, and room for the program itself.
  return kMaxConversionBytes + (uint64_t{1} << 30);
}

// Every file gets a worker of its own: a reader that overflows the heap or reads past
// its buffer without crashing would otherwise leave a later file's result to a damaged
// process, or hand it bytes of an earlier picture. The next worker is started as soon as
// a job is handed over, so it has loaded while the current file converts.
struct WorkerSlot::State {
  WorkerProcess* process = nullptr;  // the one on the job
  WorkerProcess* spare = nullptr;    // started, waiting for the next job
  std::vector<uint8_t> inbox;
  bool busy = false;
  Clock::time_point started;
  Clock::time_point deadline;
  WorkTimeLimits limits;

  // The worker is gone or must go; the job's outcome says why.
  FileWork End(bool kill, int32_t error, Text detail) {
    Text how = WorkerProcessEnd(process, kill);
    process = nullptr;
    inbox.clear();
    busy = false;
    if (!how.empty()) detail += u": " + how;
    return Failure(error, std::move(detail));
  }

  static WorkerProcess* Start() {
    Text reason;
    WorkerProcess* started = WorkerProcessStart(WorkerProgram(), WorkerMemoryCap(), &reason);
    if (!started) DebugTrace(u"Worker_Start_Failed: " + reason);
    return started;
  }

  void Finished() {
    WorkerProcessRetire(process);
    process = nullptr;
    busy = false;
  }

  // Handles the whole frames that have arrived; true once the result is among them.
  bool TakeFrames(const std::function<void(uint32_t)>& onDecoded, FileWork* result) {
    for (;;) {
      size_t length = 0;
      if (!WholeFrameLength(inbox, &length)) {
        *result = End(true, kErrorWorkerCrashed, u"Процесс преобразования прислал искажённый ответ");
        return true;
      }
      if (length == 0) return false;
      const uint8_t* frame = inbox.data();
      uint64_t pixels = 0;
      uint32_t bytesRead = 0;
      bool ok = true, done = false;
      switch (FrameKind(frame)) {
        case WorkerMessage::Header:
          ok = ParseHeader(frame, length, &pixels);
          deadline =
              Clock::now() + std::chrono::milliseconds(limits.baseMs + limits.perMegapixelMs * (pixels / 1'000'000));
          break;
        case WorkerMessage::Decoded:
          ok = ParseDecoded(frame, length, &bytesRead);
          if (ok) onDecoded(bytesRead);
          break;
        case WorkerMessage::Result:
          ok = done = ParseResult(frame, length, result);
          break;
        default:
          ok = false;
      }
      if (!ok) {
        *result = End(true, kErrorWorkerCrashed, u"Процесс преобразования прислал искажённый ответ");
        return true;
      }
      inbox.erase(inbox.begin(), inbox.begin() + static_cast<std::ptrdiff_t>(length));
      if (done) {
        Finished();
        return true;
      }
    }
  }
};

WorkerSlot::WorkerSlot() : state_(new State) {}

WorkerSlot::~WorkerSlot() {
  Stop();
}

bool WorkerSlot::Begin(TextView inputPath) {
  State& s = *state_;
  auto job = std::make_unique<WorkerJob>();
  job->settings = gAppSettings;
  job->inputPath = Text(inputPath);
  std::vector<uint8_t> frame = JobFrame(*job);
  // A spare that ended while it waited is replaced once.
  for (int attempt = 0; attempt < 2 && !s.process; ++attempt) {
    s.process = s.spare ? s.spare : State::Start();
    s.spare = nullptr;
    if (!s.process) return false;
    if (!WorkerProcessSend(s.process, frame)) s.End(true, 0, Text());
  }
  if (!s.process) return false;
  s.busy = true;
  s.inbox.clear();
  s.limits = CurrentWorkTimeLimits();
  s.started = Clock::now();
  s.deadline = s.started + std::chrono::milliseconds(s.limits.beforeHeaderMs);
  s.spare = State::Start();
  return true;
}

bool WorkerSlot::Poll(uint32_t waitMs, const std::function<void(uint32_t)>& onDecoded, FileWork* result) {
  State& s = *state_;
  if (!s.busy) return false;
  Clock::time_point until = Clock::now() + std::chrono::milliseconds(std::min<uint32_t>(waitMs, 86'400'000));
  for (;;) {
    if (s.TakeFrames(onDecoded, result)) return true;
    if (Clock::now() >= s.deadline) {
      auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - s.started).count();
      *result = s.End(true, kErrorTimeLimit, u"Преобразование прервано через " + NumberText(seconds) + u" с");
      return true;
    }
    uint32_t wait = std::min(MsUntil(until), MsUntil(s.deadline));
    WorkerRead read = WorkerProcessRead(s.process, wait, &s.inbox);
    if (read == WorkerRead::Ended) {
      if (s.TakeFrames(onDecoded, result)) return true;
      *result = s.End(false, kErrorWorkerCrashed, u"Процесс преобразования завершился аварийно");
      return true;
    }
    if (read == WorkerRead::Nothing && Clock::now() >= until && Clock::now() < s.deadline) return false;
  }
}

bool WorkerSlot::Busy() const {
  return state_->busy;
}

intptr_t WorkerSlot::WaitHandle() const {
  return state_->process ? WorkerProcessWaitHandle(state_->process) : -1;
}

void WorkerSlot::Stop() {
  State& s = *state_;
  if (s.process) s.End(s.busy, 0, Text());
  if (s.spare) WorkerProcessEnd(s.spare, false);
  s.spare = nullptr;
  WorkerProcessWaitRetired();
}

namespace {

// The run's worker slot: one file at a time, each in a fresh worker.
WorkerSlot& FileWorker() {
  static WorkerSlot slot;
  return slot;
}

FileWork RunHere(TextView inputPath, const std::function<void(uint32_t)>& onDecoded) {
  FileWorkEvents events;
  events.onDecoded = onDecoded;
  return ConvertFileToMemory(inputPath, events);
}

}  // namespace

FileWork RunFileWork(TextView inputPath, const std::function<void(uint32_t bytesRead)>& onDecoded) {
  // Without a worker (none named, or none can start) the file is converted here: the
  // run still works, only without the protection.
  if (WorkerProgram().empty() || !FileWorker().Begin(inputPath)) return RunHere(inputPath, onDecoded);
  FileWork result;
  while (!FileWorker().Poll(UINT32_MAX, onDecoded, &result)) {
  }
  return result;
}

void StopFileWorker() {
  FileWorker().Stop();
}

int RunWorkerLoop() {
  std::vector<uint8_t> inbox;
  auto job = std::make_unique<WorkerJob>();
  for (;;) {
    size_t length = 0;
    if (!WholeFrameLength(inbox, &length)) return 2;
    if (length == 0) {
      if (!WorkerChannelRead(&inbox)) return 0;  // the run closed the channel
      continue;
    }
    if (!ParseJob(inbox.data(), length, job.get())) return 2;
    inbox.erase(inbox.begin(), inbox.begin() + static_cast<std::ptrdiff_t>(length));
    gAppSettings = job->settings;
    bool open = true;
    FileWorkEvents events;
    events.onHeader = [&](uint64_t pixels) { open = open && WorkerChannelWrite(HeaderFrame(pixels)); };
    events.onDecoded = [&](uint32_t bytesRead) { open = open && WorkerChannelWrite(DecodedFrame(bytesRead)); };
    FileWork work = ConvertFileToMemory(job->inputPath, events);
    if (!open || !WorkerChannelWrite(ResultFrame(work))) return 0;
  }
}
