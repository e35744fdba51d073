// The conversion-parameters page: resize rule, target format with its option panel, and
// the profile list. Every control writes straight into AppSettings; what the profile
// controls do is in profiles_win32.cpp.
#include <windows.h>
#include <commctrl.h>

#include "base/error_log.h"
#include "base/wide_win32.h"
#include "ui/controls/option_panel_win32.h"
#include "settings/app_settings.h"
#include "settings/formats.h"
#include "settings/option_panel_ids.h"
#include "ui/pages/params_page_ids.h"
#include "ui/pages/pages_win32.h"
#include "ui/pages/params_page_win32.h"
#include "settings/params_rules.h"
#include "ui/pages/profile_list_win32.h"
#include "settings/profiles.h"
#include "ui/pages/profiles_win32.h"
#include "ui/controls/window_tools_win32.h"

namespace {

constexpr DWORD kFrameStyle = WS_CHILD | WS_VISIBLE | BS_GROUPBOX;
constexpr DWORD kRadioStyle = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON;
constexpr DWORD kDropListStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD kDropDownStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
constexpr DWORD kProfileListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_HASSTRINGS |
                                    LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT;
constexpr int kProfileItemHeight = 26;
// A drop-down's window height includes its list; the box itself is as high as its font.
constexpr int kDropHeight = 220;
constexpr int kFormatBoxUnits = 7;
constexpr int kNumberBoxUnits = 20;

// GDI objects of the page: a control draws with the font it was given and does not
// copy it, so they live as long as the page.
HFONT gNameFont = nullptr;
HFONT gProfileFont = nullptr;
bool gParamsToolTipsDone = false;

HWND Child(HWND page, int id) {
  return GetDlgItem(page, id);
}

HWND AddControl(HWND page, const char16_t* className, TextView text, DWORD style, int id, int x, int y, int w, int h,
                DWORD exStyle = 0) {
  Text caption(text);
  return CreateWindowExW(exStyle, Wide(className), Wide(caption), style, x, y, w, h, page,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

// Each item is passed as a copy: a combo box with a case style converts the text it is
// given in place (Wine does), which faults on a literal.
void AddItems(HWND box, std::initializer_list<const char16_t*> items) {
  for (const char16_t* item : items) {
    Text copy(item);
    SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(copy.data()));
  }
}

// The edit part of a drop-down takes digits only; pasted text still gets through, which
// is why the number is cleaned again when the box loses the focus.
void AcceptDigitsOnly(HWND box) {
  COMBOBOXINFO info = {};
  info.cbSize = sizeof info;
  if (GetComboBoxInfo(box, &info) && info.hwndItem) AddWindowStyle(info.hwndItem, ES_NUMBER);
}



void AddResizeControls(HWND page) {
  AddControl(page, u"Button", u"Изменить размер - способ: ", kFrameStyle, kIdResizeFrame, 5, 12, 376, 210);
  AddControl(page, u"Button", u"Расчёт пикселах, по одной из сторон ", kFrameStyle, kIdPixelsFrame, 10, 98, 366, 66);
  AddControl(page, u"Button", u"В процентах", kFrameStyle, kIdPercentFrame, 10, 170, 366, 45);
  AddControl(page, u"Button", u"Конвертация — преобразование ", kFrameStyle, kIdConvertFrame, 5, 226, 376, 126);
  AddControl(page, u"Button", u"Сохраненные профили: ", kFrameStyle, kIdProfilesFrame, 389, 12, 376, 341);
  AddControl(page, u"Button", ResizeModeText(0), kRadioStyle | WS_GROUP | WS_TABSTOP, kIdResizeNone, 14, 32, 166, 16);
  AddControl(page, u"Button", ResizeModeText(1), kRadioStyle, kIdResizePixels, 14, 52, 166, 16);
  AddControl(page, u"Button", ResizeModeText(2), kRadioStyle, kIdResizePercent, 14, 72, 166, 16);
  HWND side = AddControl(page, u"ComboBox", u"", kDropListStyle | WS_GROUP, kIdSideList, 18, 114, 162, kDropHeight);
  for (int32_t n = 1; n <= 4; ++n) {
    Text item(ResizeSideText(n));
    SendMessageW(side, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item)));
  }
  AddControl(page, u"Static", u"=", WS_CHILD | WS_VISIBLE, -1, 184, 116, 12, 16);
  HWND size = AddControl(page, u"ComboBox", u"", kDropDownStyle, kIdSizeBox, 196, 114, 62, kDropHeight);
  AddItems(size, {u"100", u"200", u"400", u"800", u"1000", u"1200", u"1400", u"1600", u"1800", u"2000", u"2200",
                  u"2400", u"2600", u"2800", u"3000"});
  AcceptDigitsOnly(size);
  AddControl(page, u"Button", u"Не менять размер, если исходный размер меньше нового",
             WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, kIdNoEnlarge, 19, 140, 348, 16);
  HWND percent = AddControl(page, u"ComboBox", u"", kDropDownStyle, kIdPercentBox, 18, 186, 54, kDropHeight);
  AddItems(percent, {u"25", u"50", u"200", u"300"});
  AcceptDigitsOnly(percent);
}

