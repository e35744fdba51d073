// Numbers stored little-endian, as BMP, ICO, TGA, PCX and GIF headers hold them.
#pragma once

#include <cstdint>
#include <vector>

namespace le {

inline uint32_t Read16(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

inline uint32_t Read32(const uint8_t* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

inline void Write32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void Put16(std::vector<uint8_t>* b, uint32_t v) {
  b->push_back(static_cast<uint8_t>(v));
  b->push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(std::vector<uint8_t>* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace le
