// What both forms of the FileList share.
#include "input/file_list.h"

int32_t RootUnitsFor(TextView text, int32_t rootUnits) {
  // A root must leave a name below it; anything else is a file given by itself.
  if (rootUnits <= 0 || static_cast<size_t>(rootUnits) >= text.size() || rootUnits > kMaxRootUnits) return 0;
  return rootUnits;
}
