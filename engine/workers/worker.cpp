// Both sides of the worker: the slot a run drives, and the loop the worker runs.
#include "engine/workers/worker.h"

#include <algorithm>
#include <chrono>
#include <mutex>

#include "base/utils.h"
#include "engine/codecs/colour_transform.h"
#include "engine/pipeline/picture_budget.h"
#include "engine/workers/worker_process.h"

namespace {

using Clock = std::chrono::steady_clock;

std::mutex gConfigLock;
Text gWorkerProgram;
WorkTimeLimits gLimits;
uint32_t gFilesEach = 0;  // 0: the port's own

uint32_t MsUntil(Clock::time_point deadline) {
  if (deadline == Clock::time_point::max()) return UINT32_MAX;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(left, UINT32_MAX - 1));
}

FileWork Failure(int32_t error, Text detail) {
  FileWork work;
  work.error = error;
  work.detail = std::move(detail);
  return work;
}

// What a whole, right frame may bring besides news: nothing new for the run, or the job
// handed to a fresh worker (whose frames the inbox now waits for).
constexpr JobNews kToldBefore = static_cast<JobNews>(0x7E);
constexpr JobNews kHandedAgain = static_cast<JobNews>(0x7F);

const char16_t kGarbled[] = u"Процесс преобразования прислал искажённый ответ";

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

void SetWorkerFilesEach(uint32_t files) {
  std::lock_guard<std::mutex> hold(gConfigLock);
  gFilesEach = files;
}

uint32_t WorkerFilesEach() {
  std::lock_guard<std::mutex> hold(gConfigLock);
  return gFilesEach > 0 ? gFilesEach : WorkerProcessFilesEach();
}

uint64_t WorkerMemoryCap() {
  // The largest conversion the budget lets through, and room for the program itself.
  return kMaxConversionBytes + (uint64_t{1} << 30);
}

// A reader that overflows the heap or reads past its buffer without crashing would
// leave a later file's result to a damaged process, or hand it bytes of an earlier
// picture. So a worker takes several files in turn only where it wipes every block freed
// (WorkerProcessFilesEach), and even there a file that failed ends its worker, a worker
// that crashes or garbles a later file's answer has that file handed to a fresh one (the
// damage may be an earlier file's), and a worker leaves after its share of files.
// Where every file gets a worker of its own, the next one is started as soon as a job
// is handed over, so it has loaded while the current file converts.
struct WorkerSlot::State {
  WorkerProcess* process = nullptr;  // the one on the job, or waiting for the next
  WorkerProcess* spare = nullptr;    // started, waiting for the next job
  uint32_t served = 0;               // the files process has answered
  std::vector<uint8_t> inbox;
  std::vector<uint8_t> jobFrame;  // kept to hand the job once more
  bool heard = false;             // the worker has answered this job at all
  bool handedAgain = false;
  bool afterOthers = false;       // the job went to a worker that had answered others
  bool decodedTold = false;       // a job handed again tells its decode once
  bool busy = false;
  uint64_t pixels = 0;
  Clock::time_point started;
  Clock::time_point deadline;
  WorkTimeLimits limits;

