// Files FreeImage's readers misread while reporting success, refused although their
// pictures are plain, or failed with the wrong reason: each must decode to what other
// readers show, or fail with the reason that is true.
#include <lcms2.h>

#include <cstring>

#include "engine/codecs/container_chunks.h"
#include "engine/codecs/decode.h"
#include "engine/codecs/pixel_forms.h"
#include "engine/codecs/xmp_orientation.h"
#include "engine/run/convert_errors.h"
#include "tests/conversion_fixture.h"
#include "tests/picture_bytes.h"
#include "tests/pixel_checks.h"

namespace {

Bytes Le16(uint32_t v) {
  Bytes b;
  Put16(&b, v);
  return b;
}

Bytes Le32(uint32_t v) {
  Bytes b;
  Put32(&b, v);
  return b;
}

Bytes Joined(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Image Decoded(const Bytes& bytes, int32_t* error) {
  *error = 0;
  return LoadImageFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), error);
}

// The 40 bytes every Windows info header begins with.
Bytes InfoHeader(uint32_t headerSize, uint32_t width, int32_t height, uint16_t bpp, uint32_t compression,
                 uint32_t colours = 0) {
  Bytes info;
  Put32(&info, headerSize), Put32(&info, width), Put32(&info, static_cast<uint32_t>(height));
  Put16(&info, 1), Put16(&info, bpp), Put32(&info, compression), Put32(&info, 0);
  Put32(&info, 2835), Put32(&info, 2835), Put32(&info, colours), Put32(&info, 0);
  return info;
}

// A BMP file around an info header (padded to headerSize), what follows it and pixels.
Bytes BmpAround(Bytes info, uint32_t headerSize, const Bytes& afterHeader, const Bytes& pixels) {
  if (info.size() < headerSize) info.resize(headerSize, 0);
  Bytes between = Joined({info, afterHeader});
  Bytes b = {'B', 'M'};
  Put32(&b, static_cast<uint32_t>(14 + between.size() + pixels.size()));
  Put32(&b, 0);
  Put32(&b, static_cast<uint32_t>(14 + between.size()));
  return Joined({b, between, pixels});
}

// Bit-field pixels, rows bottom first: the masks follow a 40-byte header, or stand
// inside a longer one where it keeps them.
Bytes BitFieldBmp(uint32_t headerSize, uint16_t bpp, uint32_t compression, const std::vector<uint32_t>& masks,
                  uint32_t width, const std::vector<Bytes>& rowsTopFirst) {
  Bytes maskBytes;
  for (uint32_t m : masks) Put32(&maskBytes, m);
  uint32_t stride = (width * bpp / 8 + 3) & ~3u;
  Bytes pixels;
  for (size_t r = rowsTopFirst.size(); r-- > 0;) {
    Bytes row = rowsTopFirst[r];
    row.resize(stride, 0);
    pixels.insert(pixels.end(), row.begin(), row.end());
  }
  Bytes info = InfoHeader(headerSize, width, static_cast<int32_t>(rowsTopFirst.size()), bpp, compression);
  if (headerSize == 40) return BmpAround(info, 40, maskBytes, pixels);
  return BmpAround(Joined({info, maskBytes}), headerSize, {}, pixels);
}

