#include "app/batch_run.h"

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <thread>

#include "base/filesys.h"
#include "engine/run/convert_errors.h"
#include "engine/run/run.h"
#include "input/collect.h"
#include "input/file_list.h"

namespace {

Text WorkingFolder() {
  char buf[PATH_MAX];
  return ::getcwd(buf, sizeof buf) ? TextFromUtf8(buf) : Text();
}

const char* RunErrorText(int32_t code) {
  switch (code) {
    case kErrorEmptyList: return "no file to convert (the list is empty)";
    case kErrorNoOutputFolder: return "no output folder for --out-mode folder";
    case kErrorUnknownTarget: return "the target format cannot be written";
    default: return nullptr;
  }
}

}  // namespace

Text AbsolutePath(TextView path, TextView workingFolder) {
  if (path.empty() || IsPathSeparator(path[0]) || workingFolder.empty()) return Text(path);
  Text folder(workingFolder);
  if (!IsPathSeparator(folder.back())) folder.push_back(kPathSeparator);
  return folder + Text(path);
}

std::string PlannedLine(const PlannedFile& file) {
  const char* what = "convert";
  switch (file.action) {
    case PlannedAction::Convert: break;
    case PlannedAction::SkipDone: what = "skip, done"; break;
    case PlannedAction::SkipExisting: what = "skip, exists"; break;
    case PlannedAction::Collision: what = "collision"; break;
    case PlannedAction::TooLong: what = "too long"; break;
    case PlannedAction::Fails: what = "fails"; break;
  }
  std::string line = std::string(what) + std::string(14 - std::strlen(what), ' ') + TextToUtf8(DisplayText(file.inputPath));
  if (!file.outputPath.empty()) line += " -> " + TextToUtf8(DisplayText(file.outputPath));
  if (file.action == PlannedAction::Fails || file.action == PlannedAction::Collision)
    line += " (" + TextToUtf8(ConvertErrorReason(file.code)) + (file.detail.empty() ? "" : ": " + TextToUtf8(DisplayText(file.detail))) + ")";
  return line;
}

BatchOutcome RunBatch(const std::vector<Text>& paths, bool dryRun) {
  Text here = WorkingFolder();
  // The shell has split and unquoted the arguments already: a quote left in one is part
  // of the name, so they skip the quote stripping meant for a Windows command line.
  BatchOutcome outcome;
  TakeLeftOutPaths();
  for (const Text& path : paths) {
    Text absolute = AbsolutePath(path, here);
    if (absolute.size() > kMaxEntryUnits) outcome.leftOut.push_back(absolute);
    else AddPath(absolute);
  }
  for (Text& path : TakeLeftOutPaths()) outcome.leftOut.push_back(std::move(path));
  for (const Text& path : outcome.leftOut)
    std::fprintf(stderr, "tessaly-batch: left out, the path is longer than %zu characters: %s\n", kMaxEntryUnits,
                 TextToUtf8(DisplayText(path)).c_str());
  outcome.listed = FileListCount();
  auto start = std::chrono::steady_clock::now();
  RunBlock block;
  block.pauseMs = 0;
  if (dryRun) {
    PlanFiles(gAppSettings, &block.result, [](const PlannedFile& file) { std::printf("%s\n", PlannedLine(file).c_str()); });
  } else if (BeginRun(&block, gAppSettings)) {
    gRunState = kRunRunning;
    std::thread worker(ConvertThreadMain, &block);
    worker.join();
    gRunState = kRunIdle;
  }
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  outcome.result = block.result;
  for (const FailedFile& failure : outcome.result.failures) {
    if (failure.code != kErrorFolderUnreadable) continue;
    ++outcome.unreadableFolders;
    std::fprintf(stderr, "tessaly-batch: cannot read the folder, its files are left out: %s\n",
                 TextToUtf8(DisplayText(failure.path)).c_str());
  }
  outcome.result.failed += static_cast<int32_t>(outcome.leftOut.size());
  return outcome;
}

std::string SummaryLine(const BatchOutcome& outcome) {
  const RunResult& r = outcome.result;
  char buf[200];
  std::string kept = r.keptSources > 0 ? " (" + std::to_string(r.keptSources) + " kept as the smaller source)" : "";
  std::snprintf(buf, sizeof buf, "Done: %d converted%s, %d skipped, %d failed in %.2f s", r.converted, kept.c_str(),
                r.skipped, r.failed, outcome.seconds);
  std::string line = buf;
  int32_t reached =
      r.converted + r.skipped + r.failed - static_cast<int32_t>(outcome.leftOut.size()) - outcome.unreadableFolders;
  if (const char* reason = RunErrorText(r.runError)) line += std::string("; ") + reason;
  else if (reached < outcome.listed) line += "; " + std::to_string(outcome.listed - reached) + " not reached";
  if (r.faulted) line += "; ended by an unexpected fault (see the error log)";
  return line;
}

int ExitStatus(const RunResult& result) {
  return result.failed > 0 || result.runError != 0 || result.faulted ? 1 : 0;
}

std::string UnusableConfigReason(TextView configPath) {
  return FsIsDirectory(configPath) ? "it is a folder" : std::string();
}

ConsoleAnswer AnswerPolicy(OnErrorPolicy policy, bool stdinIsTerminal) {
  switch (policy) {
    case OnErrorPolicy::Continue: return ConsoleAnswer::Continue;
    case OnErrorPolicy::Stop: return ConsoleAnswer::Stop;
    case OnErrorPolicy::Ask: return ConsoleAnswer::Ask;
    case OnErrorPolicy::Default: break;
  }
  return stdinIsTerminal ? ConsoleAnswer::Ask : ConsoleAnswer::Continue;
}

void QuietTiffWarnings() {
  using Handler = void (*)(const char*, const char*, va_list);
  using SetHandler = Handler (*)(Handler);
  for (const char* name : {"TIFFSetWarningHandler", "TIFFSetErrorHandler"}) {
    if (auto set = reinterpret_cast<SetHandler>(::dlsym(RTLD_DEFAULT, name))) set(nullptr);
  }
}
