// How fast tessaly-batch converts, and how much memory it holds, against a bare loop of
// the same FreeImage calls and against ImageMagick's mogrify, on the same files. For the
// jobs that keep the size, also how large and how close to the source the results of
// tessaly-batch and of the bare loop are (WEBP: libwebp's default method against
// FreeImage's writer, which always takes the slowest).
//
//   bench_convert [--count N] [--width W] [--height H] [--repeat R] [--cache DIR] [--no-mogrify]
//
// Defaults: 20 photo-like 4000x3000 JPEGs and PNGs, drawn once into a cache folder under
// the build folder and reused. Every program runs as a child process; its time is the
// wall time of the child and its peak memory the child's own maximum resident set
// (wait4 gives the same figure getrusage(RUSAGE_CHILDREN) would, for that child alone).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Options {
  int count = 20;
  int width = 4000;
  int height = 3000;
  int repeat = 1;
  std::string cache = TESSALY_BENCH_CACHE;
  bool mogrify = true;
};

struct Measure {
  double seconds = 0;     // wall time
  double cpuSeconds = 0;  // user + system time of the child
  long peakKb = 0;
  bool ok = false;
};

double Seconds(const struct timeval& t) {
  return t.tv_sec + t.tv_usec / 1e6;
}

// Runs argv once with its output going to /dev/null.
Measure RunChild(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> envText(env);
  for (char** e = environ; *e; ++e) envText.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  Measure m;
  if (spawned != 0) return m;
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  m.peakKb = usage.ru_maxrss;
  m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return m;
}

// Over repeated runs: the fastest times (the least disturbed by other work on the
// machine) and the largest peak.
void KeepBest(Measure* best, const Measure& m, bool first) {
  if (first) {
    *best = m;
    return;
  }
  best->seconds = std::min(best->seconds, m.seconds);
  best->cpuSeconds = std::min(best->cpuSeconds, m.cpuSeconds);
  best->peakKb = std::max(best->peakKb, m.peakKb);
  best->ok = best->ok && m.ok;
}