TEST(MisreadBmp, BitFieldMasksAreAppliedWhateverTheLayout) {
  const struct {
    const char* what;
    uint32_t headerSize;
    uint16_t bpp;
    uint32_t compression;
    std::vector<uint32_t> masks;
    Bytes pixels;  // two pixels, one row
    Colour first, second;
  } rows[] = {
      // The padding byte is no alpha: FreeImage took 0x7F for it.
      {"X8R8G8B8", 40, 32, 3, {0xFF0000, 0xFF00, 0xFF}, {0x33, 0x22, 0x11, 0x7F, 0xFF, 0, 0, 0}, {0x11, 0x22, 0x33, 255}, kBlue},
      {"A1R5G5B5", 124, 16, 3, {0x7C00, 0x3E0, 0x1F, 0x8000}, Joined({Le16(0xFC00), Le16(0x03E0)}), kRed, {0, 255, 0, 0}},
      {"A4R4G4B4", 40, 16, 6, {0xF00, 0xF0, 0xF, 0xF000}, Joined({Le16(0x8F84), Le16(0xF00F)}), {255, 136, 68, 136}, kBlue},
      {"R10G10B10", 108, 32, 3, {0x3FF00000, 0xFFC00, 0x3FF, 0}, Joined({Le32(0x3FF80000), Le32(0x000003FF)}), {255, 128, 0, 255}, kBlue},
      {"B8G8R8A8 turned around", 56, 32, 3, {0xFF00, 0xFF0000, 0xFF000000, 0xFF}, {0x80, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF},
       {255, 0, 0, 128}, {0, 0, 255, 255}},
      {"R5G6B5", 40, 16, 3, {0xF800, 0x7E0, 0x1F}, Joined({Le16(0xF800), Le16(0xFFFF)}), kRed, kWhite},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    int32_t error = 0;
    Image image = Decoded(BitFieldBmp(row.headerSize, row.bpp, row.compression, row.masks, 2, {row.pixels}), &error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(ImageHasAlpha(image), row.masks.size() == 4 && row.masks[3] != 0);
    ExpectPixel(image, 0, 0, row.first);
    ExpectPixel(image, 1, 0, row.second);
  }
}

TEST(MisreadBmp, PixelsCutShortOrMasksThatOverlapAreNamed) {
  Bytes cutMasks = BitFieldBmp(124, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0}, 4, {Bytes(16, 9), Bytes(16, 9)});
  cutMasks.resize(cutMasks.size() - 10);
  Bytes overlapping = BitFieldBmp(40, 16, 3, {0xF800, 0x0FE0, 0x1F}, 2, {Bytes(4, 0)});
  Bytes scattered = BitFieldBmp(40, 16, 3, {0xA000, 0x07E0, 0x1F}, 2, {Bytes(4, 0)});
  // A plain 24-bit BMP that ends half-way: FreeImage decoded it as whole.
  Bytes cutPlain = BmpFile(4, 4, 24, 40, std::vector<Bytes>(4, Bytes(12, 200)));
  cutPlain.resize(cutPlain.size() - 20);
  const struct {
    const char* what;
    const Bytes* bytes;
    int32_t error;
  } rows[] = {{"masks, cut", &cutMasks, kErrorTruncated},
              {"overlapping masks", &overlapping, kErrorDamaged},
              {"a mask not one run", &scattered, kErrorDamaged},
              {"plain, cut", &cutPlain, kErrorTruncated}};
  for (const auto& row : rows) {
    int32_t error = 0;
    EXPECT_FALSE(Decoded(*row.bytes, &error)) << row.what;
    EXPECT_EQ(error, row.error) << row.what;
  }
}

// A palette of red, green, blue, white and the rest black.
Bytes FourColours(uint32_t entries) {
  Bytes table = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};
  table.resize(entries * 4, 0);
  return table;
}

Bytes RleBmp(uint32_t headerSize, uint16_t bpp, uint32_t width, int32_t height, const Bytes& runs) {
  uint32_t entries = 1u << bpp;
  return BmpAround(InfoHeader(headerSize, width, height, bpp, bpp == 8 ? 1 : 2, entries), headerSize,
                   FourColours(entries), runs);
}

