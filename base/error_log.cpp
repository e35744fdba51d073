#include "base/error_log.h"

#include <cstdio>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>

#include "base/paths.h"
#include "base/utils.h"

namespace {

// One lock for the counter, the index and the file: two threads that fault at once
// each get a whole line of their own.
std::mutex gLogLock;
ErrorLogPlace gPlace;
bool gPlaceSet = false;
uint32_t gLineCounter = 0;
int gFileIndex = 0;

const ErrorLogPlace& Place() {
  if (!gPlaceSet) {
    gPlace = DefaultErrorLogPlace();
    gPlaceSet = true;
  }
  return gPlace;
}

Text FilePath(const ErrorLogPlace& place, int index) {
  return WithTrailingBackslash(place.folder) + u"LOGFILE_" + place.programName + u"_#" + NumberText(index) +
         u".TXT";
}

std::string LogLine(uint32_t counter, const LocalTime& t, std::string_view text) {
  char head[64];
  std::snprintf(head, sizeof head, "%u) %02d-%02d-%04d, %02d:%02d:%02d: ", counter, t.month, t.day, t.year,
                t.hour, t.minute, t.second);
  std::string line = head;
  line.append(text);
  line += "\r\n";
  return line;
}

}  // namespace

ErrorLogPlace DefaultErrorLogPlace() {
  return ErrorLogPlace{ProgramFolder() + u"LOGFILE", ProgramBaseName(), FsLocalTime};
}

void SetErrorLogPlace(ErrorLogPlace place) {
  std::lock_guard<std::mutex> hold(gLogLock);
  gPlace = std::move(place);
  gPlaceSet = true;
  gLineCounter = 0;
  gFileIndex = 0;
}

Text ErrorLogFilePath(int index) {
  std::lock_guard<std::mutex> hold(gLogLock);
  return FilePath(Place(), index);
}

void AppendErrorLog(std::string_view faultText) {
  try {
    std::lock_guard<std::mutex> hold(gLogLock);
    const ErrorLogPlace& place = Place();
    if (!FsIsDirectory(place.folder)) FsCreateDirectory(place.folder);
    if (++gLineCounter > kLogLinesPerFile) {
      gLineCounter = 1;
      gFileIndex = (gFileIndex + 1) % kLogFileCount;
      FsDeleteFile(FilePath(place, gFileIndex));
    }
    std::string line = LogLine(gLineCounter, place.clock ? place.clock() : FsLocalTime(), faultText);
    FsAppendToFile(FilePath(place, gFileIndex), line.data(), line.size());
  } catch (...) {
    // The log writer has no trap of its own: the line is lost.
  }
}

std::string FaultDescription(std::exception_ptr fault) {
  try {
    std::rethrow_exception(fault);
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  } catch (const std::system_error& e) {
    return e.what();
  } catch (const std::out_of_range&) {
    return "Index out of range";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown fault";
  }
}

void ReportFault(std::string_view description, int step, std::string_view procedure, TextView file) {
  Text shown = u"Error " + TextFromUtf8(description) + u", " + NumberWithBlank(step);
  Text logged = shown + u", Fun " + TextFromUtf8(procedure);
  if (!file.empty()) logged += u", file: " + Text(file);
  AppendErrorLog(TextToAnsi(logged));
  TimedMessageBox(shown, u"Fun " + TextFromUtf8(procedure), 0, 0, 0);
}
