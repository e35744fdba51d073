#include "engine/codecs/readable_form.h"

#include <algorithm>

#include "engine/codecs/bmp_header.h"
#include "engine/codecs/bmp_masks.h"
#include "engine/codecs/bmp_rle.h"
#include "engine/codecs/decode.h"
#include "engine/codecs/little_endian.h"

namespace {

using le::Read16;
using le::Read32;
using le::Write32;

// A bitmap that starts with its info header: a plausible header and nothing else,
// since the bytes carry no signature.
bool IsBareDib(const uint8_t* data, size_t size) {
  if (size < 40) return false;
  uint32_t headerSize = Read32(data);
  auto width = static_cast<int32_t>(Read32(data + 4));
  auto height = static_cast<int32_t>(Read32(data + 8));
  uint16_t planes = Read16(data + 12), bpp = Read16(data + 14);
  uint32_t compression = Read32(data + 16);
  bool knownDepth = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
  return (headerSize == 40 || headerSize == 108 || headerSize == 124) && size > headerSize && width > 0 &&
         height != 0 && planes == 1 && knownDepth && (compression <= 3 || compression == 6);
}

// The file header a bare bitmap lacks; the pixels follow its masks and colour table.
std::vector<uint8_t> WithFileHeader(const uint8_t* data, size_t size) {
  uint32_t headerSize = Read32(data);
  uint32_t compression = Read32(data + 16);
  uint16_t bpp = Read16(data + 14);
  uint32_t masks = headerSize == 40 ? (compression == 3 ? 12 : compression == 6 ? 16 : 0) : 0;
  uint32_t colours = Read32(data + 32);
  if (colours == 0 && bpp <= 8) colours = 1u << bpp;
  uint64_t pixelsAt = 14 + uint64_t{headerSize} + masks + uint64_t{colours} * 4;
  std::vector<uint8_t> file(14, 0);
  file[0] = 'B';
  file[1] = 'M';
  Write32(file.data() + 2, static_cast<uint32_t>(14 + size));
  Write32(file.data() + 10, static_cast<uint32_t>(std::min<uint64_t>(pixelsAt, 14 + size)));
  file.insert(file.end(), data, data + size);
  return file;
}

// A cursor file is an icon file but for its type (2) and the hot spot its directory
// holds where an icon's holds planes and depth, which the reader takes from each image.
// Its first bytes are those of many TGA files too, so the first image must be where the
// directory says and be a bitmap or a PNG.
bool IsCursor(const uint8_t* data, size_t size) {
  if (size < 6 + 16 || Read16(data) != 0 || Read16(data + 2) != 2 || Read16(data + 4) == 0) return false;
  uint64_t count = Read16(data + 4);
  uint64_t bytes = Read32(data + 6 + 8), at = Read32(data + 6 + 12);
  if (at < 6 + 16 * count || at + bytes > size || bytes < 40) return false;
  static const uint8_t kPng[4] = {0x89, 'P', 'N', 'G'};
  return Read32(data + at) == 40 || std::equal(kPng, kPng + 4, data + at);
}

std::vector<uint8_t> AsIcon(const uint8_t* data, size_t size) {
  std::vector<uint8_t> icon(data, data + size);
  icon[2] = 1;
  uint32_t count = Read16(data + 4);
  for (uint32_t i = 0; i < count && 6 + 16 * (i + 1) <= size; ++i) {
    uint8_t* entry = icon.data() + 6 + 16 * i;
    entry[4] = 1, entry[5] = 0;  // planes
    entry[6] = 0, entry[7] = 0;  // depth: the image's own
  }
  return icon;
}

}  // namespace

bool InReadableForm(const uint8_t* data, size_t size, FormFor use, std::vector<uint8_t>* out, int32_t* errorCode) {
  std::vector<uint8_t> bmp;
  if (IsBareDib(data, size)) {
    bmp = WithFileHeader(data, size);
    data = bmp.data();
    size = bmp.size();
  } else if (IsCursor(data, size)) {
    *out = AsIcon(data, size);
    return true;
  }
  std::vector<uint8_t> mended;
  BmpRle rle = use == FormFor::Pixels ? UnpackBmpRle(data, size, &mended) : BmpRle::NotRle;
  switch (rle) {
    case BmpRle::Unpacked: *out = std::move(mended); return true;
    case BmpRle::Cut: *errorCode = kErrorTruncated; return false;
    case BmpRle::Damaged: *errorCode = kErrorDamaged; return false;
    case BmpRle::TooLarge: *errorCode = kErrorTooLarge; return false;
    case BmpRle::NotRle: break;
  }
  BmpUnpack unpack = use == FormFor::Pixels ? UnpackBmpBitFields(data, size, &mended) : BmpUnpack::NotBitFields;
  switch (unpack) {
    case BmpUnpack::Unpacked: *out = std::move(mended); return true;
    case BmpUnpack::Cut: *errorCode = kErrorTruncated; return false;
    case BmpUnpack::Damaged: *errorCode = kErrorDamaged; return false;
    case BmpUnpack::NotBitFields: break;
  }
  if (BmpWithPlainHeader(data, size, &mended)) *out = std::move(mended);
  else if (!bmp.empty()) *out = std::move(bmp);
  else return false;
  return true;
}
