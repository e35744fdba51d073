#include "engine/workers/local_job.h"

#include "engine/workers/job_thread.h"

LocalJob::LocalJob(std::function<void()> wake) : wake_(std::move(wake)) {}

// A job still waiting at its header gives up; one past it finishes its file first.
LocalJob::~LocalJob() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (gate_ == Gate::Waiting) gate_ = Gate::Refused;
  }
  gateChanged_.notify_all();
  if (thread_) JobThreadJoin(thread_);
}

void LocalJob::Begin(const WorkerJob& job) {
  job_ = job;
  gate_ = Gate::Waiting;
  busy_ = true;
  thread_ = JobThreadStart(&LocalJob::Entry, this);
  if (thread_) return;
  gate_ = Gate::Go;
  Run();
}

void LocalJob::Entry(void* self) {
  static_cast<LocalJob*>(self)->Run();
}

void LocalJob::Tell(JobNews news, JobReport report) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    news_.emplace_back(news, std::move(report));
  }
  wake_();
}

bool LocalJob::AwaitGate() {
  std::unique_lock<std::mutex> hold(lock_);
  gateChanged_.wait(hold, [this] { return gate_ != Gate::Waiting; });
  return gate_ == Gate::Go;
}

void LocalJob::Run() {
  FileWorkEvents events;
  events.onHeader = [this](uint64_t pixels, uint64_t bytes) {
    JobReport report;
    report.pixels = pixels;
    report.bytes = bytes;
    Tell(JobNews::Header, std::move(report));
    return AwaitGate();
  };
  events.onDecoded = [this](uint32_t bytesRead) {
    JobReport report;
    report.bytesRead = bytesRead;
    Tell(JobNews::Decoded, std::move(report));
  };
  JobReport done;
  done.result = ConvertFileToMemory(job_.settings, job_.inputPath, job_.options, events);
  Tell(JobNews::Done, std::move(done));
}

JobNews LocalJob::Poll(JobReport* report) {
  JobNews news = JobNews::None;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (news_.empty()) return JobNews::None;
    news = news_.front().first;
    *report = std::move(news_.front().second);
    news_.pop_front();
  }
  if (news == JobNews::Done) {
    if (thread_) JobThreadJoin(thread_);
    thread_ = nullptr;
    busy_ = false;
  }
  return news;
}

void LocalJob::Admit() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (gate_ == Gate::Waiting) gate_ = Gate::Go;
  }
  gateChanged_.notify_all();
}

bool LocalJob::Busy() const {
  return busy_;
}
