#include "bench/thread_clock.h"

#include <sys/resource.h>
#include <time.h>

namespace {

double Ms(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

}  // namespace

double ThreadCpuMs() {
  return Ms(CLOCK_THREAD_CPUTIME_ID);
}

double ThreadSystemMs() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_stime.tv_sec * 1e3 + usage.ru_stime.tv_usec / 1e3;
}

double WallMs() {
  return Ms(CLOCK_MONOTONIC);
}

double ThreadCpuStepMs() {
  timespec resolution{};
  clock_getres(CLOCK_THREAD_CPUTIME_ID, &resolution);
  double reported = resolution.tv_sec * 1e3 + resolution.tv_nsec / 1e6;
  double last = ThreadCpuMs(), step = 1e9;
  for (int changes = 0; changes < 20;) {
    double now = ThreadCpuMs();
    if (now == last) continue;
    step = now - last < step ? now - last : step;
    last = now;
    ++changes;
  }
  return step > reported ? step : reported;
}
