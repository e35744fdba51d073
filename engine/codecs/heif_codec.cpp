// HEIF (HEVC, through libde265) and AVIF (AV1, through dav1d, written with aom), all
// through libheif: it finds the primary image, puts grid tiles together and applies the
// container's turns (irot, imir) and crop (clap) exactly once.
#include "engine/codecs/heif_codec.h"

#include <cstring>

#include "engine/codecs/colour_profiles.h"
#include "engine/codecs/decode.h"
#include "engine/codecs/exif_orientation.h"

#if defined(TESSALY_LIBHEIF)

#define TESSALY_HOST_HEADER <libheif/heif.h>
#include "engine/codecs/host_header.h"

namespace {

// Each worker converts one file on one thread; the machine's cores are shared out by
// converting several files at once, and one thread keeps the output the same everywhere.
constexpr int kThreads = 1;

int32_t ErrorCode(const heif_error& error) {
  if (error.code == heif_error_Invalid_input && error.subcode == heif_suberror_End_of_data) return kErrorTruncated;
  if (error.code == heif_error_Unsupported_filetype || error.code == heif_error_Unsupported_feature)
    return kErrorNotReadable;
  if (error.code == heif_error_Memory_allocation_error) return kErrorTooLarge;
  return kErrorDamaged;
}

bool Failed(const heif_error& error, DecodedPicture* picture) {
  if (error.code == heif_error_Ok) return false;
  picture->error = ErrorCode(error);
  picture->detail = u"libheif: " + TextFromUtf8(error.message ? error.message : "");
  return true;
}

// Owners that release the library's objects on every path out.
struct Context {
  heif_context* ctx = heif_context_alloc();
  heif_image_handle* handle = nullptr;
  heif_image* image = nullptr;
  ~Context() {
    if (image) heif_image_release(image);
    if (handle) heif_image_handle_release(handle);
    heif_context_free(ctx);
  }
};

bool OpenPrimary(const uint8_t* data, size_t size, Context* c, DecodedPicture* picture) {
  if (!c->ctx) {
    picture->error = kErrorTooLarge;
    return false;
  }
  heif_context_set_max_decoding_threads(c->ctx, kThreads);
  if (Failed(heif_context_read_from_memory_without_copy(c->ctx, data, size, nullptr), picture)) return false;
  return !Failed(heif_context_get_primary_image_handle(c->ctx, &c->handle), picture);
}

// A metadata block of the primary image: its type ("Exif", "mime") and, for "mime", its
// content type.
std::vector<uint8_t> MetadataBlock(heif_image_handle* handle, const char* type, const char* contentType) {
  heif_item_id ids[16];
  int count = heif_image_handle_get_list_of_metadata_block_IDs(handle, type, ids, 16);
  for (int i = 0; i < count; ++i) {
    const char* content = heif_image_handle_get_metadata_content_type(handle, ids[i]);
    if (contentType && (!content || std::strcmp(content, contentType) != 0)) continue;
    std::vector<uint8_t> block(heif_image_handle_get_metadata_size(handle, ids[i]));
    if (block.empty() || heif_image_handle_get_metadata(handle, ids[i], block.data()).code != heif_error_Ok) continue;
    return block;
  }
  return {};
}

// The colour profile as an ICC profile: a stored one as it is, code points written out as
// one. A high-dynamic-range transfer is refused: brought to 8 bits without a tone mapping
// it would come out washed out or black.
bool TakeColour(heif_image_handle* handle, DecodedPicture* picture) {
  switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
      picture->icc.resize(heif_image_handle_get_raw_color_profile_size(handle));
      if (picture->icc.empty() || heif_image_handle_get_raw_color_profile(handle, picture->icc.data()).code != 0)
        picture->icc.clear();
      return true;
    }
    case heif_color_profile_type_nclx: {
      heif_color_profile_nclx* nclx = nullptr;
      if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx) return true;
      uint16_t primaries = nclx->color_primaries, transfer = nclx->transfer_characteristics;
      heif_nclx_color_profile_free(nclx);
      if (IsHdrTransfer(transfer)) {
        picture->error = kErrorHdr;
        picture->detail = transfer == 16 ? u"PQ (SMPTE 2084)" : u"HLG";
        return false;
      }
      picture->icc = ProfileForCodePoints(primaries, transfer);
      return true;
    }
    default: return true;
  }
}

