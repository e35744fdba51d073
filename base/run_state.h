// The run state: written by the main thread only (Start, Stop, closing); the run reads
// it after each processed file and before it begins another, and Idle seen during a
// run means a stop was asked for. Atomic because two threads touch it.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int32_t kRunIdle = 0;
constexpr int32_t kRunRunning = 2;

extern std::atomic<int32_t> gRunState;

// Set from the start of a run until its worker has finished, so a start request that
// arrives while a stopped worker is still on its last file cannot create a second one;
// the list also waits for it before it clears itself.
extern std::atomic<bool> gWorkerActive;

// True while a worker exists.
inline bool WorkerActive() {
  return gWorkerActive.load();
}
