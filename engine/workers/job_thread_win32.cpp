#include <windows.h>

#include "engine/workers/job_thread.h"

struct JobThread {
  HANDLE handle;
  void (*entry)(void*);
  void* argument;
};

namespace {

DWORD WINAPI Trampoline(LPVOID param) {
  auto* thread = static_cast<JobThread*>(param);
  thread->entry(thread->argument);
  return 0;
}

}  // namespace

JobThread* JobThreadStart(void (*entry)(void*), void* argument) {
  auto* thread = new JobThread{nullptr, entry, argument};
  thread->handle = CreateThread(nullptr, 0, Trampoline, thread, 0, nullptr);
  if (thread->handle) return thread;
  delete thread;
  return nullptr;
}

void JobThreadJoin(JobThread* thread) {
  WaitForSingleObject(thread->handle, INFINITE);
  CloseHandle(thread->handle);
  delete thread;
}
