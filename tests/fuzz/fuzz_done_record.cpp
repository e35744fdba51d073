// Converted.dat as a run reads it: any bytes decode without a fault or not at all; what
// decodes encodes back to the very bytes; and whatever the file held, a run that notes an
// output saves a record the next run reads with that output in it.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "base/filesys.h"
#include "engine/run/done_record.h"

namespace {

Text ScratchPath() {
  static const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  static const std::string path = folder + "/tessaly-fuzz-done-" + std::to_string(::getpid()) + ".dat";
  return TextFromUtf8(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  std::vector<DoneMark> marks;
  if (DoneRecord::Decode(bytes, &marks) && DoneRecord::Encode(marks) != bytes) std::abort();
  Text path = ScratchPath();
  if (!FsWriteFileReplacing(path, data, size)) return 0;
  DoneRecord record;
  record.Load(path);
  DoneMark mark;
  mark.output = 0x5EED;
  mark.outputSize = size;
  record.Note(mark);
  if (!record.Save(path)) return 0;
  DoneRecord again;
  if (!again.Load(path) || !again.Find(0x5EED) || again.Find(0x5EED)->outputSize != size) std::abort();
  return 0;
}
