#include "engine/codecs/tiff_reader.h"

#include "engine/codecs/decode.h"

#if defined(TESSALY_LIBTIFF)

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/codecs/colour_pixels.h"
#include "engine/codecs/container_chunks.h"

#define TESSALY_HOST_HEADER <tiffio.h>
#include "engine/codecs/host_header.h"

namespace {

// libtiff reads the file where it lies in memory.
struct MemoryFile {
  const uint8_t* data;
  toff_t size;
  toff_t at;
};

// thandle_t is a pointer of libtiff's own on Windows (a file HANDLE), void* elsewhere.
MemoryFile* FileOf(thandle_t handle) {
  return reinterpret_cast<MemoryFile*>(handle);
}

tmsize_t ReadFrom(thandle_t handle, void* into, tmsize_t count) {
  MemoryFile* file = FileOf(handle);
  if (count <= 0 || file->at >= file->size) return 0;
  toff_t n = std::min<toff_t>(static_cast<toff_t>(count), file->size - file->at);
  std::memcpy(into, file->data + file->at, static_cast<size_t>(n));
  file->at += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t WriteNothing(thandle_t, void*, tmsize_t) {
  return 0;
}

toff_t SeekIn(thandle_t handle, toff_t offset, int whence) {
  MemoryFile* file = FileOf(handle);
  toff_t base = whence == SEEK_CUR ? file->at : whence == SEEK_END ? file->size : 0;
  file->at = base + offset;  // a negative offset comes wrapped round, as unsigned sums do
  return file->at;
}

int CloseNothing(thandle_t) {
  return 0;
}

toff_t SizeOf(thandle_t handle) {
  return FileOf(handle)->size;
}

int MapWhole(thandle_t handle, void** base, toff_t* size) {
  *base = const_cast<uint8_t*>(FileOf(handle)->data);
  *size = FileOf(handle)->size;
  return 1;
}

void UnmapNothing(thandle_t, void*, toff_t) {}

// What libtiff says stays with the file it is said about: the process-wide handlers are
// FreeImage's, whose TIFF reader shares the library natively.
int NoteError(TIFF*, void* first, const char*, const char* format, va_list args) {
  auto* message = static_cast<std::string*>(first);
  if (message->empty()) {
    char line[256];
    std::vsnprintf(line, sizeof line, format, args);
    *message = line;
  }
  return 1;
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

// No single buffer of a hostile file's asking beyond this; the picture budget has
// measured the picture before.
constexpr tmsize_t kLargestBuffer = tmsize_t{1} << 30;

class OpenTiff {
 public:
  OpenTiff(const uint8_t* data, uint32_t size) : file_{data, size, 0} {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return;
    TIFFOpenOptionsSetErrorHandlerExtR(options, NoteError, &message_);
    TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kLargestBuffer);
    tiff_ = TIFFClientOpenExt("memory", "r", reinterpret_cast<thandle_t>(&file_), ReadFrom, WriteNothing, SeekIn, CloseNothing, SizeOf,
                              MapWhole, UnmapNothing, options);
    TIFFOpenOptionsFree(options);
  }
  ~OpenTiff() {
    if (tiff_) TIFFClose(tiff_);
  }
  OpenTiff(const OpenTiff&) = delete;
  OpenTiff& operator=(const OpenTiff&) = delete;
  TIFF* get() const { return tiff_; }
  const std::string& message() const { return message_; }

 private:
  MemoryFile file_;
  std::string message_;
  TIFF* tiff_ = nullptr;
};

struct Layout {
  uint32_t width = 0, height = 0;
  uint16_t bits = 1, samples = 1, photometric = 0, planar = PLANARCONFIG_CONTIG;
  uint16_t format = SAMPLEFORMAT_UINT, inks = INKSET_CMYK, orientation = ORIENTATION_TOPLEFT;
  uint16_t extraCount = 0;
  const uint16_t* extras = nullptr;
  bool tiled = false;
};

bool ReadLayout(TIFF* tiff, Layout* l) {
  if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &l->width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &l->height) ||
      !TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &l->photometric))
    return false;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &l->bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &l->samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &l->planar);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &l->format);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &l->inks);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &l->orientation);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &l->extraCount, &l->extras);
  l->tiled = TIFFIsTiled(tiff) != 0;
  return l->width > 0 && l->height > 0;
}

