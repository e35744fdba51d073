#include "engine/codecs/jxl_codec.h"

#include <cmath>
#include <cstring>

#include "engine/codecs/decode.h"
#include "engine/codecs/exif_orientation.h"
#include "settings/formats.h"

double JxlDistanceForQuality(int quality) {
  if (quality >= 100) return 0.0;
  if (quality >= 30) return 0.1 + (100 - quality) * 0.09;
  return 6.4 + std::pow(2.5, (30 - quality) / 5.0) / 6.25;
}

#if defined(TESSALY_LIBJXL)

#define TESSALY_HOST_HEADER <jxl/decode.h>
#include "engine/codecs/host_header.h"
#define TESSALY_HOST_HEADER <jxl/encode.h>
#include "engine/codecs/host_header.h"

namespace {

constexpr int kDefaultQuality = 90;
constexpr int kDefaultEffort = 7;
constexpr size_t kFirstBoxBuffer = 64 * 1024;

// A box being read: the buffer grows while the decoder asks for more room.
struct BoxReader {
  std::vector<uint8_t>* target = nullptr;
  void Begin(JxlDecoder* dec, std::vector<uint8_t>* into) {
    target = into;
    target->assign(kFirstBoxBuffer, 0);
    JxlDecoderSetBoxBuffer(dec, target->data(), target->size());
  }
  void Grow(JxlDecoder* dec) {
    size_t left = JxlDecoderReleaseBoxBuffer(dec), used = target->size() - left;
    target->resize(target->size() * 2);
    JxlDecoderSetBoxBuffer(dec, target->data() + used, target->size() - used);
  }
  void End(JxlDecoder* dec) {
    if (!target) return;
    target->resize(target->size() - JxlDecoderReleaseBoxBuffer(dec));
    target = nullptr;
  }
};

struct Decoder {
  JxlDecoder* dec = JxlDecoderCreate(nullptr);
  ~Decoder() {
    if (dec) JxlDecoderDestroy(dec);
  }
};

void Fail(DecodedPicture* picture, int32_t error, const char16_t* detail) {
  picture->error = error;
  picture->detail = detail;
  picture->pixels.clear();
}

// The colour as the file gives it for its pixels: HDR refused, plain sRGB left without a
// profile, anything else as the ICC profile libjxl writes for it.
bool TakeColour(JxlDecoder* dec, DecodedPicture* picture) {
  JxlColorEncoding encoding;
  bool encoded = JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &encoding) ==
                 JXL_DEC_SUCCESS;
  if (encoded && (encoding.transfer_function == JXL_TRANSFER_FUNCTION_PQ ||
                  encoding.transfer_function == JXL_TRANSFER_FUNCTION_HLG)) {
    Fail(picture, kErrorHdr, encoding.transfer_function == JXL_TRANSFER_FUNCTION_PQ ? u"PQ (SMPTE 2084)" : u"HLG");
    return false;
  }
  bool srgb = encoded && encoding.color_space == JXL_COLOR_SPACE_RGB &&
              encoding.white_point == JXL_WHITE_POINT_D65 && encoding.primaries == JXL_PRIMARIES_SRGB &&
              encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
  size_t size = 0;
  if (srgb || JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) != JXL_DEC_SUCCESS)
    return true;
  picture->icc.resize(size);
  if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, picture->icc.data(), size) !=
      JXL_DEC_SUCCESS)
    picture->icc.clear();
  return true;
}

void TakeBasicInfo(JxlDecoder* dec, DecodedPicture* picture) {
  JxlBasicInfo info;
  if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS) return;
  // The decoder turns the picture upright; orientations 5 to 8 swap its sides.
  bool swapped = info.orientation >= JXL_ORIENT_TRANSPOSE;
  picture->width = swapped ? info.ysize : info.xsize;
  picture->height = swapped ? info.xsize : info.ysize;
  picture->alpha = info.alpha_bits > 0;
}

bool SetOutBuffer(JxlDecoder* dec, DecodedPicture* picture) {
  JxlPixelFormat format = {picture->alpha ? 4u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  size_t size = 0;
  if (JxlDecoderImageOutBufferSize(dec, &format, &size) != JXL_DEC_SUCCESS) return false;
  if (size != size_t{picture->width} * picture->height * format.num_channels) return false;
  picture->pixels.resize(size);
  return JxlDecoderSetImageOutBuffer(dec, &format, picture->pixels.data(), size) == JXL_DEC_SUCCESS;
}

// Exif boxes start with the offset of their TIFF header, as HEIF's Exif items do.
void FinishMetadata(const std::vector<uint8_t>& exifBox, DecodedPicture* picture) {
  ByteSpan tiff = ExifItemTiff(exifBox.data(), exifBox.size());
  if (!tiff) return;
  picture->exif.assign(tiff.data, tiff.data + tiff.size);
  if (MendExifOrientation(&picture->exif) == ExifOrientation::Unmendable) picture->exif.clear();
}

}  // namespace

