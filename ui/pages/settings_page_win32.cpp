// The additional-settings page. Every change goes into AppSettings at once (the file is
// written when the main window goes); the context-menu and start-with-Windows boxes act
// on the registry at once. The colour options belong to the conversion settings that
// profiles carry, so the page shows them again when a profile is activated.
#include "base/wide_win32.h"
#include "ui/pages/settings_page_win32.h"

#include <commctrl.h>

#include "app/main_win32.h"
#include "base/error_log.h"
#include "base/shell_win32.h"
#include "base/utils.h"
#include "settings/app_settings.h"
#include "settings/defaults.h"
#include "shell/autorun.h"
#include "shell/context_menu.h"
#include "shell/output_folder.h"
#include "ui/pages/settings_page_ids.h"
#include "ui/pages/pages_win32.h"
#include "ui/controls/window_tools_win32.h"

namespace {

constexpr DWORD kEditStyle = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
constexpr DWORD kOptionBoxStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kContextBoxStyle =
    WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_MULTILINE | BS_VCENTER | BS_LEFT;
constexpr int kPresetEditUnits = 126;
constexpr int32_t kWarningKind = 2;  // OK button, exclamation icon
constexpr char16_t kBrowseTitle[] = u"Выберете папку";

struct Placed {
  int id;
  const char16_t* text;
  int x, y, w, h;
};

const Placed kFrames[] = {
    {kIdFolderFrame, u"Укажите путь для выходной директории", 5, 6, 760, 112},
    {kIdPresetFrame, u"Дополнительные поля, в список расширений файлов, допустимых для обработки:", 5, 122, 760, 64},
    {kIdContextMenuFrame, u"Интеграция с контекстным меню", 5, 188, 372, 78},
    {kIdColourFrame, u"Цвета", 383, 188, 382, 78},
    {kIdOtherFrame, u"Другое", 5, 268, 760, 82},
};

const Placed kModeRadios[] = {
    {5100, u"Использовать указанную директорию для сохранения обработанных файлов", 12, 52, 440, 18},
    {5101, u"Создавать новую директорию в исходной с именем: ", 12, 72, 296, 18},
    {5102, u"Использовать исходную директорию, к имени файлов добавлять суффикс (_с)", 12, 92, 440, 18},
};

// In creation order; the tooltip box is only a display of ShowToolTips.
const Placed kOptionBoxes[] = {
    {kIdAutoStartBox, u"Автозапуск при старте ОС", 14, 286, 200, 20},
    {kIdTrayOnCloseBox, u"Сворачивать в трей вместо закрытия", 14, 304, 240, 20},
    {kIdWarnOnCloseBox, u"Предупреждать при закрытии (при конвертации)", 14, 322, 276, 20},
    {kIdTrayOnStartBox, u"Сворачивать в трей при запуске", 320, 286, 200, 20},
    {kIdToolTipsBox, u"Показывать подсказки (нужен перезапуск)", 320, 304, 264, 20},
};

// One box per entry of kContextMenuTargets, in its order.
const Placed kContextBoxes[] = {
    {kIdDrivesBox, u"Добавить для дисков", 14, 206, 160, 16},
    {kIdFoldersBox, u"Добавить для папок", 14, 224, 160, 16},
    {kIdFilesBox, u"Добавить для файлов", 14, 242, 160, 16},
};

// Beside the context menu, in that frame's rows.
const Placed kToSrgbBox = {kIdToSrgbBox, u"Преобразовывать цвета в sRGB", 392, 206, 240, 16};
const Placed kBackgroundLabel = {-1, u"Цвет фона под прозрачностью:", 392, 234, 170, 14};
const Placed kBackgroundButton = {kIdBackgroundButton, u"", 566, 229, 44, 22};
constexpr int kSwatchWidth = 26;
constexpr int kSwatchHeight = 10;

constexpr char16_t kToSrgbTip[] =
    u"Пересчитать цвета из профиля исходного файла в sRGB: одинаково во всех браузерах и программах просмотра.";
constexpr char16_t kBackgroundTip[] =
    u"Этим цветом заполняются прозрачные места, если результат не хранит прозрачность (JPG, PNG 256 цветов). "
    u"Нажмите, чтобы выбрать цвет.";
// Beside the output modes, in the folder frame: what becomes of each output.
const Placed kKeepDatesBox = {kIdKeepDatesBox, u"Сохранять дату и время исходных файлов", 462, 52, 296, 18};
const Placed kKeepIfSmallerBox = {kIdKeepIfSmallerBox, u"Оставлять исходный файл, если результат больше", 462, 72, 296, 18};
const Placed kExistingLabel = {-1, u"Если файл уже есть:", 462, 95, 110, 14};
const Placed kExistingFilesBox = {kIdExistingFilesBox, u"", 574, 91, 184, 120};
// In ExistingFiles order: replace, skip, counter.
const char16_t* const kExistingChoices[] = {u"Заменять", u"Пропускать", u"Сохранять рядом: имя (2)"};

constexpr char16_t kKeepDatesTip[] =
    u"Результат получает дату изменения исходного файла (в Windows и дату создания): "
    u"сортировка по дате остаётся прежней.";
constexpr char16_t kKeepIfSmallerTip[] =
    u"Если результат того же формата и размера в пикселях, что и исходный файл, получился "
    u"больше него, вместо результата копируется исходный файл (рядом с исходным ничего не пишется).";
constexpr char16_t kExistingFilesTip[] =
    u"Что делать с файлом, который уже лежит на месте результата и записан не этой программой. "
    u"Свои прежние результаты программа узнаёт и не преобразует повторно без изменений.";

HWND gSettingsPage = nullptr;
bool gSettingsToolTipsDone = false;
// A control draws with the font object it was given and does not copy it, so the two
// fonts live as long as the page.
HFONT gFolderFont = nullptr;
HFONT gPresetFont = nullptr;
// The swatch the colour button shows; the button does not copy it either.
HBITMAP gSwatch = nullptr;
// The chooser's sixteen custom colours, kept while the program runs as Windows programs
// usually do; white until the user mixes some.
COLORREF gCustomColours[16] = {};
bool gCustomColoursSet = false;

HWND CreateChild(HWND page, const char16_t* className, TextView text, DWORD style, DWORD exStyle, const Placed& at) {
  Text caption(text);
  return CreateWindowExW(exStyle, Wide(className), Wide(caption), style, at.x, at.y, at.w, at.h, page,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(at.id)), GetModuleHandleW(nullptr), nullptr);
}

