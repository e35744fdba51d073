// Path collection: command-line text, dropped names and chosen folders become FileList
// entries through one routine that applies the clear rule, the folder rule, the extension
// filter and the duplicate rule, and then refreshes the counters.
#include "input/collect.h"

#include <chrono>
#include <mutex>
#include <unordered_set>

#include "base/error_log.h"
#include "base/filesys.h"
#include "base/paths.h"
#include "base/run_state.h"
#include "base/utils.h"
#include "base/ui_port.h"
#include "input/file_list.h"
#include "settings/app_settings.h"

namespace {

constexpr int32_t kClearListOn = 8;

std::mutex gLeftOutLock;
std::vector<Text> gLeftOut;
constexpr int32_t kDirectoryAttribute = 16;

// Characters that never belong in a filter. The comma is the one separator that survives;
// the preset list keeps the vertical bar because it separates presets.
constexpr char16_t kFilterStrays[] = u" `|.!@#$%^&*()_-=+~{}[]\"><?/\\:;'";
constexpr char16_t kPresetStrays[] = u" `.!@#$%^&*()_-=+~{}[]\"><?/\\:;'";

// One left-to-right pass: a replacement is never searched again within the same pass,
// which is why the filter needs a second ",," pass.
Text ReplaceAll(TextView text, TextView what, TextView with) {
  Text out;
  size_t at = 0;
  for (size_t hit; (hit = text.find(what, at)) != TextView::npos; at = hit + what.size()) {
    out.append(text.substr(at, hit - at));
    out.append(with);
  }
  out.append(text.substr(at));
  return out;
}

Text StripBlanksAndCommas(TextView text) {
  size_t first = text.find_first_not_of(u" ,");
  if (first == TextView::npos) return Text();
  size_t last = text.find_last_not_of(u" ,");
  return Text(text.substr(first, last - first + 1));
}

Text RemoveUnits(TextView text, TextView strays) {
  Text out;
  out.reserve(text.size());
  for (char16_t c : text)
    if (strays.find(c) == TextView::npos) out.push_back(c);
  return out;
}

// Units after the last '.' of the last path component. SplitPath gives no name for a
// path longer than 260 units, so such a path has no extension and is never added.
Text FileExtension(TextView path) {
  Text name = SplitPath(path).name;
  size_t dot = name.rfind(u'.');
  return dot == Text::npos ? Text() : name.substr(dot + 1);
}

// Additions from the first path of a hand-over, drop or command to the last are one
// batch: the list is not drawn per file, and every few tenths of a second the counts are
// shown and the window repainted, so a long add shows how far it has come.
constexpr auto kShowAddedEvery = std::chrono::milliseconds(200);
int gBatchDepth = 0;
std::chrono::steady_clock::time_point gLastShown;
int64_t gFilesAdded = 0;
int64_t gAddedBeforeBatch = 0;

// When the batch added files, the list ends scrolled to the last of them: they are
// appended below the rows in view, where the user would not see them.
// The filter as the test compares with it: lower case, a comma after the last item.
Text FilterForTest() {
  Text filter = Cut(UiFilterText(), kMaxFilterUnits);
  if (filter.empty()) filter = kDefaultFilter;
  return Cut(ToLower(filter) + u",", kMaxFilterUnits);
}

// Within a batch the filter box cannot change (the batch runs on the thread that serves
// it), so it is read once rather than once per file of a tree.
Text gBatchFilter;

struct AddBatch {
  AddBatch() {
    if (gBatchDepth++ > 0) return;
    FileListHoldRedraw(true);
    gLastShown = std::chrono::steady_clock::now();
    gAddedBeforeBatch = gFilesAdded;
    gBatchFilter = FilterForTest();
  }
  ~AddBatch() {
    if (--gBatchDepth > 0) return;
    if (gFilesAdded != gAddedBeforeBatch) FileListShowLast();
    FileListHoldRedraw(false);
  }
};

void NoteFileAdded() {
  ++gFilesAdded;
  if (gBatchDepth == 0) return;
  auto now = std::chrono::steady_clock::now();
  if (now - gLastShown < kShowAddedEvery) return;
  RefreshFileCount();
  FileListHoldRedraw(false);
  UiRepaintNow();
  FileListHoldRedraw(true);
  gLastShown = std::chrono::steady_clock::now();
}

int64_t gClearsKept = 0;

bool ClearRequested() {
  return gAppSettings.ClearListOnAdd == kClearListOn && !UiCtrlHeld();
}

// A run walks the list by position: emptying it under the run would end the run early
// and lose the entries it is working on, so during a run new files are only appended
// (and converted by that run) and the list is kept.
void ClearUnlessARunWalksIt() {
  if (!ClearRequested()) return;
  if (WorkerActive()) {
    ++gClearsKept;
    return;
  }
  ClearFileList();
}

// A token's leading and trailing double quotes go; a token of quotes alone is an empty path.
TextView WithoutQuotes(TextView token) {
  size_t first = token.find_first_not_of(u'"');
  if (first == TextView::npos) return TextView();
  size_t last = token.find_last_not_of(u'"');
  return token.substr(first, last - first + 1);
}

// ---- Walking a folder tree ------------------------------------------------------------

std::vector<Text> gUnreadable;  // under gLeftOutLock, as the left-out paths
std::unordered_set<Text> gUnreadableKeys;

void NoteUnreadable(TextView folder) {
  std::lock_guard<std::mutex> hold(gLeftOutLock);
  if (gUnreadableKeys.insert(FsPathKey(folder)).second) gUnreadable.emplace_back(folder);
}

void NoteLeftOut(TextView path) {
  std::lock_guard<std::mutex> hold(gLeftOutLock);
  gLeftOut.emplace_back(path);
}

struct FileIdHash {
  size_t operator()(const FileId& id) const { return std::hash<uint64_t>()(id.index * 0x9E3779B97F4A7C15ull ^ id.volume); }
};

// Where this program writes, so that a walk does not take earlier results for sources.
struct OutputPlaces {
  Text subfolderKey;  // mode 1: the subfolder's name, as FsPathKey compares it
  bool hasFolder = false;
  FileId folder;  // mode 0: the output folder itself
};

OutputPlaces OutputPlacesNow() {
  OutputPlaces places;
  const AppSettings& s = gAppSettings;
  if (s.OutputMode == 1) places.subfolderKey = FsPathKey(FieldView(s.SubfolderName));
  if (s.OutputMode == 0) places.hasFolder = FsFileId(FieldView(s.OutputFolder), &places.folder);
  return places;
}

bool IsOutputPlace(const OutputPlaces& places, TextView name, bool known, const FileId& id) {
  if (!places.subfolderKey.empty() && FsPathKey(name) == places.subfolderKey) return true;
  return places.hasFolder && known && id == places.folder;
}

// Depth first, each folder's files in the order the file system gives them and then its
// subfolders in that order, as a user reads a tree. The folders already walked are known
// by identity: a link or junction that leads back to one of them is not followed, so a
// loop ends and nothing is listed twice.
struct PendingFolder {
  Text path;
  bool known = false;  // its identity could be had
  FileId id;
};

void WalkTree(TextView top, int32_t rootUnits) {
  OutputPlaces places = OutputPlacesNow();
  std::unordered_set<FileId, FileIdHash> walked;
  std::vector<PendingFolder> pending(1);
  pending[0].path = Text(top);
  pending[0].known = FsFileId(top, &pending[0].id);
  while (!pending.empty()) {
    PendingFolder folder = std::move(pending.back());
    pending.pop_back();
    if (folder.known && !walked.insert(folder.id).second) continue;
    Text prefix = folder.path + kPathSeparator;
    std::vector<PendingFolder> below;
    bool listed = FsListFolder(folder.path, [&](const FolderEntry& entry) {
      if (entry.isHidden || entry.isSystem) return;
      if (!entry.isDirectory) {
        AddFileIfAccepted(prefix + entry.name, rootUnits);
        return;
      }
      PendingFolder sub;
      sub.path = prefix + entry.name;
      sub.known = FsFolderId(sub.path, entry, folder.id, &sub.id);
      if (IsOutputPlace(places, entry.name, sub.known, sub.id)) return;
      // Nothing below a folder this long could be listed; it is named once instead.
      if (sub.path.size() >= kMaxEntryUnits) {
        NoteLeftOut(sub.path);
        return;
      }
      below.push_back(std::move(sub));
    });
    if (!listed) NoteUnreadable(folder.path);
    for (auto it = below.rbegin(); it != below.rend(); ++it) pending.push_back(std::move(*it));
  }
}

// A folder contributes its top-level files; anything else is taken for a file, even a
// path that does not exist (the conversion reports those later).
void AddFolderOrFile(TextView path) {
  if (IsDirectory(path) == kDirectoryAttribute)
    AddFolderFiles(path);
  else
    AddFileIfAccepted(path);
}

}  // namespace

