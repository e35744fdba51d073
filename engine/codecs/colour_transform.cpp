#include "engine/codecs/colour_transform.h"

#include <cstring>

#include "engine/codecs/matrix_shaper.h"

// What a transform does to pixels: lcms2's own, or tables for a matrix-shaper profile.
class PixelTransform {
 public:
  virtual ~PixelTransform() = default;
  virtual void Apply(const void* in, void* out, size_t count) const = 0;
};

void SrgbTransform::Apply(const void* in, void* out, size_t count) const {
  if (core_) core_->Apply(in, out, count);
}
#include <list>
#include <mutex>

ProfileSpace SpaceOfProfile(ByteSpan icc) {
  constexpr size_t kHeaderSize = 128, kSpaceAt = 16;
  if (!icc || icc.size < kHeaderSize) return ProfileSpace::None;
  const char* space = reinterpret_cast<const char*>(icc.data) + kSpaceAt;
  if (std::memcmp(space, "RGB ", 4) == 0) return ProfileSpace::Rgb;
  if (std::memcmp(space, "GRAY", 4) == 0) return ProfileSpace::Grey;
  if (std::memcmp(space, "CMYK", 4) == 0) return ProfileSpace::Cmyk;
  return ProfileSpace::Other;
}

void NaiveCmykToBgr(const uint8_t* cmyk, uint8_t* bgr, size_t count) {
  for (size_t i = 0; i < count; ++i, cmyk += 4, bgr += 3) {
    unsigned white = 255u - cmyk[3];
    bgr[0] = static_cast<uint8_t>(white * (255u - cmyk[2]) / 255u);
    bgr[1] = static_cast<uint8_t>(white * (255u - cmyk[1]) / 255u);
    bgr[2] = static_cast<uint8_t>(white * (255u - cmyk[0]) / 255u);
  }
}

#if defined(TESSALY_LCMS2)

#define TESSALY_HOST_HEADER <lcms2.h>
#include "engine/codecs/host_header.h"

namespace {

struct LayoutTypes {
  cmsUInt32Number in, out;
  ProfileSpace space;
  bool alpha;
};

LayoutTypes TypesOf(PixelLayout layout) {
  switch (layout) {
    case PixelLayout::Bgr8: return {TYPE_BGR_8, TYPE_BGR_8, ProfileSpace::Rgb, false};
    case PixelLayout::Bgra8: return {TYPE_BGRA_8, TYPE_BGRA_8, ProfileSpace::Rgb, true};
    case PixelLayout::Grey8: return {TYPE_GRAY_8, TYPE_GRAY_8, ProfileSpace::Grey, false};
    case PixelLayout::Rgb16: return {TYPE_RGB_16, TYPE_RGB_16, ProfileSpace::Rgb, false};
    case PixelLayout::Rgba16: return {TYPE_RGBA_16, TYPE_RGBA_16, ProfileSpace::Rgb, true};
    case PixelLayout::Grey16: return {TYPE_GRAY_16, TYPE_GRAY_16, ProfileSpace::Grey, false};
    case PixelLayout::Cmyk8: return {TYPE_CMYK_8, TYPE_BGR_8, ProfileSpace::Cmyk, false};
    case PixelLayout::Cmyk16: return {TYPE_CMYK_16, TYPE_RGB_16, ProfileSpace::Cmyk, false};
  }
  return {};
}

cmsHPROFILE SrgbProfile() {
  return cmsCreate_sRGBProfile();
}

// Grey pictures stay grey: sRGB's curve on a grey axis.
cmsHPROFILE SrgbGreyProfile() {
  const cmsFloat64Number p[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, p);
  if (!curve) return nullptr;
  cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), curve);
  cmsFreeToneCurve(curve);
  return profile;
}

class LcmsTransform : public PixelTransform {
 public:
  explicit LcmsTransform(cmsHTRANSFORM transform) : transform_(transform) {}
  ~LcmsTransform() override { cmsDeleteTransform(transform_); }
  void Apply(const void* in, void* out, size_t count) const override {
    // lcms2 counts pixels in 32 bits.
    constexpr size_t kChunk = 1u << 30;
    cmsUInt32Number inFormat = cmsGetTransformInputFormat(transform_);
    cmsUInt32Number outFormat = cmsGetTransformOutputFormat(transform_);
    size_t inBytes = T_BYTES(inFormat) * (T_CHANNELS(inFormat) + T_EXTRA(inFormat));
    size_t outBytes = T_BYTES(outFormat) * (T_CHANNELS(outFormat) + T_EXTRA(outFormat));
    const auto* from = static_cast<const uint8_t*>(in);
    auto* to = static_cast<uint8_t*>(out);
    while (count > 0) {
      size_t n = count < kChunk ? count : kChunk;
      cmsDoTransform(transform_, from, to, static_cast<cmsUInt32Number>(n));
      from += n * inBytes, to += n * outBytes, count -= n;
    }
  }

 private:
  cmsHTRANSFORM transform_;
};

class ShaperTransform : public PixelTransform {
 public:
  ShaperTransform(std::unique_ptr<MatrixShaper> shaper, int bytesPerPixel)
      : shaper_(std::move(shaper)), bytesPerPixel_(bytesPerPixel) {}
  void Apply(const void* in, void* out, size_t count) const override {
    shaper_->Apply(static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out), count, bytesPerPixel_);
  }

 private:
  std::unique_ptr<MatrixShaper> shaper_;
  int bytesPerPixel_;
};