  // The worker is gone or must go; the job's outcome says why.
  FileWork End(bool kill, int32_t error, Text detail) {
    Text how = process ? WorkerProcessEnd(process, kill) : Text();
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

  // A worker that answered stays for the next file while it has files left and this
  // one went well; a file that failed may have left its reader's damage behind.
  void Finished(const FileWork& result) {
    ++served;
    busy = false;
    if (result.error == 0 && served < WorkerFilesEach()) return;
    if (process) WorkerProcessRetire(process);
    process = nullptr;
  }

  // A worker that ended before it said a word may have died before it read the job (a
  // spare killed from outside, or one that was still dying when it was handed the job),
  // and one that had converted other files may have died of their damage: the job goes
  // once more to a fresh worker. A file that crashes the reader itself crashes that one
  // too, and is reported then.
  bool HandAgain(bool kill) {
    if ((heard && !afterOthers) || handedAgain) return false;
    handedAgain = true;
    afterOthers = false;
    heard = false;
    WorkerProcessEnd(process, kill);
    process = Start();
    served = 0;
    if (!process) return false;
    WorkerProcessSend(process, jobFrame);  // a worker gone again is found by the next read
    inbox.clear();
    started = Clock::now();
    deadline = started + std::chrono::milliseconds(limits.beforeHeaderMs);
    return true;
  }

  JobNews Garbled(JobReport* report) {
    if (HandAgain(true)) return JobNews::None;
    report->result = End(true, kErrorWorkerCrashed, kGarbled);
    return JobNews::Done;
  }

  // Reads one frame's news; the waits for memory do not count against the time.
  JobNews Take(const uint8_t* frame, size_t length, JobReport* report) {
    switch (FrameKind(frame)) {
      case WorkerMessage::Header:
        if (!ParseHeader(frame, length, &report->pixels, &report->bytes)) return JobNews::None;
        pixels = report->pixels;
        deadline = Clock::time_point::max();
        return JobNews::Header;
      case WorkerMessage::Decoded:
        if (!ParseDecoded(frame, length, &report->bytesRead)) return JobNews::None;
        if (decodedTold) return kToldBefore;
        decodedTold = true;
        return JobNews::Decoded;
      case WorkerMessage::Result:
        if (!ParseResult(frame, length, &report->result)) return JobNews::None;
        // A failure is the file's own only when a fresh worker meets it too.
        if (report->result.error != 0 && afterOthers && HandAgain(true)) return kHandedAgain;
        Finished(report->result);
        return JobNews::Done;
      default:
        return JobNews::None;
    }
  }

  // The news of the first whole frames that have arrived, if any.
  JobNews TakeFrame(JobReport* report) {
    for (;;) {
      size_t length = 0;
      if (!WholeFrameLength(inbox, &length)) return Garbled(report);
      if (length == 0) return JobNews::None;
      heard = true;
      JobNews news = Take(inbox.data(), length, report);
      if (news == JobNews::None) return Garbled(report);
      if (news == kHandedAgain) continue;
      inbox.erase(inbox.begin(), inbox.begin() + static_cast<std::ptrdiff_t>(length));
      if (news != kToldBefore) return news;
    }
  }
};

WorkerSlot::WorkerSlot() : state_(new State) {}

WorkerSlot::~WorkerSlot() {
  Stop();
}

bool WorkerSlot::Begin(const WorkerJob& job) {
  State& s = *state_;
  std::vector<uint8_t> frame = JobFrame(job);
  // A spare that ended while it waited (killed from outside, out of memory) must not
  // cost the file a crash report: it is replaced, and so is one whose channel is gone.
  // So is a worker that ended while it waited for its next file.
  if (s.spare && !WorkerProcessRunning(s.spare)) {
    WorkerProcessEnd(s.spare, false);
    s.spare = nullptr;
  }
  if (s.process && !WorkerProcessRunning(s.process)) s.End(false, 0, Text());
  s.afterOthers = s.process != nullptr && s.served > 0;
  if (s.process && !WorkerProcessSend(s.process, frame)) s.End(true, 0, Text());
  for (int attempt = 0; attempt < 2 && !s.process; ++attempt) {
    s.process = s.spare ? s.spare : State::Start();
    s.spare = nullptr;
    s.served = 0;
    s.afterOthers = false;
    if (!s.process) return false;
    if (!WorkerProcessSend(s.process, frame)) s.End(true, 0, Text());
  }
  if (!s.process) return false;
  s.busy = true;
  s.inbox.clear();
  s.jobFrame = std::move(frame);
  s.heard = s.handedAgain = s.decodedTold = false;
  s.limits = CurrentWorkTimeLimits();
  s.started = Clock::now();
  s.deadline = s.started + std::chrono::milliseconds(s.limits.beforeHeaderMs);
  if (WorkerFilesEach() <= 1) s.spare = State::Start();
  return true;
}

void WorkerSlot::Admit() {
  State& s = *state_;
  if (!s.busy) return;
  uint64_t ms = s.limits.baseMs + s.limits.perMegapixelMs * (s.pixels / 1'000'000);
  s.deadline = Clock::now() + std::chrono::milliseconds(ms);
  // A worker that is gone cannot take it; the next poll finds it ended.
  WorkerProcessSend(s.process, GoFrame());
}

JobNews WorkerSlot::Poll(uint32_t waitMs, JobReport* report) {
  State& s = *state_;
  if (!s.busy) return JobNews::None;
  Clock::time_point until = Clock::now() + std::chrono::milliseconds(std::min<uint32_t>(waitMs, 86'400'000));
  for (;;) {
    JobNews news = s.TakeFrame(report);
    if (news != JobNews::None) return news;
    if (Clock::now() >= s.deadline) {
      auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - s.started).count();
      report->result = s.End(true, kErrorTimeLimit, u"Преобразование прервано через " + NumberText(seconds) + u" с");
      return JobNews::Done;
    }
    uint32_t wait = std::min(MsUntil(until), MsUntil(s.deadline));
    WorkerRead read = WorkerProcessRead(s.process, wait, &s.inbox);
    if (read == WorkerRead::Ended) {
      news = s.TakeFrame(report);
      if (news != JobNews::None) return news;
      if (s.HandAgain(false)) continue;
      report->result = s.End(false, kErrorWorkerCrashed, u"Процесс преобразования завершился аварийно");
      return JobNews::Done;
    }
    if (read == WorkerRead::Nothing && Clock::now() >= until && Clock::now() < s.deadline) return JobNews::None;
  }
}

