// File-system port: the only way the core touches files. One implementation per
// platform (filesys_posix.cpp for the native build, filesys_win32.cpp for Win32),
// chosen at link time.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/text.h"

// The folder separator of the platform's paths: '\' on Windows, '/' in the native
// build, where there is no drive colon either. Everything that splits or joins paths
// goes through these two so the rule lives in one place.
extern const char16_t kPathSeparator;
bool IsPathSeparator(char16_t c);  // '\' or ':' on Windows, '/' natively

struct FolderEntry {
  Text name;
  bool isDirectory = false;
  bool isHidden = false;
  bool isSystem = false;
  bool isLink = false;  // a symbolic link, junction or other reparse point
  uint64_t index = 0;   // the file index the listing gave with it; 0 when it gives none
};

// What tells one file or folder from every other on the machine, whatever path leads
// to it (links, junctions, other spellings).
struct FileId {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileId& other) const { return volume == other.volume && index == other.index; }
};
// The identity of what the path names, links followed; false when it cannot be reached.
bool FsFileId(TextView path, FileId* id);
// The same for a folder found in the listing of a folder of identity `parent` (entry as
// the listing gave it), where that can be had for less: under Wine the volume alone costs
// a millisecond a folder, and a folder that is no link lies on its parent's volume.
bool FsFolderId(TextView path, const FolderEntry& entry, const FileId& parent, FileId* id);

// Times are counted as Windows counts them: 100-nanosecond ticks since 1601-01-01 UTC,
// so the same numbers mean the same moment in every build.
struct FileFacts {
  uint64_t size = 0;
  int64_t modified = 0;
  int64_t created = 0;  // 0 where the system keeps no creation time that can be set
};
// False when the path names no file (a folder included).
bool FsFileFacts(TextView path, FileFacts* facts);
// Gives an existing file these times; a time of 0 is left as it is. The creation time is
// Windows' alone.
bool FsSetFileTimes(TextView path, int64_t modified, int64_t created);

bool FsIsDirectory(TextView path);
// True when both paths name one existing file, whatever their spelling (letter case,
// short names, links); false when either does not exist.
bool FsSameFile(TextView a, TextView b);
// True for an existing file that is not a folder.
bool FsFileExists(TextView path);
// Creates one level; true when the folder exists afterwards.
bool FsCreateDirectory(TextView path);
// Creates every missing level of a folder path; true when it exists afterwards.
bool FsCreateDirectories(TextView path);
// Calls visit for every entry directly inside the folder ("." and ".." left out), in
// the order the file system returns them. False when the folder cannot be listed.
bool FsListFolder(TextView folder, const std::function<void(const FolderEntry&)>& visit);

enum class ReadResult { Ok, CannotOpen, TooLarge, ReadError };
// Reads the whole file with one read. Files of 4 GiB or more are refused.
ReadResult FsReadWholeFile(TextView path, std::vector<uint8_t>* out);
// Reads at most maxBytes from the start of the file and reports the file's full size.
ReadResult FsReadFileHead(TextView path, size_t maxBytes, std::vector<uint8_t>* out, uint64_t* fileSize);

// A file written in place of another: the bytes go to a temporary file in the target's
// folder, which is flushed and renamed over the target, so the target is never left
// empty or half-written. The temporary's name is short and does not grow with the
// target's, so a target name near the 255-byte limit can still be written.
struct PendingFile {
  Text target;
  Text temp;
  intptr_t handle = -1;  // the platform's handle of the open temporary
  // Times the file is given before it takes the target's name (FsSetFileTimes); 0 leaves
  // the time of writing.
  int64_t modified = 0;
  int64_t created = 0;
};
// Creates the temporary; false with the system's reason when the folder cannot take a
// file (missing, not writable, full), before any work was spent on the bytes.
bool FsBeginReplace(TextView path, PendingFile* file, Text* reason);
// Writes the bytes, flushes and renames over the target. The temporary is gone
// afterwards whatever happened; false with the system's reason.
bool FsCommitReplace(PendingFile* file, const void* data, size_t size, Text* reason);
// Closes and removes the temporary without touching the target.
void FsAbandonReplace(PendingFile* file);
// Begin and commit in one.
bool FsWriteFileReplacing(TextView path, const void* data, size_t size, Text* reason = nullptr);
bool FsAppendToFile(TextView path, const void* data, size_t size);
bool FsDeleteFile(TextView path);

// What the system said about the last failed file call of this thread.
Text FsLastErrorText();
// A text that is equal for two spellings of one path on this platform: letter case is
// ignored on Windows, kept natively.
Text FsPathKey(TextView path);

// Full path of the running program, as GetModuleFileNameW gives it.
Text FsProgramPath();

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
LocalTime FsLocalTime();
