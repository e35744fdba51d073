// The shell's folders: special-folder lookup and the folder browser.
#include <windows.h>
#include <shlobj.h>

#include "base/shell_win32.h"
#include "base/utils.h"

namespace {

// BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_NONEWFOLDERBUTTON.
constexpr UINT kBrowseFlags = 0x203;

// The path behind an item list, which is released here; empty when it has none.
Text PathOfItemList(LPITEMIDLIST items) {
  char16_t buffer[MAX_PATH] = {};
  BOOL ok = SHGetPathFromIDListW(items, reinterpret_cast<wchar_t*>(buffer));
  CoTaskMemFree(items);
  return ok ? Text(buffer) : Text();
}

// Preselects the start folder (lParam of the browse info) once the browser is up. The
// browser may announce itself before its tree is filled (seen under Wine: about one
// start in ten), and then the first selection finds nothing to select; the posted one
// arrives after the initialisation and finds the folder. The path outlives both: it
// belongs to BrowseForFolder, which waits for the browser to close.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM startFolder) {
  if (message == BFFM_INITIALIZED && startFolder) {
    SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, startFolder);
    PostMessageW(browser, BFFM_SETSELECTIONW, TRUE, startFolder);
  }
  return 0;
}

}  // namespace

Text GetSpecialFolder(int32_t csidl) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items) return {};
  return PathOfItemList(items);
}

Text BrowseForFolder(HWND owner, TextView startFolder, TextView title, UINT extraFlags) {
  Text start(startFolder);
  Text heading(title);
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.lpszTitle = reinterpret_cast<const wchar_t*>(heading.c_str());
  info.ulFlags = kBrowseFlags | extraFlags;
  info.lpfn = BrowseCallback;
  info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
  return chosen ? PathOfItemList(chosen) : Text();
}
