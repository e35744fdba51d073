// Image formats as the settings name them: the format ids behind the names, and one
// record for each format the program writes with options of its own. The option panel,
// tessaly-batch's options and help, the profile caption, the defaults and the pipeline
// all read these records, so a new output format is one more record and its encoder.
#pragma once

#include <cstdint>

#include "base/text.h"
#include "settings/app_settings.h"

constexpr int32_t kFormatUnknown = -1;

// Upper-cases the name and looks it up; -1 when it is not a format name.
int32_t FormatIdFromName(TextView name);

// Bits of the flag words: FreeImage's save flags, and the program's own 256-colour bit
// (kPng256ColourFlag, settings/app_settings.h).
constexpr int32_t kJpegProgressiveFlag = 0x2000;
constexpr int32_t kJpegBaselineFlag = 0x40000;
constexpr int32_t kWebpLosslessFlag = 0x100;
// The words of the formats of our own (AVIF, JPEG XL): quality in bits 0..6, 0x100 lossless,
// the encoder's speed or effort in bits 12..15, and for JPEG XL 0x200 to keep a JPEG
// source's own coefficients.
constexpr int32_t kLosslessFlag = 0x100;
constexpr int32_t kJxlTranscodeFlag = 0x200;
constexpr int kEffortShift = 12;
constexpr int32_t kEffortBits = 0xF << kEffortShift;
// zlib's best compression, ORed into the PNG word whenever its options are shown.
constexpr int32_t kPngBestCompression = 9;
// The quality 1..100 in the low bits of a word that has one.
constexpr int32_t kQualityBits = 0x7F;

// Which encoder writes the format.
enum class EncoderKind {
  FreeImage,  // FreeImage's writer for the format id
  Libwebp,    // libwebp itself, where the build has it (else FreeImage's WEBP writer)
  Avif,       // libheif with its AV1 encoder
  Jxl,        // libjxl
  None,       // a format that is read, never written
};

// What the encoder takes, and so what the picture is brought to before it.
enum class DepthRule {
  AsIs,             // whatever the writer declares it takes (engine/codecs/encode.h)
  Rgb24,            // 24 bits; transparency laid on white
  Rgb24OrRgba32,    // 24 bits, or 32 with alpha for a picture that has any other form
  Palette,          // at most 256 colours
  PaletteOnOption,  // at most 256 colours when the record's palette option is on
};

// A check box of the option panel: the bit it owns, and the command-line flag that sets
// the same bit ("on" sets it, "off" clears it).
struct FormatOption {
  int32_t bit;
  int controlId;             // the check box on the panel
  const char16_t* caption;   // its text
  const char* flag;          // tessaly-batch's option
  const char* help;          // tessaly-batch --help: what "on" means
  const char16_t* captionTag;  // shown in a profile's caption while set ("C:255"), or nullptr
};

constexpr int kMaxFormatOptions = 2;

// A number of the word that only the command line sets (an encoder's speed or effort).
struct FormatNumber {
  const char* flag;  // tessaly-batch's option; nullptr: the format has none
  int32_t low, high;
  int32_t shift;     // where it lies in the word; it takes 4 bits
  const char* help;
};

struct OutputFormat {
  const char16_t* name;       // as the format box shows it
  const char16_t* extension;  // of the files written
  int32_t formatId;           // FreeImage's id
  int32_t slot;               // which flag word of SaveFlags holds its options
  int32_t defaultWord;        // its word in a fresh Config.dat; 0 leaves the word alone
  int32_t shownBits;          // set in the word whenever its options are shown or chosen
  bool quality;               // bits 0..6 are a quality 1..100, with a slider
  FormatOption options[kMaxFormatOptions];
  int optionCount;
  DepthRule depth;
  int32_t paletteBit;         // PaletteOnOption: the option bit that asks for the palette
  EncoderKind encoder;
  FormatNumber number;
  // The longest side the format (or its encoder) takes; 0: none below the picture budget.
  uint32_t maxSide;
};

// The number a word holds for the format's FormatNumber.
int32_t WordNumber(int32_t word, const FormatNumber& number);
void SetWordNumber(int32_t* word, const FormatNumber& number, int32_t value);

// The records of the formats the program writes with options of its own, in the order
// the format box offers them.
const OutputFormat* OutputFormats(int* count);

// The record of a format name as the settings hold it (any case, aliases included).
// Other names FreeImage knows get a record of their own id without options, written by
// FreeImage as they come; an unknown name a record with formatId -1.
OutputFormat OutputFormatByName(TextView name);
OutputFormat OutputFormatById(int32_t formatId);
// The same for the target of a settings record.
OutputFormat TargetFormatOf(const AppSettings& settings);
// The extension of the files written for a format name: the record's for its own name,
// otherwise the name as typed, in lower case ("JPEG" gives .jpeg, as it always has).
Text OutputExtension(TextView name);

// The flag word of a format; nullptr for an unknown one. The word of a format of our own
// that was never set (0, as every Config.dat of an earlier release has it) reads as the
// record's default, and is made that default when it is about to be changed.
int32_t* FormatWord(AppSettings* settings, const OutputFormat& format);
int32_t FormatWordOf(const AppSettings& settings, const OutputFormat& format);
