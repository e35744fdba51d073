// The output folder as the additional-settings page chooses it.
#pragma once

#include "base/text.h"

// What OutputFolder keeps of a chosen folder: at most 254 characters.
constexpr size_t kOutputFolderUnits = 254;

// The default output folder: the user's Pictures folder, then "TessalyOut\".
Text DefaultOutputFolder();
// Where the folder chooser opens: the folder part of the stored output folder (up to and
// including its last separator) when that folder exists, else the default output folder.
Text BrowseStartFolder(TextView outputFolder);
