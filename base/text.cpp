#include "base/text.h"

namespace {

// A byte that is not part of a well-formed UTF-8 sequence is kept as the lone low
// surrogate U+DC80 + (byte - 0x80), which no well-formed UTF-8 decodes to, and turns
// back into the same byte on the way out. A Linux file name is any byte string: such a
// name stays reachable under its own bytes, and no overlong form can smuggle in a '/'
// or a NUL that the name never had.
constexpr char16_t kEscapedByteBase = 0xDC00;

bool IsEscapedByte(char16_t unit) {
  return unit >= 0xDC80 && unit <= 0xDCFF;
}

bool IsContinuation(uint8_t b) {
  return (b & 0xC0) == 0x80;
}

// Length of the well-formed sequence at s[i] (1..4), or 0 when it is not one. The
// ranges of the second byte rule out overlong forms, encoded surrogates and values
// above U+10FFFF.
size_t SequenceLength(std::string_view s, size_t i) {
  uint8_t b = static_cast<uint8_t>(s[i]);
  if (b < 0x80) return 1;
  size_t len = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  uint8_t second = static_cast<uint8_t>(s[i + 1]);
  uint8_t low = 0x80, high = 0xBF;
  if (b == 0xE0) low = 0xA0;
  else if (b == 0xED) high = 0x9F;
  else if (b == 0xF0) low = 0x90;
  else if (b == 0xF4) high = 0x8F;
  if (second < low || second > high) return 0;
  for (size_t k = 2; k < len; ++k)
    if (!IsContinuation(static_cast<uint8_t>(s[i + k]))) return 0;
  return len;
}

uint32_t DecodeSequence(std::string_view s, size_t i, size_t len) {
  uint8_t b = static_cast<uint8_t>(s[i]);
  uint32_t v = len == 1 ? b : b & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
  for (size_t k = 1; k < len; ++k) v = (v << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
  return v;
}

void AppendUtf8(std::string* out, uint32_t cp) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

Text TextFromUtf8(std::string_view s) {
  Text out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    size_t len = SequenceLength(s, i);
    if (len == 0) {
      out.push_back(static_cast<char16_t>(kEscapedByteBase + static_cast<uint8_t>(s[i])));
      ++i;
      continue;
    }
    uint32_t cp = DecodeSequence(s, i, len);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string TextToUtf8(TextView t) {
  std::string out;
  out.reserve(t.size());
  for (size_t i = 0; i < t.size(); ++i) {
    uint32_t cp = t[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (t[i + 1] - 0xDC00);
      ++i;
    } else if (IsEscapedByte(t[i])) {
      out.push_back(static_cast<char>(cp - kEscapedByteBase));
      continue;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    AppendUtf8(&out, cp);
  }
  return out;
}

Text DisplayText(TextView text) {
  Text out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    char16_t c = out[i];
    bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] < 0xE000;
    if (pair) ++i;
    else if (c < 0x20) out[i] = static_cast<char16_t>(0x2400 + c);  // the control pictures: ␊ for a line feed
    else if (c == 0x7F) out[i] = 0x2421;
    else if (c >= 0xD800 && c < 0xE000) out[i] = 0xFFFD;
  }
  return out;
}

std::string TextToAnsi(TextView t) {
  std::string out;
  out.reserve(t.size());
  for (char16_t c : t) {
    if (c < 0x80) out.push_back(static_cast<char>(c));
    else if (c >= 0x0410 && c <= 0x044F) out.push_back(static_cast<char>(c - 0x0410 + 0xC0));
    else if (c == 0x0401) out.push_back(static_cast<char>(0xA8));
    else if (c == 0x0451) out.push_back(static_cast<char>(0xB8));
    else out.push_back('?');
  }
  return out;
}

char16_t LowerUnit(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 32;
  if (c < 0xC0) return c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
  if (c >= 0x0410 && c <= 0x042F) return c + 32;
  if (c >= 0x0400 && c <= 0x040F) return c + 80;
  return c;
}

char16_t UpperUnit(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 32;
  if (c < 0xE0) return c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c >= 0x0430 && c <= 0x044F) return c - 32;
  if (c >= 0x0450 && c <= 0x045F) return c - 80;
  return c;
}

Text ToLower(TextView t) {
  Text out(t);
  for (auto& c : out) c = LowerUnit(c);
  return out;
}

Text ToUpper(TextView t) {
  Text out(t);
  for (auto& c : out) c = UpperUnit(c);
  return out;
}

bool EqualsNoCase(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerUnit(a[i]) != LowerUnit(b[i])) return false;
  return true;
}

Text NumberText(int64_t value) {
  std::string s = std::to_string(value);
  return Text(s.begin(), s.end());
}

Text NumberWithBlank(int64_t value) {
  if (value < 0) return NumberText(value);
  Text blank(1, u' ');
  return blank += NumberText(value);
}