void AddFormatControls(HWND page) {
  AddControl(page, u"Static", u"Преобразововать в:", WS_CHILD | WS_VISIBLE, -1, 16, 248, 110, 14);
  HWND format = AddControl(page, u"ComboBox", u"", kDropDownStyle | CBS_UPPERCASE, kIdFormatBox, 128, 244, 62,
                           kDropHeight);
  int count = 0;
  const OutputFormat* formats = OutputFormats(&count);
  for (int i = 0; i < count; ++i) AddItems(format, {formats[i].name});
}

void AddProfileControls(HWND page) {
  HWND list = AddControl(page, u"ListBox", u"", kProfileListStyle, kIdProfiles, 395, 28, 364, 266, WS_EX_CLIENTEDGE);
  SendMessageW(list, LB_SETITEMHEIGHT, 0, kProfileItemHeight);
  gProfileList.Attach(list);
  AddControl(page, u"Static", u"Добавить новый пункт или изменить имя выделенного пункта", WS_CHILD | WS_VISIBLE, -1,
             395, 305, 364, 14);
  AddControl(page, u"Button", u"Добавить", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kIdAddProfile, 680, 320,
             79, 24);
  HWND name = AddControl(page, u"Edit", u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, kIdProfileName, 395,
                         321, 282, 23, WS_EX_CLIENTEDGE);
  SendMessageW(name, EM_LIMITTEXT, kProfileCaptionUnits, 0);
}

// The list's font: the default GUI font, 2 higher and 5 narrower, regular Arial.
HFONT MakeProfileFont() {
  LOGFONTW font = {};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  font.lfHeight -= 2;
  font.lfWidth -= 5;
  font.lfWeight = FW_NORMAL;
  Text face = u"Arial";
  for (size_t i = 0; i <= face.size(); ++i) font.lfFaceName[i] = static_cast<WCHAR>(i < face.size() ? face[i] : 0);
  return CreateFontIndirectW(&font);
}

void ApplyPageFonts(HWND page) {
  WPARAM guiFont = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    SendMessageW(child, WM_SETFONT, guiFont, FALSE);
  if (!gNameFont) gNameFont = CreatePointFont(u"Arial", 10, false, false, false);
  if (!gProfileFont) gProfileFont = MakeProfileFont();
  SendMessageW(Child(page, kIdProfileName), WM_SETFONT, reinterpret_cast<WPARAM>(gNameFont), FALSE);
  SendMessageW(Child(page, kIdProfiles), WM_SETFONT, reinterpret_cast<WPARAM>(gProfileFont), FALSE);
}

void InitParamsPage(HWND page) {
  AddResizeControls(page);
  AddFormatControls(page);
  AddProfileControls(page);
  ApplyPageFonts(page);
  ShowConversionSettings(page);
}

void SetParamsToolTips(HWND page) {
  if (gParamsToolTipsDone) return;
  gParamsToolTipsDone = true;
  AddToolTip(page, nullptr, u"");
  AddToolTip(page, Child(page, kIdProfiles), u"Активация профиля двойной клик мыши.\r\nВызов меню правой кнопкой мыши.");
  AddToolTip(page, Child(page, kIdProfileName), u"Имя для нового пункта профиля\r\nРедактирование существующего профиля.");
}

