// The read-only text of the about page.
#pragma once

#include "base/text.h"

// Built from the image library's notice and version, which the caller asks FreeImage for.
Text AboutText(TextView libraryNotice, TextView libraryVersion);
