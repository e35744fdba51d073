// Real kinds of files that came out wrong: every picture must convert to what it shows.
// Sources are the corpus drawn by tests/data/make-corpus.sh, or bytes written here.
#include "app/batch_run.h"
#include "engine/codecs/container_chunks.h"
#include "engine/codecs/exif_orientation.h"
#include "engine/codecs/source_facts.h"
#include "tests/conversion_fixture.h"
#include "tests/picture_bytes.h"
#include "tests/pixel_checks.h"

namespace {

constexpr int32_t kWebpLossless = 0x100;

// Corners that show any turn or mirror: red, green / blue, white, grey between.
Bytes CornersPng(const std::vector<Bytes>& extra = {}) {
  Bytes top = {255, 0, 0, 127, 127, 127, 0, 255, 0}, bottom = {0, 0, 255, 127, 127, 127, 255, 255, 255};
  return PngFile(3, 2, 8, 2, {top, bottom}, extra);
}

// Each row of one colour, as RGBA samples of a PNG.
Bytes RgbaPng(uint32_t width, const std::vector<std::vector<Colour>>& rows) {
  std::vector<Bytes> packed;
  for (const auto& row : rows) {
    Bytes bytes;
    for (const Colour& c : row)
      for (uint32_t i = 0; i < width / row.size(); ++i)
        bytes.insert(bytes.end(), {uint8_t(c.red), uint8_t(c.green), uint8_t(c.blue), uint8_t(c.alpha)});
    packed.push_back(bytes);
  }
  return PngFile(width, static_cast<uint32_t>(rows.size()), 8, 6, packed);
}

class Faithful : public ConversionTest {
 protected:
  void SetUp() override {
    ConversionTest::SetUp();
    QuietTiffWarnings();
  }
  // Converts one file to the target and opens the result.
  Image Convert(const std::string& name, const Bytes& bytes, const char16_t* target) {
    WriteBytes(scratch, name, bytes);
    FileListClear();
    ResetBoxes();
    AddEntry(scratch, name);
    SetTarget(target);
    RunResult result = RunConversion();
    EXPECT_EQ(result.converted, 1) << name << " to " << TextToUtf8(target) << ": "
                                   << (gShownBoxes.empty() ? "" : TextToUtf8(gShownBoxes[0].text));
    return Open(ResultName(name, target));
  }
  std::string ResultName(const std::string& name, const char16_t* target) const {
    return name.substr(0, name.rfind('.')) + "_c." + TextToUtf8(ToLower(target));
  }
  Image Open(const std::string& name) const {
    std::string bytes = scratch.Read(name);
    int32_t error = 0;
    return LoadImageFromBuffer(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
                               &error);
  }
  void UsePalette() {
    SetFlag(gAppSettings.SaveFlags[kFormatPng], kPng256ColourFlag);
    gAppSettings.FormatId = kFormatPng;
  }
  void WebpLossless() { SetFlag(gAppSettings.SaveFlags[kFormatWebp], kWebpLossless); }
};

TEST_F(Faithful, SixteenBitGreyIsNarrowedLinearly) {
  WebpLossless();
  const struct {
    const char* file;
    const char16_t* target;
    int tolerance;
  } rows[] = {{"grey16.png", u"PNG", 0}, {"grey16.tif", u"PNG", 0}, {"grey16.png", u"JPG", 1}, {"grey16.tif", u"WEBP", 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.file) + " to " + TextToUtf8(row.target));
    // Flat 4660 of 65535: 18 of 255, not white.
    ExpectPixel(Convert(row.file, CorpusFile(row.file), row.target), 3, 2, Colour{18, 18, 18, 255}, row.tolerance);
  }
}

