// Instance mutex, shared block and the sender's side of the hand-over.
//
// Without a lock two senders starting at once could both write the block before the
// receiver reads it, and the earlier command line would be lost. Senders therefore
// queue on a named mutex and keep it until the receiver has copied their text (the gate
// of handover_gate.h), or until a bounded wait runs out when the receiver is stuck.
#include "base/wide_win32.h"
#include "app/instance_win32.h"

#include <cstring>

#include "app/handover_gate.h"

namespace {

// Capacities of the names the operations take, terminator not counted.
constexpr size_t kMutexNameUnits = 275;
constexpr size_t kBlockNameUnits = 19;
constexpr DWORD kGatePollMs = 5;

// One named mapping as this process holds it: handle, view and the size mapped.
struct NamedBlock {
  HANDLE mapping = nullptr;
  void* view = nullptr;
  uint32_t size = 0;
};

NamedBlock gSharedBlock;
NamedBlock gGateBlock;

bool IsOpen(const NamedBlock& block) {
  return block.mapping != nullptr;
}

bool IsMapped(const NamedBlock& block) {
  return block.mapping != nullptr && block.view != nullptr;
}

// Creates the page-file-backed mapping or attaches to an existing one of that name.
int32_t CreateNamedBlock(NamedBlock* block, TextView name, uint32_t size) {
  if (size == 0) return 0;
  Text cut = Cut(name, kBlockNameUnits);
  block->mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, Wide(cut));
  if (!block->mapping) return 0;
  block->view = MapViewOfFile(block->mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  block->size = size;
  return 1;
}

int32_t OpenNamedBlock(NamedBlock* block, TextView name, uint32_t size) {
  if (size == 0) return 0;
  Text cut = Cut(name, kBlockNameUnits);
  block->mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, Wide(cut));
  if (!block->mapping) return 0;
  block->view = MapViewOfFile(block->mapping, FILE_MAP_WRITE, 0, 0, size);
  if (!block->view) return 0;
  block->size = size;
  return 1;
}

void CloseNamedBlock(NamedBlock* block) {
  if (block->view) UnmapViewOfFile(block->view);
  if (block->mapping) CloseHandle(block->mapping);
  *block = NamedBlock{};
}

HandoverGate* Gate() {
  return IsMapped(gGateBlock) ? static_cast<HandoverGate*>(gGateBlock.view) : nullptr;
}

// The gate is made by whichever side comes first, so a sender and a receiver always
// meet on the same one.
void AttachGate() {
  if (!IsOpen(gGateBlock)) CreateNamedBlock(&gGateBlock, kHandoverGateName, kHandoverGateSize);
}

// The senders' turn: held from before the block is read until the receiver has read
// what was written. An owner that died leaves it abandoned, which still hands it over.
class SenderTurn {
 public:
  SenderTurn() {
    lock_ = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(kHandoverLockName));
    if (!lock_) return;
    DWORD waited = WaitForSingleObject(lock_, kHandoverLockWaitMs);
    owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  ~SenderTurn() {
    if (owned_) ReleaseMutex(lock_);
    if (lock_) CloseHandle(lock_);
  }
  SenderTurn(const SenderTurn&) = delete;
  SenderTurn& operator=(const SenderTurn&) = delete;

 private:
  HANDLE lock_ = nullptr;
  bool owned_ = false;
};

void WaitUntilRead(uint32_t ticket) {
  HandoverGate* gate = Gate();
  if (!gate) return;
  DWORD start = GetTickCount();
  while (!GateWasRead(gate, ticket) && GetTickCount() - start < kHandoverReadWaitMs) Sleep(kGatePollMs);
}

// The record into the open block; the write's gate ticket (0 without a gate).
uint32_t WriteBlock(const HandoverRecord& record) {
  if (!IsMapped(gSharedBlock)) return 0;
  if (HandoverGate* gate = Gate()) return GateWrite(gate, gSharedBlock.view, &record, gSharedBlock.size);
  std::memcpy(gSharedBlock.view, &record, gSharedBlock.size);
  return 0;
}

HWND WindowFromRecord(uint32_t handle) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
}

}  // namespace

int32_t IsFirstInstance(TextView mutexName) {
  Text name = mutexName.empty() ? Text(kFallbackMutexName) : Cut(mutexName, kMutexNameUnits);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, Wide(name));
  DWORD lastError = GetLastError();
  if (!mutex) return 0;
  return lastError == ERROR_ALREADY_EXISTS ? 0 : 1;
}

int32_t SharedBlockCreate() {
  if (IsOpen(gSharedBlock)) return 0;
  AttachGate();
  return CreateNamedBlock(&gSharedBlock, kSharedBlockName, kHandoverRecordSize);
}

int32_t SharedBlockOpen() {
  if (IsOpen(gSharedBlock)) return 0;
  AttachGate();
  return OpenNamedBlock(&gSharedBlock, kSharedBlockName, kHandoverRecordSize);
}

void SharedBlockClose() {
  CloseNamedBlock(&gSharedBlock);
  CloseNamedBlock(&gGateBlock);
}

void SMB_SET(const HandoverRecord& record) {
  WriteBlock(record);
}

void SMB_GET(HandoverRecord* record) {
  if (!IsMapped(gSharedBlock)) return;
  if (HandoverGate* gate = Gate()) {
    GateRead(gate, record, gSharedBlock.view, gSharedBlock.size);
  } else {
    std::memcpy(record, gSharedBlock.view, gSharedBlock.size);
  }
}

bool PublishHandoverTarget(HWND dialog) {
  HandoverRecord record{};
  record.TargetWindow = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(dialog));
  if (!SharedBlockCreate()) return false;
  SMB_SET(record);
  return true;
}

Text ReceiveHandoverText() {
  HandoverRecord record{};
  SMB_GET(&record);
  return HandoverText(record);
}

bool HandOverToRunningInstance(UINT message, TextView tail) {
  SenderTurn turn;
  SharedBlockOpen();
  HandoverRecord record{};
  SMB_GET(&record);
  bool handed = record.TargetWindow != 0;
  if (handed) {
    SetHandoverText(&record, tail);
    uint32_t ticket = WriteBlock(record);
    // A stale handle (the receiver died) takes no message, and nobody will read.
    if (PostMessageW(WindowFromRecord(record.TargetWindow), message, kHandoverCode, 0)) WaitUntilRead(ticket);
  }
  SharedBlockClose();
  return handed;
}

Text SystemErrorText(uint32_t code) {
  constexpr DWORD kBufferUnits = 256;
  char16_t buffer[kBufferUnits] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer),
                                kBufferUnits, nullptr);
  return SystemErrorLine(code, TextView(buffer, length));
}
