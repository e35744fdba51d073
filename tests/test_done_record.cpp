// The record of what was written: its file (whole or not at all, bounded) and the rules
// that tell an output of ours and a done one.
#include <gtest/gtest.h>

#include <random>

#include "engine/pipeline/pipeline.h"
#include "engine/run/done_record.h"
#include "settings/app_settings.h"
#include "tests/test_support.h"

namespace {

DoneMark Mark(uint64_t output, uint64_t size = 10) {
  DoneMark m;
  m.output = output;
  m.source = output * 3;
  m.sourceSize = size;
  m.sourceTime = 1234567;
  m.outputSize = 99;
  m.outputTime = 7654321;
  m.signature = 0xABCD;
  return m;
}

TEST(DoneRecordFile, RoundTripAndEveryDamageIsAnEmptyRecord) {
  std::vector<DoneMark> marks = {Mark(1), Mark(2), Mark(0xFFFFFFFFFFFFFFFFull)};
  marks[2].outputSize = kNothingWritten;
  marks[2].sourceTime = -5;
  std::vector<uint8_t> bytes = DoneRecord::Encode(marks);
  std::vector<DoneMark> back;
  ASSERT_TRUE(DoneRecord::Decode(bytes, &back));
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[2].output, 0xFFFFFFFFFFFFFFFFull);
  EXPECT_EQ(back[2].outputSize, kNothingWritten);
  EXPECT_EQ(back[2].sourceTime, -5);
  EXPECT_EQ(back[1].signature, 0xABCDu);

  // A byte changed anywhere, the file cut at any length, a byte added: none is trusted.
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::vector<uint8_t> bad = bytes;
    bad[i] ^= 0x40;
    EXPECT_FALSE(DoneRecord::Decode(bad, &back)) << "byte " << i;
    EXPECT_TRUE(back.empty());
    EXPECT_FALSE(DoneRecord::Decode(std::vector<uint8_t>(bytes.begin(), bytes.begin() + i), &back)) << "cut at " << i;
  }
  std::vector<uint8_t> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(DoneRecord::Decode(longer, &back));
}

TEST(DoneRecordFile, RandomBytesNeverCrashAndNeverDecode) {
  std::mt19937 random(20);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> bytes(random() % 300);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    if (bytes.size() >= 8 && round % 2) std::copy_n("TSYDONE1", 8, bytes.begin());
    std::vector<DoneMark> marks;
    EXPECT_FALSE(DoneRecord::Decode(bytes, &marks));
  }
}

class DoneRecordOnDisk : public ::testing::Test {
 protected:
  Text path() const { return dir.Path("Converted.dat"); }
  ScratchFolder dir;
};

TEST_F(DoneRecordOnDisk, DamagedOrMissingFilesLoadEmptyAndAreWrittenAnew) {
  DoneRecord record;
  EXPECT_FALSE(record.Load(path()));
  dir.Write("Converted.dat", "TSYDONE1 and then nonsense");
  EXPECT_FALSE(record.Load(path()));
  EXPECT_EQ(record.size(), 0u);
  record.Note(Mark(5));
  ASSERT_TRUE(record.Save(path()));
  DoneRecord again;
  ASSERT_TRUE(again.Load(path()));
  ASSERT_NE(again.Find(5), nullptr);
  EXPECT_EQ(again.Find(5)->sourceSize, 10u);
  EXPECT_EQ(again.Find(6), nullptr);
}

// Two programs may keep the record at once (the window and tessaly-batch): each save adds
// its own marks to what the file holds then, and a mark noted later replaces an older one
// of the same output.
TEST_F(DoneRecordOnDisk, SavesMergeWithWhatAnotherProgramWrote) {
  DoneRecord window, batch;
  window.Load(path());
  batch.Load(path());
  window.Note(Mark(1));
  window.Note(Mark(2, 20));
  ASSERT_TRUE(window.Save(path()));
  batch.Note(Mark(2, 222));
  batch.Note(Mark(3));
  ASSERT_TRUE(batch.Save(path()));
  DoneRecord read;
  ASSERT_TRUE(read.Load(path()));
  EXPECT_EQ(read.size(), 3u);
  ASSERT_NE(read.Find(2), nullptr);
  EXPECT_EQ(read.Find(2)->sourceSize, 222u);
}