int ColourChannels(const Layout& l) {
  switch (l.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_PALETTE:
    case PHOTOMETRIC_LOGL: return 1;
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_LOGLUV: return 3;
    case PHOTOMETRIC_SEPARATED: return l.inks == INKSET_CMYK ? 4 : 0;
    default: return 0;
  }
}

bool IsOurs(const Layout& l) {
  switch (l.photometric) {
    case PHOTOMETRIC_SEPARATED:
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_LOGLUV:
    case PHOTOMETRIC_LOGL: return true;
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_PALETTE: break;
    default: return false;
  }
  bool planarTiles = l.tiled && l.planar == PLANARCONFIG_SEPARATE && l.samples > 1;
  if (l.format == SAMPLEFORMAT_IEEEFP) return l.bits == 16 && l.photometric != PHOTOMETRIC_PALETTE;
  if (l.format != SAMPLEFORMAT_UINT && l.format != SAMPLEFORMAT_VOID) return false;
  if (l.bits == 8 || l.bits == 16) return planarTiles;
  if (l.bits == 1 || l.bits == 4) return planarTiles || l.samples > 1;
  return l.bits < 16;
}

// The first extra sample is alpha when it says so, or when it is the one sample beyond
// the colour and says nothing.
struct AlphaSample {
  bool present = false;
  bool associated = false;
};

AlphaSample AlphaOf(const Layout& l) {
  AlphaSample alpha;
  if (l.samples <= ColourChannels(l)) return alpha;
  uint16_t kind = l.extraCount > 0 && l.extras ? l.extras[0] : EXTRASAMPLE_UNSPECIFIED;
  alpha.present = kind == EXTRASAMPLE_ASSOCALPHA || kind == EXTRASAMPLE_UNASSALPHA ||
                  (kind == EXTRASAMPLE_UNSPECIFIED && l.samples == ColourChannels(l) + 1);
  alpha.associated = kind == EXTRASAMPLE_ASSOCALPHA;
  return alpha;
}

// --- samples -------------------------------------------------------------------------

// One sample of a row: bytes and 16- and 32-bit words as libtiff leaves them (in the
// machine's order), other widths packed from the most significant bit.
uint32_t SampleAt(const uint8_t* row, size_t index, unsigned bits) {
  switch (bits) {
    case 8: return row[index];
    case 16: {
      uint16_t v;
      std::memcpy(&v, row + 2 * index, 2);
      return v;
    }
    case 32: {
      uint32_t v;
      std::memcpy(&v, row + 4 * index, 4);
      return v;
    }
    default: {
      size_t bit = index * bits;
      uint32_t v = 0;
      for (unsigned b = 0; b < bits; ++b, ++bit) v = (v << 1) | ((row[bit >> 3] >> (7 - (bit & 7))) & 1u);
      return v;
    }
  }
}

float HalfToFloat(uint32_t half) {
  int exponent = (half >> 10) & 0x1F;
  float mantissa = static_cast<float>(half & 0x3FF);
  float magnitude = exponent == 0    ? std::ldexp(mantissa, -24)
                    : exponent == 31 ? (mantissa == 0 ? INFINITY : NAN)
                                     : std::ldexp(mantissa + 1024.0f, exponent - 25);
  return (half & 0x8000) ? -magnitude : magnitude;
}

uint8_t UnitToByte(double v) {
  if (!(v > 0)) return 0;  // NaN too
  return v >= 1 ? 255 : static_cast<uint8_t>(std::lround(v * 255));
}

uint8_t SrgbByte(double linear) {
  double v = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
  return UnitToByte(v);
}

// CIE XYZ (white Y = 1, D65) as sRGB bytes: red, green, blue.
void XyzToSrgb(double x, double y, double z, uint8_t rgb[3]) {
  rgb[0] = SrgbByte(3.2404542 * x - 1.5371385 * y - 0.4985314 * z);
  rgb[1] = SrgbByte(-0.9692660 * x + 1.8760108 * y + 0.0415560 * z);
  rgb[2] = SrgbByte(0.0556434 * x - 0.2040259 * y + 1.0572252 * z);
}

