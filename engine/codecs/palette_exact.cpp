#include "engine/codecs/palette_exact.h"

#include <array>

namespace {

// Open addressing over four times the palette's size keeps the probes short; the last
// colour seen is remembered, as pictures repeat a colour along a row.
class ColourIndex {
 public:
  ColourIndex() { slots_.fill(kEmpty); }
  // The index of the colour, adding it while there is room; -1 when the palette is full.
  int Find(uint32_t colour, std::vector<PaletteEntry>* palette) {
    if (colour == lastColour_ && lastIndex_ >= 0) return lastIndex_;
    size_t at = Hash(colour);
    while (slots_[at] != kEmpty && keys_[at] != colour) at = (at + 1) % kSlots;
    if (slots_[at] == kEmpty) {
      if (palette->size() == kPaletteSize) return -1;
      keys_[at] = colour;
      slots_[at] = static_cast<int16_t>(palette->size());
      palette->push_back(Entry(colour));
    }
    lastColour_ = colour;
    lastIndex_ = slots_[at];
    return lastIndex_;
  }

 private:
  static constexpr size_t kSlots = 4 * kPaletteSize;
  static constexpr int16_t kEmpty = -1;
  static size_t Hash(uint32_t colour) { return (colour * 2654435761u) >> 22; }  // 10 bits: kSlots
  static PaletteEntry Entry(uint32_t c) {
    return PaletteEntry{uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c >> 24)};
  }
  std::array<uint32_t, kSlots> keys_{};
  std::array<int16_t, kSlots> slots_{};
  uint32_t lastColour_ = 0;
  int lastIndex_ = -1;
};

uint32_t ColourAt(const uint8_t* row, uint32_t x, uint32_t bytes) {
  const uint8_t* p = row + x * bytes;
  uint32_t alpha = bytes == 4 ? p[3] : 255;
  return alpha << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// Walks every pixel through one index; false when a colour finds no room.
bool IndexRows(const PixelRows& source, ColourIndex* index, std::vector<PaletteEntry>* palette,
               const PixelRows* indexes) {
  uint32_t bytes = source.bpp / 8;
  for (uint32_t y = 0; y < source.height; ++y) {
    const uint8_t* row = source.Row(y);
    uint8_t* out = indexes ? indexes->Row(y) : nullptr;
    for (uint32_t x = 0; x < source.width; ++x) {
      int i = index->Find(ColourAt(row, x, bytes), palette);
      if (i < 0) return false;
      if (out) out[x] = static_cast<uint8_t>(i);
    }
  }
  return true;
}

}  // namespace

bool CollectPalette(const PixelRows& source, std::vector<PaletteEntry>* palette) {
  palette->clear();
  if (source.bpp != 24 && source.bpp != 32) return false;
  ColourIndex index;
  return IndexRows(source, &index, palette, nullptr);
}

void WriteIndexes(const PixelRows& source, const std::vector<PaletteEntry>& palette, const PixelRows& indexes) {
  // The same walk in the same order meets the colours in the same order, so the
  // indexes it hands out are the palette's.
  std::vector<PaletteEntry> again;
  again.reserve(palette.size());
  ColourIndex index;
  IndexRows(source, &index, &again, &indexes);
}
