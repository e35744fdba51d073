// What the checks of a worker that takes several files look for: whether a freed block
// keeps its bytes, and whether one file's bytes turn up in another file's result.
// Shared by the native tests and the Win32 checks.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unordered_set>
#include <vector>

// What a block held once freed, as the allocator hands the same block out again (the
// first 32 bytes are the allocator's own bookkeeping while the block is free); -1 when
// it handed out another block.
inline int PatternLeftInReusedBlock(size_t size, bool grow) {
  auto* block = static_cast<uint8_t*>(std::malloc(size));
  std::memset(block, 0xAB, size);
  // Without it the compiler drops the writes to a block that is only freed after them.
  asm volatile("" : : "r"(block) : "memory");
  if (grow) {
    void* moved = std::realloc(block, size * 4);  // may move; the old block goes back
    std::free(moved);
  } else {
    std::free(block);
  }
  auto* again = static_cast<uint8_t*>(std::malloc(size));
  int left = 0;
  if (again == block)
    for (size_t i = 32; i < size; ++i) left += again[i] == 0xAB;
  std::free(again);
  return again == block ? left : -1;
}

// Every run of 16 bytes in the blocks added, to look for in another file's result.
class ByteWindows {
 public:
  void Add(const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i + 16 <= size; ++i) seen_.insert(Hash(bytes + i));
  }
  // A JPEG's compressed pixels only: its headers are those of every JPEG of its settings.
  void AddJpegScan(const std::vector<uint8_t>& jpeg) {
    size_t scan = 0;
    for (size_t i = 0; i + 1 < jpeg.size() && scan == 0; ++i)
      if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) scan = i + 2;
    if (scan > 0) Add(jpeg.data() + scan, jpeg.size() - scan);
  }
  bool FoundIn(const std::vector<uint8_t>& bytes) const {
    for (size_t i = 0; i + 16 <= bytes.size(); ++i)
      if (seen_.count(Hash(bytes.data() + i))) return true;
    return false;
  }

 private:
  static uint64_t Hash(const uint8_t* p) {
    uint64_t a = 0, b = 0;
    std::memcpy(&a, p, 8);
    std::memcpy(&b, p + 8, 8);
    return a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
  }
  std::unordered_set<uint64_t> seen_;
};
