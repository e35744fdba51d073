// The start-up steps that need no window, shared by the Win32 program and tessaly-batch.
#pragma once

#include "settings/config_file.h"

// Reads the settings record (no profiles) and, when LaunchCount is 0, applies the
// defaults with the user's Pictures folder.
ConfigResult LoadStartupSettings(TextView configPath);

// The end of a run: LaunchCount + 1, then the settings and profiles are written.
ConfigResult SaveShutdownSettings(TextView configPath, ProfileList* profiles);

// What the window says when the settings could not be written: the old file is still
// whole, but this session's choices would otherwise be lost without a word.
Text SettingsNotSavedText(TextView configPath);