// ---- Notifications --------------------------------------------------------------------

// Only the boxes of the chosen way of resizing take input; the others are greyed, as
// nothing reads them.
void EnableResizeBoxes(HWND page) {
  int32_t mode = gAppSettings.ResizeMode;
  for (int id : {kIdSideList, kIdSizeBox, kIdNoEnlarge}) EnableWindow(Child(page, id), mode == 1);
  EnableWindow(Child(page, kIdPercentBox), mode == 2);
}

void TakeNumber(HWND box, int32_t max, int32_t* field) {
  TypedNumber number = TakeTypedNumber(ControlText(box, kNumberBoxUnits), max);
  if (number.limited) SetControlText(box, NumberText(number.value));
  *field = number.value;
}

void RebuildPanel(HWND page, TextView formatName) {
  BuildOptionPanel(page, kPanelX, kPanelY, kPanelWidth, kPanelHeight, formatName);
}

void OnFormatSelected(HWND page, HWND box) {
  LRESULT sel = SendMessageW(box, CB_GETCURSEL, 0, 0);
  if (sel == CB_ERR) return;
  char16_t item[32] = {};
  if (SendMessageW(box, CB_GETLBTEXTLEN, sel, 0) >= 32) return;
  SendMessageW(box, CB_GETLBTEXT, sel, reinterpret_cast<LPARAM>(item));
  if (!item[0]) return;
  SetField(gAppSettings.TargetFormat, ToUpper(item));
  RebuildPanel(page, FieldView(gAppSettings.TargetFormat));
  RefreshCaptionIfChanged();
}

void OnFormatLeft(HWND page, HWND box) {
  Text typed = ControlText(box, kFormatBoxUnits);
  Text name = FormatBoxName(typed);
  if (typed.empty()) SetControlText(box, name);
  SetField(gAppSettings.TargetFormat, name);
  RebuildPanel(page, FieldView(gAppSettings.TargetFormat));
  MakeProfileCaption();
}

void OnFormatBox(HWND page, HWND box, int code) {
  if (code == CBN_EDITCHANGE) RebuildPanel(page, ControlText(box, kFormatBoxUnits));
  if (code == CBN_SELCHANGE) OnFormatSelected(page, box);
  if (code == CBN_KILLFOCUS) OnFormatLeft(page, box);
}

void OnProfileListCommand(HWND page, HWND list, int code) {
  if (code == LBN_DBLCLK) ActivateSelectedProfile();
  if (code != LBN_SELCHANGE) return;
  LRESULT sel = SendMessageW(list, LB_GETCURSEL, 0, 0);
  const ProfileRecord* record = sel == LB_ERR ? nullptr : gProfileList.At(static_cast<int32_t>(sel));
  if (record) SetControlText(Child(page, kIdProfileName), FieldView(record->Caption));
}

void OnNameBox(HWND box, int code) {
  if (code == EN_CHANGE && GetWindowTextLengthW(box) == 0) MakeProfileCaption();
  if (code == EN_SETFOCUS) RefreshCaptionIfChanged();
}

