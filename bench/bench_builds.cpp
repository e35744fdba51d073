// Where the Windows program's time goes, measured where it runs: the same bare loop of
// FreeImage and libwebp calls (bench_freeimage_loop --stages) built three times, natively,
// by Winelib (the host's libraries, as the Winelib window uses them) and by MinGW
// (FreeImage.dll and the static libwebp, as Tessaly.exe uses them), run on the same
// photos; processor time per photo of decode, resize and encode, one table. Then the
// cost of one worker process, start to answer, for tessaly-batch, the Winelib program
// and Tessaly.exe (bench_worker_start, through the run's own port), with the processor
// time of every process involved, Wine's server included.
//
//   bench_builds [--count N] [--repeat R] [--starts N] [--job jpg2jpg|jpg2webp|png2jpg]
//                [--wine-build DIR] [--windows-build DIR] [--no-simd-check]
//
// Defaults: the 20 photos of bench_convert (drawn into its cache if missing), taken in 2
// rounds (--repeat) of which the least disturbed counts; 50 worker starts; the Win32 programs from build/wine and build/windows
// (a build that is missing is left out and said so). The Wine prefix is made once, under
// the build folder, and kept. --no-simd-check leaves out JPG->JPG run again with
// libjpeg-turbo's SIMD turned off (JSIMD_FORCENONE=1), natively and as PE.
#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

extern char** environ;

namespace {

struct Options {
  int count = 20;
  int repeat = 2;
  int starts = 50;
  std::string only;
  std::string wineBuild = TESSALY_SOURCE_DIR "/build/wine";
  std::string windowsBuild = TESSALY_SOURCE_DIR "/build/windows";
  std::string cache = TESSALY_BENCH_CACHE;
  std::string prefix = TESSALY_BENCH_WINEPREFIX;
  bool simdCheck = true;
};

// --- processes -------------------------------------------------------------------------

double CpuSeconds(const struct rusage& usage) {
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// The processor time of every descendant that has ended and been reaped. This process
// is a subreaper, so the processes Wine detaches (its server, the programs it starts
// through a double fork) come back to it when their parents end, and are counted here.
double ReapedCpuSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_CHILDREN, &usage);
  return CpuSeconds(usage);
}

// Waits until every descendant has ended (Wine's server leaves a few seconds after its
// last client), so that all their time is in ReapedCpuSeconds.
void AwaitAllDescendants() {
  int status = 0;
  while (waitpid(-1, &status, 0) > 0 || errno == EINTR) {
  }
}

struct Outcome {
  bool ok = false;
  std::string out;  // standard output
};

// Runs a command with extra environment entries; its standard output is kept in a
// file, not a pipe, since Wine's server may inherit the descriptor and outlive it.
Outcome Run(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
  Outcome result;
  std::vector<std::string> envText(env);
  for (char** e = environ; *e; ++e) envText.emplace_back(*e);
  std::vector<char*> envp, argv;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argText(args);
  for (std::string& a : argText) argv.push_back(a.data());
  argv.push_back(nullptr);
  char outPath[] = "/tmp/tessaly-bench-builds.XXXXXX";
  int outFd = mkstemp(outPath);
  if (outFd < 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(outFd);
  int status = 0;
  if (spawned == 0) {
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  } else {
    std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(spawned));
  }
  std::ifstream in(outPath);
  std::stringstream text;
  text << in.rdbuf();
  result.out = text.str();
  unlink(outPath);
  // Orphans that have ended meanwhile are reaped now rather than left as zombies.
  while (waitpid(-1, &status, WNOHANG) > 0) {
  }
  return result;
}

std::vector<std::string> WineEnv(const Options& o) {
  return {"WINEPREFIX=" + o.prefix, "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml="};
}

// The Wine prefix is made by the same steps as the tests' (scripts/wine-session.sh).
bool EnsureWinePrefix(const Options& o) {
  if (fs::exists(o.prefix + "/system.reg")) return true;
  std::fprintf(stderr, "Making a Wine prefix in %s (once)\n", o.prefix.c_str());
  fs::remove_all(o.prefix);
  bool made = Run({"bash", "-c", "source \"$0/scripts/wine-session.sh\" && make_wine_prefix \"$1\"", TESSALY_SOURCE_DIR,
                   o.prefix})
                  .ok;
  AwaitAllDescendants();
  return made;
}

