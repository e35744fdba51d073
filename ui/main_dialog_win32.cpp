// The main dialog: building it, its message handler and the Start, Stop and close
// sequences. The handler only dispatches; each message has a short handler below.
//
// The dialog is created modeless and run by a loop of its own rather than by
// DialogBox: a modal dialog box shows itself when its first timer message arrives, and
// this one must be able to start hidden in the tray although its one-second timer runs.
#include "base/wide_win32.h"
#include "ui/main_dialog_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "app/main_win32.h"
#include "base/main_window_win32.h"
#include "app/startup.h"
#include "base/error_log.h"
#include "base/utils.h"
#include "engine/run/run.h"
#include "engine/run/run_report.h"
#include "base/paths.h"
#include "base/ui_port.h"
#include "input/collect.h"
#include "input/file_list.h"
#include "settings/app_settings.h"
#include "settings/config_file.h"
#include "ui/pages/params_page_win32.h"
#include "ui/pages/profile_list_win32.h"
#include "ui/pages/profiles_win32.h"
#include "ui/pages/settings_page_win32.h"
#include "ui/conversion_win32.h"
#include "ui/handover_receive_win32.h"
#include "ui/main_dialog_ids.h"
#include "ui/pages/file_list_view_win32.h"
#include "ui/pages/pages_win32.h"
#include "ui/run_control.h"
#include "ui/tab_pages_win32.h"
#include "ui/controls/tray_win32.h"
#include "ui/window_rules.h"
#include "ui/controls/window_tools_win32.h"

