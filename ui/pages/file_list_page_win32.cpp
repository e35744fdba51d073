// The file-list page: the FileList list box, the extension filter, the entry count, and
// the list's context menu with its commands.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include "base/wide_win32.h"
#include "base/error_log.h"
#include "base/shell_win32.h"
#include "engine/run/run.h"
#include "input/collect.h"
#include "input/file_list.h"
#include "input/file_list_win32.h"
#include "settings/app_settings.h"
#include "settings/defaults.h"
#include "base/filesys.h"
#include "engine/run/run_report.h"
#include "ui/pages/file_list_page_ids.h"
#include "ui/pages/file_list_view_win32.h"
#include "ui/menu_rules.h"
#include "ui/pages/pages_win32.h"
#include "ui/controls/window_tools_win32.h"

namespace {

constexpr DWORD kFilterBoxStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWN | CBS_AUTOHSCROLL |
                                  CBS_HASSTRINGS | CBS_DISABLENOSCROLL | CBS_LOWERCASE;
// The page draws the rows (file_list_view_win32.h); the list box still keeps their texts.
constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_HASSTRINGS |
                             LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT | LBS_DISABLENOSCROLL;
constexpr int kFilterEditUnits = 80;
constexpr int32_t kClearListOn = 8;
// SEE_MASK_INVOKEIDLIST | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI.
constexpr ULONG kPropertiesMask = 0x44C;
constexpr UINT kMenuFlags = TPM_RETURNCMD | TPM_VERTICAL;

// The list's own font, kept while the list shows it: a control draws with the font
// object it was given and does not copy it.
HFONT gListFont = nullptr;
bool gFileListToolTipsDone = false;

HWND CreateChild(HWND page, const char16_t* className, TextView text, DWORD style, DWORD exStyle, int id, int x, int y,
                 int w, int h) {
  Text caption(text);
  return CreateWindowExW(exStyle, reinterpret_cast<const wchar_t*>(className), Wide(caption), style, x, y, w, h, page,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

// Drops the selection highlight in the filter box's edit field (start -1, end 0).
void ClearFilterSelection(HWND box) {
  PostMessageW(box, CB_SETEDITSEL, 0, MAKELPARAM(0xFFFF, 0));
}

void SetBoxText(HWND box, TextView text) {
  Text shown(text);
  SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(shown)));
}

Text BoxText(HWND box) {
  char16_t buffer[kFilterEditUnits] = {};
  int length = GetWindowTextW(box, reinterpret_cast<wchar_t*>(buffer), kFilterEditUnits);
  return Text(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

// The presets cleaned and written back, the drop-down list refilled, and the edit field
// showing the current filter (the built-in one when none is stored).
void ApplyFilterChoices(HWND box) {
  Text cleaned;
  std::vector<Text> items = FillFilterChoices(FieldView(gAppSettings.ExtensionList), &cleaned);
  SetField(gAppSettings.ExtensionList, cleaned);
  SendMessageW(box, CB_RESETCONTENT, 0, 0);
  for (const Text& item : items) SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item)));
  TextView filter = FieldView(gAppSettings.CurrentFilter);
  if (filter.empty())
    SendMessageW(box, CB_SETCURSEL, 0, 0);
  else
    SetBoxText(box, filter);
  ClearFilterSelection(box);
}

void ApplyNormalisedFilter(HWND box) {
  Text t = NormaliseFilterText(BoxText(box));
  if (t.empty()) {
    SendMessageW(box, CB_SETCURSEL, 0, 0);
    t = BoxText(box);
  }
  SetBoxText(box, t);
  SetField(gAppSettings.CurrentFilter, t);
  ClearFilterSelection(box);
}

void ApplyPageFonts(HWND page, HWND list) {
  WPARAM guiFont = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    SendMessageW(child, WM_SETFONT, guiFont, FALSE);
  if (!gListFont) gListFont = CreatePointFont(u"Arial", 10, false, false, false);
  if (gListFont) SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(gListFont), FALSE);
  FitFileListRows(list);
}

