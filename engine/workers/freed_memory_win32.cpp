// Freed memory wiped in a worker of the Windows program. Its image libraries (the
// program itself, FreeImage.dll, libheif.dll, libde265.dll) free through msvcrt.dll, each
// by its own import table: the worker points those entries at wiping forms of free,
// realloc and _aligned_free, so every block is wiped before msvcrt may hand it out again.
// Only the modules beside the program are touched; Windows' own are left as they are.
// A Winelib worker's libraries are the host's and free through the host C library, which
// no import table leads to: it takes one file only.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/workers/worker_process.h"

#if defined(__MINGW32__)

namespace {

constexpr uint32_t kFilesEach = 64;
// The most an aligned block may lie past the start of the block msvcrt holds for it.
constexpr uintptr_t kMostAlignmentPad = 4096 + 2 * sizeof(void*);

using FreeFn = void(__cdecl*)(void*);
using MallocFn = void*(__cdecl*)(size_t);
using SizeFn = size_t(__cdecl*)(void*);
FreeFn gFree = nullptr;
FreeFn gAlignedFree = nullptr;
MallocFn gMalloc = nullptr;
SizeFn gMsize = nullptr;

void __cdecl WipingFree(void* block) {
  if (block) {
    size_t size = gMsize(block);
    if (size != static_cast<size_t>(-1)) SecureZeroMemory(block, size);
  }
  gFree(block);
}

// A block that changes size always moves, through the wiping free: msvcrt would give
// back a shrunk block's tail, or the old block of a moved one, as it was.
void* __cdecl WipingRealloc(void* block, size_t size) {
  if (!block) return gMalloc(size);
  if (size == 0) {
    WipingFree(block);
    return nullptr;
  }
  void* moved = gMalloc(size);
  if (!moved) return nullptr;
  size_t have = gMsize(block);
  if (have != static_cast<size_t>(-1)) std::memcpy(moved, block, std::min(have, size));
  WipingFree(block);
  return moved;
}

// msvcrt keeps the start of the block it holds in the pointer-sized word below the
// aligned one; the padding before the aligned start holds nothing of the picture.
void __cdecl WipingAlignedFree(void* block) {
  if (block) {
    uintptr_t at = reinterpret_cast<uintptr_t>(block);
    void* whole = *reinterpret_cast<void**>((at & ~(sizeof(void*) - 1)) - sizeof(void*));
    uintptr_t start = reinterpret_cast<uintptr_t>(whole);
    if (start < at && at - start <= kMostAlignmentPad) {
      size_t size = gMsize(whole);
      if (size != static_cast<size_t>(-1) && at - start < size) SecureZeroMemory(block, size - (at - start));
    }
  }
  gAlignedFree(block);
}

// msvcrt's other ways of giving a block back or moving it, which no wiping form stands for.
bool Unwiped(const char* name) {
  for (const char* other : {"_recalloc", "_expand", "_aligned_realloc", "_aligned_recalloc",
                            "_aligned_offset_realloc", "_aligned_offset_recalloc", "_free_dbg", "_realloc_dbg"})
    if (std::strcmp(name, other) == 0) return true;
  return false;
}

void* Wiping(const char* name) {
  if (std::strcmp(name, "free") == 0) return reinterpret_cast<void*>(&WipingFree);
  if (std::strcmp(name, "realloc") == 0) return reinterpret_cast<void*>(&WipingRealloc);
  if (std::strcmp(name, "_aligned_free") == 0) return reinterpret_cast<void*>(&WipingAlignedFree);
  return nullptr;
}

template <typename T>
T* At(BYTE* base, DWORD rva) {
  return reinterpret_cast<T*>(base + rva);
}

// What a module's msvcrt entries for freeing are: none, all of them wiped (or to be), or
// some that nothing can wipe.
enum class Frees { None, Wiped, Unwiped };

// Points the module's msvcrt entries for freeing at the wiping forms (only when change is
// set).
Frees Redirect(BYTE* base, bool change) {
  Frees found = Frees::None;
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = At<IMAGE_NT_HEADERS>(base, static_cast<DWORD>(dos->e_lfanew));
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return found;
  for (auto* entry = At<IMAGE_IMPORT_DESCRIPTOR>(base, imports.VirtualAddress); entry->Name != 0; ++entry) {
    if (lstrcmpiA(At<char>(base, entry->Name), "msvcrt.dll") != 0) continue;
    if (entry->OriginalFirstThunk == 0) return Frees::Unwiped;  // no names to tell its entries by
    auto* names = At<IMAGE_THUNK_DATA>(base, entry->OriginalFirstThunk);
    auto* slots = At<IMAGE_THUNK_DATA>(base, entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name = At<IMAGE_IMPORT_BY_NAME>(base, static_cast<DWORD>(names->u1.AddressOfData))->Name;
      if (Unwiped(name)) found = Frees::Unwiped;
      void* wiping = Wiping(name);
      if (!wiping) continue;
      if (found == Frees::None) found = Frees::Wiped;
      DWORD was = 0;
      if (!change) continue;
      if (!VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &was)) continue;
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(wiping);
      VirtualProtect(&slots->u1.Function, sizeof(void*), was, &was);
    }
  }
  return found;
}

