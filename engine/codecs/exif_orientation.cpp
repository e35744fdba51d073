#include "engine/codecs/exif_orientation.h"

#include <cstring>

namespace {

constexpr size_t kExifPrefix = 6;  // "Exif\0\0"
constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kShortType = 3;
constexpr size_t kEntrySize = 12;

// Reads and writes the TIFF part in its own byte order, never past its end.
class TiffView {
 public:
  TiffView(uint8_t* data, size_t size, bool bigEndian) : data_(data), size_(size), big_(bigEndian) {}
  bool Fits(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }
  uint16_t Read16(size_t at) const {
    return big_ ? static_cast<uint16_t>(data_[at] << 8 | data_[at + 1])
                : static_cast<uint16_t>(data_[at + 1] << 8 | data_[at]);
  }
  uint32_t Read32(size_t at) const {
    uint32_t high = Read16(big_ ? at : at + 2), low = Read16(big_ ? at + 2 : at);
    return high << 16 | low;
  }
  void Write16(size_t at, uint16_t value) {
    data_[big_ ? at : at + 1] = static_cast<uint8_t>(value >> 8);
    data_[big_ ? at + 1 : at] = static_cast<uint8_t>(value & 0xFF);
  }
  void Write32(size_t at, uint32_t value) {
    Write16(big_ ? at : at + 2, static_cast<uint16_t>(value >> 16));
    Write16(big_ ? at + 2 : at, static_cast<uint16_t>(value & 0xFFFF));
  }

 private:
  uint8_t* data_;
  size_t size_;
  bool big_;
};

// Where a one-value SHORT entry of the first directory is, and where the link to the
// next directory follows that directory.
struct ShortEntry {
  size_t entry = 0;
  size_t next = 0;
  bool found = false;
};

size_t TiffStart(const uint8_t* block, size_t size) {
  return size >= kExifPrefix && std::memcmp(block, "Exif\0\0", kExifPrefix) == 0 ? kExifPrefix : 0;
}

bool IsTiffHeader(const uint8_t* tiff, size_t size) {
  if (size < 8) return false;
  bool big = tiff[0] == 'M' && tiff[1] == 'M';
  if (!big && !(tiff[0] == 'I' && tiff[1] == 'I')) return false;
  return TiffView(const_cast<uint8_t*>(tiff), size, big).Read16(2) == 42;
}

ShortEntry FindShort(const TiffView& view, uint16_t tag) {
  ShortEntry found;
  size_t directory = view.Read32(4);
  if (!view.Fits(directory, 2)) return found;
  size_t entries = view.Read16(directory);
  // A directory that claims more entries than the block holds is not trusted at all.
  if (!view.Fits(directory + 2, entries * kEntrySize + 4)) return found;
  found.next = directory + 2 + entries * kEntrySize;
  for (size_t i = 0; i < entries; ++i) {
    size_t entry = directory + 2 + i * kEntrySize;
    if (view.Read16(entry) != tag) continue;
    if (view.Read16(entry + 2) != kShortType || view.Read32(entry + 4) != 1) return found;
    found.entry = entry;
    found.found = true;
    return found;
  }
  return found;
}

}  // namespace

int ReadFirstDirectoryShort(const uint8_t* block, size_t size, uint16_t tag) {
  size_t start = TiffStart(block, size);
  const uint8_t* tiff = block + start;
  if (!IsTiffHeader(tiff, size - start)) return -1;
  TiffView view(const_cast<uint8_t*>(tiff), size - start, tiff[0] == 'M');
  ShortEntry at = FindShort(view, tag);
  return at.found ? view.Read16(at.entry + 8) : -1;
}

int ReadExifOrientation(const uint8_t* block, size_t size) {
  int value = ReadFirstDirectoryShort(block, size, kOrientationTag);
  return value >= 1 && value <= 8 ? value : 0;
}

namespace {

bool IsPlainUpright(const TiffView& view, size_t entry) {
  return view.Read16(entry + 2) == kShortType && view.Read32(entry + 4) == 1 && view.Read16(entry + 8) == 1;
}

}  // namespace

ExifOrientation MendExifOrientation(std::vector<uint8_t>* block) {
  size_t start = TiffStart(block->data(), block->size());
  uint8_t* tiff = block->data() + start;
  size_t size = block->size() - start;
  if (!IsTiffHeader(tiff, size)) return ExifOrientation::Unmendable;
  TiffView view(tiff, size, tiff[0] == 'M');
  size_t directory = view.Read32(4);
  if (!view.Fits(directory, 2)) return ExifOrientation::Unmendable;
  size_t entries = view.Read16(directory);
  // A directory that claims more entries than the block holds is not trusted at all.
  size_t next = directory + 2 + entries * kEntrySize;
  if (!view.Fits(directory + 2, entries * kEntrySize + 4)) return ExifOrientation::Unmendable;
  bool mended = false;
  for (size_t i = 0; i < entries; ++i) {
    size_t entry = directory + 2 + i * kEntrySize;
    if (view.Read16(entry) != kOrientationTag || IsPlainUpright(view, entry)) continue;
    // One SHORT fits the entry's own value field, whatever the entry pointed to before.
    view.Write16(entry + 2, kShortType);
    view.Write32(entry + 4, 1);
    view.Write16(entry + 8, 1);
    view.Write16(entry + 10, 0);
    mended = true;
  }
  if (!mended) return ExifOrientation::Upright;
  // The thumbnail's directory follows the first one; its small picture is still turned,
  // so it is unlinked and viewers make their own.
  view.Write32(next, 0);
  return ExifOrientation::Mended;
}

bool MarkExifUpright(std::vector<uint8_t>* block) {
  return MendExifOrientation(block) == ExifOrientation::Mended;
}
