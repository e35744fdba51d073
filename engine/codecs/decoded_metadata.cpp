// What describes a decoded picture (EXIF, XMP), mended where FreeImage's readers pass it
// over or keep a turn the pixels no longer need.
#include "engine/codecs/decoded_metadata.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/codecs/container_chunks.h"
#include "engine/codecs/exif_orientation.h"
#include "engine/codecs/source_facts.h"
#include "engine/codecs/xmp_orientation.h"

namespace {

bool IsUprightTag(FITAG* tag) {
  return FreeImage_GetTagType(tag) == FIDT_SHORT && FreeImage_GetTagCount(tag) == 1 &&
         *static_cast<const WORD*>(FreeImage_GetTagValue(tag)) == 1;
}

// Replaces one metadata tag's value by a value of the same length.
void ReplaceTagValue(FREE_IMAGE_MDMODEL model, FIBITMAP* dib, FITAG* tag, const void* value) {
  FITAG* copy = FreeImage_CloneTag(tag);
  if (!copy) return;
  if (FreeImage_SetTagValue(copy, value)) FreeImage_SetMetadata(model, dib, FreeImage_GetTagKey(copy), copy);
  FreeImage_DeleteTag(copy);
}

}  // namespace

// The EXIF that JPEG and WebP outputs keep must say "upright" wherever a viewer may
// look, or it would turn the picture a second time. The JPEG reader takes the tag
// whatever its type or count, and the last of two, so every Orientation in the block is
// mended; a block that cannot be mended goes.
void MarkUpright(FIBITMAP* dib, bool turnedHere) {
  FITAG* orientation = nullptr;
  bool named = FreeImage_GetMetadata(FIMD_EXIF_MAIN, dib, "Orientation", &orientation) && orientation;
  bool turned = turnedHere || (named && !IsUprightTag(orientation));
  const WORD upright = 1;
  if (turned && FreeImage_GetTagType(orientation) == FIDT_SHORT && FreeImage_GetTagCount(orientation) == 1)
    ReplaceTagValue(FIMD_EXIF_MAIN, dib, orientation, &upright);
  FITAG* raw = nullptr;
  if (!FreeImage_GetMetadata(FIMD_EXIF_RAW, dib, "ExifRaw", &raw) || !raw) return;
  const auto* bytes = static_cast<const uint8_t*>(FreeImage_GetTagValue(raw));
  std::vector<uint8_t> block(bytes, bytes + FreeImage_GetTagLength(raw));
  ExifOrientation state = MendExifOrientation(&block);
  if (state == ExifOrientation::Mended) ReplaceTagValue(FIMD_EXIF_RAW, dib, raw, block.data());
  // The reader turned the picture by a tag this block does not show us the same way.
  else if (turned) FreeImage_SetMetadata(FIMD_EXIF_RAW, dib, nullptr, nullptr);
}

void MarkXmpUpright(FIBITMAP* dib) {
  FITAG* tag = nullptr;
  if (!dib || !FreeImage_GetMetadata(FIMD_XMP, dib, "XMLPacket", &tag) || !tag) return;
  const auto* bytes = static_cast<const char*>(FreeImage_GetTagValue(tag));
  size_t length = FreeImage_GetTagLength(tag);
  if (!bytes || length == 0) return;
  std::string packet(bytes, strnlen(bytes, length));
  if (MendXmpOrientation(&packet)) FreeImage_SetMetadataKeyValue(FIMD_XMP, dib, "XMLPacket", packet.c_str());
}

namespace {

// A raw EXIF block (from "Exif\0\0") in the form FreeImage's JPEG and our WebP, AVIF and
// JPEG XL writers take.
void SetExifRaw(FIBITMAP* dib, const std::vector<uint8_t>& block) {
  FITAG* tag = FreeImage_CreateTag();
  if (!tag) return;
  auto length = static_cast<DWORD>(block.size());
  if (FreeImage_SetTagKey(tag, "ExifRaw") && FreeImage_SetTagType(tag, FIDT_BYTE) &&
      FreeImage_SetTagLength(tag, length) && FreeImage_SetTagCount(tag, length) &&
      FreeImage_SetTagValue(tag, block.data()))
    FreeImage_SetMetadata(FIMD_EXIF_RAW, dib, "ExifRaw", tag);
  FreeImage_DeleteTag(tag);
}

}  // namespace