// ---- Subfolders -------------------------------------------------------------------------

constexpr char16_t kSubfoldersTip[] =
    u"Добавлять файлы из всех вложенных папок. В режиме «указанная директория» результаты "
    u"сохраняются с тем же деревом папок. Скрытые и системные папки пропускаются.";

// The box shows the stored choice; a profile brings its own.
void ShowSubfolderChoice(HWND page) {
  SendDlgItemMessageW(page, kIdSubfolders, BM_SETCHECK, gAppSettings.Recursive ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Read when files arrive: a folder dropped after the click is walked as it says.
void OnSubfoldersClicked(HWND page) {
  gAppSettings.Recursive = SendDlgItemMessageW(page, kIdSubfolders, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void InitFileListPage(HWND page) {
  gFileListPage.store(page);
  CreateChild(page, u"Static", u"Список файлов для обработки:", WS_CHILD | WS_VISIBLE, 0, -1, 6, 8, 280, 16);
  CreateChild(page, u"Static", u"Допустимые типы файлов:", WS_CHILD | WS_VISIBLE, 0, -1, 338, 7, 146, 16);
  HWND box = CreateChild(page, u"ComboBox", u"", kFilterBoxStyle, 0, kIdFilterBox, 486, 3, 280, 160);
  SendMessageW(box, CB_LIMITTEXT, kFilterEditUnits, 0);
  gFilterBox.store(box);
  if (FieldView(gAppSettings.ExtensionList).size() < 3) SetField(gAppSettings.ExtensionList, kDefaultExtensionList);
  ApplyFilterChoices(box);
  HWND list = CreateChild(page, u"ListBox", u"", kListStyle, WS_EX_CLIENTEDGE, kIdFileListBox, 6, 28, 760, 300);
  gFileListBox.store(list);
  CreateChild(page, u"Button", u"Просматривать вложенные папки", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
              0, kIdSubfolders, 7, 336, 228, 20);
  ShowSubfolderChoice(page);
  CreateChild(page, u"Static", u"Всего: 0", WS_CHILD | WS_VISIBLE | SS_RIGHT, 0, kIdPageCount, 600, 339, 165, 20);
  SetWindowPos(list, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  SetFocus(list);
  ApplyPageFonts(page, list);
  AttachFileListView(list);
}

void SetFileListToolTips(HWND page) {
  if (gFileListToolTipsDone) return;
  gFileListToolTipsDone = true;
  AddToolTip(page, nullptr, u"");
  AddToolTip(page, GetDlgItem(page, kIdSubfolders), kSubfoldersTip);
}

Text SelectedEntry(HWND list) {
  LRESULT sel = SendMessageW(list, LB_GETCURSEL, 0, 0);
  return sel == LB_ERR ? Text() : FileListText(static_cast<int32_t>(sel));
}

void OpenFile(TextView path) {
  Text file(path);
  ShellExecuteW(nullptr, Wide(u"Open"), Wide(file), Wide(u""), Wide(u""), SW_SHOWNORMAL);
}

// The list of failed files opens in the text viewer the system associates with it, or in
// Notepad where none is associated (Notepad is on every Windows).
void OpenFailureList() {
  Text path = FailureListPath();
  INT_PTR opened = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, Wide(u"Open"), Wide(path), Wide(u""), Wide(u""), SW_SHOWNORMAL));
  if (opened > 32) return;
  Text quoted = u"\"" + path + u"\"";
  ShellExecuteW(nullptr, Wide(u"Open"), Wide(u"notepad.exe"), Wide(quoted), Wide(u""), SW_SHOWNORMAL);
}

void OpenSelectedEntry(HWND list) {
  if (FileListCount() == 0) return;
  Text path = SelectedEntry(list);
  if (!path.empty()) OpenFile(path);
}

// The shell shows the file selected in its folder. The wait keeps the page from acting
// on the entry while the shell is still starting.
void ShowInFolder(TextView path) {
  Text command = u"explorer /select," + Text(path);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, const_cast<wchar_t*>(Wide(command)), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return;
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

void AddChosenPath(HWND list) {
  Text chosen = BrowseForFolder(GetParent(list), u"", u"Выберете папку или файл", BIF_BROWSEINCLUDEFILES);
  // Also when cancelled: with ClearListOnAdd on the list is emptied, as for any add.
  AddPath(chosen);
}

void ToggleClearListOnAdd(HMENU menu) {
  bool checked = (GetMenuState(menu, kCmdToggleClear, MF_BYCOMMAND) & MF_CHECKED) != 0;
  gAppSettings.ClearListOnAdd = checked ? 0 : kClearListOn;
}

HMENU BuildFileListMenu(TextView path, int32_t count) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  bool failuresListed = FsFileExists(FailureListPath());
  for (const MenuRow& row : FileListMenuRows(path, count, gAppSettings.ClearListOnAdd, failuresListed)) {
    if (row.id == 0)
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuW(menu, MF_STRING | (row.checked ? MF_CHECKED : 0), static_cast<UINT_PTR>(row.id), Wide(row.caption));
  }
  return menu;
}

void RunFileListCommand(HWND list, HMENU menu, int command, int32_t sel, const Text& path) {
  switch (command) {
    case kCmdToggleClear: ToggleClearListOnAdd(menu); break;
    case kCmdAddPath: AddChosenPath(list); break;
    case kCmdDeleteEntry: FileListDelete(sel); break;
    case kCmdClearList: FileListClear(); break;
    case kCmdShowInFolder: ShowInFolder(path); break;
    case kCmdOpenFile: OpenFile(path); break;
    case kCmdProperties: ShowFileProperties(path, list); break;
    case kCmdOpenFailureList: OpenFailureList(); break;
    default: break;  // dismissed, or Отмена
  }
}

void ShowFileListMenu(HWND list) {
  SetFocus(list);
  int32_t sel = static_cast<int32_t>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  Text path = sel >= 0 ? FileListText(sel) : Text();
  // The menu always speaks of the selected entry, whatever lies under the pointer.
  if (path.empty()) sel = -1;
  HMENU menu = BuildFileListMenu(path, FileListCount());
  if (!menu) return;
  POINT at = {};
  GetCursorPos(&at);
  SetForegroundWindow(list);
  int command = TrackPopupMenuEx(menu, kMenuFlags, at.x, at.y, list, nullptr);
  RunFileListCommand(list, menu, command, sel, path);
  DestroyMenu(menu);
}

INT_PTR OnFileListInit(HWND page) {
  InitFileListPage(page);
  SetFileListToolTips(page);
  // The focus went to the list box.
  return FALSE;
}

INT_PTR OnFileListCommand(HWND page, WPARAM wParam, LPARAM lParam) {
  int id = LOWORD(wParam);
  int code = HIWORD(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  if (id == kIdFileListBox && code == LBN_DBLCLK) OpenSelectedEntry(control);
  if (id == kIdFileListBox && code == LBN_SELCHANGE) ShowSelectedFailure(control);
  if (id == kIdFilterBox && code == CBN_SELENDCANCEL) ApplyNormalisedFilter(control);
  if (id == kIdFilterBox && code == CBN_CLOSEUP) ClearFilterSelection(control);
  if (id == kIdSubfolders && code == BN_CLICKED) OnSubfoldersClicked(page);
  return FALSE;
}

// The Delete key removes the entry at the caret; the result tells the list box which
// entry to keep the caret on.
INT_PTR OnFileListKey(WPARAM wParam, LPARAM lParam) {
  HWND list = reinterpret_cast<HWND>(lParam);
  if (GetDlgCtrlID(list) != kIdFileListBox || LOWORD(wParam) != VK_DELETE) return FALSE;
  int32_t caret = HIWORD(wParam);
  FileListDelete(caret);
  int32_t kept = CaretAfterDelete(caret, FileListCount());
  RefreshFileCount();
  return kept;
}

// A right click acts on the row under the mouse, as in every Windows list: that row is
// selected first. The menu key (no position) keeps the selection.
void SelectRowAt(HWND list, LPARAM screenPoint) {
  if (screenPoint == -1) return;
  POINT at = {static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
  ScreenToClient(list, &at);
  LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(at.x, at.y));
  if (HIWORD(hit) == 0) SendMessageW(list, LB_SETCURSEL, LOWORD(hit), 0);
}

// No menu while a run walks the list: its commands would change the entries under it.
INT_PTR OnFileListContextMenu(WPARAM wParam, LPARAM lParam) {
  HWND window = reinterpret_cast<HWND>(wParam);
  if (GetDlgCtrlID(window) != kIdFileListBox || gRunState.load() != kRunIdle) return FALSE;
  SelectRowAt(window, lParam);
  ShowFileListMenu(window);
  RefreshFileCount();
  return FALSE;
}

// A profile brings its own filter; one without any shows the built-in filter, as the box
// does at start (an empty box would read as "no files").
INT_PTR OnFileListSettingsApplied(HWND page) {
  ShowSubfolderChoice(page);
  HWND filter = gFilterBox.load();
  if (!filter) return FALSE;
  TextView current = FieldView(gAppSettings.CurrentFilter);
  if (current.empty())
    SendMessageW(filter, CB_SETCURSEL, 0, 0);
  else
    SetBoxText(filter, current);
  ClearFilterSelection(filter);
  return FALSE;
}

INT_PTR OnFileListDrawItem(LPARAM lParam) {
  const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  if (item.CtlID != static_cast<UINT>(kIdFileListBox)) return FALSE;
  DrawFileListItem(item);
  return TRUE;
}

INT_PTR OnFileListDestroy() {
  // The ports answer empty from now on rather than talk to windows that are going.
  gFileListBox.store(nullptr);
  gFilterBox.store(nullptr);
  gFileListPage.store(nullptr);
  return FALSE;
}

// The list's font goes once the list itself is gone (children are destroyed after
// their parent's WM_DESTROY).
INT_PTR OnFileListFinalDestroy() {
  if (gListFont) DeleteObject(gListFont);
  gListFont = nullptr;
  return FALSE;
}

INT_PTR DispatchFileListMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnFileListInit(page);
    case WM_COMMAND: return OnFileListCommand(page, wParam, lParam);
    case WM_VKEYTOITEM: return OnFileListKey(wParam, lParam);
    case WM_CONTEXTMENU: return OnFileListContextMenu(wParam, lParam);
    case WM_DESTROY: return OnFileListDestroy();
    case WM_NCDESTROY: return OnFileListFinalDestroy();
    case kMsgSettingsApplied: return OnFileListSettingsApplied(page);
    case WM_DRAWITEM: return OnFileListDrawItem(lParam);
    default: return FALSE;
  }
}

}  // namespace

INT_PTR CALLBACK FileListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return TrappedDialogProc("FileListPageProc", DispatchFileListMessage, page, message, wParam, lParam);
}

void RefillFilterChoices() {
  HWND box = gFilterBox.load();
  if (box) ApplyFilterChoices(box);
}

INT_PTR ShowFileProperties(TextView path, HWND owner) {
  Text file(path);
  SHELLEXECUTEINFOW info = {};
  // The size of the real structure: on 64-bit builds it is larger than the 32-bit 60.
  info.cbSize = sizeof(SHELLEXECUTEINFOW);
  info.fMask = kPropertiesMask;
  info.hwnd = owner;
  info.lpVerb = Wide(u"properties");
  info.lpFile = Wide(file);
  info.nShow = 0;
  ShellExecuteExW(&info);
  INT_PTR instance = reinterpret_cast<INT_PTR>(info.hInstApp);
  if (instance <= 32) MessageBoxW(owner, Wide(u"Unable to display properties"), Wide(u""), MB_ICONERROR);
  if (info.hProcess) CloseHandle(info.hProcess);
  return instance;
}
