#include "settings/signature.h"

#include "settings/formats.h"

uint32_t SettingsSignature(const AppSettings& s, bool withText) {
  // The stored format's word as its conversions read it: the same as stored for every
  // FreeImage format, the record's default for an own format's word never set.
  uint32_t sig = static_cast<uint32_t>(s.NoEnlarge ^ s.ResizeSide ^ s.TargetSize ^ s.ScalePercent ^
                                       s.ResizeMode ^ s.OutputMode ^ s.FormatId ^
                                       FormatWordOf(s, OutputFormatById(s.FormatId)));
  // The colour options are 0 in every earlier file, which leaves those signatures as they
  // were; set, they are spread over the word so as not to cancel a small field.
  if (s.ToSrgb) sig ^= 0x5A3C0000u;
  if (s.Background) sig ^= static_cast<uint32_t>(s.Background) * 0x9E3779B1u;
  // The output's times and the choice of the source over a larger result are part of
  // what an output is. Where it goes and whether an existing file is written over
  // (Recursive, ExistingFiles) are not: a done output stays done when they change.
  if (s.KeepDates) sig ^= 0x2D8F0000u;
  if (s.KeepIfSmaller) sig ^= 0x4B170000u;
  if (withText) {
    if (s.OutputMode == 0) sig ^= TextChecksum(FieldView(s.OutputFolder));
    else if (s.OutputMode == 1) sig ^= TextChecksum(FieldView(s.SubfolderName));
  }
  return sig;
}
