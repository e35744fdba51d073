// What the file-system port's platform forms share.
#include "base/filesys.h"

#include <cstdint>

// The whole file is its head without a limit; each platform's head reader refuses what
// it cannot hold (4 GiB or more, where one read takes a 32-bit count).
ReadResult FsReadWholeFile(TextView path, std::vector<uint8_t>* out) {
  uint64_t size = 0;
  return FsReadFileHead(path, SIZE_MAX, out, &size);
}
