// What one worker process costs before it does any work: the program started in its
// worker mode through the run's own port (engine/workers/worker_process.h), handed a
// job for a tiny picture in the run's own frames, let past its header, and heard back
// with the encoded result; then told to leave, as a run leaves a worker that answered.
// Each start waits for the previous worker to be gone, so none of them overlap and no
// spare hides the wait. Built natively (tessaly-batch is the worker) and by both Win32
// compilers (Tessaly.exe is); bench_builds runs all three and adds up the processor time
// of every process involved.
//
//   bench_worker_start PROGRAM PICTURE COUNT
//
// prints, in milliseconds per start, "answer" (start to result) and "ended" (start to
// the worker's exit) as mean, median and least, after one start that is not counted.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/workers/worker.h"
#include "engine/workers/worker_process.h"
#include "engine/workers/worker_protocol.h"
#include "settings/defaults.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The first-start settings: JPG at its default options, no resize.
WorkerJob TrivialJob(const Text& picture) {
  WorkerJob job{};
  ApplyDefaultSettings(&job.settings, Text());
  job.inputPath = picture;
  return job;
}

// Reads whole frames until the result, letting the job past its header on the way.
bool AwaitResult(WorkerProcess* worker, FileWork* work) {
  std::vector<uint8_t> inbox;
  for (;;) {
    size_t length = 0;
    if (!WholeFrameLength(inbox, &length)) return false;
    if (length == 0) {
      if (WorkerProcessRead(worker, 30000, &inbox) != WorkerRead::Data) return false;
      continue;
    }
    WorkerMessage kind = FrameKind(inbox.data());
    if (kind == WorkerMessage::Result) return ParseResult(inbox.data(), length, work);
    if (kind == WorkerMessage::Header && !WorkerProcessSend(worker, GoFrame())) return false;
    inbox.erase(inbox.begin(), inbox.begin() + static_cast<std::ptrdiff_t>(length));
  }
}

struct Start {
  double answerMs = 0;
  double endedMs = 0;
};

bool StartOnce(const Text& program, const std::vector<uint8_t>& jobFrame, Start* start) {
  Clock::time_point begun = Clock::now();
  Text reason;
  WorkerProcess* worker = WorkerProcessStart(program, WorkerMemoryCap(), &reason);
  if (!worker) {
    std::fprintf(stderr, "cannot start %s: %s\n", TextToUtf8(program).c_str(), TextToUtf8(reason).c_str());
    return false;
  }
  FileWork work;
  bool ok = WorkerProcessSend(worker, jobFrame) && AwaitResult(worker, &work);
  start->answerMs = MsSince(begun);
  Text how = WorkerProcessEnd(worker, !ok);
  start->endedMs = MsSince(begun);
  if (ok && (work.error != 0 || work.encoded.empty())) {
    std::fprintf(stderr, "the worker answered error %d: %s\n", work.error, TextToUtf8(work.detail).c_str());
    ok = false;
  }
  if (!how.empty()) std::fprintf(stderr, "the worker ended: %s\n", TextToUtf8(how).c_str());
  return ok;
}

void PrintFigures(const char* name, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double m : ms) sum += m;
  std::printf("%s %.3f %.3f %.3f\n", name, sum / ms.size(), ms[ms.size() / 2], ms.front());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::atoi(argv[3]) < 0) {
    std::fprintf(stderr, "usage: %s PROGRAM PICTURE COUNT\n", argv[0]);
    return 2;
  }
  Text program = TextFromUtf8(argv[1]);
  std::vector<uint8_t> jobFrame = JobFrame(TrivialJob(TextFromUtf8(argv[2])));
  int count = std::atoi(argv[3]);
  Start start;
  if (!StartOnce(program, jobFrame, &start)) return 1;  // the first one loads the caches
  std::vector<double> answers, ends;
  for (int i = 0; i < count; ++i) {
    if (!StartOnce(program, jobFrame, &start)) return 1;
    answers.push_back(start.answerMs);
    ends.push_back(start.endedMs);
  }
  std::printf("starts %d\n", count);
  if (count == 0) return 0;
  PrintFigures("answer", answers);
  PrintFigures("ended", ends);
  return 0;
}