// ImageMagick ends every row, the last among them, before it ends the picture, which
// FreeImage refused; under the V5 header it refused every run-length file.
TEST(MisreadBmp, RunLengthFilesDecodeWithEveryHeaderAndKindOfRun) {
  for (const char* name : {"bmp-rle8.bmp", "bmp-v5-rle8.bmp"}) {
    SCOPED_TRACE(name);
    int32_t error = 0;
    Image image = Decoded(CorpusFile(name), &error);
    ASSERT_TRUE(image) << error;
    ExpectPixel(image, 0, 0, kRed);
    ExpectPixel(image, 5, 0, kGreen);
    ExpectPixel(image, 0, 3, kBlue);
    ExpectPixel(image, 5, 3, kWhite);
    ExpectPixel(image, 2, 2, kGrey, 1);
  }
  // RLE4: a run alternates its two nibbles (here alike); bottom row first.
  Bytes rle4 = {2, 0x22, 2, 0x33, 0, 0, 2, 0x00, 2, 0x11, 0, 0, 0, 1};
  // RLE8: three indices as they are (padded to an even count), a skip of one row, and
  // the end left out after the last row.
  Bytes rle8 = {0, 3, 0, 1, 2, 0, 0, 0, 0, 2, 0, 1, 3, 3};
  const struct {
    const char* what;
    Bytes bytes;
    Colour corners[4];  // top left, top right, bottom left, bottom right
  } rows[] = {
      {"RLE4", RleBmp(40, 4, 4, 2, rle4), {kRed, kGreen, kBlue, kWhite}},
      {"RLE8 with a skip", RleBmp(108, 8, 3, 3, rle8), {kWhite, kWhite, kRed, kBlue}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    int32_t error = 0;
    Image image = Decoded(row.bytes, &error);
    ASSERT_TRUE(image) << error;
    uint32_t right = ImageWidth(image) - 1, bottom = ImageHeight(image) - 1;
    ExpectPixel(image, 0, 0, row.corners[0]);
    ExpectPixel(image, right, 0, row.corners[1]);
    ExpectPixel(image, 0, bottom, row.corners[2]);
    ExpectPixel(image, right, bottom, row.corners[3]);
  }
  int32_t error = 0;
  EXPECT_FALSE(Decoded(RleBmp(40, 8, 3, 3, {3, 1, 0, 0}), &error));  // two rows never laid down
  EXPECT_EQ(error, kErrorTruncated);
  // Runs may fill a row up to its stored width (4 bytes for 3 pixels), not past it.
  Image padded = Decoded(RleBmp(40, 8, 3, 1, {4, 1, 0, 1}), &error);
  ASSERT_TRUE(padded) << error;
  ExpectPixel(padded, 2, 0, kGreen);
  EXPECT_FALSE(Decoded(RleBmp(40, 8, 3, 1, {5, 1, 0, 1}), &error));
  EXPECT_EQ(error, kErrorDamaged);
}

// OS/2 2.x headers and bitmaps without their file header, as the clipboard keeps them.
TEST(MisreadBmp, OtherHeadersAndBareBitmapsDecode) {
  std::vector<Bytes> rows = {{0, 0, 255, 0, 255, 0}, {255, 0, 0, 255, 255, 255}};
  Bytes bare = BmpFile(2, 2, 24, 40, rows);
  bare.erase(bare.begin(), bare.begin() + 14);
  const struct {
    const char* what;
    Bytes bytes;
  } files[] = {{"OS/2 64", BmpFile(2, 2, 24, 64, rows)}, {"OS/2 16", BmpFile(2, 2, 24, 16, rows)}, {"bare", bare}};
  for (const auto& file : files) {
    SCOPED_TRACE(file.what);
    int32_t error = 0;
    Image image = Decoded(file.bytes, &error);
    ASSERT_TRUE(image) << error;
    ExpectPixel(image, 0, 0, kRed);
    ExpectPixel(image, 1, 0, kGreen);
    ExpectPixel(image, 0, 1, kBlue);
    ExpectPixel(image, 1, 1, kWhite);
    PictureHeader header;
    ReadPictureHeader(file.bytes.data(), static_cast<uint32_t>(file.bytes.size()), &header);
    EXPECT_TRUE(header.known && header.width == 2 && header.height == 2);
  }
}

// One 2 x 2 true-colour image (red, green / blue, white) whose AND mask clears the top
// right pixel; an icon (type 1) or a cursor (type 2, a hot spot in the directory).
Bytes IconFile(uint16_t type) {
  Bytes image = InfoHeader(40, 2, 4, 24, 0);  // the height counts the mask too
  Bytes bottom = {255, 0, 0, 255, 255, 255, 0, 0}, top = {0, 0, 255, 0, 255, 0, 0, 0};
  Bytes mask = {0x00, 0, 0, 0, 0x40, 0, 0, 0};  // bottom row, then the top one
  image = Joined({image, bottom, top, mask});
  Bytes file = Joined({Le16(0), Le16(type), Le16(1), {2, 2, 0, 0}, Le16(1), Le16(type == 1 ? 24 : 1),
                       Le32(static_cast<uint32_t>(image.size())), Le32(22)});
  return Joined({file, image});
}

TEST(MisreadIcons, TheAndMaskIsTransparencyInIconsAndCursors) {
  for (uint16_t type : {1, 2}) {
    SCOPED_TRACE(type == 1 ? "icon" : "cursor");
    int32_t error = 0;
    Image image = Decoded(IconFile(type), &error);
    ASSERT_TRUE(image) << error;
    ExpectPixel(image, 0, 0, kRed);
    EXPECT_EQ(PixelAt(image, 1, 0).alpha, 0);
    ExpectPixel(image, 0, 1, kBlue);
    ExpectPixel(image, 1, 1, kWhite);
  }
  // A TGA begins as a cursor does; without a bitmap where the directory points, it stays one.
  Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 10, 20, 30};
  int32_t error = 0;
  Image image = Decoded(tga, &error);
  ASSERT_TRUE(image) << error;
  ExpectPixel(image, 0, 0, {30, 20, 10, 255});
}