std::string WindowsPath(const Options& o, const std::string& path) {
  Outcome converted = Run({"winepath", "-w", path}, WineEnv(o));
  std::string text = converted.out;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return converted.ok ? text : std::string();
}

// "name number number ..." lines of a benchmark's output.
std::map<std::string, std::vector<double>> Figures(const std::string& out) {
  std::map<std::string, std::vector<double>> figures;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string name;
    words >> name;
    for (double v; words >> v;) figures[name].push_back(v);
  }
  return figures;
}

double First(const std::map<std::string, std::vector<double>>& figures, const std::string& name, size_t at = 0) {
  auto found = figures.find(name);
  return found != figures.end() && found->second.size() > at ? found->second[at] : -1;
}

std::string LoadAverage() {
  std::ifstream load("/proc/loadavg");
  std::string one, five, fifteen;
  load >> one >> five >> fifteen;
  return one + " (1 min), " + five + " (5 min), " + fifteen + " (15 min)";
}

int Cores() {
  return static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
}

// --- the builds ----------------------------------------------------------------------

struct Build {
  std::string name;                   // column title
  std::vector<std::string> launcher;  // what goes before the program
  std::string loop;                   // bench_freeimage_loop of this build
  std::string workerStart;            // bench_worker_start of this build
  std::string worker;                 // the program it starts as its worker
  // Whose paths each program takes: the Winelib loop opens files through the host's C
  // library (Unix paths), everything else under Wine through Windows (Z:\ paths).
  bool loopWindowsPaths = false;
  bool startWindowsPaths = false;
  bool present = false;
};

std::vector<Build> Builds(const Options& o) {
  std::vector<Build> builds = {
      {"native", {}, BENCH_LOOP_PATH, BENCH_WORKER_START_PATH, TESSALY_BATCH_PATH, false, false, true},
      {"Winelib", {"wine"}, o.wineBuild + "/bench_freeimage_loop.exe.so", o.wineBuild + "/bench_worker_start.exe.so",
       o.wineBuild + "/Tessaly.exe.so", false, true, false},
      {"PE under Wine", {"wine"}, o.windowsBuild + "/bench_freeimage_loop.exe",
       o.windowsBuild + "/bench_worker_start.exe", o.windowsBuild + "/Tessaly.exe", true, true, false},
  };
  for (Build& b : builds) {
    if (b.launcher.empty()) continue;
    b.present = fs::exists(b.loop) && fs::exists(b.workerStart) && fs::exists(b.worker);
    if (!b.present)
      std::printf("%s: %s, %s or %s is missing (build its preset); left out\n", b.name.c_str(), b.loop.c_str(),
                  b.workerStart.c_str(), b.worker.c_str());
  }
  return builds;
}

