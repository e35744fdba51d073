// Page dialogs of the tab control. Each page is a child dialog of the main dialog
// (not of the tab control), so that the dialog manager's keyboard navigation reaches
// its controls; it lies over the tab's display area and above the tab in z-order.
#include "ui/tab_pages_win32.h"

#include <commctrl.h>

#include <cstring>

namespace {

// Pages take part in the main dialog's Tab-key navigation as controls do.
constexpr DWORD kPageStyle = WS_CHILD | DS_CONTROL | WS_CLIPSIBLINGS;
// ETDT_ENABLETAB: the page's background matches the themed tab body.
constexpr DWORD kThemeTabTexture = 6;

void AppendText(std::vector<WORD>* words, TextView text) {
  for (char16_t unit : text) words->push_back(static_cast<WORD>(unit));
  words->push_back(0);
}

// uxtheme is loaded only when present, so the program runs where visual styles are not
// (and the page then keeps the plain dialog colour).
void MatchThemedTabBody(HWND page) {
  HMODULE theme = LoadLibraryW(reinterpret_cast<const wchar_t*>(u"uxtheme.dll"));
  if (!theme) return;
  using EnableTexture = HRESULT(WINAPI*)(HWND, DWORD);
  auto enable = reinterpret_cast<EnableTexture>(reinterpret_cast<void*>(GetProcAddress(theme, "EnableThemeDialogTexture")));
  if (enable) enable(page, kThemeTabTexture);
  // The library stays loaded: the page's theming lives as long as the page.
}

}  // namespace

std::vector<WORD> EmptyDialogTemplate(DWORD style, DWORD exStyle, TextView caption) {
  DLGTEMPLATE head = {};
  head.style = style;
  head.dwExtendedStyle = exStyle;
  std::vector<WORD> words(sizeof head / sizeof(WORD), 0);
  std::memcpy(words.data(), &head, sizeof head);
  words.push_back(0);  // no menu
  words.push_back(0);  // the standard dialog class
  AppendText(&words, caption);
  return words;
}

HWND CreateTabPage(HWND dialog, int tabId, TextView caption, int pageNumber, DLGPROC proc) {
  HWND tabs = GetDlgItem(dialog, tabId);
  Text text(caption);
  TCITEMW item = {};
  item.mask = TCIF_TEXT | TCIF_IMAGE;
  item.pszText = const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(text.c_str()));
  item.iImage = pageNumber - 1;
  SendMessageW(tabs, TCM_INSERTITEMW, pageNumber - 1, reinterpret_cast<LPARAM>(&item));
  std::vector<WORD> form = EmptyDialogTemplate(kPageStyle, WS_EX_CONTROLPARENT, u"");
  HWND page = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(form.data()),
                                         dialog, proc, pageNumber);
  if (!page) return nullptr;
  MatchThemedTabBody(page);
  PlaceTabPage(dialog, tabId, page);
  return page;
}

void PlaceTabPage(HWND dialog, int tabId, HWND page) {
  HWND tabs = GetDlgItem(dialog, tabId);
  RECT area = {};
  GetWindowRect(tabs, &area);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
  SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top, SWP_NOACTIVATE);
}
