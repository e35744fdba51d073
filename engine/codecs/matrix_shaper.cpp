#include "engine/codecs/matrix_shaper.h"

#if defined(TESSALY_LCMS2)

#include <cmath>

#define TESSALY_HOST_HEADER <lcms2.h>
#include "engine/codecs/host_header.h"

namespace {

// The profile's primaries as the columns of its RGB-to-XYZ matrix (against the D50 of the
// profile connection space, where relative colorimetric meets).
bool Colorants(cmsHPROFILE profile, double m[3][3]) {
  const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
  for (int c = 0; c < 3; ++c) {
    const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[c]));
    if (!xyz) return false;
    m[0][c] = xyz->X, m[1][c] = xyz->Y, m[2][c] = xyz->Z;
  }
  return true;
}

bool Invert(const double a[3][3], double out[3][3]) {
  double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  if (std::fabs(det) < 1e-9) return false;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
      out[r][c] = (a[r1][c1] * a[r2][c2] - a[r1][c2] * a[r2][c1]) / det;
    }
  return true;
}

}  // namespace

std::unique_ptr<MatrixShaper> MatrixShaper::FromProfile(void* handle) {
  cmsHPROFILE source = handle;
  if (cmsGetColorSpace(source) != cmsSigRgbData || cmsGetPCS(source) != cmsSigXYZData ||
      !cmsIsMatrixShaper(source))
    return nullptr;
  std::unique_ptr<MatrixShaper> shaper(new MatrixShaper());
  const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
  for (int c = 0; c < 3; ++c) {
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(source, curves[c]));
    if (!curve || cmsEvalToneCurveFloat(curve, 0) != 0) return nullptr;
    for (int v = 0; v < 256; ++v) {
      float linear = cmsEvalToneCurveFloat(curve, v / 255.0f);
      if (!std::isfinite(linear)) return nullptr;
      shaper->linear_[c][v] = linear;
    }
  }
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  double from[3][3], to[3][3], toSrgb[3][3];
  const auto* srgbCurve = srgb ? static_cast<const cmsToneCurve*>(cmsReadTag(srgb, cmsSigRedTRCTag)) : nullptr;
  cmsToneCurve* encode = srgbCurve ? cmsReverseToneCurve(srgbCurve) : nullptr;
  bool ok = encode && Colorants(source, from) && Colorants(srgb, to) && Invert(to, toSrgb);
  for (int r = 0; ok && r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      double v = toSrgb[r][0] * from[0][c] + toSrgb[r][1] * from[1][c] + toSrgb[r][2] * from[2][c];
      ok = ok && std::isfinite(v);
      shaper->matrix_[r][c] = static_cast<float>(v);
    }
  if (ok) {
    for (int i = 0; i <= kOutSteps; ++i)
      shaper->encoded_[i] = static_cast<uint8_t>(
          std::lround(std::fmin(1.0f, std::fmax(0.0f, cmsEvalToneCurveFloat(encode, float(i) / kOutSteps))) * 255));
  }
  if (encode) cmsFreeToneCurve(encode);
  if (srgb) cmsCloseProfile(srgb);
  return ok ? std::move(shaper) : nullptr;
}

void MatrixShaper::Apply(const uint8_t* in, uint8_t* out, size_t count, int bytesPerPixel) const {
  const float(*m)[3] = matrix_;
  for (size_t i = 0; i < count; ++i, in += bytesPerPixel, out += bytesPerPixel) {
    float r = linear_[0][in[2]], g = linear_[1][in[1]], b = linear_[2][in[0]];
    uint8_t alpha = bytesPerPixel == 4 ? in[3] : 0;
    int at[3];
    for (int k = 0; k < 3; ++k) {
      float v = m[k][0] * r + m[k][1] * g + m[k][2] * b;
      v = v < 0 ? 0 : v > 1 ? 1 : v;
      at[k] = static_cast<int>(v * kOutSteps + 0.5f);
    }
    out[2] = encoded_[at[0]], out[1] = encoded_[at[1]], out[0] = encoded_[at[2]];
    if (bytesPerPixel == 4) out[3] = alpha;
  }
}

#else

std::unique_ptr<MatrixShaper> MatrixShaper::FromProfile(void*) {
  return nullptr;
}

void MatrixShaper::Apply(const uint8_t*, uint8_t*, size_t, int) const {}

#endif