TEST_F(DoneRecordOnDisk, BoundedTheOldestGiveWay) {
  DoneRecord record;
  for (uint64_t i = 1; i <= kMaxDoneMarks + 3; ++i) record.Note(Mark(i));
  ASSERT_TRUE(record.Save(path()));
  DoneRecord read;
  ASSERT_TRUE(read.Load(path()));
  EXPECT_EQ(read.size(), kMaxDoneMarks);
  EXPECT_EQ(read.Find(1), nullptr);
  EXPECT_EQ(read.Find(3), nullptr);
  EXPECT_NE(read.Find(4), nullptr);
  EXPECT_NE(read.Find(kMaxDoneMarks + 3), nullptr);
  // A file claiming more marks than a record may hold is no record.
  std::vector<DoneMark> many(kMaxDoneMarks + 1, Mark(7));
  std::vector<DoneMark> back;
  EXPECT_FALSE(DoneRecord::Decode(DoneRecord::Encode(many), &back));
}

// --- done and ours ---------------------------------------------------------------------------

TEST(DoneMarkRules, DoneOnlyForTheSameUnchangedSourceAndSettingsAndOurOutput) {
  Text input = u"/pics/a.png";
  DoneMark m;
  m.output = PathHash(u"/out/a.jpg");
  m.source = PathHash(input);
  m.sourceSize = 100;
  m.sourceTime = 5000;
  m.outputSize = 40;
  m.outputTime = 5000;
  m.signature = 77;
  FileFacts source{100, 5000, 0}, output{40, 5000, 0};
  EXPECT_TRUE(IsDone(&m, input, source, 77, true, output));
  EXPECT_TRUE(IsOurOutput(&m, output));
  struct Row {
    const char* what;
    Text input;
    FileFacts source;
    uint32_t signature;
    bool exists;
    FileFacts output;
  } rows[] = {
      {"source touched", input, {100, 5001, 0}, 77, true, output},
      {"source of another size", input, {101, 5000, 0}, 77, true, output},
      {"other settings", input, source, 78, true, output},
      {"another source", u"/pics/b.png", source, 77, true, output},
      {"output gone", input, source, 77, false, output},
      {"output replaced by another file", input, source, 77, true, {41, 5000, 0}},
      {"output written again at another time", input, source, 77, true, {40, 5001, 0}},
  };
  for (const Row& row : rows) EXPECT_FALSE(IsDone(&m, row.input, row.source, row.signature, row.exists, row.output)) << row.what;
  EXPECT_FALSE(IsDone(nullptr, input, source, 77, true, output));
  EXPECT_FALSE(IsOurOutput(&m, {41, 5000, 0}));
  // The source kept in place of a larger result: done while the source stays as it is.
  m.outputSize = kNothingWritten;
  EXPECT_TRUE(IsDone(&m, input, source, 77, false, {}));
  EXPECT_FALSE(IsDone(&m, input, {100, 5001, 0}, 77, false, {}));
  EXPECT_FALSE(IsOurOutput(&m, {kNothingWritten, 5000, 0}));
}

// Letter case is no difference where the file system makes none.
TEST(DoneMarkRules, PathHashFollowsThePlatformsKey) {
  EXPECT_EQ(PathHash(u"/a/b.jpg"), PathHash(u"/a/b.jpg"));
  EXPECT_NE(PathHash(u"/a/b.jpg"), PathHash(u"/a/c.jpg"));
  EXPECT_EQ(PathHash(u"/a/B.jpg") == PathHash(u"/a/b.jpg"), FsPathKey(u"/a/B.jpg") == FsPathKey(u"/a/b.jpg"));
}

}  // namespace
