#include "engine/codecs/picture_image.h"

#include <cstring>

#include "engine/codecs/freeimage_bridge.h"

namespace {

void CopyRows(const DecodedPicture& picture, FIBITMAP* dib) {
  const uint32_t channels = picture.alpha ? 4 : 3;
  const uint8_t* from = picture.pixels.data();
  PixelRows rows = RowsOf(dib);
  for (uint32_t y = picture.height; y-- > 0;) {
    uint8_t* to = rows.Row(y);
    for (uint32_t x = 0; x < picture.width; ++x, from += channels, to += channels) {
      to[FI_RGBA_RED] = from[0];
      to[FI_RGBA_GREEN] = from[1];
      to[FI_RGBA_BLUE] = from[2];
      if (channels == 4) to[FI_RGBA_ALPHA] = from[3];
    }
  }
}

// A tag of bytes under a key of a metadata model, as FreeImage's readers make them.
void SetBytesTag(FIBITMAP* dib, FREE_IMAGE_MDMODEL model, const char* key, FREE_IMAGE_MDTYPE type,
                 const std::vector<uint8_t>& bytes) {
  FITAG* tag = FreeImage_CreateTag();
  if (!tag) return;
  auto length = static_cast<DWORD>(bytes.size());
  if (FreeImage_SetTagKey(tag, key) && FreeImage_SetTagType(tag, type) && FreeImage_SetTagLength(tag, length) &&
      FreeImage_SetTagCount(tag, length) && FreeImage_SetTagValue(tag, bytes.data()))
    FreeImage_SetMetadata(model, dib, key, tag);
  FreeImage_DeleteTag(tag);
}

void Describe(const DecodedPicture& picture, FIBITMAP* dib) {
  if (!picture.icc.empty())
    FreeImage_CreateICCProfile(dib, const_cast<uint8_t*>(picture.icc.data()), static_cast<long>(picture.icc.size()));
  if (!picture.exif.empty()) {
    std::vector<uint8_t> block = {'E', 'x', 'i', 'f', 0, 0};
    block.insert(block.end(), picture.exif.begin(), picture.exif.end());
    SetBytesTag(dib, FIMD_EXIF_RAW, "ExifRaw", FIDT_BYTE, block);
  }
  if (!picture.xmp.empty()) {
    std::vector<uint8_t> packet = picture.xmp;
    packet.push_back(0);
    SetBytesTag(dib, FIMD_XMP, "XMLPacket", FIDT_ASCII, packet);
  }
}

}  // namespace

Image ImageFromPicture(const DecodedPicture& picture) {
  const size_t expected = size_t{picture.width} * picture.height * (picture.alpha ? 4 : 3);
  if (picture.error != 0 || picture.width == 0 || picture.height == 0 || picture.pixels.size() != expected)
    return Image();
  FIBITMAP* dib = FreeImage_Allocate(static_cast<int>(picture.width), static_cast<int>(picture.height),
                                     picture.alpha ? 32 : 24);
  if (!dib) return Image();
  CopyRows(picture, dib);
  Describe(picture, dib);
  return Wrap(dib);
}
