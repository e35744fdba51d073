// What the encoder option panel does to the save-flag words, apart from its windows:
// which controls a format gets, which bit each check box owns, the quality value and
// the label texts. The panel's window code only forwards clicks and slider moves here.
#pragma once

#include <cstdint>

#include "settings/app_settings.h"

constexpr int kIdOptionGroup = 8800;
constexpr int kIdQualityLabel = 8801;
constexpr int kIdQualitySlider = 8802;
constexpr int kIdJpegProgressive = 8803;
constexpr int kIdJpegNoMetadata = 8804;
constexpr int kIdWebpLossless = 8813;
constexpr int kIdPngPalette = 8823;

constexpr int32_t kJpegProgressiveFlag = 0x2000;
constexpr int32_t kJpegBaselineFlag = 0x40000;
constexpr int32_t kWebpLosslessFlag = 0x100;
// zlib's best compression, ORed into the PNG word whenever its panel is built.
constexpr int32_t kPngBestCompression = 9;

enum class OptionPanelKind { Jpeg, Webp, Png, Empty };

OptionPanelKind OptionPanelKindFor(int32_t formatId);

// The bit a check box of the panel toggles; 0 for any other control.
int32_t OptionCheckBit(int controlId);

// The quality shown by the slider: the word without its named flags.
int32_t PanelQuality(int32_t word);

// The panel was built for the format: the PNG word gets best compression.
void PreparePanelWord(AppSettings* settings, int32_t formatId);

// A click on a check box of the panel: its bit flips in the word of formatId.
void TogglePanelBit(AppSettings* settings, int32_t formatId, int controlId);

// A slider move: the quality of the JPEG or WebP word becomes q; other words stay.
void SetPanelQuality(AppSettings* settings, int32_t formatId, int32_t q);

// The label over the slider: "Качество:  84" when the panel is built, "Качество: 60"
// after a move (the number always carries its leading blank).
Text QualityLabelAtBuild(int32_t q);
Text QualityLabelAfterMove(int32_t q);