TEST_F(Faithful, EveryExifTurnOfAPngComesOutUpright) {
  const struct {
    uint16_t orientation;
    uint32_t width, height;
    Colour topLeft, topRight, bottomLeft;
  } rows[] = {{1, 3, 2, kRed, kGreen, kBlue},  {2, 3, 2, kGreen, kRed, kWhite}, {3, 3, 2, kWhite, kBlue, kGreen},
              {4, 3, 2, kBlue, kWhite, kRed},  {5, 2, 3, kRed, kBlue, kGreen},  {6, 2, 3, kBlue, kRed, kWhite},
              {7, 2, 3, kWhite, kGreen, kBlue}, {8, 2, 3, kGreen, kWhite, kRed}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.orientation);
    bool big = row.orientation % 2 == 0;
    Image result = Convert("turned.png", CornersPng({PngChunk("eXIf", TiffExif(row.orientation, big))}), u"PNG");
    ASSERT_EQ(ImageWidth(result), row.width);
    ASSERT_EQ(ImageHeight(result), row.height);
    ExpectPixel(result, 0, 0, row.topLeft);
    ExpectPixel(result, row.width - 1, 0, row.topRight);
    ExpectPixel(result, 0, row.height - 1, row.bottomLeft);
  }
}

// ImageMagick's older PNG writer kept EXIF as hex in a text chunk: its turn counts as an
// eXIf chunk's, and the text, which would turn the picture again, is not carried on.
TEST_F(Faithful, ExifKeptAsPngTextTurnsThePictureOnce) {
  Bytes exif = {'E', 'x', 'i', 'f', 0, 0};
  Bytes tiff = TiffExif(6);
  exif.insert(exif.end(), tiff.begin(), tiff.end());
  std::string hex = "\nexif\n" + std::to_string(exif.size()) + "\n";
  for (uint8_t b : exif) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
  Bytes text = {'R', 'a', 'w', ' ', 'p', 'r', 'o', 'f', 'i', 'l', 'e', ' ', 't', 'y', 'p', 'e', ' ', 'e', 'x', 'i', 'f', 0};
  text.insert(text.end(), hex.begin(), hex.end());
  text.push_back('\n');
  Image result = Convert("texted.png", CornersPng({PngChunk("tEXt", text)}), u"PNG");
  ASSERT_EQ(ImageWidth(result), 2u);
  ExpectPixel(result, 0, 0, kBlue);
  ExpectPixel(result, 1, 0, kRed);
  EXPECT_EQ(scratch.Read("texted_c.png").find("Raw profile type exif"), std::string::npos);
  // Cut hex is no profile: the picture stays as stored.
  text.resize(text.size() - 9);
  ExpectPixel(Convert("cut.png", CornersPng({PngChunk("tEXt", text)}), u"PNG"), 0, 0, kRed);
}

