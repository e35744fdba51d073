#include "engine/run/progress.h"

#include <cstdio>

#include "base/utils.h"
#include "base/ui_port.h"
#include "input/file_list.h"

uint32_t gElapsedSeconds = 0;

Text ProgressText(int32_t index, int32_t count, uint64_t size, TextView fileName) {
  Text position(1, u'(');
  position += NumberWithBlank(int64_t{index} + 1) + u"/" + NumberWithBlank(count) + u")  Имя: ";
  // A name may hold a line feed: the status line and a console line stay one line.
  Text name = DisplayText(fileName);
  if (size == 0) return u"Пропущен: " + position + name;
  return u"Выполняется: " + position + name + u" , " + FormatByteSize64(size);
}

void ShowProgress(int32_t index, int32_t count, uint64_t size, TextView fileName) {
  FileListSelect(index);
  UiSetStatusLine(ProgressText(index, count, size, fileName));
}

Text ElapsedText(uint32_t seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", seconds / 3600, seconds % 3600 / 60, seconds % 3600 % 60);
  return u"Прошло: " + TextFromUtf8(buf);
}

Text ElapsedTimeText(int32_t flag) {
  ++gElapsedSeconds;
  if (flag == 0) gElapsedSeconds = 0;
  return ElapsedText(gElapsedSeconds);
}
