// The main window as every part of the Win32 program reaches it. Message boxes with
// owner 0 are owned by it; the worker thread reads it while the main thread may set it,
// hence the atomic.
#pragma once

#include <windows.h>

#include <atomic>

// 0 until the main dialog exists, and again after it is destroyed.
inline std::atomic<HWND> gMainWindow{nullptr};

inline void SetMainWindow(HWND window) {
  gMainWindow.store(window);
}

inline HWND MainWindow() {
  return gMainWindow.load();
}
