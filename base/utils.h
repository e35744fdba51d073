// Small routines many parts of the program share.
#pragma once

#include <cstdint>

#include "base/text.h"

// A window handle as the core passes it around without knowing windows; 0 means the
// main window.
using WindowRef = uintptr_t;

constexpr int32_t kIdOk = 1;
constexpr int32_t kIdYes = 6;
constexpr int32_t kIdNo = 7;
// What a timed box returns when nobody answered in time.
constexpr int32_t kIdTimeout = 32000;

constexpr int32_t kCsidlMyPictures = 39;

// MB_ style word of a message-box kind 0..7; every kind is topmost.
uint32_t MessageBoxStyle(int32_t kind);
bool MessageBoxHasYesNo(int32_t kind);

// Every message box of the program. Kind selects icon and buttons (see MessageBoxStyle);
// a time-out above 0 closes the box by itself with kIdTimeout; an empty caption shows
// the program's file name. Texts are cut to 2047 and 63 units.
// One implementation per platform: a real box on Win32, the console natively.
int32_t TimedMessageBox(TextView text, TextView caption, WindowRef owner, int32_t kind, uint32_t timeoutMs);

// "1.24 M", "1.50 K", "1023 B"; 0 gives "0 B".
Text FormatByteSize64(uint64_t bytes);

// 16 (the directory attribute) for a folder, 0 otherwise, as PathIsDirectoryW answers.
int32_t IsDirectory(TextView path);

// A shell folder by CSIDL, without trailing separator; empty when unknown. The native
// build knows the Pictures folder only (XDG, else $HOME/Pictures).
Text GetSpecialFolder(int32_t csidl);

// Diagnostic trace to the debugger output (stderr natively, when TESSALY_TRACE is set).
void DebugTrace(TextView text);
