// Turning command-line text, dropped items and chosen folders into FileList entries,
// with the extension filter, the duplicate rule and the counters.
#pragma once

#include <cstdint>
#include <vector>

#include "base/text.h"

constexpr char16_t kDefaultFilter[] = u"jpeg,jpg,png,gif,bmp,webp,tif,pcx,psd,heic,heif,avif,jxl";
constexpr size_t kMaxTokenUnits = 275;
constexpr size_t kMaxFilterUnits = 79;
constexpr size_t kMaxPresetUnits = 127;

// Splits a command-line text into path tokens (blank-separated, double quotes around a
// token with blanks; the quotes at either end of a token go) and adds them as one batch:
// the list is cleared once first when ClearListOnAdd is on and Ctrl is not held. An
// empty text means the process's own full command line (ProcessCommandLine()).
void ParseCommandText(TextView text);
// The tokens ParseCommandText would emit for a non-empty text, without acting on them.
// Only the blank separates; a double quote starts a token that runs to the next quote
// (quotes included) and drops the unquoted units collected before it; a text ending
// inside quotes gives what was collected; tokens keep at most 275 units. An empty text
// gives no tokens (the substitution of the process's command line is ParseCommandText's).
std::vector<Text> SplitCommandText(TextView text);
// Adds one file, or the files directly inside a folder; clears the list first when
// ClearListOnAdd is on and Ctrl is not held. Returns 1.
int32_t AddPath(TextView path);
// A batch of dropped names (as DragQueryFileW gives them): one clear test for the whole
// batch, names cut to 275 units, counters and scroll range refreshed once. Returns the count.
int32_t AddDroppedPaths(const std::vector<Text>& paths);
// The files directly inside the folder, or with Recursive on those of every folder below
// it too, each folder's files before its subfolders. Left out as at the top level: hidden
// and system files and folders; also a folder reached again through a link or junction
// (a loop), and the folders this program writes into (the subfolder of output mode 1,
// the output folder of mode 0), whose files are results, not sources. Every entry
// remembers the folder it was found under (FileListRootUnits). A folder that cannot be
// listed is noted for TakeUnreadableFolders and the walk goes on.
void AddFolderFiles(TextView folder);
// The folders that could not be listed since the last call, each once, oldest first.
std::vector<Text> TakeUnreadableFolders();
// 0 when the path has no extension, else 1 (whether or not it was added). A path longer
// than an entry may be (260 units) is never added; it is noted for TakeLeftOutPaths.
int32_t AddFileIfAccepted(TextView path);
// The same for a file found under a folder: rootUnits as FileListAppend takes them.
int32_t AddFileIfAccepted(TextView path, int32_t rootUnits);
// The paths left out for their length since the last call, oldest first.
std::vector<Text> TakeLeftOutPaths();
void ClearFileList();
// Files appended to the list since the program started: the difference over a hand-over
// is what it added, whether or not it cleared the list first.
int64_t FilesAddedSoFar();
// Clears asked for (ClearListOnAdd) while a run walked the list, which were not carried
// out; the difference over a hand-over tells whether it kept the list.
int64_t ClearsKeptSoFar();
// The two count texts and the Start button's state.
void RefreshFileCount();

// The filter box's edit text cleaned: lower case, merged commas, stray characters
// removed. The filter box's page then:
//   - when the result is empty: selects the first drop-down item (CB_SETCURSEL 0, which
//     is DefaultFilter) and takes the edit text again as the result;
//   - sets the edit text to the result (WM_SETTEXT) and stores it in CurrentFilter;
//   - posts CB_SETEDITSEL with start -1 and end 0 to drop the selection highlight.
Text NormaliseFilterText(TextView editText);
// The presets cleaned and the drop-down items they give: DefaultFilter first, then at
// most 19 presets, ending early at the first empty preset. The filter box's page then
// writes *cleanedPresets back to ExtensionList, empties the drop-down list
// (CB_RESETCONTENT) and adds the items (CB_ADDSTRING); selects the first item
// (CB_SETCURSEL 0) when CurrentFilter is empty, else sets the edit text to CurrentFilter
// (WM_SETTEXT); and posts CB_SETEDITSEL with start -1 and end 0.
std::vector<Text> FillFilterChoices(TextView presets, Text* cleanedPresets);

// The process's full command line (program path included), as GetCommandLineW gives it.
// One implementation per platform.
Text ProcessCommandLine();