std::vector<std::string> Command(const Build& b, const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> command(b.launcher);
  command.push_back(program);
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

// --- the stages ----------------------------------------------------------------------

struct Job {
  const char* name;
  const char* title;
  const char* input;
  std::vector<const char*> stages;
};

std::vector<Job> Jobs() {
  return {
      {"jpg2jpg", "JPG→JPG 2000 px, q84 progressive", "jpg", {"decode", "resize", "encode"}},
      {"jpg2webp", "JPG→WEBP q90", "jpg", {"decode", "encode"}},
      {"png2jpg", "PNG→JPG q84 progressive", "png", {"decode", "encode"}},
  };
}

// A column of the tables: one build's loop, perhaps with libjpeg-turbo's SIMD turned off
// (JSIMD_FORCENONE=1, which it reads through getenv, on Windows too).
struct Column {
  size_t build = 0;
  bool noSimd = false;
  bool failed = false;
  double clockStep = -1;
  // Per round: each stage's processor ms and their system part summed over the photos,
  // and the photos.
  std::vector<std::map<std::string, double>> cpu, system;
  std::vector<int> photos;
  double wallSum = 0, cpuSum = 0, bytesSum = 0;
  int photosSum = 0;

  // The stages per photo of the round whose stages took least in all: the one the
  // machine's other work disturbed least. Their system parts are "system <stage>".
  std::map<std::string, double> Best(const Job& job) const {
    std::map<std::string, double> best;
    double bestTotal = -1;
    for (size_t r = 0; r < cpu.size(); ++r) {
      if (photos[r] == 0) continue;
      double total = 0;
      for (const char* stage : job.stages) total += cpu[r].count(stage) ? cpu[r].at(stage) : 0;
      if (bestTotal >= 0 && total >= bestTotal) continue;
      bestTotal = total;
      double systemTotal = 0;
      for (const char* stage : job.stages) {
        best[stage] = cpu[r].count(stage) ? cpu[r].at(stage) / photos[r] : -1;
        double part = system[r].count(stage) ? system[r].at(stage) : 0;
        best[std::string("system ") + stage] = part / photos[r];
        systemTotal += part;
      }
      best["all"] = total / photos[r];
      best["system all"] = systemTotal / photos[r];
    }
    return best;
  }
};

// One column's loop over a few photos, added to its round.
void RunChunk(const Options& o, const Build& b, const Job& job, const std::vector<std::string>& files, size_t round,
              Column* column) {
  std::vector<std::string> args = {"--stages", job.name, "1"};
  args.insert(args.end(), files.begin(), files.end());
  std::vector<std::string> env = b.launcher.empty() ? std::vector<std::string>() : WineEnv(o);
  if (column->noSimd) env.push_back("JSIMD_FORCENONE=1");
  Outcome run = Run(Command(b, b.loop, args), env);
  auto f = Figures(run.out);
  int photos = static_cast<int>(First(f, "photos"));
  if (!run.ok || photos <= 0) {
    std::printf("%s%s: the stages of %s failed\n", b.name.c_str(), column->noSimd ? " (no SIMD)" : "", job.name);
    column->failed = true;
    return;
  }
  column->cpu.resize(round + 1);
  column->system.resize(round + 1);
  column->photos.resize(round + 1);
  for (const char* stage : job.stages) {
    column->cpu[round][stage] += First(f, stage, 0) * photos;
    column->system[round][stage] += First(f, stage, 2) * photos;
    column->cpuSum += First(f, stage, 0) * photos;
    column->wallSum += First(f, stage, 1) * photos;
  }
  column->photos[round] += photos;
  column->photosSum += photos;
  column->bytesSum += First(f, "bytes") * photos;
  column->clockStep = First(f, "clock-step-ms");
}

// The job's columns over the rounds; within a round the photos go a few at a time to
// every column in turn, so a busy moment of the machine falls on all of them alike.
std::vector<Column> TimeJob(const Options& o, const std::vector<Build>& builds, const Job& job,
                            const std::vector<std::string>& unixFiles, const std::vector<std::string>& windowsFiles) {
  constexpr int kChunk = 5;
  std::vector<Column> columns;
  auto add = [&columns](size_t build, bool noSimd, bool failed) {
    columns.emplace_back();
    columns.back().build = build;
    columns.back().noSimd = noSimd;
    columns.back().failed = failed;
  };
  for (size_t i = 0; i < builds.size(); ++i) add(i, false, !builds[i].present);
  // Winelib's libraries are the native ones: their SIMD is told by the native column.
  if (o.simdCheck && std::strcmp(job.name, "jpg2jpg") == 0)
    for (size_t i = 0; i < builds.size(); ++i)
      if (builds[i].present && builds[i].name != "Winelib") add(i, true, false);
  for (int round = 0; round < o.repeat; ++round)
    for (int first = 0; first < o.count; first += kChunk)
      for (Column& column : columns) {
        if (column.failed) continue;
        const Build& b = builds[column.build];
        const std::vector<std::string>& all = b.loopWindowsPaths ? windowsFiles : unixFiles;
        std::vector<std::string> chunk(all.begin() + first, all.begin() + std::min(o.count, first + kChunk));
        RunChunk(o, b, job, chunk, static_cast<size_t>(round), &column);
      }
  return columns;
}

std::string Cell(double v) {
  if (v < 0) return "—";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

std::string Ratio(double a, double b) {
  if (a < 0 || b <= 0) return "—";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f×", a / b);
  return text;
}

double At(const std::map<std::string, double>& figures, const std::string& name) {
  auto found = figures.find(name);
  return found == figures.end() ? -1 : found->second;
}

void PrintStageTable(const Options& o, const std::vector<Build>& builds, const std::vector<Job>& jobs,
                     const std::vector<std::vector<Column>>& results) {
  std::printf("\nProcessor time per photo of each stage, in ms (the thread's own time: clock_gettime natively,\n"
              "GetThreadTimes under Wine), %d photos 4000 × 3000; of %d round%s, the one whose stages took\n"
              "least in all:\n\n",
              o.count, o.repeat, o.repeat == 1 ? "" : "s");
  std::printf("| job | stage |");
  for (const Build& b : builds) std::printf(" %s |", b.name.c_str());
  std::printf(" Winelib / native | PE / native | PE / Winelib |\n|---|---|");
  for (size_t i = 0; i < builds.size() + 3; ++i) std::printf("---|");
  std::printf("\n");
  for (size_t j = 0; j < jobs.size(); ++j) {
    const Job& job = jobs[j];
    std::vector<std::map<std::string, double>> best;
    for (const Column& column : results[j]) {
      if (column.noSimd) continue;
      best.push_back(column.failed ? std::map<std::string, double>() : column.Best(job));
    }
    std::vector<const char*> rows(job.stages);
    rows.push_back("all");
    for (const char* row : rows) {
      std::vector<double> v;
      for (const auto& b : best) v.push_back(At(b, row));
      std::printf("| %s | %s |", row == rows.front() ? job.title : "", row);
      for (double x : v) std::printf(" %s |", Cell(x).c_str());
      std::printf(" %s | %s | %s |\n", Ratio(v[1], v[0]).c_str(), Ratio(v[2], v[0]).c_str(), Ratio(v[2], v[1]).c_str());
    }
  }
  std::printf("\nOf which system time (the kernel's work for the thread, mostly page faults of fresh memory), ms per\n"
              "photo, in the same rounds:\n\n| job | stage |");
  for (const Build& b : builds) std::printf(" %s |", b.name.c_str());
  std::printf("\n|---|---|");
  for (size_t i = 0; i < builds.size(); ++i) std::printf("---|");
  std::printf("\n");
  for (size_t j = 0; j < jobs.size(); ++j) {
    std::vector<const char*> rows(jobs[j].stages);
    rows.push_back("all");
    for (const char* row : rows) {
      std::printf("| %s | %s |", row == rows.front() ? jobs[j].title : "", row);
      for (const Column& column : results[j])
        if (!column.noSimd)
          std::printf(" %s |", Cell(column.failed ? -1 : At(column.Best(jobs[j]), std::string("system ") + row)).c_str());
      std::printf("\n");
    }
  }
  std::printf("\nBytes per result, the same in every build when they did the same work:");
  for (size_t j = 0; j < jobs.size(); ++j) {
    std::printf("%s %s", j == 0 ? "" : ";", jobs[j].name);
    for (size_t i = 0; i < builds.size(); ++i) {
      const Column& c = results[j][i];
      std::printf("%s %.0f", i == 0 ? "" : " /", c.photosSum > 0 ? c.bytesSum / c.photosSum : -1.0);
    }
  }
  std::printf(" (");
  for (size_t i = 0; i < builds.size(); ++i) std::printf("%s%s", i == 0 ? "" : " / ", builds[i].name.c_str());
  std::printf(").\nThe thread clock's step:");
  for (size_t i = 0; i < builds.size(); ++i)
    std::printf("%s %s %.4g ms", i == 0 ? "" : ",", builds[i].name.c_str(), results.empty() ? -1.0 : results[0][i].clockStep);
  // A stage read off a ticking clock is off by the difference of two roundings, whose
  // spread is a tick over the square root of 6; the mean over n photos, that over root n.
  std::printf(".\nA stage's figure is a mean over %d photos: with a tick of 10 ms its uncertainty is about\n"
              "±%.1f ms per photo.\n",
              o.count, 10.0 / std::sqrt(6.0 * o.count));
  std::printf("Wall time over processor time, all stages and rounds (above 1 while the machine was busy):");
  for (size_t i = 0; i < builds.size(); ++i) {
    double cpu = 0, wall = 0;
    for (size_t j = 0; j < jobs.size(); ++j) {
      cpu += results[j][i].cpuSum;
      wall += results[j][i].wallSum;
    }
    std::printf("%s %s %s", i == 0 ? "" : ",", builds[i].name.c_str(), Ratio(wall, cpu).c_str());
  }
  std::printf("\n");
}

// JPG->JPG with and without libjpeg-turbo's SIMD, natively and as PE.
void PrintSimdTable(const std::vector<Build>& builds, const Job& job, const std::vector<Column>& columns) {
  std::vector<std::pair<const Column*, const Column*>> pairs;
  for (const Column& off : columns) {
    if (!off.noSimd) continue;
    for (const Column& on : columns)
      if (!on.noSimd && on.build == off.build) pairs.emplace_back(&on, &off);
  }
  if (pairs.empty()) return;
  std::printf("\n%s with libjpeg-turbo's SIMD turned off (JSIMD_FORCENONE=1), processor ms per photo,\n"
              "in the same rounds:\n\n| stage |",
              job.title);
  for (const auto& pair : pairs) {
    const char* name = builds[pair.first->build].name.c_str();
    std::printf(" %s | %s, no SIMD | without / with |", name, name);
  }
  std::printf("\n|---|");
  for (size_t k = 0; k < pairs.size(); ++k) std::printf("---|---|---|");
  std::printf("\n");
  std::vector<const char*> rows(job.stages);
  rows.push_back("all");
  for (const char* row : rows) {
    std::printf("| %s |", row);
    for (const auto& pair : pairs) {
      double with = pair.first->failed ? -1 : At(pair.first->Best(job), row);
      double off = pair.second->failed ? -1 : At(pair.second->Best(job), row);
      std::printf(" %s | %s | %s |", Cell(with).c_str(), Cell(off).c_str(), Ratio(off, with).c_str());
    }
    std::printf("\n");
  }
}

// --- the worker start ------------------------------------------------------------------

struct StartFigures {
  bool ok = false;
  double answerMean = -1, answerMedian = -1, answerLeast = -1, endedMean = -1, cpuMs = -1;
};

// The processor time of one run of bench_worker_start, with everything it started and,
// under Wine, the server, which is made to start and end within it.
bool AccountedRun(const Options& o, const Build& b, const std::vector<std::string>& args, double* cpuSeconds,
                  Outcome* outcome) {
  AwaitAllDescendants();
  if (!b.launcher.empty()) Run({"wineserver", "-w"}, WineEnv(o));
  AwaitAllDescendants();
  double before = ReapedCpuSeconds();
  std::vector<std::string> env = b.launcher.empty() ? std::vector<std::string>() : WineEnv(o);
  *outcome = Run(Command(b, b.workerStart, args), env);
  if (!b.launcher.empty()) Run({"wineserver", "-w"}, env);
  AwaitAllDescendants();
  *cpuSeconds = ReapedCpuSeconds() - before;
  return outcome->ok;
}

// The processor time per start is the difference between a run of many starts and a
// run of none (one uncounted start in each), so what every run costs anyway (Wine's
// server starting, the benchmark itself) drops out.
StartFigures TimeStarts(const Options& o, const Build& b, const std::string& worker, const std::string& picture) {
  StartFigures f;
  double cpuMany = 0, cpuNone = 0;
  Outcome many, none;
  if (!AccountedRun(o, b, {worker, picture, std::to_string(o.starts)}, &cpuMany, &many) ||
      !AccountedRun(o, b, {worker, picture, "0"}, &cpuNone, &none)) {
    std::printf("%s: the worker start failed\n", b.name.c_str());
    return f;
  }
  auto figures = Figures(many.out);
  f.ok = true;
  f.answerMean = First(figures, "answer", 0);
  f.answerMedian = First(figures, "answer", 1);
  f.answerLeast = First(figures, "answer", 2);
  f.endedMean = First(figures, "ended", 0);
  f.cpuMs = o.starts > 0 ? (cpuMany - cpuNone) * 1e3 / o.starts : -1;
  return f;
}

// --- the run ---------------------------------------------------------------------------

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--count" && hasValue) o->count = std::atoi(argv[++i]);
    else if (a == "--repeat" && hasValue) o->repeat = std::atoi(argv[++i]);
    else if (a == "--starts" && hasValue) o->starts = std::atoi(argv[++i]);
    else if (a == "--job" && hasValue) o->only = argv[++i];
    else if (a == "--wine-build" && hasValue) o->wineBuild = fs::absolute(argv[++i]).string();
    else if (a == "--windows-build" && hasValue) o->windowsBuild = fs::absolute(argv[++i]).string();
    else if (a == "--no-simd-check") o->simdCheck = false;
    else return false;
  }
  return o->count > 0 && o->repeat > 0 && o->starts > 0;
}