HWND CreateChild(HWND page, const char16_t* className, DWORD style, DWORD exStyle, const Placed& at) {
  return CreateChild(page, className, at.text, style, exStyle, at);
}

// The field an option box shows and sets.
int32_t* OptionField(int id) {
  switch (id) {
    case kIdAutoStartBox: return &gAppSettings.AutoStart;
    case kIdTrayOnCloseBox: return &gAppSettings.TrayOnClose;
    case kIdWarnOnCloseBox: return &gAppSettings.WarnOnClose;
    case kIdTrayOnStartBox: return &gAppSettings.TrayOnStart;
    case kIdToolTipsBox: return &gAppSettings.ShowToolTips;
    case kIdToSrgbBox: return &gAppSettings.ToSrgb;
    default: return nullptr;
  }
}

void SetCheck(HWND page, int id, bool on) {
  SendDlgItemMessageW(page, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsTicked(HWND page, int id) {
  return SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// ---- The colour options ---------------------------------------------------------------

COLORREF ColourRef(uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

uint32_t RgbOf(COLORREF colour) {
  return static_cast<uint32_t>(GetRValue(colour)) << 16 | static_cast<uint32_t>(GetGValue(colour)) << 8 |
         GetBValue(colour);
}

// "RRGGBB", as tessaly-batch's --background takes it: the button's text, which it does not
// draw but screen readers and the tests read.
Text HexText(uint32_t rgb) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  Text text;
  for (int shift = 20; shift >= 0; shift -= 4) text += kDigits[(rgb >> shift) & 0xF];
  return text;
}

// A dark outline keeps white (the default) visible on a light button face.
HBITMAP MakeSwatch(uint32_t rgb) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP swatch = CreateCompatibleBitmap(screen, kSwatchWidth, kSwatchHeight);
  ReleaseDC(nullptr, screen);
  if (!dc || !swatch) {
    if (dc) DeleteDC(dc);
    if (swatch) DeleteObject(swatch);
    return nullptr;
  }
  HGDIOBJ previous = SelectObject(dc, swatch);
  RECT area = {0, 0, kSwatchWidth, kSwatchHeight};
  HBRUSH fill = CreateSolidBrush(ColourRef(rgb));
  FillRect(dc, &area, fill);
  DeleteObject(fill);
  FrameRect(dc, &area, GetSysColorBrush(COLOR_BTNSHADOW));
  SelectObject(dc, previous);
  DeleteDC(dc);
  return swatch;
}

// The box and the swatch as the record says; the old swatch goes once the button has the
// new one.
void ShowColourOptions(HWND page) {
  SetCheck(page, kIdToSrgbBox, gAppSettings.ToSrgb != 0);
  HWND button = GetDlgItem(page, kIdBackgroundButton);
  uint32_t rgb = BackgroundRgb(gAppSettings);
  HBITMAP swatch = MakeSwatch(rgb);
  SendMessageW(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(swatch));
  if (gSwatch) DeleteObject(gSwatch);
  gSwatch = swatch;
  SetControlText(button, HexText(rgb));
}

// ---- What becomes of the outputs ----------------------------------------------------------

void CreateOutputControls(HWND page) {
  CreateChild(page, u"Button", kOptionBoxStyle, 0, kKeepDatesBox);
  CreateChild(page, u"Button", kOptionBoxStyle, 0, kKeepIfSmallerBox);
  CreateChild(page, u"Static", WS_CHILD | WS_VISIBLE, 0, kExistingLabel);
  HWND box = CreateChild(page, u"ComboBox", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0,
                         kExistingFilesBox);
  for (const char16_t* choice : kExistingChoices) {
    Text item(choice);
    SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item)));
  }
}

