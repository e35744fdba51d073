// The notification-area icon of the main window: adding it (with retries while the
// taskbar is not ready), balloons, its menu and its mouse events.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/text.h"

constexpr char16_t kTrayTip[] = u"Tessaly V1.0.1.1421";
constexpr char16_t kTrayIconName[] = u"A000";
constexpr char16_t kBalloonTitle[] = u"TessalyEx ";
constexpr uint32_t kBalloonMs = 3000;
// The time-out value the main window passes when it first adds the icon.
constexpr uint32_t kTrayFirstTimeout = 0xFFFF;

// Adds the icon for window: tip of up to 127 units, icon resource name, balloon time-out
// (0 in the low 16 bits means 10 s). Tries NIM_ADD up to 21 times, pumping the window's
// messages and waiting between tries. Registers "TaskbarCreated". Returns 1.
int32_t TrayAdd(HWND window, TextView tip, TextView iconName, uint32_t timeout);
// Shows a balloon. The icon argument: empty = no icon; one digit = a NIIF_ icon value
// (so "4" shows the tray's own icon); longer = an icon resource that also becomes the
// tray icon. Returns 1.
int32_t TrayBalloon(TextView title, TextView text, TextView iconArgument, uint32_t timeout);
// Removes the icon and releases it. Returns 1.
int32_t TrayRemove();

// An icon resource of module (0: the program), in the resource's own size; 0 when
// missing.
HICON LoadIconResource(TextView name, HMODULE module, bool shared);

// The tray menu at the cursor, and its command carried out.
void ShowTrayMenu(HWND window);
// The icon's mouse events (the low word of the callback's lParam).
void OnTrayNotify(HWND window, LPARAM lParam);

// The registered "TaskbarCreated" message; 0 until the icon was first added.
UINT TaskbarCreatedMessage();
