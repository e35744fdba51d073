// A JPEG decoded smaller must come out at exactly the size the whole picture gives, and
// look the same.
#include <cmath>

#include "engine/pipeline/shrink_on_load.h"
#include "tests/conversion_fixture.h"
#include "tests/picture_bytes.h"

namespace {

TEST(ShrinkOnLoad, TheLargestScaleThatStillCoversThePlannedSize) {
  struct Row {
    uint32_t width, height;
    bool swapped;
    int32_t planWidth, planHeight;  // upright
    uint32_t scale, decodedWidth, decodedHeight;
  } rows[] = {
      {4000, 3000, false, 2000, 1500, 2, 2000, 1500},
      {4000, 3000, false, 1000, 750, 4, 1000, 750},
      {4000, 3000, false, 499, 374, 8, 500, 375},
      {4000, 3000, false, 2001, 1501, 1, 0, 0},
      {3999, 2999, false, 2000, 1500, 2, 2000, 1500},  // the reader rounds a side up
      {3998, 2998, false, 2000, 1499, 1, 0, 0},
      {4000, 3000, true, 1500, 2000, 2, 1500, 2000},   // turned a quarter by EXIF
      {4000, 1000, true, 250, 1000, 4, 250, 1000},     // needs the stored sides swapped
      {65535, 10, false, 30000, 5, 2, 32768, 5},       // the longest side a hint can name
  };
  for (const Row& row : rows) {
    ShrinkOnLoad s = PlanShrinkOnLoad(row.width, row.height, row.swapped, ResizePlan{true, row.planWidth, row.planHeight});
    std::string what = std::to_string(row.width) + "x" + std::to_string(row.height) + " to " +
                       std::to_string(row.planWidth) + "x" + std::to_string(row.planHeight);
    EXPECT_EQ(s.scale, row.scale) << what;
    if (row.scale == 1) continue;
    EXPECT_EQ(s.width, row.decodedWidth) << what;
    EXPECT_EQ(s.height, row.decodedHeight) << what;
    EXPECT_EQ(JpegReaderScale(row.width, row.height, s.sizeHint), s.scale) << what;
  }
  EXPECT_EQ(PlanShrinkOnLoad(4000, 3000, false, ResizePlan()).scale, 1u);
}

// Pictures drawn pixel by pixel and stored as a JPEG of quality 92.
enum class Drawing { Photo, LineArt };

uint8_t Clamp(double v) {
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// A drawing: black strokes three to five pixels wide, straight and slanted, and rows of
// letter-sized marks, on white.
bool Ink(uint32_t x, uint32_t y) {
  if (y % 150 < 3 + (y / 150) % 3 || x % 170 < 3 + (x / 170) % 3 || (x + 2 * y) % 260 < 6) return true;
  bool textRow = y % 60 >= 30 && y % 60 < 52;
  bool mark = x % 16 < 12 && (x / 16 + y / 60) % 5 != 0;
  return textRow && mark && (x % 16 < 3 || y % 60 < 33 || (x + y) % 12 < 3);
}

Bytes DrawnBmp(Drawing drawing, uint32_t width, uint32_t height) {
  std::vector<Bytes> rows;
  uint64_t noise = 0x9E3779B97F4A7C15ull;
  for (uint32_t y = 0; y < height; ++y) {
    Bytes row;
    for (uint32_t x = 0; x < width; ++x) {
      noise ^= noise << 13, noise ^= noise >> 7, noise ^= noise << 17;
      double n = static_cast<double>(noise % 13) - 6, fx = double(x) / width, fy = double(y) / height;
      double wave = 40 * std::sin(9 * fx) * std::cos(7 * fy) + 25 * std::sin(60 * fx * fy);
      uint8_t ink = Ink(x, y) ? 0 : 255;
      if (drawing == Drawing::LineArt) row.insert(row.end(), {ink, ink, ink});
      else row.insert(row.end(), {Clamp(200 - 150 * fy + n), Clamp(120 + 60 * fx + wave + n), Clamp(90 + 120 * fy + wave + n)});
    }
    rows.push_back(std::move(row));
  }
  return BmpFile(width, height, 24, 40, rows);
}

std::vector<uint8_t> DrawnJpeg(Drawing drawing, uint32_t width, uint32_t height) {
  Bytes bmp = DrawnBmp(drawing, width, height);
  int32_t error = 0;
  Image image = LoadImageFromBuffer(bmp.data(), static_cast<uint32_t>(bmp.size()), &error);
  std::vector<uint8_t> jpeg;
  EXPECT_TRUE(EncodeImage(image, kFormatJpeg, 92, &jpeg));
  return jpeg;
}

// The JPEG with an EXIF block naming the turn, right after its start marker.
std::vector<uint8_t> Turned(std::vector<uint8_t> jpeg, uint16_t orientation) {
  if (orientation == 1) return jpeg;
  Bytes exif = {'E', 'x', 'i', 'f', 0, 0};
  Bytes tiff = TiffExif(orientation);
  exif.insert(exif.end(), tiff.begin(), tiff.end());
  Bytes segment = {0xFF, 0xE1, uint8_t((exif.size() + 2) >> 8), uint8_t(exif.size() + 2)};
  segment.insert(segment.end(), exif.begin(), exif.end());
  jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
  return jpeg;
}

Image Decoded(const std::vector<uint8_t>& bytes) {
  int32_t error = 0;
  return LoadImageFromBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), &error);
}

