#include <gtest/gtest.h>

#include "engine/run/run_report.h"
#include "tests/test_support.h"

namespace {

TEST(RunReport, SummaryAndBalloonSayHowTheRunEnded) {
  RunResult result;
  result.converted = 17;
  result.skipped = 1;
  result.failed = 2;
  EXPECT_EQ(RunSummaryText(result, 3725), u"Готово: преобразовано 17, пропущено 1, ошибок 2 (01:02:05)");
  result.end = RunEnd::Stopped;
  EXPECT_EQ(RunSummaryText(result, 0), u"Остановлено: преобразовано 17, пропущено 1, ошибок 2 (00:00:00)");
  result.end = RunEnd::Declined;
  EXPECT_EQ(RunSummaryText(result, 0).substr(0, 10), u"Прервано: ");
  EXPECT_EQ(RunBalloonText(result, u""), u"Преобразование прервано\r\nпреобразовано 17, пропущено 1, ошибок 2");
  result.failures.push_back({u"/p/a.jpg", 13});
  EXPECT_EQ(RunBalloonText(result, u"LOGFILE/F.TXT"),
            u"Преобразование прервано\r\nпреобразовано 17, пропущено 1, ошибок 2\r\nСписок ошибок: LOGFILE/F.TXT");
  RunResult notStarted;
  notStarted.runError = 2;
  EXPECT_EQ(RunSummaryText(notStarted, 0), u"Не выполнено: Не указана выходная директория - Error: 2");
}

// Sources kept in place of larger results are among the converted, and the summary says
// how many; none kept, nothing is said.
TEST(RunReport, SourcesKeptAreCountedAmongTheConverted) {
  RunResult result;
  result.converted = 5;
  result.keptSources = 2;
  EXPECT_EQ(RunSummaryText(result, 1), u"Готово: преобразовано 5 (оставлено исходных: 2), пропущено 0, ошибок 0 (00:00:01)");
  EXPECT_EQ(RunBalloonText(result, u""), u"Задача завершена\r\nпреобразовано 5 (оставлено исходных: 2), пропущено 0, ошибок 0");
}

TEST(RunReport, FailureListIsWrittenAndRemovedByACleanRun) {
  ScratchFolder scratch;
  Text path = scratch.Path("LOGFILE/FAILED.TXT");
  ASSERT_TRUE(KeepFailureList(path, {{u"/p/Фото 1.jpg", 13}, {u"/p/b.png", 10}}));
  EXPECT_EQ(scratch.Read("LOGFILE/FAILED.TXT"),
            "\xEF\xBB\xBF/p/Фото 1.jpg\tФайл повреждён: данные обрываются - Error: 13\r\n"
            "/p/b.png\tОшибка записи файла - Error: 10\r\n");
  ASSERT_TRUE(KeepFailureList(path, {}));
  EXPECT_FALSE(scratch.Exists("LOGFILE/FAILED.TXT"));
}

}  // namespace
