#include "engine/codecs/xmp_orientation.h"

namespace {

constexpr char kName[] = "tiff:Orientation";

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The value after the name at `at`: `="6"` (or single quotes) or `>6<`; its first and
// one-past-last positions, or false.
bool FindValue(const std::string& packet, size_t at, size_t* first, size_t* last) {
  size_t i = at + sizeof kName - 1;
  while (i < packet.size() && IsSpace(packet[i])) ++i;
  if (i >= packet.size()) return false;
  char end = '<';
  if (packet[i] == '=') {
    ++i;
    while (i < packet.size() && IsSpace(packet[i])) ++i;
    if (i >= packet.size() || (packet[i] != '"' && packet[i] != '\'')) return false;
    end = packet[i++];
  } else if (packet[i] == '>') {
    ++i;
  } else {
    return false;
  }
  size_t close = packet.find(end, i);
  if (close == std::string::npos) return false;
  *first = i, *last = close;
  return true;
}

}  // namespace

bool MendXmpOrientation(std::string* packet) {
  bool changed = false;
  for (size_t at = packet->find(kName); at != std::string::npos; at = packet->find(kName, at + 1)) {
    // A closing tag names it too.
    if (at > 0 && (*packet)[at - 1] == '/') continue;
    size_t first = 0, last = 0;
    if (!FindValue(*packet, at, &first, &last)) continue;
    std::string value = packet->substr(first, last - first);
    size_t begin = value.find_first_not_of(" \t\r\n"), end = value.find_last_not_of(" \t\r\n");
    if (begin != std::string::npos && value.substr(begin, end - begin + 1) == "1") continue;
    packet->replace(first, last - first, "1");
    changed = true;
  }
  return changed;
}
