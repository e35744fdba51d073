// The run state: written by the main thread only (Start, Stop, closing); the run reads
// it after each processed file and before it begins another, and Idle seen during a
// run means a stop was asked for. Atomic because two threads touch it.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int32_t kRunIdle = 0;
constexpr int32_t kRunRunning = 2;

extern std::atomic<int32_t> gRunState;