// A quarter turn clockwise (orientation 6) in each container; the YCbCr TIFF goes
// through libtiff's own reading, which mirrors but never turns.
TEST_F(Faithful, TiffAndWebpTurnsComeOutUpright) {
  WebpLossless();
  int32_t error = 0;
  Bytes corners = CornersPng();
  Image plain = LoadImageFromBuffer(corners.data(), static_cast<uint32_t>(corners.size()), &error);
  std::vector<uint8_t> simple;
  ASSERT_TRUE(EncodeImage(plain, kFormatWebp, kWebpLossless, &simple));
  const struct {
    const char* name;
    Bytes bytes;
    uint32_t width, height;
    int tolerance;
  } rows[] = {
      {"turned-6.tif", CorpusFile("turned-6.tif"), 6, 4, 0},
      {"turned-6-ycbcr.tif", CorpusFile("turned-6-ycbcr.tif"), 6, 4, 4},
      {"turned.webp", WebpWithChunks(simple, 3, 2, 0x08, {WebpChunk("EXIF", TiffExif(6))}), 3, 2, 0},
  };
  for (const auto& row : rows) {
    for (const char16_t* target : {u"PNG", u"WEBP"}) {
      SCOPED_TRACE(std::string(row.name) + " to " + TextToUtf8(target));
      Image result = Convert(row.name, row.bytes, target);
      ASSERT_EQ(ImageWidth(result), row.height);
      ASSERT_EQ(ImageHeight(result), row.width);
      ExpectPixel(result, 0, 0, kBlue, row.tolerance);
      ExpectPixel(result, row.height - 1, 0, kRed, row.tolerance);
      ExpectPixel(result, 0, row.width - 1, kWhite, row.tolerance);
      // Whatever EXIF the result keeps says upright, or a viewer turns it again.
      std::string bytes = scratch.Read(ResultName(row.name, target));
      EXPECT_LE(SourceOrientation(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 1);
    }
  }
  // The WebP's EXIF (which FreeImage's reader drops unless it starts as a JPEG segment)
  // reaches a JPEG, saying upright.
  Image jpeg = Convert("turned.webp", rows[2].bytes, u"JPG");
  EXPECT_EQ(ImageWidth(jpeg), 2u);
  std::string bytes = scratch.Read("turned_c.jpg");
  size_t exif = bytes.find(std::string("Exif\0\0", 6));
  ASSERT_NE(exif, std::string::npos);
  EXPECT_EQ(ReadExifOrientation(reinterpret_cast<const uint8_t*>(bytes.data()) + exif, bytes.size() - exif), 1);
}

TEST_F(Faithful, PaletteKeepsPicturesThatFitAndTheirTransparency) {
  UsePalette();
  Image gif = Convert("clear.gif", CorpusFile("clear.gif"), u"PNG");
  ExpectPixel(gif, 0, 0, kRed);
  ExpectPixel(gif, 5, 0, kWhite);
  EXPECT_EQ(PixelAt(gif, 4, 3).alpha, 0);
  // Pictures that fit already keep every colour, where a quantiser moved them: an 8-bit
  // grey ramp (white became #EAEAEA) and 240 colours of a 24-bit file.
  std::vector<Bytes> grey, colours;
  for (uint32_t y = 0; y < 16; ++y) {
    Bytes greyRow, colourRow;
    for (uint32_t x = 0; x < 16; ++x) {
      greyRow.push_back(uint8_t(y * 16 + x));
      colourRow.insert(colourRow.end(), {uint8_t(x * 17), uint8_t(y * 17), uint8_t(y < 15 ? x * y : 0)});
    }
    grey.push_back(greyRow);
    if (y < 15) colours.push_back(colourRow);
  }
  Image ramp = Convert("ramp.png", PngFile(16, 16, 8, 0, grey), u"PNG");
  Image few = Convert("few.png", PngFile(16, 15, 8, 2, colours), u"PNG");
  EXPECT_EQ(ImageBpp(few), 8u);
  for (uint32_t y = 0; y < 15; ++y)
    for (uint32_t x = 0; x < 16; ++x) {
      int level = int(y * 16 + x);
      ExpectPixel(ramp, x, y, Colour{level, level, level, 255});
      ExpectPixel(few, x, y, Colour{int(x * 17), int(y * 17), int(x * y), 255});
    }
  ExpectPixel(ramp, 15, 15, kWhite);
  // Partial transparency fits a PNG palette exactly.
  Image half = Convert("half.png", RgbaPng(4, {{kRed, Colour{0, 0, 255, 128}}}), u"PNG");
  ExpectPixel(half, 3, 0, Colour{0, 0, 255, 128});
}

// More than 256 colours: quantised, but what was clear stays clear, in PNG and GIF.
TEST_F(Faithful, QuantisedPicturesKeepWhatWasClear) {
  UsePalette();
  std::vector<Bytes> rows;
  for (uint32_t y = 0; y < 24; ++y) {
    Bytes row;
    for (uint32_t x = 0; x < 24; ++x)
      row.insert(row.end(), {uint8_t(x * 10), uint8_t(y * 10), uint8_t(x * y), uint8_t(x < 8 ? 0 : 255)});
    rows.push_back(row);
  }
  Bytes source = PngFile(24, 24, 8, 6, rows);
  for (const char16_t* target : {u"PNG", u"GIF"}) {
    SCOPED_TRACE(TextToUtf8(target));
    Image result = Convert("many.png", source, target);
    EXPECT_LE(ImageBpp(result), 8u);
    EXPECT_EQ(PixelAt(result, 2, 5).alpha, 0);
    EXPECT_EQ(PixelAt(result, 20, 5).alpha, 255);
  }
}

TEST_F(Faithful, ValidPicturesUnderFiftyBytesConvert) {
  for (const char* name : {"tiny.gif", "tiny.webp"}) {
    SCOPED_TRACE(name);
    Bytes bytes = CorpusFile(name);
    ASSERT_LT(bytes.size(), 50u);
    ExpectPixel(Convert(name, bytes, u"PNG"), 0, 0, kRed);
  }
}

// FreeImage's PNG writer fails on a text chunk whose keyword is only a blank, which its
// reader took in.
TEST_F(Faithful, PngWhoseTextCannotBeWrittenBackStillConverts) {
  Bytes text = {' ', 0, 'v', 'a', 'l', 'u', 'e'};
  Image result = Convert("noted.png", CornersPng({PngChunk("tEXt", text)}), u"PNG");
  ExpectPixel(result, 0, 0, kRed);
  ExpectPixel(result, 2, 1, kWhite);
}

TEST_F(Faithful, ThirtyTwoBitBmpWithEmptyAlphaIsOpaque) {
  WebpLossless();
  Bytes top = {0, 0, 255, 0, 127, 127, 127, 0, 0, 255, 0, 0}, bottom = {255, 0, 0, 0, 127, 127, 127, 0, 255, 255, 255, 0};
  Bytes bmp = BmpFile(3, 2, 32, 40, {top, bottom});
  for (const char16_t* target : {u"PNG", u"WEBP"}) {
    SCOPED_TRACE(TextToUtf8(target));
    Image result = Convert("plain32.bmp", bmp, target);
    ExpectPixel(result, 0, 0, kRed);
    ExpectPixel(result, 1, 1, kGrey);
    ExpectPixel(result, 2, 1, kWhite);
  }
}

TEST_F(Faithful, BmpsWithV4AndV5HeadersDecode) {
  Bytes top = {0, 0, 255, 127, 127, 127, 0, 255, 0}, bottom = {255, 0, 0, 127, 127, 127, 255, 255, 255};
  const struct {
    const char* name;
    Bytes bytes;
  } rows[] = {{"bmp-v5-24.bmp", CorpusFile("bmp-v5-24.bmp")},
              {"bmp-v5-32.bmp", CorpusFile("bmp-v5-32.bmp")},
              {"bmp-v5-8.bmp", CorpusFile("bmp-v5-8.bmp")},
              {"v4.bmp", BmpFile(3, 2, 24, 108, {top, bottom})}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Image result = Convert(row.name, row.bytes, u"PNG");
    ASSERT_TRUE(result);
    uint32_t right = ImageWidth(result) - 1, bottomRow = ImageHeight(result) - 1;
    ExpectPixel(result, 0, 0, kRed);
    ExpectPixel(result, right, 0, kGreen);
    ExpectPixel(result, 0, bottomRow, kBlue);
    ExpectPixel(result, right, bottomRow, kWhite);
  }
  // The alpha of a 32-bit V5 BMP is its own.
  ExpectPixel(Convert("bmp-v5-32.bmp", CorpusFile("bmp-v5-32.bmp"), u"PNG"), 2, 1, Colour{127, 127, 127, 128}, 1);
}

// FreeImage widens 1-, 2- and 4-bit grey to 8 bits but kept the transparent value narrow.
TEST_F(Faithful, LowDepthGreyPngsKeepTheirTransparentGrey) {
  WebpLossless();
  for (uint8_t bits : {1, 2, 4}) {
    // Samples: black, white (the transparent value), black, white.
    uint8_t white = static_cast<uint8_t>((1 << bits) - 1);
    Bytes row((4 * bits + 7) / 8, 0);
    for (int i : {1, 3}) row[i * bits / 8] |= static_cast<uint8_t>(white << (8 - bits - i * bits % 8));
    Bytes key = {0, white};
    Bytes png = PngFile(4, 1, bits, 0, {row}, {PngChunk("tRNS", key)});
    for (const char16_t* target : {u"PNG", u"WEBP"}) {
      SCOPED_TRACE(std::to_string(bits) + " bits to " + TextToUtf8(target));
      Image result = Convert("grey.png", png, target);
      ExpectPixel(result, 0, 0, Colour{0, 0, 0, 255});
      EXPECT_EQ(PixelAt(result, 1, 0).alpha, 0);
      EXPECT_EQ(PixelAt(result, 3, 0).alpha, 0);
    }
  }
}

TEST_F(Faithful, TransparencyIsLaidOnWhiteWhenTheTargetHasNoAlpha) {
  // 16 x 16 blocks, so JPEG's blocks hold one colour each: clear, half red, blue.
  Colour clear{0, 0, 0, 0}, halfRed{255, 0, 0, 128};
  std::vector<std::vector<Colour>> rows(16, {clear, halfRed, kBlue});
  Bytes source = RgbaPng(48, rows);
  Image exact = Convert("alpha.png", source, u"PPM");
  ExpectPixel(exact, 8, 8, kWhite);
  ExpectPixel(exact, 24, 8, Colour{255, 127, 127, 255});
  ExpectPixel(exact, 40, 8, kBlue);
  Image jpeg = Convert("alpha.png", source, u"JPG");
  ExpectPixel(jpeg, 8, 8, kWhite, 3);
  ExpectPixel(jpeg, 24, 8, Colour{255, 127, 127, 255}, 3);
  // Targets that keep alpha keep it as it was.
  Image png = Convert("alpha.png", source, u"PNG");
  ExpectPixel(png, 24, 8, halfRed);
  EXPECT_EQ(PixelAt(png, 8, 8).alpha, 0);
  // A GIF's transparent index as well.
  ExpectPixel(Convert("clear.gif", CorpusFile("clear.gif"), u"PPM"), 4, 3, kWhite);
}

// The EXIF chunk holds the TIFF structure alone (not a JPEG segment's "Exif\0\0"), kept
// upright, and XMP stays.
TEST_F(Faithful, WebpKeepsExifAndXmpInTheirOwnForm) {
  Bytes jpeg = SampleBytes(SampleKind::Rgb24, 16, 8, kFormatJpeg);
  Bytes exif = {'E', 'x', 'i', 'f', 0, 0};
  Bytes tiff = TiffExif(6);
  exif.insert(exif.end(), tiff.begin(), tiff.end());
  std::string xmpText = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>kept</x:xmpmeta>";
  Bytes xmp(std::begin("http://ns.adobe.com/xap/1.0/"), std::end("http://ns.adobe.com/xap/1.0/"));
  xmp.insert(xmp.end(), xmpText.begin(), xmpText.end());
  Bytes withMetadata(jpeg.begin(), jpeg.begin() + 2);
  for (const Bytes* segment : {&exif, &xmp}) {
    withMetadata.insert(withMetadata.end(), {0xFF, 0xE1});
    Put16(&withMetadata, static_cast<uint32_t>(segment->size() + 2), true);
    withMetadata.insert(withMetadata.end(), segment->begin(), segment->end());
  }
  withMetadata.insert(withMetadata.end(), jpeg.begin() + 2, jpeg.end());
  Image result = Convert("photo.jpg", withMetadata, u"WEBP");
  EXPECT_EQ(ImageWidth(result), 8u);
  std::string out = scratch.Read("photo_c.webp");
  const auto* data = reinterpret_cast<const uint8_t*>(out.data());
  ByteSpan exifChunk = FindWebpChunk(data, out.size(), "EXIF"), xmpChunk = FindWebpChunk(data, out.size(), "XMP ");
  ASSERT_TRUE(exifChunk);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(exifChunk.data), 4), std::string("II*\0", 4));
  EXPECT_EQ(ReadExifOrientation(exifChunk.data, exifChunk.size), 1);
  ASSERT_TRUE(xmpChunk);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(xmpChunk.data), xmpChunk.size), xmpText);
  ByteSpan header = FindWebpChunk(data, out.size(), "VP8X");
  ASSERT_TRUE(header);
  EXPECT_EQ(header.data[0], 0x08 | 0x04);  // EXIF and XMP, no alpha
}

