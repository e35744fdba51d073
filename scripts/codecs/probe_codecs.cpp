// Runs the codec libraries of the MinGW prefix under Wine (or Windows) and proves that
// each does its job the way Tessaly will use it: libheif.dll writes AVIF through aom and
// reads it back through dav1d, reads a HEIC (HEVC through libde265.dll) made on the host
// by Debian's own heif-enc, the static libjxl writes and reads JPEG XL (lossy, lossless,
// and a JPEG repacked losslessly and rebuilt byte for byte), and the static lcms2 turns
// Adobe-RGB-like values into sRGB. One line per check, then "N passed, M failed"; exit
// status 1 on any failure, so a library linked wrong cannot pass for a working one.
//
//   codecs-probe.exe sample.heic sample.jpg
//
// sample.heic holds the host's picture 64x48 with R = 4x, G = 5y, B = 128 (the same
// pattern as Pattern() below); sample.jpg is any small baseline JPEG.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <hwy/targets.h>
#include <jxl/decode.h>
#include <jxl/encode.h>
#include <jxl/thread_parallel_runner.h>
#include <lcms2.h>
#include <libheif/heif.h>
#include <tiffio.h>

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

int passed = 0;
int failed = 0;

void Report(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok" : "FAIL", what.c_str());
  (ok ? passed : failed) += 1;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  return line;
}

// The picture every check starts from: smooth ramps, so lossy codecs stay close to it.
// With alpha, a ramp across the width as well.
std::vector<uint8_t> Pattern(int channels) {
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * channels);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * channels];
      p[0] = static_cast<uint8_t>(4 * x);
      p[1] = static_cast<uint8_t>(5 * y);
      p[2] = 128;
      if (channels == 4) p[3] = static_cast<uint8_t>(255 - 2 * x);
    }
  }
  return pixels;
}

struct Difference {
  double mean = 0;
  int max = 0;
};

// Compares rows of `channels` bytes per pixel; `stride` is the decoded rows' length.
Difference Compare(const std::vector<uint8_t>& expected, const uint8_t* got, int stride, int channels) {
  Difference d;
  long sum = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int i = 0; i < kWidth * channels; ++i) {
      int delta = std::abs(int(expected[static_cast<size_t>(y) * kWidth * channels + i]) - int(got[y * stride + i]));
      sum += delta;
      if (delta > d.max) d.max = delta;
    }
  }
  d.mean = double(sum) / (double(kWidth) * kHeight * channels);
  return d;
}

bool ReadFile(const char* name, std::vector<uint8_t>* bytes) {
  FILE* file = std::fopen(name, "rb");
  if (!file) return false;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + n);
  std::fclose(file);
  return !bytes->empty();
}

// --- libheif ------------------------------------------------------------------------

std::string DecoderName(heif_compression_format format) {
  const heif_decoder_descriptor* descriptors[4];
  int n = heif_get_decoder_descriptors(format, descriptors, 4);
  std::string names;
  for (int i = 0; i < n; ++i) names += (i ? ", " : "") + std::string(heif_decoder_descriptor_get_name(descriptors[i]));
  return names.empty() ? "none" : names;
}

std::string EncoderName(heif_compression_format format) {
  const heif_encoder_descriptor* descriptors[4];
  int n = heif_get_encoder_descriptors(format, nullptr, descriptors, 4);
  std::string names;
  for (int i = 0; i < n; ++i) names += (i ? ", " : "") + std::string(heif_encoder_descriptor_get_name(descriptors[i]));
  return names.empty() ? "none" : names;
}

