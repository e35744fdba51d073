#include <unistd.h>

#include "base/machine.h"

uint64_t PhysicalMemoryBytes() {
  long pages = ::sysconf(_SC_PHYS_PAGES), size = ::sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? uint64_t(pages) * uint64_t(size) : 0;
}
