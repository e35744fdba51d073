#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "base/error_log.h"
#include "tests/test_support.h"

namespace {

class ErrorLog : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetBoxes();
    SetErrorLogPlace({dir.Path("LOGFILE"), u"conv", [] { return LocalTime{2026, 3, 7, 9, 5, 4}; }});
  }
  void TearDown() override { SetErrorLogPlace(DefaultErrorLogPlace()); }
  std::string File(int index) { return dir.Read("LOGFILE/LOGFILE_conv_#" + std::to_string(index) + ".TXT"); }
  ScratchFolder dir;
};

TEST_F(ErrorLog, FirstLineCreatesTheFolderAndFileZero) {
  AppendErrorLog("Error Division by zero,  9, Fun ConvertFiles");
  EXPECT_EQ(File(0), "1) 03-07-2026, 09:05:04: Error Division by zero,  9, Fun ConvertFiles\r\n");
}

TEST_F(ErrorLog, RotatesAfter2000LinesAndWrapsAfterTenFiles) {
  dir.Write("LOGFILE/LOGFILE_conv_#1.TXT", "old contents\r\n");
  for (int i = 0; i < 2001; ++i) AppendErrorLog("x");
  std::string first = File(0);
  EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 2000);
  EXPECT_NE(first.find("2000) 03-07-2026"), std::string::npos);
  EXPECT_EQ(File(1), "1) 03-07-2026, 09:05:04: x\r\n") << "file #1 starts afresh";
  for (int i = 0; i < 2000 * 9; ++i) AppendErrorLog("y");
  // The 18001st line after file #1's first went to file #9 ... and then #0 again.
  EXPECT_EQ(File(0), "1) 03-07-2026, 09:05:04: y\r\n");
}

TEST_F(ErrorLog, TwoThreadsNeverInterleaveOrLoseLines) {
  auto writer = [](char c) {
    for (int i = 0; i < 500; ++i) AppendErrorLog(std::string(200, c));
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  std::string log = File(0);
  size_t lines = 0, pos = 0;
  while ((pos = log.find("\r\n", pos)) != std::string::npos) ++lines, pos += 2;
  EXPECT_EQ(lines, 1000u);
  EXPECT_EQ(log.find("ab"), std::string::npos);
  EXPECT_EQ(log.find("ba"), std::string::npos);
}

TEST_F(ErrorLog, TrapLogsTheStepAndShowsTheFault) {
  bool completed = RunTrapped("ConvertFiles", [](int& step) {
    step = 9;
    throw std::bad_alloc();
  });
  EXPECT_FALSE(completed);
  EXPECT_EQ(File(0), "1) 03-07-2026, 09:05:04: Error Out of memory,  9, Fun ConvertFiles\r\n");
  ASSERT_EQ(gShownBoxes.size(), 1u);
  EXPECT_EQ(gShownBoxes[0].text, u"Error Out of memory,  9");
  EXPECT_EQ(gShownBoxes[0].caption, u"Fun ConvertFiles");
  EXPECT_EQ(gShownBoxes[0].kind, 0);
  EXPECT_EQ(gShownBoxes[0].timeoutMs, 0u);
}

TEST_F(ErrorLog, FaultBeforeTheFirstStepAndFileNames) {
  RunTrapped("Page", [](int&) { throw std::runtime_error("Bad thing"); });
  ReportFault("Cannot write", 2, "MWRITEFILE", u"C:\\x.bin");
  EXPECT_EQ(File(0),
            "1) 03-07-2026, 09:05:04: Error Bad thing,  0, Fun Page\r\n"
            "2) 03-07-2026, 09:05:04: Error Cannot write,  2, Fun MWRITEFILE, file: C:\\x.bin\r\n");
  EXPECT_EQ(gShownBoxes[1].text, u"Error Cannot write,  2") << "the box leaves the file out";
}

TEST_F(ErrorLog, UnwritableFolderLosesTheLineQuietly) {
  SetErrorLogPlace({dir.Path("no/such/LOGFILE"), u"conv", nullptr});
  AppendErrorLog("lost");
  EXPECT_FALSE(dir.Exists("no"));
}

}  // namespace