heif_error WriteToVector(heif_context*, const void* data, size_t size, void* userdata) {
  auto* out = static_cast<std::vector<uint8_t>*>(userdata);
  out->insert(out->end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// Decodes the primary picture of a HEIF file in memory to interleaved 8-bit RGB(A) and
// compares it with the pattern.
bool DecodeHeif(const std::vector<uint8_t>& file, int channels, const char* what) {
  heif_context* context = heif_context_alloc();
  heif_image_handle* handle = nullptr;
  heif_image* image = nullptr;
  bool ok = false;
  heif_error error = heif_context_read_from_memory_without_copy(context, file.data(), file.size(), nullptr);
  if (error.code == heif_error_Ok) error = heif_context_get_primary_image_handle(context, &handle);
  if (error.code == heif_error_Ok) {
    error = heif_decode_image(handle, &image, heif_colorspace_RGB,
                              channels == 4 ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
  }
  if (error.code != heif_error_Ok) {
    Report(false, Format("%s: %s", what, error.message));
  } else {
    int width = heif_image_get_width(image, heif_channel_interleaved);
    int height = heif_image_get_height(image, heif_channel_interleaved);
    bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    int stride = 0;
    const uint8_t* pixels = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    Difference d;
    if (width == kWidth && height == kHeight && pixels) d = Compare(Pattern(channels), pixels, stride, channels);
    ok = width == kWidth && height == kHeight && pixels && alpha == (channels == 4) && d.mean < 4 && d.max < 40;
    Report(ok, Format("%s: %dx%d%s, mean difference %.2f, largest %d", what, width, height,
                      alpha ? " with alpha" : "", d.mean, d.max));
  }
  heif_image_release(image);
  heif_image_handle_release(handle);
  heif_context_free(context);
  return ok;
}

void CheckAvif() {
  std::string encoder_name = EncoderName(heif_compression_AV1);
  std::string decoder_name = DecoderName(heif_compression_AV1);
  Report(encoder_name.find("AOM") != std::string::npos, "AV1 encoder: " + encoder_name);
  Report(decoder_name.find("dav1d") != std::string::npos, "AV1 decoder: " + decoder_name);

  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  heif_image* image = nullptr;
  heif_image_handle* handle = nullptr;
  std::vector<uint8_t> file;
  heif_error error = heif_context_get_encoder_for_format(context, heif_compression_AV1, &encoder);
  if (error.code == heif_error_Ok) error = heif_encoder_set_lossy_quality(encoder, 90);
  if (error.code == heif_error_Ok)
    error = heif_image_create(kWidth, kHeight, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, &image);
  if (error.code == heif_error_Ok) error = heif_image_add_plane(image, heif_channel_interleaved, kWidth, kHeight, 8);
  if (error.code == heif_error_Ok) {
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    std::vector<uint8_t> pattern = Pattern(4);
    for (int y = 0; y < kHeight; ++y) std::memcpy(plane + y * stride, &pattern[y * kWidth * 4], kWidth * 4);
    error = heif_context_encode_image(context, image, encoder, nullptr, &handle);
  }
  if (error.code == heif_error_Ok) {
    heif_writer writer = {1, WriteToVector};
    error = heif_context_write(context, &writer, &file);
  }
  bool written = error.code == heif_error_Ok && !file.empty() &&
                 heif_main_brand(file.data(), static_cast<int>(file.size())) == heif_avif;
  Report(written, Format("AVIF written by libheif + aom: %zu bytes, RGBA %dx%d%s%s", file.size(), kWidth, kHeight,
                         error.code == heif_error_Ok ? "" : ": ", error.code == heif_error_Ok ? "" : error.message));
  heif_image_handle_release(handle);
  heif_image_release(image);
  if (encoder) heif_encoder_release(encoder);
  heif_context_free(context);
  if (written) DecodeHeif(file, 4, "AVIF read back by libheif + dav1d");
}

void CheckHeic(const char* name) {
  std::string decoder_name = DecoderName(heif_compression_HEVC);
  Report(decoder_name.find("libde265") != std::string::npos, "HEVC decoder: " + decoder_name);
  std::vector<uint8_t> file;
  if (!ReadFile(name, &file)) {
    Report(false, Format("HEIC: cannot read %s", name));
    return;
  }
  Report(heif_main_brand(file.data(), static_cast<int>(file.size())) == heif_heic,
         Format("HEIC from the host's heif-enc: %zu bytes, brand heic", file.size()));
  DecodeHeif(file, 3, "HEIC read by libheif + libde265");
}

// --- libjxl ---------------------------------------------------------------------------

struct Runner {
  void* runner = JxlThreadParallelRunnerCreate(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads());
  ~Runner() { JxlThreadParallelRunnerDestroy(runner); }
};

bool Drain(JxlEncoder* encoder, std::vector<uint8_t>* out) {
  out->resize(4096);
  uint8_t* next = out->data();
  size_t available = out->size();
  JxlEncoderStatus status;
  while ((status = JxlEncoderProcessOutput(encoder, &next, &available)) == JXL_ENC_NEED_MORE_OUTPUT) {
    size_t used = next - out->data();
    out->resize(out->size() * 2);
    next = out->data() + used;
    available = out->size() - used;
  }
  out->resize(next - out->data());
  return status == JXL_ENC_SUCCESS;
}

bool EncodeJxl(const std::vector<uint8_t>& pixels, bool lossless, std::vector<uint8_t>* out, void* runner) {
  JxlEncoder* encoder = JxlEncoderCreate(nullptr);
  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = kWidth;
  info.ysize = kHeight;
  info.bits_per_sample = 8;
  info.num_color_channels = 3;
  info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
  JxlColorEncoding colour;
  JxlColorEncodingSetToSRGB(&colour, JXL_FALSE);
  JxlPixelFormat format = {3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  bool ok = JxlEncoderSetParallelRunner(encoder, JxlThreadParallelRunner, runner) == JXL_ENC_SUCCESS &&
            JxlEncoderSetBasicInfo(encoder, &info) == JXL_ENC_SUCCESS &&
            JxlEncoderSetColorEncoding(encoder, &colour) == JXL_ENC_SUCCESS;
  JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
  ok = ok && settings &&
       (lossless ? JxlEncoderSetFrameLossless(settings, JXL_TRUE) : JxlEncoderSetFrameDistance(settings, 1.0f)) ==
           JXL_ENC_SUCCESS &&
       JxlEncoderAddImageFrame(settings, &format, pixels.data(), pixels.size()) == JXL_ENC_SUCCESS;
  JxlEncoderCloseInput(encoder);
  ok = ok && Drain(encoder, out);
  JxlEncoderDestroy(encoder);
  return ok;
}

bool DecodeJxl(const std::vector<uint8_t>& file, std::vector<uint8_t>* pixels, JxlBasicInfo* info, void* runner) {
  JxlDecoder* decoder = JxlDecoderCreate(nullptr);
  JxlPixelFormat format = {3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  bool ok = JxlDecoderSetParallelRunner(decoder, JxlThreadParallelRunner, runner) == JXL_DEC_SUCCESS &&
            JxlDecoderSubscribeEvents(decoder, JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE) == JXL_DEC_SUCCESS &&
            JxlDecoderSetInput(decoder, file.data(), file.size()) == JXL_DEC_SUCCESS;
  JxlDecoderCloseInput(decoder);
  bool done = false;
  while (ok && !done) {
    switch (JxlDecoderProcessInput(decoder)) {
      case JXL_DEC_BASIC_INFO:
        ok = JxlDecoderGetBasicInfo(decoder, info) == JXL_DEC_SUCCESS;
        break;
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        size_t size = 0;
        ok = JxlDecoderImageOutBufferSize(decoder, &format, &size) == JXL_DEC_SUCCESS;
        pixels->resize(size);
        ok = ok && JxlDecoderSetImageOutBuffer(decoder, &format, pixels->data(), size) == JXL_DEC_SUCCESS;
        break;
      }
      case JXL_DEC_FULL_IMAGE:
        break;
      case JXL_DEC_SUCCESS:
        done = true;
        break;
      default:
        ok = false;
    }
  }
  JxlDecoderDestroy(decoder);
  return ok && done && !pixels->empty();
}

void CheckJxlPixels(bool lossless, void* runner) {
  const char* what = lossless ? "JPEG XL lossless" : "JPEG XL lossy (distance 1)";
  std::vector<uint8_t> pattern = Pattern(3), file, pixels;
  JxlBasicInfo info = {};
  bool ok = EncodeJxl(pattern, lossless, &file, runner) && JxlSignatureCheck(file.data(), file.size()) >= JXL_SIG_CODESTREAM &&
            DecodeJxl(file, &pixels, &info, runner) && info.xsize == kWidth && info.ysize == kHeight &&
            pixels.size() == pattern.size();
  Difference d;
  if (ok) d = Compare(pattern, pixels.data(), kWidth * 3, 3);
  ok = ok && (lossless ? d.max == 0 : d.mean < 3 && d.max < 32);
  Report(ok, Format("%s: %zu bytes, read back %ux%u, mean difference %.2f, largest %d", what, file.size(), info.xsize,
                    info.ysize, d.mean, d.max));
}

void CheckJpegTranscode(const char* name, void* runner) {
  std::vector<uint8_t> jpeg;
  if (!ReadFile(name, &jpeg)) {
    Report(false, Format("JPEG to JPEG XL: cannot read %s", name));
    return;
  }
  JxlEncoder* encoder = JxlEncoderCreate(nullptr);
  bool ok = JxlEncoderSetParallelRunner(encoder, JxlThreadParallelRunner, runner) == JXL_ENC_SUCCESS &&
            JxlEncoderUseContainer(encoder, JXL_TRUE) == JXL_ENC_SUCCESS &&
            JxlEncoderStoreJPEGMetadata(encoder, JXL_TRUE) == JXL_ENC_SUCCESS;
  JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
  ok = ok && settings && JxlEncoderAddJPEGFrame(settings, jpeg.data(), jpeg.size()) == JXL_ENC_SUCCESS;
  JxlEncoderCloseInput(encoder);
  std::vector<uint8_t> file;
  ok = ok && Drain(encoder, &file);
  JxlEncoderDestroy(encoder);
  Report(ok, Format("JPEG repacked as JPEG XL: %zu bytes to %zu", jpeg.size(), file.size()));
  if (!ok) return;

  // The decoder rebuilds the JPEG from the reconstruction box instead of giving pixels.
  JxlDecoder* decoder = JxlDecoderCreate(nullptr);
  std::vector<uint8_t> rebuilt(4096);
  size_t used = 0;
  ok = JxlDecoderSubscribeEvents(decoder, JXL_DEC_JPEG_RECONSTRUCTION | JXL_DEC_FULL_IMAGE) == JXL_DEC_SUCCESS &&
       JxlDecoderSetInput(decoder, file.data(), file.size()) == JXL_DEC_SUCCESS;
  JxlDecoderCloseInput(decoder);
  bool reconstruction = false, done = false;
  while (ok && !done) {
    switch (JxlDecoderProcessInput(decoder)) {
      case JXL_DEC_JPEG_RECONSTRUCTION:
        reconstruction = true;
        ok = JxlDecoderSetJPEGBuffer(decoder, rebuilt.data(), rebuilt.size()) == JXL_DEC_SUCCESS;
        break;
      case JXL_DEC_JPEG_NEED_MORE_OUTPUT: {
        size_t unused = JxlDecoderReleaseJPEGBuffer(decoder);
        used = rebuilt.size() - unused;
        rebuilt.resize(rebuilt.size() * 2);
        ok = JxlDecoderSetJPEGBuffer(decoder, rebuilt.data() + used, rebuilt.size() - used) == JXL_DEC_SUCCESS;
        break;
      }
      case JXL_DEC_FULL_IMAGE: {
        size_t unused = JxlDecoderReleaseJPEGBuffer(decoder);
        rebuilt.resize(rebuilt.size() - unused);
        break;
      }
      case JXL_DEC_SUCCESS:
        done = true;
        break;
      default:
        ok = false;
    }
  }
  JxlDecoderDestroy(decoder);
  ok = ok && done && reconstruction && rebuilt == jpeg;
  Report(ok, Format("JPEG rebuilt from JPEG XL: %zu bytes, %s", rebuilt.size(),
                    rebuilt == jpeg ? "identical to the original" : "differs from the original"));
}

// --- lcms2 ----------------------------------------------------------------------------

// The matrix taking linear RGB to XYZ for the primaries and white point, as every
// matrix-shaper profile defines it.
void RgbToXyz(const double primaries[3][2], const double white[2], double m[3][3]) {
  double p[3][3];
  for (int c = 0; c < 3; ++c) {
    double x = primaries[c][0], y = primaries[c][1];
    p[0][c] = x / y;
    p[1][c] = 1;
    p[2][c] = (1 - x - y) / y;
  }
  double w[3] = {white[0] / white[1], 1, (1 - white[0] - white[1]) / white[1]};
  double det = p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) - p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0]) +
               p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0]);
  double inv[3][3] = {
      {(p[1][1] * p[2][2] - p[1][2] * p[2][1]) / det, (p[0][2] * p[2][1] - p[0][1] * p[2][2]) / det,
       (p[0][1] * p[1][2] - p[0][2] * p[1][1]) / det},
      {(p[1][2] * p[2][0] - p[1][0] * p[2][2]) / det, (p[0][0] * p[2][2] - p[0][2] * p[2][0]) / det,
       (p[0][2] * p[1][0] - p[0][0] * p[1][2]) / det},
      {(p[1][0] * p[2][1] - p[1][1] * p[2][0]) / det, (p[0][1] * p[2][0] - p[0][0] * p[2][1]) / det,
       (p[0][0] * p[1][1] - p[0][1] * p[1][0]) / det}};
  double s[3];
  for (int i = 0; i < 3; ++i) s[i] = inv[i][0] * w[0] + inv[i][1] * w[1] + inv[i][2] * w[2];
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) m[r][c] = p[r][c] * s[c];
}