// Whether a path lies in the folder, compared without case. The folder is the part of
// folderOrFile before its last backslash when it names a file, else the whole of it.
bool InFolder(const wchar_t* path, const wchar_t* folderOrFile, bool namesFile) {
  int units = 0, pathUnits = 0, lastBackslash = -1;
  for (; folderOrFile[units] != 0; ++units)
    if (folderOrFile[units] == L'\\') lastBackslash = units;
  while (path[pathUnits] != 0) ++pathUnits;
  if (namesFile) units = lastBackslash;
  if (units <= 0 || pathUnits <= units) return false;
  if (path[units] != L'\\' && folderOrFile[units - 1] != L'\\') return false;
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path, units, folderOrFile, units) == CSTR_EQUAL;
}

// An exported function of msvcrt, as the type it has (through void (*)(), the cast between
// function types that says so).
template <typename Fn>
Fn Entry(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

bool WorkerWipeFreedMemory() {
  HMODULE crt = GetModuleHandleW(L"msvcrt.dll");
  if (!crt) return false;
  gFree = Entry<FreeFn>(crt, "free");
  gAlignedFree = Entry<FreeFn>(crt, "_aligned_free");
  gMalloc = Entry<MallocFn>(crt, "malloc");
  gMsize = Entry<SizeFn>(crt, "_msize");
  if (!gFree || !gAlignedFree || !gMalloc || !gMsize) return false;
  wchar_t program[MAX_PATH] = {}, windows[MAX_PATH] = {};
  DWORD units = GetModuleFileNameW(nullptr, program, MAX_PATH);
  if (units == 0 || units >= MAX_PATH || GetWindowsDirectoryW(windows, MAX_PATH) == 0) return false;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32W module = {};
  module.dwSize = sizeof module;
  // Every module that frees through msvcrt must be one of ours, or one of Windows' own
  // (which hold no picture); a stranger (a DLL from elsewhere) leaves the wipe unsure.
  bool own = false, sure = true;
  for (BOOL more = Module32FirstW(snapshot, &module); more; more = Module32NextW(snapshot, &module)) {
    bool ours = InFolder(module.szExePath, program, true);
    if (ours) {
      sure = sure && Redirect(module.modBaseAddr, true) != Frees::Unwiped;
      own = own || module.hModule == GetModuleHandleW(nullptr);
    } else if (!InFolder(module.szExePath, windows, false) && Redirect(module.modBaseAddr, false) != Frees::None) {
      sure = false;
    }
  }
  CloseHandle(snapshot);
  return own && sure;
}

uint32_t WorkerProcessFilesEach() {
  return kFilesEach;
}

bool WorkerHeapSound() {
  std::vector<HANDLE> heaps(16);
  DWORD count = 0;
  while ((count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data())) > heaps.size()) heaps.resize(count);
  for (DWORD i = 0; i < count; ++i)
    if (!HeapValidate(heaps[i], 0, nullptr)) return false;
  return true;
}

#else  // Winelib

bool WorkerWipeFreedMemory() {
  return false;
}

uint32_t WorkerProcessFilesEach() {
  return 1;
}

bool WorkerHeapSound() {
  return true;
}

#endif
