#include "settings/option_panel.h"

int32_t OptionCheckBit(const OutputFormat& format, int controlId) {
  for (int i = 0; i < format.optionCount; ++i)
    if (format.options[i].controlId == controlId) return format.options[i].bit;
  return 0;
}

int32_t PanelQuality(int32_t word) {
  return FlagValue(word, 0);
}

void PreparePanelWord(AppSettings* settings, const OutputFormat& format) {
  int32_t* word = FormatWord(settings, format);
  if (word && format.shownBits) SetFlag(*word, format.shownBits);
}

void TogglePanelBit(AppSettings* settings, const OutputFormat& format, int controlId) {
  int32_t bit = OptionCheckBit(format, controlId);
  int32_t* word = FormatWord(settings, format);
  if (!bit || !word) return;
  if (HasFlag(*word, bit))
    ClearFlag(*word, bit);
  else
    SetFlag(*word, bit);
}

void SetPanelQuality(AppSettings* settings, const OutputFormat& format, int32_t q) {
  int32_t* word = FormatWord(settings, format);
  if (format.quality && word) SetFlagValue(*word, q);
}

Text QualityLabelAtBuild(int32_t q) {
  return u"Качество: " + NumberWithBlank(q);
}

Text QualityLabelAfterMove(int32_t q) {
  return u"Качество:" + NumberWithBlank(q);
}
