#include <gtest/gtest.h>

#include "settings/formats.h"
#include "engine/codecs/image.h"
#include "engine/codecs/decode.h"
#include "engine/codecs/pixel_forms.h"
#include "engine/codecs/encode.h"
#include "settings/app_settings.h"

namespace {

TEST(FormatNames, TableAndAliases) {
  struct Row {
    const char16_t* name;
    int32_t id;
  } rows[] = {
      {u"BMP", 0},   {u"JPEG", 2},  {u"JPG", 2},  {u"jpg", 2},   {u"Jpg", 2},   {u"LBM", 5},  {u"IFF", 5},
      {u"PNG", 13},  {u"TIFF", 18}, {u"Tif", 18}, {u"GIF", 25},  {u"webp", 35}, {u"JXR", 36}, {u"PBMRAW", 8},
      {u"JPGX", -1}, {u"", -1},     {u"FIF_PNG", -1}, {u"UNKNOWN", -1},
  };
  for (const auto& row : rows) EXPECT_EQ(FormatIdFromName(row.name), row.id) << TextToUtf8(row.name);
}

// A small image encoded by FreeImage itself.
std::vector<uint8_t> EncodedSample(int32_t format, uint32_t bpp) {
  Image image = ConvertTo24Bits(Image());
  EXPECT_FALSE(image);
  std::vector<uint8_t> gray(64 * 48, 0x80);
  // Build through the decoder: a minimal PGM is the simplest text form FreeImage reads.
  std::string pgm = "P5 64 48 255\n" + std::string(gray.begin(), gray.end());
  int32_t error = 0;
  Image decoded = LoadImageFromBuffer(reinterpret_cast<const uint8_t*>(pgm.data()), pgm.size(), &error);
  EXPECT_TRUE(decoded);
  Image wide = bpp == 24 ? ConvertTo24Bits(decoded) : ConvertTo32Bits(decoded);
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(EncodeImage(wide, format, 0, &bytes));
  return bytes;
}

TEST(Decoder, DecodesWhatFreeImageWrote) {
  InitImageLibrary();
  for (int32_t format : {kFormatJpeg, kFormatPng, 0}) {
    std::vector<uint8_t> bytes = EncodedSample(format, 24);
    int32_t error = 0;
    Image image = LoadImageFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), &error);
    ASSERT_TRUE(image) << format;
    EXPECT_EQ(error, 0);
    EXPECT_EQ(ImageWidth(image), 64u);
    EXPECT_EQ(ImageHeight(image), 48u);
  }
}

TEST(Decoder, UnknownBytesAreCode8AndLeaveNoImage) {
  std::string text(100, 'x');
  int32_t error = 0;
  Image image = LoadImageFromBuffer(reinterpret_cast<const uint8_t*>(text.data()), text.size(), &error);
  EXPECT_FALSE(image);
  EXPECT_EQ(error, 8);
}

TEST(Decoder, EmptyBufferIsAnUnknownFormat) {
  int32_t error = 0;
  Image image = LoadImageFromBuffer(nullptr, 0, &error);
  EXPECT_FALSE(image);
  // FreeImage opens an empty stream for a null buffer (code 9 is for no stream at all);
  // what it holds has no recognisable format.
  EXPECT_EQ(error, kErrorUnknownFormat);
}

TEST(Encoder, RefusesWhatTheFormatCannotExportAndStandardisingMendsIt) {
  // A 16-bit greyscale image: FreeImage's WebP encoder aborts the process on it.
  std::string pgm = "P5 8 4 65535\n" + std::string(8 * 4 * 2, '\x40');
  int32_t error = 0;
  Image wide = LoadImageFromBuffer(reinterpret_cast<const uint8_t*>(pgm.data()), pgm.size(), &error);
  ASSERT_TRUE(wide);
  EXPECT_FALSE(IsStandardBitmap(wide));
  std::vector<uint8_t> out;
  EXPECT_FALSE(EncodeImage(wide, kFormatWebp, 90, &out));
  EXPECT_FALSE(EncodeImage(wide, kFormatJpeg, 84, &out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(EncodeImage(wide, -1, 0, &out));
  Image standard = ConvertToStandardBitmap(wide);
  ASSERT_TRUE(standard);
  EXPECT_EQ(ImageBpp(standard), 8u);
  EXPECT_TRUE(EncodeImage(ConvertTo32Bits(standard), kFormatWebp, 90, &out));
  EXPECT_GT(out.size(), 20u);
}

}  // namespace