std::string Sample(const std::string& folder, int i, const char* ext) {
  char name[32];
  std::snprintf(name, sizeof name, "/photo_%02d.%s", i, ext);
  return folder + name;
}

bool EnsurePictures(const Options& o) {
  // bench_convert draws its samples when its cache lacks them, and converts nothing
  // for a job of another name.
  if (!Run({BENCH_CONVERT_PATH, "--count", std::to_string(o.count), "--cache", o.cache, "--job", "none"}).ok)
    return false;
  std::string tiny = o.cache + "/tiny";
  if (fs::exists(Sample(tiny, 0, "jpg"))) return true;
  fs::create_directories(tiny);
  return Run({BENCH_LOOP_PATH, "--generate", tiny, "1", "64", "48"}).ok;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: %s [--count N] [--repeat R] [--starts N] [--job jpg2jpg|jpg2webp|png2jpg] "
                 "[--wine-build DIR] [--windows-build DIR] [--no-simd-check]\n",
                 argv[0]);
    return 2;
  }
  // Wine's server and the processes it starts are detached from their parents; as a
  // subreaper this process gets them back, and with them their processor time.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // a long run shows its progress
  if (!EnsurePictures(o)) {
    std::fprintf(stderr, "cannot draw the sample pictures\n");
    return 1;
  }
  std::vector<Build> builds = Builds(o);
  bool wine = builds[1].present || builds[2].present;
  if (wine && !EnsureWinePrefix(o)) {
    std::fprintf(stderr, "cannot make the Wine prefix %s\n", o.prefix.c_str());
    return 1;
  }
  std::string windowsCache = wine ? WindowsPath(o, o.cache) : std::string();
  std::printf("load average before the run: %s, on %d logical processors\n", LoadAverage().c_str(), Cores());

  std::vector<Job> jobs;
  for (const Job& job : Jobs())
    if (o.only.empty() || o.only == job.name) jobs.push_back(job);
  std::vector<std::vector<Column>> results;
  for (const Job& job : jobs) {
    std::vector<std::string> unixFiles, windowsFiles;
    for (int i = 0; i < o.count; ++i) {
      unixFiles.push_back(Sample(o.cache, i, job.input));
      windowsFiles.push_back(Sample(windowsCache, i, job.input));
      std::replace(windowsFiles.back().begin(), windowsFiles.back().end(), '/', '\\');
    }
    results.push_back(TimeJob(o, builds, job, unixFiles, windowsFiles));
  }
  PrintStageTable(o, builds, jobs, results);
  for (size_t j = 0; j < jobs.size(); ++j) PrintSimdTable(builds, jobs[j], results[j]);

  std::printf("\nOne worker process started, handed a job for a 64 × 48 JPEG and heard back (%d starts, one\n"
              "after the other, each waiting for the last to end), in ms:\n\n",
              o.starts);
  std::printf("| build | worker | start → answer, mean | median | least | start → exit, mean | processor time per start |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  std::string tiny = Sample(o.cache + "/tiny", 0, "jpg");
  std::string windowsTiny = wine ? WindowsPath(o, tiny) : std::string();
  for (const Build& b : builds) {
    if (!b.present) continue;
    std::string worker = b.startWindowsPaths ? WindowsPath(o, b.worker) : b.worker;
    StartFigures f = TimeStarts(o, b, worker, b.startWindowsPaths ? windowsTiny : tiny);
    std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", b.name.c_str(), fs::path(b.worker).filename().c_str(),
                Cell(f.answerMean).c_str(), Cell(f.answerMedian).c_str(), Cell(f.answerLeast).c_str(),
                Cell(f.endedMean).c_str(), Cell(f.cpuMs).c_str());
  }
  std::printf("\nThe processor time per start counts every process involved (the worker, the benchmark's\n"
              "side of the channel and, under Wine, its server), as the difference between %d starts and none.\n"
              "Under Wine the stages run the programs' own machine code on this processor, so their\n"
              "figures stand for Windows; starting a process does not: Wine makes a Windows process out of\n"
              "a Unix one with its server's help and loads every DLL itself, Windows does neither, so the\n"
              "worker start figures under Wine are Wine's, not Windows'.\n",
              o.starts);
  std::printf("\nload average after the run: %s\n", LoadAverage().c_str());
  return 0;
}
