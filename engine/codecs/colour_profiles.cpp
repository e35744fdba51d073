#include "engine/codecs/colour_profiles.h"

#if defined(TESSALY_LCMS2)

#define TESSALY_HOST_HEADER <lcms2.h>
#include "engine/codecs/host_header.h"

namespace {

struct Primaries {
  uint16_t code;
  const char* name;
  cmsCIExyY white, red, green, blue;
};

constexpr cmsCIExyY kD65 = {0.3127, 0.3290, 1.0};
constexpr cmsCIExyY kDci = {0.314, 0.351, 1.0};

// H.273 colour primaries (1 and 2 are sRGB's and "unspecified").
const Primaries kPrimaries[] = {
    {4, "BT.470M", {0.310, 0.316, 1.0}, {0.67, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.14, 0.08, 1.0}},
    {5, "BT.601 625", kD65, {0.64, 0.33, 1.0}, {0.29, 0.60, 1.0}, {0.15, 0.06, 1.0}},
    {6, "BT.601 525", kD65, {0.630, 0.340, 1.0}, {0.310, 0.595, 1.0}, {0.155, 0.070, 1.0}},
    {7, "SMPTE 240M", kD65, {0.630, 0.340, 1.0}, {0.310, 0.595, 1.0}, {0.155, 0.070, 1.0}},
    {9, "BT.2020", kD65, {0.708, 0.292, 1.0}, {0.170, 0.797, 1.0}, {0.131, 0.046, 1.0}},
    {11, "DCI-P3", kDci, {0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}},
    {12, "Display P3", kD65, {0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}},
};

// The transfer as lcms2's parametric curve: type 1 (a pure power) or 4 (a power with a
// linear toe): Y = (aX + b)^g for X >= d, else cX.
cmsToneCurve* TransferCurve(uint16_t transfer) {
  switch (transfer) {
    case 1:  // BT.709
    case 6:  // BT.601
    case 14:
    case 15: {
      const cmsFloat64Number p[5] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
      return cmsBuildParametricToneCurve(nullptr, 4, p);
    }
    case 2:
    case 13: {  // sRGB
      const cmsFloat64Number p[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
      return cmsBuildParametricToneCurve(nullptr, 4, p);
    }
    case 4: return cmsBuildGamma(nullptr, 2.2);
    case 5: return cmsBuildGamma(nullptr, 2.8);
    case 8: return cmsBuildGamma(nullptr, 1.0);
    default: return nullptr;
  }
}

const Primaries* FindPrimaries(uint16_t code) {
  for (const Primaries& p : kPrimaries)
    if (p.code == code) return &p;
  return nullptr;
}

}  // namespace

bool IsHdrTransfer(uint16_t transfer) {
  return transfer == 16 || transfer == 18;
}

std::vector<uint8_t> ProfileForCodePoints(uint16_t primaries, uint16_t transfer) {
  bool srgbPrimaries = primaries == 1 || primaries == 2;
  bool srgbTransfer = transfer == 13 || transfer == 2;
  if ((srgbPrimaries && srgbTransfer) || IsHdrTransfer(transfer)) return {};
  cmsCIExyYTRIPLE triple;
  cmsCIExyY white = kD65;
  const char* name = "sRGB primaries";
  if (!srgbPrimaries) {
    const Primaries* known = FindPrimaries(primaries);
    if (!known) return {};
    white = known->white;
    triple = {known->red, known->green, known->blue};
    name = known->name;
  } else {
    triple = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
  }
  cmsToneCurve* curve = TransferCurve(transfer);
  if (!curve) return {};
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &triple, curves);
  cmsFreeToneCurve(curve);
  if (!profile) return {};
  cmsMLU* description = cmsMLUalloc(nullptr, 1);
  if (description) {
    cmsMLUsetASCII(description, "en", "US", name);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);
    cmsMLUfree(description);
  }
  std::vector<uint8_t> bytes;
  cmsUInt32Number size = 0;
  if (cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
    bytes.resize(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
  }
  cmsCloseProfile(profile);
  return bytes;
}

#else  // without lcms2 the colours are taken as they are

bool IsHdrTransfer(uint16_t transfer) {
  return transfer == 16 || transfer == 18;
}

std::vector<uint8_t> ProfileForCodePoints(uint16_t, uint16_t) {
  return {};
}

#endif
