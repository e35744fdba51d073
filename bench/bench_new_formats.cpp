// How fast tessaly-batch writes AVIF and JPEG XL and reads HEIC, against what a user would
// pick instead at the same settings: libvips in one process per logical processor, and the
// formats' own tools (avifenc, cjxl, heif-convert) looped over the files. Then how large
// and how close to the picture the results of JPEG q84, WEBP q90, AVIF and JPEG XL at
// their defaults are, so a user can choose.
//
//   bench_new_formats [--count N] [--repeat R] [--cache DIR]
//
// The photos are bench_convert's (drawn once into its cache); the HEIC sources are made
// from them with heif-enc, and the 2000-pixel pictures the tools without a resize start
// from with vipsthumbnail, both once. Those tools are given the resize done; the rows
// say so.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#include "bench_process.h"

namespace fs = std::filesystem;

namespace {

struct Options {
  int count = 20;
  int repeat = 1;
  std::string cache = TESSALY_BENCH_CACHE;
};

int Cores() {
  return std::max(1u, std::thread::hardware_concurrency());
}

std::string Numbered(const std::string& folder, const char* stem, int i, const char* ext) {
  char name[64];
  std::snprintf(name, sizeof name, "/%s_%02d.%s", stem, i, ext);
  return folder + name;
}

bool Run(const std::vector<std::string>& args) {
  return RunTogether({args}).ok;
}

// The photos (bench_convert's), their HEIC forms and their 2000-pixel forms.
bool EnsureSources(const Options& o) {
  fs::create_directories(o.cache);
  if (!fs::exists(Numbered(o.cache, "photo", o.count - 1, "jpg")) &&
      !Run({BENCH_LOOP_PATH, "--generate", o.cache, std::to_string(o.count), "4000", "3000"}))
    return false;
  fs::create_directories(o.cache + "/heic");
  fs::create_directories(o.cache + "/small");
  for (int i = 0; i < o.count; ++i) {
    std::string photo = Numbered(o.cache, "photo", i, "jpg");
    std::string heic = Numbered(o.cache + "/heic", "photo", i, "heic");
    std::string small = Numbered(o.cache + "/small", "photo", i, "png");
    if (!fs::exists(heic) && !Run({"heif-enc", "-q", "50", "-o", heic, photo})) return false;
    if (!fs::exists(small) && !Run({"vipsthumbnail", photo, "--size", "2000x2000", "-o", small})) return false;
  }
  return true;
}

std::string Fresh(const Options& o, const std::string& name) {
  std::string folder = o.cache + "/new-out/" + name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

struct Row {
  using Run = std::function<Measure(const std::string& out)>;
  Row(std::string n, Run r) : name(std::move(n)), run(std::move(r)) {}
  std::string name;
  Run run;
  Measure best;
};

// The files split between as many commands as there are logical processors.
Measure Spread(const std::vector<std::string>& files, const std::function<std::vector<std::string>(
                                                           const std::vector<std::string>&)>& command) {
  std::vector<std::vector<std::string>> commands;
  int n = Cores();
  for (int c = 0; c < n; ++c) {
    std::vector<std::string> share;
    for (size_t i = c; i < files.size(); i += n) share.push_back(files[i]);
    if (!share.empty()) commands.push_back(command(share));
  }
  return RunTogether(commands);
}

// One file after the other, as a shell loop would.
Measure Loop(const std::vector<std::string>& files, const std::function<std::vector<std::string>(const std::string&)>& command) {
  Measure total;
  total.ok = true;
  for (const std::string& file : files) {
    Measure m = RunTogether({command(file)});
    total.seconds += m.seconds;
    total.cpuSeconds += m.cpuSeconds;
    total.peakKb = std::max(total.peakKb, m.peakKb);
    total.ok = total.ok && m.ok;
  }
  return total;
}

std::string Stem(const std::string& path) {
  return fs::path(path).stem().string();
}

// vips takes its options after the output name; the shell script's loop in C++.
std::vector<std::string> VipsThumbnails(const std::vector<std::string>& files, const std::string& out,
                                        const std::string& suffix) {
  std::vector<std::string> args = {"sh", "-c", "for f in \"$@\"; do b=$(basename \"$f\"); "
                                   "vips thumbnail \"$f\" \"" + out + "/${b%.*}." + suffix + "\" 2000 || exit 1; done",
                                   "sh"};
  args.insert(args.end(), files.begin(), files.end());
  return args;
}

struct Job {
  std::string name;
  std::vector<std::string> sources;
  std::vector<Row> rows;
  std::string reference;  // the row whose encoder the CPU goal is held against
};

std::vector<Job> Jobs(const Options& o) {
  std::vector<std::string> photos, heics, smalls;
  for (int i = 0; i < o.count; ++i) {
    photos.push_back(Numbered(o.cache, "photo", i, "jpg"));
    heics.push_back(Numbered(o.cache + "/heic", "photo", i, "heic"));
    smalls.push_back(Numbered(o.cache + "/small", "photo", i, "png"));
  }
  auto tessaly = [](std::vector<std::string> args, const std::vector<std::string>& files) {
    return [args, files](const std::string& out) {
      std::vector<std::string> all = {TESSALY_BATCH_PATH, "--config", out + "/none.dat", "--on-error", "continue",
                                      "--out-mode", "folder", "--out-dir", out, "--resize", "px", "--side", "long",
                                      "--size", "2000"};
      all.insert(all.end(), args.begin(), args.end());
      all.insert(all.end(), files.begin(), files.end());
      return RunTogether({all});
    };
  };
  std::vector<Job> jobs;
  // libheif maps quality 60 to aom's cq-level 25 ((100 - q) * 63 / 100): avifenc's
  // quantizers at 25, speed 6; vips's effort 3 is aom's speed 6 (9 - effort).
  jobs.push_back({"JPG->AVIF 2000 px", photos,
                  {{"tessaly-batch", tessaly({"--format", "avif"}, photos)},
                   {"vips x" + std::to_string(Cores()),
                    [photos](const std::string& out) {
                      return Spread(photos, [out](const std::vector<std::string>& f) {
                        return VipsThumbnails(f, out, "avif[Q=60,effort=3,compression=av1]");
                      });
                    }},
                   {"avifenc loop (from 2000 px)",
                    [smalls](const std::string& out) {
                      return Loop(smalls, [out](const std::string& f) {
                        return std::vector<std::string>{"avifenc", "-s", "6", "-j", "1", "--min", "25", "--max", "25",
                                                        f, out + "/" + Stem(f) + ".avif"};
                      });
                    }}},
                  "avifenc loop (from 2000 px)"});
  jobs.push_back({"JPG->JXL 2000 px", photos,
                  {{"tessaly-batch", tessaly({"--format", "jxl"}, photos)},
                   {"vips x" + std::to_string(Cores()),
                    [photos](const std::string& out) {
                      return Spread(photos, [out](const std::vector<std::string>& f) {
                        return VipsThumbnails(f, out, "jxl[Q=90,effort=7]");
                      });
                    }},
                   {"cjxl loop (from 2000 px)",
                    [smalls](const std::string& out) {
                      return Loop(smalls, [out](const std::string& f) {
                        return std::vector<std::string>{"cjxl", "-d", "1", "-e", "7", "--num_threads=0", f,
                                                        out + "/" + Stem(f) + ".jxl"};
                      });
                    }}},
                  "cjxl loop (from 2000 px)"});
  jobs.push_back({"HEIC->JPG 2000 px", heics,
                  {{"tessaly-batch", tessaly({"--format", "jpg", "--quality", "84"}, heics)},
                   {"vips x" + std::to_string(Cores()),
                    [heics](const std::string& out) {
                      return Spread(heics, [out](const std::vector<std::string>& f) {
                        return VipsThumbnails(f, out, "jpg[Q=84]");
                      });
                    }},
                   {"heif-convert loop (whole size)",
                    [heics](const std::string& out) {
                      return Loop(heics, [out](const std::string& f) {
                        return std::vector<std::string>{"heif-convert", "-q", "84", f, out + "/" + Stem(f) + ".jpg"};
                      });
                    }}},
                  "heif-convert loop (whole size)"});
  return jobs;
}

void Measured(Job& job, const Options& o) {
  for (int r = 0; r < o.repeat; ++r)
    for (Row& row : job.rows) {
      Measure m = row.run(Fresh(o, job.name.substr(0, 3) + "-" + std::to_string(&row - job.rows.data())));
      if (!m.ok) std::fprintf(stderr, "  %s: %s failed\n", job.name.c_str(), row.name.c_str());
      if (m.ok && (row.best.seconds == 0 || m.seconds < row.best.seconds)) row.best = m;
    }
}

void Print(const Job& job, int count) {
  std::printf("\n%s, %d photos of 4000 x 3000 (best of the rounds):\n", job.name.c_str(), count);
  std::printf("  %-32s %9s %12s %10s\n", "", "wall s", "CPU s/photo", "peak MB");
  double bestOther = 0;
  const Row* tessaly = nullptr;
  const Row* reference = nullptr;
  for (const Row& row : job.rows) {
    std::printf("  %-32s %9.2f %12.2f %10.0f\n", row.name.c_str(), row.best.seconds, row.best.cpuSeconds / count,
                row.best.peakKb / 1024.0);
    if (row.name == "tessaly-batch") tessaly = &row;
    else if (bestOther == 0 || row.best.seconds < bestOther) bestOther = row.best.seconds;
    if (row.name == job.reference) reference = &row;
  }
  if (!tessaly || !reference || bestOther == 0) return;
  std::printf("  wall time against the best of the others: %.2fx (goal at most 0.8x)\n", tessaly->best.seconds / bestOther);
  std::printf("  CPU per photo against %s: %.2fx (goal within 1.1x)\n", job.reference.c_str(),
              tessaly->best.cpuSeconds / reference->best.cpuSeconds);
}

// Bytes and PSNR against the 2000-pixel picture, each result decoded by its format's own tool.
double Psnr(const std::string& picture, const std::string& reference) {
  std::string command = "compare -metric PSNR '" + picture + "' '" + reference + "' null: 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return 0;
  double value = 0;
  if (std::fscanf(pipe, "%lf", &value) != 1) value = 0;
  ::pclose(pipe);
  return value;
}

void SizeAndQuality(const Options& o) {
  struct Target {
    const char* label;
    std::vector<std::string> args;
    const char* ext;
    const char* decoder;  // nullptr: ImageMagick reads it
  } targets[] = {{"JPEG q84", {"--format", "jpg", "--quality", "84"}, "jpg", nullptr},
                 {"WEBP q90", {"--format", "webp", "--quality", "90"}, "webp", nullptr},
                 {"AVIF (q60, speed 6)", {"--format", "avif"}, "avif", "avifdec"},
                 {"JPEG XL (q90 = distance 1, effort 7)", {"--format", "jxl"}, "jxl", "djxl"}};
  std::printf("\nSize and quality at 2000 px, %d photos, PSNR against the picture resized alone:\n", o.count);
  std::printf("  %-38s %12s %10s\n", "", "bytes/photo", "PSNR dB");
  for (const Target& t : targets) {
    std::string out = Fresh(o, std::string("quality-") + t.ext);
    std::vector<std::string> args = {TESSALY_BATCH_PATH, "--config", out + "/none.dat", "--out-mode", "folder",
                                     "--out-dir", out, "--resize", "px", "--side", "long", "--size", "2000"};
    args.insert(args.end(), t.args.begin(), t.args.end());
    for (int i = 0; i < o.count; ++i) args.push_back(Numbered(o.cache + "/small", "photo", i, "png"));
    if (!Run(args)) continue;
    double bytes = 0, psnr = 0;
    for (int i = 0; i < o.count; ++i) {
      std::string made = Numbered(out, "photo", i, t.ext), shown = made;
      bytes += static_cast<double>(fs::file_size(made));
      if (t.decoder) {
        shown = made + ".png";
        Run({t.decoder, made, shown});
      }
      psnr += Psnr(shown, Numbered(o.cache + "/small", "photo", i, "png"));
    }
    std::printf("  %-38s %12.0f %10.2f\n", t.label, bytes / o.count, psnr / o.count);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string flag = argv[i], value = argv[i + 1];
    if (flag == "--count") o.count = std::atoi(value.c_str());
    else if (flag == "--repeat") o.repeat = std::atoi(value.c_str());
    else if (flag == "--cache") o.cache = value;
  }
  for (const char* tool : {"heif-enc", "vipsthumbnail", "vips", "avifenc", "avifdec", "cjxl", "djxl", "heif-convert"})
    if (!HaveProgram(tool)) {
      std::fprintf(stderr, "bench_new_formats: %s is missing (scripts/setup.sh installs it)\n", tool);
      return 1;
    }
  if (o.count < 1 || !EnsureSources(o)) return 1;
  for (Job& job : Jobs(o)) {
    Measured(job, o);
    Print(job, o.count);
  }
  SizeAndQuality(o);
  return 0;
}