INT_PTR OnParamsCommand(HWND page, WPARAM wParam, LPARAM lParam) {
  int id = LOWORD(wParam);
  int code = HIWORD(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  bool click = code == 0 || code == 1;
  switch (id) {
    case kIdSizeBox:
      if (code == CBN_SELENDCANCEL) TakeNumber(control, kMaxTargetSize, &gAppSettings.TargetSize);
      break;
    case kIdPercentBox:
      if (code == CBN_SELENDCANCEL) TakeNumber(control, kMaxScalePercent, &gAppSettings.ScalePercent);
      break;
    case kIdSideList:
      if (code == CBN_SELCHANGE)
        gAppSettings.ResizeSide = static_cast<int32_t>(SendMessageW(control, CB_GETCURSEL, 0, 0)) + 1;
      break;
    case kIdResizeNone:
    case kIdResizePixels:
    case kIdResizePercent:
      if (!click) break;
      gAppSettings.ResizeMode = id - kIdResizeNone;
      EnableResizeBoxes(page);
      break;
    case kIdNoEnlarge:
      if (!click) break;
      gAppSettings.NoEnlarge = IsDlgButtonChecked(page, kIdNoEnlarge) == BST_CHECKED ? 1 : 0;
      CheckDlgButton(page, kIdNoEnlarge, gAppSettings.NoEnlarge ? BST_CHECKED : BST_UNCHECKED);
      break;
    case kIdFormatBox: OnFormatBox(page, control, code); break;
    case kIdProfiles: OnProfileListCommand(page, control, code); break;
    case kIdAddProfile:
      if (click) OnAddProfileClicked();
      break;
    case kIdProfileName: OnNameBox(control, code); break;
    // The slider and the check boxes of the option panel, by mouse or by keyboard.
    case kIdOptionGroup:
      if (code == kOptionPanelChanged) RefreshCaptionIfChanged();
      break;
    default: break;
  }
  return FALSE;
}

INT_PTR OnParamsDrawItem(WPARAM wParam, LPARAM lParam) {
  if (wParam != static_cast<WPARAM>(kIdProfiles)) return FALSE;
  DrawProfileItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
  return TRUE;
}

// The list's background matches its owner-drawn items.
INT_PTR OnParamsListColour(LPARAM lParam) {
  if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != kIdProfiles) return FALSE;
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_MENU));
}

INT_PTR OnParamsContextMenu(WPARAM wParam) {
  HWND window = reinterpret_cast<HWND>(wParam);
  if (GetDlgCtrlID(window) == kIdProfiles) ShowProfileMenu(window);
  return FALSE;
}

INT_PTR OnParamsDestroy() {
  // The records are written and released by the save at the end of the dialog, which
  // runs before the page goes; from now on the list answers empty.
  gProfileList.Attach(nullptr);
  return FALSE;
}

INT_PTR OnParamsFinalDestroy() {
  for (HFONT* font : {&gNameFont, &gProfileFont}) {
    if (*font) DeleteObject(*font);
    *font = nullptr;
  }
  return FALSE;
}

INT_PTR DispatchParamsMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitParamsPage(page);
      SetParamsToolTips(page);
      return TRUE;
    case WM_COMMAND: return OnParamsCommand(page, wParam, lParam);
    case WM_DRAWITEM: return OnParamsDrawItem(wParam, lParam);
    case WM_MEASUREITEM: return TRUE;
    case WM_CTLCOLORLISTBOX: return OnParamsListColour(lParam);
    case WM_CONTEXTMENU: return OnParamsContextMenu(wParam);
    case WM_DESTROY: return OnParamsDestroy();
    case WM_NCDESTROY: return OnParamsFinalDestroy();
    case kMsgSettingsApplied:
      // The suggested caption follows the activated profile at once, not at the next
      // tick of the main dialog's timer, which would overwrite a name typed meanwhile.
      ShowConversionSettings(page);
      RefreshCaptionIfChanged();
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

void ShowConversionSettings(HWND page) {
  if (!page) return;
  CheckRadioButton(page, kIdResizeNone, kIdResizePercent, kIdResizeNone + gAppSettings.ResizeMode);
  EnableResizeBoxes(page);
  SendMessageW(Child(page, kIdSideList), CB_SETCURSEL, gAppSettings.ResizeSide - 1, 0);
  SetControlText(Child(page, kIdSizeBox), NumberText(gAppSettings.TargetSize));
  CheckDlgButton(page, kIdNoEnlarge, gAppSettings.NoEnlarge ? BST_CHECKED : BST_UNCHECKED);
  SetControlText(Child(page, kIdPercentBox), NumberText(gAppSettings.ScalePercent));
  SetControlText(Child(page, kIdFormatBox), FieldView(gAppSettings.TargetFormat));
  RebuildPanel(page, FieldView(gAppSettings.TargetFormat));
}

INT_PTR CALLBACK ParamsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return TrappedDialogProc("ParamsPageProc", DispatchParamsMessage, page, message, wParam, lParam);
}
