// The run: one coordinating thread walks the list, plans each entry, hands its file to
// the pool, and finishes the entries in list order (progress line, result written,
// entry stamped, question asked). Only this thread touches the list and the user.
#include "engine/run/convert_files.h"
#include "engine/run/convert_errors.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "base/filesys.h"
#include "base/machine.h"
#include "base/paths.h"
#include "base/utils.h"
#include "settings/formats.h"
#include "engine/codecs/image.h"
#include "engine/codecs/encode.h"
#include "engine/workers/job_pool.h"
#include "engine/run/done_record.h"
#include "engine/run/existing_outputs.h"
#include "engine/run/progress.h"
#include "base/run_state.h"
#include "input/collect.h"
#include "input/file_list.h"
#include "settings/signature.h"

namespace {

constexpr int32_t kDirectoryAttribute = 16;  // what IsDirectory answers for a folder
// The pool is waited on for at most this long before the run looks around again.
constexpr uint32_t kWaitMs = 1000;

std::mutex gOptionsLock;
RunOptions gOptions = {0, true, 0, Text()};

enum class Kind { Skipped, Failed, Converting };

// One entry the run has reached, from its plan until it is finished in list order.
struct Entry {
  Entry() = default;
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;
  ~Entry() { FsAbandonReplace(&output); }

  uint64_t tag = 0;
  int32_t index = 0;  // where it was last seen in the list
  OutputPlan plan;
  Text plannedPath;  // the output path the plan gave, before a counter was added
  FileFacts source;  // size and times of the input when it was planned
  Kind kind = Kind::Converting;
  int32_t error = 0;
  Text detail;
  PendingFile output;      // the temporary its result is written to
  bool done = false;       // its conversion has answered
  uint32_t bytesRead = 0;  // set once decoded
  bool shown = false;      // its progress line is up
  bool skippedAsDone = false;  // skipped: done, rather than a file not ours kept
  bool sourceKept = false;  // keep if smaller: the source stood in for its larger result
  bool nothingWritten = false;  // ... and, beside the source, nothing was written
  FileWork work;
};

struct RunContext {
  RunContext(const RunOptions& options, const AppSettings& runSettings)
      : settings(runSettings),
        jobs(std::max(options.jobs, 1)),
        pool(jobs, options.memoryBudget ? options.memoryBudget : DefaultMemoryBudget(),
             FileWorkOptions{options.shrinkOnLoad}),
        recordPath(options.recordPath) {}

