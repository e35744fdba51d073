// The labels, buttons, Ctrl key and filter box of the test build. Every call is recorded
// here; tests set the Ctrl state and the filter text before acting and read the rest after.
// The conversion worker may write the status line from its own thread: read the globals
// after the worker has ended, or under gFakeUiLock while it runs.
#pragma once

#include <mutex>
#include <vector>

#include "base/text.h"

extern std::mutex gFakeUiLock;
extern Text gFakeStatusLine;                  // last UiSetStatusLine text
extern std::vector<Text> gFakeStatusHistory;  // every UiSetStatusLine text, oldest first
extern Text gFakeElapsedLine;                 // last UiSetElapsedLine text
extern Text gFakePageCount;                   // last UiSetPageCount text
extern bool gFakeStartEnabled;                // last UiEnableStart state (false at reset)
extern int gFakeStartCalls;                   // how often UiEnableStart was called
extern bool gFakeCtrlHeld;                    // what UiCtrlHeld answers
extern Text gFakeFilterText;                  // what UiFilterText answers

// Back to the state of a fresh window: empty texts, Start disabled, Ctrl up, empty filter.
void ResetFakeUi();
