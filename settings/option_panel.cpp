#include "settings/option_panel.h"

namespace {

int32_t* WordOf(AppSettings* settings, int32_t formatId) {
  return formatId >= 0 && formatId < kSaveFlagCount ? &settings->SaveFlags[formatId] : nullptr;
}

}  // namespace

OptionPanelKind OptionPanelKindFor(int32_t formatId) {
  switch (formatId) {
    case kFormatJpeg: return OptionPanelKind::Jpeg;
    case kFormatWebp: return OptionPanelKind::Webp;
    case kFormatPng: return OptionPanelKind::Png;
    default: return OptionPanelKind::Empty;
  }
}

int32_t OptionCheckBit(int controlId) {
  switch (controlId) {
    case kIdJpegProgressive: return kJpegProgressiveFlag;
    case kIdJpegNoMetadata: return kJpegBaselineFlag;
    case kIdWebpLossless: return kWebpLosslessFlag;
    case kIdPngPalette: return kPng256ColourFlag;
    default: return 0;
  }
}

int32_t PanelQuality(int32_t word) {
  return FlagValue(word, 0);
}

void PreparePanelWord(AppSettings* settings, int32_t formatId) {
  int32_t* word = WordOf(settings, formatId);
  if (word && formatId == kFormatPng) SetFlag(*word, kPngBestCompression);
}

void TogglePanelBit(AppSettings* settings, int32_t formatId, int controlId) {
  int32_t bit = OptionCheckBit(controlId);
  int32_t* word = WordOf(settings, formatId);
  if (!bit || !word) return;
  if (HasFlag(*word, bit))
    ClearFlag(*word, bit);
  else
    SetFlag(*word, bit);
}

void SetPanelQuality(AppSettings* settings, int32_t formatId, int32_t q) {
  if (formatId != kFormatJpeg && formatId != kFormatWebp) return;
  SetFlagValue(settings->SaveFlags[formatId], q);
}

Text QualityLabelAtBuild(int32_t q) {
  return u"Качество: " + NumberWithBlank(q);
}

Text QualityLabelAfterMove(int32_t q) {
  return u"Качество:" + NumberWithBlank(q);
}