bool HaveProgram(const char* name) {
  std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

std::string SampleName(const std::string& folder, int i, const char* ext) {
  char name[64];
  std::snprintf(name, sizeof name, "/photo_%02d.%s", i, ext);
  return folder + name;
}

// Draws the samples unless the cache already holds this set.
bool EnsureSamples(const Options& o) {
  std::string folder = o.cache;
  std::string stampPath = folder + "/set.txt";
  std::string size = std::to_string(o.width) + "x" + std::to_string(o.height);
  std::string stamp = std::to_string(o.count) + " " + size;
  std::ifstream in(stampPath);
  int haveCount = 0;
  std::string haveSize;
  // A cache with more pictures of the same size serves a shorter run as well.
  if (in >> haveCount >> haveSize && haveSize == size && haveCount >= o.count) return true;
  fs::create_directories(folder);
  std::fprintf(stderr, "Drawing %s sample pictures into %s (once)\n", stamp.c_str(), folder.c_str());
  Measure m = RunChild({BENCH_LOOP_PATH, "--generate", folder, std::to_string(o.count), std::to_string(o.width),
                        std::to_string(o.height)});
  if (!m.ok) return false;
  std::ofstream(stampPath) << stamp << "\n";
  return true;
}

struct Job {
  const char* name;
  const char* input;   // extension of the sources
  const char* output;  // extension of the results
  bool sameSize;       // results can be compared with their sources pixel for pixel
  std::vector<std::string> tessaly;
  std::vector<std::string> mogrify;
};

std::vector<Job> Jobs() {
  return {
      {"jpg2jpg", "jpg", "jpg", false,
       {"--format", "jpg", "--quality", "84", "--progressive", "on", "--resize", "px", "--side", "long", "--size",
        "2000"},
       {"-filter", "Lanczos", "-resize", "2000x2000", "-quality", "84", "-interlace", "Plane", "-format", "jpg"}},
      {"jpg2webp", "jpg", "webp", true,
       {"--format", "webp", "--quality", "90", "--resize", "none"},
       {"-quality", "90", "-format", "webp"}},
      {"png2jpg", "png", "jpg", true,
       {"--format", "jpg", "--quality", "84", "--progressive", "on", "--resize", "none"},
       {"-quality", "84", "-interlace", "Plane", "-format", "jpg"}},
  };
}

std::string FreshFolder(const std::string& base, const std::string& name) {
  std::string folder = base + "/" + name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::vector<std::string> TessalyArgs(const Job& job, const std::string& out, const std::vector<std::string>& files) {
  std::vector<std::string> a = {TESSALY_BATCH_PATH, "--config", out + "/bench-config.dat", "--out-mode", "folder",
                                "--out-dir", out, "--on-error", "continue", "--filter", job.input};
  a.insert(a.end(), job.tessaly.begin(), job.tessaly.end());
  a.insert(a.end(), files.begin(), files.end());
  return a;
}

std::string Largest(const std::vector<std::string>& files) {
  auto smaller = [](const std::string& a, const std::string& b) { return fs::file_size(a) < fs::file_size(b); };
  return *std::max_element(files.begin(), files.end(), smaller);
}

void PrintRow(const char* who, const Measure& m, int count) {
  if (!m.ok) {
    std::printf("  %-9s failed\n", who);
    return;
  }
  std::printf("  %-9s %7.2f s  %6.3f images/s  cpu %7.2f s  peak %6.1f MB\n", who, m.seconds, count / m.seconds,
              m.cpuSeconds, m.peakKb / 1024.0);
}

struct JobFigures {
  Measure tessaly, minimal, magick, alone, inProcess;
};

// The programs take turns in every round, so a busy moment on the machine does not
// fall on one of them only.
JobFigures MeasureJob(const Job& job, const Options& o, bool mogrify, const std::vector<std::string>& files) {
  std::string work = o.cache + "/out";
  JobFigures f;
  for (int r = 0; r < o.repeat; ++r) {
    std::string out = FreshFolder(work, std::string("tessaly-") + job.name);
    KeepBest(&f.tessaly, RunChild(TessalyArgs(job, out, files)), r == 0);
    // The same without a worker process per file: what the isolation costs.
    std::vector<std::string> plain = TessalyArgs(job, FreshFolder(work, std::string("inproc-") + job.name), files);
    plain.insert(plain.begin() + 1, {"--isolate", "off"});
    KeepBest(&f.inProcess, RunChild(plain), r == 0);
    std::string loopOut = FreshFolder(work, std::string("loop-") + job.name);
    std::vector<std::string> loop = {BENCH_LOOP_PATH, "--job", job.name, loopOut};
    loop.insert(loop.end(), files.begin(), files.end());
    KeepBest(&f.minimal, RunChild(loop), r == 0);
    if (!mogrify) continue;
    std::vector<std::string> m = {"mogrify", "-path", FreshFolder(work, std::string("mogrify-") + job.name)};
    m.insert(m.end(), job.mogrify.begin(), job.mogrify.end());
    m.insert(m.end(), files.begin(), files.end());
    // FreeImage works on one core; ImageMagick is held to one as well.
    KeepBest(&f.magick, RunChild(m, {"MAGICK_THREAD_LIMIT=1"}), r == 0);
  }
  std::string one = FreshFolder(work, std::string("tessaly-one-") + job.name);
  f.alone = RunChild(TessalyArgs(job, one, {Largest(files)}));
  return f;
}

// Total bytes and mean PSNR against the sources of the results in one folder.
struct Fidelity {
  double bytes = 0;
  double psnr = 0;
  bool ok = true;
};

Fidelity MeasureFidelity(const std::string& folder, const char* extension, const std::vector<std::string>& files) {
  Fidelity f;
  for (const std::string& source : files) {
    std::string stem = fs::path(source).stem().string();
    std::string command = std::string(BENCH_LOOP_PATH) + " --psnr '" + source + "' '" + folder + "/" + stem + "." +
                          extension + "'";
    FILE* pipe = popen(command.c_str(), "r");
    double psnr = 0, bytes = 0;
    bool read = pipe && std::fscanf(pipe, "%lf %lf", &psnr, &bytes) == 2;
    bool ended = pipe && pclose(pipe) == 0;
    f.ok = f.ok && read && ended;
    f.psnr += psnr / files.size();
    f.bytes += bytes;
  }
  return f;
}

void PrintFidelity(const Job& job, const Options& o, const std::vector<std::string>& files) {
  std::string work = o.cache + "/out";
  Fidelity t = MeasureFidelity(work + "/tessaly-" + job.name, job.output, files);
  Fidelity m = MeasureFidelity(work + "/loop-" + job.name, job.output, files);
  if (!t.ok || !m.ok) {
    std::printf("  results could not be compared with their sources\n");
    return;
  }
  std::printf("  results: tessaly %.2f MB, PSNR %.2f dB; minimal %.2f MB, PSNR %.2f dB; size ratio %.3f\n",
              t.bytes / 1e6, t.psnr, m.bytes / 1e6, m.psnr, t.bytes / m.bytes);
}

bool RunJob(const Job& job, const Options& o, bool mogrify) {
  std::vector<std::string> files;
  for (int i = 0; i < o.count; ++i) files.push_back(SampleName(o.cache, i, job.input));
  std::printf("%s (%d files, best of %d)\n", job.name, o.count, o.repeat);
  JobFigures f = MeasureJob(job, o, mogrify, files);
  PrintRow("tessaly", f.tessaly, o.count);
  PrintRow("inprocess", f.inProcess, o.count);
  PrintRow("minimal", f.minimal, o.count);
  if (mogrify) PrintRow("mogrify", f.magick, o.count);
  double ratio = f.tessaly.seconds / f.minimal.seconds;
  bool speedOk = f.tessaly.ok && f.minimal.ok && ratio <= 1.05;
  std::printf("  time per image tessaly/minimal %.3f (goal <= 1.050: %s; cpu %.3f)", ratio, speedOk ? "met" : "MISSED",
              f.tessaly.cpuSeconds / f.minimal.cpuSeconds);
  if (mogrify && f.magick.ok) std::printf(", tessaly/mogrify %.3f", f.tessaly.seconds / f.magick.seconds);
  double isolation = f.tessaly.seconds / f.inProcess.seconds;
  bool isolationOk = f.tessaly.ok && f.inProcess.ok && isolation <= 1.02;
  std::printf("\n  worker process per file: tessaly/in-process %.3f (goal <= 1.020: %s)", isolation,
              isolationOk ? "met" : "MISSED");
  double memRatio = f.alone.peakKb > 0 ? double(f.tessaly.peakKb) / f.alone.peakKb : 0;
  bool memOk = f.tessaly.ok && f.alone.ok && memRatio <= 1.10;
  std::printf("\n  peak memory %d files %.1f MB, largest alone %.1f MB, ratio %.3f (goal <= 1.100: %s)\n", o.count,
              f.tessaly.peakKb / 1024.0, f.alone.peakKb / 1024.0, memRatio, memOk ? "met" : "MISSED");
  if (job.sameSize) PrintFidelity(job, o, files);
  std::printf("\n");
  return speedOk && memOk && isolationOk;
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
    else return false;
  }
  return o->count > 0 && o->width > 0 && o->height > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: %s [--count N] [--width W] [--height H] [--repeat R] [--cache DIR] [--no-mogrify]\n",
                 argv[0]);
    return 2;
  }
  if (!EnsureSamples(o)) {
    std::fprintf(stderr, "cannot draw the sample pictures\n");
    return 1;
  }
  bool mogrify = o.mogrify && HaveProgram("mogrify");
  if (o.mogrify && !mogrify) std::printf("mogrify is not installed: ImageMagick is left out\n\n");
  bool allMet = true;
  for (const Job& job : Jobs()) allMet = RunJob(job, o, mogrify) && allMet;
  std::printf("%s\n", allMet ? "All goals met." : "Some goals were missed.");
  return allMet ? 0 : 1;
}
