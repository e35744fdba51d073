#include "engine/run/run_report.h"
#include "engine/run/convert_errors.h"

#include "base/filesys.h"
#include "base/paths.h"
#include "engine/run/run.h"

namespace {

Text Counts(const RunResult& result) {
  Text kept = result.keptSources > 0 ? u" (оставлено исходных: " + NumberText(result.keptSources) + u")" : Text();
  return u"преобразовано " + NumberText(result.converted) + kept + u", пропущено " + NumberText(result.skipped) +
         u", ошибок " + NumberText(result.failed);
}

TextView EndWord(RunEnd end) {
  switch (end) {
    case RunEnd::Stopped: return u"Остановлено";
    case RunEnd::Declined: return u"Прервано";
    case RunEnd::Finished: break;
  }
  return u"Готово";
}

TextView EndLine(RunEnd end) {
  switch (end) {
    case RunEnd::Stopped: return u"Процесс остановлен";
    case RunEnd::Declined: return u"Преобразование прервано";
    case RunEnd::Finished: break;
  }
  return u"Задача завершена";
}

}  // namespace

Text RunSummaryText(const RunResult& result, uint32_t seconds) {
  if (result.runError != 0) return u"Не выполнено: " + ConvertErrorReason(result.runError);
  // "Прошло: 00:00:12" without its label.
  Text elapsed = ElapsedText(seconds).substr(8);
  return Text(EndWord(result.end)) + u": " + Counts(result) + u" (" + elapsed + u")";
}

Text RunBalloonText(const RunResult& result, TextView failureListName) {
  Text text = Text(EndLine(result.end)) + u"\r\n" + Counts(result);
  if (!result.failures.empty() && !failureListName.empty()) text += u"\r\nСписок ошибок: " + Text(failureListName);
  return text;
}

Text FailureListPath() {
  return ProgramFolder() + u"LOGFILE" + Text(1, kPathSeparator) + u"FAILED_" + ProgramBaseName() + u".TXT";
}

bool KeepFailureList(TextView path, const std::vector<FailedFile>& failures) {
  if (failures.empty()) {
    if (FsFileExists(path)) FsDeleteFile(path);
    return true;
  }
  std::string bytes = "\xEF\xBB\xBF";
  for (const FailedFile& file : failures)
    bytes += TextToUtf8(file.path) + "\t" + TextToUtf8(ConvertErrorReason(file.code)) + "\r\n";
  FsCreateDirectory(SplitPath(path).folder);
  return FsWriteFileReplacing(path, bytes.data(), bytes.size());
}
