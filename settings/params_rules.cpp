#include "settings/params_rules.h"

TypedNumber TakeTypedNumber(TextView typed, int32_t max) {
  int64_t value = 0;
  for (char16_t c : typed) {
    if (c < u'0' || c > u'9') continue;
    // Past the limit the exact number no longer matters, only that it is too large.
    value = value > max ? value : value * 10 + (c - u'0');
  }
  TypedNumber result;
  result.value = static_cast<int32_t>(value > max ? max : value < 1 ? 1 : value);
  result.limited = result.value != value;
  return result;
}

Text FormatBoxName(TextView typed) {
  Text name = ToUpper(typed);
  return name.empty() ? Text(u"JPG") : name;
}
