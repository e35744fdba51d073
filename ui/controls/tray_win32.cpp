// The notification-area icon. One record describes the icon for the whole process and
// every call sends it whole, so a re-add after the taskbar restarted shows the last
// balloon's texts again.
#include "base/wide_win32.h"
#include "ui/controls/tray_win32.h"

#include <shellapi.h>

#include "base/pump_win32.h"
#include "ui/main_dialog_ids.h"
#include "ui/main_dialog_win32.h"
#include "ui/menu_rules.h"
#include "ui/window_rules.h"

namespace {

// NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO, on every call.
constexpr UINT kTrayFlags = 0x17;
// NIIF_USER | NIIF_NOSOUND until a balloon changes it.
constexpr DWORD kInitialInfoFlags = 0x14;
// TPM_RETURNCMD | TPM_VERTICAL.
constexpr UINT kMenuFlags = TPM_RETURNCMD | TPM_VERTICAL;

NOTIFYICONDATAW gTrayRecord = {};
UINT gTaskbarCreated = 0;

// Fixed-capacity WCHAR fields of the record, cut like every fixed field.
template <size_t N>
void SetWideField(WCHAR (&field)[N], TextView value) {
  size_t n = value.size() < N - 1 ? value.size() : N - 1;
  for (size_t i = 0; i < n; ++i) field[i] = static_cast<WCHAR>(value[i]);
  field[n] = 0;
}

// The record's icon replaced by a freshly loaded one. The old icon is released once the
// shell has the new one: the shell keeps its own copy of whatever it was sent.
HICON ReplaceRecordIcon(TextView name) {
  HICON old = gTrayRecord.hIcon;
  gTrayRecord.hIcon = LoadIconResource(name, nullptr, false);
  return old;
}

bool TryAddOnce(HWND window) {
  if (Shell_NotifyIconW(NIM_ADD, &gTrayRecord)) return true;
  // The notification area may not exist yet right after the system started.
  PumpMessages(window);
  Sleep(TrayRetryWaitMs(GetTickCount()));
  return false;
}

void ToggleWindow(HWND window) {
  if (IsWindowVisible(window)) {
    ShowWindow(window, SW_HIDE);
    return;
  }
  ShowWindow(window, SW_SHOWNOACTIVATE);
  SetFocus(window);
  SetForegroundWindow(window);
}

void OnTrayLeftDown(HWND window) {
  // The injected press makes this process the one that received the last input, which
  // the system requires before it lets a window come to the foreground.
  mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
  ToggleWindow(window);
}

HMENU BuildTrayMenu(HWND window) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  for (const MenuRow& row : TrayMenuRows(IsWindowVisible(window) != FALSE)) {
    if (row.id == 0)
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(row.id), Wide(row.caption));
  }
  return menu;
}

void RunTrayCommand(HWND window, int command) {
  switch (command) {
    case kTrayShow: ShowWindow(window, SW_SHOWNA); break;
    case kTrayHide: ShowWindow(window, SW_HIDE); break;
    case kTraySite: OpenWebPage(window, kSiteMainPage); break;
    case kTrayExit: PostMessageW(window, WM_COMMAND, IDCANCEL, 0); break;
    default: break;  // Отмена, or the menu was dismissed
  }
}

}  // namespace

HICON LoadIconResource(TextView name, HMODULE module, bool shared) {
  if (!module) module = GetModuleHandleW(nullptr);
  if (!module) return nullptr;
  Text resource(name);
  return static_cast<HICON>(
      LoadImageW(module, Wide(resource), IMAGE_ICON, 0, 0, shared ? LR_SHARED : 0));
}

int32_t TrayAdd(HWND window, TextView tip, TextView iconName, uint32_t timeout) {
  HICON old = ReplaceRecordIcon(iconName);
  gTrayRecord.cbSize = sizeof(NOTIFYICONDATAW);
  gTrayRecord.hWnd = window;
  // The module handle as the icon's id: the same on every call of this process.
  gTrayRecord.uID = static_cast<UINT>(reinterpret_cast<UINT_PTR>(GetModuleHandleW(nullptr)));
  gTrayRecord.uFlags = kTrayFlags;
  gTrayRecord.dwInfoFlags = kInitialInfoFlags;
  gTrayRecord.uCallbackMessage = kTrayCallbackMessage;
  gTrayRecord.uTimeout = TrayTimeout(timeout);
  SetWideField(gTrayRecord.szTip, tip);
  for (int attempt = 0; attempt < kTrayAddAttempts; ++attempt)
    if (TryAddOnce(window)) break;
  if (old) DestroyIcon(old);
  gTaskbarCreated = RegisterWindowMessageW(Wide(u"TaskbarCreated"));
  return 1;
}

int32_t TrayBalloon(TextView title, TextView text, TextView iconArgument, uint32_t timeout) {
  gTrayRecord.dwInfoFlags = BalloonInfoFlags(iconArgument, gTrayRecord.dwInfoFlags);
  HICON old = iconArgument.size() > 1 ? ReplaceRecordIcon(iconArgument) : nullptr;
  gTrayRecord.uTimeout = TrayTimeout(timeout);
  SetWideField(gTrayRecord.szInfoTitle, title);
  SetWideField(gTrayRecord.szInfo, text);
  Shell_NotifyIconW(NIM_MODIFY, &gTrayRecord);
  if (old) DestroyIcon(old);
  return 1;
}

int32_t TrayRemove() {
  if (gTrayRecord.hIcon) DestroyIcon(gTrayRecord.hIcon);
  gTrayRecord.hIcon = nullptr;
  Shell_NotifyIconW(NIM_DELETE, &gTrayRecord);
  return 1;
}

void ShowTrayMenu(HWND window) {
  HMENU menu = BuildTrayMenu(window);
  if (!menu) return;
  POINT at = {};
  GetCursorPos(&at);
  SetForegroundWindow(window);
  int command = TrackPopupMenuEx(menu, kMenuFlags, at.x, at.y, window, nullptr);
  // Without a message after it the menu would not close when the user clicks elsewhere.
  PostMessageW(window, WM_NULL, 0, 0);
  RunTrayCommand(window, command);
  DestroyMenu(menu);
}

void OnTrayNotify(HWND window, LPARAM lParam) {
  switch (LOWORD(lParam)) {
    case WM_LBUTTONDOWN: OnTrayLeftDown(window); break;
    case WM_RBUTTONUP: ShowTrayMenu(window); break;
    case WM_MBUTTONDOWN: PostMessageW(window, WM_COMMAND, IDCANCEL, 0); break;
    case NIN_BALLOONUSERCLICK: ShowWindow(window, SW_SHOWNA); break;
    default: break;
  }
}

UINT TaskbarCreatedMessage() {
  return gTaskbarCreated;
}
