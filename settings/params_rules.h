// The rules of the conversion-parameters page's boxes, apart from their windows.
#pragma once

#include <cstdint>

#include "base/text.h"

constexpr int32_t kMaxTargetSize = 10000;
constexpr int32_t kMaxScalePercent = 1000;

struct TypedNumber {
  int32_t value = 0;
  bool limited = false;  // a limit was applied: the box must show the value instead
};

// The digits of a typed text as a number clamped to 1..max; other characters are
// dropped, and no digits give 0 before clamping.
TypedNumber TakeTypedNumber(TextView typed, int32_t max);

// What leaving the format box stores: the typed name in upper case, "JPG" when empty.
Text FormatBoxName(TextView typed);