// A colour profile (a bare header of 132 bytes, no tags) goes from a JPEG into the WebP.
TEST_F(Faithful, WebpKeepsTheColourProfile) {
  Bytes profile;
  Put32(&profile, 132, true);
  Put32(&profile, 0, true);
  Put32(&profile, 0x02100000, true);
  for (const char* text : {"mntr", "RGB ", "XYZ "}) profile.insert(profile.end(), text, text + 4);
  profile.resize(36, 0);
  profile.insert(profile.end(), {'a', 'c', 's', 'p'});
  profile.resize(68, 0);
  for (uint32_t v : {0xF6D6u, 0x10000u, 0xD32Du}) Put32(&profile, v, true);  // D50
  profile.resize(132, 0);
  Bytes segment(std::begin("ICC_PROFILE"), std::end("ICC_PROFILE"));
  segment.insert(segment.end(), {1, 1});  // part 1 of 1
  segment.insert(segment.end(), profile.begin(), profile.end());
  Bytes jpeg = SampleBytes(SampleKind::Rgb24, 8, 8, kFormatJpeg), profiled(jpeg.begin(), jpeg.begin() + 2);
  profiled.insert(profiled.end(), {0xFF, 0xE2});
  Put16(&profiled, static_cast<uint32_t>(segment.size() + 2), true);
  profiled.insert(profiled.end(), segment.begin(), segment.end());
  profiled.insert(profiled.end(), jpeg.begin() + 2, jpeg.end());
  Convert("profiled.jpg", profiled, u"WEBP");
  std::string out = scratch.Read("profiled_c.webp");
  const auto* data = reinterpret_cast<const uint8_t*>(out.data());
  ByteSpan kept = FindWebpChunk(data, out.size(), "ICCP");
  ASSERT_TRUE(kept);
  EXPECT_EQ(Bytes(kept.data, kept.data + kept.size), profile);
  EXPECT_EQ(FindWebpChunk(data, out.size(), "VP8X").data[0], 0x20);
}

TEST_F(Faithful, LosslessWebpKeepsEveryPixelAndLossyFollowsTheQuality) {
  Bytes source = SampleBytes(SampleKind::Rgba32, 37, 23, kFormatPng);
  int32_t error = 0;
  Image original = LoadImageFromBuffer(source.data(), static_cast<uint32_t>(source.size()), &error);
  WebpLossless();
  Image lossless = Convert("sample.png", source, u"WEBP");
  ASSERT_TRUE(lossless);
  for (uint32_t y = 0; y < 23; ++y)
    for (uint32_t x = 0; x < 37; ++x) {
      PaletteEntry a = PixelAt(original, x, y), b = PixelAt(lossless, x, y);
      if (a.alpha == 0) continue;  // libwebp may change the colour under full transparency
      ASSERT_TRUE(a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha) << x << "," << y;
    }
  size_t sizes[2] = {};
  for (int i = 0; i < 2; ++i) {
    gAppSettings.SaveFlags[kFormatWebp] = i == 0 ? 10 : 95;
    Convert("sample.png", source, u"WEBP");
    sizes[i] = scratch.Read("sample_c.webp").size();
  }
  EXPECT_LT(sizes[0], sizes[1]);
}

}  // namespace
