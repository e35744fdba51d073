#include "shell/output_folder.h"

#include "base/paths.h"
#include "base/utils.h"
#include "settings/app_settings.h"
#include "settings/defaults.h"

Text DefaultOutputFolder() {
  return WithTrailingBackslash(WithTrailingBackslash(GetSpecialFolder(kCsidlMyPictures)) + kDefaultSubfolder);
}

Text BrowseStartFolder(TextView outputFolder) {
  Text folder = SplitPath(outputFolder).folder;
  if (IsDirectory(folder) == 0) return DefaultOutputFolder();
  return folder;
}
