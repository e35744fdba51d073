// Up to N files converted at once, each in a worker process of its own (engine/workers/worker.h)
// or, without a worker program, on a thread of this process (engine/workers/local_job.h). A
// conversion that has read its header waits until the memory it declared fits in the
// budget beside those under way, in the order the files were begun; the first always
// goes, so a picture larger than the budget still converts, alone.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/workers/worker.h"

// How many of the waiting conversions (the bytes each declared, in the order they were
// begun) may go on beside those under way: in order while they fit, the first always
// when none is under way.
size_t ConversionsToAdmit(const std::vector<uint64_t>& waiting, uint64_t admittedBytes, size_t admittedCount,
                          uint64_t budget);

struct PoolNews {
  uint64_t tag = 0;
  JobNews kind = JobNews::None;  // Decoded or Done
  JobReport report;
};

class JobPool {
 public:
  JobPool(int32_t jobs, uint64_t memoryBudget, const FileWorkOptions& options);
  // Ends the workers; a conversion on a thread of this process finishes its file first.
  ~JobPool();
  JobPool(const JobPool&) = delete;
  JobPool& operator=(const JobPool&) = delete;

  bool HasRoom() const;
  int32_t Busy() const;
  // Begins the file's conversion with these settings; its news carries tag.
  void Begin(uint64_t tag, TextView inputPath, const AppSettings& settings);
  // Waits at most waitMs for news of any conversion, and returns all there is.
  std::vector<PoolNews> Wait(uint32_t waitMs);
  // The most bytes the admitted conversions declared at once, for checks.
  uint64_t PeakAdmittedBytes() const { return peakAdmitted_; }

 private:
  struct Slot;
  void Collect(Slot& slot, std::vector<PoolNews>* news);
  void AdmitWaiting();
  void Block(uint32_t waitMs, uint64_t seen);

  std::vector<std::unique_ptr<Slot>> slots_;
  uint64_t budget_;
  uint64_t peakAdmitted_ = 0;
  FileWorkOptions options_;
  // Raised by the local jobs' threads whenever they have news.
  std::mutex signalLock_;
  std::condition_variable signal_;
  uint64_t signals_ = 0;
};
