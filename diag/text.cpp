#include "diag/text.h"

Text TextFromUtf8(std::string_view s) {
  Text out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    uint8_t b = static_cast<uint8_t>(s[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else if ((b >> 5) == 6 || (b >> 4) == 14 || (b >> 3) == 30) {
      len = (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : 4;
      uint32_t v = b & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
      bool ok = i + len <= s.size();
      for (size_t k = 1; ok && k < len; ++k) {
        uint8_t c = static_cast<uint8_t>(s[i + k]);
        if ((c >> 6) != 2) ok = false;
        v = (v << 6) | (c & 0x3F);
      }
      if (ok) cp = v;
      else len = 1;
    }
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
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
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
