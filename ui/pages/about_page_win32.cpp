// The about page: a read-only text about the program, its formats and the image
// library in use. It has no settings and reacts to no input.
#include <windows.h>
#include <commctrl.h>

#include "base/error_log.h"
#include "engine/codecs/image.h"
#include "ui/pages/about_page_ids.h"
#include "ui/about_text.h"
#include "ui/pages/pages_win32.h"
#include "ui/controls/window_tools_win32.h"

namespace {

constexpr DWORD kTextStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY;

bool gAboutToolTipsDone = false;

void InitAboutPage(HWND page) {
  Text text = AboutText(ImageLibraryCopyright(), ImageLibraryVersion());
  HWND box = CreateWindowExW(0, WC_EDITW, reinterpret_cast<const wchar_t*>(text.c_str()), kTextStyle, 8, 14, 590, 310,
                             page, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdAboutText)),
                             GetModuleHandleW(nullptr), nullptr);
  // The page's own font is the dialog system font, too heavy for running text; the box
  // reads as the other pages do.
  if (box) SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
}

// The page adds no tooltips; it only makes sure the shared tooltip window exists.
void SetAboutToolTips(HWND page) {
  if (gAboutToolTipsDone) return;
  gAboutToolTipsDone = true;
  AddToolTip(page, nullptr, u"");
}

INT_PTR OnAboutInit(HWND page) {
  InitAboutPage(page);
  SetAboutToolTips(page);
  return TRUE;
}

}  // namespace

namespace {

INT_PTR DispatchAboutMessage(HWND page, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? OnAboutInit(page) : FALSE;
}

}  // namespace

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return TrappedDialogProc("AboutPageProc", DispatchAboutMessage, page, message, wParam, lParam);
}