void KeepWebpExif(FIBITMAP* dib, const uint8_t* data, uint32_t size) {
  if (FreeImage_GetMetadataCount(FIMD_EXIF_RAW, dib) > 0) return;
  ByteSpan exif = FindWebpChunk(data, size, "EXIF");
  if (!exif || !IsTiffFile(exif.data, exif.size)) return;
  std::vector<uint8_t> block = {'E', 'x', 'i', 'f', 0, 0};
  block.insert(block.end(), exif.data, exif.data + exif.size);
  SetExifRaw(dib, block);
}

int KeepPngTextExif(FIBITMAP* dib) {
  static const char kKey[] = "Raw profile type exif";
  FITAG* tag = nullptr;
  if (!FreeImage_GetMetadata(FIMD_COMMENTS, dib, kKey, &tag) || !tag) return 0;
  std::vector<uint8_t> block =
      RawProfileBytes(static_cast<const char*>(FreeImage_GetTagValue(tag)), FreeImage_GetTagLength(tag));
  FreeImage_SetMetadata(FIMD_COMMENTS, dib, kKey, nullptr);
  if (FreeImage_GetMetadataCount(FIMD_COMMENTS, dib) == 0) FreeImage_SetMetadata(FIMD_COMMENTS, dib, nullptr, nullptr);
  bool exif = block.size() > 6 && std::memcmp(block.data(), "Exif\0\0", 6) == 0 &&
              IsTiffFile(block.data() + 6, block.size() - 6);
  if (!exif || FreeImage_GetMetadataCount(FIMD_EXIF_RAW, dib) > 0) return 0;
  SetExifRaw(dib, block);
  return ReadExifOrientation(block.data(), block.size());
}

namespace {

constexpr size_t kMaxProfileBytes = size_t{16} << 20;
constexpr size_t kProfileSpaceAt = 16;  // the data colour space in an ICC header

// The profile of an iCCP chunk (a name, a zero, the compression method 0, zlib data),
// inflated; empty when the chunk is not there or does not inflate.
std::vector<uint8_t> PngProfile(const uint8_t* data, uint32_t size) {
  ByteSpan chunk = FindPngChunk(data, size, "iCCP");
  if (!chunk) return {};
  const auto* end = static_cast<const uint8_t*>(std::memchr(chunk.data, 0, std::min<size_t>(chunk.size, 80)));
  if (!end || end + 2 > chunk.data + chunk.size || end[1] != 0) return {};
  const uint8_t* packed = end + 2;
  auto packedSize = static_cast<DWORD>(chunk.data + chunk.size - packed);
  for (size_t room = size_t{64} << 10; room <= kMaxProfileBytes; room *= 4) {
    std::vector<uint8_t> profile(room);
    DWORD made = FreeImage_ZLibUncompress(profile.data(), static_cast<DWORD>(room), const_cast<uint8_t*>(packed),
                                          packedSize);
    if (made > 0) {
      profile.resize(made);
      return profile;
    }
  }
  return {};
}

bool IsColourPng(const uint8_t* data, uint32_t size) {
  ByteSpan header = FindPngChunk(data, size, "IHDR");
  return header && header.size >= 13 && (header.data[9] == 2 || header.data[9] == 3 || header.data[9] == 6);
}

}  // namespace

void KeepPngProfile(FIBITMAP* dib, const uint8_t* data, uint32_t size) {
  FIICCPROFILE* own = FreeImage_GetICCProfile(dib);
  if ((own && own->size > 0) || !IsColourPng(data, size)) return;
  std::vector<uint8_t> profile = PngProfile(data, size);
  if (profile.size() < 128 || std::memcmp(profile.data() + kProfileSpaceAt, "RGB ", 4) != 0) return;
  FreeImage_CreateICCProfile(dib, profile.data(), static_cast<long>(profile.size()));
}
