// The settings of a first start: what a missing or empty Config.dat gives.
#pragma once

#include "base/text.h"
#include "settings/app_settings.h"

constexpr char16_t kDefaultExtensionList[] = u"jpg|png|gif|webp|bmp|psd|bmp,tiff,pcx,psd|heic,heif|avif|jxl";
constexpr char16_t kDefaultSubfolder[] = u"TessalyOut";

// Writes the default set over the record; fields outside the set keep their values.
// The caller supplies the Pictures folder (GetSpecialFolder), possibly empty.
void ApplyDefaultSettings(AppSettings* settings, TextView picturesFolder);
