#include "app/handover_gate.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace {

// The gate's words are plain 32-bit words in shared memory; atomic_ref gives them
// sequentially consistent loads and read-modify-writes in both processes.
std::atomic_ref<uint32_t> Word(uint32_t& word) {
  return std::atomic_ref<uint32_t>(word);
}

bool IsWriting(uint32_t posted) {
  return (posted & 1) != 0;
}

void MarkRead(HandoverGate* gate, uint32_t ticket) {
  auto read = Word(gate->Read);
  uint32_t current = read.load();
  // Only forward: an older copy finishing late must not take back a newer mark.
  while (!TicketAtLeast(current, ticket) && !read.compare_exchange_weak(current, ticket)) {
  }
}

}  // namespace

bool TicketAtLeast(uint32_t ticket, uint32_t wanted) {
  return static_cast<int32_t>(ticket - wanted) >= 0;
}

uint32_t GateWrite(HandoverGate* gate, void* block, const void* record, size_t size) {
  auto posted = Word(gate->Posted);
  // A writer that died half-way left Posted odd; one more step makes it odd again.
  if (!IsWriting(posted.fetch_add(1) + 1)) posted.fetch_add(1);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  std::memcpy(block, record, size);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  return posted.fetch_add(1) + 1;
}

bool GateRead(HandoverGate* gate, void* record, const void* block, size_t size) {
  auto posted = Word(gate->Posted);
  for (int attempt = 0; attempt < kGateReadAttempts; ++attempt) {
    uint32_t before = posted.load();
    if (IsWriting(before)) {
      std::this_thread::yield();
      continue;
    }
    std::atomic_thread_fence(std::memory_order_seq_cst);
    std::memcpy(record, block, size);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (posted.load() == before) {
      MarkRead(gate, before);
      return true;
    }
  }
  std::memcpy(record, block, size);
  return false;
}

bool GateWasRead(HandoverGate* gate, uint32_t ticket) {
  return TicketAtLeast(Word(gate->Read).load(), ticket);
}