bool WorkerSlot::Busy() const {
  return state_->busy;
}

intptr_t WorkerSlot::WaitHandle() const {
  return state_->process ? WorkerProcessWaitHandle(state_->process) : -1;
}

uint32_t WorkerSlot::MsLeft() const {
  return state_->busy ? MsUntil(state_->deadline) : UINT32_MAX;
}

void WorkerSlot::Stop() {
  State& s = *state_;
  if (s.process) s.End(s.busy, 0, Text());
  if (s.spare) WorkerProcessEnd(s.spare, false);
  s.spare = nullptr;
  WorkerProcessWaitRetired();
}

namespace {

// The job waits after its header until the run lets it go on; anything else, or the
// channel closing, ends it.
bool AwaitGo(std::vector<uint8_t>* inbox) {
  for (;;) {
    size_t length = 0;
    if (!WholeFrameLength(*inbox, &length)) return false;
    if (length > 0) {
      bool go = ParseGo(inbox->data(), length);
      inbox->erase(inbox->begin(), inbox->begin() + static_cast<std::ptrdiff_t>(length));
      return go;
    }
    if (!WorkerChannelRead(inbox)) return false;
  }
}

}  // namespace

int RunWorkerLoop() {
  // A worker that cannot wipe what a file leaves in freed memory takes one file only.
  bool wipes = WorkerWipeFreedMemory();
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
    bool open = true;
    FileWorkEvents events;
    events.onHeader = [&](uint64_t pixels, uint64_t bytes) {
      open = open && WorkerChannelWrite(HeaderFrame(pixels, bytes)) && AwaitGo(&inbox);
      return open;
    };
    events.onDecoded = [&](uint32_t bytesRead) { open = open && WorkerChannelWrite(DecodedFrame(bytesRead)); };
    FileWork work = ConvertFileToMemory(job->settings, job->inputPath, job->options, events);
    if (!open || !WorkerChannelWrite(ResultFrame(work))) return 0;
    ForgetTransforms();
    if (!wipes || !WorkerHeapSound()) return 0;
  }
}
