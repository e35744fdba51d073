// tessaly-batch: the converter without windows, for scripts and Linux users.
#include <unistd.h>

#include <cstdio>

#include "app/batch_options.h"
#include "app/batch_run.h"
#include "app/startup.h"
#include "diag/console_answer.h"
#include "engine/image.h"

namespace {

int Usage(const std::string& reason) {
  std::fprintf(stderr, "tessaly-batch: %s (see --help)\n", reason.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  BatchOptions options;
  std::string reason;
  if (!ParseBatchArgs(std::vector<std::string>(argv + 1, argv + argc), &options, &reason)) return Usage(reason);
  if (options.help) {
    std::fputs(BatchUsage(), stdout);
    return 0;
  }
  gConsoleAnswer = AnswerPolicy(options.onError, ::isatty(STDIN_FILENO) != 0);
  InitImageLibrary();
  QuietTiffWarnings();
  Text configPath = options.configPath.empty() ? ConfigPath() : options.configPath;
  if (LoadStartupSettings(configPath) == ConfigResult::ReadFailed) {
    std::fprintf(stderr, "tessaly-batch: cannot read %s\n", TextToUtf8(configPath).c_str());
    return 1;
  }
  MemoryProfileList profiles;
  LoadConfig(configPath, &profiles);
  if (!ApplyProfileOptions(options, &profiles, &gAppSettings, &reason)) {
    std::fprintf(stderr, "tessaly-batch: %s", reason.c_str());
    if (reason.back() != '\n') std::fputc('\n', stderr);
    return 2;
  }
  if (options.listProfiles) std::fputs(ProfileListing(profiles, gAppSettings).c_str(), stdout);
  if (options.showSettings) std::fputs(SettingsListing(gAppSettings).c_str(), stdout);
  int status = 0;
  if (!options.paths.empty()) {
    BatchOutcome outcome = RunBatch(options.paths);
    std::printf("%s\n", SummaryLine(outcome).c_str());
    status = ExitStatus(outcome.result);
  }
  if (options.save) {
    if (SaveShutdownSettings(configPath, &profiles) != ConfigResult::Ok) {
      std::fprintf(stderr, "tessaly-batch: cannot write %s; the old file is unchanged\n",
                   TextToUtf8(configPath).c_str());
      return 1;
    }
  }
  return status;
}
