// Config.dat read and written, then read and written again: the two files are equal
// byte for byte (a profile numbered 0 would be renumbered, a count would drift).
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "base/filesys.h"
#include "settings/config_file.h"

namespace {

Text ScratchPath() {
  // tmpfs where there is one: every save flushes its file.
  static const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  static const std::string path = folder + "/tessaly-fuzz-roundtrip-" + std::to_string(::getpid()) + ".dat";
  return TextFromUtf8(path);
}

bool LoadAndSave(TextView path, std::vector<uint8_t>* saved) {
  gAppSettings = AppSettings{};
  gSettingsLoaded = false;
  MemoryProfileList profiles;
  if (LoadConfig(path, &profiles) != ConfigResult::Ok) return false;
  if (SaveConfig(path, &profiles) != ConfigResult::Ok) return false;
  return FsReadWholeFile(path, saved) == ReadResult::Ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Text path = ScratchPath();
  if (!FsWriteFileReplacing(path, data, size)) return 0;
  std::vector<uint8_t> first, second;
  if (!LoadAndSave(path, &first) || !LoadAndSave(path, &second)) return 0;
  if (first != second) std::abort();
  return 0;
}
