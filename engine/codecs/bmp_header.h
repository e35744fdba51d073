// BMP files with the longer info headers (V2 52, V3 56, V4 108 and V5 124 bytes), which
// GIMP and ImageMagick write by default and FreeImage refuses, and OS/2 2.x files (64 or
// 16 bytes). Their pixels are laid out as under the 40-byte header, so the same file with
// that header is built in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The file with a 40-byte info header: the colour masks of a BI_BITFIELDS file follow
// it as that header expects, the colour table and pixels follow unchanged. False (and
// *out untouched) for any other file, and for JPEG- or PNG-compressed BMPs, which no
// header change makes readable.
bool BmpWithPlainHeader(const uint8_t* data, size_t size, std::vector<uint8_t>* out);

// The sizes of the Windows info headers: the plain one (40 bytes) and the longer V2, V3, V4
// and V5 (52, 56, 108, 124), which all begin as the plain one does.
bool IsWindowsInfoHeader(uint32_t size);
