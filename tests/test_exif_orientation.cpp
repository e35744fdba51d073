// Phone photos name their turn in EXIF; results must look upright everywhere and never
// be turned twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "engine/codecs/exif_orientation.h"
#include "tests/conversion_fixture.h"

namespace {

// "Exif\0\0" and a TIFF block whose first directory holds a few tags, Orientation among
// them, and links to a next (thumbnail) directory, in either byte order.
std::vector<uint8_t> ExifBlock(bool bigEndian, uint16_t orientation, uint32_t nextDirectory = 0) {
  std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0};
  auto put16 = [&](uint16_t v) {
    if (bigEndian) b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)});
    else b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
  };
  auto put32 = [&](uint32_t v) {
    if (bigEndian) { put16(uint16_t(v >> 16)); put16(uint16_t(v)); }
    else { put16(uint16_t(v)); put16(uint16_t(v >> 16)); }
  };
  b.push_back(bigEndian ? 'M' : 'I');
  b.push_back(bigEndian ? 'M' : 'I');
  put16(42);
  put32(8);
  put16(3);
  put16(0x010F), put16(2), put32(4), b.insert(b.end(), {'A', 'B', 'C', 0});  // Make, inline
  put16(0x0112), put16(3), put32(1), put16(orientation), put16(0);
  put16(0x0131), put16(3), put32(1), put16(7), put16(0);
  put32(nextDirectory);
  return b;
}

// A JPEG with the EXIF block as its APP1 segment, right after the start marker.
std::vector<uint8_t> WithExif(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& exif) {
  size_t length = exif.size() + 2;
  const uint8_t segment[] = {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)};
  std::vector<uint8_t> out(jpeg.size() + sizeof segment + exif.size());
  auto at = std::copy(jpeg.begin(), jpeg.begin() + 2, out.begin());
  at = std::copy(std::begin(segment), std::end(segment), at);
  at = std::copy(exif.begin(), exif.end(), at);
  std::copy(jpeg.begin() + 2, jpeg.end(), at);
  return out;
}

}  // namespace

TEST(ExifOrientation, OnlyTheOrientationAndTheThumbnailLinkChangeInEitherByteOrder) {
  for (bool big : {false, true}) {
    std::vector<uint8_t> block = ExifBlock(big, 6, 0x1234);
    std::vector<uint8_t> expected = ExifBlock(big, 1, 0);
    EXPECT_TRUE(MarkExifUpright(&block)) << big;
    EXPECT_EQ(block, expected) << big;
    EXPECT_FALSE(MarkExifUpright(&block)) << "already upright";
  }
}

TEST(ExifOrientation, MalformedBlocksAreLeftAlone) {
  std::vector<uint8_t> good = ExifBlock(false, 8);
  std::vector<std::vector<uint8_t>> bad = {
      {},
      std::vector<uint8_t>(good.begin(), good.begin() + 10),   // cut in the header
      std::vector<uint8_t>(good.begin(), good.begin() + 30),   // cut inside the directory
      std::vector<uint8_t>(good.begin(), good.end() - 2),      // cut in the next-directory link
  };
  std::vector<uint8_t> prefix = good;
  prefix[0] = 'X';
  bad.push_back(prefix);
  std::vector<uint8_t> far = good;
  far[10] = 0xF0;  // directory offset past the end
  bad.push_back(far);
  std::vector<uint8_t> many = good;
  many[14] = 0xFF;  // more entries than the block holds
  bad.push_back(many);
  for (std::vector<uint8_t>& block : bad) {
    std::vector<uint8_t> before = block;
    EXPECT_FALSE(MarkExifUpright(&block));
    EXPECT_EQ(block, before);
  }
}

class TurnedPhoto : public testing::Test {
 protected:
  void SetUp() override {
    ResetConversion(scratch);
    gAppSettings.OutputMode = 2;
    // 60 x 40 as stored, 40 x 60 as seen (orientation 6: turn a quarter clockwise).
    WriteBytes(scratch, "turned.jpg", WithExif(SampleBytes(SampleKind::Rgb24, 60, 40, kFormatJpeg), ExifBlock(false, 6)));
    AddEntry(scratch, "turned.jpg");
  }
  void TearDown() override { gRunState = kRunIdle; }
  ScratchFolder scratch;
};

TEST_F(TurnedPhoto, ComesOutUprightInEveryTargetAndIsNotTurnedAgainWhenOpened) {
  for (const char16_t* target : {u"JPG", u"WEBP", u"PNG"}) {
    SetTarget(target);
    RunResult result = RunConversion();
    ASSERT_EQ(result.converted, 1) << TextToUtf8(target);
    // The reader turns by the tag, so a result that still said "turned" would open
    // as 60 x 40 again.
    Opened opened = OpenResult(scratch, "turned_c." + TextToUtf8(ToLower(target)));
    EXPECT_EQ(opened.width, 40u) << TextToUtf8(target);
    EXPECT_EQ(opened.height, 60u) << TextToUtf8(target);
  }
}