// L*a*b* against D65, as the TIFF Lab writers that leave out the white point mean it.
void LabToSrgb(double l, double a, double b, uint8_t rgb[3]) {
  auto inverse = [](double t) { return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29); };
  double fy = (l + 16) / 116;
  XyzToSrgb(0.95047 * inverse(fy + a / 500), inverse(fy), 1.08883 * inverse(fy - b / 200), rgb);
}

// The samples of one pixel, turned into 8-bit colour: grey (one value) or red, green,
// blue; CMYK keeps its four inks for the profile.
class PixelReader {
 public:
  PixelReader(TIFF* tiff, const Layout& l) : l_(l), max_(l.bits >= 32 ? 0xFFFFFFFFu : (1u << l.bits) - 1) {
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (l.photometric == PHOTOMETRIC_PALETTE && TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue)) {
      for (uint32_t i = 0; i <= max_; ++i)
        map_.push_back({static_cast<uint8_t>(blue[i] >> 8), static_cast<uint8_t>(green[i] >> 8),
                        static_cast<uint8_t>(red[i] >> 8)});
    }
  }
  bool HasMap() const { return l_.photometric != PHOTOMETRIC_PALETTE || !map_.empty(); }

  uint8_t Unit(uint32_t v) const {
    if (l_.format == SAMPLEFORMAT_IEEEFP) return UnitToByte(HalfToFloat(v));
    return NarrowSample(v, max_);
  }

  // out: blue, green, red (or C, M, Y, K) bytes; returns the bytes written.
  int Colour(const uint32_t* s, uint8_t* out) const {
    switch (l_.photometric) {
      case PHOTOMETRIC_MINISWHITE: out[0] = static_cast<uint8_t>(255 - Unit(s[0])); return 1;
      case PHOTOMETRIC_MINISBLACK: out[0] = Unit(s[0]); return 1;
      case PHOTOMETRIC_PALETTE: std::memcpy(out, map_[s[0]].data(), 3); return 3;
      case PHOTOMETRIC_RGB:
        for (int c = 0; c < 3; ++c) out[2 - c] = Unit(s[c]);
        return 3;
      case PHOTOMETRIC_SEPARATED:
        for (int c = 0; c < 4; ++c) out[c] = Unit(s[c]);
        return 4;
      case PHOTOMETRIC_LOGL: out[0] = SrgbByte(AsFloat(s[0])); return 1;
      case PHOTOMETRIC_LOGLUV: {
        uint8_t rgb[3];
        XyzToSrgb(AsFloat(s[0]), AsFloat(s[1]), AsFloat(s[2]), rgb);
        out[0] = rgb[2], out[1] = rgb[1], out[2] = rgb[0];
        return 3;
      }
      default: {  // CIELab, ICCLab
        uint8_t rgb[3];
        double l = s[0] * 100.0 / max_, a, b;
        if (l_.photometric == PHOTOMETRIC_CIELAB) {
          a = l_.bits == 8 ? static_cast<int8_t>(s[1]) : static_cast<int16_t>(s[1]) / 256.0;
          b = l_.bits == 8 ? static_cast<int8_t>(s[2]) : static_cast<int16_t>(s[2]) / 256.0;
        } else {
          a = l_.bits == 8 ? s[1] - 128.0 : s[1] / 256.0 - 128;
          b = l_.bits == 8 ? s[2] - 128.0 : s[2] / 256.0 - 128;
        }
        LabToSrgb(l, a, b, rgb);
        out[0] = rgb[2], out[1] = rgb[1], out[2] = rgb[0];
        return 3;
      }
    }
  }

 private:
  static float AsFloat(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  const Layout& l_;
  uint32_t max_;
  std::vector<std::array<uint8_t, 3>> map_;
};

// --- bands of rows ---------------------------------------------------------------

