// Serialising senders of the hand-over. The shared block holds one text, so a sender
// must not overwrite it before the receiver has read the previous one. Senders take a
// named lock in turn; each one keeps it until the receiver has copied the block after
// that sender's write (or a bounded wait runs out). The gate that tells them so lives in
// a small named mapping of its own beside the block, so the block's layout stays as
// every instance expects it.
//
// The gate also keeps a reader from copying the block while a write is under way (a
// late reader of an earlier message could otherwise copy half of one text and half of
// the next): Posted is odd during a write and even after it, and a copy counts only
// when Posted was even and unchanged across it.
//
// The words are shared between processes; they are only touched through atomic
// operations on the mapped memory.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr char16_t kHandoverGateName[] = u"SMB_TSLCM_VX_ACK";
constexpr char16_t kHandoverLockName[] = u"SMB_TSLCM_VX_LOCK";
// How long a sender waits for its turn, and then for the receiver to read its text.
constexpr uint32_t kHandoverLockWaitMs = 5000;
constexpr uint32_t kHandoverReadWaitMs = 2000;
// A reader that keeps meeting writes (or a writer that died half-way) takes the copy
// as it is after this many attempts rather than hang the window.
constexpr int kGateReadAttempts = 100000;

struct HandoverGate {
  uint32_t Posted;  // bumped before and after every write of the block
  uint32_t Read;    // the newest write whose bytes a reader has copied whole
};
static_assert(sizeof(HandoverGate) == 8);
constexpr size_t kHandoverGateSize = sizeof(HandoverGate);

// Writer: copies the record into the block; returns the write's ticket.
uint32_t GateWrite(HandoverGate* gate, void* block, const void* record, size_t size);
// Reader: copies the block into the record and marks the write it saw as read. False
// when no clean copy could be made within kGateReadAttempts; the record then holds the
// last copy and nothing is marked.
bool GateRead(HandoverGate* gate, void* record, const void* block, size_t size);
// Sender, while waiting: true once a whole copy of its write (or a later one) was made.
bool GateWasRead(HandoverGate* gate, uint32_t ticket);
// Ticket order that survives the 32-bit wrap.
bool TicketAtLeast(uint32_t ticket, uint32_t wanted);