// The decoded planes as 8-bit RGB(A) rows from the top; deeper samples rounded.
bool TakePixels(heif_image* image, bool alpha, bool premultiplied, DecodedPicture* picture) {
  int stride = 0;
  const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
  int bits = heif_image_get_bits_per_pixel_range(image, heif_channel_interleaved);
  if (!plane || stride <= 0 || bits < 1 || bits > 16) return false;
  const uint32_t channels = alpha ? 4 : 3, w = picture->width, h = picture->height;
  picture->pixels.resize(size_t{w} * h * channels);
  uint8_t* to = picture->pixels.data();
  const uint32_t maxValue = (1u << bits) - 1;
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* row = plane + size_t(y) * static_cast<size_t>(stride);
    if (bits <= 8) {
      std::memcpy(to, row, size_t{w} * channels);
      to += size_t{w} * channels;
      continue;
    }
    for (uint32_t i = 0; i < w * channels; ++i) *to++ = NarrowSample(row[2 * i] | row[2 * i + 1] << 8, maxValue);
  }
  if (alpha && premultiplied) Unpremultiply(&picture->pixels);
  return true;
}

// The EXIF of the item begins with the offset of its TIFF header; the picture has been
// turned by the container, so every Orientation it names must read "upright".
void TakeExif(heif_image_handle* handle, DecodedPicture* picture) {
  std::vector<uint8_t> block = MetadataBlock(handle, "Exif", nullptr);
  ByteSpan tiff = ExifItemTiff(block.data(), block.size());
  if (!tiff) return;
  picture->exif.assign(tiff.data, tiff.data + tiff.size);
  if (MendExifOrientation(&picture->exif) == ExifOrientation::Unmendable) picture->exif.clear();
}

heif_chroma ChromaFor(bool alpha, bool deep) {
  if (deep) return alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE;
  return alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
}

}  // namespace

bool HaveHeifDecoder() {
  return true;
}

bool IsHeifFile(const uint8_t* data, size_t size) {
  int length = size > 64 ? 64 : static_cast<int>(size);
  return size >= 12 && heif_check_filetype(data, length) != heif_filetype_no;
}

bool IsAvifFile(const uint8_t* data, size_t size) {
  if (size < 12) return false;
  heif_brand2 brand = heif_read_main_brand(data, 12);
  return brand == heif_fourcc_to_brand("avif") || brand == heif_fourcc_to_brand("avis");
}

bool ReadHeifFacts(const uint8_t* data, size_t size, PictureFacts* facts) {
  *facts = PictureFacts();
  Context c;
  DecodedPicture ignored;
  if (!OpenPrimary(data, size, &c, &ignored)) return false;
  int w = heif_image_handle_get_width(c.handle), h = heif_image_handle_get_height(c.handle);
  if (w <= 0 || h <= 0) return false;
  facts->known = true;
  facts->width = static_cast<uint32_t>(w);
  facts->height = static_cast<uint32_t>(h);
  facts->alpha = heif_image_handle_has_alpha_channel(c.handle) != 0;
  return true;
}

DecodedPicture DecodeHeif(const uint8_t* data, size_t size) {
  DecodedPicture picture;
  Context c;
  if (!OpenPrimary(data, size, &c, &picture) || !TakeColour(c.handle, &picture)) return picture;
  picture.alpha = heif_image_handle_has_alpha_channel(c.handle) != 0;
  bool deep = heif_image_handle_get_luma_bits_per_pixel(c.handle) > 8;
  heif_decoding_options* options = heif_decoding_options_alloc();
  heif_error decoded = heif_decode_image(c.handle, &c.image, heif_colorspace_RGB, ChromaFor(picture.alpha, deep), options);
  heif_decoding_options_free(options);
  if (Failed(decoded, &picture)) return picture;
  picture.width = static_cast<uint32_t>(heif_image_get_width(c.image, heif_channel_interleaved));
  picture.height = static_cast<uint32_t>(heif_image_get_height(c.image, heif_channel_interleaved));
  bool premultiplied = heif_image_handle_is_premultiplied_alpha(c.handle) != 0;
  if (picture.width == 0 || picture.height == 0 || !TakePixels(c.image, picture.alpha, premultiplied, &picture)) {
    picture.error = kErrorDamaged;
    picture.pixels.clear();
    return picture;
  }
  TakeExif(c.handle, &picture);
  picture.xmp = MetadataBlock(c.handle, "mime", "application/rdf+xml");
  return picture;
}

#else  // a build without libheif reads no HEIF and writes no AVIF

bool HaveHeifDecoder() {
  return false;
}

bool IsHeifFile(const uint8_t*, size_t) {
  return false;
}

bool IsAvifFile(const uint8_t*, size_t) {
  return false;
}

bool ReadHeifFacts(const uint8_t*, size_t, PictureFacts* facts) {
  *facts = PictureFacts();
  return false;
}

DecodedPicture DecodeHeif(const uint8_t*, size_t) {
  DecodedPicture picture;
  picture.error = kErrorNotReadable;
  return picture;
}

#endif
