// UTF-16 text helpers shared by the whole program. Every text the program keeps is
// UTF-16 held as char16_t; conversions to the platform happen at the edges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using Text = std::u16string;
using TextView = std::u16string_view;

// UTF-8 <-> UTF-16, strict: overlong forms, encoded surrogates and values above
// U+10FFFF are not UTF-8. Each byte outside a well-formed sequence becomes a lone
// surrogate U+DC80..U+DCFF that TextToUtf8 turns back into that byte, so any byte
// string survives the round trip (Linux file names need not be UTF-8). Other lone
// surrogates leave as U+FFFD. Nothing throws.
Text TextFromUtf8(std::string_view utf8);
std::string TextToUtf8(TextView text);

// A text fit to show on one line: control characters become their visible pictures
// (a line feed shows as U+240A), units that are not characters become U+FFFD.
Text DisplayText(TextView text);

// Single-byte text as Windows-1251 would hold it (the error log is ANSI text);
// characters outside that code page become '?'.
std::string TextToAnsi(TextView text);

// Case mapping for Latin, Latin-1 and Cyrillic letters, which is what file names,
// format names and filters of this program contain.
char16_t LowerUnit(char16_t c);
char16_t UpperUnit(char16_t c);
Text ToLower(TextView text);
Text ToUpper(TextView text);
bool EqualsNoCase(TextView a, TextView b);

// Decimal with one leading blank for values that are not negative: " 5", "-3".
Text NumberWithBlank(int64_t value);
// Plain decimal: "5", "-3".
Text NumberText(int64_t value);

// Fixed-capacity UTF-16 fields inside records: at most N-1 units and a terminator.
// Assigning a longer text keeps its first N-1 units; units after the terminator are
// left as they were (stale bytes carry no meaning).
template <size_t N>
void SetField(char16_t (&field)[N], TextView value) {
  size_t n = value.size() < N - 1 ? value.size() : N - 1;
  for (size_t i = 0; i < n; ++i) field[i] = value[i];
  field[n] = 0;
}

template <size_t N>
TextView FieldView(const char16_t (&field)[N]) {
  size_t n = 0;
  while (n < N && field[n] != 0) ++n;
  return TextView(field, n);
}

inline Text Cut(TextView text, size_t units) {
  return Text(text.substr(0, units));
}
