// The chunks of PNG and WebP (RIFF) files, found in the file's bytes. FreeImage's
// readers pass some of them over (PNG's eXIf, the turn named in WebP's EXIF), so the
// bridge reads them itself. Every length is checked against the bytes there are.
#pragma once

#include <cstddef>
#include <cstdint>

struct ByteSpan {
  const uint8_t* data = nullptr;
  size_t size = 0;
  explicit operator bool() const { return data != nullptr; }
};

bool IsPngFile(const uint8_t* data, size_t size);
bool IsWebpFile(const uint8_t* data, size_t size);
bool IsTiffFile(const uint8_t* data, size_t size);

// The body of the first chunk of that four-letter type; an empty span when there is
// none or a chunk before it runs past the end.
ByteSpan FindPngChunk(const uint8_t* data, size_t size, const char type[4]);
ByteSpan FindWebpChunk(const uint8_t* data, size_t size, const char type[4]);
