// The worker port on Linux: posix_spawn of the program over a socket pair, which the
// worker finds as descriptor 3. A socket rather than pipes so a write to a dead worker
// fails with EPIPE instead of raising SIGPIPE in the run.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/workers/worker.h"
#include "engine/workers/worker_process.h"

extern char** environ;

struct WorkerProcess {
  pid_t pid = -1;
  int fd = -1;
};

namespace {

constexpr int kChildChannel = 3;
constexpr int kQuitWaitMs = 2000;
int gChannel = -1;
std::vector<pid_t> gRetired;  // workers told to leave and not yet reaped

void ReapRetired() {
  std::erase_if(gRetired, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

Text ErrnoReason(int error) {
  return TextFromUtf8(std::strerror(error));
}

bool SendAll(int fd, const uint8_t* p, size_t size) {
  while (size > 0) {
    ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Reads what is there now; false at the end of the stream or on an error.
bool ReceiveSome(int fd, std::vector<uint8_t>* bytes) {
  uint8_t chunk[1 << 16];
  for (;;) {
    ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n > 0) {
      bytes->insert(bytes->end(), chunk, chunk + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    return false;
  }
}

// The cap binds the worker as soon as it is set; what the few instructions before
// took is far below it.
void LimitWorker(pid_t pid, uint64_t memoryCap) {
  struct rlimit noCore = {0, 0};
  ::prlimit(pid, RLIMIT_CORE, &noCore, nullptr);  // a crash is expected, a core file is not
  if (memoryCap == 0) return;
  struct rlimit cap = {memoryCap, memoryCap};
  ::prlimit(pid, RLIMIT_AS, &cap, nullptr);
}

// Every worker starts with a fresh heap, so the memory of each picture is faulted in
// anew; 4 KB at a time that cost about 9 % of a 12-megapixel conversion. glibc's
// transparent-huge-page tunable makes it 2 MB at a time (about 2 %); where huge pages
// are off it changes nothing.
std::vector<std::string> WorkerEnvironment() {
  constexpr char kTunables[] = "GLIBC_TUNABLES=";
  std::string tunables = std::string(kTunables) + "glibc.malloc.hugetlb=1";
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, kTunables, sizeof kTunables - 1) == 0) tunables = std::string(*e) + ":glibc.malloc.hugetlb=1";
    else env.emplace_back(*e);
  }
  env.push_back(tunables);
  return env;
}

Text EndText(int status) {
  if (WIFSIGNALED(status)) {
    int sig = WTERMSIG(status);
    return u"сигнал " + NumberText(sig) + u" (" + TextFromUtf8(::strsignal(sig)) + u")";
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0) return u"код выхода " + NumberText(WEXITSTATUS(status));
  return Text();
}

}  // namespace

WorkerProcess* WorkerProcessStart(TextView program, uint64_t memoryCap, Text* reason) {
  ReapRetired();
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    *reason = ErrnoReason(errno);
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pair[1], kChildChannel);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  // Whatever a library prints goes to standard error, never into the answers.
  posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  std::string path = TextToUtf8(program);
  char* argv[] = {path.data(), const_cast<char*>(kWorkerSwitch), nullptr};
  std::vector<std::string> env = WorkerEnvironment();
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  int error = ::posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(pair[1]);
  if (error != 0) {
    ::close(pair[0]);
    *reason = ErrnoReason(error);
    return nullptr;
  }
  LimitWorker(pid, memoryCap);
  return new WorkerProcess{pid, pair[0]};
}

bool WorkerProcessSend(WorkerProcess* worker, const std::vector<uint8_t>& bytes) {
  return SendAll(worker->fd, bytes.data(), bytes.size());
}

WorkerRead WorkerProcessRead(WorkerProcess* worker, uint32_t waitMs, std::vector<uint8_t>* bytes) {
  struct pollfd in = {worker->fd, POLLIN, 0};
  int ready = ::poll(&in, 1, static_cast<int>(waitMs));
  if (ready < 0 && errno == EINTR) return WorkerRead::Nothing;
  if (ready == 0) return WorkerRead::Nothing;
  size_t before = bytes->size();
  bool open = ReceiveSome(worker->fd, bytes);
  if (!open) return WorkerRead::Ended;
  return bytes->size() > before ? WorkerRead::Data : WorkerRead::Nothing;
}

intptr_t WorkerProcessWaitHandle(const WorkerProcess* worker) {
  return worker->fd;
}

void WorkerProcessWaitAny(const std::vector<intptr_t>& handles, uint32_t waitMs) {
  std::vector<struct pollfd> fds;
  for (intptr_t fd : handles) fds.push_back({static_cast<int>(fd), POLLIN, 0});
  ::poll(fds.data(), fds.size(), waitMs > INT32_MAX ? -1 : static_cast<int>(waitMs));
}

bool WorkerProcessRunning(const WorkerProcess* worker) {
  siginfo_t info = {};
  // WNOWAIT leaves an ended worker to WorkerProcessEnd, which reaps it.
  if (::waitid(P_PID, static_cast<id_t>(worker->pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
  return info.si_pid == 0;
}

Text WorkerProcessEnd(WorkerProcess* worker, bool kill) {
  ::close(worker->fd);  // a worker waiting for its next job sees the end and leaves
  if (kill) ::kill(worker->pid, SIGKILL);
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kQuitWaitMs);
  pid_t done = 0;
  while ((done = ::waitpid(worker->pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (done == 0) {
    ::kill(worker->pid, SIGKILL);
    ::waitpid(worker->pid, &status, 0);
  }
  delete worker;
  return kill ? Text() : EndText(status);
}

void WorkerProcessRetire(WorkerProcess* worker) {
  ::close(worker->fd);
  gRetired.push_back(worker->pid);
  delete worker;
  ReapRetired();
}

void WorkerProcessWaitRetired() {
  for (pid_t pid : gRetired) ::waitpid(pid, nullptr, 0);
  gRetired.clear();
}

bool WorkerChannelOpen(TextView) {
  // A worker outlives no run: when the program that started it dies, so does it.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() == 1) return false;
  if (::fcntl(kChildChannel, F_GETFD) < 0) return false;
  ::fcntl(kChildChannel, F_SETFD, FD_CLOEXEC);
  gChannel = kChildChannel;
  return true;
}

bool WorkerChannelRead(std::vector<uint8_t>* bytes) {
  uint8_t chunk[1 << 16];
  for (;;) {
    ssize_t n = ::recv(gChannel, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes->insert(bytes->end(), chunk, chunk + n);
    return true;
  }
}

bool WorkerChannelWrite(const std::vector<uint8_t>& bytes) {
  return SendAll(gChannel, bytes.data(), bytes.size());
}
