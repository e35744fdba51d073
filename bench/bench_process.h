// Runs programs for the benchmark and measures them: wall time, the CPU time of every
// process they started, and the peak of the memory all of them held at once.
//
// The commands of one measure start together; a sampler adds up the resident memory of
// them and of every process they started every few milliseconds (worker processes and
// spares included), which the peak resident size of one process (getrusage) cannot show.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

struct Measure {
  double seconds = 0;     // wall time until the last command ended
  double cpuSeconds = 0;  // user + system time of all of them and their children
  long peakKb = 0;        // the most resident memory the group held at one moment
  bool ok = false;
};

inline double Seconds(const struct timeval& t) {
  return t.tv_sec + t.tv_usec / 1e6;
}

// The resident kilobytes of a process and of everything it started that still runs
// (each thread keeps its own list of the children it started).
inline long TreeResidentKb(pid_t pid) {
  std::string self = "/proc/" + std::to_string(pid);
  std::ifstream statm(self + "/statm");
  long size = 0, resident = 0;
  if (!(statm >> size >> resident)) return 0;
  long total = resident * (::sysconf(_SC_PAGESIZE) / 1024);
  if (DIR* tasks = ::opendir((self + "/task").c_str())) {
    while (dirent* task = ::readdir(tasks)) {
      if (task->d_name[0] == '.') continue;
      std::ifstream children(self + "/task/" + task->d_name + "/children");
      for (pid_t child = 0; children >> child;) total += TreeResidentKb(child);
    }
    ::closedir(tasks);
  }
  return total;
}

inline std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Starts every command at once, output to /dev/null.
inline Measure RunTogether(const std::vector<std::vector<std::string>>& commands,
                           const std::vector<std::string>& env = {}) {
  std::vector<std::string> envText(env);
  for (char** e = environ; *e; ++e) envText.emplace_back(*e);
  std::vector<char*> envp = Pointers(envText);
  Measure m;
  std::vector<pid_t> pids;
  auto start = std::chrono::steady_clock::now();
  for (const auto& command : commands) {
    std::vector<std::string> args(command);
    std::vector<char*> argv = Pointers(args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0) pids.push_back(pid);
  }
  std::atomic<bool> running{true};
  std::atomic<long> peak{0};
  std::thread sampler([&] {
    while (running) {
      long now = 0;
      for (pid_t pid : pids) now += TreeResidentKb(pid);
      peak = std::max(peak.load(), now);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  m.ok = pids.size() == commands.size();
  for (pid_t pid : pids) {
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    m.cpuSeconds += Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    m.ok = m.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  running = false;
  sampler.join();
  m.peakKb = peak;
  return m;
}

inline Measure RunChild(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
  return RunTogether({args}, env);
}

// Over repeated runs: the fastest times (the least disturbed by other work on the
// machine) and the largest peak.
inline void KeepBest(Measure* best, const Measure& m, bool first) {
  if (first) {
    *best = m;
    return;
  }
  best->seconds = std::min(best->seconds, m.seconds);
  best->cpuSeconds = std::min(best->cpuSeconds, m.cpuSeconds);
  best->peakKb = std::max(best->peakKb, m.peakKb);
  best->ok = best->ok && m.ok;
}

inline bool HaveProgram(const char* name) {
  std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}
