// The decode-to-encode work of one file: read, header, decode (smaller when the resize
// allows it), depth, size, tag, encode. Every buffer and image is owned by the step
// that made it and is gone when that step returns, so a conversion holds one file's
// data at a time.
#include "engine/pipeline/pipeline.h"

#include <algorithm>

#include "base/filesys.h"
#include "engine/pipeline/fine_detail.h"
#include "engine/codecs/image.h"
#include "engine/codecs/decode.h"
#include "engine/codecs/pixel_forms.h"
#include "engine/codecs/encode.h"
#include "engine/codecs/file_gamma.h"
#include "engine/codecs/jxl_codec.h"
#include "engine/pipeline/picture_budget.h"
#include "engine/pipeline/shrink_on_load.h"
#include "settings/formats.h"

namespace {

// What one file is converted with, taken from the job's settings once.
struct Target {
  OutputFormat format;
  int32_t flags = 0;
  ResizeRule resize;
  bool toSrgb = false;  // asked for, or the format keeps no profile
  uint32_t background = kWhiteBackground;
};

Target TargetFrom(const AppSettings& settings) {
  Target target;
  target.format = TargetFormatOf(settings);
  target.flags = FormatWordOf(settings, target.format);
  target.resize = ResizeRuleFrom(settings);
  target.toSrgb = settings.ToSrgb != 0 || !KeepsColourProfile(target.format);
  target.background = BackgroundRgb(settings);
  return target;
}

// Replaces the current image by a later stage's, releasing the earlier one at once;
// a stage that yields nothing leaves the current image in place.
void KeepIfMade(Image* current, Image made) {
  if (made) *current = std::move(made);
}

bool WantsPalette(const Target& target) {
  const OutputFormat& f = target.format;
  return f.depth == DepthRule::Palette || (f.depth == DepthRule::PaletteOnOption && HasFlag(target.flags, f.paletteBit));
}

Image AdaptDepth(const Image& image, const Target& target) {
  switch (target.format.depth) {
    case DepthRule::Rgb24: return ImageBpp(image) != 24 ? ConvertTo24Bits(image, target.background) : Image();
    // A 24-bit picture has no alpha to keep: widening it would only cost a buffer a third
    // larger and a pass over every pixel to find it opaque again.
    case DepthRule::Rgb24OrRgba32: return ImageBpp(image) != 24 ? ConvertTo32Bits(image) : Image();
    case DepthRule::Palette:
    case DepthRule::PaletteOnOption: return WantsPalette(target) ? ReduceToPalette(image, target.background) : Image();
    default: return Image();
  }
}

// The decoded image made ready for the target: 8 bits per channel first (16-bit and
// float pictures have no encoder among the targets), then depth, then size. The
// rescale widens a colour palette to true colour, so a palette target that is resized
// is reduced to its palette afterwards instead: otherwise a resized GIF could not be
// written at all and a "256 colours" PNG would come out in full colour. A rescale to
// the size the picture already has would only cost time and soften it.
Image PrepareImage(Image image, const Target& target, const ResizePlan& size, uint32_t gamma) {
  if (!IsStandardBitmap(image)) KeepIfMade(&image, ConvertToStandardBitmap(image));
  if (!ApplyFileGamma(&image, gamma)) return Image();
  bool rescale = size.resize && (static_cast<uint32_t>(size.width) != ImageWidth(image) ||
                                 static_cast<uint32_t>(size.height) != ImageHeight(image));
  bool paletteLast = rescale && WantsPalette(target);
  if (!paletteLast) KeepIfMade(&image, AdaptDepth(image, target));
  if (rescale) KeepIfMade(&image, RescaleLanczos3(image, size.width, size.height));
  if (paletteLast) KeepIfMade(&image, AdaptDepth(image, target));
  return image;
}

// An encoder is never handed an image it does not declare it can take; the wider
// forms are the ones every target here accepts.
Image EncodableForm(Image image, const Target& target) {
  if (CanEncode(target.format, image)) return image;
  if (ImageHasAlpha(image)) {
    Image withAlpha = ConvertTo32Bits(image);
    if (CanEncode(target.format, withAlpha)) return withAlpha;
  }
  Image plain = ConvertTo24Bits(image, target.background);
  return CanEncode(target.format, plain) ? std::move(plain) : Image();
}

int32_t EncodeToMemory(Image image, const Target& target, std::vector<uint8_t>* encoded) {
  image = EncodableForm(std::move(image), target);
  if (!image) return kErrorCannotEncode;
  SetSoftwareTag(image, kSoftwareTag);  // a refused tag is no reason to fail the file
  if (EncodeImage(image, target.format, target.flags, encoded)) return 0;
  // Some writers fail on what the source carried (FreeImage's PNG writer on a text
  // chunk with an empty keyword): the picture is worth more than its notes.
  if (!DropMetadata(image)) return kErrorCannotEncode;
  SetSoftwareTag(image, kSoftwareTag);
  return EncodeImage(image, target.format, target.flags, encoded) ? 0 : kErrorCannotEncode;
}

Text ReadFailure(ReadResult result) {
  switch (result) {
    case ReadResult::TooLarge: return u"Файл размером 4 ГБ или больше";
    case ReadResult::CannotOpen: return u"Не удалось открыть файл: " + FsLastErrorText();
    default: return u"Ошибка чтения: " + FsLastErrorText();
  }
}

// Only a file that could not be read, or holds nothing, stops here: valid pictures can
// be tiny (a GIF of 43 bytes, a WebP of 36).
int32_t ReadSource(TextView path, std::vector<uint8_t>* buffer, Text* detail) {
  ReadResult read = FsReadWholeFile(path, buffer);
  if (read != ReadResult::Ok) {
    buffer->clear();
    *detail = ReadFailure(read);
  } else if (buffer->empty()) {
    *detail = u"Файл пуст (0 байт)";
  }
  return detail->empty() ? 0 : kErrorReadToBuffer;
}

// What the header tells before any pixel: the resize planned from the full, upright
// size, and how much smaller a JPEG may be decoded for it.
struct DecodePlan {
  PictureHeader header;
  ResizePlan resize;
  ShrinkOnLoad shrink;
};

DecodePlan PlanDecode(const std::vector<uint8_t>& buffer, const Target& target, const FileWorkOptions& options) {
  DecodePlan plan;
  ReadPictureHeader(buffer.data(), static_cast<uint32_t>(buffer.size()), &plan.header);
  const PictureHeader& h = plan.header;
  plan.resize = PlanResize(target.resize, h.sidesSwapped ? h.height : h.width,
                           h.sidesSwapped ? h.width : h.height);
  if (options.shrinkOnLoad && h.known && h.format == kFormatJpeg)
    plan.shrink = PlanShrinkOnLoad(h.width, h.height, h.sidesSwapped, plan.resize);
  return plan;
}

// What a conversion holds at its peak: the file's bytes, then its images; a reader that
// cannot tell its size beforehand is taken at a generous multiple of its file.
uint64_t PeakBytes(const DecodePlan& plan, uint32_t bytesRead) {
  if (!plan.header.known) return uint64_t{bytesRead} * 8 + (uint64_t{64} << 20);
  PictureHeader decoded = plan.header;
  if (plan.shrink.scale > 1) {
    decoded.width = plan.shrink.width;
    decoded.height = plan.shrink.height;
  }
  return bytesRead + EstimateConversionBytes(decoded, plan.resize);
}

// The header is read before any pixel: a picture beyond the budget is refused while
// it has cost nothing.
int32_t CheckHeader(const DecodePlan& plan, uint32_t bytesRead, const FileWorkEvents& events, Text* detail) {
  if (int32_t error = CheckPictureBudget(plan.header, plan.resize, detail)) return error;
  uint64_t pixels = uint64_t{plan.header.width} * plan.header.height;
  if (plan.resize.resize) pixels = std::max(pixels, uint64_t(plan.resize.width) * uint64_t(plan.resize.height));
  // Told to give up while waiting for its turn: the run is ending and reads no result.
  if (events.onHeader && !events.onHeader(pixels, PeakBytes(plan, bytesRead))) return kErrorWorkerCrashed;
  return 0;
}

// A JPEG decoded smaller must come out exactly as large as planned, and smooth enough
// to look as the whole picture resampled does; otherwise the whole picture is decoded.
Image Decode(const std::vector<uint8_t>& buffer, const DecodePlan& plan, int32_t* error, uint32_t* scale,
             Text* detail) {
  auto size = static_cast<uint32_t>(buffer.size());
  *scale = 1;
  if (plan.shrink.scale > 1) {
    Image smaller = LoadImageFromBuffer(buffer.data(), size, error, plan.shrink.sizeHint, detail);
    if (*error != 0) return Image();
    bool asPlanned = ImageWidth(smaller) == plan.shrink.width && ImageHeight(smaller) == plan.shrink.height;
    if (asPlanned && FineDetail(ImageRows(smaller)) <= kMaxDetailDecodedSmaller) {
      *scale = plan.shrink.scale;
      return smaller;
    }
  }
  return LoadImageFromBuffer(buffer.data(), size, error, 0, detail);
}

// A JPEG going to JPEG XL unchanged (not resized, not turned) keeps its own coefficients
// when the word asks for it: nothing is decoded at all, and the JPEG can be rebuilt from
// the result bit for bit. One that libjxl cannot take (CMYK, say) is converted as any other.
bool TranscodedAsIs(const std::vector<uint8_t>& buffer, const DecodePlan& plan, const Target& target,
                    std::vector<uint8_t>* encoded) {
  const PictureHeader& h = plan.header;
  bool sameSize = !plan.resize.resize ||
                  (static_cast<uint32_t>(plan.resize.width) == h.width && static_cast<uint32_t>(plan.resize.height) == h.height);
  // Colours taken into sRGB need decoded pixels.
  bool asks = target.format.encoder == EncoderKind::Jxl && HasFlag(target.flags, kJxlTranscodeFlag) && !target.toSrgb;
  if (!asks || !h.known || h.format != kFormatJpeg || h.orientation > 1 || !sameSize) return false;
  return TranscodeJpegToJxl(buffer.data(), buffer.size(), target.flags, encoded);
}

// The file's bytes live only until the image is decoded. The resize is planned from
// the decoded picture, as the header may not know every turn the readers make, unless
// it was decoded smaller: then from the full size the header gave.
int32_t ReadAndDecode(TextView path, const Target& target, const FileWorkOptions& options,
                      const FileWorkEvents& events, Image* image, ResizePlan* size, FileWork* work,
                      DecodePlan* decodePlan) {
  std::vector<uint8_t> buffer;
  if (int32_t error = ReadSource(path, &buffer, &work->detail)) return error;
  work->bytesRead = static_cast<uint32_t>(buffer.size());
  DecodePlan& plan = *decodePlan;
  plan = PlanDecode(buffer, target, options);
  if (int32_t error = CheckHeader(plan, work->bytesRead, events, &work->detail)) return error;
  if (TranscodedAsIs(buffer, plan, target, &work->encoded)) return 0;
  int32_t error = 0;
  *image = Decode(buffer, plan, &error, &work->decodeScale, &work->detail);
  // A recognised format whose reader still gave no image cannot be read either.
  if (error == 0 && !*image) error = kErrorNotReadable;
  if (error != 0) return error;
  *size = work->decodeScale > 1 ? plan.resize
                                : PlanResize(target.resize, ImageWidth(*image), ImageHeight(*image));
  return 0;
}

// The source's upright size: the decoded picture's, unless it was decoded smaller; then
// the header's, turned as the reader turns it.
bool SameSizeAsSource(const DecodePlan& plan, const FileWork& work, uint32_t decodedWidth, uint32_t decodedHeight,
                      const Image& result) {
  uint32_t w = decodedWidth, h = decodedHeight;
  if (work.decodeScale > 1) {
    w = plan.header.sidesSwapped ? plan.header.height : plan.header.width;
    h = plan.header.sidesSwapped ? plan.header.width : plan.header.height;
  }
  return ImageWidth(result) == w && ImageHeight(result) == h;
}

}  // namespace