// A GIF's first frame is a part of its screen, where every viewer puts it.
TEST(MisreadGif, TheFirstFrameLiesOnItsScreen) {
  Bytes gif = CorpusFile("gif-small-frame.gif");
  PictureHeader header;
  ReadPictureHeader(gif.data(), static_cast<uint32_t>(gif.size()), &header);
  EXPECT_TRUE(header.known);
  EXPECT_EQ(header.width, 40u);
  EXPECT_EQ(header.height, 40u);
  int32_t error = 0;
  Image image = Decoded(gif, &error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(ImageWidth(image), 40u);
  EXPECT_EQ(ImageHeight(image), 40u);
  EXPECT_EQ(PixelAt(image, 9, 5).alpha, 0);
  ExpectPixel(image, 10, 5, kRed);
  ExpectPixel(image, 25, 20, kRed);
  EXPECT_EQ(PixelAt(image, 26, 20).alpha, 0);
  EXPECT_EQ(PixelAt(image, 25, 21).alpha, 0);
  // A frame that fills its screen is left as it is: a palette picture.
  Image whole = Decoded(CorpusFile("clear.gif"), &error);
  ASSERT_TRUE(whole);
  EXPECT_LE(ImageBpp(whole), 8u);
}

// Every pixel as libjpeg's accurate transform with smooth chroma gives it.
TEST(MisreadJpeg, DecodesAsOtherViewersShowIt) {
  int32_t error = 0;
  Image ours = Decoded(CorpusFile("plasma.jpg"), &error);
  Image reference = Decoded(CorpusFile("plasma-accurate.png"), &error);
  ASSERT_TRUE(ours && reference);
  ASSERT_EQ(ImageWidth(ours), ImageWidth(reference));
  ASSERT_EQ(ImageHeight(ours), ImageHeight(reference));
  int differing = 0;
  for (uint32_t y = 0; y < ImageHeight(ours); ++y)
    for (uint32_t x = 0; x < ImageWidth(ours); ++x) {
      PaletteEntry a = PixelAt(ours, x, y), b = PixelAt(reference, x, y);
      differing += a.red != b.red || a.green != b.green || a.blue != b.blue;
    }
  EXPECT_EQ(differing, 0);
}

Bytes HugeScreen(Bytes gif) {
  for (size_t i = 6; i < 10; ++i) gif[i] = 0xFF;
  return gif;
}

Bytes CutAt(Bytes bytes, size_t keep) {
  bytes.resize(keep);
  return bytes;
}

// The reason a file fails is the one that is true: the format is not "unsupported"
// when the file is damaged or cut, nor when the picture is too long for the target.
TEST_F(ConversionTest, FailuresNameTheirTrueReason) {
  Bytes tallRow(1, 0);
  Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0};
  tga.resize(tga.size() + 20, 7);  // of 48 bytes of pixels
  Bytes rleTga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0, 0x83, 1, 2, 3};  // 4 of 16 pixels
  const struct {
    const char* name;
    Bytes bytes;
    const char16_t* target;
    int32_t error;
    const char16_t* detailHas;
  } rows[] = {
      {"broken.png", Joined({{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, Bytes(80, 0x11)}), u"JPG", kErrorDamaged, u""},
      {"cut.gif", CutAt(CorpusFile("gif-small-frame.gif"), 40), u"JPG", kErrorTruncated, u""},
      {"signed.tif", CorpusFile("signed-16.tif"), u"JPG", kErrorNotReadable, u""},
      {"cut.tga", tga, u"PNG", kErrorTruncated, u""},
      {"cut-rle.tga", rleTga, u"PNG", kErrorTruncated, u""},
      {"tall.png", PngFile(1, 65537, 8, 0, std::vector<Bytes>(65537, tallRow)), u"JPG", kErrorTooLarge, u"65535"},
      // A 16 x 16 frame on a screen of 65535 x 65535: refused from the header, not laid on
      // a canvas of 17 GB.
      {"huge-screen.gif", HugeScreen(CorpusFile("gif-small-frame.gif")), u"PNG", kErrorTooLarge, u"Мпикс"},
      {"tall-webp.png", PngFile(1, 16384, 8, 0, std::vector<Bytes>(16384, tallRow)), u"WEBP", kErrorTooLarge, u"16383"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    WriteBytes(scratch, row.name, row.bytes);
    FileListClear();
    ResetBoxes();
    AddEntry(scratch, row.name);
    SetTarget(row.target);
    RunResult result = RunConversion();
    EXPECT_EQ(result.failed, 1);
    ASSERT_EQ(gShownBoxes.size(), 1u);
    EXPECT_EQ(BoxReason(0), ConvertErrorReason(row.error));
    EXPECT_NE(gShownBoxes[0].text.find(row.detailHas), Text::npos) << TextToUtf8(gShownBoxes[0].text);
  }
}

}  // namespace