void Invert(const double m[3][3], double out[3][3]) {
  double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
      out[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
    }
}

void CheckLcms() {
  // Adobe RGB (1998)'s primaries, D65 and a 2.2 gamma (563/256, as that profile stores it).
  const double adobe[3][2] = {{0.64, 0.33}, {0.21, 0.71}, {0.15, 0.06}};
  const double srgb[3][2] = {{0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}};
  const double d65[2] = {0.3127, 0.3290};
  const double gamma = 563.0 / 256.0;

  cmsCIExyY white = {d65[0], d65[1], 1.0};
  cmsCIExyYTRIPLE primaries = {{adobe[0][0], adobe[0][1], 1.0}, {adobe[1][0], adobe[1][1], 1.0},
                               {adobe[2][0], adobe[2][1], 1.0}};
  cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE input = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsHPROFILE output = cmsCreate_sRGBProfile();
  cmsHTRANSFORM transform = input && output ? cmsCreateTransform(input, TYPE_RGB_8, output, TYPE_RGB_8,
                                                                 INTENT_RELATIVE_COLORIMETRIC, 0)
                                            : nullptr;
  Report(transform != nullptr, Format("lcms2 %d: Adobe-RGB-like profile to sRGB transform", cmsGetEncodedCMMversion()));
  if (transform) {
    // What the two profiles say, worked out here without lcms2: same white point, so
    // linear Adobe RGB -> XYZ -> linear sRGB, then sRGB's curve.
    double to_xyz[3][3], from_srgb[3][3], to_srgb[3][3];
    RgbToXyz(adobe, d65, to_xyz);
    RgbToXyz(srgb, d65, from_srgb);
    Invert(from_srgb, to_srgb);
    const uint8_t samples[][3] = {{255, 255, 255}, {0, 0, 0}, {128, 128, 128}, {200, 100, 50}, {50, 150, 220}, {0, 255, 0}};
    for (const auto& in : samples) {
      uint8_t got[3];
      cmsDoTransform(transform, in, got, 1);
      double linear[3], expected[3];
      for (int c = 0; c < 3; ++c) linear[c] = std::pow(in[c] / 255.0, gamma);
      int worst = 0;
      for (int r = 0; r < 3; ++r) {
        double xyz[3] = {0, 0, 0};
        for (int k = 0; k < 3; ++k)
          for (int c = 0; c < 3; ++c) xyz[k] += to_xyz[k][c] * linear[c];
        double v = to_srgb[r][0] * xyz[0] + to_srgb[r][1] * xyz[1] + to_srgb[r][2] * xyz[2];
        v = v < 0 ? 0 : v > 1 ? 1 : v;
        v = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
        expected[r] = std::lround(v * 255);
        worst = std::max(worst, std::abs(int(got[r]) - int(expected[r])));
      }
      Report(worst <= 2, Format("lcms2: Adobe RGB (%d,%d,%d) -> sRGB (%d,%d,%d), expected (%d,%d,%d)", in[0], in[1],
                                in[2], got[0], got[1], got[2], int(expected[0]), int(expected[1]), int(expected[2])));
    }
    cmsDeleteTransform(transform);
  }
  if (input) cmsCloseProfile(input);
  if (output) cmsCloseProfile(output);
  cmsFreeToneCurve(curve);
}

}  // namespace

