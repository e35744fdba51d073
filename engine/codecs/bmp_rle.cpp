#include "engine/codecs/bmp_rle.h"

#include <cstdlib>
#include <cstring>

#include "engine/codecs/bmp_header.h"
#include "engine/codecs/little_endian.h"

namespace {

using le::Read32;
using le::Write32;

constexpr size_t kFileHeader = 14;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint64_t kMaxRlePixels = uint64_t{1} << 28;

// The picture as indices, a byte each, bottom row first, as the runs lay them down.
// ImageMagick's runs fill each row to its stored width (a multiple of 4 bytes): what
// falls there is dropped; a run past that is damage.
class Canvas {
 public:
  Canvas(uint32_t width, uint32_t height, uint32_t storedWidth)
      : width_(width), height_(height), storedWidth_(storedWidth), pixels_(size_t{width} * height, 0) {}

  bool Put(uint8_t index) {
    if (x_ >= storedWidth_ || y_ >= height_) return false;
    if (x_ < width_) pixels_[size_t{y_} * width_ + x_] = index;
    ++x_;
    return true;
  }
  void NextRow() { x_ = 0, ++y_; }
  bool Move(uint32_t dx, uint32_t dy) {
    x_ += dx, y_ += dy;
    return x_ <= width_ && y_ <= height_;
  }
  // Every row laid down: ended, or the last one filled to its end.
  bool Full() const { return y_ >= height_ || (y_ + 1 == height_ && x_ >= width_); }
  const std::vector<uint8_t>& Pixels() const { return pixels_; }

 private:
  uint32_t width_, height_, storedWidth_, x_ = 0, y_ = 0;
  std::vector<uint8_t> pixels_;
};

// An index of a run: RLE4 runs alternate the two nibbles of their byte.
uint8_t Nibble(uint8_t byte, uint32_t i, bool four) {
  return four ? ((i & 1) ? byte & 0x0F : byte >> 4) : byte;
}

BmpRle Decode(const uint8_t* data, size_t size, size_t at, bool four, Canvas* canvas) {
  while (at + 2 <= size) {
    uint8_t count = data[at], value = data[at + 1];
    at += 2;
    if (count > 0) {
      for (uint32_t i = 0; i < count; ++i)
        if (!canvas->Put(Nibble(value, i, four))) return BmpRle::Damaged;
    } else if (value == 0) {
      canvas->NextRow();
    } else if (value == 1) {
      return BmpRle::Unpacked;
    } else if (value == 2) {
      if (at + 2 > size) return BmpRle::Cut;
      if (!canvas->Move(data[at], data[at + 1])) return BmpRle::Damaged;
      at += 2;
    } else {  // `value` indices follow as they are, padded to an even byte count
      size_t bytes = four ? (value + 1u) / 2 : value;
      if (at + bytes > size) return BmpRle::Cut;
      for (uint32_t i = 0; i < value; ++i)
        if (!canvas->Put(Nibble(data[at + (four ? i / 2 : i)], i, four))) return BmpRle::Damaged;
      at += (bytes + 1) & ~size_t{1};
    }
  }
  // Writers that leave out the end-of-bitmap have still laid down every row.
  return canvas->Full() ? BmpRle::Unpacked : BmpRle::Cut;
}

}  // namespace

BmpRle UnpackBmpRle(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  if (size < kFileHeader + 40 || data[0] != 'B' || data[1] != 'M') return BmpRle::NotRle;
  uint32_t headerSize = Read32(data + kFileHeader);
  const uint8_t* info = data + kFileHeader;
  uint32_t bpp = uint32_t(info[14]) | uint32_t(info[15]) << 8;
  uint32_t compression = Read32(info + 16);
  bool rle = (compression == kRle8 && bpp == 8) || (compression == kRle4 && bpp == 4);
  if (!IsWindowsInfoHeader(headerSize) || !rle) return BmpRle::NotRle;
  auto width = static_cast<int32_t>(Read32(info + 4));
  auto height = static_cast<int32_t>(Read32(info + 8));
  // Run-length pictures are stored bottom-up only.
  if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) return BmpRle::Damaged;
  // A few bytes of runs and skips may claim any size; the conversion's budget refuses
  // larger pictures from the header before this is reached.
  if (uint64_t(width) * uint64_t(height) > kMaxRlePixels) return BmpRle::TooLarge;
  uint32_t colours = Read32(info + 32);
  if (colours == 0 || colours > (1u << bpp)) colours = 1u << bpp;
  size_t tableAt = kFileHeader + headerSize, pixelsAt = Read32(data + 10);
  if (tableAt + colours * 4 > size || pixelsAt > size) return BmpRle::Cut;
  uint32_t storedWidth = (static_cast<uint32_t>(width) * bpp + 31) / 32 * 32 / bpp;
  Canvas canvas(static_cast<uint32_t>(width), static_cast<uint32_t>(height), storedWidth);
  BmpRle result = Decode(data, size, pixelsAt, compression == kRle4, &canvas);
  if (result != BmpRle::Unpacked) return result;
  uint32_t stride = (static_cast<uint32_t>(width) + 3) & ~3u;
  std::vector<uint8_t> plain(kFileHeader + 40 + size_t{256} * 4 + size_t{stride} * height, 0);
  plain[0] = 'B', plain[1] = 'M';
  Write32(plain.data() + 2, static_cast<uint32_t>(plain.size()));
  Write32(plain.data() + 10, kFileHeader + 40 + 256 * 4);
  uint8_t* h = plain.data() + kFileHeader;
  Write32(h, 40), Write32(h + 4, static_cast<uint32_t>(width)), Write32(h + 8, static_cast<uint32_t>(height));
  h[12] = 1, h[14] = 8;
  Write32(h + 32, 256);
  std::memcpy(plain.data() + kFileHeader + 40, data + tableAt, colours * 4);
  uint8_t* rows = plain.data() + kFileHeader + 40 + 256 * 4;
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(rows + size_t{stride} * y, canvas.Pixels().data() + size_t(y) * width, static_cast<size_t>(width));
  *out = std::move(plain);
  return BmpRle::Unpacked;
}
