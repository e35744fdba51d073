// What the context menus hold, as data: the Win32 side builds its pop-up menus from these
// rows, and the rows can be checked without a window.
#pragma once

#include <cstdint>
#include <vector>

#include "base/text.h"

struct MenuRow {
  int32_t id;       // 0 for a separator
  Text caption;     // empty for a separator
  bool checked = false;
};

// File-list menu command ids.
constexpr int32_t kCmdAddPath = 100;
constexpr int32_t kCmdToggleClear = 110;
constexpr int32_t kCmdDeleteEntry = 200;
constexpr int32_t kCmdClearList = 300;
constexpr int32_t kCmdShowInFolder = 400;
constexpr int32_t kCmdOpenFile = 500;
constexpr int32_t kCmdProperties = 600;
constexpr int32_t kCmdOpenFailureList = 700;
constexpr int32_t kCmdCancel = -1;

// The file-list page's menu for the selected entry's path (empty when none is selected),
// the entry count, the ClearListOnAdd value (0 or 8) and whether the last run's failures
// are listed beside the program.
std::vector<MenuRow> FileListMenuRows(TextView selectedPath, int32_t count, int32_t clearListOnAdd,
                                      bool failuresListed = false);

// The name shown after the captions: the last path component, kept to 127 units.
Text MenuFileName(TextView path);

// Tray menu command ids.
constexpr int32_t kTrayShow = 600;
constexpr int32_t kTrayHide = 601;
constexpr int32_t kTraySite = 612;
constexpr int32_t kTrayCancel = 604;
constexpr int32_t kTrayExit = 605;

std::vector<MenuRow> TrayMenuRows(bool windowVisible);

// The item the list box keeps after the Delete key removed entry `caret`: the smaller
// of the caret and the new last index (-1 for an empty list).
int32_t CaretAfterDelete(int32_t caret, int32_t newCount);

// Balloon flags for the tray balloon's icon argument: empty → 0x10; one character →
// 0x10 | its digit value (0 for a non-digit); longer (an icon resource) → unchanged.
uint32_t BalloonInfoFlags(TextView iconArgument, uint32_t previous);
