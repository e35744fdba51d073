// The bytes of a BMP, a cursor, a bare bitmap, a TGA, a PCX or a GIF, read by the program's own
// parsers before FreeImage sees them: whatever they claim, the form handed on is a whole
// BMP (its pixels where its header says, all present), a cursor turned icon or a plain
// true-colour TGA of exactly its pixels, and the checks of cut files and GIF screens stay
// inside the bytes, as does the hex of an EXIF profile kept as PNG text.
#include <cstdlib>
#include <vector>

#include "engine/codecs/cut_files.h"
#include "engine/codecs/gif_screen.h"
#include "engine/codecs/pcx_form.h"
#include "engine/codecs/readable_form.h"
#include "engine/codecs/source_facts.h"
#include "engine/codecs/tga_form.h"

namespace {

uint32_t Read32(const uint8_t* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

void CheckForm(const std::vector<uint8_t>& form) {
  if (form.size() < 6) std::abort();
  if (form[0] == 0 && form[1] == 0 && form[2] == 1 && form[3] == 0) return;  // an icon
  if (form[0] != 'B' || form[1] != 'M' || form.size() < 18) std::abort();
  if (Read32(form.data() + 2) != form.size() || Read32(form.data() + 10) > form.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> form;
  int32_t error = 0;
  for (FormFor use : {FormFor::Pixels, FormFor::HeaderOnly}) {
    form.clear();
    if (InReadableForm(data, size, use, &form, &error)) CheckForm(form);
  }
  for (bool known : {true, false}) {
    form.clear();
    if (UnpackTga(data, size, known, &form) != TgaUnpack::Unpacked) continue;
    size_t pixels = size_t(form[12] | form[13] << 8) * size_t(form[14] | form[15] << 8);
    if (form[2] != 2 || form.size() != 18 + pixels * (form[16] / 8)) std::abort();
  }
  form.clear();
  if (UnpackPcx(data, size, &form) == PcxUnpack::Unpacked) CheckForm(form);
  if (RawProfileBytes(reinterpret_cast<const char*>(data), size).size() > size / 2) std::abort();
  BmpPixelsCut(data, size);
  TgaPixelsCut(data, size);
  GifPlacement placement;
  if (ReadGifPlacement(data, size, &placement) && placement.CanvasWidth() < placement.screenWidth) std::abort();
  return 0;
}
