// Control ids, private messages and the timer of the main dialog.
#pragma once

constexpr int kIdHeaderBand = 1007;
constexpr int kIdTitle = 1008;
constexpr int kIdElapsedLine = 1009;
constexpr int kIdStatusLine = 1010;
constexpr int kIdLogo = 1021;
constexpr int kIdSiteLink = 1131;
constexpr int kIdDonateLink = 1132;
constexpr int kIdTabs = 2001;
constexpr int kIdStart = 2101;
constexpr int kIdStop = 2102;

// The system-menu item "Поверх окон".
constexpr int kCmdTopMost = 2106;
// The one-second timer that refreshes the elapsed-time line during a run.
constexpr int kTimerSeconds = 2246;
// The notification-area icon reports its mouse events with this message.
constexpr unsigned kTrayCallbackMessage = 12125;

// The profile list of the conversion-parameters page: Enter on it activates the
// selected profile as a double click does.
constexpr int kIdProfileList = 5085;

// Page numbers of the tab control, 1-based as ActiveTab stores them.
constexpr int kPageFileList = 1;
constexpr int kPageParameters = 2;
constexpr int kPageSettings = 3;
constexpr int kPageAbout = 4;
constexpr int kPageCount = 4;
