// What a run tells the user of a failed file: the reason line of each error code
// (engine/pipeline/pipeline.h lists the codes) and the question that asks whether to go on.
#pragma once

#include <cstdint>

#include "base/text.h"

// The question shown for a failed file: name, reason line, then the particulars when
// there are any (which path, what the system said), then "Продолжить выполнение ?".
Text ConvertErrorText(int32_t code, TextView fileName, TextView detail = {});
// The reason line of an error code: "Ошибка записи файла - Error: 10".
Text ConvertErrorReason(int32_t code);
// Shows that question for six seconds and returns the answer (kIdNo ends the run).
int32_t ReportConvertError(int32_t code, TextView fileName, TextView detail = {});
