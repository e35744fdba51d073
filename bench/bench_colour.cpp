// What "Convert to sRGB" costs: photos carrying an Adobe RGB profile made 2000 px JPGs
// (q84, progressive) by tessaly-batch with the option off and on, in alternate rounds so
// that a busy moment of the machine falls on both. Goal: on at most 1.15 x the time of
// off.
//
//   bench_colour [--count N] [--repeat R] [--cache DIR]
//
// The photos are bench_convert's samples (drawn by it into the same cache when missing),
// copied with an Adobe RGB (1998) profile made by lcms2 in an APP2 segment.
#include <lcms2.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "bench_process.h"

namespace fs = std::filesystem;

namespace {

struct Options {
  int count = 20;
  int repeat = 3;
  std::string cache = TESSALY_BENCH_CACHE;
};

std::vector<uint8_t> AdobeRgbProfile() {
  cmsCIExyY white = {0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::vector<uint8_t> bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  cmsFreeToneCurve(gamma);
  return bytes;
}

// The JPEG with the profile in an APP2 segment right after its start marker.
bool WriteTagged(const std::string& from, const std::string& to, const std::vector<uint8_t>& profile) {
  std::ifstream in(from, std::ios::binary);
  std::vector<uint8_t> jpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return false;
  static const char kName[] = "ICC_PROFILE";
  std::vector<uint8_t> segment = {0xFF, 0xE2};
  size_t length = 2 + sizeof kName + 2 + profile.size();
  segment.push_back(static_cast<uint8_t>(length >> 8));
  segment.push_back(static_cast<uint8_t>(length));
  segment.insert(segment.end(), kName, kName + sizeof kName);
  segment.push_back(1), segment.push_back(1);
  segment.insert(segment.end(), profile.begin(), profile.end());
  jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
  std::ofstream(to, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), jpeg.size());
  return true;
}

std::string Photo(const std::string& folder, int i) {
  char name[32];
  std::snprintf(name, sizeof name, "/photo_%02d.jpg", i);
  return folder + name;
}

bool EnsurePhotos(const Options& o, const std::string& tagged) {
  if (!fs::exists(Photo(o.cache, o.count - 1)) &&
      !RunChild({BENCH_CONVERT_PATH, "--count", std::to_string(o.count), "--job", "none", "--cache", o.cache}).ok &&
      !fs::exists(Photo(o.cache, o.count - 1)))
    return false;
  fs::create_directories(tagged);
  std::vector<uint8_t> profile = AdobeRgbProfile();
  for (int i = 0; i < o.count; ++i)
    if (!WriteTagged(Photo(o.cache, i), Photo(tagged, i), profile)) return false;
  return true;
}

Measure Convert(const Options& o, const std::string& tagged, const std::string& out, bool toSrgb) {
  fs::remove_all(out);
  fs::create_directories(out);
  std::vector<std::string> args = {TESSALY_BATCH_PATH, "--config", out + "/bench-config.dat", "--out-mode", "folder",
                                   "--out-dir", out, "--format", "jpg", "--quality", "84", "--progressive", "on",
                                   "--resize", "px", "--side", "long", "--size", "2000", "--to-srgb",
                                   toSrgb ? "on" : "off"};
  for (int i = 0; i < o.count; ++i) args.push_back(Photo(tagged, i));
  return RunChild(args);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--count") o.count = std::max(1, std::atoi(argv[i + 1]));
    else if (a == "--repeat") o.repeat = std::max(1, std::atoi(argv[i + 1]));
    else if (a == "--cache") o.cache = argv[i + 1];
    else {
      std::fprintf(stderr, "usage: %s [--count N] [--repeat R] [--cache DIR]\n", argv[0]);
      return 2;
    }
  }
  std::string tagged = o.cache + "/adobe-rgb";
  if (!EnsurePhotos(o, tagged)) {
    std::fprintf(stderr, "no sample photos in %s (run bench_convert once)\n", o.cache.c_str());
    return 1;
  }
  Measure off, on;
  for (int r = 0; r < o.repeat; ++r) {
    KeepBest(&off, Convert(o, tagged, o.cache + "/out/srgb-off", false), r == 0);
    KeepBest(&on, Convert(o, tagged, o.cache + "/out/srgb-on", true), r == 0);
  }
  if (!off.ok || !on.ok) {
    std::fprintf(stderr, "tessaly-batch failed\n");
    return 1;
  }
  std::printf("Adobe RGB photos to 2000 px JPG q84 (%d files, best of %d)\n", o.count, o.repeat);
  std::printf("  %-28s %7.2f s wall %7.2f s CPU\n", "Convert to sRGB off", off.seconds, off.cpuSeconds);
  std::printf("  %-28s %7.2f s wall %7.2f s CPU\n", "Convert to sRGB on", on.seconds, on.cpuSeconds);
  double ratio = on.seconds / off.seconds, cpuRatio = on.cpuSeconds / off.cpuSeconds;
  bool met = ratio <= 1.15;
  std::printf("  %-28s %7.3f x wall %7.3f x CPU   goal <= 1.15 x: %s\n", "on / off", ratio, cpuRatio,
              met ? "met" : "MISSED");
  return met ? 0 : 1;
}