std::vector<Text> SplitCommandText(TextView text) {
  std::vector<Text> tokens;
  Text pending;
  auto append = [&pending](char16_t c) {
    if (pending.size() < kMaxTokenUnits) pending.push_back(c);
  };
  auto emit = [&tokens, &pending] {
    tokens.push_back(pending);
    pending.clear();
  };
  // The texts come from fixed buffers as well, so a zero unit ends the text like its end.
  size_t i = 0;
  auto atEnd = [&] { return i >= text.size() || text[i] == 0; };
  while (!atEnd()) {
    char16_t c = text[i++];
    if (c == u'"') {
      // A quote throws away whatever unquoted text came before it: ab"x y" is one token.
      pending.assign(1, u'"');
      while (!atEnd()) {
        char16_t q = text[i++];
        append(q);
        if (q == u'"') break;
      }
      emit();
    } else if (c == u' ') {
      if (!pending.empty()) emit();
    } else {
      append(c);
    }
  }
  if (!pending.empty()) emit();
  return tokens;
}

void ParseCommandText(TextView text) {
  RunTrapped("ParseCommandText", [&](int& step) {
    step = 1;
    Text own;
    if (text.empty() || text[0] == 0) {
      own = ProcessCommandLine();
      text = own;
    }
    step = 2;
    std::vector<Text> tokens = SplitCommandText(text);
    if (tokens.empty()) return;
    AddBatch batch;
    // One command line is one batch, as one drop is: it clears the list once and then
    // adds every path (clearing before each path kept only the last one's files).
    ClearUnlessARunWalksIt();
    step = 3;
    for (const Text& token : tokens) AddFolderOrFile(Cut(WithoutQuotes(token), kMaxTokenUnits));
    step = 4;
    RefreshFileCount();
    FileListUpdateExtent();
  });
}

