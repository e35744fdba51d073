// One conversion run of tessaly-batch: the paths go into the list the way a command
// line does in the window, the pipeline runs on a worker thread, and the numbers come
// back for the summary line and the exit status.
#pragma once

#include <string>
#include <vector>

#include "app/batch_options.h"
#include "app/console_answer.h"
#include "engine/run/convert_files.h"

struct BatchOutcome {
  RunResult result;
  int32_t listed = 0;  // entries the run started with
  double seconds = 0;
  // Paths longer than an entry may be: never listed, each named on standard error and
  // counted among the failed.
  std::vector<Text> leftOut;
  // Folders of a walked tree that could not be listed: each named on standard error and
  // counted among the failed by the run.
  int32_t unreadableFolders = 0;
};

// A relative path made absolute against the working folder: the pipeline needs a
// folder part to build the output path, as the window's paths always have.
Text AbsolutePath(TextView path, TextView workingFolder);

// Every path through AddPath, in order, then one run on a std::thread worker
// while this thread waits; or, dry, the run's plan printed on standard output.
BatchOutcome RunBatch(const std::vector<Text>& paths, bool dryRun = false);
// One line of a dry run: what would happen, the file, and where its output would go.
std::string PlannedLine(const PlannedFile& file);

// "Done: 3 converted, 1 skipped, 0 failed in 2.41 s", with the entries a stopped run
// did not reach and the reason a run ended before its first file.
std::string SummaryLine(const BatchOutcome& outcome);
// 0 when nothing failed, 1 when a file failed or the run could not start.
int ExitStatus(const RunResult& result);

// Why the settings file named on the command line cannot be used, or empty. A folder of
// that name is no missing file: taking it for one would quietly put the defaults in
// place of the settings the user named.
std::string UnusableConfigReason(TextView configPath);

// What an error question does: as asked, else ask at a terminal and go on otherwise.
ConsoleAnswer AnswerPolicy(OnErrorPolicy policy, bool stdinIsTerminal);

// Debian's FreeImage reads TIFF through the system libtiff, which prints an "unknown
// tag" line for each EXIF field it is asked about; a file that really fails still comes
// back as no image and is reported by the run.
void QuietTiffWarnings();
