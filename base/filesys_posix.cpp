// File-system port for the native build: POSIX calls on UTF-8 paths.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/filesys.h"

const char16_t kPathSeparator = u'/';

bool IsPathSeparator(char16_t c) {
  return c == u'/';
}

namespace {

std::string Native(TextView path) {
  return TextToUtf8(path);
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool FsIsDirectory(TextView path) {
  struct stat st;
  return !path.empty() && ::stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FsFileExists(TextView path) {
  struct stat st;
  return !path.empty() && ::stat(Native(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FsSameFile(TextView a, TextView b) {
  struct stat first, second;
  if (a.empty() || b.empty()) return false;
  if (::stat(Native(a).c_str(), &first) != 0 || ::stat(Native(b).c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool FsCreateDirectory(TextView path) {
  std::string p = Native(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (::mkdir(p.c_str(), 0777) == 0) return true;
  return FsIsDirectory(path);
}

bool FsListFolder(TextView folder, const std::function<void(const FolderEntry&)>& visit) {
  std::string base = Native(folder);
  DIR* dir = ::opendir(base.empty() ? "." : base.c_str());
  if (!dir) return false;
  if (!base.empty() && base.back() != '/') base.push_back('/');
  while (struct dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry entry;
    entry.name = TextFromUtf8(name);
    // Unix has no hidden attribute; a leading dot is the convention for it.
    entry.isHidden = name[0] == '.';
    entry.isLink = e->d_type == DT_LNK;
    if (e->d_type == DT_DIR) {
      entry.isDirectory = true;
    } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st;
      entry.isDirectory = ::stat((base + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    visit(entry);
  }
  ::closedir(dir);
  return true;
}

ReadResult FsReadFileHead(TextView path, size_t maxBytes, std::vector<uint8_t>* out, uint64_t* fileSize) {
  out->clear();
  int fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ReadResult::CannotOpen;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return ReadResult::CannotOpen;
  }
  if (maxBytes == SIZE_MAX && static_cast<uint64_t>(st.st_size) >= (uint64_t{1} << 32)) {
    ::close(fd);
    return ReadResult::TooLarge;
  }
  *fileSize = static_cast<uint64_t>(st.st_size);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  out->resize(std::min(static_cast<size_t>(st.st_size), maxBytes));
  size_t got = 0;
  while (got < out->size()) {
    ssize_t n = ::read(fd, out->data() + got, out->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  out->resize(got);
  return ReadResult::Ok;
}

namespace {

Text ErrnoText(int error) {
  return TextFromUtf8(std::strerror(error));
}

// A name in the target's folder that no other writer of this process or another picks;
// hidden, and as short as the name of the target may be long.
std::string TemporaryNameBeside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  size_t slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  return folder + ".tessaly-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".tmp";
}

}  // namespace

namespace {

// Seconds from 1601-01-01 to 1970-01-01, and ticks of 100 ns in a second.
constexpr int64_t kUnixEpochSeconds = 11644473600;
constexpr int64_t kTicksPerSecond = 10000000;

int64_t Ticks(const struct timespec& t) {
  return (static_cast<int64_t>(t.tv_sec) + kUnixEpochSeconds) * kTicksPerSecond + t.tv_nsec / 100;
}

struct timespec Timespec(int64_t ticks) {
  struct timespec t;
  int64_t seconds = ticks / kTicksPerSecond;
  t.tv_sec = static_cast<time_t>(seconds - kUnixEpochSeconds);
  t.tv_nsec = static_cast<long>((ticks % kTicksPerSecond) * 100);
  return t;
}

}  // namespace

bool FsBeginReplace(TextView path, PendingFile* file, Text* reason) {
  file->target = Text(path);
  std::string temp = TemporaryNameBeside(Native(path));
  file->temp = TextFromUtf8(temp);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  file->handle = fd;
  if (fd < 0 && reason) *reason = ErrnoText(errno);
  return fd >= 0;
}

bool FsCommitReplace(PendingFile* file, const void* data, size_t size, Text* reason) {
  int fd = static_cast<int>(file->handle);
  file->handle = -1;
  if (fd < 0) return false;
  std::string temp = Native(file->temp);
  bool ok = WriteAll(fd, data, size) && ::fsync(fd) == 0;
  if (ok && file->modified != 0) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = Timespec(file->modified);
    ok = ::futimens(fd, times) == 0;
  }
  int error = errno;
  if (::close(fd) != 0 && ok) ok = false, error = errno;
  if (ok && ::rename(temp.c_str(), Native(file->target).c_str()) != 0) ok = false, error = errno;
  if (!ok) {
    ::unlink(temp.c_str());
    if (reason) *reason = ErrnoText(error);
  }
  return ok;
}

void FsAbandonReplace(PendingFile* file) {
  if (file->handle < 0) return;
  ::close(static_cast<int>(file->handle));
  file->handle = -1;
  ::unlink(Native(file->temp).c_str());
}

bool FsWriteFileReplacing(TextView path, const void* data, size_t size, Text* reason) {
  PendingFile file;
  return FsBeginReplace(path, &file, reason) && FsCommitReplace(&file, data, size, reason);
}

bool FsAppendToFile(TextView path, const void* data, size_t size) {
  int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data, size);
  return ::close(fd) == 0 && ok;
}

bool FsDeleteFile(TextView path) {
  return ::unlink(Native(path).c_str()) == 0;
}

Text FsLastErrorText() {
  return ErrnoText(errno);
}

Text FsPathKey(TextView path) {
  return Text(path);
}

Text FsProgramPath() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return Text();
  return TextFromUtf8(std::string_view(buf, static_cast<size_t>(n)));
}

LocalTime FsLocalTime() {
  time_t now = ::time(nullptr);
  struct tm tm;
  ::localtime_r(&now, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}


bool FsFileId(TextView path, FileId* id) {
  struct stat st;
  if (path.empty() || ::stat(Native(path).c_str(), &st) != 0) return false;
  id->volume = static_cast<uint64_t>(st.st_dev);
  id->index = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool FsFolderId(TextView path, const FolderEntry&, const FileId&, FileId* id) {
  // stat is cheap here, and a mount point's device is its own.
  return FsFileId(path, id);
}

bool FsFileFacts(TextView path, FileFacts* facts) {
  struct stat st;
  if (path.empty() || ::stat(Native(path).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  facts->size = static_cast<uint64_t>(st.st_size);
  facts->modified = Ticks(st.st_mtim);
  facts->created = 0;
  return true;
}

bool FsSetFileTimes(TextView path, int64_t modified, int64_t) {
  if (modified == 0) return true;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = Timespec(modified);
  return ::utimensat(AT_FDCWD, Native(path).c_str(), times, 0) == 0;
}