// The rows of one strip or one row of tiles, a buffer per plane (one for contiguous
// samples), each row rowBytes long.
class BandReader {
 public:
  BandReader(TIFF* tiff, const Layout& l) : tiff_(tiff), l_(l) {
    planes_ = l.planar == PLANARCONFIG_SEPARATE ? l.samples : 1;
    rowBytes_ = static_cast<size_t>(TIFFScanlineSize64(tiff));
    if (l.tiled) {
      TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth_);
      TIFFGetField(tiff, TIFFTAG_TILELENGTH, &bandRows_);
    } else {
      TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &bandRows_);
    }
    bandRows_ = std::min(bandRows_, l.height);
  }

  // Whether the buffers can be had: sizes a hostile file gives are checked here.
  bool Ready() {
    uint64_t planeBits = uint64_t{l_.bits} * (planes_ == 1 ? l_.samples : 1);
    if (rowBytes_ == 0 || bandRows_ == 0 || rowBytes_ * bandRows_ > static_cast<uint64_t>(kLargestBuffer)) return false;
    if (l_.tiled && (tileWidth_ == 0 || (tileWidth_ * planeBits) % 8 != 0)) return false;
    bands_.assign(planes_, std::vector<uint8_t>(rowBytes_ * bandRows_));
    if (l_.tiled) {
      tmsize_t tile = TIFFTileSize(tiff_);
      if (tile <= 0 || tile > kLargestBuffer) return false;
      tile_.resize(static_cast<size_t>(tile));
      tileRowBytes_ = static_cast<size_t>(TIFFTileRowSize(tiff_));
    }
    return true;
  }
  uint32_t BandRows() const { return bandRows_; }
  const uint8_t* Row(uint16_t plane, uint32_t row) const { return bands_[plane].data() + rowBytes_ * row; }

  // Reads the band starting at row top; false when the data is short or damaged.
  bool Read(uint32_t top) {
    uint32_t rows = std::min(bandRows_, l_.height - top);
    for (uint16_t plane = 0; plane < planes_; ++plane) {
      if (!(l_.tiled ? ReadTiles(top, rows, plane) : ReadStrip(top, rows, plane))) return false;
    }
    return true;
  }

 private:
  bool ReadStrip(uint32_t top, uint32_t rows, uint16_t plane) {
    tmsize_t want = static_cast<tmsize_t>(rowBytes_ * rows);
    uint32_t strip = TIFFComputeStrip(tiff_, top, plane);
    return TIFFReadEncodedStrip(tiff_, strip, bands_[plane].data(), want) >= want;
  }

  bool ReadTiles(uint32_t top, uint32_t rows, uint16_t plane) {
    uint64_t pixelBits = uint64_t{l_.bits} * (planes_ == 1 ? l_.samples : 1);
    for (uint32_t left = 0; left < l_.width; left += tileWidth_) {
      uint32_t tile = TIFFComputeTile(tiff_, left, top, 0, plane);
      if (TIFFReadEncodedTile(tiff_, tile, tile_.data(), static_cast<tmsize_t>(tile_.size())) < 0) return false;
      size_t at = static_cast<size_t>(left * pixelBits / 8);
      size_t take = std::min(tileRowBytes_, rowBytes_ - at);
      for (uint32_t r = 0; r < rows; ++r)
        std::memcpy(bands_[plane].data() + rowBytes_ * r + at, tile_.data() + tileRowBytes_ * r, take);
    }
    return true;
  }

  TIFF* tiff_;
  const Layout& l_;
  uint16_t planes_ = 1;
  size_t rowBytes_ = 0, tileRowBytes_ = 0;
  uint32_t bandRows_ = 0, tileWidth_ = 0;
  std::vector<std::vector<uint8_t>> bands_;
  std::vector<uint8_t> tile_;
};

// --- the picture -------------------------------------------------------------------

OurTiff Failed(int32_t error, const std::string& said) {
  OurTiff result;
  result.error = error;
  result.detail = TextFromUtf8(said);
  return result;
}