bool SourceIsBetter(bool keepIfSmaller, const FileWork& work) {
  return keepIfSmaller && work.error == 0 && work.sourceLike && work.encoded.size() > work.bytesRead;
}

uint32_t ReadFileToBuffer(TextView path, std::vector<uint8_t>* buffer) {
  if (FsReadWholeFile(path, buffer) != ReadResult::Ok) {
    buffer->clear();
    return 0;
  }
  return static_cast<uint32_t>(buffer->size());
}

FileWork ConvertFileToMemory(const AppSettings& settings, TextView inputPath, const FileWorkOptions& options,
                             const FileWorkEvents& events) {
  FileWork work;
  Target target = TargetFrom(settings);
  Image decoded;
  ResizePlan size;
  DecodePlan plan;
  work.error = ReadAndDecode(inputPath, target, options, events, &decoded, &size, &work, &plan);
  if (work.error != 0) return work;
  uint32_t decodedWidth = ImageWidth(decoded), decodedHeight = ImageHeight(decoded);
  if (events.onDecoded) events.onDecoded(work.bytesRead);
  if (!work.encoded.empty()) return work;  // kept as it was (a JPEG into JPEG XL)
  // A PNG result keeps the samples and the gamma they were stored with; other formats
  // have no place for it and get the picture as it looks.
  bool keepsGamma = target.format.formatId == kFormatPng;
  uint32_t gamma = FileGamma(decoded);
  Image prepared = PrepareImage(std::move(decoded), target, size, keepsGamma ? 0 : gamma);
  // Into sRGB once the picture has its size: a photo made smaller costs the transform
  // a fraction of its pixels.
  if (prepared && target.toSrgb && !ConvertToSrgb(&prepared)) {
    work.error = kErrorDamaged;
    work.detail = u"Цветовой профиль файла не читается";
    return work;
  }
  work.sourceLike = plan.header.format == target.format.formatId &&
                    SameSizeAsSource(plan, work, decodedWidth, decodedHeight, prepared);
  work.error = CheckTargetSides(ImageWidth(prepared), ImageHeight(prepared), target.format, &work.detail);
  if (work.error == 0) work.error = EncodeToMemory(std::move(prepared), target, &work.encoded);
  if (work.error == 0 && keepsGamma) AddPngGamma(&work.encoded, gamma);
  return work;
}
