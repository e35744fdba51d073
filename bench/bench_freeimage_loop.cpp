// The yardstick for tessaly-batch: the same FreeImage calls per file in a bare loop,
// with no list, settings, progress or safe writing around them. Also draws the
// photo-like sample files the benchmark converts, and times each stage of a job on its
// own thread's clock. Built by all three compilers (natively against the host's
// FreeImage and libwebp, by Winelib against the same, by MinGW against FreeImage.dll
// and the libwebp linked into Tessaly.exe), so the three can be set side by side.
//
//   bench_freeimage_loop --generate DIR COUNT WIDTH HEIGHT
//   bench_freeimage_loop --job jpg2jpg|jpg2webp|png2jpg OUTDIR FILE...
//   bench_freeimage_loop --stages jpg2jpg|jpg2webp|png2jpg REPEAT FILE...
//       the processor, wall and system milliseconds per photo of decode, resize and
//       encode, each file taken REPEAT times; nothing is written
//   bench_freeimage_loop --psnr SOURCE RESULT      prints "PSNR-dB BYTES" of RESULT
#define TESSALY_HOST_HEADER <FreeImage.h>
#include "engine/codecs/host_header.h"
#define TESSALY_HOST_HEADER <webp/encode.h>
#include "engine/codecs/host_header.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/thread_clock.h"

namespace {

constexpr int kJpegFlags = 0x2000 | 84;  // progressive, quality 84
constexpr int kWebpFlags = 90;

bool ReadWhole(const char* path, std::vector<uint8_t>* out) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::fseek(f, 0, SEEK_SET);
  out->resize(static_cast<size_t>(size));
  bool ok = std::fread(out->data(), 1, out->size(), f) == out->size();
  std::fclose(f);
  return ok;
}

