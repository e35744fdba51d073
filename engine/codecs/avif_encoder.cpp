#include "engine/codecs/avif_encoder.h"

#include <algorithm>


#include "settings/formats.h"

#if defined(TESSALY_LIBHEIF)

#define TESSALY_HOST_HEADER <libheif/heif.h>
#include "engine/codecs/host_header.h"

namespace {

constexpr int kDefaultQuality = 60;
constexpr int kDefaultSpeed = 6;

struct Encoding {
  heif_context* ctx = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  heif_image* image = nullptr;
  heif_image_handle* handle = nullptr;
  heif_encoding_options* options = heif_encoding_options_alloc();
  heif_color_profile_nclx* nclx = nullptr;
  ~Encoding() {
    if (options) heif_encoding_options_free(options);
    if (nclx) heif_nclx_color_profile_free(nclx);
    if (handle) heif_image_handle_release(handle);
    if (image) heif_image_release(image);
    if (encoder) heif_encoder_release(encoder);
    if (ctx) heif_context_free(ctx);
  }
};

bool Ok(const heif_error& error) {
  return error.code == heif_error_Ok;
}

bool FillImage(const PixelRows& pixels, bool alpha, heif_image** image) {
  int w = static_cast<int>(pixels.width), h = static_cast<int>(pixels.height);
  heif_chroma chroma = alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
  if (!Ok(heif_image_create(w, h, heif_colorspace_RGB, chroma, image))) return false;
  if (!Ok(heif_image_add_plane(*image, heif_channel_interleaved, w, h, 8))) return false;
  int stride = 0;
  uint8_t* plane = heif_image_get_plane(*image, heif_channel_interleaved, &stride);
  if (!plane) return false;
  std::vector<uint8_t> rgb = RowsAsRgb(pixels, alpha);
  const size_t row = size_t(w) * (alpha ? 4 : 3);
  for (int y = 0; y < h; ++y) std::copy_n(rgb.data() + row * y, row, plane + size_t(y) * size_t(stride));
  return true;
}

// Lossless pictures keep their RGB as it is: the identity matrix (GBR planes) at full range,
// 4:4:4. A profile, when there is one, is written beside it.
void DescribeColours(const PictureMetadata& metadata, bool lossless, Encoding* e) {
  if (metadata.icc)
    heif_image_set_raw_color_profile(e->image, "prof", metadata.icc.data, metadata.icc.size);
  if (!lossless) return;
  e->nclx = heif_nclx_color_profile_alloc();
  if (!e->nclx) return;
  e->nclx->matrix_coefficients = heif_matrix_coefficients_RGB_GBR;
  e->nclx->full_range_flag = 1;
  // libheif converts the picture to the encoder's planes with the image's own code points.
  heif_image_set_nclx_color_profile(e->image, e->nclx);
  e->options->output_nclx_profile = e->nclx;
  e->options->save_two_colr_boxes_when_ICC_and_nclx_available = 1;
}

bool SetUpEncoder(int32_t flags, Encoding* e) {
  if (!Ok(heif_context_get_encoder_for_format(e->ctx, heif_compression_AV1, &e->encoder))) return false;
  OutputFormat avif = OutputFormatById(kFormatAvif);
  bool lossless = (flags & kLosslessFlag) != 0;
  int quality = flags & kQualityBits;
  int speed = WordNumber(flags, avif.number);
  if (quality == 0) quality = kDefaultQuality;
  if (speed > 10) speed = kDefaultSpeed;
  heif_encoder_set_parameter_integer(e->encoder, "threads", 1);
  heif_encoder_set_parameter_integer(e->encoder, "speed", speed);
  heif_encoder_set_parameter_string(e->encoder, "chroma", lossless ? "444" : "420");
  if (lossless) return Ok(heif_encoder_set_lossless(e->encoder, 1));
  return Ok(heif_encoder_set_lossy_quality(e->encoder, quality > 100 ? 100 : quality));
}

heif_error WriteTo(heif_context*, const void* data, size_t size, void* userdata) {
  auto* out = static_cast<std::vector<uint8_t>*>(userdata);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
  return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

}  // namespace

bool HaveAvifEncoder() {
  const heif_encoder_descriptor* found[1] = {};
  return heif_context_get_encoder_descriptors(nullptr, heif_compression_AV1, nullptr, found, 1) > 0;
}

bool EncodeAvif(const PixelRows& pixels, bool alpha, int32_t flags, const PictureMetadata& metadata,
                std::vector<uint8_t>* out) {
  out->clear();
  if (!pixels.bits || pixels.width == 0 || pixels.height == 0 || (pixels.bpp != 24 && pixels.bpp != 32)) return false;
  Encoding e;
  if (!e.ctx || !e.options || !FillImage(pixels, alpha, &e.image) || !SetUpEncoder(flags, &e)) return false;
  DescribeColours(metadata, (flags & kLosslessFlag) != 0, &e);
  if (!Ok(heif_context_encode_image(e.ctx, e.image, e.encoder, e.options, &e.handle))) return false;
  ByteSpan exif = metadata.exif ? TiffOnly(metadata.exif) : ByteSpan();
  if (exif) heif_context_add_exif_metadata(e.ctx, e.handle, exif.data, static_cast<int>(exif.size));
  if (metadata.xmp) heif_context_add_XMP_metadata(e.ctx, e.handle, metadata.xmp.data, static_cast<int>(metadata.xmp.size));
  heif_writer writer = {1, WriteTo};
  if (!Ok(heif_context_write(e.ctx, &writer, out))) out->clear();
  return !out->empty();
}

#else

bool HaveAvifEncoder() {
  return false;
}

bool EncodeAvif(const PixelRows&, bool, int32_t, const PictureMetadata&, std::vector<uint8_t>* out) {
  out->clear();
  return false;
}

#endif
