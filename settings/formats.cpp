#include "settings/formats.h"

#include <iterator>

#include "settings/option_panel_ids.h"

namespace {

struct FormatName {
  const char16_t* name;
  int32_t id;
};

// The FREE_IMAGE_FORMAT constants without their FIF_ prefix, plus three aliases, in
// lookup order; then the formats FreeImage does not know.
constexpr FormatName kFormatNames[] = {
    {u"BMP", 0},     {u"ICO", 1},    {u"JPEG", 2},   {u"JPG", 2},     {u"JNG", 3},     {u"KOALA", 4},
    {u"LBM", 5},     {u"IFF", 5},    {u"MNG", 6},    {u"PBM", 7},     {u"PBMRAW", 8},  {u"PCD", 9},
    {u"PCX", 10},    {u"PGM", 11},   {u"PGMRAW", 12}, {u"PNG", 13},   {u"PPM", 14},    {u"PPMRAW", 15},
    {u"RAS", 16},    {u"TARGA", 17}, {u"TIFF", 18},  {u"TIF", 18},    {u"WBMP", 19},   {u"PSD", 20},
    {u"CUT", 21},    {u"XBM", 22},   {u"XPM", 23},   {u"DDS", 24},    {u"GIF", 25},    {u"HDR", 26},
    {u"FAXG3", 27},  {u"SGI", 28},   {u"EXR", 29},   {u"J2K", 30},    {u"JP2", 31},    {u"PFM", 32},
    {u"PICT", 33},   {u"RAW", 34},   {u"WEBP", 35},  {u"JXR", 36},
    // Formats of our own, read and written through their own libraries.
    {u"AVIF", kFormatAvif}, {u"JXL", kFormatJxl}, {u"HEIC", kFormatHeif}, {u"HEIF", kFormatHeif},
};

}  // namespace

int32_t FormatIdFromName(TextView name) {
  Text upper = ToUpper(name);
  for (const auto& entry : kFormatNames)
    if (upper == entry.name) return entry.id;
  return kFormatUnknown;
}

namespace {

constexpr OutputFormat kOutputFormats[] = {
    {u"JPG", u"jpg", kFormatJpeg, kFormatJpeg, 8276, 0, true,
     {{kJpegProgressiveFlag, kIdJpegProgressive, u"Прогрессивный", "--progressive", "progressive JPEG", nullptr},
      {kJpegBaselineFlag, kIdJpegNoMetadata, u"Без метаданных", "--strip", "JPEG without metadata (baseline)", nullptr}},
     2, DepthRule::Rgb24, 0, EncoderKind::FreeImage, {}, 65535},
    {u"WEBP", u"webp", kFormatWebp, kFormatWebp, 90, 0, true,
     {{kWebpLosslessFlag, kIdWebpLossless, u"Без потерь", "--lossless", "lossless WEBP, AVIF and JPEG XL", nullptr}},
     1, DepthRule::Rgb24OrRgba32, 0, EncoderKind::Libwebp, {}, 16383},
    {u"PNG", u"png", kFormatPng, kFormatPng, 0, kPngBestCompression, false,
     {{kPng256ColourFlag, kIdPngPalette, u"PNG Color 256", "--palette", "reduce PNG to 256 colours", u"C:255"}},
     1, DepthRule::PaletteOnOption, kPng256ColourFlag, EncoderKind::FreeImage, {}, 0},
    // AV1 at libheif's quality (60 is about what common tools default to) and aom's
    // speed 6; 4:2:0, or 4:4:4 with the identity matrix when lossless. libheif reads no
    // side longer than 32768.
    {u"AVIF", u"avif", kFormatAvif, kFormatAvif, 60 | 6 << kEffortShift, 0, true,
     {{kLosslessFlag, kIdAvifLossless, u"Без потерь", "--lossless", "lossless WEBP, AVIF and JPEG XL", nullptr}},
     1, DepthRule::Rgb24OrRgba32, 0, EncoderKind::Avif,
     {"--avif-speed", 0, 10, kEffortShift, "AVIF encoder speed 0..10 (default 6; higher is faster)"}, 32768},
    // JPEG XL at quality 90 (distance 1, as the reference encoder maps it) and effort 7; a
    // JPEG source that is not resized or turned keeps its own coefficients. Sides up to
    // 2^18, the level every decoder must read.
    {u"JXL", u"jxl", kFormatJxl, kFormatJxl, 90 | kJxlTranscodeFlag | 7 << kEffortShift, 0, true,
     {{kLosslessFlag, kIdJxlLossless, u"Без потерь", "--lossless", "lossless WEBP, AVIF and JPEG XL", nullptr},
      {kJxlTranscodeFlag, kIdJxlTranscode, u"JPEG без перекодирования", "--jxl-transcode",
       "JPEG XL keeps a JPEG source's own data, losslessly (when not resized or turned)", nullptr}},
     2, DepthRule::Rgb24OrRgba32, 0, EncoderKind::Jxl,
     {"--jxl-effort", 1, 9, kEffortShift, "JPEG XL encoder effort 1..9 (default 7; higher is slower and smaller)"},
     262144},
};

// GIF has no options, but holds at most 256 colours whatever its word says.
constexpr OutputFormat kGif = {u"GIF", u"gif", kFormatGif, kFormatGif, 0, 0, false, {}, 0,
                               DepthRule::Palette, 0, EncoderKind::FreeImage, {}, 65535};

// HEIC and HEIF are read, not written.
constexpr OutputFormat kHeif = {u"HEIC", u"heic", kFormatHeif, kFormatUnknown, 0, 0, false, {}, 0,
                                DepthRule::AsIs, 0, EncoderKind::None, {}, 0};

}  // namespace