bool HaveJxlCodec() {
  return true;
}

bool IsJxlFile(const uint8_t* data, size_t size) {
  JxlSignature signature = JxlSignatureCheck(data, size);
  return signature == JXL_SIG_CODESTREAM || signature == JXL_SIG_CONTAINER;
}

bool ReadJxlFacts(const uint8_t* data, size_t size, PictureFacts* facts) {
  *facts = PictureFacts();
  Decoder d;
  if (!d.dec || JxlDecoderSubscribeEvents(d.dec, JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS) return false;
  JxlDecoderSetInput(d.dec, data, size);
  JxlDecoderCloseInput(d.dec);
  if (JxlDecoderProcessInput(d.dec) != JXL_DEC_BASIC_INFO) return false;
  DecodedPicture picture;
  TakeBasicInfo(d.dec, &picture);
  if (picture.width == 0 || picture.height == 0) return false;
  facts->known = true;
  facts->width = picture.width;
  facts->height = picture.height;
  facts->alpha = picture.alpha;
  return true;
}

DecodedPicture DecodeJxl(const uint8_t* data, size_t size) {
  DecodedPicture picture;
  Decoder d;
  constexpr int kEvents = JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE | JXL_DEC_BOX;
  if (!d.dec || JxlDecoderSubscribeEvents(d.dec, kEvents) != JXL_DEC_SUCCESS ||
      JxlDecoderSetUnpremultiplyAlpha(d.dec, JXL_TRUE) != JXL_DEC_SUCCESS) {
    Fail(&picture, kErrorNotReadable, u"libjxl");
    return picture;
  }
  JxlDecoderSetDecompressBoxes(d.dec, JXL_TRUE);
  // The input is left open: a file that ends before its picture then asks for more, which
  // tells a cut file from a damaged one.
  JxlDecoderSetInput(d.dec, data, size);
  BoxReader box;
  std::vector<uint8_t> exifBox;
  for (;;) {
    JxlDecoderStatus status = JxlDecoderProcessInput(d.dec);
    if (status == JXL_DEC_BOX || status == JXL_DEC_FULL_IMAGE || status == JXL_DEC_SUCCESS) box.End(d.dec);
    if (status == JXL_DEC_BASIC_INFO) {
      TakeBasicInfo(d.dec, &picture);
    } else if (status == JXL_DEC_COLOR_ENCODING) {
      if (!TakeColour(d.dec, &picture)) return picture;
    } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
      if (!SetOutBuffer(d.dec, &picture)) break;
    } else if (status == JXL_DEC_BOX) {
      JxlBoxType type;
      if (JxlDecoderGetBoxType(d.dec, type, JXL_TRUE) != JXL_DEC_SUCCESS) continue;
      if (std::memcmp(type, "Exif", 4) == 0) box.Begin(d.dec, &exifBox);
      if (std::memcmp(type, "xml ", 4) == 0) box.Begin(d.dec, &picture.xmp);
    } else if (status == JXL_DEC_BOX_NEED_MORE_OUTPUT) {
      box.Grow(d.dec);
    } else if (status == JXL_DEC_FULL_IMAGE) {
      FinishMetadata(exifBox, &picture);
      return picture;  // the first frame; an animation's others are not wanted
    } else if (status == JXL_DEC_NEED_MORE_INPUT) {
      Fail(&picture, kErrorTruncated, u"");
      return picture;
    } else if (status == JXL_DEC_ERROR || status == JXL_DEC_SUCCESS) {
      break;
    }
  }
  Fail(&picture, kErrorDamaged, u"libjxl");
  return picture;
}

namespace {

struct Encoder {
  JxlEncoder* enc = JxlEncoderCreate(nullptr);
  ~Encoder() {
    if (enc) JxlEncoderDestroy(enc);
  }
};

bool Finish(JxlEncoder* enc, std::vector<uint8_t>* out) {
  JxlEncoderCloseInput(enc);
  out->resize(64 * 1024);
  uint8_t* next = out->data();
  size_t left = out->size();
  for (;;) {
    JxlEncoderStatus status = JxlEncoderProcessOutput(enc, &next, &left);
    if (status == JXL_ENC_SUCCESS) break;
    if (status != JXL_ENC_NEED_MORE_OUTPUT) {
      out->clear();
      return false;
    }
    size_t used = static_cast<size_t>(next - out->data());
    out->resize(out->size() * 2);
    next = out->data() + used;
    left = out->size() - used;
  }
  out->resize(static_cast<size_t>(next - out->data()));
  return true;
}

int Effort(int32_t flags) {
  int effort = WordNumber(flags, OutputFormatById(kFormatJxl).number);
  return effort >= 1 && effort <= 9 ? effort : kDefaultEffort;
}

// Boxes of their own for EXIF (after the offset of its TIFF header, 0 here) and XMP.
bool AddMetadata(JxlEncoder* enc, const PictureMetadata& metadata) {
  ByteSpan exif = metadata.exif ? TiffOnly(metadata.exif) : ByteSpan();
  if (!exif && !metadata.xmp) return true;
  if (JxlEncoderUseBoxes(enc) != JXL_ENC_SUCCESS) return false;
  if (exif) {
    std::vector<uint8_t> box(4, 0);
    box.insert(box.end(), exif.data, exif.data + exif.size);
    if (JxlEncoderAddBox(enc, "Exif", box.data(), box.size(), JXL_FALSE) != JXL_ENC_SUCCESS) return false;
  }
  return !metadata.xmp ||
         JxlEncoderAddBox(enc, "xml ", metadata.xmp.data, metadata.xmp.size, JXL_FALSE) == JXL_ENC_SUCCESS;
}

bool SetColour(JxlEncoder* enc, const PictureMetadata& metadata) {
  if (metadata.icc) return JxlEncoderSetICCProfile(enc, metadata.icc.data, metadata.icc.size) == JXL_ENC_SUCCESS;
  JxlColorEncoding srgb;
  JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
  return JxlEncoderSetColorEncoding(enc, &srgb) == JXL_ENC_SUCCESS;
}

}  // namespace

