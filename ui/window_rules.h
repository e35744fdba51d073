// The small rules of the main window and the tray that need no window.
#pragma once

#include <cstdint>

#include "base/text.h"

// The position at which AddSystemMenuItem inserts: 0 appends (the item count), a
// negative position counts from the end, a positive one is taken as it is.
int32_t SystemMenuPosition(int32_t itemCount, int32_t position);

// The balloon time-out of the tray calls: 0 in the low 16 bits means 10 seconds.
uint32_t TrayTimeout(uint32_t value);
// How long TrayAdd waits after a failed add: longer while the system has just started
// (the notification area may not exist yet).
uint32_t TrayRetryWaitMs(uint32_t tickCount);
constexpr int kTrayAddAttempts = 21;

// The 0-based tab of a stored ActiveTab (1-based); values outside 1..4 select the first.
int32_t TabIndexFromActiveTab(int32_t activeTab);

// The text of the balloon after a hand-over added files: "Количество: 5".
Text AddedFilesText(int32_t added);
