// The process's command line in the Win32 program.
#include <windows.h>

#include "input/collect.h"

Text ProcessCommandLine() {
  const wchar_t* line = GetCommandLineW();
  return line ? Text(reinterpret_cast<const char16_t*>(line)) : Text();
}
