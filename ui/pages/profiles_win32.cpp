// Profiles on the conversion-parameters page: activation, the suggested caption read
// from the page's controls, the list's menu and its owner-drawn items. The record rules
// themselves are in profiles.cpp.
#include "ui/pages/profiles_win32.h"

#include "base/wide_win32.h"
#include "base/run_state.h"
#include "settings/app_settings.h"
#include "settings/signature.h"
#include "settings/formats.h"
#include "settings/profiles.h"
#include "ui/controls/window_tools_win32.h"
#include "ui/main_dialog_ids.h"
#include "ui/pages/pages_win32.h"
#include "ui/pages/params_page_ids.h"
#include "ui/pages/profile_list_win32.h"

namespace {

constexpr COLORREF kSelectedFill = RGB(252, 232, 214);
constexpr COLORREF kSelectedFrame = RGB(230, 210, 200);
constexpr COLORREF kItemText = RGB(120, 110, 100);
constexpr COLORREF kActiveText = RGB(220, 120, 60);
constexpr int kControlTextUnits = 19;
// TPM_RETURNCMD | TPM_VERTICAL.
constexpr UINT kMenuFlags = 0x140;

uint32_t gLastSignature = 0;

// The list and the name box are controls of the parameters page.
HWND ParamsPage() {
  HWND list = gProfileList.window();
  return list ? GetParent(list) : nullptr;
}

HWND NameBox() {
  return GetDlgItem(ParamsPage(), kIdProfileName);
}

int32_t SelectedPosition(HWND list) {
  LRESULT sel = SendMessageW(list, LB_GETCURSEL, 0, 0);
  return sel == LB_ERR ? -1 : static_cast<int32_t>(sel);
}

Text ListItemText(HWND list, int32_t position) {
  LRESULT length = SendMessageW(list, LB_GETTEXTLEN, position, 0);
  if (length <= 0 || length > 1024) return Text();
  Text text(static_cast<size_t>(length) + 1, u'\0');
  SendMessageW(list, LB_GETTEXT, position, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

HMENU BuildProfileMenu(int32_t selected, TextView name) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  for (const ProfileMenuItem& item :
       ProfileMenuItems(selected, name, gAppSettings.ActiveProfileIndex, gProfileList.Count())) {
    if (item.command == 0)
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(static_cast<UINT>(item.command)), Wide(item.text));
  }
  return menu;
}

void RunProfileCommand(int32_t command, int32_t selected) {
  switch (command) {
    case kProfileCmdSaveInto: {
      if (selected < 0) break;
      Text name = ControlText(NameBox(), static_cast<int>(kProfileCaptionUnits));
      SaveSettingsIntoProfile(&gProfileList, selected, name, gAppSettings);
      SendMessageW(gProfileList.window(), LB_SETCURSEL, selected, 0);
      break;
    }
    case kProfileCmdActivate: ActivateSelectedProfile(); break;
    case kProfileCmdDelete:
      // ActiveProfileId stays: deleting the active profile leaves no item marked.
      if (selected >= 0) gProfileList.Delete(selected);
      break;
    case kProfileCmdDeleteAll: gProfileList.ReleaseAll(); break;
    default: return;  // Отмена, or dismissed
  }
  // Items below a deleted one move up: the recorded position follows the active profile,
  // so the menu does not offer to activate the active one, nor hide it for another.
  gAppSettings.ActiveProfileIndex = FindProfileById(gProfileList, gAppSettings.ActiveProfileId);
}

void DrawItemBackground(HDC dc, const RECT& area, bool selected) {
  FillRect(dc, &area, GetSysColorBrush(COLOR_MENU));
  if (!selected) {
    SetBkColor(dc, GetSysColor(COLOR_MENU));
    SetTextColor(dc, kItemText);
    return;
  }
  SetBkMode(dc, TRANSPARENT);
  HBRUSH fill = CreateSolidBrush(kSelectedFill);
  HBRUSH frame = CreateSolidBrush(kSelectedFrame);
  FillRect(dc, &area, fill);
  FrameRect(dc, &area, frame);
  DeleteObject(fill);
  DeleteObject(frame);
}

}  // namespace

