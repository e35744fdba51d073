#include <chrono>
#include <thread>

#include "tests/conversion_fixture.h"

namespace {

TEST(Progress, Texts) {
  struct Row {
    int32_t index, count;
    uint64_t size;
    const char16_t* name;
    const char16_t* expected;
  } rows[] = {
      {2, 12, 1300000, u"a.jpg", u"Выполняется: ( 3/ 12)  Имя: a.jpg , 1.24 M"},
      {0, 12, 512, u"b.png", u"Выполняется: ( 1/ 12)  Имя: b.png , 512 B"},
      {0, 12, 0, u"b.png", u"Пропущен: ( 1/ 12)  Имя: b.png"},
      {99, 100, 0, u"фото.jpg", u"Пропущен: ( 100/ 100)  Имя: фото.jpg"},
  };
  for (const Row& row : rows) EXPECT_EQ(ProgressText(row.index, row.count, row.size, row.name), row.expected);
}

TEST(Progress, SelectsTheEntryAndSetsTheStatusLine) {
  ResetFakeUi();
  ShowProgress(0, 12, 0, u"a.jpg");
  EXPECT_EQ(gFakeStatusLine, u"Пропущен: ( 1/ 12)  Имя: a.jpg");
}

TEST(Elapsed, CountsTicksAndRestartsOnFlagZero) {
  EXPECT_EQ(ElapsedTimeText(0), u"Прошло: 00:00:00");
  EXPECT_EQ(ElapsedTimeText(1), u"Прошло: 00:00:01");
  EXPECT_EQ(ElapsedTimeText(1), u"Прошло: 00:00:02");
  EXPECT_EQ(ElapsedTimeText(0), u"Прошло: 00:00:00");
  struct Row {
    uint32_t seconds;
    const char16_t* text;
  } rows[] = {
      {59, u"Прошло: 00:00:59"},   {60, u"Прошло: 00:01:00"},    {3599, u"Прошло: 00:59:59"},
      {3725, u"Прошло: 01:02:05"}, {360000, u"Прошло: 100:00:00"}, {362439, u"Прошло: 100:40:39"},
  };
  for (const Row& row : rows) EXPECT_EQ(ElapsedText(row.seconds), row.text);
}

using Worker = ConversionTest;

TEST_F(Worker, RunsTheListOnItsOwnThreadAndSignalsTheEnd) {
  WriteSample(scratch, "a.png", 8, 8);
  scratch.Write("bad.jpg", std::string(60, 'x'));
  AddEntry(scratch, "a.png");
  AddEntry(scratch, "bad.jpg");
  RunBlock block;
  ASSERT_TRUE(BeginRun(&block, gAppSettings));
  std::thread worker(ConvertThreadMain, &block);
  int waits = 0;
  WaitForWorker(block, [&] {
    ++waits;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  });
  worker.join();
  EXPECT_GT(waits, 0);  // the worker pauses before and after the pipeline
  EXPECT_EQ(block.result.converted, 1);
  EXPECT_EQ(block.result.failed, 1);
  EXPECT_FALSE(block.result.faulted);
  EXPECT_FALSE(WorkerActive());
}

TEST_F(Worker, OnlyOneWorkerAtATime) {
  WriteSample(scratch, "a.png", 8, 8);
  AddEntry(scratch, "a.png");
  RunBlock first, second;
  ASSERT_TRUE(BeginRun(&first, gAppSettings));
  // Stop was pressed and Start again before the first worker finished its file.
  EXPECT_FALSE(BeginRun(&second, gAppSettings));
  std::thread worker(ConvertThreadMain, &first);
  WaitForWorker(first, [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); });
  worker.join();
  EXPECT_TRUE(BeginRun(&second, gAppSettings));
  AbandonRun(&second);  // the platform could not create the thread
  EXPECT_TRUE(second.ended.load());
  EXPECT_FALSE(WorkerActive());
}

TEST(ThreadFailure, MessageTextCaptionAndTimeout) {
  ResetBoxes();
  ReportThreadFailure(u"Not enough memory.");
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(gShownBoxes[0].text, u"Can't create thread: Not enough memory.");
  EXPECT_EQ(gShownBoxes[0].caption, u"Error");
  EXPECT_EQ(gShownBoxes[0].kind, 4);
  EXPECT_EQ(gShownBoxes[0].timeoutMs, 10000u);
}

}  // namespace