// The boxes as the record says; a profile brings its own.
void ShowOutputOptions(HWND page) {
  SetCheck(page, kIdKeepDatesBox, gAppSettings.KeepDates != 0);
  SetCheck(page, kIdKeepIfSmallerBox, gAppSettings.KeepIfSmaller != 0);
  SendDlgItemMessageW(page, kIdExistingFilesBox, CB_SETCURSEL, ExistingFilesRule(gAppSettings), 0);
}

void SetOutputToolTips(HWND page) {
  AddToolTip(page, GetDlgItem(page, kIdKeepDatesBox), kKeepDatesTip);
  AddToolTip(page, GetDlgItem(page, kIdKeepIfSmallerBox), kKeepIfSmallerTip);
  AddToolTip(page, GetDlgItem(page, kIdExistingFilesBox), kExistingFilesTip);
}

void OnOutputCommand(HWND page, int id, int code) {
  if (id == kIdKeepDatesBox && code == BN_CLICKED) gAppSettings.KeepDates = IsTicked(page, id) ? 1 : 0;
  if (id == kIdKeepIfSmallerBox && code == BN_CLICKED) gAppSettings.KeepIfSmaller = IsTicked(page, id) ? 1 : 0;
  if (id == kIdExistingFilesBox && code == CBN_SELCHANGE) {
    LRESULT chosen = SendDlgItemMessageW(page, id, CB_GETCURSEL, 0, 0);
    if (chosen >= kExistingReplace && chosen <= kExistingCounter) gAppSettings.ExistingFiles = static_cast<int32_t>(chosen);
  }
}

