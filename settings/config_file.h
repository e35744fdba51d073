// Config.dat: the settings record byte for byte, then the profile records.
#pragma once

#include "settings/profile_list.h"

// At most this many missing records (a file whose ProfileCount exceeds the records it
// holds) are read as empty profiles; a larger shortfall means the count is garbage and
// only the records present are loaded. No more than kMaxLoadedProfiles are ever loaded.
constexpr int32_t kMaxMissingProfiles = 16;
constexpr int32_t kMaxLoadedProfiles = 10000;

// True once the record has been read from a file; later loads keep the record in memory
// and only read the profiles.
extern bool gSettingsLoaded;

// "Config.dat" in the program's folder.
Text ConfigPath();

enum class ConfigResult { Ok, NoFile, ReadFailed, WriteFailed };

// Reads gAppSettings (first load only) and, when a list is given, the profiles.
// A missing file changes nothing.
ConfigResult LoadConfig(TextView path, ProfileList* list);

// Writes gAppSettings and the list's profiles to a temporary file and renames it over
// the old one, so a failed save leaves the previous file whole. The list's records are
// released afterwards (also when the write failed: the caller is shutting down).
ConfigResult SaveConfig(TextView path, ProfileList* list);