  const AppSettings& settings;
  int32_t jobs;
  JobPool pool;
  // What earlier runs wrote, beside the settings; none when the front end keeps no record.
  Text recordPath;
  DoneRecord record;
  uint32_t stamp = 0;  // what converted entries carry: ConversionStamp of the signature
  Text outputFolder;   // mode 0 only
  // The outputs this run has written or found up to date (FsPathKey), with the input
  // each came from.
  std::unordered_map<Text, Text> outputs;
  // Every entry text the run has reached; the next entry is the first one after them.
  std::unordered_set<Text> reached;
  int32_t cursor = 0;
  uint64_t nextTag = 0;
  std::deque<std::unique_ptr<Entry>> queue;
  bool ending = false;
  RunEnd end = RunEnd::Finished;
  bool dry = false;  // a dry run: plans, and creates nothing
};

RunOptions Resolved(RunOptions options) {
  if (options.jobs <= 0) options.jobs = DefaultJobCount();
  return options;
}

// The checks before the first file. A code other than 0 ends the run after its
// question, whatever the answer.
int32_t PrepareRun(RunContext* run) {
  const AppSettings& settings = run->settings;
  run->stamp = ConversionStamp(SettingsSignature(settings, true));
  if (!run->recordPath.empty()) run->record.Load(run->recordPath);
  if (FileListCount() == 0) return kErrorEmptyList;
  if (settings.OutputMode == 0) {
    TextView folder = FieldView(settings.OutputFolder);
    if (folder.empty()) return kErrorNoOutputFolder;
    run->outputFolder = WithTrailingBackslash(folder);
  }
  if (!CanWriteFormat(TargetFormatOf(settings))) return kErrorUnknownTarget;
  if (settings.OutputMode == 0 && !run->dry) FsCreateDirectory(run->outputFolder);
  return 0;
}

// ---- Walking the list ---------------------------------------------------------------

// The first entry the run has not reached, or -1. Entries are taken by their place in
// the list, but deleting entries above the cursor moves the rest up: the cursor moves
// back over entries the run has not reached, so none of them is passed over.
int32_t NextEntry(RunContext& run, Text* text) {
  int32_t count = FileListCount();
  int32_t i = std::min(run.cursor, count);
  while (i > 0 && !run.reached.count(FileListText(i - 1))) --i;
  for (; i < count; ++i) {
    *text = FileListText(i);
    if (!run.reached.count(*text)) break;
  }
  run.cursor = i;
  return i < count ? i : -1;
}

// Where the entry is now, or -1 once it was deleted.
int32_t Locate(Entry& entry) {
  if (FileListText(entry.index) != entry.plan.inputPath) {
    int32_t found = FileListFind(entry.plan.inputPath);
    if (found < 0 || FileListText(found) != entry.plan.inputPath) return -1;
    entry.index = found;
  }
  return entry.index;
}

// ---- Planning an entry ----------------------------------------------------------------

// The output another entry of this run already wrote or holds up to date, if any:
// within one run, a second source never replaces the first one's result. An entry that
// went to a counter name holds the name it was planned with as well: a second source of
// that name collides with it rather than taking the next counter.
const Text* EarlierSource(const RunContext& run, const OutputPlan& plan) {
  auto found = run.outputs.find(FsPathKey(plan.outputPath));
  return found == run.outputs.end() || found->second == plan.inputPath ? nullptr : &found->second;
}

bool Holds(const Entry& e, const Text& key) {
  return e.plan.error == 0 && (FsPathKey(e.plan.outputPath) == key || FsPathKey(e.plannedPath) == key);
}

// An earlier entry not finished yet may still write that output, or fail to: the
// entry waits until that is known.
bool OutputUndecided(const RunContext& run, const OutputPlan& plan) {
  Text key = FsPathKey(plan.outputPath);
  return std::any_of(run.queue.begin(), run.queue.end(), [&key](const auto& e) { return Holds(*e, key); });
}

bool TakenInRun(const RunContext& run, TextView path) {
  Text key = FsPathKey(path);
  return run.outputs.count(key) != 0 ||
         std::any_of(run.queue.begin(), run.queue.end(), [&key](const auto& e) { return Holds(*e, key); });
}

void KeepOutput(RunContext& run, const Entry& entry) {
  run.outputs.emplace(FsPathKey(entry.plan.outputPath), entry.plan.inputPath);
  run.outputs.emplace(FsPathKey(entry.plannedPath), entry.plan.inputPath);
}

// Done, ours, or someone else's: what becomes of the file at the output's path.
int32_t DecideExisting(const RunContext& run, Entry* entry) {
  OutputQuery query;
  query.inputPath = entry->plan.inputPath;
  query.source = entry->source;
  query.outputPath = entry->plan.outputPath;
  query.existingRule = ExistingFilesRule(run.settings);
  query.record = run.recordPath.empty() ? nullptr : &run.record;
  query.signature = run.stamp;
  query.stampSaysDone = FileListStamp(entry->index) == run.stamp;
  OutputChoice choice = ChooseOutput(query, [&run](TextView path) { return TakenInRun(run, path); });
  entry->plan.outputPath = choice.path;
  if (choice.action == OutputAction::SkipDone || choice.action == OutputAction::SkipExisting) entry->kind = Kind::Skipped;
  entry->skippedAsDone = choice.action == OutputAction::SkipDone;
  if (choice.action == OutputAction::Refused) entry->detail = DisplayText(choice.path);
  return choice.error;
}

// The folder an output goes to: mode 1's subfolder is one level in the source's folder;
// a tree mirrored below the output folder of mode 0 may need every level.
void MakeOutputFolder(const RunContext& run, const OutputPlan& plan) {
  if (run.settings.OutputMode == 1 && IsDirectory(plan.outputFolder) != kDirectoryAttribute)
    FsCreateDirectory(plan.outputFolder);
  if (run.settings.OutputMode == 0 && plan.outputFolder.size() > run.outputFolder.size() &&
      !FsIsDirectory(plan.outputFolder))
    FsCreateDirectories(plan.outputFolder);
}

int32_t Classify(const RunContext& run, Entry* entry) {
  const OutputPlan& plan = entry->plan;
  entry->plannedPath = plan.outputPath;
  if (plan.error == kErrorOutputTooLong) entry->detail = DisplayText(plan.outputPath);
  if (plan.error != 0) return plan.error;
  FsFileFacts(plan.inputPath, &entry->source);
  if (!run.dry) MakeOutputFolder(run, plan);
  // An output folder that is the source folder and a target of the source's own type
  // (IMG.JPG to IMG.jpg is one file on Windows) would put the converted picture in
  // place of the original.
  if (FsSameFile(plan.inputPath, plan.outputPath)) return kErrorOutputIsSource;
  if (const Text* earlier = EarlierSource(run, plan)) {
    entry->detail = DisplayText(plan.outputPath) + u" — из файла " + DisplayText(*earlier);
    return kErrorOutputTaken;
  }
  return DecideExisting(run, entry);
}

// A stop asked for while files are under way lets them finish and begins no more; the
// first file after a run of skipped ones still converts, as it would alone.
bool MayBegin(RunContext& run) {
  if (gRunState.load() != kRunIdle || run.pool.Busy() == 0) return true;
  run.ending = true;
  run.end = RunEnd::Stopped;
  return false;
}

// The temporary is made before any work: a folder that cannot take the file is
// reported at once, with the system's reason.
void Begin(RunContext& run, Entry& entry) {
  Text reason;
  // The output takes the source's times before it takes its name: a sorted archive
  // stays in the order its pictures were made.
  if (run.settings.KeepDates) {
    entry.output.modified = entry.source.modified;
    entry.output.created = entry.source.created;
  }
  if (!FsBeginReplace(entry.plan.outputPath, &entry.output, &reason)) {
    entry.kind = Kind::Failed;
    entry.error = kErrorWriteFile;
    entry.detail = DisplayText(entry.plan.outputPath) + u": " + reason;
    return;
  }
  run.pool.Begin(entry.tag, entry.plan.inputPath, run.settings);
}

size_t Converting(const RunContext& run) {
  return std::count_if(run.queue.begin(), run.queue.end(), [](const auto& e) { return e->kind == Kind::Converting; });
}

// Plans entries while the pool has room and the results waiting to be written in list
// order stay few.
void PlanAhead(RunContext& run) {
  const size_t maxHeld = static_cast<size_t>(2 * run.jobs);
  while (!run.ending && run.pool.HasRoom() && Converting(run) < maxHeld) {
    Text text;
    int32_t index = NextEntry(run, &text);
    if (index < 0) return;
    auto entry = std::make_unique<Entry>();
    entry->plan = PlanOutput(run.settings, text, run.outputFolder, FileListRootUnits(index));
    if (entry->plan.error == 0 && OutputUndecided(run, entry->plan)) return;
    entry->index = index;
    entry->tag = run.nextTag++;
    entry->error = Classify(run, entry.get());
    if (entry->error != 0) entry->kind = Kind::Failed;
    if (entry->kind == Kind::Converting && !MayBegin(run)) return;
    if (entry->kind == Kind::Converting) Begin(run, *entry);
    run.reached.insert(text);
    run.cursor = index + 1;
    bool asks = entry->kind == Kind::Failed;
    run.queue.push_back(std::move(entry));
    // Its question may end the run: nothing after it begins before it is answered.
    if (asks) return;
  }
}

// ---- Finishing entries in list order --------------------------------------------------

void ShowDecoded(Entry& entry) {
  if (entry.shown || entry.bytesRead == 0) return;
  int32_t index = Locate(entry);
  if (index < 0) return;
  ShowProgress(index, FileListCount(), entry.bytesRead, entry.plan.fileName);
  entry.shown = true;
}

// The result goes over the output only now, in list order: an entry deleted while its
// file converted leaves nothing behind.
// Keep if smaller: a result larger than its source, of its format and size, gives way to
// the source. Beside the source (mode 2) nothing is written, true: the source is the
// result; elsewhere the output becomes the source's very bytes.
bool KeepSourceInstead(const RunContext& run, Entry& entry) {
  if (run.settings.OutputMode == 2) {
    FsAbandonReplace(&entry.output);
    entry.sourceKept = entry.nothingWritten = true;
    return true;
  }
  std::vector<uint8_t> source;
  // A source that changed under the run keeps its result.
  if (FsReadWholeFile(entry.plan.inputPath, &source) != ReadResult::Ok || source.size() != entry.work.bytesRead)
    return false;
  entry.work.encoded.swap(source);
  entry.sourceKept = true;
  return false;
}

int32_t Write(const RunContext& run, Entry& entry) {
  if (entry.work.error != 0) {
    FsAbandonReplace(&entry.output);
    entry.detail = std::move(entry.work.detail);
    return entry.work.error;
  }
  if (SourceIsBetter(run.settings.KeepIfSmaller != 0, entry.work) && KeepSourceInstead(run, entry)) return 0;
  Text reason;
  if (FsCommitReplace(&entry.output, entry.work.encoded.data(), entry.work.encoded.size(), &reason)) return 0;
  entry.detail = DisplayText(entry.plan.outputPath) + u": " + reason;
  return kErrorWriteFile;
}

// The output as it now is goes into the record: the next run, in this session or after a
// restart, knows it for ours and, while its source stays as it is, for done.
void NoteDone(RunContext& run, const Entry& entry) {
  if (run.recordPath.empty()) return;
  DoneMark mark;
  mark.output = PathHash(entry.plan.outputPath);
  mark.source = PathHash(entry.plan.inputPath);
  mark.sourceSize = entry.source.size;
  mark.sourceTime = entry.source.modified;
  mark.signature = run.stamp;
  FileFacts written;
  if (entry.nothingWritten) {
    mark.outputSize = kNothingWritten;
    run.record.Note(mark);
    return;
  }
  if (!FsFileFacts(entry.plan.outputPath, &written)) return;
  mark.outputSize = written.size;
  mark.outputTime = written.modified;
  run.record.Note(mark);
}

// A failure once the run is ending is counted and listed, but asks nothing more.
int32_t Fail(const RunContext& run, const Entry& entry, int32_t error, RunResult* result) {
  ++result->failed;
  result->failures.push_back({entry.plan.inputPath, error});
  return run.ending ? 0 : ReportConvertError(error, entry.plan.fileName, entry.detail);
}

// A file that went through the steps: written and stamped, or asked about.
int32_t FinishProcessed(RunContext& run, Entry& entry, int32_t index, RunResult* result) {
  ShowDecoded(entry);
  int32_t error = entry.kind == Kind::Failed ? entry.error : Write(run, entry);
  if (error != 0) return Fail(run, entry, error, result);
  FileListSetStamp(index, run.stamp);
  KeepOutput(run, entry);
  NoteDone(run, entry);
  ++result->converted;
  if (entry.sourceKept) ++result->keptSources;
  return 0;
}

void Finish(RunContext& run, Entry& entry, RunResult* result) {
  int32_t index = Locate(entry);
  // Deleted during the run, or planned but not reached once the run was ending.
  if (index < 0 || (run.ending && entry.kind != Kind::Converting)) return;
  if (entry.kind == Kind::Skipped) {
    ShowProgress(index, FileListCount(), 0, entry.plan.fileName);
    KeepOutput(run, entry);
    ++result->skipped;
    return;  // a skipped file is no processed file
  }
  int32_t answer = FinishProcessed(run, entry, index, result);
  if (!run.ending && answer == kIdNo) run.end = RunEnd::Declined;
  else if (!run.ending && gRunState.load() == kRunIdle) run.end = RunEnd::Stopped;
  run.ending = run.ending || run.end != RunEnd::Finished;
  DebugTrace(u"Index:" + NumberWithBlank(index) + u", Name: " + entry.plan.fileName);
}

void FinishReady(RunContext& run, RunResult* result) {
  while (!run.queue.empty()) {
    Entry& head = *run.queue.front();
    if (head.kind == Kind::Converting && !head.done) {
      ShowDecoded(head);
      return;
    }
    Finish(run, head, result);
    run.queue.pop_front();
  }
}

bool HeadWaits(const RunContext& run) {
  return !run.queue.empty() && run.queue.front()->kind == Kind::Converting && !run.queue.front()->done;
}

void Receive(RunContext& run, std::vector<PoolNews> news) {
  for (PoolNews& item : news) {
    auto found = std::find_if(run.queue.begin(), run.queue.end(), [&](const auto& e) { return e->tag == item.tag; });
    if (found == run.queue.end()) continue;
    Entry& entry = **found;
    if (item.kind == JobNews::Decoded) entry.bytesRead = item.report.bytesRead;
    if (item.kind != JobNews::Done) continue;
    entry.work = std::move(item.report.result);
    entry.done = true;
  }
}

// The folders that could not be read while the list was gathered are this run's to
// name: listed among its failures, once, without a question (nothing was tried in them).
void NameUnreadableFolders(RunResult* result) {
  for (Text& folder : TakeUnreadableFolders()) {
    ++result->failed;
    result->failures.push_back({std::move(folder), kErrorFolderUnreadable});
  }
}

}  // namespace

