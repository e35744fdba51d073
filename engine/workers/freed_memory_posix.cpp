// Freed memory wiped in a worker, natively. A program's own free and realloc stand in
// front of the C library's for every shared library it loads (the image libraries
// included; glibc lets a program replace them so), so these two see every block given
// back, and once the worker asks, each is wiped before the allocator may hand it out
// again. Both pass the blocks on to glibc's own allocator, which keeps serving malloc.
#include <errno.h>
#include <malloc.h>
#include <string.h>

#include <algorithm>
#include <atomic>

#include "engine/workers/worker_process.h"

// Sanitizers bring their own allocator, which must stay in front.
#if defined(__SANITIZE_ADDRESS__)
#define TESSALY_OWN_FREE 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define TESSALY_OWN_FREE 0
#endif
#endif
#ifndef TESSALY_OWN_FREE
#define TESSALY_OWN_FREE 1
#endif

#if TESSALY_OWN_FREE

extern "C" {
void __libc_free(void* block);
void* __libc_malloc(size_t size);
void* __libc_realloc(void* block, size_t size);
}

namespace {

// A bound on what a slow leak in an image library may gather in one worker.
constexpr uint32_t kFilesEach = 64;
std::atomic<bool> gWipe{false};

}  // namespace

extern "C" void free(void* block) {
  if (block && gWipe.load(std::memory_order_relaxed)) explicit_bzero(block, malloc_usable_size(block));
  __libc_free(block);
}

// Growing in place would leave nothing behind, but shrinking or moving gives back the rest
// unwiped inside the C library: a block that changes size always moves, through free.
extern "C" void* realloc(void* block, size_t size) {
  if (!block || !gWipe.load(std::memory_order_relaxed)) return __libc_realloc(block, size);
  if (size == 0) {
    free(block);
    return nullptr;
  }
  void* moved = __libc_malloc(size);
  if (!moved) return nullptr;
  memcpy(moved, block, std::min(malloc_usable_size(block), size));
  free(block);
  return moved;
}

// glibc's own reallocarray reaches its realloc without passing the one above.
extern "C" void* reallocarray(void* block, size_t count, size_t size) {
  size_t bytes = 0;
  if (__builtin_mul_overflow(count, size, &bytes)) {
    errno = ENOMEM;
    return nullptr;
  }
  return realloc(block, bytes);
}

bool WorkerWipeFreedMemory() {
  gWipe = true;
  return true;
}

uint32_t WorkerProcessFilesEach() {
  return kFilesEach;
}

#else

bool WorkerWipeFreedMemory() {
  return false;
}

uint32_t WorkerProcessFilesEach() {
  return 1;
}

#endif

bool WorkerHeapSound() {
  // The C library has no check to ask; it ends a process whose heap it finds broken.
  return true;
}