namespace {

TEST(XmpOrientation, EveryFormOfTheTagSaysUpright) {
  const struct {
    std::string packet, mended;
    bool changed;
  } rows[] = {
      {R"(<rdf:Description tiff:Orientation="6"/>)", R"(<rdf:Description tiff:Orientation="1"/>)", true},
      {"<x tiff:Orientation = '8' />", "<x tiff:Orientation = '1' />", true},
      {"<tiff:Orientation>3</tiff:Orientation>", "<tiff:Orientation>1</tiff:Orientation>", true},
      {"<tiff:Orientation> 1 </tiff:Orientation>", "<tiff:Orientation> 1 </tiff:Orientation>", false},
      {R"(<a tiff:Orientation="5"/><b tiff:Orientation="7"/>)", R"(<a tiff:Orientation="1"/><b tiff:Orientation="1"/>)", true},
      {R"(<a tiff:Orientation="6)", R"(<a tiff:Orientation="6)", false},  // cut: left alone
      {"<a exif:PixelXDimension=\"6\"/>", "<a exif:PixelXDimension=\"6\"/>", false},
  };
  for (const auto& row : rows) {
    std::string packet = row.packet;
    EXPECT_EQ(MendXmpOrientation(&packet), row.changed) << row.packet;
    EXPECT_EQ(packet, row.mended);
  }
}

// The pixels stay as stored (no EXIF names a turn), as other readers show them; the XMP
// kept in the result must not make a viewer turn them.
TEST_F(ConversionTest, KeptXmpSaysUpright) {
  std::string xmp = R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
                    R"(<rdf:Description xmlns:tiff="http://ns.adobe.com/tiff/1.0/" tiff:Orientation="6"/></rdf:RDF></x:xmpmeta>)";
  Bytes itxt = {'X', 'M', 'L', ':', 'c', 'o', 'm', '.', 'a', 'd', 'o', 'b', 'e', '.', 'x', 'm', 'p', 0, 0, 0, 0, 0};
  itxt.insert(itxt.end(), xmp.begin(), xmp.end());
  Bytes png = PngFile(2, 1, 8, 2, {{255, 0, 0, 0, 255, 0}}, {PngChunk("iTXt", itxt)});
  for (const char16_t* target : {u"JPG", u"PNG"}) {
    SCOPED_TRACE(TextToUtf8(target));
    WriteBytes(scratch, "noted.png", png);
    FileListClear();
    AddEntry(scratch, "noted.png");
    SetTarget(target);
    ASSERT_EQ(RunConversion().converted, 1);
    std::string result = scratch.Read(std::string("noted_c.") + (target[0] == u'J' ? "jpg" : "png"));
    EXPECT_NE(result.find(R"(tiff:Orientation="1")"), std::string::npos);
    EXPECT_EQ(result.find(R"(tiff:Orientation="6")"), std::string::npos);
  }
}

}  // namespace