// A read that stopped: data that ends early, or any other fault of the file.
int32_t ReadFailure(const std::string& said) {
  bool ended = said.find("EOF") != std::string::npos || said.find("ot enough data") != std::string::npos ||
               said.find("Read error") != std::string::npos || said.find("runcat") != std::string::npos;
  return ended ? kErrorTruncated : kErrorDamaged;
}

ByteSpan ProfileOf(TIFF* tiff) {
  uint32_t size = 0;
  void* data = nullptr;
  if (!TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &size, &data) || !data || size == 0) return ByteSpan();
  return ByteSpan{static_cast<const uint8_t*>(data), size};
}

// The colour a pixel's samples give, with its alpha, into the picture's rows (top first).
struct Canvas {
  FIBITMAP* dib = nullptr;
  unsigned bytes = 0;  // per pixel: 1 grey, 3 colour, 4 colour and alpha, or CMYK
  std::vector<uint8_t> alpha;  // CMYK's alpha, laid on after the inks are turned
};

bool Fill(TIFF* tiff, const Layout& l, Canvas* canvas, std::string* said) {
  BandReader bands(tiff, l);
  PixelReader pixels(tiff, l);
  if (!bands.Ready() || !pixels.HasMap()) {
    *said = "TIFF strips or tiles of an impossible size";
    return false;
  }
  AlphaSample alpha = AlphaOf(l);
  int colours = ColourChannels(l);
  bool cmyk = l.photometric == PHOTOMETRIC_SEPARATED;
  bool separate = l.planar == PLANARCONFIG_SEPARATE;
  std::vector<uint32_t> samples(l.samples);
  PixelRows rows = RowsOf(canvas->dib);
  for (uint32_t top = 0; top < l.height; top += bands.BandRows()) {
    if (!bands.Read(top)) return false;
    for (uint32_t r = 0; r < bands.BandRows() && top + r < l.height; ++r) {
      uint32_t y = top + r;
      uint8_t* out = rows.Row(l.height - 1 - y);
      for (uint32_t x = 0; x < l.width; ++x) {
        for (uint16_t s = 0; s < l.samples; ++s) {
          size_t index = separate ? x : size_t{x} * l.samples + s;
          samples[s] = SampleAt(bands.Row(separate ? s : 0, r), index, l.bits);
        }
        int written = pixels.Colour(samples.data(), out);
        if (written == 1 && canvas->bytes > 1) out[1] = out[2] = out[0], written = 3;
        if (alpha.present) {
          uint8_t a = pixels.Unit(samples[colours]);
          if (alpha.associated && !cmyk && a > 0 && a < 255)
            for (int c = 0; c < written; ++c) out[c] = static_cast<uint8_t>(std::min(255, (out[c] * 255 + a / 2) / a));
          if (cmyk) canvas->alpha[size_t{y} * l.width + x] = a;
          else out[written++] = a;
        }
        out += written;
      }
    }
  }
  return true;
}

Canvas MakeCanvas(const Layout& l) {
  Canvas canvas;
  bool alpha = AlphaOf(l).present;
  int colours = ColourChannels(l);
  bool cmyk = l.photometric == PHOTOMETRIC_SEPARATED;
  // Grey with alpha is widened to colour: FreeImage has no grey-and-alpha picture.
  bool grey = colours == 1 && l.photometric != PHOTOMETRIC_PALETTE;
  canvas.bytes = cmyk ? 4 : grey && !alpha ? 1 : alpha ? 4 : 3;
  canvas.dib = FreeImage_Allocate(static_cast<int>(l.width), static_cast<int>(l.height), static_cast<int>(canvas.bytes * 8));
  if (canvas.dib && canvas.bytes == 1) SetGreyPalette(canvas.dib);
  if (canvas.dib && cmyk && alpha) canvas.alpha.resize(size_t{l.width} * l.height);
  return canvas;
}

}  // namespace

bool TiffIsOurs(const uint8_t* data, uint32_t size) {
  if (!IsTiffFile(data, size)) return false;
  OpenTiff file(data, size);
  Layout l;
  return file.get() && ReadLayout(file.get(), &l) && IsOurs(l);
}