int32_t AddPath(TextView path) {
  RunTrapped("AddPath", [&](int& step) {
    Text cut = Cut(path, kMaxTokenUnits);
    AddBatch batch;
    step = 1;
    ClearUnlessARunWalksIt();
    step = 2;
    AddFolderOrFile(cut);
    step = 3;
    RefreshFileCount();
    step = 4;
    FileListUpdateExtent();
  });
  return 1;
}

int32_t AddDroppedPaths(const std::vector<Text>& paths) {
  RunTrapped("AddDroppedPaths", [&](int& step) {
    AddBatch batch;
    step = 1;
    // One drop is one batch: it replaces the list as a whole.
    ClearUnlessARunWalksIt();
    step = 3;
    for (const Text& path : paths) AddFolderOrFile(Cut(path, kMaxTokenUnits));
    step = 4;
    RefreshFileCount();
    FileListUpdateExtent();
  });
  return static_cast<int32_t>(paths.size());
}

void AddFolderFiles(TextView folder) {
  // The folder text is joined as given, trailing separator or not, so that entries read
  // the same whichever way the folder arrived.
  Text prefix = Text(folder) + kPathSeparator;
  auto rootUnits = static_cast<int32_t>(prefix.size());
  if (gAppSettings.Recursive == 0) {
    bool listed = FsListFolder(folder, [&](const FolderEntry& entry) {
      if (entry.isHidden || entry.isSystem || entry.isDirectory) return;
      AddFileIfAccepted(prefix + entry.name, rootUnits);
    });
    if (!listed) NoteUnreadable(folder);
    return;
  }
  WalkTree(folder, rootUnits);
}

