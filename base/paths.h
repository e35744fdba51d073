// Splitting and joining paths with the platform's separator.
#pragma once

#include "base/text.h"

// The text with a separator appended unless its last character already is one.
Text WithTrailingBackslash(TextView path);

// Folder part of a path (up to and including the last separator) and the name after it.
// Paths of more than 260 units split into two empty parts; a path without separator
// has an empty folder part.
struct PathParts {
  Text folder;
  Text name;
};
PathParts SplitPath(TextView path);

// The folders between a root and a file found under it, each with its separator, as they
// are to be made again below an output folder: "2024\Trip\" for the path
// "D:\Photos\2024\Trip\a.jpg" under the root "D:\Photos\" (rootUnits 10); empty for a
// file directly in its root and for no root (0). Separators the root's own spelling left
// at the start ("C:\\a.jpg" under a dropped "C:\") are no folder and are dropped.
Text FoldersBelowRoot(TextView path, size_t rootUnits);

// The folder of the running program with a trailing separator.
Text ProgramFolder();
// The program's file name without extension ("conv" for C:\Tools\conv.exe).
Text ProgramBaseName();
