// The decode-to-encode work of a file runs in a worker process: the image library
// crashes (SIGSEGV, heap overflow) on some mutated files and may loop or allocate
// gigabytes on others, and none of that may end a run. The worker is the program itself
// started with a private switch; it takes jobs and answers results over a pipe
// (engine/workers/worker_protocol.h). A worker that crashes is reported as kErrorWorkerCrashed
// for that file, one that runs past its time is ended and reported as kErrorTimeLimit,
// and the next file gets a fresh worker. Each worker serves one job at a time and knows
// nothing of the others, so several run side by side (engine/workers/job_pool.h). Where
// starting a process is dear, a worker takes several files in turn (WorkerSlot::State
// says on which terms).
#pragma once

#include <cstdint>
#include <memory>

#include "base/text.h"
#include "engine/pipeline/pipeline.h"
#include "engine/workers/worker_protocol.h"

// The private switch that makes the program a worker.
constexpr char kWorkerSwitch[] = "--tessaly-worker";
constexpr char16_t kWorkerSwitchText[] = u"--tessaly-worker";

// Which program to start as a worker: the front ends name themselves. Empty (the
// default, and what the unit tests use unless they ask) runs the work in this process.
void SetWorkerProgram(TextView programPath);
Text WorkerProgram();

// How long a file may take: before its header is read, and then, from the moment it
// may go on, a base plus a share per megapixel of the larger of the picture and its
// planned result. The wait for memory in between does not count.
struct WorkTimeLimits {
  uint32_t beforeHeaderMs = 30000;
  uint32_t baseMs = 10000;
  uint32_t perMegapixelMs = 2000;
};
void SetWorkTimeLimits(const WorkTimeLimits& limits);
WorkTimeLimits CurrentWorkTimeLimits();

// How many files one worker process converts in turn before a fresh one takes over;
// 1 gives every file a worker of its own. The port's own figure unless set (for checks).
void SetWorkerFilesEach(uint32_t files);
uint32_t WorkerFilesEach();

// The address space a worker may use; a reader that allocates past it fails there.
uint64_t WorkerMemoryCap();

// What a job tells as it goes, one piece at a time.
enum class JobNews {
  None,
  Header,   // the header passed the budget: pixels and bytes are set; the job waits for Admit
  Decoded,  // bytesRead is set
  Done,     // result is set, also for a crash or a time-out
};
struct JobReport {
  uint64_t pixels = 0;
  uint64_t bytes = 0;
  uint32_t bytesRead = 0;
  FileWork result;
};

// One worker process and the job it is on. Not thread-safe: one coordinating thread
// drives any number of them.
class WorkerSlot {
 public:
  WorkerSlot();
  ~WorkerSlot();
  WorkerSlot(const WorkerSlot&) = delete;
  WorkerSlot& operator=(const WorkerSlot&) = delete;

  // Hands the job to the worker, starting one first when there is none. False when no
  // worker could be started.
  bool Begin(const WorkerJob& job);
  // Waits at most waitMs for the job's next news.
  JobNews Poll(uint32_t waitMs, JobReport* report);
  // Lets the job past its header decode; its time limit runs from here.
  void Admit();
  bool Busy() const;
  // The platform's handle to wait on for this slot (a descriptor natively).
  intptr_t WaitHandle() const;
  // How long the job may still run before it is ended; UINT32_MAX while it waits to be
  // admitted.
  uint32_t MsLeft() const;
  // Ends the worker: asked to quit when idle, killed when busy.
  void Stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The worker's side: takes jobs from the channel until it closes. Returns the exit code.
int RunWorkerLoop();
