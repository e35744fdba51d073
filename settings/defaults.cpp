#include "settings/defaults.h"

#include "base/paths.h"
#include "settings/formats.h"

void ApplyDefaultSettings(AppSettings* s, TextView picturesFolder) {
  s->ResizeSide = 1;
  s->NoEnlarge = 1;
  s->TargetSize = 2000;
  s->ScalePercent = 50;
  s->ResizeMode = 0;
  SetField(s->TargetFormat, u"JPG");
  SetField(s->ExtensionList, kDefaultExtensionList);
  s->FormatId = kFormatJpeg;
  int count = 0;
  const OutputFormat* formats = OutputFormats(&count);
  for (int i = 0; i < count; ++i)
    if (formats[i].defaultWord != 0) *FormatWord(s, formats[i]) = formats[i].defaultWord;
  s->OutputMode = 1;
  // A converted archive keeps its order by date; earlier files read 0 and keep today's.
  s->KeepDates = 1;
  SetField(s->OutputFolder, WithTrailingBackslash(WithTrailingBackslash(picturesFolder) + kDefaultSubfolder));
  SetField(s->SubfolderName, kDefaultSubfolder);
  s->ReservedOption = 2;
  s->WarnOnClose = 0;
  s->TrayOnStart = 0;
  s->TrayOnClose = 0;
  s->ShowToolTips = 1;
  s->ActiveTab = 2;
}
