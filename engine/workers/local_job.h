// A file's conversion on a thread of this process, with the same news a worker process
// gives (engine/workers/worker.h) but none of its protection: for trusted files (tessaly-batch
// --isolate off), for the unit tests, and when no worker can be started. A thread
// cannot be ended from outside, so a job here has no time limit.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "engine/workers/worker.h"

struct JobThread;

class LocalJob {
 public:
  // wake is called from the job's thread whenever it has news.
  explicit LocalJob(std::function<void()> wake);
  ~LocalJob();
  LocalJob(const LocalJob&) = delete;
  LocalJob& operator=(const LocalJob&) = delete;

  // Starts the job with its own copy of the settings; when no thread can be made it
  // runs here and now, taking its memory without asking.
  void Begin(const WorkerJob& job);
  // The oldest news not yet taken; never waits.
  JobNews Poll(JobReport* report);
  void Admit();
  bool Busy() const;

 private:
  enum class Gate { Waiting, Go, Refused };
  static void Entry(void* self);
  void Run();
  void Tell(JobNews news, JobReport report);
  bool AwaitGate();

  std::function<void()> wake_;
  mutable std::mutex lock_;
  std::condition_variable gateChanged_;
  std::deque<std::pair<JobNews, JobReport>> news_;
  Gate gate_ = Gate::Waiting;
  JobThread* thread_ = nullptr;
  WorkerJob job_;
  bool busy_ = false;
};