TEST_F(TurnedPhoto, TheLongerSideIsTheOneTheViewerSees) {
  SetTarget(u"PNG");
  gAppSettings.ResizeMode = 1;
  gAppSettings.ResizeSide = 3;  // width
  gAppSettings.TargetSize = 20;
  ASSERT_EQ(RunConversion().converted, 1);
  Opened opened = OpenResult(scratch, "turned_c.png");
  EXPECT_EQ(opened.width, 20u);
  EXPECT_EQ(opened.height, 30u);
}

// A block the reader understands but that cannot be mended goes, rather than have the
// picture turned twice.
TEST_F(TurnedPhoto, AnExifBlockThatCannotBeMendedIsDropped) {
  std::vector<uint8_t> cut = ExifBlock(false, 6);
  cut.resize(cut.size() - 4);  // no link to a next directory
  WriteBytes(scratch, "turned.jpg", WithExif(SampleBytes(SampleKind::Rgb24, 60, 40, kFormatJpeg), cut));
  SetTarget(u"JPG");
  ASSERT_EQ(RunConversion().converted, 1);
  Opened opened = OpenResult(scratch, "turned_c.jpg");
  EXPECT_EQ(opened.width, 40u);
  EXPECT_EQ(opened.height, 60u);
}

namespace {

// The first directory of a little-endian block with the given Orientation entries, each
// as type, count and value field.
struct Entry {
  uint16_t type;
  uint32_t count;
  uint32_t value;
};
std::vector<uint8_t> BlockWith(const std::vector<Entry>& entries) {
  std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
  auto put16 = [&](uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); };
  auto put32 = [&](uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
  put16(static_cast<uint32_t>(entries.size()));
  for (const Entry& e : entries) put16(0x0112), put16(e.type), put32(e.count), put32(e.value);
  put32(0x40);  // a thumbnail directory
  b.resize(b.size() + 16);
  return b;
}

}  // namespace

TEST(ExifOrientation, EveryOrientationAReaderMightObeyReadsOne) {
  const Entry plainUpright = {3, 1, 1};
  struct Row {
    const char* what;
    std::vector<Entry> entries;
    ExifOrientation state;
  } rows[] = {
      {"one SHORT 6", {{3, 1, 6}}, ExifOrientation::Mended},
      {"SHORT count 2", {{3, 2, 0x26}}, ExifOrientation::Mended},
      {"BYTE", {{1, 1, 6}}, ExifOrientation::Mended},
      {"UNDEFINED", {{7, 2, 6}}, ExifOrientation::Mended},
      {"twice, the second turned", {{3, 1, 3}, {3, 1, 6}}, ExifOrientation::Mended},
      {"twice, the first turned", {{3, 1, 6}, plainUpright}, ExifOrientation::Mended},
      {"upright", {plainUpright}, ExifOrientation::Upright},
      {"none", {}, ExifOrientation::Upright},
  };
  for (const Row& row : rows) {
    std::vector<uint8_t> block = BlockWith(row.entries);
    EXPECT_EQ(MendExifOrientation(&block), row.state) << row.what;
    std::vector<Entry> upright(row.entries.size(), plainUpright);
    std::vector<uint8_t> expected = BlockWith(upright);
    if (row.state == ExifOrientation::Mended) std::fill_n(expected.end() - 20, 4, 0);  // thumbnail unlinked
    else expected = BlockWith(row.entries);
    EXPECT_EQ(block, expected) << row.what;
  }
}

// Reproducers: the reader turns these pictures by a tag the mending once skipped.
TEST(ExifOrientation, OddOrientationTagsAreNotObeyedTwice) {
  ScratchFolder scratch;
  ResetConversion(scratch);
  gAppSettings.OutputMode = 2;
  for (const char* name : {"exif_orientation_count2", "exif_duplicate_orientation"}) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(FsReadWholeFile(TextFromUtf8(std::string(TESSALY_TEST_DATA "/hostile/") + name + ".jpg"), &bytes),
              ReadResult::Ok);
    WriteBytes(scratch, std::string(name) + ".jpg", bytes);
    Opened source = OpenResult(scratch, std::string(name) + ".jpg");
    for (const char16_t* target : {u"JPG", u"WEBP"}) {
      FileListClear();
      AddEntry(scratch, std::string(name) + ".jpg");
      SetTarget(target);
      ASSERT_EQ(RunConversion().converted, 1) << name;
      std::string out = std::string(name) + "_c." + TextToUtf8(ToLower(target));
      Opened result = OpenResult(scratch, out);
      EXPECT_EQ(result.width, source.width) << out;
      EXPECT_EQ(result.height, source.height) << out;
      // No Orientation entry of what the result keeps may say anything but upright.
      std::string kept = scratch.Read(out);
      size_t at = kept.find(std::string("Exif\0\0", 6));
      if (at == std::string::npos) continue;
      std::vector<uint8_t> block(kept.begin() + static_cast<long>(at), kept.end());
      EXPECT_NE(MendExifOrientation(&block), ExifOrientation::Mended) << out;
    }
  }
  gRunState = kRunIdle;
}
