#include "engine/workers/job_pool.h"

#include <algorithm>
#include <chrono>

#include "engine/workers/local_job.h"
#include "engine/workers/worker_process.h"

namespace {

using Clock = std::chrono::steady_clock;

// The most handles one wait can take under Windows.
constexpr int32_t kMaxJobs = 64;
// How often a pool with jobs of both kinds looks at the threads while it waits on the
// processes.
constexpr uint32_t kMixedWaitMs = 2;

}  // namespace

size_t ConversionsToAdmit(const std::vector<uint64_t>& waiting, uint64_t admittedBytes, size_t admittedCount,
                          uint64_t budget) {
  size_t admit = 0;
  for (uint64_t bytes : waiting) {
    if (admittedCount > 0 && admittedBytes + bytes > budget) break;
    admittedBytes += bytes;
    ++admittedCount;
    ++admit;
  }
  return admit;
}

struct JobPool::Slot {
  enum class Phase { Idle, Starting, Waiting, Admitted };
  Phase phase = Phase::Idle;
  uint64_t tag = 0;
  uint64_t bytes = 0;
  bool local = false;
  WorkerSlot process;
  std::unique_ptr<LocalJob> thread;

  JobNews Poll(JobReport* report) { return local ? thread->Poll(report) : process.Poll(0, report); }
  void Admit() {
    phase = Phase::Admitted;
    if (local) thread->Admit();
    else process.Admit();
  }
};

JobPool::JobPool(int32_t jobs, uint64_t memoryBudget, const FileWorkOptions& options)
    : budget_(memoryBudget), options_(options) {
  for (int32_t i = 0; i < std::clamp(jobs, 1, kMaxJobs); ++i) slots_.push_back(std::make_unique<Slot>());
}

// The slots go first: a local job's thread may still raise the signal until it is joined.
JobPool::~JobPool() {
  slots_.clear();
}

bool JobPool::HasRoom() const {
  return Busy() < static_cast<int32_t>(slots_.size());
}

int32_t JobPool::Busy() const {
  return static_cast<int32_t>(
      std::count_if(slots_.begin(), slots_.end(), [](const auto& s) { return s->phase != Slot::Phase::Idle; }));
}

void JobPool::Begin(uint64_t tag, TextView inputPath, const AppSettings& settings) {
  auto idle = std::find_if(slots_.begin(), slots_.end(), [](const auto& s) { return s->phase == Slot::Phase::Idle; });
  if (idle == slots_.end()) return;
  Slot& slot = **idle;
  slot.tag = tag;
  slot.bytes = 0;
  slot.phase = Slot::Phase::Starting;
  auto job = std::make_unique<WorkerJob>();
  job->settings = settings;
  job->inputPath = Text(inputPath);
  job->options = options_;
  // Without a worker (none named, or none can start) the file is converted here: the
  // run still works, only without the protection.
  slot.local = WorkerProgram().empty() || !slot.process.Begin(*job);
  if (!slot.local) return;
  if (!slot.thread)
    slot.thread = std::make_unique<LocalJob>([this] {
      std::lock_guard<std::mutex> hold(signalLock_);
      ++signals_;
      signal_.notify_all();
    });
  slot.thread->Begin(*job);
}

void JobPool::Collect(Slot& slot, std::vector<PoolNews>* news) {
  for (;;) {
    PoolNews item;
    item.kind = slot.Poll(&item.report);
    item.tag = slot.tag;
    switch (item.kind) {
      case JobNews::None: return;
      case JobNews::Header:
        slot.phase = Slot::Phase::Waiting;
        slot.bytes = item.report.bytes;
        break;
      case JobNews::Decoded: news->push_back(std::move(item)); break;
      case JobNews::Done:
        slot.phase = Slot::Phase::Idle;
        news->push_back(std::move(item));
        return;
    }
  }
}

void JobPool::AdmitWaiting() {
  std::vector<Slot*> waiting;
  uint64_t admittedBytes = 0;
  size_t admittedCount = 0;
  for (auto& slot : slots_) {
    if (slot->phase == Slot::Phase::Waiting) waiting.push_back(slot.get());
    if (slot->phase != Slot::Phase::Admitted) continue;
    admittedBytes += slot->bytes;
    ++admittedCount;
  }
  std::sort(waiting.begin(), waiting.end(), [](const Slot* a, const Slot* b) { return a->tag < b->tag; });
  std::vector<uint64_t> bytes;
  for (const Slot* slot : waiting) bytes.push_back(slot->bytes);
  size_t admit = ConversionsToAdmit(bytes, admittedBytes, admittedCount, budget_);
  for (size_t i = 0; i < admit; ++i) {
    waiting[i]->Admit();
    admittedBytes += waiting[i]->bytes;
  }
  peakAdmitted_ = std::max(peakAdmitted_, admittedBytes);
}

std::vector<PoolNews> JobPool::Wait(uint32_t waitMs) {
  auto until = Clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    uint64_t seen = 0;
    {
      std::lock_guard<std::mutex> hold(signalLock_);
      seen = signals_;
    }
    std::vector<PoolNews> news;
    for (auto& slot : slots_)
      if (slot->phase != Slot::Phase::Idle) Collect(*slot, &news);
    AdmitWaiting();
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (!news.empty() || left <= 0 || Busy() == 0) return news;
    Block(static_cast<uint32_t>(left), seen);
  }
}

// Until a worker process has something to say or a local job raises the signal, or
// the nearest time limit of a process runs out.
void JobPool::Block(uint32_t waitMs, uint64_t seen) {
  std::vector<intptr_t> handles;
  bool localBusy = false;
  for (auto& slot : slots_) {
    if (slot->phase == Slot::Phase::Idle) continue;
    if (slot->local) {
      localBusy = true;
    } else {
      handles.push_back(slot->process.WaitHandle());
      waitMs = std::min(waitMs, slot->process.MsLeft());
    }
  }
  if (!handles.empty()) {
    WorkerProcessWaitAny(handles, localBusy ? std::min(waitMs, kMixedWaitMs) : waitMs);
    return;
  }
  std::unique_lock<std::mutex> hold(signalLock_);
  signal_.wait_for(hold, std::chrono::milliseconds(waitMs), [&] { return signals_ != seen; });
}
