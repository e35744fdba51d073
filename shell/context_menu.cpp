#include "shell/context_menu.h"

#include "shell/registry_port.h"

namespace {

// A place an entry may live: the root and the prefix of its paths.
struct Place {
  RegistryRoot root;
  const char16_t* prefix;
};
// In the order new entries are tried; removal clears the user's own place first, so
// that on Windows the merged HKEY_CLASSES_ROOT then reaches the machine-wide keys.
constexpr Place kWritePlaces[] = {{RegistryRoot::ClassesRoot, u""}, {RegistryRoot::CurrentUser, kUserClassesKey}};
constexpr Place kRemovePlaces[] = {{RegistryRoot::CurrentUser, kUserClassesKey}, {RegistryRoot::ClassesRoot, u""}};

Text At(const Place& place, TextView path) {
  return Text(place.prefix) + Text(path);
}

bool PresentAnywhere(TextView path) {
  for (const Place& place : kRemovePlaces)
    if (RegistryKeyExists(place.root, At(place, path))) return true;
  return false;
}

void RemoveEntry(const Text& verbKey, const Text& commandKey) {
  // Child first: a key with sub-keys cannot be deleted.
  for (const Place& place : kRemovePlaces) {
    RegistryDeleteKey(place.root, At(place, commandKey));
    RegistryDeleteKey(place.root, At(place, verbKey));
  }
}

// Creates the command key in the first place that allows it and writes the command.
// Keys it made for a command that could not be written are taken away again.
bool CreateEntry(const Text& verbKey, const Text& commandKey, const Text& command) {
  for (const Place& place : kWritePlaces) {
    bool verbExisted = RegistryKeyExists(place.root, At(place, verbKey));
    if (RegistryCreateKey(place.root, At(place, commandKey)) == KeyCreation::Failed) continue;
    if (RegistrySetText(place.root, At(place, commandKey), u"", PaddedUnits(command, kVerbCommandUnits))) return true;
    RegistryDeleteKey(place.root, At(place, commandKey));
    if (!verbExisted) RegistryDeleteKey(place.root, At(place, verbKey));
  }
  return false;
}

}  // namespace

Text VerbKeyPath(TextView base, TextView verb) {
  return Text(base) + u"\\Shell\\" + Text(verb);
}

Text VerbCommandLine(TextView exePath) {
  Text command(1, u'"');
  return (command += exePath) += u"\" \"%L\"";
}

int32_t ToggleContextMenuVerb(TextView base, TextView verb, TextView exePath) {
  Text verbKey = VerbKeyPath(base, verb);
  Text commandKey = verbKey + u"\\Command";
  if (PresentAnywhere(commandKey)) {
    RemoveEntry(verbKey, commandKey);
    return PresentAnywhere(verbKey) || PresentAnywhere(commandKey) ? 1 : 0;
  }
  Text command = VerbCommandLine(exePath);
  if (command.size() >= kVerbCommandUnits) return 0;
  return CreateEntry(verbKey, commandKey, command) ? 1 : 0;
}

int32_t SetVerbCaption(TextView verbKeyPath, TextView caption) {
  std::vector<char16_t> units = PaddedUnits(caption, kVerbCaptionUnits);
  for (const Place& place : kWritePlaces) {
    Text key = At(place, verbKeyPath);
    if (RegistryKeyExists(place.root, key) && RegistrySetText(place.root, key, u"", units)) return 1;
  }
  return 0;
}

bool VerbPresent(TextView verbKeyPath) {
  return PresentAnywhere(verbKeyPath);
}
