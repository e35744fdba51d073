// Format names as the settings hold them, mapped to FreeImage format ids.
#pragma once

#include <cstdint>

#include "base/text.h"

constexpr int32_t kFormatUnknown = -1;

// Upper-cases the name and looks it up; -1 when it is not a format name.
int32_t FormatIdFromName(TextView name);