// --- libtiff ------------------------------------------------------------------------

// A layout FreeImage.dll cannot read (12-bit samples, four of them, Deflate, two strips)
// written and read back through the static libtiff and zlib: the codec and the bit
// packing both work on Windows' file API.
void CheckTiff() {
  const char* name = "probe-12bit.tif";
  const int width = 37, height = 5, samples = 4, rowsPerStrip = 3;
  auto value = [](int x, int y, int s) { return static_cast<uint32_t>((x * 97 + y * 13 + s * 1021) % 4096); };
  bool written = false;
  if (TIFF* out = TIFFOpen(name, "w")) {
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 12);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    written = true;
    for (int y = 0; y < height && written; ++y) {
      std::vector<uint8_t> row((width * samples * 12 + 7) / 8, 0);
      for (int i = 0; i < width * samples; ++i) {
        uint32_t v = value(i / samples, y, i % samples);
        size_t bit = static_cast<size_t>(i) * 12;
        for (int b = 0; b < 12; ++b)
          if (v & (1u << (11 - b))) row[(bit + b) / 8] |= static_cast<uint8_t>(0x80 >> ((bit + b) % 8));
      }
      written = TIFFWriteScanline(out, row.data(), y, 0) == 1;
    }
    TIFFClose(out);
  }
  int wrong = -1;
  if (TIFF* in = written ? TIFFOpen(name, "r") : nullptr) {
    uint16_t compression = 0;
    TIFFGetField(in, TIFFTAG_COMPRESSION, &compression);
    std::vector<uint8_t> row(TIFFScanlineSize(in));
    wrong = compression == COMPRESSION_ADOBE_DEFLATE ? 0 : 1;
    for (int y = 0; y < height; ++y) {
      if (TIFFReadScanline(in, row.data(), y, 0) != 1) { wrong += width * samples; continue; }
      for (int i = 0; i < width * samples; ++i) {
        size_t bit = static_cast<size_t>(i) * 12;
        uint32_t v = 0;
        for (int b = 0; b < 12; ++b) v = (v << 1) | ((row[(bit + b) / 8] >> (7 - (bit + b) % 8)) & 1);
        if (v != value(i / samples, y, i % samples)) ++wrong;
      }
    }
    TIFFClose(in);
  }
  std::remove(name);
  std::string version = TIFFGetVersion();
  version = version.substr(0, version.find('\n'));
  Report(wrong == 0, Format("%s: 12-bit CMYK with Deflate written and read back (%d samples differ)",
                            version.c_str(), wrong));
}