double Psnr(const Image& a, const Image& b) {
  double squares = 0;
  uint32_t w = ImageWidth(a), h = ImageHeight(a);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      PaletteEntry p = PixelAt(a, x, y), q = PixelAt(b, x, y);
      for (auto [u, v] : {std::pair{p.red, q.red}, {p.green, q.green}, {p.blue, q.blue}})
        squares += double(u - v) * (u - v);
    }
  double mse = squares / (3.0 * w * h);
  return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
}

using ShrinkRun = ConversionTest;

struct Converted {
  FileWork work;
  Image image;
};

Converted ConvertWith(const Text& path, bool shrink) {
  Converted c;
  c.work = ConvertFileToMemory(gAppSettings, path, FileWorkOptions{shrink}, FileWorkEvents());
  c.image = Decoded(c.work.encoded);
  return c;
}

// Every resize rule, pictures turned by EXIF and sides that do not divide evenly: the
// size is the one the whole picture gives, and the decode was as small as it may be.
TEST_F(ShrinkRun, EveryRuleGivesTheSizeOfTheWholePicture) {
  struct Row {
    uint16_t orientation;
    int32_t mode, side, size, percent, noEnlarge;
    uint32_t scale;
  } rows[] = {
      {1, 1, 1, 800, 0, 0, 2},  {1, 1, 2, 300, 0, 0, 4},  {1, 1, 3, 200, 0, 0, 8},
      {1, 1, 4, 1000, 0, 0, 1}, {1, 2, 0, 0, 33, 0, 2},   {1, 2, 0, 0, 50, 0, 2},
      {6, 1, 3, 300, 0, 0, 4},  {8, 1, 1, 800, 0, 0, 2},  {6, 1, 2, 200, 0, 0, 4},
      {6, 2, 0, 0, 12, 0, 8},   {3, 1, 1, 800, 0, 0, 2},  {1, 1, 1, 2000, 0, 1, 1},
      {1, 1, 1, 1601, 0, 0, 1}, {5, 1, 4, 350, 0, 0, 4},  {7, 2, 0, 0, 26, 0, 2},
  };
  std::vector<uint8_t> photo = DrawnJpeg(Drawing::Photo, 1601, 1201);
  for (const Row& row : rows) {
    WriteBytes(scratch, "photo.jpg", Turned(photo, row.orientation));
    gAppSettings.ResizeMode = row.mode;
    gAppSettings.ResizeSide = row.side;
    gAppSettings.TargetSize = row.size;
    gAppSettings.ScalePercent = row.percent;
    gAppSettings.NoEnlarge = row.noEnlarge;
    Converted whole = ConvertWith(scratch.Path("photo.jpg"), false);
    Converted smaller = ConvertWith(scratch.Path("photo.jpg"), true);
    std::string what = "orientation " + std::to_string(row.orientation) + ", mode " + std::to_string(row.mode) +
                       ", side " + std::to_string(row.side) + ", " + std::to_string(row.size + row.percent);
    ASSERT_EQ(whole.work.error, 0) << what;
    ASSERT_EQ(smaller.work.error, 0) << what;
    EXPECT_EQ(whole.work.decodeScale, 1u) << what;
    EXPECT_EQ(smaller.work.decodeScale, row.scale) << what;
    EXPECT_EQ(ImageWidth(smaller.image), ImageWidth(whole.image)) << what;
    EXPECT_EQ(ImageHeight(smaller.image), ImageHeight(whole.image)) << what;
  }
}

// Against the picture decoded whole and resampled once, at each scale: a photo is
// decoded smaller and stays above 40 dB; a drawing of hard black strokes, which the
// reader's scaling would soften visibly (24 to 32 dB), is decoded whole. A picture
// turned, shifted or stretched on the way falls far below 40 dB.
TEST_F(ShrinkRun, QualityAgainstTheWholePicture) {
  SetTarget(u"PNG");
  gAppSettings.ResizeMode = 1;
  gAppSettings.ResizeSide = 1;
  for (Drawing drawing : {Drawing::Photo, Drawing::LineArt}) {
    WriteBytes(scratch, "drawn.jpg", DrawnJpeg(drawing, 1600, 1200));
    std::string what = drawing == Drawing::Photo ? "photo" : "drawing";
    for (int32_t size : {800, 700, 390, 190}) {
      gAppSettings.TargetSize = size;
      Converted whole = ConvertWith(scratch.Path("drawn.jpg"), false);
      Converted smaller = ConvertWith(scratch.Path("drawn.jpg"), true);
      EXPECT_EQ(smaller.work.decodeScale > 1, drawing == Drawing::Photo) << what << " to " << size;
      ASSERT_EQ(ImageWidth(smaller.image), ImageWidth(whole.image));
      EXPECT_GE(Psnr(whole.image, smaller.image), 40.0) << what << " to " << size;
    }
  }
}

}  // namespace
