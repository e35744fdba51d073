#include "bench/thread_clock.h"

#include <windows.h>

namespace {

double FiletimeMs(const FILETIME& t) {
  ULARGE_INTEGER v;
  v.LowPart = t.dwLowDateTime;
  v.HighPart = t.dwHighDateTime;
  return static_cast<double>(v.QuadPart) / 1e4;  // 100-nanosecond units
}

}  // namespace

double ThreadCpuMs() {
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0;
  return FiletimeMs(kernel) + FiletimeMs(user);
}

double ThreadSystemMs() {
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0;
  return FiletimeMs(kernel);
}

double WallMs() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) * 1e3 / static_cast<double>(frequency.QuadPart);
}

double ThreadCpuStepMs() {
  // A few changes are enough: the step is the system's tick, the same every time.
  double last = ThreadCpuMs(), step = 1e9;
  for (int changes = 0; changes < 3;) {
    double now = ThreadCpuMs();
    if (now == last) continue;
    step = now - last < step ? now - last : step;
    last = now;
    ++changes;
  }
  return step;
}
