// Port: the program started as its own worker and the channel between the two. One
// implementation per platform (worker_process_posix.cpp, worker_process_win32.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "base/text.h"

struct WorkerProcess;

// Starts the program with the worker switch, its address space capped at memoryCap
// bytes where the platform can. nullptr with the system's reason when it cannot start.
WorkerProcess* WorkerProcessStart(TextView program, uint64_t memoryCap, Text* reason);
// False once the worker has ended; it is not reaped, so WorkerProcessEnd still tells how.
bool WorkerProcessRunning(const WorkerProcess* worker);
// False when the worker is gone.
bool WorkerProcessSend(WorkerProcess* worker, const std::vector<uint8_t>& bytes);

enum class WorkerRead { Data, Nothing, Ended };
// Waits at most waitMs for bytes from the worker and appends what came; Ended once the
// worker has closed its end (it ended or crashed).
WorkerRead WorkerProcessRead(WorkerProcess* worker, uint32_t waitMs, std::vector<uint8_t>* bytes);
// What a caller waiting on several workers at once can wait on.
intptr_t WorkerProcessWaitHandle(const WorkerProcess* worker);
// Waits at most waitMs until one of these handles has something to read (or its worker
// ended). Under Windows a handle signals only while a read is under way, which every
// WorkerProcessRead that found nothing leaves behind.
void WorkerProcessWaitAny(const std::vector<intptr_t>& handles, uint32_t waitMs);
// Ends the worker (killed at once when kill is set, else asked to finish by closing its
// channel and killed if it does not), reaps it and frees everything. Returns how it
// ended, for the question: "сигнал 11", "код выхода 3"; empty for a normal end.
Text WorkerProcessEnd(WorkerProcess* worker, bool kill);
// Closes the channel of a worker that has answered, which makes it leave, and frees
// everything without waiting: the process is reaped later, off the run's path.
void WorkerProcessRetire(WorkerProcess* worker);
// Waits for the retired workers that have not ended yet (at the end of a run).
void WorkerProcessWaitRetired();

// How many files a worker of this build may take in turn: where the worker wipes every
// block it frees (WorkerWipeFreedMemory), so that no reader running past its buffer can
// find an earlier file's pixels or metadata, more than one; elsewhere 1.
uint32_t WorkerProcessFilesEach();

// The worker's side: from here on, every block of memory the program and its image
// libraries free is wiped first. False where this build cannot; such a worker leaves
// after its first file.
bool WorkerWipeFreedMemory();
// The worker's side: whether its heap is still whole after a file (a reader that wrote
// past its buffer may have broken it); true where the platform cannot tell.
bool WorkerHeapSound();

// The worker's side, in the started program: opens the channel the starter handed
// over (its command-line tail says where on platforms that need it).
bool WorkerChannelOpen(TextView commandLineTail);
// Blocking; false when the channel is closed.
bool WorkerChannelRead(std::vector<uint8_t>* bytes);
bool WorkerChannelWrite(const std::vector<uint8_t>& bytes);