namespace {

Bytes GammaChunk(uint32_t gamma) {
  Bytes body;
  Put32(&body, gamma, true);
  return PngChunk("gAMA", body);
}

class FileGamma : public ConversionTest {
 protected:
  std::string ConvertTo(const Bytes& png, const char16_t* target, const char* ext) {
    WriteBytes(scratch, "g.png", png);
    FileListClear();
    AddEntry(scratch, "g.png");
    SetTarget(target);
    EXPECT_EQ(RunConversion().converted, 1);
    return scratch.Read(std::string("g_c.") + ext);
  }
  static Image Opened(const std::string& bytes) {
    int32_t error = 0;
    return LoadImageFromBuffer(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
                               &error);
  }
};

// Linear samples (gamma 1.0): a PNG result is the same samples with the same gAMA; a
// WEBP result shows them as the reader always did, raised for a 2.2 display.
TEST_F(FileGamma, PngKeepsSamplesAndChunkOtherFormatsLookTheSame) {
  Bytes png = PngFile(2, 1, 8, 2, {{128, 64, 255, 0, 0, 0}}, {GammaChunk(100000)});
  std::string asPng = ConvertTo(png, u"PNG", "png");
  ExpectPixel(Opened(asPng), 0, 0, {128, 64, 255, 255});
  ByteSpan gamma = FindPngChunk(reinterpret_cast<const uint8_t*>(asPng.data()), asPng.size(), "gAMA");
  ASSERT_TRUE(gamma);
  EXPECT_EQ(Bytes(gamma.data, gamma.data + gamma.size), (Bytes{0, 1, 0x86, 0xA0}));
  SetFlag(gAppSettings.SaveFlags[kFormatWebp], 0x100);  // lossless
  ExpectPixel(Opened(ConvertTo(png, u"WEBP", "webp")), 0, 0, {186, 136, 255, 255}, 1);
  // Near a 2.2 display's (0.45455), the reader left the samples alone, and still does.
  Bytes srgbLike = PngFile(1, 1, 8, 2, {{128, 64, 255}}, {GammaChunk(45455)});
  ExpectPixel(Opened(ConvertTo(srgbLike, u"WEBP", "webp")), 0, 0, {128, 64, 255, 255});
}

// The transparent grey of tRNS is a stored sample value: raised by the gamma, no
// sample matched it any more.
TEST_F(FileGamma, TransparentGreyStillMatchesItsSamples) {
  for (uint8_t bits : {8, 2}) {
    SCOPED_TRACE(int(bits));
    uint8_t clear = bits == 8 ? 100 : 1, solid = bits == 8 ? 200 : 3;
    Bytes row = bits == 8 ? Bytes{clear, solid} : Bytes{uint8_t(clear << 6 | solid << 4)};
    Bytes png = PngFile(2, 1, bits, 0, {row}, {GammaChunk(100000), PngChunk("tRNS", {0, clear})});
    Image result = Opened(ConvertTo(png, u"PNG", "png"));
    ASSERT_TRUE(result);
    EXPECT_EQ(PixelAt(result, 0, 0).alpha, 0);
    EXPECT_EQ(PixelAt(result, 1, 0).alpha, 255);
  }
}

}  // namespace

namespace {

// Float samples are on 0..1: scaled, not tone-mapped as a high-range picture (which
// gave 255,242,0 for 255,128,0 and lost the alpha).
TEST(MisreadTiff, FloatSamplesAreScaledWithTheirAlpha) {
  int32_t error = 0;
  Image rgb = Decoded(CorpusFile("float-rgb.tif"), &error);
  ASSERT_TRUE(rgb) << error;
  ExpectPixel(rgb, 0, 0, {255, 128, 0, 255});
  Image rgba = Decoded(CorpusFile("float-rgba.tif"), &error);
  ASSERT_TRUE(rgba) << error;
  ExpectPixel(rgba, 3, 1, {255, 128, 0, 128}, 1);
}

// Stored as 100,50,25 at one half (8 bits rounds the product): the colour is 200,100,50.
TEST(MisreadTiff, AssociatedAlphaIsDividedOut) {
  for (const char* name : {"assoc-alpha-8.tif", "assoc-alpha-16.tif"}) {
    SCOPED_TRACE(name);
    int32_t error = 0;
    Image image = Decoded(CorpusFile(name), &error);
    ASSERT_TRUE(image) << error;
    if (!IsStandardBitmap(image)) image = ConvertToStandardBitmap(image);
    ExpectPixel(image, 1, 0, {200, 100, 50, 128}, 1);
  }
}

}  // namespace

