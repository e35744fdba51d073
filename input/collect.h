// Turning command-line text, dropped items and chosen folders into FileList entries,
// with the extension filter, the duplicate rule and the counters.
#pragma once

#include <cstdint>
#include <vector>

#include "diag/text.h"

constexpr char16_t kDefaultFilter[] = u"jpeg,jpg,png,gif,bmp,webp,tif,pcx,psd";
constexpr size_t kMaxTokenUnits = 275;
constexpr size_t kMaxFilterUnits = 79;
constexpr size_t kMaxPresetUnits = 127;

// Splits a command-line text into path tokens (blank-separated, double quotes around a
// token with blanks) and hands each to AddCommandToken. An empty text means the
// process's own full command line (ProcessCommandLine()).
void ParseCommandText(TextView text);
// The tokens ParseCommandText would emit, without acting on them.
std::vector<Text> SplitCommandText(TextView text);
// Strips leading and trailing double quotes and calls AddPath.
void AddCommandToken(TextView token);
// Adds one file, or the files directly inside a folder; clears the list first when
// ClearListOnAdd is on and Ctrl is not held. Returns 1.
int32_t AddPath(TextView path);
// A batch of dropped names: one clear test for the whole batch. Returns the count.
int32_t AddDroppedPaths(const std::vector<Text>& paths);
void AddFolderFiles(TextView folder);
// 0 when the path has no extension, else 1 (whether or not it was added).
int32_t AddFileIfAccepted(TextView path);
void ClearFileList();
// The two count texts and the Start button's state.
void RefreshFileCount();

// The filter box's edit text cleaned: lower case, merged commas, stray characters
// removed. Empty means "select the first drop-down item" (DefaultFilter).
Text NormaliseFilterText(TextView editText);
// The presets cleaned (written back by the caller) and the drop-down items they give:
// DefaultFilter first, then at most 19 presets.
std::vector<Text> FillFilterChoices(TextView presets, Text* cleanedPresets);

// The process's full command line (program path included), as GetCommandLineW gives it.
// One implementation per platform.
Text ProcessCommandLine();
