// File names arrive as bytes (Linux names need not be UTF-8): any bytes survive the
// trip through UTF-16 unchanged, and decoding never makes a separator or a NUL that the
// bytes did not hold.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/text.h"

namespace {

bool HasLoneSurrogate(TextView t) {
  for (size_t i = 0; i < t.size(); ++i) {
    bool high = t[i] >= 0xD800 && t[i] < 0xDC00, low = t[i] >= 0xDC00 && t[i] < 0xE000;
    if (high && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] < 0xE000)
      ++i;
    else if (high || low)
      return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  Text text = TextFromUtf8(bytes);
  if (TextToUtf8(text) != bytes) std::abort();
  for (char16_t special : {u'/', u'\\', u'\0', u'.'})
    if (std::count(text.begin(), text.end(), special) != std::count(bytes.begin(), bytes.end(), char(special)))
      std::abort();
  for (char16_t c : DisplayText(text))
    if (c < 0x20 || c == 0x7F) std::abort();
  // The other way: well-formed UTF-16 survives the trip through UTF-8.
  Text units(size / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), data, units.size() * 2);
  if (!HasLoneSurrogate(units) && TextFromUtf8(TextToUtf8(units)) != units) std::abort();
  return 0;
}
