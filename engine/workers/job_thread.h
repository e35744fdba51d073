// Port: a thread for a conversion run in this process (engine/workers/local_job.h). Under
// Winelib only a thread that Wine made may call Win32, which the file reads do, so each
// platform makes its own.
#pragma once

struct JobThread;

// nullptr when no thread could be made.
JobThread* JobThreadStart(void (*entry)(void*), void* argument);
// Waits for the thread to end and frees it.
void JobThreadJoin(JobThread* thread);
