// The FileList port: the entries of the list box on the file-list page, and no other
// copy. The Win32 program implements it over the list box (file_list_win32.cpp); the
// native build keeps the entries in memory (file_list_memory.cpp). Both are safe to call
// from the conversion worker: the Win32 form through synchronous list-box messages, the
// memory form under a lock.
#pragma once

#include <cstdint>

#include "base/text.h"

constexpr size_t kMaxEntryUnits = 260;

int32_t FileListCount();
// The entry's text; empty past the end of the list.
Text FileListText(int32_t index);
// The conversion stamp: 0 when added, the run's signature after a save.
uint32_t FileListStamp(int32_t index);
void FileListSetStamp(int32_t index, uint32_t stamp);
// Appends at the end with stamp 0; returns the new index. rootUnits: how many units at
// the start of the text name the folder the file was found under, separator included
// (0 for a file given by itself); its outputs mirror the path below that folder.
int32_t FileListAppend(TextView text, int32_t rootUnits = 0);
// The entry's rootUnits; 0 past the end of the list.
int32_t FileListRootUnits(int32_t index);
// The rootUnits an entry keeps: 0 unless a name is left below the root.
constexpr int32_t kMaxRootUnits = 0xFFFF;
int32_t RootUnitsFor(TextView text, int32_t rootUnits);
// Case-insensitive exact match of the whole text; -1 when absent.
int32_t FileListFind(TextView text);
void FileListDelete(int32_t index);
void FileListClear();
void FileListSelect(int32_t index);
// A long batch of additions holds the list's drawing: each addition would otherwise
// redraw the list and its scroll bar, which made adding ten thousand files to a list in
// view take minutes. Releasing the hold draws the list once. The memory form has no drawing.
void FileListHoldRedraw(bool hold);
// Scrolls the list so that its last entry is in view.
void FileListShowLast();
// Fits the list's horizontal scroll range to its widest entry (LB_SETHORIZONTALEXTENT with
// the widest text's pixel width). Called once after each batch of additions, never per
// file, since it measures every entry. The memory form has nothing to fit.
void FileListUpdateExtent();
