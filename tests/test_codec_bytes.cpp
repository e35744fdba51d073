// What the bridge reads from a file's own bytes (turns, grey keys, BMP headers, chunks)
// and the exact palette: the edges where such readers go wrong.
#include <gtest/gtest.h>

#include "engine/codecs/bmp_header.h"
#include "engine/codecs/container_chunks.h"
#include "engine/codecs/palette_exact.h"
#include "engine/codecs/source_facts.h"
#include "tests/picture_bytes.h"

namespace {

uint32_t Le32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// A TIFF file whose first directory holds Orientation and PhotometricInterpretation.
Bytes TiffFile(uint16_t orientation, uint16_t photometric) {
  Bytes b = {'I', 'I', 42, 0};
  Put32(&b, 8);
  Put16(&b, 2);
  Put16(&b, 262), Put16(&b, 3), Put32(&b, 1), Put16(&b, photometric), Put16(&b, 0);
  Put16(&b, 0x0112), Put16(&b, 3), Put32(&b, 1), Put16(&b, orientation), Put16(&b, 0);
  Put32(&b, 0);
  return b;
}

TEST(SourceFacts, TurnsOfEveryContainer) {
  Bytes prefixed = {'E', 'x', 'i', 'f', 0, 0};
  Bytes tiff = TiffExif(8, true);
  prefixed.insert(prefixed.end(), tiff.begin(), tiff.end());
  Bytes simpleWebp = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'};
  Bytes odd = WebpChunk("VP8L", {1, 2, 3});  // padded to an even length before the next chunk
  simpleWebp.insert(simpleWebp.end(), odd.begin(), odd.end());
  const struct {
    const char* what;
    Bytes file;
    int orientation;
  } rows[] = {
      {"PNG eXIf", PngFile(1, 1, 8, 0, {{0}}, {PngChunk("eXIf", TiffExif(6))}), 6},
      {"PNG eXIf with a JPEG's prefix", PngFile(1, 1, 8, 0, {{0}}, {PngChunk("eXIf", prefixed)}), 8},
      {"PNG without eXIf", PngFile(1, 1, 8, 0, {{0}}), 0},
      {"WebP EXIF after an odd chunk", WebpWithChunks(simpleWebp, 1, 1, 0x08, {WebpChunk("EXIF", TiffExif(3))}), 3},
      {"TIFF RGB", TiffFile(6, 2), 6},
      // libtiff has already mirrored YCbCr and Lab pictures; only the rest is left.
      {"TIFF YCbCr 3", TiffFile(3, 6), 1},
      {"TIFF YCbCr 5", TiffFile(5, 6), 5},
      {"TIFF YCbCr 6", TiffFile(6, 6), 7},
      {"TIFF Lab 7", TiffFile(7, 8), 5},
      {"TIFF YCbCr 8", TiffFile(8, 6), 7},
      {"TIFF orientation out of range", TiffFile(9, 2), 0},
  };
  for (const auto& row : rows) EXPECT_EQ(SourceOrientation(row.file.data(), row.file.size()), row.orientation) << row.what;
}

TEST(SourceFacts, ChunksThatRunPastTheEndAreNotRead) {
  Bytes png = PngFile(1, 1, 8, 0, {{0}}, {PngChunk("eXIf", TiffExif(6))});
  // The eXIf chunk's length claims more than the file holds.
  Bytes longer = png;
  longer[33] = 0x10;
  EXPECT_FALSE(FindPngChunk(longer.data(), longer.size(), "eXIf"));
  // Cut anywhere: the turn is found only once the whole chunk is there.
  size_t chunkEnd = 33 + 12 + TiffExif(6).size();
  for (size_t cut = 0; cut < png.size(); ++cut)
    EXPECT_EQ(SourceOrientation(png.data(), cut), cut >= chunkEnd ? 6 : 0) << cut;
  Bytes webp = WebpWithChunks({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}, 1, 1, 0x08,
                              {WebpChunk("EXIF", TiffExif(6))});
  EXPECT_EQ(SourceOrientation(webp.data(), webp.size() - 1), 0);
}

TEST(SourceFacts, GreyKeyOfLowDepthPngsAsTheWidenedGrey) {
  const struct {
    uint8_t bits, colourType;
    uint16_t key;
    bool withKey;
    int expected;
  } rows[] = {
      {1, 0, 1, true, 255}, {1, 0, 0, true, 0},    {2, 0, 2, true, 170}, {4, 0, 15, true, 255},
      {4, 0, 5, true, 85},  {4, 0, 16, true, -1},  // a value no 4-bit sample holds
      {8, 0, 200, true, -1},                         // FreeImage reads 8-bit keys right
      {2, 3, 1, true, -1},                           // a palette's tRNS is no grey key
      {4, 0, 0, false, -1},
  };
  for (const auto& row : rows) {
    std::vector<Bytes> extra;
    if (row.withKey) extra.push_back(PngChunk("tRNS", {uint8_t(row.key >> 8), uint8_t(row.key)}));
    Bytes png = PngFile(1, 1, row.bits, row.colourType, {{0}}, extra);
    EXPECT_EQ(PngLowGreyKey(png.data(), png.size()), row.expected) << int(row.bits) << " bits, key " << row.key;
  }
}

// A V4 or V5 header becomes the 40-byte one: masks after it for bit fields, the colour
// table and pixels unchanged and found where the new offset says.
TEST(BmpHeader, LongerHeadersBecomeThePlainOneWithTheirMasks) {
  for (uint32_t size : {108u, 124u}) {
    Bytes bmp = BmpFile(2, 1, 32, size, {{1, 2, 3, 4, 5, 6, 7, 8}});
    bmp[30] = 3;  // BI_BITFIELDS
    for (uint32_t i = 0; i < 4; ++i) bmp[14 + 40 + 4 * i + i] = 0xFF;  // masks inside the header
    Bytes plain;
    ASSERT_TRUE(BmpWithPlainHeader(bmp.data(), bmp.size(), &plain)) << size;
    EXPECT_EQ(Le32(plain, 14), 40u);
    EXPECT_EQ(Le32(plain, 30), 3u);
    EXPECT_EQ(Bytes(plain.begin() + 54, plain.begin() + 66), Bytes(bmp.begin() + 54, bmp.begin() + 66));
    EXPECT_EQ(Le32(plain, 10), 66u);
    EXPECT_EQ(Le32(plain, 2), plain.size());
    EXPECT_EQ(Bytes(plain.begin() + 66, plain.end()), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  }
  Bytes rgb = BmpFile(1, 1, 24, 108, {{9, 8, 7}}), plain;
  ASSERT_TRUE(BmpWithPlainHeader(rgb.data(), rgb.size(), &plain));
  EXPECT_EQ(Le32(plain, 10), 54u);  // no masks for BI_RGB
}

TEST(BmpHeader, OtherFilesAreLeftAlone) {
  Bytes plain = BmpFile(1, 1, 24, 40, {{1, 2, 3}});
  Bytes jpeg = BmpFile(1, 1, 24, 124, {{1, 2, 3}});
  jpeg[30] = 4;  // BI_JPEG
  Bytes pixelsPastEnd = BmpFile(1, 1, 24, 124, {{1, 2, 3}});
  pixelsPastEnd[11] = 0x10;
  Bytes cut = BmpFile(1, 1, 24, 124, {{1, 2, 3}});
  cut.resize(60);
  for (const Bytes* file : {&plain, &jpeg, &pixelsPastEnd, &cut}) {
    Bytes out = {42};
    EXPECT_FALSE(BmpWithPlainHeader(file->data(), file->size(), &out));
    EXPECT_EQ(out, Bytes{42});
  }
}

TEST(ExactPalette, UpTo256ColoursAlphaIncludedAndNoMore) {
  std::vector<uint8_t> pixels(257 * 4);
  for (uint32_t i = 0; i < 257; ++i) {
    pixels[4 * i] = uint8_t(i), pixels[4 * i + 1] = uint8_t(i >> 8), pixels[4 * i + 3] = 255;
  }
  // Two pixels of the same colour but another alpha are two entries.
  pixels[4 * 255] = 0, pixels[4 * 255 + 3] = 7;
  PixelRows rows{pixels.data(), pixels.size(), 256, 1, 32};
  std::vector<PaletteEntry> palette;
  ASSERT_TRUE(CollectPalette(rows, &palette));
  ASSERT_EQ(palette.size(), 256u);
  EXPECT_EQ(palette[255].alpha, 7);
  std::vector<uint8_t> indexes(256);
  WriteIndexes(rows, palette, PixelRows{indexes.data(), indexes.size(), 256, 1, 8});
  for (uint32_t i = 0; i < 256; ++i) EXPECT_EQ(indexes[i], i);
  rows.width = 257;
  EXPECT_FALSE(CollectPalette(rows, &palette));
}

}  // namespace
