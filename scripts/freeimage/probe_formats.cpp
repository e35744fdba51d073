// Runs FreeImage.dll under Wine (or Windows) and says what it can do: one line per
// format with its read and write support, then a round trip through memory for every
// format Tessaly reads or writes. Exit status 1 when one of those fails, so a DLL whose
// codec was linked wrong or left out cannot pass for a working one.
#include <cstdio>
#include <cstring>

#include "FreeImage.h"

namespace {

struct Needed {
  FREE_IMAGE_FORMAT format;
  bool write;  // a target of the program, or only read
};

// The program's default filter: jpeg,jpg,png,gif,bmp,webp,tif,pcx,psd; targets JPG, WEBP, PNG.
const Needed kNeeded[] = {
    {FIF_JPEG, true}, {FIF_PNG, true},  {FIF_WEBP, true}, {FIF_GIF, false},
    {FIF_BMP, false}, {FIF_TIFF, false}, {FIF_PCX, false}, {FIF_PSD, false},
};

FIBITMAP* Gradient(unsigned width, unsigned height) {
  FIBITMAP* picture = FreeImage_Allocate(width, height, 24);
  for (unsigned y = 0; picture && y < height; ++y) {
    BYTE* line = FreeImage_GetScanLine(picture, y);
    for (unsigned x = 0; x < width; ++x) {
      line[3 * x + FI_RGBA_RED] = static_cast<BYTE>(255 * x / width);
      line[3 * x + FI_RGBA_GREEN] = static_cast<BYTE>(255 * y / height);
      line[3 * x + FI_RGBA_BLUE] = 128;
    }
  }
  return picture;
}

// Saves the picture in the format (8-bit for GIF), reads it back and compares the size
// and the detected type. PCX is read-only in FreeImage, so it is checked by reading.
bool RoundTrip(FREE_IMAGE_FORMAT format) {
  FIBITMAP* picture = Gradient(64, 48);
  if (format == FIF_GIF) {
    FIBITMAP* reduced = FreeImage_ColorQuantize(picture, FIQ_WUQUANT);
    FreeImage_Unload(picture);
    picture = reduced;
  }
  FIMEMORY* memory = FreeImage_OpenMemory();
  bool ok = picture && FreeImage_SaveToMemory(format, picture, memory, 0);
  FreeImage_Unload(picture);
  if (ok) {
    FreeImage_SeekMemory(memory, 0, SEEK_SET);
    ok = FreeImage_GetFileTypeFromMemory(memory, 0) == format;
    FIBITMAP* back = ok ? FreeImage_LoadFromMemory(format, memory, 0) : nullptr;
    ok = back && FreeImage_GetWidth(back) == 64 && FreeImage_GetHeight(back) == 48;
    FreeImage_Unload(back);
  }
  FreeImage_CloseMemory(memory);
  return ok;
}

// The smallest PCX: 2x2, 8 bits, one plane, run-length coded, with its 256-colour palette.
bool ReadsPcx() {
  BYTE file[128 + 4 + 769] = {};
  BYTE header[] = {10, 5, 1, 8, 0, 0, 0, 0, 1, 0, 1, 0, 72, 0, 72, 0};
  std::memcpy(file, header, sizeof header);
  file[65] = 1;  // planes
  file[66] = 2;  // bytes per line
  file[68] = 1;  // palette information: colour
  BYTE rows[] = {0xC2, 7, 0xC2, 9};
  std::memcpy(file + 128, rows, sizeof rows);
  file[132] = 12;  // the palette follows
  FIMEMORY* memory = FreeImage_OpenMemory(file, sizeof file);
  FIBITMAP* picture = FreeImage_LoadFromMemory(FIF_PCX, memory, 0);
  bool ok = picture && FreeImage_GetWidth(picture) == 2 && FreeImage_GetHeight(picture) == 2;
  FreeImage_Unload(picture);
  FreeImage_CloseMemory(memory);
  return ok;
}

}  // namespace

int main() {
  std::printf("FreeImage %s\n", FreeImage_GetVersion());
  for (int i = 0; i < FreeImage_GetFIFCount(); ++i) {
    FREE_IMAGE_FORMAT format = static_cast<FREE_IMAGE_FORMAT>(i);
    std::printf("%2d %-8s %-5s %s\n", i, FreeImage_GetFormatFromFIF(format),
                FreeImage_FIFSupportsReading(format) ? "read" : "-",
                FreeImage_FIFSupportsWriting(format) ? "write" : "-");
  }
  int failures = 0;
  for (const Needed& needed : kNeeded) {
    const char* name = FreeImage_GetFormatFromFIF(needed.format);
    bool ok = FreeImage_FIFSupportsReading(needed.format) &&
              (!needed.write || FreeImage_FIFSupportsWriting(needed.format)) &&
              (needed.format == FIF_PCX ? ReadsPcx() : RoundTrip(needed.format));
    std::printf("%s %s\n", ok ? "ok" : "FAIL", name ? name : "?");
    failures += ok ? 0 : 1;
  }
  std::printf("%d passed, %d failed\n", static_cast<int>(sizeof kNeeded / sizeof kNeeded[0]) - failures, failures);
  return failures == 0 ? 0 : 1;
}
