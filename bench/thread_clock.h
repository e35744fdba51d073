// The clocks the per-stage figures are read from: the processor time of the calling
// thread, and wall time. One implementation per platform (thread_clock_posix.cpp,
// thread_clock_win32.cpp), so that a benchmark holding FreeImage.h never meets windows.h.
#pragma once

// Processor time (user and system) this thread has used, in milliseconds.
double ThreadCpuMs();
// The system's share of it: page faults and the other work of the kernel (Windows' or,
// under Wine, Linux's) done for the thread.
double ThreadSystemMs();
// A monotonic wall clock, in milliseconds.
double WallMs();
// The smallest step ThreadCpuMs was seen to take while this thread spun: a few
// nanoseconds natively, a clock tick (10 ms) where the system counts in ticks, as
// Wine's GetThreadTimes does. The figures of a stage are sums over many photos, so a
// coarse clock costs precision only in proportion to the square root of their number.
double ThreadCpuStepMs();
