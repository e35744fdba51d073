// tessaly-batch: the converter without windows, for scripts and Linux users.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "app/batch_options.h"
#include "app/batch_run.h"
#include "app/startup.h"
#include "app/console_answer.h"
#include "base/filesys.h"
#include "engine/run/convert_files.h"
#include "engine/run/done_record.h"
#include "engine/codecs/image.h"
#include "engine/workers/worker.h"
#include "engine/workers/worker_process.h"

namespace {

// The program as its own worker (engine/workers/worker.h): no options, no settings file, only
// jobs over the channel it was handed.
int WorkerMain() {
  if (!WorkerChannelOpen(Text())) return 2;
  InitImageLibrary();
  QuietTiffWarnings();
  return RunWorkerLoop();
}

int Usage(const std::string& reason) {
  std::fprintf(stderr, "tessaly-batch: %s (see --help)\n", reason.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], kWorkerSwitch) == 0) return WorkerMain();
  BatchOptions options;
  std::string reason;
  if (!ParseBatchArgs(std::vector<std::string>(argv + 1, argv + argc), &options, &reason)) return Usage(reason);
  if (options.help) {
    std::fputs(BatchUsage().c_str(), stdout);
    return 0;
  }
  gConsoleAnswer = AnswerPolicy(options.onError, ::isatty(STDIN_FILENO) != 0);
  InitImageLibrary();
  QuietTiffWarnings();
  if (options.isolate) SetWorkerProgram(FsProgramPath());
  Text configPath = options.configPath.empty() ? ConfigPath() : options.configPath;
  SetRunOptions(RunOptions{options.jobs, options.shrinkOnLoad, 0, DoneRecordPathBeside(configPath)});
  std::string unusable = UnusableConfigReason(configPath);
  if (!unusable.empty() || LoadStartupSettings(configPath) == ConfigResult::ReadFailed) {
    if (unusable.empty()) unusable = TextToUtf8(FsLastErrorText());
    std::fprintf(stderr, "tessaly-batch: cannot read %s: %s\n", TextToUtf8(configPath).c_str(), unusable.c_str());
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
    BatchOutcome outcome = RunBatch(options.paths, options.dryRun);
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
