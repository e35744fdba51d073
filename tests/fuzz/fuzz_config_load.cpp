// Config.dat as the program reads it at start and writes it at the end: any bytes must
// load without a fault, and the saved file must never mean "first start" again.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/startup.h"
#include "base/filesys.h"

namespace {

Text ScratchPath() {
  // tmpfs where there is one: every save flushes its file.
  static const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  static const std::string path = folder + "/tessaly-fuzz-load-" + std::to_string(::getpid()) + ".dat";
  return TextFromUtf8(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Text path = ScratchPath();
  if (!FsWriteFileReplacing(path, data, size)) return 0;
  gAppSettings = AppSettings{};
  gSettingsLoaded = false;
  LoadStartupSettings(path);
  MemoryProfileList profiles;
  LoadConfig(path, &profiles);
  int32_t count = profiles.Count();
  for (int32_t i = 0; i < count; ++i)
    if (profiles.At(i)->Id == 0) std::abort();  // a profile without a number is renumbered at every start
  if (SaveShutdownSettings(path, &profiles) != ConfigResult::Ok) return 0;
  if (gAppSettings.LaunchCount < 1) std::abort();  // the next start would throw the settings away
  return 0;
}