namespace {

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kDialogExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
constexpr char16_t kDialogCaption[] = u"TessalyEx ";
constexpr int kClientWidth = 780;
constexpr int kClientHeight = 490;
constexpr LONG kMinTrackWidth = 788;
constexpr LONG kMinTrackHeight = 520;
constexpr int kTabIconSize = 20;
constexpr COLORREF kHeaderColour = RGB(250, 180, 40);
constexpr COLORREF kHeaderTextColour = RGB(140, 80, 0);
// An error box that closes by itself, so a closing program never waits for good.
constexpr int32_t kSettingsNotSavedKind = 4;
constexpr uint32_t kSettingsNotSavedMs = 15000;
constexpr COLORREF kBandTextColour = RGB(255, 255, 255);
constexpr int kQuestionKind = 5;  // Yes/No, information icon, topmost

struct PageRow {
  const char16_t* caption;
  const char16_t* icon;
  DLGPROC proc;
};
const PageRow kPages[kPageCount] = {
    {u"Список файлов ", u"DIR0", FileListPageProc},
    {u"Параметры конвертации ", u"PAM0", ParamsPageProc},
    {u"Дополнительные настройки ", u"OPT0", AppSettingsPageProc},
    {u"О программе ", u"INF0", AboutPageProc},
};

// Window-level state.
HWND gPages[kPageCount] = {};
HWND gSavedFocus = nullptr;  // the focus when the dialog was last deactivated; 0 while active
HCURSOR gHandCursor = nullptr;
HMENU gSystemMenu = nullptr;
HIMAGELIST gTabImages = nullptr;
bool gStartHidden = false;
bool gToolTipsDone = false;
// Set from Start until its end sequence has run: a worker that was told to stop may
// still be on its file, and a second Start in that interval would begin a second run
// on the same list inside the first one's wait.
bool gRunSequenceActive = false;
// The dialog was asked to end. It is destroyed once control is back in its own loop,
// which is after a running Start sequence has returned, so the worker never outlives
// the window and the settings are saved after the run.
bool gEnding = false;
bool gCloseQuestionOpen = false;

// GDI objects of the dialog. A control draws with the font object it was given and does
// not copy it, so the fonts live as long as the dialog and go when it is destroyed.
HFONT gTahomaFont = nullptr;
HFONT gLinkFont = nullptr;
HFONT gTitleFont = nullptr;
HBRUSH gHeaderBrush = nullptr;
HBITMAP gLogo = nullptr;
HICON gBigIcon = nullptr;
HICON gSmallIcon = nullptr;

HINSTANCE Instance() {
  return GetModuleHandleW(nullptr);
}

HWND Control(HWND dialog, int id) {
  return GetDlgItem(dialog, id);
}

HWND CreateControl(HWND dialog, const char16_t* className, const char16_t* text, DWORD style, int id, int x, int y,
                   int w, int h) {
  return CreateWindowExW(0, Wide(className), Wide(text), WS_CHILD | WS_VISIBLE | style, x, y, w, h, dialog,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
}

void SetFont(HWND dialog, int id, HGDIOBJ font) {
  SendMessageW(Control(dialog, id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

// ---- Building -------------------------------------------------------------------------

void SizeAndCentre(HWND dialog) {
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kDialogStyle, FALSE, kDialogExStyle);
  int w = frame.right - frame.left;
  int h = frame.bottom - frame.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  SetWindowPos(dialog, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetWindowIcons(HWND dialog) {
  gBigIcon = static_cast<HICON>(LoadImageW(Instance(), Wide(u"A000"), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                           GetSystemMetrics(SM_CYICON), 0));
  gSmallIcon = static_cast<HICON>(LoadImageW(Instance(), Wide(u"A000"), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0));
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(gBigIcon));
  SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(gSmallIcon));
}

void CreateTabImages() {
  gTabImages = ImageList_Create(kTabIconSize, kTabIconSize, ILC_COLOR32 | ILC_MASK, kPageCount, 0);
  for (const PageRow& page : kPages) {
    HICON icon = static_cast<HICON>(LoadImageW(Instance(), Wide(page.icon), IMAGE_ICON, kTabIconSize, kTabIconSize, 0));
    if (!icon) continue;
    ImageList_AddIcon(gTabImages, icon);
    DestroyIcon(icon);
  }
}

void CreateHeader(HWND dialog) {
  HWND band = CreateControl(dialog, u"Static", u"", SS_CENTER | WS_CLIPSIBLINGS, kIdHeaderBand, 0, 0, 784, 44);
  CreateControl(dialog, u"Static", u"TESSALY V1.0", SS_LEFT, kIdTitle, 58, 10, 700, 26);
  HWND logo = CreateControl(dialog, u"Static", u"", SS_BITMAP | SS_CENTERIMAGE, kIdLogo, 10, 4, 43, 36);
  gLogo = static_cast<HBITMAP>(LoadImageW(Instance(), Wide(u"LOGO"), IMAGE_BITMAP, 0, 0, 0));
  if (gLogo) SendMessageW(logo, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(gLogo));
  CreateControl(dialog, u"Static", u"Сайт проекта", SS_CENTER | SS_NOTIFY, kIdSiteLink, 686, 5, 88, 15);
  CreateControl(dialog, u"Static", u"Поддержать", SS_CENTER | SS_NOTIFY, kIdDonateLink, 686, 23, 88, 15);
  // The band lies under the title, the logo and the links: at the bottom of the z-order
  // and clipped by them, or it would paint over them.
  SetWindowPos(band, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  HWND tabs = CreateControl(dialog, u"SysTabControl32", u"", WS_TABSTOP | WS_CLIPSIBLINGS, kIdTabs, 1, 50, 780, 390);
  SendMessageW(tabs, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(gTabImages));
}

void CreatePages(HWND dialog) {
  for (int n = 1; n <= kPageCount; ++n) {
    const PageRow& page = kPages[n - 1];
    gPages[n - 1] = CreateTabPage(dialog, kIdTabs, page.caption, n, page.proc);
  }
}

void CreateFooter(HWND dialog) {
  CreateControl(dialog, u"Static", u"Всего файлов в списке: 0", SS_LEFT, kIdStatusLine, 8, 459, 420, 16);
  Text elapsed = ElapsedTimeText(0);
  CreateControl(dialog, u"Static", elapsed.c_str(), SS_LEFT, kIdElapsedLine, 440, 459, 100, 16);
  CreateControl(dialog, u"Button", u"&Запустить", BS_PUSHBUTTON | BS_FLAT | WS_TABSTOP, kIdStart, 546, 450, 110, 28);
  CreateControl(dialog, u"Button", u"&Остановить", BS_PUSHBUTTON | BS_FLAT | WS_TABSTOP, kIdStop, 660, 450, 110, 28);
}

void ApplyFonts(HWND dialog) {
  gHeaderBrush = CreateSolidBrush(kHeaderColour);
  gTahomaFont = CreatePointFont(u"Tahoma", 9, true, false, true);
  gLinkFont = CreatePointFont(u"Arial", 9, true, true, false);
  gTitleFont = CreatePointFont(u"Times New Roman", 16, true, false, true);
  for (int id : {kIdStart, kIdStop, kIdTabs}) SetFont(dialog, id, gTahomaFont);
  for (int id : {kIdSiteLink, kIdDonateLink}) SetFont(dialog, id, gLinkFont);
  SetFont(dialog, kIdTitle, gTitleFont);
  // The elapsed-time line is given the same font as the status line beside it; a control
  // made with CreateWindowExW would otherwise draw in the heavy system font.
  for (int id : {kIdStatusLine, kIdElapsedLine}) SetFont(dialog, id, GetStockObject(DEFAULT_GUI_FONT));
  // The tab row's height follows its font, so the pages are placed once it is set.
  for (HWND page : gPages)
    if (page) PlaceTabPage(dialog, kIdTabs, page);
}

void SetMainToolTips(HWND dialog) {
  if (gToolTipsDone) return;
  gToolTipsDone = true;
  AddToolTip(dialog, nullptr, u"");
  AddToolTip(dialog, Control(dialog, kIdSiteLink), kSiteProjectPage);
  AddToolTip(dialog, Control(dialog, kIdDonateLink), kSiteDonatePage);
}

// The settings record was read at start; this reads the profiles into the parameters
// page's list and selects the active one (its settings are already current).
void LoadProfiles() {
  LoadConfig(ConfigPath(), &gProfileList);
  SelectActiveProfile(gProfileList.window());
}

void BuildMainDialog(HWND dialog) {
  SetMainWindow(dialog);
  SizeAndCentre(dialog);
  SetWindowIcons(dialog);
  PostMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  CreateTabImages();
  CreateHeader(dialog);
  CreatePages(dialog);
  CreateFooter(dialog);
  ApplyFonts(dialog);
  SetMainToolTips(dialog);
  LoadProfiles();
}

// ---- Initialisation -------------------------------------------------------------------

void AddTopMostItem(HWND dialog) {
  gSystemMenu = AddSystemMenuItem(dialog, kCmdTopMost, u"Поверх окон", -2);
  if (gSystemMenu && gAppSettings.TopMost) CheckMenuItem(gSystemMenu, kCmdTopMost, MF_BYCOMMAND | MF_CHECKED);
}

void InitialiseMainDialog(HWND dialog) {
  Text tail = OwnCommandTail();
  // The program's own arguments take the same road as a later instance's.
  if (!tail.empty() && gHandoverMessage) {
    ExpectOwnHandover();
    PostMessageW(dialog, gHandoverMessage, kHandoverCode, 0);
  }
  PublishMainDialog(dialog);
  DragAcceptFiles(dialog, TRUE);
  TrayAdd(dialog, kTrayTip, kTrayIconName, kTrayFirstTimeout);
  SelectTab(dialog, gAppSettings.ActiveTab);
  gStartHidden = gAppSettings.TrayOnStart != 0 || OwnTailAsksHiddenStart();
  SetTopMost(dialog, gAppSettings.TopMost != 0);
  AddTopMostItem(dialog);
  EnableWindow(Control(dialog, kIdStart), FALSE);
  EnableWindow(Control(dialog, kIdStop), FALSE);
  RefreshFileCount();
  SetTimer(dialog, kTimerSeconds, 1000, nullptr);
}

// ---- Runs and closing -----------------------------------------------------------------

RunFacts CurrentFacts() {
  RunFacts facts;
  facts.running = gRunState.load() == kRunRunning;
  facts.workerAlive = gRunSequenceActive || WorkerActive();
  facts.ending = gEnding || gCloseQuestionOpen;
  facts.trayOnClose = gAppSettings.TrayOnClose != 0;
  facts.warnOnClose = gAppSettings.WarnOnClose != 0;
  return facts;
}

void ShowBalloon(const char16_t* text) {
  TrayBalloon(kBalloonTitle, text, kTrayIconName, kBalloonMs);
}

void EnablePages(bool enable) {
  for (int n : {kPageSettings, kPageParameters})
    if (gPages[n - 1]) EnableWindow(gPages[n - 1], enable ? TRUE : FALSE);
}

// A disabled control cannot keep the keyboard focus; left without a focus the dialog
// would no longer see Escape or Tab. The focus moves to the button being enabled.
void SetRunButtons(HWND dialog, bool running) {
  HWND start = Control(dialog, kIdStart);
  HWND stop = Control(dialog, kIdStop);
  HWND enabled = running ? stop : start;
  HWND disabled = running ? start : stop;
  EnableWindow(enabled, TRUE);
  if (GetFocus() == disabled) SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(enabled), TRUE);
  EnableWindow(disabled, FALSE);
}

void BeginRunDisplay(HWND dialog) {
  gRunState.store(kRunRunning);
  SetRunButtons(dialog, true);
  SelectTab(dialog, kPageFileList);
  EnablePages(false);
  MarkFailedEntries({});
  UiSetElapsedLine(ElapsedTimeText(0));
  ShowBalloon(u"Начато преобразование");
}

// The outcome stays where the user looks: the status line keeps the summary until the
// list changes, the balloon repeats it, the entries of the files that failed are drawn
// in red (with their reasons in the status line while selected) and listed beside the
// program, the first of them selected in the list.
void ShowRunOutcome(const RunResult& result) {
  UiSetStatusLine(RunSummaryText(result, gElapsedSeconds));
  MarkFailedEntries(result.failures);
  Text listPath = FailureListPath();
  bool listed = KeepFailureList(listPath, result.failures) && !result.failures.empty();
  Text listName = listed ? listPath.substr(ProgramFolder().size()) : Text();
  // A dialog that is ending says nothing more; its icon goes with it.
  if (!gEnding) ShowBalloon(RunBalloonText(result, listName).c_str());
  if (result.failures.empty()) return;
  int32_t first = FileListFind(result.failures.front().path);
  if (first >= 0) FileListSelect(first);
}

void EndRunDisplay(HWND dialog, bool ran, const RunResult& result) {
  EnablePages(true);
  if (ran)
    ShowRunOutcome(result);
  else
    UiSetStatusLine(u"");
  gRunState.store(kRunIdle);
  SetRunButtons(dialog, false);
}

// Clears gRunSequenceActive on every way out, a trapped fault included, so a fault
// cannot leave Start refused for the rest of the session.
struct RunSequenceMark {
  RunSequenceMark() { gRunSequenceActive = true; }
  ~RunSequenceMark() { gRunSequenceActive = false; }
};

void OnStart(HWND dialog) {
  if (DecideRunRequest(RunRequest::Start, CurrentFacts()).action != RunAction::StartRun) return;
  RunSequenceMark mark;
  BeginRunDisplay(dialog);
  RunResult result;
  bool ran = StartConversion(&result);
  EndRunDisplay(dialog, ran, result);
}

// The worker sees Idle after the file it is on and ends; the Start sequence, still
// waiting for it, then shows "Задача завершена" as well.
void OnStop(HWND dialog) {
  if (DecideRunRequest(RunRequest::Stop, CurrentFacts()).action != RunAction::StopRun) return;
  gRunState.store(kRunIdle);
  SetRunButtons(dialog, false);
  ShowBalloon(u"Процесс остановлен");
}

bool UserConfirms(const Text& question) {
  if (question.empty()) return true;
  gCloseQuestionOpen = true;
  bool yes = TimedMessageBox(question, u"", 0, kQuestionKind, 0) == kIdYes;
  gCloseQuestionOpen = false;
  return yes;
}

// Ending during a run stops the worker after the file it is on (nothing is left
// half-written) and hides the window at once; the dialog is destroyed, and the settings
// saved, when control is back in its own loop, after the run has ended.
void EndMainDialog(HWND dialog) {
  gEnding = true;
  if (gRunSequenceActive || WorkerActive()) gRunState.store(kRunIdle);
  ShowWindow(dialog, SW_HIDE);
  PostMessageW(dialog, WM_NULL, 0, 0);
}

void OnCloseRequest(HWND dialog) {
  RunDecision decision = DecideRunRequest(RunRequest::CloseRequest, CurrentFacts());
  if (decision.action != RunAction::End || !UserConfirms(decision.question)) return;
  EndMainDialog(dialog);
}

// The close box ends the dialog itself instead of leaving it to default processing:
// a dialog's default close sends command id 2, which would ask a second question.
INT_PTR OnCloseButton(HWND dialog) {
  RunDecision decision = DecideRunRequest(RunRequest::CloseButton, CurrentFacts());
  if (decision.action == RunAction::HideToTray) ShowWindow(dialog, SW_HIDE);
  if (decision.action == RunAction::End && UserConfirms(decision.question)) EndMainDialog(dialog);
  return TRUE;
}

// ---- Other handlers -------------------------------------------------------------------

// Enter on the profile list activates the selected profile, as a double click does.
void OnEnterKey() {
  HWND focus = GetFocus();
  HWND parameters = MainPage(kPageParameters);
  if (!focus || !parameters || GetParent(focus) != parameters || GetDlgCtrlID(focus) != kIdProfileList) return;
  SendMessageW(parameters, WM_COMMAND, MAKEWPARAM(kIdProfileList, LBN_DBLCLK), reinterpret_cast<LPARAM>(focus));
}

INT_PTR OnMainCommand(HWND dialog, WPARAM wParam) {
  int id = LOWORD(wParam);
  int code = HIWORD(wParam);
  bool clickOrKey = code == 0 || code == 1;
  if (id == kIdStart && clickOrKey) OnStart(dialog);
  if (id == kIdStop && clickOrKey) OnStop(dialog);
  if (id == IDCANCEL && code == 0) OnCloseRequest(dialog);
  if (id == IDOK) OnEnterKey();
  if (id == kIdSiteLink && code == STN_CLICKED) OpenWebPage(dialog, kSiteProjectPage);
  if (id == kIdDonateLink && code == STN_CLICKED) OpenWebPage(dialog, kSiteDonatePage);
  return FALSE;
}

// While the parameters tab is shown to an idle, active window, the suggested profile
// caption follows the settings.
void OnTimer(WPARAM timerId) {
  if (timerId != kTimerSeconds) return;
  if (gRunState.load() == kRunRunning) UiSetElapsedLine(ElapsedTimeText(1));
  if (!gSavedFocus && gRunState.load() == kRunIdle && gAppSettings.ActiveTab == kPageParameters)
    RefreshCaptionIfChanged();
}

INT_PTR OnCtlColorStatic(WPARAM dc, LPARAM control) {
  int id = GetDlgCtrlID(reinterpret_cast<HWND>(control));
  HDC hdc = reinterpret_cast<HDC>(dc);
  switch (id) {
    case kIdHeaderBand: SetTextColor(hdc, kBandTextColour); break;
    case kIdTitle:
    case kIdSiteLink:
    case kIdDonateLink: SetTextColor(hdc, kHeaderTextColour); break;
    case kIdLogo: break;
    default: return FALSE;
  }
  SetBkColor(hdc, kHeaderColour);
  return reinterpret_cast<INT_PTR>(gHeaderBrush);
}

INT_PTR OnSetCursor(HWND dialog, WPARAM wParam) {
  int id = GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
  if (id != kIdSiteLink && id != kIdDonateLink) return FALSE;
  if (!gHandCursor) gHandCursor = LoadCursorW(nullptr, IDC_HAND);
  SetCursor(gHandCursor);
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
  return TRUE;
}

void OnDropFiles(WPARAM wParam) {
  HDROP drop = reinterpret_cast<HDROP>(wParam);
  UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<Text> names;
  for (UINT i = 0; i < count; ++i) {
    char16_t name[276] = {};
    DragQueryFileW(drop, i, reinterpret_cast<wchar_t*>(name), 276);
    names.emplace_back(name);
  }
  AddDroppedPaths(names);
  DragFinish(drop);
}

void OnMinMaxInfo(LPARAM lParam) {
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  info->ptMinTrackSize.x = kMinTrackWidth;
  info->ptMinTrackSize.y = kMinTrackHeight;
}

void OnNcActivate(WPARAM active) {
  if (!active) {
    gSavedFocus = GetFocus();
    return;
  }
  if (!gSavedFocus) return;
  SetFocus(gSavedFocus);
  gSavedFocus = nullptr;
}

void ShowOnlyPage(int pageNumber) {
  for (int n = 1; n <= kPageCount; ++n)
    if (gPages[n - 1]) ShowWindow(gPages[n - 1], n == pageNumber ? SW_SHOW : SW_HIDE);
}

int CurrentTab(HWND dialog) {
  return static_cast<int>(SendMessageW(Control(dialog, kIdTabs), TCM_GETCURSEL, 0, 0)) + 1;
}

void OnTabNotify(HWND dialog, LPARAM lParam) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  int current = CurrentTab(dialog);
  if (header->code == TCN_SELCHANGING && current >= 1 && gPages[current - 1]) ShowWindow(gPages[current - 1], SW_HIDE);
  if (header->code == TCN_SELCHANGE) ShowOnlyPage(current);
  gAppSettings.ActiveTab = current;
}

void OnToggleTopMost(HWND dialog) {
  UINT state = GetMenuState(gSystemMenu, kCmdTopMost, MF_BYCOMMAND);
  bool checked = state != static_cast<UINT>(-1) && (state & MF_CHECKED);
  CheckMenuItem(gSystemMenu, kCmdTopMost, MF_BYCOMMAND | (checked ? MF_UNCHECKED : MF_CHECKED));
  gAppSettings.TopMost = checked ? 0 : 1;
  DrawMenuBar(dialog);
  SetTopMost(dialog, gAppSettings.TopMost != 0);
}

INT_PTR OnSysCommand(HWND dialog, WPARAM wParam) {
  if (wParam == static_cast<WPARAM>(kCmdTopMost)) {
    OnToggleTopMost(dialog);
    return FALSE;
  }
  if ((wParam & 0xFFF0) == SC_CLOSE) return OnCloseButton(dialog);
  return FALSE;
}

INT_PTR OnHandoverMessage(HWND dialog, WPARAM wParam) {
  if (gHandoverMessage < 0xC000 || LOWORD(wParam) != kHandoverCode) return FALSE;
  ReceiveHandover(dialog, gStartHidden);
  return TRUE;
}

// Writes the settings once per process: saving hands the profiles over, so a second
// save would write none.
bool SaveSettingsOnce() {
  static bool saved = false;
  if (saved) return true;
  saved = true;
  return SaveShutdownSettings(ConfigPath(), &gProfileList) == ConfigResult::Ok;
}

// Windows ends the process after a WM_ENDSESSION that says the session ends, without a
// WM_DESTROY: a program left in the tray would lose the session's settings. No box here,
// it would hold up the log-off.
void OnEndSession(WPARAM ending) {
  if (ending) SaveSettingsOnce();
}

// The settings are saved here, after any run has ended (see EndMainDialog).
void OnMainDestroy() {
  if (!SaveSettingsOnce())
    TimedMessageBox(SettingsNotSavedText(ConfigPath()), u"", 0, kSettingsNotSavedKind, kSettingsNotSavedMs);
  CloseHandoverBlock();
  TrayRemove();
}

// The GDI objects go once the controls that draw with them are gone: children are
// destroyed after their parent's WM_DESTROY.
void OnMainFinalDestroy() {
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(gTahomaFont), static_cast<HGDIOBJ>(gLinkFont),
                         static_cast<HGDIOBJ>(gTitleFont), static_cast<HGDIOBJ>(gHeaderBrush),
                         static_cast<HGDIOBJ>(gLogo)})
    if (object) DeleteObject(object);
  gTahomaFont = gLinkFont = gTitleFont = nullptr;
  gHeaderBrush = nullptr;
  gLogo = nullptr;
  if (gTabImages) ImageList_Destroy(gTabImages);
  gTabImages = nullptr;
  for (HICON icon : {gBigIcon, gSmallIcon})
    if (icon) DestroyIcon(icon);
  gBigIcon = gSmallIcon = nullptr;
  for (HWND& page : gPages) page = nullptr;
  SetMainWindow(nullptr);
}

void ForwardToPages(UINT message) {
  for (HWND page : gPages)
    if (page) SendMessageW(page, message, 0, 0);
}

INT_PTR OnMainInit(HWND dialog) {
  BuildMainDialog(dialog);
  InitialiseMainDialog(dialog);
  return TRUE;
}

INT_PTR DispatchMainMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == gHandoverMessage && message != 0) return OnHandoverMessage(dialog, wParam);
  if (message == TaskbarCreatedMessage() && message != 0) {
    TrayAdd(dialog, kTrayTip, kTrayIconName, 0);
    return FALSE;
  }
  switch (message) {
    case WM_INITDIALOG: return OnMainInit(dialog);
    case WM_TIMER: OnTimer(wParam); return FALSE;
    case WM_COMMAND: return OnMainCommand(dialog, wParam);
    case WM_SETCURSOR: return OnSetCursor(dialog, wParam);
    case WM_CTLCOLORSTATIC: return OnCtlColorStatic(wParam, lParam);
    case WM_DROPFILES: OnDropFiles(wParam); return FALSE;
    case WM_GETMINMAXINFO: OnMinMaxInfo(lParam); return FALSE;
    case WM_NCACTIVATE: OnNcActivate(wParam); return FALSE;
    case kTrayCallbackMessage: OnTrayNotify(dialog, lParam); return FALSE;
    case WM_NOTIFY:
      if (wParam == static_cast<WPARAM>(kIdTabs)) OnTabNotify(dialog, lParam);
      return FALSE;
    case WM_SYSCOMMAND: return OnSysCommand(dialog, wParam);
    case WM_ENDSESSION: OnEndSession(wParam); return TRUE;
    case WM_DESTROY: OnMainDestroy(); return FALSE;
    case WM_NCDESTROY: OnMainFinalDestroy(); return FALSE;
    case kMsgSettingsApplied: ForwardToPages(message); return FALSE;
    default: return FALSE;
  }
}