// ---- Building -------------------------------------------------------------------------

void CreateFolderControls(HWND page) {
  for (const Placed& frame : kFrames)
    KeepGroupCaptionWhole(CreateChild(page, u"Button", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, frame));
  HWND presets = CreateChild(page, u"Edit", FieldView(gAppSettings.ExtensionList),
                             kEditStyle | WS_TABSTOP | ES_LOWERCASE, WS_EX_CLIENTEDGE, {kIdPresets, u"", 12, 142, 746, 22});
  SendMessageW(presets, EM_LIMITTEXT, kPresetEditUnits, 0);
  CreateChild(page, u"Edit", FieldView(gAppSettings.OutputFolder), kEditStyle | ES_READONLY, 0,
              {kIdOutputFolder, u"", 12, 25, 686, 22});
  CreateChild(page, u"Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_FLAT, 0,
              {kIdBrowse, u"&Обзор", 703, 20, 54, 28});
  CreateChild(page, u"Static", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 0, {-1, u"", 12, 47, 686, 1});
  for (const Placed& radio : kModeRadios) {
    DWORD style = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON | (radio.id == kIdOutputModeFirst ? WS_GROUP | WS_TABSTOP : 0);
    CreateChild(page, u"Button", style, 0, radio);
  }
}

void CreateOptionControls(HWND page) {
  // A damaged settings file may hold no subfolder name; the box is never left empty.
  if (FieldView(gAppSettings.SubfolderName).empty()) SetField(gAppSettings.SubfolderName, kDefaultSubfolder);
  HWND subfolder = CreateChild(page, u"Edit", FieldView(gAppSettings.SubfolderName),
                               kEditStyle | WS_GROUP | WS_TABSTOP, WS_EX_CLIENTEDGE,
                               {kIdSubfolder, u"", 308, 72, 114, 18});
  SendMessageW(subfolder, EM_LIMITTEXT, 31, 0);
  for (const Placed& box : kOptionBoxes) {
    DWORD style = kOptionBoxStyle | (box.id == kIdToolTipsBox ? WS_DISABLED : 0);
    CreateChild(page, u"Button", style, 0, box);
    SetCheck(page, box.id, *OptionField(box.id) != 0);
  }
  for (int i = 0; i < 3; ++i) {
    CreateChild(page, u"Button", kContextBoxStyle, WS_EX_NOPARENTNOTIFY, kContextBoxes[i]);
    CheckVerbPresent(page, kContextBoxes[i].id, VerbKeyPath(kContextMenuTargets[i].base, kVerbName));
  }
}

