// Readers that take a file cut short for a whole one: FreeImage's BMP reader decodes
// uncompressed pixels that are not there, its TGA reader likewise, both without a word,
// and the picture would be reported as converted. The files' own sizes tell.
#pragma once

#include <cstddef>
#include <cstdint>

// An uncompressed BMP (any header; BI_RGB or bit fields) whose pixels end before its
// last row. False for every other file.
bool BmpPixelsCut(const uint8_t* data, size_t size);

// A TGA, uncompressed or run-length encoded, whose pixels end before the picture does.
bool TgaPixelsCut(const uint8_t* data, size_t size);