// Runs the dialog until it is asked to end. IsDialogMessageW gives it (and its pages,
// which are control parents) the keyboard navigation a modal dialog has.
void RunMainLoop(HWND dialog) {
  MSG message;
  while (!gEnding) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return TrappedDialogProc("MainDialogProc", DispatchMainMessage, dialog, message, wParam, lParam);
}

INT_PTR ShowMainDialog() {
  std::vector<WORD> form = EmptyDialogTemplate(kDialogStyle, kDialogExStyle, kDialogCaption);
  HWND dialog = CreateDialogIndirectParamW(Instance(), reinterpret_cast<const DLGTEMPLATE*>(form.data()), nullptr,
                                           MainDialogProc, 0);
  if (!dialog) return 0;
  ShowWindow(dialog, gStartHidden ? SW_HIDE : SW_SHOWDEFAULT);
  RunMainLoop(dialog);
  DestroyWindow(dialog);
  return IDCANCEL;
}

HWND MainPage(int pageNumber) {
  return pageNumber >= 1 && pageNumber <= kPageCount ? gPages[pageNumber - 1] : nullptr;
}

void SelectTab(HWND dialog, int pageNumber) {
  int index = TabIndexFromActiveTab(pageNumber);
  SendMessageW(Control(dialog, kIdTabs), TCM_SETCURSEL, index, 0);
  ShowOnlyPage(index + 1);
  gAppSettings.ActiveTab = index + 1;
}

void OpenWebPage(HWND owner, TextView address) {
  Text target(address);
  ShellExecuteW(owner, Wide(u"Open"), Wide(target), Wide(u""), Wide(u""), SW_SHOWNORMAL);
}
