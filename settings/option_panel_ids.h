// The controls of the encoder option panel; the check boxes are placed by the format
// records (settings/formats.cpp).
#pragma once

constexpr int kIdOptionGroup = 8800;
constexpr int kIdQualityLabel = 8801;
constexpr int kIdQualitySlider = 8802;
// The check boxes, as the format records place them.
constexpr int kIdJpegProgressive = 8803;
constexpr int kIdJpegNoMetadata = 8804;
constexpr int kIdWebpLossless = 8813;
constexpr int kIdPngPalette = 8823;
constexpr int kIdAvifLossless = 8833;
constexpr int kIdJxlLossless = 8843;
constexpr int kIdJxlTranscode = 8844;