namespace {

// A TGA header: no image id, colour map (first index, length, bits) when mapBits > 0.
Bytes TgaHeader(uint8_t type, uint32_t width, uint32_t height, uint8_t bpp, uint8_t descriptor,
                uint32_t mapFirst = 0, uint32_t mapLength = 0, uint8_t mapBits = 0) {
  Bytes h = {0, uint8_t(mapBits ? 1 : 0), type};
  Put16(&h, mapFirst), Put16(&h, mapLength), h.push_back(mapBits);
  Put16(&h, 0), Put16(&h, 0), Put16(&h, width), Put16(&h, height);
  h.push_back(bpp), h.push_back(descriptor);
  return h;
}

TEST(MisreadTga, GreyWithAlphaAndOtherColourMapsDecode) {
  const struct {
    const char* what;
    Bytes bytes;
    Colour first, second;  // the bottom row's two pixels (rows stored bottom first)
  } rows[] = {
      {"grey and alpha", Joined({TgaHeader(3, 2, 1, 16, 8), {100, 0, 200, 255}}), {100, 100, 100, 0}, {200, 200, 200, 255}},
      {"grey and alpha, run-length", Joined({TgaHeader(11, 2, 1, 16, 8), {0x81, 50, 128}}), {50, 50, 50, 128}, {50, 50, 50, 128}},
      {"15-bit colour map", Joined({TgaHeader(1, 2, 1, 8, 0, 0, 2, 15), Le16(31 << 10), Le16(31 << 5), {0, 1}}), kRed, kGreen},
      {"colour map from index 5", Joined({TgaHeader(1, 2, 1, 8, 0, 5, 2, 24), {0, 0, 255, 0, 255, 0}, {6, 5}}), kGreen, kRed},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    int32_t error = 0;
    Image image = Decoded(row.bytes, &error);
    ASSERT_TRUE(image) << error;
    PaletteEntry first = PixelAt(image, 0, 0);
    if (row.first.alpha == 0) EXPECT_EQ(first.alpha, 0);  // a clear pixel's colour is no one's business
    else ExpectPixel(image, 0, 0, row.first);
    ExpectPixel(image, 1, 0, row.second);
  }
  int32_t error = 0;
  Bytes outside = Joined({TgaHeader(1, 2, 1, 8, 0, 5, 2, 24), {0, 0, 255, 0, 255, 0}, {6, 9}});
  EXPECT_FALSE(Decoded(outside, &error));
  EXPECT_EQ(error, kErrorDamaged);
}

}  // namespace

namespace {

// Four 8-bit planes a row (red, green, blue, alpha), run-length coded; FreeImage's reader
// refused them as a "parsing error", which read as a damaged file.
TEST(MisreadPcx, FourPlanesOfEightBitsAreColourAndAlpha) {
  Bytes header(128, 0);
  header[0] = 10, header[1] = 5, header[2] = 1, header[3] = 8;
  header[8] = 1;  // xmax: two pixels
  header[65] = 4, header[66] = 2;  // planes, bytes a plane's row
  // Red, green, blue, alpha planes; 255 takes a run (0xC1 0xFF) as any byte from 0xC0 does.
  Bytes runs = {0xC1, 255, 0, 0, 0, 0, 0, 0xC1, 255, 0};
  int32_t error = 0;
  Image image = Decoded(Joined({header, runs}), &error);
  ASSERT_TRUE(image) << error;
  ExpectPixel(image, 0, 0, kRed);
  EXPECT_EQ(PixelAt(image, 1, 0).alpha, 0);
  EXPECT_FALSE(Decoded(Joined({header, {0xC1, 255, 0, 0}}), &error));
  EXPECT_EQ(error, kErrorTruncated);
}

}  // namespace

