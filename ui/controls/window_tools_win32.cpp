// The shared tooltip window and the small window routines.
#include "base/wide_win32.h"
#include "ui/controls/window_tools_win32.h"

#include <commctrl.h>

#include "app/main_win32.h"
#include "ui/window_rules.h"

namespace {

constexpr int32_t kToolTipsOff = -1;
// TTF_IDISHWND | TTF_CENTERTIP | TTF_SUBCLASS and 0x40, the record the program has always
// filled for its tools.
constexpr UINT kToolFlags = 0x53;
constexpr DWORD kAllControlClasses = 0xFF;
constexpr int kMaxTipWidth = 280;

HWND gToolTipWindow = nullptr;
// One record reused for every tool. Its size is that of the real structure, so the
// 64-bit layout (wider handles) is what the control reads.
TTTOOLINFOW gToolRecord = {};

void CreateToolTipWindow(HWND owner) {
  INITCOMMONCONTROLSEX classes = {sizeof classes, kAllControlClasses};
  InitCommonControlsEx(&classes);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  gToolTipWindow = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, instance,
                                   nullptr);
  if (!gToolTipWindow) return;
  SendMessageW(gToolTipWindow, TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
  SetWindowPos(gToolTipWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageW(gToolTipWindow, TTM_SETDELAYTIME, TTDT_INITIAL, 1200);
  SendMessageW(gToolTipWindow, TTM_SETDELAYTIME, TTDT_AUTOPOP, 6000);
  SendMessageW(gToolTipWindow, TTM_SETDELAYTIME, TTDT_RESHOW, 1000);
  gToolRecord = {};
  gToolRecord.cbSize = sizeof(TTTOOLINFOW);
  gToolRecord.uFlags = kToolFlags;
  gToolRecord.hinst = instance;
}

void AddTool(HWND tool, TextView text) {
  Text tip(text);
  gToolRecord.hwnd = tool;
  gToolRecord.uId = reinterpret_cast<UINT_PTR>(tool);
  gToolRecord.lpszText = const_cast<wchar_t*>(Wide(tip));
  // The control copies the text; the record keeps no pointer past this call.
  SendMessageW(gToolTipWindow, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&gToolRecord));
  SendMessageW(gToolTipWindow, TTM_ACTIVATE, TRUE, 0);
  gToolRecord.lpszText = nullptr;
}

int CALLBACK NoteFaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceInstalled(const Text& face) {
  LOGFONTW wanted = {};
  wanted.lfCharSet = DEFAULT_CHARSET;
  for (size_t i = 0; i < face.size() && i < LF_FACESIZE - 1; ++i) wanted.lfFaceName[i] = static_cast<WCHAR>(face[i]);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, NoteFaceFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

// Under Wine on Linux the Windows faces are usually missing and the font mapper would
// take any sans face; the metric-compatible Liberation faces keep the look and the
// widths the controls were laid out for.
Text InstalledFace(TextView face) {
  static const struct {
    const char16_t* windows;
    const char16_t* alternative;
  } kAlternatives[] = {
      {u"Times New Roman", u"Liberation Serif"},
      {u"Arial", u"Liberation Sans"},
  };
  Text wanted = Cut(face, LF_FACESIZE - 1);
  if (FaceInstalled(wanted)) return wanted;
  for (const auto& pair : kAlternatives)
    if (wanted == pair.windows && FaceInstalled(pair.alternative)) return pair.alternative;
  return wanted;
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(reinterpret_cast<const wchar_t*>(u"ntdll.dll"));
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

Text FrameCaption(HWND frame) {
  int length = GetWindowTextLengthW(frame);
  Text caption(static_cast<size_t>(length > 0 ? length : 0) + 1, u'\0');
  int got = GetWindowTextW(frame, reinterpret_cast<wchar_t*>(caption.data()), length + 1);
  caption.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return caption;
}

// The frame as the stock control draws it: an etched rectangle whose top runs through
// the middle of the caption, the caption 8 pixels in, on the background the parent gives
// static controls; the gap behind the caption is one average character wider than it.
void PaintGroupFrame(HWND frame, HDC dc) {
  RECT client;
  GetClientRect(frame, &client);
  HGDIOBJ previousFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(frame, WM_GETFONT, 0, 0)));
  auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(frame), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(frame)));
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  RECT edge = client;
  edge.top += metrics.tmHeight / 2 - 1;
  DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
  Text caption = FrameCaption(frame);
  if (!caption.empty()) {
    SIZE extent = {};
    GetTextExtentPoint32W(dc, Wide(caption), static_cast<int>(caption.size()), &extent);
    RECT gap = {client.left + 7, client.top, client.left + 9 + extent.cx + metrics.tmAveCharWidth,
                client.top + metrics.tmHeight};
    FillRect(dc, &gap, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, client.left + 8, client.top, Wide(caption), static_cast<int>(caption.size()));
  }
  SelectObject(dc, previousFont);
}

LRESULT CALLBACK WholeCaptionFrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_NCDESTROY) RemoveWindowSubclass(frame, WholeCaptionFrameProc, 0);
  if (message != WM_PAINT) return DefSubclassProc(frame, message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(frame, &paint);
  PaintGroupFrame(frame, dc);
  EndPaint(frame, &paint);
  return 0;
}

}  // namespace

void KeepGroupCaptionWhole(HWND frame) {
  static const bool underWine = RunningUnderWine();
  if (frame && underWine) SetWindowSubclass(frame, WholeCaptionFrameProc, 0, 0);
}

void AddToolTip(HWND owner, HWND tool, TextView text) {
  if (!owner && text == u"SET") {
    gToolTipSwitch = static_cast<int32_t>(reinterpret_cast<intptr_t>(tool));
    return;
  }
  if (gToolTipSwitch == kToolTipsOff) return;
  if (!gToolTipWindow) {
    CreateToolTipWindow(owner);
    return;
  }
  if (tool) AddTool(tool, text);
}

void SetTopMost(HWND window, bool on) {
  SetWindowPos(window, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

HMENU AddSystemMenuItem(HWND window, UINT commandId, TextView caption, int position) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (!menu) return nullptr;
  Text item = Cut(caption, 63);
  int at = SystemMenuPosition(GetMenuItemCount(menu), position);
  InsertMenuW(menu, static_cast<UINT>(at), MF_BYPOSITION | MF_STRING, commandId, Wide(item));
  DrawMenuBar(window);
  return menu;
}

Text ControlText(HWND control, int capacity) {
  if (!control || capacity <= 0) return Text();
  Text buffer(static_cast<size_t>(capacity) + 1, u'\0');
  int length = GetWindowTextW(control, reinterpret_cast<wchar_t*>(buffer.data()), capacity + 1);
  buffer.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return buffer;
}

void SetControlText(HWND control, TextView text) {
  Text shown(text);
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(shown)));
}

void AddWindowStyle(HWND window, LONG_PTR styleBits) {
  SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) | styleBits);
}

HFONT CreatePointFont(TextView face, int points, bool bold, bool underline, bool variablePitch) {
  HDC screen = GetDC(nullptr);
  int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  Text name = InstalledFace(face);
  return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE, 0,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     variablePitch ? VARIABLE_PITCH | FF_DONTCARE : DEFAULT_PITCH | FF_DONTCARE, Wide(name));
}
