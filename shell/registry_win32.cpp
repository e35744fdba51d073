// The registry port over the Win32 registry calls. Every operation opens its key with
// the least access it needs and closes it again, so a user who may write values but not
// change a key's security still gets as far as the rules allow.
#include "base/wide_win32.h"
#include "shell/registry_port.h"

#include <windows.h>

namespace {

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
}

HKEY OpenKey(RegistryRoot root, const Text& path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(RootKey(root), Wide(path), 0, access, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

bool ValueAbsent(HKEY key, const Text& name) {
  return RegQueryValueExW(key, Wide(name), nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND;
}

}  // namespace

KeyCreation RegistryCreateKey(RegistryRoot root, TextView path) {
  Text name(path);
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG status = RegCreateKeyExW(RootKey(root), Wide(name), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE,
                                nullptr, &key, &disposition);
  if (status != ERROR_SUCCESS) return KeyCreation::Failed;
  RegCloseKey(key);
  return disposition == REG_CREATED_NEW_KEY ? KeyCreation::Created : KeyCreation::Existed;
}

bool RegistryKeyExists(RegistryRoot root, TextView path) {
  HKEY key = OpenKey(root, Text(path), KEY_QUERY_VALUE);
  if (!key) return false;
  RegCloseKey(key);
  return true;
}

bool RegistrySetText(RegistryRoot root, TextView path, TextView name, const std::vector<char16_t>& units) {
  HKEY key = OpenKey(root, Text(path), KEY_SET_VALUE);
  if (!key) return false;
  Text valueName(name);
  LONG status = RegSetValueExW(key, Wide(valueName), 0, REG_SZ, reinterpret_cast<const BYTE*>(units.data()),
                               static_cast<DWORD>(units.size() * sizeof(char16_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool RegistryDeleteKey(RegistryRoot root, TextView path) {
  Text name(path);
  RegDeleteKeyW(RootKey(root), Wide(name));
  return !RegistryKeyExists(root, path);
}

bool RegistryDeleteValue(RegistryRoot root, TextView path, TextView name) {
  Text valueName(name);
  HKEY key = OpenKey(root, Text(path), KEY_SET_VALUE | KEY_QUERY_VALUE);
  if (key) RegDeleteValueW(key, Wide(valueName));
  // A key this user may not change may still hold the value: look, rather than guess.
  if (!key) key = OpenKey(root, Text(path), KEY_QUERY_VALUE);
  if (!key) return true;
  bool gone = ValueAbsent(key, valueName);
  RegCloseKey(key);
  return gone;
}