bool WriteWhole(const std::string& path, const BYTE* data, DWORD size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

std::string OutputPath(const std::string& folder, const char* input, const char* extension) {
  std::string name = input;
  size_t slash = name.rfind('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  size_t dot = name.rfind('.');
  return folder + "/" + name.substr(0, dot) + "." + extension;
}

FIBITMAP* Decode(const std::vector<uint8_t>& bytes) {
  FIMEMORY* in = FreeImage_OpenMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  FREE_IMAGE_FORMAT fif = FreeImage_GetFileTypeFromMemory(in, 0);
  bool readable = fif != FIF_UNKNOWN && FreeImage_FIFSupportsReading(fif);
  FIBITMAP* dib = readable ? FreeImage_LoadFromMemory(fif, in, 0) : nullptr;
  FreeImage_CloseMemory(in);
  return dib;
}

// The job's resize: the long side to 2000 px with Lanczos, as the program's default rule;
// the picture handed in is unloaded.
FIBITMAP* ToLongSide2000(FIBITMAP* dib) {
  unsigned w = FreeImage_GetWidth(dib), h = FreeImage_GetHeight(dib);
  int nw = w >= h ? 2000 : static_cast<int>(std::nearbyint(w * (2000.0 / h)));
  int nh = w >= h ? static_cast<int>(std::nearbyint(h * (2000.0 / w))) : 2000;
  FIBITMAP* resized = FreeImage_Rescale(dib, nw, nh, FILTER_LANCZOS3);
  FreeImage_Unload(dib);
  return resized;
}

// One file: the calls the pipeline makes for this job, in the same order.
bool ConvertOne(const std::string& job, const char* input, const std::string& folder) {
  std::vector<uint8_t> bytes;
  if (!ReadWhole(input, &bytes)) return false;
  FIBITMAP* dib = Decode(bytes);
  bytes = std::vector<uint8_t>();
  if (!dib) return false;
  bool webp = job == "jpg2webp";
  if (webp || FreeImage_GetBPP(dib) != 24) {
    FIBITMAP* adapted = webp ? FreeImage_ConvertTo32Bits(dib) : FreeImage_ConvertTo24Bits(dib);
    FreeImage_Unload(dib);
    dib = adapted;
  }
  if (job == "jpg2jpg") dib = ToLongSide2000(dib);
  FreeImage_SetMetadataKeyValue(FIMD_IPTC, dib, "Software", "KRV-Delmo-Tessaly-V1.X");
  FIMEMORY* out = FreeImage_OpenMemory(nullptr, 0);
  bool ok = FreeImage_SaveToMemory(webp ? FIF_WEBP : FIF_JPEG, dib, out, webp ? kWebpFlags : kJpegFlags);
  BYTE* data = nullptr;
  DWORD size = 0;
  std::string path = OutputPath(folder, input, webp ? "webp" : "jpg");
  if (ok) ok = FreeImage_AcquireMemory(out, &data, &size) && WriteWhole(path, data, size);
  FreeImage_CloseMemory(out);
  FreeImage_Unload(dib);
  return ok;
}

// --- one job's stages, timed -------------------------------------------------------

// What Tessaly.exe does for WEBP (engine/codecs/webp_encoder.cpp): libwebp itself at its
// default effort, handed the 24-bit rows as they are, top row first.
bool EncodeWebp(FIBITMAP* dib, std::vector<uint8_t>* out) {
  WebPConfig config;
  WebPPicture picture;
  if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) return false;
  config.quality = kWebpFlags;
  picture.width = static_cast<int>(FreeImage_GetWidth(dib));
  picture.height = static_cast<int>(FreeImage_GetHeight(dib));
  const uint8_t* top = FreeImage_GetScanLine(dib, picture.height - 1);
  int stride = -static_cast<int>(FreeImage_GetPitch(dib));
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = &writer;
  bool ok = FreeImage_GetBPP(dib) == 24 && WebPPictureImportBGR(&picture, top, stride) && WebPEncode(&config, &picture);
  WebPPictureFree(&picture);
  if (ok) out->assign(writer.mem, writer.mem + writer.size);
  WebPMemoryWriterClear(&writer);
  return ok;
}

bool EncodeJpeg(FIBITMAP* dib, std::vector<uint8_t>* out) {
  FreeImage_SetMetadataKeyValue(FIMD_IPTC, dib, "Software", "KRV-Delmo-Tessaly-V1.X");
  FIMEMORY* memory = FreeImage_OpenMemory(nullptr, 0);
  BYTE* data = nullptr;
  DWORD size = 0;
  bool ok = FreeImage_SaveToMemory(FIF_JPEG, dib, memory, kJpegFlags) && FreeImage_AcquireMemory(memory, &data, &size);
  if (ok) out->assign(data, data + size);
  FreeImage_CloseMemory(memory);
  return ok;
}

struct StageTime {
  double cpuMs = 0;
  double wallMs = 0;
  double systemMs = 0;  // part of cpuMs
};

struct Stages {
  StageTime decode, resize, encode;
  double bytes = 0;
  int photos = 0;
};

// Adds the time since the last lap to a stage.
class Stopwatch {
 public:
  Stopwatch() : cpu_(ThreadCpuMs()), wall_(WallMs()), system_(ThreadSystemMs()) {}
  void Lap(StageTime* stage) {
    double cpu = ThreadCpuMs(), wall = WallMs(), system = ThreadSystemMs();
    stage->cpuMs += cpu - cpu_;
    stage->wallMs += wall - wall_;
    stage->systemMs += system - system_;
    cpu_ = cpu;
    wall_ = wall;
    system_ = system;
  }

 private:
  double cpu_, wall_, system_;
};

// The bytes are read before the clock starts: the disk is not a stage.
bool TimeOne(const std::string& job, const char* input, Stages* stages) {
  std::vector<uint8_t> bytes, encoded;
  if (!ReadWhole(input, &bytes)) return false;
  Stopwatch clock;
  FIBITMAP* dib = Decode(bytes);
  if (dib && FreeImage_GetBPP(dib) != 24) {
    FIBITMAP* adapted = FreeImage_ConvertTo24Bits(dib);
    FreeImage_Unload(dib);
    dib = adapted;
  }
  clock.Lap(&stages->decode);
  if (!dib) return false;
  if (job == "jpg2jpg") {
    dib = ToLongSide2000(dib);
    clock.Lap(&stages->resize);
    if (!dib) return false;
  }
  bool ok = job == "jpg2webp" ? EncodeWebp(dib, &encoded) : EncodeJpeg(dib, &encoded);
  FreeImage_Unload(dib);
  clock.Lap(&stages->encode);
  stages->bytes += static_cast<double>(encoded.size());
  ++stages->photos;
  return ok;
}

void PrintStage(const char* name, const StageTime& stage, int photos) {
  std::printf("%s %.3f %.3f %.3f\n", name, stage.cpuMs / photos, stage.wallMs / photos, stage.systemMs / photos);
}

int TimeStages(const std::string& job, int repeat, int count, char** files) {
  if (job != "jpg2jpg" && job != "jpg2webp" && job != "png2jpg") {
    std::fprintf(stderr, "unknown job %s\n", job.c_str());
    return 2;
  }
  std::printf("clock-step-ms %.6f\n", ThreadCpuStepMs());
  Stages stages;
  for (int round = 0; round < repeat; ++round)
    for (int i = 0; i < count; ++i)
      if (!TimeOne(job, files[i], &stages)) {
        std::fprintf(stderr, "cannot convert %s\n", files[i]);
        return 1;
      }
  if (stages.photos == 0) return 1;
  std::printf("photos %d\n", stages.photos);
  PrintStage("decode", stages.decode, stages.photos);
  if (job == "jpg2jpg") PrintStage("resize", stages.resize, stages.photos);
  PrintStage("encode", stages.encode, stages.photos);
  std::printf("bytes %.0f\n", stages.bytes / stages.photos);
  return 0;
}

// xorshift: fast, and the same pictures on every machine.
struct Noise {
  uint64_t s;
  int Next(int amplitude) {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return static_cast<int>(s % (2 * amplitude + 1)) - amplitude;
  }
};

uint8_t Clamp(double v) {
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Smooth gradients and soft waves, like sky and land, plus sensor-like noise, so the
// files compress about as photos do.
FIBITMAP* PhotoLike(unsigned w, unsigned h, unsigned variant) {
  FIBITMAP* dib = FreeImage_Allocate(static_cast<int>(w), static_cast<int>(h), 24);
  Noise noise{0x9E3779B97F4A7C15ull * (variant + 1)};
  double phase = variant * 0.7;
  for (unsigned y = 0; y < h; ++y) {
    BYTE* line = FreeImage_GetScanLine(dib, y);
    double fy = double(y) / h;
    for (unsigned x = 0; x < w; ++x) {
      double fx = double(x) / w;
      double wave = 40 * std::sin(6.0 * fx + phase) * std::cos(4.0 * fy - phase);
      BYTE* p = line + 3 * x;
      p[FI_RGBA_RED] = Clamp(90 + 120 * fy + wave + noise.Next(6));
      p[FI_RGBA_GREEN] = Clamp(120 + 60 * fx - 30 * fy + wave / 2 + noise.Next(6));
      p[FI_RGBA_BLUE] = Clamp(200 - 150 * fy + 20 * fx + noise.Next(6));
    }
  }
  return dib;
}

int Generate(const char* folder, int count, unsigned w, unsigned h) {
  for (int i = 0; i < count; ++i) {
    FIBITMAP* dib = PhotoLike(w, h, static_cast<unsigned>(i));
    char name[64];
    std::snprintf(name, sizeof name, "/photo_%02d", i);
    std::string base = std::string(folder) + name;
    bool ok = FreeImage_Save(FIF_JPEG, dib, (base + ".jpg").c_str(), 92) &&
              FreeImage_Save(FIF_PNG, dib, (base + ".png").c_str(), 0);
    FreeImage_Unload(dib);
    if (!ok) {
      std::fprintf(stderr, "cannot write %s\n", base.c_str());
      return 1;
    }
    std::fprintf(stderr, "\r  drew %d of %d", i + 1, count);
  }
  std::fprintf(stderr, "\n");
  return 0;
}

// How close a result is to its source, over every colour sample: 10 log10(255^2 / MSE).
int Psnr(const char* sourcePath, const char* resultPath) {
  std::vector<uint8_t> source, result;
  if (!ReadWhole(sourcePath, &source) || !ReadWhole(resultPath, &result)) return 1;
  FIBITMAP* a = Decode(source);
  FIBITMAP* b = Decode(result);
  FIBITMAP* a24 = a ? FreeImage_ConvertTo24Bits(a) : nullptr;
  FIBITMAP* b24 = b ? FreeImage_ConvertTo24Bits(b) : nullptr;
  bool same = a24 && b24 && FreeImage_GetWidth(a24) == FreeImage_GetWidth(b24) &&
              FreeImage_GetHeight(a24) == FreeImage_GetHeight(b24);
  double squares = 0;
  unsigned w = same ? FreeImage_GetWidth(a24) : 0, h = same ? FreeImage_GetHeight(a24) : 0;
  for (unsigned y = 0; y < h; ++y) {
    const BYTE* p = FreeImage_GetScanLine(a24, static_cast<int>(y));
    const BYTE* q = FreeImage_GetScanLine(b24, static_cast<int>(y));
    for (unsigned i = 0; i < 3 * w; ++i) squares += double(p[i] - q[i]) * (p[i] - q[i]);
  }
  for (FIBITMAP* dib : {a, b, a24, b24})
    if (dib) FreeImage_Unload(dib);
  if (!same) return 1;
  double mse = squares / (3.0 * w * h);
  std::printf("%.3f %zu\n", mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99.0, result.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--generate") == 0)
    return Generate(argv[2], std::atoi(argv[3]), static_cast<unsigned>(std::atoi(argv[4])),
                    static_cast<unsigned>(std::atoi(argv[5])));
  if (argc == 4 && std::strcmp(argv[1], "--psnr") == 0) return Psnr(argv[2], argv[3]);
  if (argc >= 5 && std::strcmp(argv[1], "--stages") == 0)
    return TimeStages(argv[2], std::max(1, std::atoi(argv[3])), argc - 4, argv + 4);
  if (argc >= 4 && std::strcmp(argv[1], "--job") == 0) {
    int failed = 0;
    for (int i = 4; i < argc; ++i) failed += ConvertOne(argv[2], argv[i], argv[3]) ? 0 : 1;
    return failed == 0 ? 0 : 1;
  }
  std::fprintf(stderr,
               "usage: %s --generate DIR COUNT WIDTH HEIGHT | --job jpg2jpg|jpg2webp|png2jpg OUTDIR FILE... | "
               "--stages jpg2jpg|jpg2webp|png2jpg REPEAT FILE... | --psnr SOURCE RESULT\n",
               argv[0]);
  return 2;
}
