// What the machine has: one implementation per platform.
#pragma once

#include <cstdint>

// Bytes of physical memory; 0 when the system does not say.
uint64_t PhysicalMemoryBytes();
