#include "tests/e2e/desktop_e2e_win32.h"

#include <cstdio>

#include "base/wide_win32.h"
#include "tests/e2e/e2e_win32.h"

namespace {

constexpr char16_t kRunKeyPath[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char16_t* const kVerbBases[] = {u"Drive", u"Directory", u"*"};

Text VerbKey(const char16_t* base) {
  return Text(base) + u"\\Shell\\XxxRightClick";
}

}  // namespace

WineRegAnswer WineReg(const std::string& arguments) {
  WineRegAnswer answer;
  // The driver is a Winelib program: popen runs the host's shell in this prefix.
  std::string command = "wine reg " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return answer;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) answer.output += buffer;
  answer.ok = pclose(pipe) == 0;
  return answer;
}

std::string RegSzData(const WineRegAnswer& answer) {
  const std::string marker = "REG_SZ";
  size_t at = answer.output.find(marker);
  if (at == std::string::npos) return {};
  size_t begin = answer.output.find_first_not_of(' ', at + marker.size());
  size_t end = answer.output.find_first_of("\r\n", begin);
  return begin == std::string::npos ? std::string() : answer.output.substr(begin, end - begin);
}

bool ReadRegText(HKEY root, TextView key, TextView name, Text* text, DWORD* bytes) {
  Text path(key), valueName(name);
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, Wide(path), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
  std::vector<char16_t> data(2048, 0);
  DWORD size = static_cast<DWORD>(data.size() * sizeof(char16_t)) - sizeof(char16_t);
  DWORD type = 0;
  LONG status = RegQueryValueExW(opened, Wide(valueName), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS || type != REG_SZ) return false;
  *bytes = size;
  *text = Text(data.data());
  return true;
}

bool RegKeyExists(HKEY root, TextView key) {
  Text path(key);
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, Wide(path), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

bool MakeRegKey(HKEY root, TextView key) {
  Text path(key);
  HKEY made = nullptr;
  if (RegCreateKeyExW(root, Wide(path), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr) != ERROR_SUCCESS)
    return false;
  RegCloseKey(made);
  return true;
}

void ForgetDesktopEntries() {
  for (const char16_t* base : kVerbBases) {
    for (const Text& prefix : {Text(), Text(u"Software\\Classes\\")}) {
      HKEY root = prefix.empty() ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
      Text command = prefix + VerbKey(base) + u"\\Command";
      Text verb = prefix + VerbKey(base);
      RegDeleteKeyW(root, Wide(command));
      RegDeleteKeyW(root, Wide(verb));
    }
  }
  HKEY run = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(kRunKeyPath), 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
    RegDeleteValueW(run, Wide(u"Tessaly"));
    RegCloseKey(run);
  }
}

bool MakeFolders(TextView folder) {
  Text path(folder);
  for (size_t at = path.find(u'\\', 3); at != Text::npos; at = path.find(u'\\', at + 1)) {
    Text part = path.substr(0, at);
    CreateDirectoryW(Wide(part), nullptr);
  }
  CreateDirectoryW(Wide(path), nullptr);
  DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CopyProgramTo(TextView path) {
  Text target(path);
  if (!MakeFolders(target.substr(0, target.rfind(u'\\')))) return Fail("cannot make the folder of", target);
  if (!CopyFileW(Wide(gSetup.program), Wide(target), FALSE)) return Fail("cannot copy the program to", target);
  // The Windows program takes its DLLs along; the Winelib one has none beside it.
  Text folder = target.substr(0, target.rfind(u'\\') + 1);
  for (const char16_t* dll : {u"FreeImage.dll", u"libheif.dll", u"libde265.dll"}) {
    Text library = gSetup.programFolder + dll;
    if (FileExists(library) && !CopyFileW(Wide(library), Wide(folder + dll), FALSE))
      return Fail("cannot copy " + TextToUtf8(dll) + " beside", target);
  }
  return true;
}

Text ConfigBeside(TextView programPath) {
  Text path(programPath);
  return path.substr(0, path.rfind(u'\\') + 1) + u"Config.dat";
}

HWND SettingsPageOf(HWND dialog) {
  HWND presets = FindDescendant(dialog, 5026, u"Edit");
  return presets ? GetParent(presets) : nullptr;
}

bool Ticked(HWND box) {
  return Send(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool ExpectOutputModeRadios(HWND page, int mode) {
  constexpr int kIdFirstModeRadio = 5100;
  for (int m = 0; m < 3; ++m) {
    if (Ticked(FindDescendant(page, kIdFirstModeRadio + m)) != (m == mode))
      return Fail("output-mode radio " + std::to_string(kIdFirstModeRadio + m) + " does not show mode " +
                  std::to_string(mode));
  }
  return true;
}

void Click(HWND button) {
  Send(button, BM_CLICK, 0, 0, 15000);
}

Text RemoteTreeItemText(HWND tree, DWORD pid, HTREEITEM item) {
  constexpr int kUnits = 260;
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return {};
  size_t size = sizeof(TVITEMW) + kUnits * sizeof(wchar_t);
  auto* remote = static_cast<uint8_t*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
  Text text;
  if (remote) {
    TVITEMW record = {};
    record.mask = TVIF_TEXT;
    record.hItem = item;
    record.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TVITEMW));
    record.cchTextMax = kUnits;
    std::vector<char16_t> buffer(kUnits, 0);
    if (WriteProcessMemory(process, remote, &record, sizeof record, nullptr) &&
        Send(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote)) &&
        ReadProcessMemory(process, remote + sizeof(TVITEMW), buffer.data(), kUnits * sizeof(wchar_t), nullptr)) {
      buffer.back() = 0;
      text = Text(buffer.data());
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return text;
}

Text RemoteTreeCaretText(HWND tree, DWORD pid) {
  auto caret = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  return caret ? RemoteTreeItemText(tree, pid, caret) : Text();
}
