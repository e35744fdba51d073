// Starting with Windows: the program's value under the current user's Run key.
#pragma once

#include <cstdint>

#include "base/text.h"

constexpr char16_t kRunKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char16_t kAutorunValueName[] = u"Tessaly";
// Data length of the value in UTF-16 units, terminator and zero padding included (510 bytes).
constexpr size_t kAutorunUnits = 255;

constexpr int32_t kAutorunAdded = 1;
constexpr int32_t kAutorunNoKey = 2;
constexpr int32_t kAutorunNotWritten = 3;
constexpr int32_t kAutorunTooLong = 4;

// The command Windows runs at log-on: the executable quoted, so that a path with blanks
// ("C:\Program Files\...") cannot start another program named by its first words, then
// "/auto", which asks for a start in the tray.
Text AutorunCommandLine(TextView exePath);

// Writes the value: kAutorunAdded, kAutorunNoKey when the Run key cannot be created or
// opened, kAutorunNotWritten when the write fails, kAutorunTooLong (nothing written) when
// the command would not fit its 254 characters and would be cut.
int32_t AddAutorun(TextView name, TextView exePath);
// Deletes the value; true when it is gone afterwards (also when it never existed).
bool RemoveAutorun(TextView name);

// What the start-with-Windows box leads to: the AutoStart setting that is true afterwards,
// and the message to show (empty when there is none).
struct AutoStartOutcome {
  int32_t autoStart;
  Text message;
};
AutoStartOutcome SwitchAutoStart(bool on, TextView exePath);
