// The record a later instance hands to the running one through the shared block. Its
// layout is shared between processes and must stay exactly as it is.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/text.h"

constexpr uint32_t kHandoverCode = 1300;
constexpr size_t kHandoverRecordSize = 4100;
constexpr size_t kHandoverTextUnits = 2047;  // plus the terminator
constexpr char16_t kSharedBlockName[] = u"SMB_TSLCM_VX";
constexpr char16_t kInstanceMutexName[] = u"TessalyEx ";
constexpr char16_t kFallbackMutexName[] = u"FirstInstanceofProgram_A2021AS_X09";
constexpr char kHandoverMessageName[] = "Tessaly" "1,4,4,8";
constexpr char16_t kAlreadyRunningText[] = u"Одна копия программы уже запущена!";

#pragma pack(push, 4)
struct HandoverRecord {
  // A window handle in 32 bits: Windows keeps window handles within 32 bits so that
  // 32- and 64-bit processes can exchange them.
  uint32_t TargetWindow;
  char16_t CommandText[kHandoverTextUnits + 1];
};
#pragma pack(pop)

static_assert(offsetof(HandoverRecord, TargetWindow) == 0);
static_assert(offsetof(HandoverRecord, CommandText) == 4);
static_assert(sizeof(HandoverRecord) == kHandoverRecordSize);

// The command line without the program's own path (quoted or bare) and the blanks
// after it.
Text CommandLineTail(TextView commandLine);

// The record a sender writes: the receiver's window kept, the tail cut to 2047 units.
void SetHandoverText(HandoverRecord* record, TextView tail);
Text HandoverText(const HandoverRecord& record);

// True when the tail asks for a start hidden in the tray ("/auto", case-sensitive,
// anywhere in the tail).
bool WantsHiddenStart(TextView tail);

// "##### " + the system's message: the code in decimal, a blank, then the text as given.
Text SystemErrorLine(uint32_t code, TextView systemText);