// CMYK in JPEG inside a TIFF, as print shops send it: libtiff's JPEG codec through the
// static libjpeg-turbo.
void CheckTiffJpeg() {
  const char* name = "probe-jpeg.tif";
  const int width = 32, height = 16;
  auto ink = [](int x, int y, int s) { return static_cast<uint8_t>(s == 3 ? 40 : (x * 8 + y * 4 + s * 60) % 256); };
  bool written = false;
  if (TIFF* out = TIFFOpen(name, "w")) {
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(out, TIFFTAG_JPEGQUALITY, 95);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, 16);
    written = true;
    for (int y = 0; y < height && written; ++y) {
      std::vector<uint8_t> row(width * 4);
      for (int i = 0; i < width * 4; ++i) row[i] = ink(i / 4, y, i % 4);
      written = TIFFWriteScanline(out, row.data(), y, 0) == 1;
    }
    TIFFClose(out);
  }
  int worst = 255;
  if (TIFF* in = written ? TIFFOpen(name, "r") : nullptr) {
    std::vector<uint8_t> row(TIFFScanlineSize(in));
    worst = 0;
    for (int y = 0; y < height; ++y) {
      if (TIFFReadScanline(in, row.data(), y, 0) != 1) { worst = 255; break; }
      for (int i = 0; i < width * 4; ++i) worst = std::max(worst, std::abs(int(row[i]) - int(ink(i / 4, y, i % 4))));
    }
    TIFFClose(in);
  }
  std::remove(name);
  Report(worst <= 8, Format("libtiff with libjpeg-turbo: CMYK in JPEG written and read back (largest difference %d)", worst));
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: codecs-probe.exe sample.heic sample.jpg\n");
    return 2;
  }
  heif_init(nullptr);
  std::printf("libheif %s, libjxl %u, lcms2 %d\n", heif_get_version(), JxlDecoderVersion(), cmsGetEncodedCMMversion());
  // What this processor gives libjxl's vector code (highway's runtime choice).
  std::string targets;
  for (int64_t target : hwy::SupportedAndGeneratedTargets()) targets += std::string(" ") + hwy::TargetName(target);
  std::printf("highway targets here:%s\n", targets.c_str());

  CheckAvif();
  CheckHeic(argv[1]);
  {
    Runner runner;
    Report(runner.runner != nullptr, Format("jxl_threads: %zu worker threads", JxlThreadParallelRunnerDefaultNumWorkerThreads()));
    CheckJxlPixels(false, runner.runner);
    CheckJxlPixels(true, runner.runner);
    CheckJpegTranscode(argv[2], runner.runner);
  }
  CheckLcms();
  CheckTiff();
  CheckTiffJpeg();
  heif_deinit();
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
