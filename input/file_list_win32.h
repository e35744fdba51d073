// The handles through which the Win32 program reaches the FileList and the filter box.
// The file-list page sets them when it builds its controls and clears them when it is
// destroyed; 0 in between means there is no list (the ports then answer empty).
#pragma once

#include <windows.h>

#include <atomic>

// The conversion worker reads these from its own thread while the page may clear
// them at the end of the dialog, hence the atomics.
extern std::atomic<HWND> gFileListPage;
extern std::atomic<HWND> gFileListBox;
extern std::atomic<HWND> gFilterBox;

// Width in pixels of the widest entry, measured in the list's own font; 0 for an
// empty list.
int WidestItemWidth(HWND listBox);

// An entry's item data: the conversion stamp in bits 0..31, the failure mark of the last
// run in 32..47 (ui/pages/file_list_view_win32.h), the entry's root length in 48..63, so
// all three go with the entry wherever deletions move it.
constexpr int kEntryRootShift = 48;
static_assert(sizeof(LPARAM) == 8, "the item data holds the stamp, the failure and the root side by side");
