// The FileList over the list box of the file-list page. Every operation is one
// synchronous list-box message, so the conversion worker may call these from its own
// thread: the user-interface thread serves the messages from its wait loop.
#include "diag/wide_win32.h"
#include "input/file_list_win32.h"

#include <vector>

#include "input/file_list.h"

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

void FileListSetStamp(int32_t index, uint32_t stamp) {
  ListMessage(LB_SETITEMDATA, index, static_cast<LPARAM>(stamp));
}

int32_t FileListAppend(TextView text) {
  Text entry(text);
  LRESULT index = ListMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry)));
  if (index < 0) return -1;
  ListMessage(LB_SETITEMDATA, index, 0);
  return static_cast<int32_t>(index);
}

int32_t FileListFind(TextView text) {
  Text entry(text);
  // -1 searches the whole list from its first entry; the list box compares whole texts
  // without regard to case.
  LRESULT index = ListMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(Wide(entry)));
  return index < 0 ? -1 : static_cast<int32_t>(index);
}

void FileListDelete(int32_t index) {
  ListMessage(LB_DELETESTRING, index);
}

void FileListClear() {
  ListMessage(LB_RESETCONTENT);
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

void FileListUpdateExtent() {
  HWND list = gFileListBox.load();
  if (!list) return;
  SendMessageW(list, LB_SETHORIZONTALEXTENT, WidestItemWidth(list), 0);
}
