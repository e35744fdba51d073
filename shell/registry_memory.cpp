// Keys in memory for the native build. Paths compare without regard to case, as the
// registry's do; a key's parents exist as keys of their own.
#include "shell/registry_memory.h"

#include <map>

namespace {

struct Key {
  std::map<Text, std::vector<char16_t>> values;  // by lower-cased name
};

struct Root {
  std::map<Text, Key> keys;  // by lower-cased path
  MemoryRegistryRights rights;
};

Root gRoots[2];

Root& RootOf(RegistryRoot root) {
  return gRoots[root == RegistryRoot::ClassesRoot ? 0 : 1];
}

Text KeyName(TextView path) {
  return ToLower(path);
}

bool HasSubKeys(const Root& root, const Text& name) {
  Text prefix = name + u"\\";
  auto first = root.keys.lower_bound(prefix);
  return first != root.keys.end() && first->first.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

KeyCreation RegistryCreateKey(RegistryRoot which, TextView path) {
  Root& root = RootOf(which);
  Text name = KeyName(path);
  if (name.empty()) return KeyCreation::Failed;
  if (root.keys.count(name)) return KeyCreation::Existed;
  if (!root.rights.createKeys) return KeyCreation::Failed;
  for (size_t bar = name.find(u'\\'); bar != Text::npos; bar = name.find(u'\\', bar + 1))
    root.keys.try_emplace(name.substr(0, bar));
  root.keys.try_emplace(name);
  return KeyCreation::Created;
}

bool RegistryKeyExists(RegistryRoot which, TextView path) {
  return RootOf(which).keys.count(KeyName(path)) != 0;
}

bool RegistrySetText(RegistryRoot which, TextView path, TextView name, const std::vector<char16_t>& units) {
  Root& root = RootOf(which);
  auto key = root.keys.find(KeyName(path));
  if (key == root.keys.end() || !root.rights.writeValues) return false;
  key->second.values[ToLower(name)] = units;
  return true;
}

bool RegistryDeleteKey(RegistryRoot which, TextView path) {
  Root& root = RootOf(which);
  Text name = KeyName(path);
  if (!root.keys.count(name)) return true;
  if (!root.rights.deleteKeys || HasSubKeys(root, name)) return false;
  root.keys.erase(name);
  return true;
}

bool RegistryDeleteValue(RegistryRoot which, TextView path, TextView name) {
  Root& root = RootOf(which);
  auto key = root.keys.find(KeyName(path));
  if (key == root.keys.end() || !key->second.values.count(ToLower(name))) return true;
  if (!root.rights.writeValues) return false;
  key->second.values.erase(ToLower(name));
  return true;
}

void MemoryRegistryClear() {
  for (Root& root : gRoots) root = Root();
}

void MemoryRegistrySetRights(RegistryRoot which, MemoryRegistryRights rights) {
  RootOf(which).rights = rights;
}

bool MemoryRegistryValue(RegistryRoot which, TextView path, TextView name, std::vector<char16_t>* units) {
  const Root& root = RootOf(which);
  auto key = root.keys.find(KeyName(path));
  if (key == root.keys.end()) return false;
  auto value = key->second.values.find(ToLower(name));
  if (value == key->second.values.end()) return false;
  *units = value->second;
  return true;
}

size_t MemoryRegistryKeyCount(RegistryRoot which) {
  return RootOf(which).keys.size();
}
