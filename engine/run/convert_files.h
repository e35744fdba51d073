// The body of a conversion run. One coordinating thread walks the list in order: it
// plans each entry (output path, skip test), hands the files to a pool of up to N
// conversions at once (engine/workers/job_pool.h), and in list order shows their progress,
// writes their results, stamps their entries and asks the error question. With N = 1
// it converts one file at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/text.h"
#include "engine/pipeline/pipeline.h"

// How a run came to its end.
enum class RunEnd {
  Finished,  // every entry was reached
  Stopped,   // the user pressed Stop (the run state turned Idle)
  Declined,  // the error question was answered "No"
};

struct FailedFile {
  Text path;
  int32_t code = 0;
};

// What a run did, for the summary the front ends show.
struct RunResult {
  int32_t converted = 0;
  int32_t skipped = 0;
  int32_t failed = 0;
  int32_t runError = 0;  // 1, 2 or 12 when the run ended before its first file
  bool faulted = false;  // a run-time fault ended the run (it was logged and shown)
  RunEnd end = RunEnd::Finished;
  std::vector<FailedFile> failures;  // in list order
  // Of the converted, those whose source stood in for a larger result (keep if smaller).
  int32_t keptSources = 0;
};

// How the runs convert; the front ends set it before a run, the run reads it once.
struct RunOptions {
  int32_t jobs = 1;           // files converted at once; tessaly-batch --jobs
  bool shrinkOnLoad = true;   // tessaly-batch --shrink-on-load
  uint64_t memoryBudget = 0;  // bytes the conversions in flight may hold; 0: DefaultMemoryBudget
  // The record of what earlier runs wrote (engine/run/done_record.h), beside the settings
  // file; empty: none is kept, and only this session's list knows what is done.
  Text recordPath;
};
void SetRunOptions(const RunOptions& options);
RunOptions CurrentRunOptions();
// Every logical processor of the machine.
int32_t DefaultJobCount();
// A quarter of the physical memory.
uint64_t DefaultMemoryBudget();

// What a run would do with one entry, as a dry run tells it.
enum class PlannedAction {
  Convert,       // converted and written (or, keep if smaller, the source kept)
  SkipDone,      // its output is done
  SkipExisting,  // a file that is not ours is in the way and is kept
  Collision,     // another source of this run gives the same output (error 15)
  TooLong,       // the output path would be too long (error 22)
  Fails,         // any other reason it cannot be converted (code says which)
};
struct PlannedFile {
  Text inputPath;   // for an unreadable folder, the folder
  Text outputPath;  // where it would go (empty when there is no such place)
  PlannedAction action = PlannedAction::Convert;
  int32_t code = 0;
  Text detail;
};
// A dry run: every entry planned as a run would plan it (output path, the record of what
// is done, existing files, collisions, lengths), in list order, each told as it is
// planned, and counted as the run would count it; nothing is created, written or asked.
// What only converting can tell (a damaged file, a larger result) is counted converted.
void PlanFiles(const AppSettings& settings, RunResult* result, const std::function<void(const PlannedFile&)>& tell);

// Walks the list once with the given settings, counting into *result as it
// goes so the counts survive a fault. Runs on the worker thread. A "No" answer or a
// stop (gRunState turned Idle after a processed file) ends it once the files already
// in flight are done; their results are written whole. Entries appended while it runs
// are converted too; an entry deleted before its result is written is left out, and
// its result is not written.
void ConvertFiles(const AppSettings& settings, RunResult* result);
