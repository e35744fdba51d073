// The native build's registry: keys in memory, and what the tests need to set it up and
// look into it.
#pragma once

#include <vector>

#include "shell/registry_port.h"

// What a user may change under one root. A user without administrator rights may not
// change HKEY_CLASSES_ROOT on Windows.
struct MemoryRegistryRights {
  bool createKeys = true;
  bool writeValues = true;
  bool deleteKeys = true;
};

// Empties both roots and gives every right back.
void MemoryRegistryClear();
void MemoryRegistrySetRights(RegistryRoot root, MemoryRegistryRights rights);
// The units of a value as written (its data), false when the key or value is absent.
bool MemoryRegistryValue(RegistryRoot root, TextView path, TextView name, std::vector<char16_t>* units);
// Number of keys under the root, parents included.
size_t MemoryRegistryKeyCount(RegistryRoot root);