namespace {

// An Adobe RGB-like profile, made by lcms2.
Bytes AdobeLikeProfile() {
  cmsCIExyY white = {0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.19921875);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  Bytes bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  cmsFreeToneCurve(gamma);
  return bytes;
}

// The profile of a colour PNG reaches every result; a grey PNG's grey profile would not
// describe a colour JPG and stays behind.
TEST_F(ConversionTest, APngProfileReachesTheResults) {
  Bytes profile = AdobeLikeProfile();
  Bytes png = PngFile(2, 1, 8, 2, {{200, 100, 50, 10, 20, 30}}, {IccpChunk(profile)});
  int32_t error = 0;
  EXPECT_EQ(ImageProfile(Decoded(png, &error)), profile);
  for (const char16_t* target : {u"JPG", u"PNG", u"WEBP"}) {
    SCOPED_TRACE(TextToUtf8(target));
    WriteBytes(scratch, "adobe.png", png);
    FileListClear();
    AddEntry(scratch, "adobe.png");
    SetTarget(target);
    ASSERT_EQ(RunConversion().converted, 1);
    std::string ext = TextToUtf8(ToLower(target));
    std::string result = scratch.Read("adobe_c." + ext);
    Bytes bytes(result.begin(), result.end());
    EXPECT_EQ(ImageProfile(Decoded(bytes, &error)), profile);
  }
  Bytes grey = AdobeLikeProfile();
  std::memcpy(grey.data() + 16, "GRAY", 4);
  EXPECT_TRUE(ImageProfile(Decoded(PngFile(1, 1, 8, 0, {{7}}, {IccpChunk(grey)}), &error)).empty());
}

std::string Converted(const ScratchFolder& scratch, const std::string& name, const Bytes& bytes) {
  WriteBytes(scratch, name, bytes);
  FileListClear();
  AddEntry(scratch, name);
  EXPECT_EQ(RunConversion().converted, 1) << name;
  return scratch.Read(name.substr(0, name.rfind('.')) + "_c.jpg");
}

// The resize and the narrowing of 16-bit samples made new pictures without the profile
// (a ProPhoto scan came out very dull); a profile that does not describe RGB pixels (a
// CMYK JPEG's, once decoded to RGB) is not carried onto the new picture.
TEST_F(ConversionTest, TheProfileSurvivesResizeAndNarrowingWhenItDescribesThePixels) {
  Bytes profile = AdobeLikeProfile();
  SetTarget(u"JPG");
  gAppSettings.ResizeMode = 2;  // by percent
  gAppSettings.ScalePercent = 50;
  Bytes rows(8 * 3, 120);
  Bytes png = PngFile(8, 4, 8, 2, std::vector<Bytes>(4, rows), {IccpChunk(profile)});
  Bytes deep = PngFile(8, 4, 16, 2, std::vector<Bytes>(4, Bytes(8 * 6, 120)), {IccpChunk(profile)});
  int32_t error = 0;
  for (const auto& [name, bytes] : {std::pair<std::string, Bytes>{"resized.png", png}, {"deep.png", deep}}) {
    std::string result = Converted(scratch, name, bytes);
    EXPECT_EQ(ImageProfile(Decoded(Bytes(result.begin(), result.end()), &error)), profile) << name;
  }
  Bytes cmyk = profile;
  std::memcpy(cmyk.data() + 16, "CMYK", 4);
  std::vector<uint8_t> jpeg = SampleBytes(SampleKind::Rgb24, 64, 32, kFormatJpeg);
  Bytes app2 = {0xFF, 0xE2};
  Bytes body = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
  body.insert(body.end(), cmyk.begin(), cmyk.end());
  Put16(&app2, static_cast<uint32_t>(body.size() + 2), true);
  Bytes tagged = Joined({Bytes(jpeg.begin(), jpeg.begin() + 2), app2, body, Bytes(jpeg.begin() + 2, jpeg.end())});
  ASSERT_EQ(ImageProfile(Decoded(tagged, &error)), cmyk);
  std::string result = Converted(scratch, "cmyk-tagged.jpg", tagged);
  EXPECT_TRUE(ImageProfile(Decoded(Bytes(result.begin(), result.end()), &error)).empty());
}

}  // namespace
