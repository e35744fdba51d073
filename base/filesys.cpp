// What the file-system port's platform forms share.
#include "base/filesys.h"

#include <cstdint>

// The whole file is its head without a limit; each platform's head reader refuses what
// it cannot hold (4 GiB or more, where one read takes a 32-bit count).
ReadResult FsReadWholeFile(TextView path, std::vector<uint8_t>* out) {
  uint64_t size = 0;
  return FsReadFileHead(path, SIZE_MAX, out, &size);
}

bool FsCreateDirectories(TextView path) {
  if (path.empty() || FsIsDirectory(path)) return !path.empty();
  // Each level from the top; a level that exists already (a drive, a share, a folder
  // the user made) is simply passed, and only the last answer counts.
  bool made = false;
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != kPathSeparator) continue;
    TextView level = path.substr(0, i);
    // "C:" is a drive, not a folder to make in the current one.
    if (level.back() == kPathSeparator || level.back() == u':') continue;
    made = FsCreateDirectory(level);
  }
  return made || FsIsDirectory(path);
}
