// Picture files written byte by byte, for what no encoder at hand writes: PNG with any
// chunk, WebP with an EXIF chunk, BMP with a given header, and EXIF blocks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes* b, uint32_t v, bool big = false) {
  if (big) b->insert(b->end(), {uint8_t(v >> 8), uint8_t(v)});
  else b->insert(b->end(), {uint8_t(v), uint8_t(v >> 8)});
}

inline void Put32(Bytes* b, uint32_t v, bool big = false) {
  if (big) b->insert(b->end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
  else b->insert(b->end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}

inline uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

inline Bytes PngChunk(const char* type, const Bytes& body) {
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  Bytes chunk;
  Put32(&chunk, static_cast<uint32_t>(body.size()), true);
  chunk.insert(chunk.end(), typed.begin(), typed.end());
  Put32(&chunk, Crc32(typed.data(), typed.size()), true);
  return chunk;
}

// A zlib stream of stored (uncompressed) blocks: valid, and no compressor needed.
inline Bytes StoredZlib(const Bytes& data) {
  Bytes z = {0x78, 0x01};
  size_t at = 0;
  do {
    size_t n = std::min<size_t>(data.size() - at, 65535);
    z.push_back(at + n == data.size() ? 1 : 0);
    Put16(&z, static_cast<uint32_t>(n));
    Put16(&z, static_cast<uint32_t>(~n & 0xFFFF));
    z.insert(z.end(), data.begin() + at, data.begin() + at + n);
    at += n;
  } while (at < data.size());
  uint32_t a = 1, b = 0;
  for (uint8_t v : data) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  Put32(&z, b << 16 | a, true);
  return z;
}

// rows: each row's packed samples, without the filter byte. extra: whole chunks that go
// between IHDR and IDAT.
// An iCCP chunk holding the profile (stored, not compressed, inside its zlib stream).
inline Bytes IccpChunk(const Bytes& profile) {
  Bytes body = {'A', 'd', 'o', 'b', 'e', 0, 0};
  Bytes packed = StoredZlib(profile);
  body.insert(body.end(), packed.begin(), packed.end());
  return PngChunk("iCCP", body);
}

inline Bytes PngFile(uint32_t width, uint32_t height, uint8_t bits, uint8_t colourType,
                     const std::vector<Bytes>& rows, const std::vector<Bytes>& extra = {}) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  Put32(&header, width, true);
  Put32(&header, height, true);
  header.insert(header.end(), {bits, colourType, 0, 0, 0});
  Bytes ihdr = PngChunk("IHDR", header);
  png.insert(png.end(), ihdr.begin(), ihdr.end());
  for (const Bytes& chunk : extra) png.insert(png.end(), chunk.begin(), chunk.end());
  Bytes raw;
  for (const Bytes& row : rows) {
    raw.push_back(0);
    raw.insert(raw.end(), row.begin(), row.end());
  }
  Bytes idat = PngChunk("IDAT", StoredZlib(raw)), iend = PngChunk("IEND", {});
  png.insert(png.end(), idat.begin(), idat.end());
  png.insert(png.end(), iend.begin(), iend.end());
  return png;
}

// A TIFF structure whose first directory holds Make and Orientation and links to a
// next directory, as EXIF blocks do.
inline Bytes TiffExif(uint16_t orientation, bool big = false) {
  Bytes b = {uint8_t(big ? 'M' : 'I'), uint8_t(big ? 'M' : 'I')};
  Put16(&b, 42, big);
  Put32(&b, 8, big);
  Put16(&b, 2, big);
  Put16(&b, 0x010F, big), Put16(&b, 2, big), Put32(&b, 4, big), b.insert(b.end(), {'A', 'B', 'C', 0});
  Put16(&b, 0x0112, big), Put16(&b, 3, big), Put32(&b, 1, big), Put16(&b, orientation, big), Put16(&b, 0, big);
  Put32(&b, 0, big);
  return b;
}

inline Bytes WebpChunk(const char* type, const Bytes& body) {
  Bytes chunk(type, type + 4);
  Put32(&chunk, static_cast<uint32_t>(body.size()));
  chunk.insert(chunk.end(), body.begin(), body.end());
  if (body.size() & 1) chunk.push_back(0);
  return chunk;
}

// A simple (VP8 or VP8L) WebP file made extended, with more chunks after the picture.
inline Bytes WebpWithChunks(const Bytes& simple, uint32_t width, uint32_t height, uint8_t flags,
                            const std::vector<Bytes>& after) {
  Bytes header = {flags, 0, 0, 0};
  for (uint32_t v : {width - 1, height - 1}) header.insert(header.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});
  Bytes body = {'W', 'E', 'B', 'P'};
  Bytes vp8x = WebpChunk("VP8X", header);
  body.insert(body.end(), vp8x.begin(), vp8x.end());
  body.insert(body.end(), simple.begin() + 12, simple.end());
  for (const Bytes& chunk : after) body.insert(body.end(), chunk.begin(), chunk.end());
  Bytes riff = {'R', 'I', 'F', 'F'};
  Put32(&riff, static_cast<uint32_t>(body.size()));
  riff.insert(riff.end(), body.begin(), body.end());
  return riff;
}

// A bottom-up BMP with a header of headerSize bytes (40, or 108 for V4 with the masks
// inside); pixels: rows top first, bpp/8 bytes a pixel in file order.
inline Bytes BmpFile(uint32_t width, uint32_t height, uint16_t bpp, uint32_t headerSize,
                     const std::vector<Bytes>& rowsTopFirst) {
  uint32_t stride = (width * bpp / 8 + 3) & ~3u;
  Bytes b = {'B', 'M'};
  Put32(&b, 14 + headerSize + stride * height);
  Put32(&b, 0);
  Put32(&b, 14 + headerSize);
  Put32(&b, headerSize);
  Put32(&b, width), Put32(&b, height), Put16(&b, 1), Put16(&b, bpp), Put32(&b, 0);
  Put32(&b, stride * height), Put32(&b, 2835), Put32(&b, 2835), Put32(&b, 0), Put32(&b, 0);
  b.resize(14 + headerSize, 0);  // the rest of a longer header: masks and colour space unused by BI_RGB
  for (size_t r = rowsTopFirst.size(); r-- > 0;) {
    Bytes row = rowsTopFirst[r];
    row.resize(stride, 0);
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

inline Bytes ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes CorpusFile(const std::string& name) {
  return ReadWholeFile(std::string(TESSALY_TEST_DATA) + "/corpus/" + name);
}
