// Where the program's UTF-16 text meets the Win32 API: WCHAR is 16 bits in both Win32
// builds (Winelib compiles with -fshort-wchar), so the cast is exact.
#pragma once

#include "base/text.h"

inline const wchar_t* Wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline const wchar_t* Wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
