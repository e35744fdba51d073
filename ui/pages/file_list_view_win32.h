// How the file list box shows its entries: every row drawn by the page, the rows of the
// files that failed in the last run in red with their reason in the status line while
// selected, and a hint in the empty list.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "engine/run/convert_files.h"

// Where the failure of an entry is kept: the upper half of its item data, whose lower half
// is the conversion stamp (input/file_list.h), so the mark goes with the entry when
// entries above it are deleted, goes away with it, and is gone once it converts (a new
// stamp is written whole). Read back by (LB_GETITEMDATA >> kFailureShift) & 0xFFFF: the error
// code (the root length lies above it, input/file_list_win32.h).
constexpr int kFailureShift = 32;
static_assert(sizeof(LPARAM) == 8, "the item data holds the stamp and the failure side by side");

// The hint drawn in the empty list.
constexpr char16_t kEmptyListHint[] = u"Перетащите сюда файлы или папки, или нажмите правую кнопку мыши";

// Takes over the list box's painting of its empty state.
void AttachFileListView(HWND list);
// The row height of the list's font, once the font is set.
void FitFileListRows(HWND list);
void DrawFileListItem(const DRAWITEMSTRUCT& item);

// The entries of the files that failed, marked with their error codes; every earlier mark
// is cleared first (a run starts with none).
void MarkFailedEntries(const std::vector<FailedFile>& failures);
// The error code of an entry's last failure; 0 when it has none.
int32_t EntryFailure(int32_t index);
// The selection moved: a failed entry's reason takes the status line, and the line it
// replaced comes back once the selection leaves the failed entries.
void ShowSelectedFailure(HWND list);
