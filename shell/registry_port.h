// The registry as the desktop integration reaches it: a handful of operations on keys
// named by root and path. The Win32 program uses the real registry
// (registry_win32.cpp); the native build keeps the keys in memory (registry_memory.cpp),
// so the rules built on top are exercised without Windows.
#pragma once

#include <vector>

#include "base/text.h"

// HKEY_CLASSES_ROOT and HKEY_CURRENT_USER.
enum class RegistryRoot { ClassesRoot, CurrentUser };

enum class KeyCreation { Failed, Created, Existed };

// Creates the key with the parents it lacks, or opens it; says which.
KeyCreation RegistryCreateKey(RegistryRoot root, TextView path);
// True when the key can be opened for reading its values.
bool RegistryKeyExists(RegistryRoot root, TextView path);
// Writes a REG_SZ value into an existing key. units is written whole, so its size gives
// the data length (terminator and zero padding included). An empty name is the key's
// default value. False when the key cannot be opened or the write fails.
bool RegistrySetText(RegistryRoot root, TextView path, TextView name, const std::vector<char16_t>& units);
// Deletes a key that has no sub-keys. True when the key is gone afterwards, also when it
// never existed.
bool RegistryDeleteKey(RegistryRoot root, TextView path);
// REG_SZ data of a fixed length: the text zero-padded to units, cut to units - 1 so
// that the terminator always fits.
inline std::vector<char16_t> PaddedUnits(TextView text, size_t units) {
  std::vector<char16_t> padded(units, 0);
  for (size_t i = 0; i < text.size() && i + 1 < units; ++i) padded[i] = text[i];
  return padded;
}

// Deletes a value. True when it is gone afterwards, also when it or its key never existed.
bool RegistryDeleteValue(RegistryRoot root, TextView path, TextView name);
