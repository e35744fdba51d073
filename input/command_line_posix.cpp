// The process's command line for the native build. Linux keeps the arguments apart, so
// they are joined the way a Windows command line reads: separated by blanks, with an
// argument that contains a blank (or is empty) inside double quotes, so that the
// command-text scanner gives the same tokens back.
#include <fstream>
#include <iterator>
#include <string>

#include "input/collect.h"

Text ProcessCommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Text line;
  size_t at = 0;
  while (at < raw.size()) {
    size_t end = raw.find('\0', at);
    if (end == std::string::npos) end = raw.size();
    Text arg = TextFromUtf8(std::string_view(raw).substr(at, end - at));
    if (!line.empty()) line.push_back(u' ');
    if (arg.empty() || arg.find(u' ') != Text::npos)
      line += u"\"" + arg + u"\"";
    else
      line += arg;
    at = end + 1;
  }
  return line;
}
