#include <new>
#include <system_error>
#include <thread>

#include "engine/workers/job_thread.h"

struct JobThread {
  std::thread thread;
};

JobThread* JobThreadStart(void (*entry)(void*), void* argument) {
  try {
    return new JobThread{std::thread(entry, argument)};
  } catch (const std::system_error&) {
    return nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void JobThreadJoin(JobThread* thread) {
  thread->thread.join();
  delete thread;
}