void ActivateSelectedProfile() {
  HWND list = gProfileList.window();
  if (!list) return;
  int32_t selected = SelectedPosition(list);
  gAppSettings.ActiveProfileIndex = selected;
  if (selected < 0) return;
  const ProfileRecord* stored = gProfileList.At(selected);
  ProfileRecord record = {};
  if (stored) record = *stored;
  InvalidateRect(list, nullptr, TRUE);
  if (!ActivateProfileRecord(&record, &gAppSettings)) return;
  NotifySettingsApplied();
}

void SelectActiveProfile(HWND list) {
  gAppSettings.ProfileCount = gProfileList.Count();
  int32_t position = ActiveProfilePosition(gProfileList, gAppSettings.ActiveProfileId);
  gAppSettings.ActiveProfileIndex = position;
  SendMessageW(list, LB_SETCURSEL, position, 0);
}

void ShowProfileMenu(HWND list) {
  SetFocus(list);
  int32_t selected = SelectedPosition(list);
  Text name = selected >= 0 ? ListItemText(list, selected) : Text();
  HMENU menu = BuildProfileMenu(selected, name);
  if (!menu) return;
  POINT at = {};
  GetCursorPos(&at);
  SetForegroundWindow(list);
  // Отмена (-1) and a dismissed menu both fall through to nothing.
  int32_t command = static_cast<int32_t>(TrackPopupMenuEx(menu, kMenuFlags, at.x, at.y, list, nullptr));
  RunProfileCommand(command, selected);
  DestroyMenu(menu);
}

Text MakeProfileCaption() {
  HWND page = ParamsPage();
  if (!page) return Text();
  Text modeText = ControlText(GetDlgItem(page, kIdResizeNone + gAppSettings.ResizeMode), kControlTextUnits);
  Text side = ControlText(GetDlgItem(page, kIdSideList), kControlTextUnits);
  Text size = ControlText(GetDlgItem(page, kIdSizeBox), kControlTextUnits);
  Text percent = ControlText(GetDlgItem(page, kIdPercentBox), kControlTextUnits);
  CaptionSource source;
  source.targetFormat = FieldView(gAppSettings.TargetFormat);
  source.resizeMode = gAppSettings.ResizeMode;
  source.modeText = gAppSettings.ResizeMode >= 0 && gAppSettings.ResizeMode <= 2 ? TextView(modeText) : TextView();
  source.sideText = side;
  source.noEnlarge = gAppSettings.NoEnlarge != 0;
  source.sizeText = size;
  source.percentText = percent;
  OutputFormat format = TargetFormatOf(gAppSettings);
  source.formatId = format.formatId;
  source.flagWord = FormatWordOf(gAppSettings, format);
  Text caption = ProfileCaption(source);
  SetControlText(NameBox(), caption);
  return caption;
}

uint32_t SettingsChanged() {
  if (gRunState.load() != kRunIdle || gAppSettings.ActiveTab != kPageParameters) return 0;
  uint32_t signature = SettingsSignature(gAppSettings, false);
  if (signature == gLastSignature) return 0;
  gLastSignature = signature;
  return signature;
}

bool RefreshCaptionIfChanged() {
  if (SettingsChanged() == 0) return false;
  MakeProfileCaption();
  return true;
}

void OnAddProfileClicked() {
  Text typed = ControlText(NameBox(), static_cast<int>(kProfileCaptionUnits));
  MakeProfileCaption();
  int32_t position = AddProfile(&gProfileList, typed, &gAppSettings);
  if (position >= 0) SendMessageW(gProfileList.window(), LB_SETCURSEL, position, 0);
}

void DrawProfileItem(const DRAWITEMSTRUCT& item) {
  if (item.itemAction != ODA_DRAWENTIRE && item.itemAction != ODA_SELECT) return;
  if (item.itemID == static_cast<UINT>(-1)) return;
  const ProfileRecord* record = gProfileList.At(static_cast<int32_t>(item.itemID));
  if (!record) return;
  HDC dc = item.hDC;
  RECT area = item.rcItem;
  DrawItemBackground(dc, area, (item.itemState & ODS_SELECTED) != 0);
  RECT radio = {3, area.top + 4, 16, area.bottom - 2};
  bool active = record->Id == gAppSettings.ActiveProfileId;
  if (active) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kActiveText);
  }
  DrawFrameControl(dc, &radio, DFC_BUTTON, DFCS_BUTTONRADIO | (active ? DFCS_CHECKED : 0));
  Text caption(FieldView(record->Caption));
  TextOutW(dc, 20, area.top + 5, Wide(caption), static_cast<int>(caption.size()));
}
