#include <cstdlib>
#include <cstdio>
#include <string>

#include "base/filesys.h"
#include "base/utils.h"

namespace {

// XDG_PICTURES_DIR from user-dirs.dirs, with $HOME expanded; empty when not set there.
std::string XdgPictures(const std::string& home) {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  std::string path = (configHome && *configHome ? std::string(configHome) : home + "/.config") + "/user-dirs.dirs";
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return {};
  std::string result;
  char line[1024];
  while (std::fgets(line, sizeof line, f)) {
    std::string s = line;
    if (s.rfind("XDG_PICTURES_DIR=", 0) != 0) continue;
    size_t open = s.find('"'), close = s.rfind('"');
    if (open == std::string::npos || close <= open) continue;
    result = s.substr(open + 1, close - open - 1);
    if (result.rfind("$HOME", 0) == 0) result = home + result.substr(5);
  }
  std::fclose(f);
  return result;
}

}  // namespace

Text GetSpecialFolder(int32_t csidl) {
  if (csidl != kCsidlMyPictures) return {};
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  std::string folder = XdgPictures(home);
  if (folder.empty()) folder = std::string(home) + "/Pictures";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return TextFromUtf8(folder);
}
