// What the user is told when a run has ended: the line that stays in the status line,
// the tray balloon, and the list of the files that failed, kept in a file beside the
// program so that a user who was away during the error questions can still see them.
#pragma once

#include <cstdint>

#include "engine/run/convert_files.h"

// "Готово: преобразовано 17, пропущено 1, ошибок 2 (00:00:12)"; "Остановлено: ..." after
// Stop, "Прервано: ..." after a "No"; for a run that could not start, its reason.
Text RunSummaryText(const RunResult& result, uint32_t seconds);

// The balloon: what ended the run, the counts, and where the failed files are listed.
Text RunBalloonText(const RunResult& result, TextView failureListName);

// "LOGFILE\FAILED_<program>.TXT" beside the program.
Text FailureListPath();

// Writes one line per failed file ("path" TAB "reason") as UTF-8 with a byte-order mark,
// replacing the list of an earlier run; a run without failures removes the old list, which
// would otherwise speak of files that have since converted. False when it cannot be written.
bool KeepFailureList(TextView path, const std::vector<FailedFile>& failures);
