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

// The folder of the running program with a trailing separator.
Text ProgramFolder();
// The program's file name without extension ("conv" for C:\Tools\conv.exe).
Text ProgramBaseName();