std::vector<Text> TakeUnreadableFolders() {
  std::lock_guard<std::mutex> hold(gLeftOutLock);
  std::vector<Text> taken;
  taken.swap(gUnreadable);
  gUnreadableKeys.clear();
  return taken;
}

int32_t AddFileIfAccepted(TextView path) {
  return AddFileIfAccepted(path, 0);
}

int32_t AddFileIfAccepted(TextView path, int32_t rootUnits) {
  if (path.size() > kMaxEntryUnits) {
    std::lock_guard<std::mutex> hold(gLeftOutLock);
    gLeftOut.emplace_back(path);
    return 0;
  }
  Text ext = FileExtension(path);
  if (ext.empty()) return 0;
  ext = ToLower(ext) + u",";
  Text alone;
  const Text& filter = gBatchDepth > 0 ? gBatchFilter : (alone = FilterForTest());
  // A plain substring test, so "peg," and "g," pass the default filter through "jpeg,"
  // and "jpg,"; users rely on the filter being forgiving, not exact.
  if (filter.find(ext) != Text::npos && FileListFind(path) < 0 && FileListAppend(path, rootUnits) >= 0) NoteFileAdded();
  return 1;
}

int64_t FilesAddedSoFar() {
  return gFilesAdded;
}

int64_t ClearsKeptSoFar() {
  return gClearsKept;
}

std::vector<Text> TakeLeftOutPaths() {
  std::lock_guard<std::mutex> hold(gLeftOutLock);
  std::vector<Text> taken;
  taken.swap(gLeftOut);
  return taken;
}

void ClearFileList() {
  FileListClear();
  RefreshFileCount();
}

void RefreshFileCount() {
  int32_t n = FileListCount();
  UiSetPageCount(u"Всего:" + NumberWithBlank(n));
  UiSetStatusLine(u"Всего файлов в списке:" + NumberWithBlank(n));
  // A run in progress keeps Start disabled, whatever is added to the list meanwhile.
  UiEnableStart(n != 0 && gRunState.load() != kRunRunning);
}

Text NormaliseFilterText(TextView editText) {
  Text t = ToLower(Cut(editText, kMaxFilterUnits));
  t = ReplaceAll(t, u",,,", u",");
  t = ReplaceAll(t, u",,", u",");
  t = ReplaceAll(t, u",,", u",");
  t = StripBlanksAndCommas(t);
  // Characters go after the commas were merged, so "jpg, ,png" ends as "jpg,,png"; a
  // doubled comma does no harm to the substring test, so no further pass is needed.
  return RemoveUnits(t, kFilterStrays);
}

std::vector<Text> FillFilterChoices(TextView presets, Text* cleanedPresets) {
  Text s = Cut(ToLower(presets), kMaxPresetUnits);
  s = ReplaceAll(s, u",,", u",");
  s = StripBlanksAndCommas(s);
  s = RemoveUnits(s, kPresetStrays);
  if (cleanedPresets) *cleanedPresets = s;

  std::vector<Text> items;
  Text all = Text(kDefaultFilter) + u"|" + s;
  size_t at = 0;
  // The built-in filter and at most 19 presets; an empty field ends the list early.
  for (int i = 1; i <= 20 && at <= all.size(); ++i) {
    size_t bar = all.find(u'|', at);
    size_t end = bar == Text::npos ? all.size() : bar;
    Text field = Cut(TextView(all).substr(at, end - at), kMaxPresetUnits);
    if (field.empty()) break;
    items.push_back(field);
    if (bar == Text::npos) break;
    at = bar + 1;
  }
  return items;
}
