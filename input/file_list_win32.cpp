// The FileList over the list box of the file-list page. Every operation is one
// synchronous list-box message, so the conversion worker may call these from its own
// thread: the user-interface thread serves the messages from its wait loop.
#include "base/wide_win32.h"
#include "input/file_list_win32.h"

#include <mutex>
#include <vector>

#include "input/file_list.h"
#include "input/first_index.h"

std::atomic<HWND> gFileListPage{nullptr};
std::atomic<HWND> gFileListBox{nullptr};
std::atomic<HWND> gFilterBox{nullptr};

namespace {

LRESULT ListMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  HWND list = gFileListBox.load();
  return list ? SendMessageW(list, message, wParam, lParam) : LB_ERR;
}

Text ItemText(HWND list, int32_t index) {
  LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR || length <= 0) return {};
  std::vector<char16_t> buffer(static_cast<size_t>(length) + 1, 0);
  LRESULT got = SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
  if (got == LB_ERR) return {};
  return Text(buffer.data(), static_cast<size_t>(got));
}

// The duplicate test's index over the entries of one list box. The list box stays the
// list: a position it no longer holds as indexed sends the index to a rebuild.
std::mutex gIndexLock;
FirstIndex gIndex;
HWND gIndexedList = nullptr;

// With gIndexLock held.
void RebuildIndexFor(HWND list) {
  auto count = static_cast<int32_t>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  gIndex.Rebuild(count < 0 ? 0 : count, [list](int32_t i) { return ItemText(list, i); });
  gIndexedList = list;
}

}  // namespace

int32_t FileListCount() {
  LRESULT count = ListMessage(LB_GETCOUNT);
  return count == LB_ERR ? 0 : static_cast<int32_t>(count);
}

Text FileListText(int32_t index) {
  HWND list = gFileListBox.load();
  return list ? ItemText(list, index) : Text();
}

uint32_t FileListStamp(int32_t index) {
  LRESULT data = ListMessage(LB_GETITEMDATA, index);
  return data == LB_ERR ? 0 : static_cast<uint32_t>(data);
}

int32_t FileListRootUnits(int32_t index) {
  LRESULT data = ListMessage(LB_GETITEMDATA, index);
  return data == LB_ERR ? 0 : static_cast<int32_t>((static_cast<uint64_t>(data) >> kEntryRootShift) & kMaxRootUnits);
}

// A new stamp is written whole, which clears a failure mark kept beside it; the root
// stays with the entry.
void FileListSetStamp(int32_t index, uint32_t stamp) {
  LRESULT data = ListMessage(LB_GETITEMDATA, index);
  if (data == LB_ERR) return;
  uint64_t root = static_cast<uint64_t>(data) & (uint64_t{kMaxRootUnits} << kEntryRootShift);
  ListMessage(LB_SETITEMDATA, index, static_cast<LPARAM>(root | stamp));
}

int32_t FileListAppend(TextView text, int32_t rootUnits) {
  HWND list = gFileListBox.load();
  if (!list) return -1;
  Text entry(text);
  LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry)));
  if (index < 0) return -1;
  uint64_t root = static_cast<uint64_t>(RootUnitsFor(entry, rootUnits)) << kEntryRootShift;
  SendMessageW(list, LB_SETITEMDATA, index, static_cast<LPARAM>(root));
  std::lock_guard<std::mutex> hold(gIndexLock);
  if (list == gIndexedList) gIndex.Note(entry, static_cast<int32_t>(index));
  return static_cast<int32_t>(index);
}

// The list box's own LB_FINDSTRINGEXACT compares with every entry, which made adding a
// folder of ten thousand files take minutes; the index answers at once.
int32_t FileListFind(TextView text) {
  HWND list = gFileListBox.load();
  if (!list) return -1;
  std::lock_guard<std::mutex> hold(gIndexLock);
  if (list != gIndexedList || gIndex.stale()) RebuildIndexFor(list);
  int32_t found = gIndex.Find(text);
  if (found < 0 || EqualsNoCase(ItemText(list, found), text)) return found;
  RebuildIndexFor(list);
  return gIndex.Find(text);
}

void FileListDelete(int32_t index) {
  ListMessage(LB_DELETESTRING, index);
  std::lock_guard<std::mutex> hold(gIndexLock);
  gIndex.MarkStale();
}

void FileListClear() {
  HWND list = gFileListBox.load();
  if (!list) return;
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  std::lock_guard<std::mutex> hold(gIndexLock);
  gIndex.Clear();
  gIndexedList = list;
}

void FileListSelect(int32_t index) {
  ListMessage(LB_SETCURSEL, index);
}

int WidestItemWidth(HWND list) {
  int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  if (count <= 0) return 0;
  HDC dc = GetDC(list);
  if (!dc) return 0;
  // A list box's DC comes with the system font; the entries are drawn in the font the
  // list was given, so that one is measured.
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  int widest = 0;
  for (int i = 0; i < count; ++i) {
    Text text = ItemText(list, i);
    SIZE size = {};
    if (GetTextExtentPoint32W(dc, Wide(text), static_cast<int>(text.size()), &size) && size.cx > widest) widest = size.cx;
  }
  if (previous) SelectObject(dc, previous);
  ReleaseDC(list, dc);
  return widest;
}

void FileListHoldRedraw(bool hold) {
  HWND list = gFileListBox.load();
  if (!list) return;
  SendMessageW(list, WM_SETREDRAW, hold ? FALSE : TRUE, 0);
  if (!hold) InvalidateRect(list, nullptr, TRUE);
}

void FileListShowLast() {
  int32_t count = FileListCount();
  if (count > 0) ListMessage(LB_SETTOPINDEX, count - 1);
}

void FileListUpdateExtent() {
  HWND list = gFileListBox.load();
  if (!list) return;
  SendMessageW(list, LB_SETHORIZONTALEXTENT, WidestItemWidth(list), 0);
}