bool EncodeJxl(const PixelRows& pixels, bool alpha, int32_t flags, const PictureMetadata& metadata,
               std::vector<uint8_t>* out) {
  out->clear();
  if (!pixels.bits || pixels.width == 0 || pixels.height == 0 || (pixels.bpp != 24 && pixels.bpp != 32)) return false;
  Encoder e;
  if (!e.enc) return false;
  bool lossless = (flags & kLosslessFlag) != 0;
  int quality = flags & kQualityBits;
  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = pixels.width;
  info.ysize = pixels.height;
  info.bits_per_sample = 8;
  info.num_color_channels = 3;
  info.alpha_bits = alpha ? 8 : 0;
  info.num_extra_channels = alpha ? 1 : 0;
  info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
  if (JxlEncoderSetBasicInfo(e.enc, &info) != JXL_ENC_SUCCESS || !SetColour(e.enc, metadata) ||
      !AddMetadata(e.enc, metadata))
    return false;
  JxlEncoderFrameSettings* frame = JxlEncoderFrameSettingsCreate(e.enc, nullptr);
  if (!frame || JxlEncoderFrameSettingsSetOption(frame, JXL_ENC_FRAME_SETTING_EFFORT, Effort(flags)) != JXL_ENC_SUCCESS)
    return false;
  if (lossless ? JxlEncoderSetFrameLossless(frame, JXL_TRUE) != JXL_ENC_SUCCESS
               : JxlEncoderSetFrameDistance(frame, static_cast<float>(JxlDistanceForQuality(
                                                       quality == 0 ? kDefaultQuality : quality))) != JXL_ENC_SUCCESS)
    return false;
  std::vector<uint8_t> rgb = RowsAsRgb(pixels, alpha);
  JxlPixelFormat format = {alpha ? 4u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  if (JxlEncoderAddImageFrame(frame, &format, rgb.data(), rgb.size()) != JXL_ENC_SUCCESS) return false;
  return Finish(e.enc, out);
}

bool TranscodeJpegToJxl(const uint8_t* jpeg, size_t size, int32_t flags, std::vector<uint8_t>* out) {
  out->clear();
  Encoder e;
  if (!e.enc || JxlEncoderUseContainer(e.enc, JXL_TRUE) != JXL_ENC_SUCCESS ||
      JxlEncoderStoreJPEGMetadata(e.enc, JXL_TRUE) != JXL_ENC_SUCCESS)
    return false;
  JxlEncoderFrameSettings* frame = JxlEncoderFrameSettingsCreate(e.enc, nullptr);
  if (!frame || JxlEncoderFrameSettingsSetOption(frame, JXL_ENC_FRAME_SETTING_EFFORT, Effort(flags)) != JXL_ENC_SUCCESS)
    return false;
  if (JxlEncoderAddJPEGFrame(frame, jpeg, size) != JXL_ENC_SUCCESS) return false;
  return Finish(e.enc, out);
}

#else

bool HaveJxlCodec() {
  return false;
}

bool IsJxlFile(const uint8_t*, size_t) {
  return false;
}

bool ReadJxlFacts(const uint8_t*, size_t, PictureFacts* facts) {
  *facts = PictureFacts();
  return false;
}

DecodedPicture DecodeJxl(const uint8_t*, size_t) {
  DecodedPicture picture;
  picture.error = kErrorNotReadable;
  return picture;
}

bool EncodeJxl(const PixelRows&, bool, int32_t, const PictureMetadata&, std::vector<uint8_t>* out) {
  out->clear();
  return false;
}

bool TranscodeJpegToJxl(const uint8_t*, size_t, int32_t, std::vector<uint8_t>* out) {
  out->clear();
  return false;
}

#endif
