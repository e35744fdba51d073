// Texts the window shows, as a terminal on Linux takes them: UTF-8, lines ended by LF
// alone (the window's texts break lines with CR LF, which a terminal or a log shows
// as stray characters).
#pragma once

#include <string>

#include "base/text.h"

inline std::string ConsoleText(TextView text) {
  std::string utf8 = TextToUtf8(text), lines;
  lines.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i)
    if (!(utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')) lines += utf8[i];
  return lines;
}
