#include "engine/codecs/gif_screen.h"

#include <algorithm>
#include <cstring>

#include "engine/codecs/little_endian.h"

namespace {

using le::Read16;

constexpr size_t kScreenDescriptor = 13;  // "GIF89a", screen size, flags, background, aspect

// 2^(n+1) entries of 3 bytes when the flags' top bit says a colour table follows.
size_t ColourTableBytes(uint8_t flags) {
  return (flags & 0x80) ? 3u * (2u << (flags & 7)) : 0;
}

// Past the data sub-blocks that start at *at (each a length byte, then that many bytes,
// ended by a length of 0); false when the file ends first.
bool SkipSubBlocks(const uint8_t* data, size_t size, size_t* at) {
  while (*at < size) {
    uint8_t length = data[(*at)++];
    if (length == 0) return true;
    *at += length;
  }
  return false;
}

}  // namespace

uint32_t GifPlacement::CanvasWidth() const {
  return std::max(screenWidth, left + width);
}

uint32_t GifPlacement::CanvasHeight() const {
  return std::max(screenHeight, top + height);
}

bool GifPlacement::FrameIsPicture() const {
  return left == 0 && top == 0 && width >= screenWidth && height >= screenHeight;
}

bool ReadGifPlacement(const uint8_t* data, size_t size, GifPlacement* placement) {
  if (size < kScreenDescriptor || (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0))
    return false;
  GifPlacement p;
  p.screenWidth = Read16(data + 6);
  p.screenHeight = Read16(data + 8);
  size_t at = kScreenDescriptor + ColourTableBytes(data[10]);
  // Extensions (0x21, a label, sub-blocks) may come before the first image descriptor.
  while (at < size && data[at] == 0x21) {
    at += 2;
    if (!SkipSubBlocks(data, size, &at)) return false;
  }
  if (at + 9 > size || data[at] != 0x2C) return false;
  p.left = Read16(data + at + 1);
  p.top = Read16(data + at + 3);
  p.width = Read16(data + at + 5);
  p.height = Read16(data + at + 7);
  *placement = p;
  return true;
}