const OutputFormat* OutputFormats(int* count) {
  *count = static_cast<int>(std::size(kOutputFormats));
  return kOutputFormats;
}

OutputFormat OutputFormatByName(TextView name) {
  return OutputFormatById(FormatIdFromName(name));
}

OutputFormat OutputFormatById(int32_t id) {
  for (const OutputFormat& format : kOutputFormats)
    if (format.formatId == id) return format;
  if (id == kFormatGif) return kGif;
  if (id == kFormatHeif) return kHeif;
  return OutputFormat{nullptr, nullptr, id, id, 0, 0, false, {}, 0, DepthRule::AsIs, 0, EncoderKind::FreeImage, {}, 0};
}

OutputFormat TargetFormatOf(const AppSettings& settings) {
  return OutputFormatByName(FieldView(settings.TargetFormat));
}

Text OutputExtension(TextView name) {
  OutputFormat format = OutputFormatByName(name);
  if (format.name && ToUpper(name) == format.name) return Text(format.extension);
  return ToLower(name);
}

namespace {

bool OwnWord(const OutputFormat& format) {
  return format.slot >= kSaveFlagCount && format.slot < kFlagWordCount;
}

}  // namespace

int32_t* FormatWord(AppSettings* settings, const OutputFormat& format) {
  int32_t* word = settings ? SaveFlagsSlot(settings, format.slot) : nullptr;
  if (word && *word == 0 && OwnWord(format)) *word = format.defaultWord;
  return word;
}

int32_t FormatWordOf(const AppSettings& settings, const OutputFormat& format) {
  int32_t word = SaveFlagsFor(settings, format.slot);
  return word == 0 && OwnWord(format) ? format.defaultWord : word;
}

int32_t WordNumber(int32_t word, const FormatNumber& number) {
  return (word >> number.shift) & 0xF;
}

void SetWordNumber(int32_t* word, const FormatNumber& number, int32_t value) {
  int32_t bits = 0xF << number.shift;
  *word = (*word & ~bits) | ((value & 0xF) << number.shift);
}
