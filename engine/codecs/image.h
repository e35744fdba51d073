// The FreeImage bridge: the rest of the program sees images only through this header,
// so FreeImage's headers (and their Windows macros) stay in one translation unit.
#pragma once

#include <cstdint>
#include <vector>

#include "base/text.h"
#include "engine/codecs/pixel_rows.h"

struct ImageHandle;  // FreeImage's FIBITMAP

// Owns one FreeImage image and unloads it on every path out.
class Image {
 public:
  Image() = default;
  explicit Image(ImageHandle* handle) : handle_(handle) {}
  Image(Image&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  Image& operator=(Image&& other) noexcept;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image();

  explicit operator bool() const { return handle_ != nullptr; }
  ImageHandle* get() const { return handle_; }
  void reset();

 private:
  ImageHandle* handle_ = nullptr;
};

// Error codes of the decoder, as the conversion reports them.
constexpr int32_t kErrorNotReadable = 7;      // recognised, but no reader
constexpr int32_t kErrorUnknownFormat = 8;    // not recognised
constexpr int32_t kErrorBufferUnreadable = 9; // no memory stream
constexpr int32_t kErrorTruncated = 13;       // the data ends before the picture does

void InitImageLibrary();

// Detects the format from the bytes and decodes them. On failure writes 7, 8, 9 or 13
// into *errorCode; a recognised, readable file that still yields no image returns an
// empty Image and leaves *errorCode alone. jpegSizeHint above 0 lets the JPEG reader
// decode at 1/2, 1/4 or 1/8 of the size (engine/pipeline/shrink_on_load.h says which); other
// formats ignore it.
Image LoadImageFromBuffer(const uint8_t* data, uint32_t size, int32_t* errorCode, int32_t jpegSizeHint = 0);

uint32_t ImageWidth(const Image& image);
uint32_t ImageHeight(const Image& image);
uint32_t ImageBpp(const Image& image);
// True for an ordinary bitmap (1..32 bits per pixel, 8 bits per channel at most).
bool IsStandardBitmap(const Image& image);

// Each returns a new image or an empty one when FreeImage gives none.
// Transparency is laid on white before it is dropped.
Image ConvertTo24Bits(const Image& image);
// The colour profile stays (FreeImage's conversion drops it).
Image ConvertTo32Bits(const Image& image);
// At most 256 colours (GIF, "PNG Color 256"). A palette image is kept as it is (empty
// result); a picture of at most 256 colours gets exactly those, transparency included;
// others are quantised (Wu), a transparent picture keeping one clear entry.
Image ReduceToPalette(const Image& image);
// 16-bit, float and other high-range images brought to 8 bits per channel; 16-bit grey
// linearly (value / 256), never stretched.
Image ConvertToStandardBitmap(const Image& image);
Image RescaleLanczos3(const Image& image, int32_t width, int32_t height);

// The pixels of an ordinary bitmap, for work that needs no FreeImage call; empty for
// other image types.
PixelRows ImageRows(const Image& image);

// Whether the image carries transparency: an alpha channel or a palette with
// transparent entries.
bool ImageHasAlpha(const Image& image);
// The colour of one pixel of an ordinary bitmap of 1 to 32 bits, counted from the top
// left, with its transparency; for checks of what a conversion made.
PaletteEntry PixelAt(const Image& image, uint32_t x, uint32_t y);
// True for 8-bit images whose palette is a plain grey ramp.
bool IsGreyscale(const Image& image);

// Removes every metadata tag and the colour profile; true when there was any. For a
// writer that fails on what the source carried.
bool DropMetadata(const Image& image);

// Writes the IPTC key "Software"; false when FreeImage refused it.
bool SetSoftwareTag(const Image& image, const char* value);

// Whether the encoder of formatId declares that it can take this image as it is.
bool CanEncode(int32_t formatId, const Image& image);
// Whether FreeImage has a writer for the format at all (read-only formats have none).
bool CanWriteFormat(int32_t formatId);
// Encodes into memory with the given save flags; false when the encoder fails. WEBP
// goes through libwebp where the build has it (engine/codecs/webp_encoder.h).
bool EncodeImage(const Image& image, int32_t formatId, int32_t flags, std::vector<uint8_t>* out);

// Sample images for tests and benchmarks: a smooth pattern of the given kind, so every
// pixel type FreeImage decodes can be produced without sample files.
enum class SampleKind {
  Mono1,         // 1 bit, black and white palette
  Palette8,      // 8 bits, colour palette
  Palette8Clear, // 8 bits, colour palette whose first entry is transparent
  Grey8,         // 8 bits, grey ramp
  Rgb24,
  Rgba32,        // with a varying alpha channel
  Grey16,        // 16 bits per pixel, one channel
  Rgb48,         // 16 bits per channel
  Rgba64,
  GreyFloat,     // 32-bit float, one channel
  RgbFloat,      // 32-bit float per channel
};
Image CreateSampleImage(SampleKind kind, uint32_t width, uint32_t height);

Text ImageLibraryVersion();
Text ImageLibraryCopyright();

// What a file's header declares, read without decoding a pixel (FreeImage's
// header-only load), so a picture too large to convert is refused before its pixels
// cost memory or time.
struct PictureHeader {
  bool known = false;  // false: the format's reader cannot load a header alone
  int32_t format = -1;  // FreeImage's id of the detected format
  uint32_t width = 0;   // as stored, before any EXIF turn
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;  // of the decoded image, all channels
  // A JPEG whose EXIF turn (5 to 8) the reader applies by a quarter turn: the decoded
  // picture is height x width.
  bool sidesSwapped = false;
};
// Reads the header of a recognised, readable format; *header stays unknown when the
// format's reader has no header-only load or the header cannot be read.
void ReadPictureHeader(const uint8_t* data, uint32_t size, PictureHeader* header);
