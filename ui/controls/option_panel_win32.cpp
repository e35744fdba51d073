// The encoder option panel's windows. What each control does to the save-flag word is
// decided in option_panel.cpp; this file builds the group and forwards its messages.
#include "ui/controls/option_panel_win32.h"

#include <commctrl.h>

#include "base/error_log.h"
#include "base/wide_win32.h"
#include "settings/formats.h"
#include "settings/option_panel.h"
#include "settings/app_settings.h"
#include "ui/controls/window_tools_win32.h"

namespace {

constexpr DWORD kCheckStyle = WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER;
constexpr DWORD kSliderStyle = WS_CHILD | WS_TABSTOP | TBS_AUTOTICKS | TBS_TOP | TBS_NOTICKS | TBS_TOOLTIPS;

HWND gPanel = nullptr;
// The group box's own procedure, called after ours. Pointer-sized: a 32-bit store of a
// procedure address would cut it in a 64-bit program.
WNDPROC gGroupProc = nullptr;

HWND CreatePanelChild(HWND parent, const char16_t* className, TextView text, DWORD style, DWORD exStyle, int id, int x,
                      int y, int w, int h) {
  Text caption(text);
  return CreateWindowExW(exStyle, Wide(className), Wide(caption), style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

void DestroyPanel() {
  if (!gPanel) return;
  SetWindowLongPtrW(gPanel, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gGroupProc));
  DestroyWindow(gPanel);
  gPanel = nullptr;
  gGroupProc = nullptr;
}

void AddQualityControls(HWND group, int32_t word) {
  int32_t q = PanelQuality(word);
  CreatePanelChild(group, u"Static", QualityLabelAtBuild(q), WS_CHILD, 0, kIdQualityLabel, 10, 18, 100, 16);
  HWND slider = CreatePanelChild(group, u"msctls_trackbar32", u"", kSliderStyle, 0, kIdQualitySlider, 3, 34, 100, 26);
  SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(1, 100));
  SetTrackbarPos(slider, q, 0);
}

void AddCheckBox(HWND group, int id, TextView text, int x, int y, int w, bool checked) {
  HWND box = CreatePanelChild(group, u"Button", text, kCheckStyle, 0, id, x, y, w, 14);
  SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The quality slider at the left and the check boxes beside it, one under the other;
// without a slider the check boxes take its place.
void AddFormatControls(HWND group, const OutputFormat& format, int width) {
  int32_t word = FormatWordOf(gAppSettings, format);
  if (format.quality) AddQualityControls(group, word);
  for (int i = 0; i < format.optionCount; ++i) {
    const FormatOption& option = format.options[i];
    int x = format.quality ? 120 : 10, y = (format.quality ? 20 : 22) + 20 * i;
    AddCheckBox(group, option.controlId, option.caption, x, y, width - x - 10, HasFlag(word, option.bit));
  }
  PreparePanelWord(&gAppSettings, format);
}

// The page learns of every change the panel made, whether by mouse or by keyboard.
void TellPageOfChange(HWND group) {
  SendMessageW(GetParent(group), WM_COMMAND, MAKEWPARAM(kIdOptionGroup, kOptionPanelChanged),
               reinterpret_cast<LPARAM>(group));
}

void OnPanelCommand(HWND group, WPARAM wParam) {
  if (HIWORD(wParam) != BN_CLICKED) return;
  TogglePanelBit(&gAppSettings, TargetFormatOf(gAppSettings), LOWORD(wParam));
  TellPageOfChange(group);
}

void OnPanelSlider(HWND group, HWND slider) {
  if (GetDlgCtrlID(slider) != kIdQualitySlider) return;
  int q = TrackbarPos(slider);
  SetPanelQuality(&gAppSettings, TargetFormatOf(gAppSettings), q);
  Text label = QualityLabelAfterMove(q);
  SetWindowTextW(GetDlgItem(group, kIdQualityLabel), Wide(label));
  TellPageOfChange(group);
}

LRESULT CALLBACK OptionPanelProc(HWND group, UINT message, WPARAM wParam, LPARAM lParam) {
  // The children ask their parent, the group box, for their colours; the page answers as
  // it does for its own controls, so the panel matches the themed page around it.
  if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN)
    return SendMessageW(GetParent(group), message, wParam, lParam);
  WNDPROC previous = gGroupProc;
  RunTrapped("OptionPanelProc", [&](int& step) {
    step = 1;
    if (message == WM_COMMAND) OnPanelCommand(group, wParam);
    if (message == WM_HSCROLL && lParam) OnPanelSlider(group, reinterpret_cast<HWND>(lParam));
  });
  return CallWindowProcW(previous, group, message, wParam, lParam);
}

}  // namespace

HWND BuildOptionPanel(HWND parent, int x, int y, int width, int height, TextView formatName) {
  DestroyPanel();
  HWND group = CreatePanelChild(parent, u"Button", u"Параметры ", WS_CHILD | WS_VISIBLE | BS_GROUPBOX | BS_LEFT | BS_TOP,
                                WS_EX_CONTROLPARENT, kIdOptionGroup, x, y, width, height);
  if (!group) return nullptr;
  WPARAM font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageW(group, WM_SETFONT, font, FALSE);
  // Before any child paints: their colours come from the page through the group's procedure.
  gPanel = group;
  gGroupProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(group, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OptionPanelProc)));
  OutputFormat format = OutputFormatByName(formatName);
  gAppSettings.FormatId = format.formatId;
  AddFormatControls(group, format, width);
  for (HWND child = GetWindow(group, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    AddWindowStyle(child, WS_VISIBLE);
    SendMessageW(child, WM_SETFONT, font, FALSE);
  }
  InvalidateRect(group, nullptr, TRUE);
  UpdateWindow(group);
  return group;
}

int TrackbarPos(HWND slider) {
  return static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
}

void SetTrackbarPos(HWND slider, int position, UINT message) {
  SendMessageW(slider, TBM_SETPOS, TRUE, position);
  if (message) SendMessageW(GetParent(slider), message, 0, reinterpret_cast<LPARAM>(slider));
}