void SetRunOptions(const RunOptions& options) {
  std::lock_guard<std::mutex> hold(gOptionsLock);
  gOptions = options;
}

RunOptions CurrentRunOptions() {
  std::lock_guard<std::mutex> hold(gOptionsLock);
  return Resolved(gOptions);
}

int32_t DefaultJobCount() {
  unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : static_cast<int32_t>(std::min(count, 64u));
}

uint64_t DefaultMemoryBudget() {
  return PhysicalMemoryBytes() / 4;
}

namespace {

PlannedAction ActionOf(const Entry& entry, bool skippedAsDone) {
  if (entry.kind == Kind::Converting) return PlannedAction::Convert;
  if (entry.kind == Kind::Skipped) return skippedAsDone ? PlannedAction::SkipDone : PlannedAction::SkipExisting;
  if (entry.error == kErrorOutputTaken) return PlannedAction::Collision;
  if (entry.error == kErrorOutputTooLong) return PlannedAction::TooLong;
  return PlannedAction::Fails;
}

}  // namespace

void PlanFiles(const AppSettings& settings, RunResult* result, const std::function<void(const PlannedFile&)>& tell) {
  NameUnreadableFolders(result);
  for (const FailedFile& folder : result->failures) tell({folder.path, Text(), PlannedAction::Fails, folder.code, {}});
  RunContext run(CurrentRunOptions(), settings);
  run.dry = true;
  if (int32_t error = PrepareRun(&run)) {
    result->runError = error;
    return;
  }
  int32_t count = FileListCount();
  for (int32_t i = 0; i < count; ++i) {
    Entry entry;
    entry.index = i;
    entry.plan = PlanOutput(settings, FileListText(i), run.outputFolder, FileListRootUnits(i));
    entry.error = Classify(run, &entry);
    if (entry.error != 0) entry.kind = Kind::Failed;
    // What the record or the session says is done, against a foreign file kept.
    bool done = entry.kind == Kind::Skipped && entry.skippedAsDone;
    PlannedFile told{entry.plan.inputPath, entry.plan.outputPath, ActionOf(entry, done), entry.error, entry.detail};
    if (entry.kind == Kind::Failed) {
      ++result->failed;
      result->failures.push_back({entry.plan.inputPath, entry.error});
    } else {
      KeepOutput(run, entry);
      ++(entry.kind == Kind::Skipped ? result->skipped : result->converted);
    }
    tell(told);
  }
}

void ConvertFiles(const AppSettings& settings, RunResult* result) {
  NameUnreadableFolders(result);
  RunContext run(CurrentRunOptions(), settings);
  if (int32_t error = PrepareRun(&run)) {
    result->runError = error;
    ReportConvertError(error, Text());
    return;
  }
  // The end of the list is read again for every entry: files handed over during the
  // run are appended and converted by it, deleted entries end it sooner.
  for (;;) {
    FinishReady(run, result);
    PlanAhead(run);
    if (run.queue.empty()) break;
    if (HeadWaits(run)) Receive(run, run.pool.Wait(kWaitMs));
  }
  result->end = run.end;
  // A record that cannot be written only costs the next run its skips.
  if (!run.recordPath.empty()) run.record.Save(run.recordPath);
}
