// The settings signature: a stamp of the conversion settings that a converted entry
// carries, so that a run can skip what it already did with the same settings.
#pragma once

#include <cstdint>

#include "settings/app_settings.h"

// A 32-bit XOR of the conversion fields and the stored format's flag word; with text, also
// the CRC-16/ARC of the output folder (mode 0) or the subfolder name (mode 1).
uint32_t SettingsSignature(const AppSettings& settings, bool withText);