void CreateColourControls(HWND page) {
  CreateChild(page, u"Button", kOptionBoxStyle, 0, kToSrgbBox);
  CreateChild(page, u"Static", WS_CHILD | WS_VISIBLE, 0, kBackgroundLabel);
  CreateChild(page, u"Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_BITMAP, 0, kBackgroundButton);
}

// Every control reads in the dialog font (a control made with CreateWindowExW would
// draw in the heavy system font); the two text boxes then get their own.
void ApplyPageFonts(HWND page) {
  WPARAM guiFont = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    SendMessageW(child, WM_SETFONT, guiFont, FALSE);
  if (!gFolderFont) gFolderFont = CreatePointFont(u"Tahoma", 11, false, false, true);
  if (!gPresetFont) gPresetFont = CreatePointFont(u"Tahoma", 8, true, false, true);
  SendDlgItemMessageW(page, kIdOutputFolder, WM_SETFONT, reinterpret_cast<WPARAM>(gFolderFont), FALSE);
  SendDlgItemMessageW(page, kIdPresets, WM_SETFONT, reinterpret_cast<WPARAM>(gPresetFont), FALSE);
}

void InitAppSettingsPage(HWND page) {
  gSettingsPage = page;
  CreateFolderControls(page);
  ShowOutputMode(gAppSettings.OutputMode);
  CreateOptionControls(page);
  CreateColourControls(page);
  CreateOutputControls(page);
  ApplyPageFonts(page);
  ShowColourOptions(page);
  ShowOutputOptions(page);
}

// The first call also makes sure the shared tooltip window exists.
void SetSettingsToolTips(HWND page) {
  if (gSettingsToolTipsDone) return;
  gSettingsToolTipsDone = true;
  AddToolTip(page, nullptr, u"");
  AddToolTip(page, GetDlgItem(page, kIdToSrgbBox), kToSrgbTip);
  AddToolTip(page, GetDlgItem(page, kIdBackgroundButton), kBackgroundTip);
  SetOutputToolTips(page);
}

// ---- Commands -------------------------------------------------------------------------

void OnContextBox(HWND page, int index) {
  const ContextMenuTarget& target = kContextMenuTargets[index];
  int32_t present = ToggleContextMenuVerb(target.base, kVerbName, EXENAME());
  SetCheck(page, kContextBoxes[index].id, present != 0);
  SetVerbCaption(VerbKeyPath(target.base, kVerbName), target.caption);
}

// An emptied box shows the default presets again at once, selected, so that typing
// replaces them.
void OnPresetsChanged(HWND edit) {
  Text typed = ControlText(edit, 127);
  if (typed.empty()) {
    SetField(gAppSettings.ExtensionList, kDefaultExtensionList);
    SetControlText(edit, kDefaultExtensionList);
    SendMessageW(edit, EM_SETSEL, 0, -1);
  } else {
    SetField(gAppSettings.ExtensionList, typed);
  }
  RefillFilterChoices();
}

// Writing the default back into an emptied box stores it through the same notification.
void OnSubfolderChanged(HWND edit) {
  Text typed = ControlText(edit, 31);
  if (!typed.empty()) {
    SetField(gAppSettings.SubfolderName, typed);
    return;
  }
  SetControlText(edit, kDefaultSubfolder);
  SendMessageW(edit, EM_SETSEL, 0, -1);
}

// A folder whose path does not fit OutputFolder is refused: a cut path names another
// folder, and the results would go there.
void OnBrowse(HWND page) {
  Text start = BrowseStartFolder(FieldView(gAppSettings.OutputFolder));
  Text chosen = BrowseForFolder(page, start, kBrowseTitle, 0);
  if (chosen.empty()) return;
  if (chosen.size() > kOutputFolderUnits) {
    TimedMessageBox(u"Слишком длинный путь к папке:\r\n" + chosen, u"", 0, kWarningKind, 0);
    return;
  }
  SetField(gAppSettings.OutputFolder, chosen);
  SetControlText(GetDlgItem(page, kIdOutputFolder), chosen);
}

void OnAutoStartBox(HWND page) {
  gAppSettings.AutoStart = IsTicked(page, kIdAutoStartBox) ? 1 : 0;
  AutoStartOutcome outcome = SwitchAutoStart(gAppSettings.AutoStart != 0, EXENAME());
  if (!outcome.message.empty()) TimedMessageBox(outcome.message, u"", 0, kWarningKind, 0);
  gAppSettings.AutoStart = outcome.autoStart;
  SetCheck(page, kIdAutoStartBox, outcome.autoStart != 0);
}

void OnOptionBox(HWND page, int id) {
  *OptionField(id) = IsTicked(page, id) ? 1 : 0;
  // 1 turns tooltips on (switch 0), 0 turns them off (switch -1).
  if (id == kIdToolTipsBox)
    AddToolTip(nullptr, reinterpret_cast<HWND>(static_cast<intptr_t>(gAppSettings.ShowToolTips - 1)), u"SET");
}

// The chooser opens on the stored colour with its mixing part shown, so an exact colour
// can be typed; Cancel leaves everything as it was.
void OnBackgroundButton(HWND page) {
  if (!gCustomColoursSet) {
    for (COLORREF& colour : gCustomColours) colour = RGB(255, 255, 255);
    gCustomColoursSet = true;
  }
  CHOOSECOLORW choice = {};
  choice.lStructSize = sizeof choice;
  choice.hwndOwner = page;
  choice.rgbResult = ColourRef(BackgroundRgb(gAppSettings));
  choice.lpCustColors = gCustomColours;
  choice.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
  if (!ChooseColorW(&choice)) return;
  gAppSettings.Background = StoredBackground(RgbOf(choice.rgbResult));
  ShowColourOptions(page);
}

void OnSettingsCommand(HWND page, WPARAM wParam, LPARAM lParam) {
  int id = LOWORD(wParam);
  int code = HIWORD(wParam);
  bool click = code == 0 || code == 1;
  HWND control = reinterpret_cast<HWND>(lParam);
  for (int i = 0; i < 3; ++i)
    if (id == kContextBoxes[i].id && code == 0) OnContextBox(page, i);
  if (id == kIdPresets && code == EN_CHANGE) OnPresetsChanged(control);
  if (id == kIdSubfolder && code == EN_CHANGE) OnSubfolderChanged(control);
  OnOutputCommand(page, id, code);
  if (!click) return;
  if (id == kIdBrowse) OnBrowse(page);
  if (id == kIdBackgroundButton) OnBackgroundButton(page);
  if (id >= kIdOutputModeFirst && id <= kIdOutputModeLast) gAppSettings.OutputMode = id - kIdOutputModeFirst;
  if (id == kIdAutoStartBox) OnAutoStartBox(page);
  if (id == kIdTrayOnStartBox || id == kIdTrayOnCloseBox || id == kIdWarnOnCloseBox || id == kIdToolTipsBox ||
      id == kIdToSrgbBox)
    OnOptionBox(page, id);
}

void OnSettingsDestroy() {
  gSettingsPage = nullptr;
}

// The fonts and the swatch go once the controls that draw with them are gone (children
// are destroyed after their parent's WM_DESTROY).
void OnSettingsFinalDestroy() {
  for (HFONT* font : {&gFolderFont, &gPresetFont}) {
    if (*font) DeleteObject(*font);
    *font = nullptr;
  }
  if (gSwatch) DeleteObject(gSwatch);
  gSwatch = nullptr;
}

INT_PTR DispatchSettingsMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitAppSettingsPage(page);
      SetSettingsToolTips(page);
      break;
    case WM_COMMAND: OnSettingsCommand(page, wParam, lParam); break;
    case WM_DESTROY: OnSettingsDestroy(); break;
    case WM_NCDESTROY: OnSettingsFinalDestroy(); break;
    case kMsgSettingsApplied:
      ShowOutputMode(gAppSettings.OutputMode);
      ShowColourOptions(page);
      ShowOutputOptions(page);
      break;
    default: break;
  }
  return FALSE;
}

}  // namespace

INT_PTR CALLBACK AppSettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return TrappedDialogProc("AppSettingsPageProc", DispatchSettingsMessage, page, message, wParam, lParam);
}

// A mode outside 0..2 (a damaged file) leaves all three clear: none of them is in force.
void ShowOutputMode(int32_t mode) {
  if (!gSettingsPage) return;
  for (int id = kIdOutputModeFirst; id <= kIdOutputModeLast; ++id)
    SetCheck(gSettingsPage, id, id - kIdOutputModeFirst == mode);
}

int32_t CheckVerbPresent(HWND dialog, int id, TextView verbKeyPath) {
  if (!VerbPresent(verbKeyPath)) return 0;
  if (id != 0) SendDlgItemMessageW(dialog, id, BM_SETCHECK, BST_CHECKED, 0);
  return 1;
}