struct Built {
  std::shared_ptr<const PixelTransform> core;
};

Built Build(ByteSpan icc, PixelLayout layout) {
  LayoutTypes types = TypesOf(layout);
  Built built;
  if (SpaceOfProfile(icc) != types.space || icc.size > 0x7FFFFFFF) return built;
  cmsHPROFILE source = cmsOpenProfileFromMem(icc.data, static_cast<cmsUInt32Number>(icc.size));
  if (!source) return built;
  if (layout == PixelLayout::Bgr8 || layout == PixelLayout::Bgra8) {
    if (std::unique_ptr<MatrixShaper> shaper = MatrixShaper::FromProfile(source)) {
      cmsCloseProfile(source);
      built.core = std::make_shared<ShaperTransform>(std::move(shaper), layout == PixelLayout::Bgr8 ? 3 : 4);
      return built;
    }
  }
  cmsHPROFILE target = types.space == ProfileSpace::Grey ? SrgbGreyProfile() : SrgbProfile();
  // The one-pixel cache of a transform is written as it runs: without it, threads may
  // share a transform.
  cmsUInt32Number flags = cmsFLAGS_NOCACHE | (types.alpha ? cmsFLAGS_COPY_ALPHA : 0);
  // Relative colorimetric, the ICC's default intent and other converters' (ImageMagick,
  // libvips). Black-point compensation for RGB and grey, where a matrix profile's black
  // is 0 anyway and a table's is kept black; not for CMYK, where it would lift the
  // shadows away from the rendering every other reader shows.
  if (types.space != ProfileSpace::Cmyk) flags |= cmsFLAGS_BLACKPOINTCOMPENSATION;
  cmsHTRANSFORM transform =
      target ? cmsCreateTransform(source, types.in, target, types.out, INTENT_RELATIVE_COLORIMETRIC, flags) : nullptr;
  cmsCloseProfile(source);
  if (target) cmsCloseProfile(target);
  if (transform) built.core = std::make_shared<LcmsTransform>(transform);
  return built;
}

uint64_t Fingerprint(ByteSpan icc) {
  uint64_t hash = 1469598103934665603ull;
  for (size_t i = 0; i < icc.size; ++i) hash = (hash ^ icc.data[i]) * 1099511628211ull;
  return hash;
}

// The last few profiles used, the most recent first. A worker meets one or two profiles
// in a run; a CMYK one's transform holds tables of some hundred kilobytes.
struct CacheEntry {
  uint64_t fingerprint;
  size_t size;
  PixelLayout layout;
  Built built;
};
constexpr size_t kCacheCapacity = 8;
std::mutex gCacheLock;
std::list<CacheEntry> gCache;
TransformCacheCounts gCounts;

}  // namespace

SrgbTransform TransformToSrgb(ByteSpan icc, PixelLayout layout) {
  static const bool quiet = (cmsSetLogErrorHandler(nullptr), true);
  (void)quiet;
  SrgbTransform result;
  if (!icc) return result;
  uint64_t fingerprint = Fingerprint(icc);
  {
    std::lock_guard<std::mutex> hold(gCacheLock);
    for (auto it = gCache.begin(); it != gCache.end(); ++it) {
      if (it->fingerprint != fingerprint || it->size != icc.size || it->layout != layout) continue;
      gCache.splice(gCache.begin(), gCache, it);
      ++gCounts.reused;
      result.core_ = it->built.core;
      return result;
    }
  }
  // Built outside the lock: a CMYK profile's tables take tens of milliseconds. An unusable
  // profile is remembered too, so that it is not parsed again for every file.
  Built built = Build(icc, layout);
  std::lock_guard<std::mutex> hold(gCacheLock);
  ++gCounts.built;
  gCache.push_front(CacheEntry{fingerprint, icc.size, layout, built});
  if (gCache.size() > kCacheCapacity) gCache.pop_back();
  result.core_ = built.core;
  return result;
}

void ForgetTransforms() {
  std::list<CacheEntry> gone;
  std::lock_guard<std::mutex> hold(gCacheLock);
  gone.swap(gCache);
}

TransformCacheCounts TransformCacheCountsNow() {
  std::lock_guard<std::mutex> hold(gCacheLock);
  return gCounts;
}

const std::vector<uint8_t>& SrgbProfileBytes() {
  static const std::vector<uint8_t> bytes = [] {
    std::vector<uint8_t> made;
    cmsHPROFILE profile = SrgbProfile();
    cmsUInt32Number size = 0;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
      made.resize(size);
      if (!cmsSaveProfileToMem(profile, made.data(), &size)) made.clear();
    }
    if (profile) cmsCloseProfile(profile);
    return made;
  }();
  return bytes;
}

#else  // without lcms2 no profile can be followed

SrgbTransform TransformToSrgb(ByteSpan, PixelLayout) {
  return SrgbTransform();
}

void ForgetTransforms() {}

TransformCacheCounts TransformCacheCountsNow() {
  return {};
}

const std::vector<uint8_t>& SrgbProfileBytes() {
  static const std::vector<uint8_t> none;
  return none;
}

#endif
