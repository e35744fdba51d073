// File-system port for the Win32 builds: the wide-character kernel calls.
#include <windows.h>

#include <atomic>

#include "base/wide_win32.h"
#include "base/filesys.h"
#include "base/filesys_win32.h"

const char16_t kPathSeparator = u'\\';

bool IsPathSeparator(char16_t c) {
  return c == u'\\' || c == u':';
}

namespace {

// The program path's capacity, as EXENAME has it.
constexpr DWORD kProgramPathCapacity = 276;
// Paths above this length go through the "\\?\" form.
constexpr size_t kPlainPathLimit = 255;
// Directory entries are read this many bytes at a time.
constexpr DWORD kListingBufferBytes = 64 * 1024;
// WriteFile takes a 32-bit count; larger buffers go in pieces of this size.
constexpr size_t kWriteChunk = size_t{1} << 30;

// Closes the handle on every path out.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }
  bool Close() {
    HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(h) != 0;
  }

 private:
  HANDLE handle_;
};

HANDLE OpenForReading(TextView path) {
  Text full = Win32FilePath(path);
  return CreateFileW(Wide(full), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                     nullptr);
}

bool WriteAll(HANDLE file, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD piece = static_cast<DWORD>(size < kWriteChunk ? size : kWriteChunk);
    DWORD written = 0;
    if (!WriteFile(file, p, piece, &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return true;
}

DWORD Attributes(TextView path) {
  if (path.empty()) return INVALID_FILE_ATTRIBUTES;
  Text full = Win32FilePath(path);
  return GetFileAttributesW(Wide(full));
}

// A name in the target's folder that no other writer of this process or another picks,
// as short as the name of the target may be long.
Text TemporaryNameBeside(TextView path) {
  static std::atomic<unsigned> counter{0};
  size_t cut = path.find_last_of(u"\\:");
  Text folder(cut == TextView::npos ? TextView() : path.substr(0, cut + 1));
  return folder + u"~tessaly-" + NumberText(GetCurrentProcessId()) + u"-" + NumberText(counter.fetch_add(1)) +
         u".tmp";
}

Text SystemReason(DWORD code) {
  constexpr DWORD kBufferUnits = 256;
  char16_t buffer[kBufferUnits] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                reinterpret_cast<wchar_t*>(buffer), kBufferUnits, nullptr);
  // The system's texts end with a line break.
  while (length > 0 && (buffer[length - 1] == u'\r' || buffer[length - 1] == u'\n' || buffer[length - 1] == u' '))
    --length;
  return length > 0 ? Text(buffer, length) : Text(u"error ") + NumberText(code);
}

bool IsAbsoluteDrivePath(TextView path) {
  return path.size() >= 3 && path[1] == u':' && path[2] == u'\\';
}

bool FileIdentity(TextView path, BY_HANDLE_FILE_INFORMATION* info) {
  if (path.empty()) return false;
  Text full = Win32FilePath(path);
  FileHandle file(CreateFileW(Wide(full), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file.valid() && GetFileInformationByHandle(file.get(), info);
}

}  // namespace

Text Win32FilePath(TextView path) {
  if (path.size() <= kPlainPathLimit) return Text(path);
  if (path.substr(0, 4) == u"\\\\?\\") return Text(path);
  if (IsAbsoluteDrivePath(path)) return u"\\\\?\\" + Text(path);
  if (path.substr(0, 2) == u"\\\\") return u"\\\\?\\UNC\\" + Text(path.substr(2));
  // A relative path cannot take the prefix; the call gets it as it is.
  return Text(path);
}

const char* Win32ErrorDescription(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND: return "File not found";
    case ERROR_PATH_NOT_FOUND: return "Path not found";
    case ERROR_ACCESS_DENIED: return "Access denied";
    case ERROR_SHARING_VIOLATION: return "File in use";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "Disk full";
    case ERROR_WRITE_PROTECT: return "Write protected";
    case ERROR_INVALID_NAME: return "Bad file name";
    case ERROR_FILENAME_EXCED_RANGE: return "File name too long";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return "Out of memory";
    default: return "File error";
  }
}

namespace {

int64_t Ticks(const FILETIME& t) {
  return static_cast<int64_t>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
}

FILETIME FileTime(int64_t ticks) {
  FILETIME t;
  t.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
  t.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  return t;
}

// A time of 0 stays as it is: SetFileTime leaves a time it gets no FILETIME for.
bool SetTimes(HANDLE file, int64_t modified, int64_t created) {
  if (modified == 0 && created == 0) return true;
  FILETIME write = FileTime(modified), birth = FileTime(created);
  return SetFileTime(file, created ? &birth : nullptr, nullptr, modified ? &write : nullptr) != 0;
}

}  // namespace

bool FsFileId(TextView path, FileId* id) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!FileIdentity(path, &info)) return false;
  id->volume = info.dwVolumeSerialNumber;
  id->index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

