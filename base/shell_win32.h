// Shell routines of the Win32 program that take windows.
#pragma once

#include <windows.h>

#include "base/text.h"

// The shell's folder browser owned by owner, with the start folder preselected (none
// when empty), the title, and BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN |
// BIF_NONEWFOLDERBUTTON ORed with extraFlags. The chosen path, empty when cancelled.
Text BrowseForFolder(HWND owner, TextView startFolder, TextView title, UINT extraFlags);
