// The two routines the executable exports by name for other programs: the byte-size
// text and a whole-file writer. Both take the counted strings such callers pass: a
// 32-bit byte length sits just before the pointer (a BSTR), a null pointer is empty.
#include <windows.h>

#include <cstring>
#include <stdexcept>

#include "base/error_log.h"
#include "base/filesys.h"
#include "base/filesys_win32.h"
#include "base/utils.h"

// Winelib builds the export table from cmake/Tessaly.def and ignores the attribute.
#if defined(__WINE__)
#define TESSALY_EXPORT
#else
#define TESSALY_EXPORT __declspec(dllexport)
#endif

extern "C" {
TESSALY_EXPORT const WCHAR* __stdcall FormatByteSize64(uint32_t bytes);
TESSALY_EXPORT void __stdcall MWRITEFILE(const WCHAR* fileName, const uint8_t* const* data);
}

namespace {

uint32_t CountedLength(const void* counted) {
  if (!counted) return 0;
  uint32_t length = 0;
  memcpy(&length, static_cast<const uint8_t*>(counted) - sizeof length, sizeof length);
  return length;
}

Text CountedText(const WCHAR* text) {
  if (!text) return {};
  return Text(reinterpret_cast<const char16_t*>(text), CountedLength(text) / sizeof(char16_t));
}

// A failed Win32 call of the writer, described for the fault report.
[[noreturn]] void FailWith(DWORD error) {
  throw std::runtime_error(Win32ErrorDescription(error));
}

void WriteNewFile(const Text& name, const uint8_t* bytes, uint32_t size) {
  Text full = Win32FilePath(name);
  HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(full.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) FailWith(GetLastError());
  DWORD written = 0;
  BOOL ok = size == 0 || (WriteFile(file, bytes, size, &written, nullptr) && written == size);
  DWORD error = ok ? NO_ERROR : GetLastError();
  CloseHandle(file);
  if (!ok) FailWith(error ? error : ERROR_HANDLE_DISK_FULL);
}

}  // namespace

const WCHAR* __stdcall FormatByteSize64(uint32_t bytes) {
  // The caller reads the text after the call returns: it lives until this thread's
  // next call.
  thread_local Text text;
  text = FormatByteSize64(uint64_t{bytes});
  return reinterpret_cast<const WCHAR*>(text.c_str());
}

void __stdcall MWRITEFILE(const WCHAR* fileName, const uint8_t* const* data) {
  Text name;
  int step = 0;
  try {
    step = 1;
    name = CountedText(fileName);
    step = 2;
    if (FsFileExists(name) && !FsDeleteFile(name)) FailWith(GetLastError());
    step = 3;
    const uint8_t* bytes = data ? *data : nullptr;
    WriteNewFile(name, bytes, CountedLength(bytes));
  } catch (...) {
    ReportFault(FaultDescription(std::current_exception()), step, "MWRITEFILE", name);
  }
}