namespace {

// FILE_INTERNAL_INFORMATION through ntdll: the file index without the volume serial,
// which GetFileInformationByHandle also asks for and Wine takes a millisecond to find.
struct StatusBlock {
  union {
    LONG status;
    void* pointer;
  };
  ULONG_PTR information;
};
using QueryInformationFile = LONG(WINAPI*)(HANDLE, StatusBlock*, void*, ULONG, int);
constexpr int kFileInternalInformation = 6;

bool FileIndex(TextView path, uint64_t* index) {
  static auto query = reinterpret_cast<QueryInformationFile>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile")));
  if (!query) return false;
  FileHandle file(CreateFileW(Wide(Win32FilePath(path)), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return false;
  StatusBlock status = {};
  LARGE_INTEGER number = {};
  if (query(file.get(), &status, &number, sizeof number, kFileInternalInformation) < 0) return false;
  *index = static_cast<uint64_t>(number.QuadPart);
  return true;
}

}  // namespace

bool FsFolderId(TextView path, const FolderEntry& entry, const FileId& parent, FileId* id) {
  // A junction or link may lead to another volume, and its listed index is its own, not
  // its target's: only it needs the whole identity.
  uint64_t index = entry.index;
  if (entry.isLink || (index == 0 && !FileIndex(path, &index))) return FsFileId(path, id);
  id->volume = parent.volume;
  id->index = index;
  return true;
}

bool FsFileFacts(TextView path, FileFacts* facts) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExW(Wide(Win32FilePath(path)), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  facts->size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  facts->modified = Ticks(data.ftLastWriteTime);
  facts->created = Ticks(data.ftCreationTime);
  return true;
}

bool FsSetFileTimes(TextView path, int64_t modified, int64_t created) {
  FileHandle file(CreateFileW(Wide(Win32FilePath(path)), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid() && SetTimes(file.get(), modified, created);
}

bool FsIsDirectory(TextView path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FsFileExists(TextView path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FsSameFile(TextView a, TextView b) {
  BY_HANDLE_FILE_INFORMATION first = {}, second = {};
  if (!FileIdentity(a, &first) || !FileIdentity(b, &second)) return false;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool FsCreateDirectory(TextView path) {
  Text folder(path);
  // "C:\a\" names the same folder as "C:\a", but a root keeps its separator.
  while (folder.size() > 1 && folder.back() == u'\\' && folder[folder.size() - 2] != u':') folder.pop_back();
  Text full = Win32FilePath(folder);
  if (CreateDirectoryW(Wide(full), nullptr)) return true;
  return FsIsDirectory(folder);
}

// The listing through the folder's own handle: each entry comes with its file index, so
// a walk over a tree need not open every folder again to know it (under Wine an open
// and a query cost a tenth of a millisecond each, for each of thousands of folders).
bool FsListFolder(TextView folder, const std::function<void(const FolderEntry&)>& visit) {
  if (folder.empty()) return false;
  FileHandle handle(CreateFileW(Wide(Win32FilePath(folder)), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle.valid()) return false;
  std::vector<uint64_t> buffer(kListingBufferBytes / sizeof(uint64_t));
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  for (;;) {
    // A file, not a folder, fails here; a folder read to its end (an empty drive root
    // holds not even "." and "..") says there is no more.
    if (!GetFileInformationByHandleEx(handle.get(), kind, buffer.data(), kListingBufferBytes))
      return GetLastError() == ERROR_NO_MORE_FILES;
    kind = FileIdBothDirectoryInfo;
    const auto* at = reinterpret_cast<const uint8_t*>(buffer.data());
    for (;;) {
      const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      Text name(reinterpret_cast<const char16_t*>(info->FileName), info->FileNameLength / sizeof(char16_t));
      if (name != u"." && name != u"..") {
        FolderEntry entry;
        entry.name = std::move(name);
        entry.isDirectory = (info->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.isHidden = (info->FileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        entry.isSystem = (info->FileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0;
        entry.isLink = (info->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entry.index = static_cast<uint64_t>(info->FileId.QuadPart);
        visit(entry);
      }
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
  }
}

ReadResult FsReadFileHead(TextView path, size_t maxBytes, std::vector<uint8_t>* out, uint64_t* fileSize) {
  out->clear();
  FileHandle file(OpenForReading(path));
  if (!file.valid()) return ReadResult::CannotOpen;
  DWORD high = 0;
  DWORD low = GetFileSize(file.get(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return ReadResult::ReadError;
  *fileSize = (uint64_t{high} << 32) | low;
  uint64_t wanted = *fileSize < maxBytes ? *fileSize : maxBytes;
  if (wanted > MAXDWORD) return ReadResult::TooLarge;
  out->resize(static_cast<size_t>(wanted));
  DWORD got = 0;
  if (wanted > 0 && !ReadFile(file.get(), out->data(), static_cast<DWORD>(wanted), &got, nullptr)) {
    out->clear();
    return ReadResult::ReadError;
  }
  out->resize(got);
  return ReadResult::Ok;
}

bool FsBeginReplace(TextView path, PendingFile* file, Text* reason) {
  file->target = Text(path);
  file->temp = TemporaryNameBeside(path);
  HANDLE handle = CreateFileW(Wide(Win32FilePath(file->temp)), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (reason) *reason = SystemReason(GetLastError());
    file->handle = -1;
    return false;
  }
  file->handle = reinterpret_cast<intptr_t>(handle);
  return true;
}

bool FsCommitReplace(PendingFile* file, const void* data, size_t size, Text* reason) {
  if (file->handle == -1) return false;
  FileHandle handle(reinterpret_cast<HANDLE>(file->handle));
  file->handle = -1;
  Text tempFull = Win32FilePath(file->temp);
  bool ok = WriteAll(handle.get(), data, size) && FlushFileBuffers(handle.get()) &&
            SetTimes(handle.get(), file->modified, file->created);
  DWORD error = ok ? 0 : GetLastError();
  if (!handle.Close() && ok) ok = false, error = GetLastError();
  if (ok && !MoveFileExW(Wide(tempFull), Wide(Win32FilePath(file->target)),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ok = false, error = GetLastError();
  if (!ok) {
    DeleteFileW(Wide(tempFull));
    if (reason) *reason = SystemReason(error);
  }
  return ok;
}

void FsAbandonReplace(PendingFile* file) {
  if (file->handle == -1) return;
  CloseHandle(reinterpret_cast<HANDLE>(file->handle));
  file->handle = -1;
  DeleteFileW(Wide(Win32FilePath(file->temp)));
}

bool FsWriteFileReplacing(TextView path, const void* data, size_t size, Text* reason) {
  PendingFile file;
  return FsBeginReplace(path, &file, reason) && FsCommitReplace(&file, data, size, reason);
}

bool FsAppendToFile(TextView path, const void* data, size_t size) {
  Text full = Win32FilePath(path);
  FileHandle file(CreateFileW(Wide(full), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  bool ok = WriteAll(file.get(), data, size);
  return file.Close() && ok;
}

bool FsDeleteFile(TextView path) {
  Text full = Win32FilePath(path);
  return DeleteFileW(Wide(full)) != 0;
}

Text FsLastErrorText() {
  return SystemReason(GetLastError());
}

Text FsPathKey(TextView path) {
  return ToLower(path);
}

Text FsProgramPath() {
  char16_t buffer[kProgramPathCapacity];
  DWORD length = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(buffer), kProgramPathCapacity);
  // A cut path (length == capacity) is still what the call gave.
  return Text(buffer, length);
}

LocalTime FsLocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}
