#include "engine/pipeline/picture_budget.h"

#include <algorithm>

namespace {

uint64_t Pixels(uint64_t width, uint64_t height) {
  return width * height;  // each below 2^32: no overflow in 64 bits
}

Text SizeText(uint64_t width, uint64_t height) {
  uint64_t mega = (Pixels(width, height) + 500'000) / 1'000'000;
  return NumberText(static_cast<int64_t>(width)) + u" × " + NumberText(static_cast<int64_t>(height)) + u" (" +
         NumberText(static_cast<int64_t>(mega)) + u" Мпикс)";
}

}  // namespace

uint64_t EstimateConversionBytes(const PictureHeader& header, const ResizePlan& resize) {
  uint64_t pixels = Pixels(header.width, header.height);
  uint64_t decoded = pixels * std::max<uint64_t>(1, (header.bitsPerPixel + 7) / 8);
  // One 32-bit working copy (depth, 8 bits per channel) of the source, and the rescaled
  // picture with its own converted copy.
  uint64_t result = resize.resize ? Pixels(uint64_t(resize.width), uint64_t(resize.height)) * 4 * 2 : 0;
  return decoded + pixels * 4 + result;
}

int32_t CheckPictureBudget(const PictureHeader& header, const ResizePlan& resize, Text* detail) {
  if (!header.known) return 0;
  const Text limit = u"; предел " + NumberText(int64_t{kMaxPicturePixels / 1'000'000}) + u" Мпикс";
  if (Pixels(header.width, header.height) > kMaxPicturePixels) {
    *detail = u"Размер в заголовке файла: " + SizeText(header.width, header.height) + limit;
    return kErrorTooLarge;
  }
  if (resize.resize && Pixels(uint64_t(resize.width), uint64_t(resize.height)) > kMaxPicturePixels) {
    *detail = u"Размер после изменения: " + SizeText(uint64_t(resize.width), uint64_t(resize.height)) + limit;
    return kErrorTooLarge;
  }
  if (EstimateConversionBytes(header, resize) > kMaxConversionBytes) {
    *detail = u"Преобразование заняло бы больше " + NumberText(int64_t{kMaxConversionBytes >> 30}) + u" ГБ памяти";
    return kErrorTooLarge;
  }
  return 0;
}

int32_t CheckTargetSides(uint32_t width, uint32_t height, const OutputFormat& format, Text* detail) {
  if (format.maxSide == 0 || (width <= format.maxSide && height <= format.maxSide)) return 0;
  Text name = format.name ? Text(format.name) : Text(u"?");
  *detail = u"Формат " + name + u" хранит не больше " + NumberText(int64_t{format.maxSide}) +
            u" пикселей по стороне; изображение " + NumberText(int64_t{width}) + u" × " + NumberText(int64_t{height});
  return kErrorTooLarge;
}
