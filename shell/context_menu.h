// The program's entries in the explorer's context menu of drives, folders and files.
//
// Where the keys go: HKEY_CLASSES_ROOT first, as the program has always written them;
// its writes land in the machine-wide classes, which only an administrator may change.
// When that is refused (an ordinary user, or an administrator without elevation) the
// entry goes to HKEY_CURRENT_USER\Software\Classes, which Windows merges into
// HKEY_CLASSES_ROOT for that user, so the menu shows it all the same. Presence and
// removal look at both places, so entries of either kind, and those an earlier version
// wrote, are recognised and can be switched off.
#pragma once

#include <cstdint>

#include "base/text.h"

constexpr char16_t kVerbName[] = u"XxxRightClick";
constexpr char16_t kUserClassesKey[] = u"Software\\Classes\\";
// Data lengths of the two default values, in UTF-16 units (terminator and zero padding
// included): 128 and 552 bytes.
constexpr size_t kVerbCaptionUnits = 64;
constexpr size_t kVerbCommandUnits = 276;

struct ContextMenuTarget {
  const char16_t* base;
  const char16_t* caption;
};
// Drives, folders, all files.
constexpr ContextMenuTarget kContextMenuTargets[3] = {
    {u"Drive", u"Tessaly — Добавить диск"},
    {u"Directory", u"Tessaly — Добавить папку"},
    {u"*", u"Tessaly — Добавить файл"},
};

// base + "\Shell\" + verb.
Text VerbKeyPath(TextView base, TextView verb);
// The command explorer runs: the executable and the chosen item (%L), each quoted.
Text VerbCommandLine(TextView exePath);

// Adds the entry when its command key is absent, else removes the command and verb keys.
// Returns 1 when the entry is present afterwards, 0 when it is not: removed, or not
// created because the keys could not be made, the command could not be written, or the
// command would not fit its 276 units (a cut command would start nothing, or something
// else). A removal that was refused leaves the entry, and the result says so.
int32_t ToggleContextMenuVerb(TextView base, TextView verb, TextView exePath);
// Writes the caption (cut to 63 units) into the verb key's default value; 1 when written,
// 0 when no verb key exists or the write failed.
int32_t SetVerbCaption(TextView verbKeyPath, TextView caption);
// True when the verb key exists in either place.
bool VerbPresent(TextView verbKeyPath);
