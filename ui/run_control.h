// What the main window does with Start, Stop and the two ways of closing, as a small
// table that can be checked without a window.
#pragma once

#include "base/text.h"

enum class RunRequest {
  Start,         // button 2101
  Stop,          // button 2102
  CloseRequest,  // command id 2: Escape, middle click on the tray icon, the tray's exit item
  CloseButton,   // SC_CLOSE: the caption's close box, Alt+F4, the system menu's Close
};

struct RunFacts {
  bool running = false;      // RunState is Running
  bool workerAlive = false;  // a worker thread exists, even after a stop was requested
  bool ending = false;       // the dialog has already been asked to end
  bool trayOnClose = false;  // TrayOnClose is on
  bool warnOnClose = false;  // WarnOnClose is on
};

enum class RunAction {
  Ignore,
  StartRun,
  StopRun,
  HideToTray,
  // End the dialog. While a worker is alive the main window first lets it finish the
  // file it is on (RunState becomes Idle) and destroys itself only afterwards.
  End,
};

struct RunDecision {
  RunAction action = RunAction::Ignore;
  // When not empty: ask this Yes/No question first; on No nothing happens.
  Text question;
};

constexpr char16_t kStopProcessQuestion[] = u"Вы точно хотите остановить процесс?";
constexpr char16_t kStopConverterQuestion[] = u"Вы точно хотите остановить конвертер?";

RunDecision DecideRunRequest(RunRequest request, const RunFacts& facts);
