// The existing-files rule: what becomes of the file at an output's path, and the counter
// names beside it.
#include <gtest/gtest.h>

#include <set>

#include "engine/pipeline/pipeline.h"
#include "engine/run/done_record.h"
#include "engine/run/existing_outputs.h"
#include "settings/app_settings.h"
#include "tests/test_support.h"

namespace {

TEST(CounterName, BeforeTheExtensionOfTheName) {
  EXPECT_EQ(CounterName(u"/out/a.jpg", 2), u"/out/a (2).jpg");
  EXPECT_EQ(CounterName(u"/out/a_c.webp", 13), u"/out/a_c (13).webp");
  EXPECT_EQ(CounterName(u"/out.d/README", 2), u"/out.d/README (2)");
  EXPECT_EQ(CounterName(u"/out/archive.tar.png", 3), u"/out/archive.tar (3).png");
}

class ExistingFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("a.png", "source bytes");
    FsFileFacts(dir.Path("a.png"), &query.source);
    query.inputPath = dir.Path("a.png");
    query.outputPath = dir.Path("a.jpg");
    query.record = &record;
    query.signature = 9;
  }
  OutputChoice Choose(int32_t rule) {
    query.existingRule = rule;
    return ChooseOutput(query, [this](TextView p) { return taken.count(Text(p)) != 0; });
  }
  // The record says this program wrote that file from a.png as it is now.
  void Ours(const std::string& name, const Text& from) {
    FileFacts facts;
    ASSERT_TRUE(FsFileFacts(dir.Path(name), &facts));
    DoneMark m;
    m.output = PathHash(dir.Path(name));
    m.source = PathHash(from);
    m.sourceSize = query.source.size;
    m.sourceTime = query.source.modified;
    m.outputSize = facts.size;
    m.outputTime = facts.modified;
    m.signature = 9;
    record.Note(m);
  }
  ScratchFolder dir;
  DoneRecord record;
  OutputQuery query;
  std::set<Text> taken;
};

TEST_F(ExistingFiles, NothingThereIsWrittenWhateverTheRule) {
  for (int32_t rule : {kExistingReplace, kExistingSkip, kExistingCounter}) {
    OutputChoice c = Choose(rule);
    EXPECT_EQ(c.action, OutputAction::Write);
    EXPECT_EQ(c.path, dir.Path("a.jpg"));
  }
}

TEST_F(ExistingFiles, AForeignFileIsReplacedSkippedOrGivenACounterNeighbour) {
  dir.Write("a.jpg", "someone else's");
  EXPECT_EQ(Choose(kExistingReplace).action, OutputAction::Write);
  EXPECT_EQ(Choose(kExistingSkip).action, OutputAction::SkipExisting);
  OutputChoice c = Choose(kExistingCounter);
  EXPECT_EQ(c.action, OutputAction::Write);
  EXPECT_EQ(c.path, dir.Path("a (2).jpg"));
  // (2) is someone else's too, (3) is held by another entry of this run: (4).
  dir.Write("a (2).jpg", "also foreign");
  taken.insert(dir.Path("a (3).jpg"));
  EXPECT_EQ(Choose(kExistingCounter).path, dir.Path("a (4).jpg"));
}

// What this program wrote is never someone else's file: replaced even when the user keeps
// foreign files, and skipped when it is done.
TEST_F(ExistingFiles, OurOwnOutputIsNeverForeign) {
  dir.Write("a.jpg", "our earlier result");
  Ours("a.jpg", query.inputPath);
  query.signature = 10;  // settings changed since
  EXPECT_EQ(Choose(kExistingSkip).action, OutputAction::Write);
  EXPECT_EQ(Choose(kExistingCounter).path, dir.Path("a.jpg"));
  query.signature = 9;
  EXPECT_EQ(Choose(kExistingCounter).action, OutputAction::SkipDone);
  // Once someone writes over it, it is theirs.
  dir.Write("a.jpg", "replaced by hand");
  EXPECT_EQ(Choose(kExistingSkip).action, OutputAction::SkipExisting);
}

// A source that went to a counter name finds it again on the next run: done, not (3).
TEST_F(ExistingFiles, ACounterNameIsFoundAgainByItsSource) {
  dir.Write("a.jpg", "foreign");
  dir.Write("a (2).jpg", "our result");
  Ours("a (2).jpg", query.inputPath);
  OutputChoice c = Choose(kExistingCounter);
  EXPECT_EQ(c.action, OutputAction::SkipDone);
  EXPECT_EQ(c.path, dir.Path("a (2).jpg"));
  // Another source's counter result is not taken over.
  query.inputPath = dir.Path("other.png");
  c = Choose(kExistingCounter);
  EXPECT_EQ(c.action, OutputAction::Write);
  EXPECT_EQ(c.path, dir.Path("a (3).jpg"));
}

// Beside the sources (mode 2) a run meets its own earlier results among them: with the
// same settings they are done (no a_c_c.jpg); with other settings they are sources.
TEST_F(ExistingFiles, AResultOfTheseSettingsIsNoSourceAgain) {
  dir.Write("a_c.jpg", "our result");
  Ours("a_c.jpg", query.inputPath);
  query.inputPath = dir.Path("a_c.jpg");
  FsFileFacts(query.inputPath, &query.source);
  query.outputPath = dir.Path("a_c_c.jpg");
  EXPECT_EQ(Choose(kExistingReplace).action, OutputAction::SkipDone);
  query.signature = 10;
  EXPECT_EQ(Choose(kExistingReplace).action, OutputAction::Write);
  query.signature = 9;
  dir.Write("a_c.jpg", "edited since, by hand");
  FsFileFacts(query.inputPath, &query.source);
  EXPECT_EQ(Choose(kExistingReplace).action, OutputAction::Write);
}

TEST_F(ExistingFiles, ACounterNamePastTheLengthLimitIsRefused) {
  std::string name(kMaxOutputUnits - dir.path().size() - 5, 'n');
  dir.Write(name + ".jpg", "foreign");
  query.outputPath = dir.Path(name + ".jpg");
  ASSERT_EQ(query.outputPath.size(), kMaxOutputUnits);
  OutputChoice c = Choose(kExistingCounter);
  EXPECT_EQ(c.action, OutputAction::Refused);
  EXPECT_EQ(c.error, kErrorOutputTooLong);
}

// Without a record (or without a mark for the output) the session's own stamp still
// knows what it did, as before the record.
TEST_F(ExistingFiles, TheSessionsStampStandsInWhereTheRecordKnowsNothing) {
  dir.Write("a.jpg", "converted earlier in this session");
  query.record = nullptr;
  query.stampSaysDone = true;
  EXPECT_EQ(Choose(kExistingReplace).action, OutputAction::SkipDone);
  query.stampSaysDone = false;
  EXPECT_EQ(Choose(kExistingReplace).action, OutputAction::Write);
}

}  // namespace
