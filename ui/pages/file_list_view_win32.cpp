#include "ui/pages/file_list_view_win32.h"

#include <algorithm>

#include "base/ui_port.h"
#include "base/wide_win32.h"
#include "engine/run/convert_errors.h"
#include "engine/run/convert_files.h"
#include "input/file_list.h"
#include "input/file_list_win32.h"
#include "ui/controls/window_tools_win32.h"
#include "ui/main_dialog_ids.h"

namespace {

constexpr COLORREF kFailedText = RGB(200, 0, 0);
constexpr COLORREF kHintText = RGB(140, 140, 140);
constexpr int kTextIndent = 2;

WNDPROC gListProc = nullptr;
// The status line as it was before a failed entry's reason replaced it; empty while no
// reason is shown.
Text gLineBeforeReason;
bool gReasonShown = false;

LPARAM ItemData(HWND list, int32_t index) {
  LRESULT data = SendMessageW(list, LB_GETITEMDATA, index, 0);
  return data == LB_ERR ? 0 : static_cast<LPARAM>(data);
}

int32_t FailureOf(LPARAM data) {
  return static_cast<int32_t>((static_cast<uint64_t>(data) >> kFailureShift) & 0xFFFF);
}

void SetFailure(HWND list, int32_t index, int32_t code) {
  // The stamp below the mark and the root above it stay as they are.
  uint64_t kept = static_cast<uint64_t>(ItemData(list, index)) & ~(uint64_t{0xFFFF} << kFailureShift);
  uint64_t data = kept | (static_cast<uint64_t>(code & 0xFFFF) << kFailureShift);
  SendMessageW(list, LB_SETITEMDATA, index, static_cast<LPARAM>(data));
}

void PaintHint(HWND list) {
  HDC dc = GetDC(list);
  if (!dc) return;
  RECT area;
  GetClientRect(list, &area);
  InflateRect(&area, -12, -12);
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kHintText);
  Text hint(kEmptyListHint);
  // Centred both ways: DrawText centres a wrapped text only across, so its height is
  // measured first.
  constexpr UINT kFlags = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
  RECT measured = area;
  DrawTextW(dc, Wide(hint), static_cast<int>(hint.size()), &measured, kFlags | DT_CALCRECT);
  int height = measured.bottom - measured.top;
  area.top += std::max(0, (static_cast<int>(area.bottom - area.top) - height) / 2);
  DrawTextW(dc, Wide(hint), static_cast<int>(hint.size()), &area, kFlags);
  if (previous) SelectObject(dc, previous);
  ReleaseDC(list, dc);
}

// The list box paints itself; an empty one then gets the hint over its background.
LRESULT CALLBACK FileListBoxProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProcW(gListProc, list, message, wParam, lParam);
  if (message == WM_PAINT && SendMessageW(list, LB_GETCOUNT, 0, 0) == 0) PaintHint(list);
  // Its first entry or its last removal changes what an empty list shows.
  if ((message == LB_ADDSTRING || message == LB_DELETESTRING || message == LB_RESETCONTENT) &&
      SendMessageW(list, LB_GETCOUNT, 0, 0) <= 1)
    InvalidateRect(list, nullptr, TRUE);
  return result;
}

}  // namespace

void AttachFileListView(HWND list) {
  gListProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FileListBoxProc)));
}

void FitFileListRows(HWND list) {
  HDC dc = GetDC(list);
  if (!dc) return;
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  if (previous) SelectObject(dc, previous);
  ReleaseDC(list, dc);
  // The height a list box of drawn strings gives its rows for the font.
  if (metrics.tmHeight > 0) SendMessageW(list, LB_SETITEMHEIGHT, 0, metrics.tmHeight);
}

void DrawFileListItem(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1)) return;
  HWND list = item.hwndItem;
  int32_t index = static_cast<int32_t>(item.itemID);
  bool selected = (item.itemState & ODS_SELECTED) != 0;
  bool failed = FailureOf(ItemData(list, index)) != 0;
  HDC dc = item.hDC;
  RECT area = item.rcItem;
  // A failed row is red: its text, or its whole row while it is selected.
  HBRUSH failedFill = failed && selected ? CreateSolidBrush(kFailedText) : nullptr;
  FillRect(dc, &area, failedFill ? failedFill : GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (failedFill) DeleteObject(failedFill);
  SetBkMode(dc, TRANSPARENT);
  COLORREF text = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
  SetTextColor(dc, failed && !selected ? kFailedText : text);
  Text entry = FileListText(index);
  RECT textArea = area;
  textArea.left += kTextIndent;
  DrawTextW(dc, Wide(entry), static_cast<int>(entry.size()), &textArea, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &area);
}

void MarkFailedEntries(const std::vector<FailedFile>& failures) {
  HWND list = gFileListBox.load();
  if (!list) return;
  int32_t count = FileListCount();
  for (int32_t i = 0; i < count; ++i)
    if (FailureOf(ItemData(list, i)) != 0) SetFailure(list, i, 0);
  for (const FailedFile& failure : failures) {
    int32_t index = FileListFind(failure.path);
    if (index >= 0) SetFailure(list, index, failure.code == 0 ? 1 : failure.code);
  }
  gReasonShown = false;
  InvalidateRect(list, nullptr, TRUE);
}

int32_t EntryFailure(int32_t index) {
  HWND list = gFileListBox.load();
  return list ? FailureOf(ItemData(list, index)) : 0;
}

void ShowSelectedFailure(HWND list) {
  LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
  int32_t code = selected == LB_ERR ? 0 : EntryFailure(static_cast<int32_t>(selected));
  HWND status = GetDlgItem(GetAncestor(list, GA_ROOT), kIdStatusLine);
  if (code != 0) {
    if (!gReasonShown) gLineBeforeReason = ControlText(status, 1024);
    gReasonShown = true;
    UiSetStatusLine(ConvertErrorReason(code));
  } else if (gReasonShown) {
    gReasonShown = false;
    UiSetStatusLine(gLineBeforeReason);
  }
}
