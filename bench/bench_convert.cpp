// How fast tessaly-batch converts and how much memory it holds, in one run on the same
// files, against: its own single-file path (--jobs 1 --shrink-on-load off), the same in
// its own process (--isolate off), a bare loop of the same FreeImage calls on one
// thread, vipsthumbnail (one process, and one per logical processor) and ImageMagick's
// mogrify. For JPG->JPG it also measures how close the results decoded smaller are to
// those of the whole picture, on photos and on pages of text; for the jobs that keep the
// size, how large and how close to the sources the results are.
//
//   bench_convert [--count N] [--width W] [--height H] [--repeat R] [--cache DIR] [--no-mogrify]
//                 [--job jpg2jpg|jpg2webp|png2jpg]
//
// Defaults: 20 photo-like 4000x3000 JPEGs and PNGs and 4 pages of text, drawn once into
// a cache folder under the build folder and reused.
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#include "bench_process.h"

namespace fs = std::filesystem;

namespace {

struct Options {
  int count = 20;
  int width = 4000;
  int height = 3000;
  int repeat = 1;
  std::string cache = TESSALY_BENCH_CACHE;
  bool mogrify = true;
  std::string only;  // one job by name, for a longer look at it
};

int Cores() {
  return std::max(1u, std::thread::hardware_concurrency());
}

std::string SampleName(const std::string& folder, const char* stem, int i, const char* ext) {
  char name[64];
  std::snprintf(name, sizeof name, "/%s_%02d.%s", stem, i, ext);
  return folder + name;
}

constexpr int kTextPages = 4;

// Pages of small text and thin rules, the hardest case for a picture decoded smaller.
bool DrawTextPages(const Options& o) {
  if (!HaveProgram("convert")) return false;
  for (int i = 0; i < kTextPages; ++i) {
    std::vector<std::string> args = {"convert", "-size", std::to_string(o.width) + "x" + std::to_string(o.height),
                                     "xc:white", "-font", "Liberation-Sans", "-fill", "black", "-pointsize", std::to_string(18 + 6 * i)};
    for (int line = 0; line * (30 + 8 * i) < o.height - 60; ++line)
      args.insert(args.end(), {"-annotate", "+40+" + std::to_string(50 + line * (30 + 8 * i)),
                               "Line " + std::to_string(line) + ": The quick brown fox jumps over the lazy dog, "
                               "0123456789; Съешь же ещё этих мягких французских булок, да выпей чаю."});
    args.insert(args.end(), {"-stroke", "black", "-draw", "line 0,10 " + std::to_string(o.width) + ",30", "-quality",
                             "92", SampleName(o.cache, "text", i, "jpg")});
    if (!RunChild(args).ok) return false;
  }
  return true;
}

// Draws the samples unless the cache already holds this set.
bool EnsureSamples(const Options& o) {
  std::string stampPath = o.cache + "/set.txt";
  std::string size = std::to_string(o.width) + "x" + std::to_string(o.height);
  std::ifstream in(stampPath);
  int haveCount = 0;
  std::string haveSize, haveText;
  // A cache with more pictures of the same size serves a shorter run as well.
  if (in >> haveCount >> haveSize && haveSize == size && haveCount >= o.count) {
    if (in >> haveText && haveText == "text") return true;
  } else {
    fs::create_directories(o.cache);
    std::fprintf(stderr, "Drawing %d %s sample pictures into %s (once)\n", o.count, size.c_str(), o.cache.c_str());
    if (!RunChild({BENCH_LOOP_PATH, "--generate", o.cache, std::to_string(o.count), std::to_string(o.width),
                   std::to_string(o.height)})
             .ok)
      return false;
    haveCount = o.count;
  }
  bool text = DrawTextPages(o);
  std::ofstream(stampPath) << haveCount << " " << size << (text ? " text" : "") << "\n";
  return true;
}

struct Job {
  const char* name;
  const char* input;   // extension of the sources
  const char* output;  // extension of the results
  bool sameSize;       // results can be compared with their sources pixel for pixel
  std::vector<std::string> tessaly;
  std::vector<std::string> mogrify;
  std::string vipsSize;    // vipsthumbnail --size
  std::string vipsOutput;  // vipsthumbnail -o, after the folder
};

std::vector<Job> Jobs() {
  return {
      {"jpg2jpg", "jpg", "jpg", false,
       {"--format", "jpg", "--quality", "84", "--progressive", "on", "--resize", "px", "--side", "long", "--size",
        "2000"},
       {"-filter", "Lanczos", "-resize", "2000x2000", "-quality", "84", "-interlace", "Plane", "-format", "jpg"},
       "2000x2000", "%s.jpg[Q=84,interlace]"},
      {"jpg2webp", "jpg", "webp", true,
       {"--format", "webp", "--quality", "90", "--resize", "none"},
       {"-quality", "90", "-format", "webp"},
       "100000x100000>", "%s.webp[Q=90]"},
      {"png2jpg", "png", "jpg", true,
       {"--format", "jpg", "--quality", "84", "--progressive", "on", "--resize", "none"},
       {"-quality", "84", "-interlace", "Plane", "-format", "jpg"},
       "100000x100000>", "%s.jpg[Q=84,interlace]"},
  };
}

std::string FreshFolder(const std::string& base, const std::string& name) {
  std::string folder = base + "/" + name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::vector<std::string> TessalyArgs(const Job& job, const std::string& out, const std::vector<std::string>& files,
                                     const std::vector<std::string>& extra = {}) {
  std::vector<std::string> a = {TESSALY_BATCH_PATH, "--config", out + "/bench-config.dat", "--out-mode", "folder",
                                "--out-dir", out, "--on-error", "continue", "--filter", job.input};
  a.insert(a.end(), extra.begin(), extra.end());
  a.insert(a.end(), job.tessaly.begin(), job.tessaly.end());
  a.insert(a.end(), files.begin(), files.end());
  return a;
}

const std::vector<std::string> kSinglePath = {"--jobs", "1", "--shrink-on-load", "off"};

// vipsthumbnail over the files, split among `processes` of it started at once.
std::vector<std::vector<std::string>> VipsCommands(const Job& job, const std::string& out,
                                                   const std::vector<std::string>& files, int processes) {
  std::vector<std::vector<std::string>> commands(processes);
  for (auto& c : commands) c = {"vipsthumbnail", "--size", job.vipsSize, "-o", out + "/" + job.vipsOutput};
  for (size_t i = 0; i < files.size(); ++i) commands[i % processes].push_back(files[i]);
  return commands;
}

std::string Largest(const std::vector<std::string>& files) {
  auto smaller = [](const std::string& a, const std::string& b) { return fs::file_size(a) < fs::file_size(b); };
  return *std::max_element(files.begin(), files.end(), smaller);
}

// Every contender of a job; each round runs all of them in turn, so a busy moment on
// the machine does not fall on one of them only.
struct Contender {
  using Run = std::function<Measure(const std::string& out)>;
  Contender() = default;
  Contender(std::string n, Run r) : name(std::move(n)), run(std::move(r)) {}
  std::string name;
  Run run;
  Measure best;
};

std::vector<Contender> Contenders(const Job& job, const Options& o, const std::vector<std::string>& files) {
  std::vector<Contender> c;
  auto tessaly = [job, files](std::vector<std::string> extra) {
    return [job, files, extra](const std::string& out) { return RunChild(TessalyArgs(job, out, files, extra)); };
  };
  std::vector<std::string> inProcess = kSinglePath;
  inProcess.insert(inProcess.end(), {"--isolate", "off"});
  c.push_back({"single", tessaly(kSinglePath)});
  c.push_back({"inprocess", tessaly(inProcess)});
  c.push_back({"tessaly", tessaly({})});
  c.push_back({"loop", [job, files](const std::string& out) {
                 std::vector<std::string> loop = {BENCH_LOOP_PATH, "--job", job.name, out};
                 loop.insert(loop.end(), files.begin(), files.end());
                 return RunChild(loop);
               }});
  if (HaveProgram("vipsthumbnail"))
    for (int processes : {1, Cores()})
      c.push_back({"vips-" + std::to_string(processes), [job, files, processes](const std::string& out) {
                     return RunTogether(VipsCommands(job, out, files, processes));
                   }});
  if (o.mogrify && HaveProgram("mogrify"))
    c.push_back({"mogrify", [job, files](const std::string& out) {
                   std::vector<std::string> m = {"mogrify", "-path", out};
                   m.insert(m.end(), job.mogrify.begin(), job.mogrify.end());
                   m.insert(m.end(), files.begin(), files.end());
                   // ImageMagick is held to one thread, as the single path is.
                   return RunChild(m, {"MAGICK_THREAD_LIMIT=1"});
                 }});
  return c;
}

void PrintRow(const Contender& c, int count) {
  const Measure& m = c.best;
  if (!m.ok) {
    std::printf("  %-10s failed\n", c.name.c_str());
    return;
  }
  std::printf("  %-10s %7.2f s  %6.2f images/s  cpu %7.2f s  peak %7.1f MB\n", c.name.c_str(), m.seconds,
              count / m.seconds, m.cpuSeconds, m.peakKb / 1024.0);
}

// Mean PSNR of the results in one folder against those of the same names in another,
// and their total bytes.
struct Fidelity {
  double bytes = 0;
  double psnr = 0;
  double worst = 99;
  bool ok = true;
};

Fidelity Compare(const std::string& reference, const std::string& folder, const char* extension,
                 const std::vector<std::string>& sources) {
  Fidelity f;
  for (const std::string& source : sources) {
    std::string stem = fs::path(source).stem().string();
    std::string a = reference.empty() ? source : reference + "/" + stem + "." + extension;
    std::string command = std::string(BENCH_LOOP_PATH) + " --psnr '" + a + "' '" + folder + "/" + stem + "." +
                          extension + "'";
    FILE* pipe = popen(command.c_str(), "r");
    double psnr = 0, bytes = 0;
    bool read = pipe && std::fscanf(pipe, "%lf %lf", &psnr, &bytes) == 2;
    bool ended = pipe && pclose(pipe) == 0;
    f.ok = f.ok && read && ended;
    f.psnr += psnr / sources.size();
    f.worst = std::min(f.worst, psnr);
    f.bytes += bytes;
  }
  return f;
}

std::map<std::string, Contender> MeasureJob(const Job& job, const Options& o, const std::vector<std::string>& files) {
  std::string work = o.cache + "/out";
  std::vector<Contender> contenders = Contenders(job, o, files);
  for (int r = 0; r < o.repeat; ++r)
    for (Contender& c : contenders)
      KeepBest(&c.best, c.run(FreshFolder(work, c.name + "-" + job.name)), r == 0);
  std::map<std::string, Contender> byName;
  for (Contender& c : contenders) byName[c.name] = c;
  return byName;
}

bool Goal(const char* what, double value, double bound, bool atMost) {
  bool met = atMost ? value <= bound : value >= bound;
  std::printf("  %-52s %7.3f (goal %s %.2f: %s)\n", what, value, atMost ? "<=" : ">=", bound, met ? "met" : "MISSED");
  return met;
}

bool SpeedGoals(const Job& job, std::map<std::string, Contender>& c) {
  const Measure &single = c["single"].best, &tessaly = c["tessaly"].best, &loop = c["loop"].best;
  bool met = Goal("single path / bare loop, time", single.seconds / loop.seconds, 1.05, true);
  std::printf("  %-52s %7.3f\n", "single path / bare loop, cpu", single.cpuSeconds / loop.cpuSeconds);
  met = Goal("single path / its own process (--isolate off), time",
             single.seconds / c["inprocess"].best.seconds, 1.02, true) && met;
  met = Goal("defaults: speed-up over the single path", single.seconds / tessaly.seconds, 1.8, false) && met;
  std::string vipsN = "vips-" + std::to_string(Cores());
  if (c.count(vipsN)) {
    double vips = std::min(c["vips-1"].best.seconds, c[vipsN].best.seconds);
    if (std::strcmp(job.name, "jpg2jpg") == 0) met = Goal("defaults: speed-up over vipsthumbnail's best", vips / tessaly.seconds, 2.0, false) && met;
    else std::printf("  %-52s %7.3f\n", "defaults: speed-up over vipsthumbnail's best", vips / tessaly.seconds);
  }
  if (c.count("mogrify")) std::printf("  %-52s %7.3f\n", "defaults: speed-up over mogrify", c["mogrify"].best.seconds / tessaly.seconds);
  return met;
}

bool MemoryGoal(const Job& job, const Options& o, const Measure& tessaly, const std::vector<std::string>& files) {
  Measure alone = RunChild(TessalyArgs(job, FreshFolder(o.cache + "/out", std::string("alone-") + job.name),
                                       {Largest(files)}));
  int jobs = std::min<int>(Cores(), static_cast<int>(files.size()));
  std::printf("  peak memory: %d files %.1f MB, the largest alone %.1f MB\n", o.count, tessaly.peakKb / 1024.0,
              alone.peakKb / 1024.0);
  double ratio = alone.peakKb > 0 ? double(tessaly.peakKb) / (jobs * alone.peakKb) : 0;
  return Goal(("peak / (" + std::to_string(jobs) + " x the largest alone)").c_str(), ratio, 1.10, true);
}

// The results decoded smaller against those of the whole picture (--shrink-on-load off).
bool ShrinkQuality(const Job& job, const Options& o, const std::vector<std::string>& files) {
  std::string work = o.cache + "/out";
  Fidelity photos = Compare(work + "/single-" + job.name, work + "/tessaly-" + job.name, job.output, files);
  bool met = photos.ok && Goal("photos decoded smaller: mean PSNR against whole, dB", photos.psnr, 40, false);
  std::printf("  %-52s %7.2f\n", "photos decoded smaller: worst PSNR, dB", photos.worst);
  std::vector<std::string> pages;
  for (int i = 0; i < kTextPages; ++i)
    if (fs::exists(SampleName(o.cache, "text", i, "jpg"))) pages.push_back(SampleName(o.cache, "text", i, "jpg"));
  if (pages.empty()) return met;
  std::string whole = FreshFolder(work, "text-whole"), smaller = FreshFolder(work, "text-smaller");
  bool ran = RunChild(TessalyArgs(job, whole, pages, kSinglePath)).ok && RunChild(TessalyArgs(job, smaller, pages)).ok;
  Fidelity text = Compare(whole, smaller, job.output, pages);
  met = ran && text.ok && Goal("text pages decoded smaller: mean PSNR against whole, dB", text.psnr, 40, false) && met;
  std::printf("  %-52s %7.2f\n", "text pages decoded smaller: worst PSNR, dB", text.worst);
  return met;
}

void PrintFidelity(const Job& job, const Options& o, const std::vector<std::string>& files) {
  std::string work = o.cache + "/out";
  Fidelity t = Compare("", work + "/tessaly-" + job.name, job.output, files);
  Fidelity m = Compare("", work + "/loop-" + job.name, job.output, files);
  if (!t.ok || !m.ok) {
    std::printf("  results could not be compared with their sources\n");
    return;
  }
  std::printf("  results: tessaly %.2f MB, PSNR %.2f dB; bare loop %.2f MB, PSNR %.2f dB; size ratio %.3f\n",
              t.bytes / 1e6, t.psnr, m.bytes / 1e6, m.psnr, t.bytes / m.bytes);
}

bool RunJob(const Job& job, const Options& o) {
  std::vector<std::string> files;
  for (int i = 0; i < o.count; ++i) files.push_back(SampleName(o.cache, "photo", i, job.input));
  std::printf("%s (%d files, best of %d; %d logical processors)\n", job.name, o.count, o.repeat, Cores());
  auto c = MeasureJob(job, o, files);
  for (const char* name : {"single", "inprocess", "tessaly", "loop"}) PrintRow(c[name], o.count);
  for (auto& [name, contender] : c)
    if (name.rfind("vips", 0) == 0 || name == "mogrify") PrintRow(contender, o.count);
  bool met = SpeedGoals(job, c);
  met = MemoryGoal(job, o, c["tessaly"].best, files) && met;
  if (std::strcmp(job.name, "jpg2jpg") == 0) met = ShrinkQuality(job, o, files) && met;
  if (job.sameSize) PrintFidelity(job, o, files);
  std::printf("\n");
  return met;
}

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--no-mogrify") o->mogrify = false;
    else if (a == "--count" && hasValue) o->count = std::atoi(argv[++i]);
    else if (a == "--width" && hasValue) o->width = std::atoi(argv[++i]);
    else if (a == "--height" && hasValue) o->height = std::atoi(argv[++i]);
    else if (a == "--repeat" && hasValue) o->repeat = std::max(1, std::atoi(argv[++i]));
    else if (a == "--cache" && hasValue) o->cache = argv[++i];
    else if (a == "--job" && hasValue) o->only = argv[++i];
    else return false;
  }
  return o->count > 0 && o->width > 0 && o->height > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: %s [--count N] [--width W] [--height H] [--repeat R] [--cache DIR] [--no-mogrify] [--job jpg2jpg|jpg2webp|png2jpg]\n",
                 argv[0]);
    return 2;
  }
  if (!EnsureSamples(o)) {
    std::fprintf(stderr, "cannot draw the sample pictures\n");
    return 1;
  }
  if (!HaveProgram("vipsthumbnail")) std::printf("vipsthumbnail is not installed: libvips is left out\n\n");
  std::ifstream load("/proc/loadavg");
  std::string one, five;
  load >> one >> five;
  std::printf("load average before the run: %s (1 min), %s (5 min)\n\n", one.c_str(), five.c_str());
  bool allMet = true;
  for (const Job& job : Jobs())
    if (o.only.empty() || o.only == job.name) allMet = RunJob(job, o) && allMet;
  std::printf("%s\n", allMet ? "All goals met." : "Some goals were missed.");
  return allMet ? 0 : 1;
}