bool ReadOurTiffFacts(const uint8_t* data, uint32_t size, PictureFacts* facts) {
  OpenTiff file(data, size);
  Layout l;
  if (!file.get() || !ReadLayout(file.get(), &l)) return false;
  facts->known = true;
  facts->width = l.width;
  facts->height = l.height;
  facts->alpha = AlphaOf(l).present;
  return true;
}

OurTiff DecodeOurTiff(const uint8_t* data, uint32_t size) {
  OpenTiff file(data, size);
  TIFF* tiff = file.get();
  Layout l;
  if (!tiff || !ReadLayout(tiff, &l)) return Failed(kErrorDamaged, file.message());
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
  if (!TIFFIsCODECConfigured(compression))
    return Failed(kErrorNotReadable, "TIFF compression " + std::to_string(compression) + " is not supported");
  bool lab = l.photometric == PHOTOMETRIC_CIELAB || l.photometric == PHOTOMETRIC_ICCLAB;
  bool log = l.photometric == PHOTOMETRIC_LOGLUV || l.photometric == PHOTOMETRIC_LOGL;
  if (log) {
    // LogLuv's codec gives CIE XYZ (or Y) as floats.
    if (!TIFFSetField(tiff, TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_FLOAT) || l.planar != PLANARCONFIG_CONTIG)
      return Failed(kErrorNotReadable, "LogLuv TIFF in an unknown layout");
    l.bits = 32;
    l.format = SAMPLEFORMAT_IEEEFP;
  }
  if (ColourChannels(l) == 0 || l.samples < ColourChannels(l) || l.bits == 0 || l.bits > 32 ||
      (lab && l.bits != 8 && l.bits != 16))
    return Failed(kErrorNotReadable, "TIFF sample layout not supported");
  Canvas canvas = MakeCanvas(l);
  if (!canvas.dib) return Failed(kErrorTooLarge, "");
  std::string said;
  if (!Fill(tiff, l, &canvas, &said)) {
    FreeImage_Unload(canvas.dib);
    if (said.empty()) said = file.message();
    return Failed(said == file.message() ? ReadFailure(said) : kErrorDamaged, said);
  }
  OurTiff result;
  result.orientation = l.orientation;
  if (l.photometric == PHOTOMETRIC_SEPARATED) {
    ByteSpan profile = ProfileOf(tiff);
    if (profile) FreeImage_CreateICCProfile(canvas.dib, const_cast<uint8_t*>(profile.data), static_cast<long>(profile.size));
    bool unusable = false;
    FIBITMAP* rgb = CmykAsRgb(canvas.dib, &unusable);
    FreeImage_Unload(canvas.dib);
    if (!rgb) return Failed(unusable ? kErrorDamaged : kErrorTooLarge, unusable ? "unusable CMYK colour profile" : "");
    canvas.dib = rgb;
    if (!canvas.alpha.empty()) {
      FIBITMAP* wide = FreeImage_ConvertTo32Bits(rgb);
      FreeImage_Unload(rgb);
      if (!wide) return Failed(kErrorTooLarge, "");
      PixelRows rows = RowsOf(wide);
      for (uint32_t y = 0; y < l.height; ++y) {
        uint8_t* out = rows.Row(l.height - 1 - y);
        for (uint32_t x = 0; x < l.width; ++x) out[4 * x + FI_RGBA_ALPHA] = canvas.alpha[size_t{y} * l.width + x];
      }
      canvas.dib = wide;
    }
  } else if (!lab && !log) {
    ByteSpan profile = ProfileOf(tiff);
    if (profile) FreeImage_CreateICCProfile(canvas.dib, const_cast<uint8_t*>(profile.data), static_cast<long>(profile.size));
  }
  result.dib = canvas.dib;
  return result;
}

#else  // without libtiff every TIFF is FreeImage's

bool TiffIsOurs(const uint8_t*, uint32_t) {
  return false;
}

bool ReadOurTiffFacts(const uint8_t*, uint32_t, PictureFacts*) {
  return false;
}

OurTiff DecodeOurTiff(const uint8_t*, uint32_t) {
  OurTiff result;
  result.error = kErrorNotReadable;
  return result;
}

#endif
