// What a worker process answers is read as untrusted bytes: a worker that went wrong
// may send anything, and the run must only refuse it.
#include <cstdlib>
#include <memory>
#include <vector>

#include "engine/workers/worker_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  size_t length = 0;
  if (!WholeFrameLength(bytes, &length) || length == 0) return 0;
  if (length > bytes.size()) std::abort();
  const uint8_t* frame = bytes.data();
  FileWork work;
  uint64_t pixels = 0, peak = 0;
  uint32_t read = 0;
  auto job = std::make_unique<WorkerJob>();
  if (ParseResult(frame, length, &work) && ResultFrame(work) != std::vector<uint8_t>(frame, frame + length))
    std::abort();
  ParseHeader(frame, length, &pixels, &peak);
  ParseGo(frame, length);
  ParseDecoded(frame, length, &read);
  if (ParseJob(frame, length, job.get()) && JobFrame(*job) != std::vector<uint8_t>(frame, frame + length)) std::abort();
  return 0;
}
