// The rotating error log and the fault trap of the procedures where a fault would do
// most harm.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

#include "base/filesys.h"

constexpr uint32_t kLogLinesPerFile = 2000;
constexpr int kLogFileCount = 10;

// Where the log goes and what time it is; the program uses its own folder and the local
// clock, tests substitute both. Resets the line counter and file index.
struct ErrorLogPlace {
  Text folder;       // the LOGFILE folder itself
  Text programName;  // program file name without extension
  std::function<LocalTime()> clock;
};
void SetErrorLogPlace(ErrorLogPlace place);
// The LOGFILE folder beside the program, named after the program, with the local clock.
ErrorLogPlace DefaultErrorLogPlace();
Text ErrorLogFilePath(int index);

// Appends one line; safe to call from several threads at once. Faults inside the writer
// are swallowed and the line is lost.
void AppendErrorLog(std::string_view faultText);

// The trap: logs "Error <description>, <step>, Fun <procedure>[, file: <file>]" and shows
// the fault without the file name.
void ReportFault(std::string_view description, int step, std::string_view procedure, TextView file = {});

// Runs body(step) and turns an exception escaping it into a trapped fault. The body
// keeps step at the number of the last step it entered. Returns false after a fault.
template <class Body>
bool RunTrapped(std::string_view procedure, Body&& body);

std::string FaultDescription(std::exception_ptr fault);

template <class Body>
bool RunTrapped(std::string_view procedure, Body&& body) {
  int step = 0;
  try {
    body(step);
    return true;
  } catch (...) {
    ReportFault(FaultDescription(std::current_exception()), step, procedure);
    return false;
  }
}
