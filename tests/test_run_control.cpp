#include <gtest/gtest.h>

#include "ui/run_control.h"

namespace {

struct Row {
  const char* what;
  RunRequest request;
  RunFacts facts;  // running, workerAlive, ending, trayOnClose, warnOnClose
  RunAction action;
  const char16_t* question;  // nullptr: no question
};

const Row kRows[] = {
    {"start when idle", RunRequest::Start, {false, false, false, false, false}, RunAction::StartRun, nullptr},
    {"start while running", RunRequest::Start, {true, true, false, false, false}, RunAction::Ignore, nullptr},
    {"start after stop, worker still on its file", RunRequest::Start, {false, true, false, false, false}, RunAction::Ignore, nullptr},
    {"start while the dialog ends", RunRequest::Start, {false, false, true, false, false}, RunAction::Ignore, nullptr},
    {"stop while running", RunRequest::Stop, {true, true, false, false, false}, RunAction::StopRun, nullptr},
    {"stop when idle", RunRequest::Stop, {false, false, false, false, false}, RunAction::Ignore, nullptr},
    {"stop twice", RunRequest::Stop, {false, true, false, false, false}, RunAction::Ignore, nullptr},
    {"escape when idle", RunRequest::CloseRequest, {false, false, false, false, true}, RunAction::End, nullptr},
    {"escape while running, warn on", RunRequest::CloseRequest, {true, true, false, false, true}, RunAction::End, kStopProcessQuestion},
    {"escape while running, warn off", RunRequest::CloseRequest, {true, true, false, false, false}, RunAction::End, nullptr},
    {"escape ignores tray-on-close", RunRequest::CloseRequest, {true, true, false, true, true}, RunAction::End, kStopProcessQuestion},
    {"escape after stop asks nothing", RunRequest::CloseRequest, {false, true, false, false, true}, RunAction::End, nullptr},
    {"escape while ending", RunRequest::CloseRequest, {false, true, true, false, true}, RunAction::Ignore, nullptr},
    {"close box, tray on", RunRequest::CloseButton, {false, false, false, true, true}, RunAction::HideToTray, nullptr},
    {"close box, tray on, running", RunRequest::CloseButton, {true, true, false, true, true}, RunAction::HideToTray, nullptr},
    {"close box, running, warn on", RunRequest::CloseButton, {true, true, false, false, true}, RunAction::End, kStopConverterQuestion},
    {"close box, running, warn off", RunRequest::CloseButton, {true, true, false, false, false}, RunAction::End, nullptr},
    {"close box when idle", RunRequest::CloseButton, {false, false, false, false, true}, RunAction::End, nullptr},
    {"close box while ending", RunRequest::CloseButton, {false, true, true, false, false}, RunAction::Ignore, nullptr},
};

TEST(RunControl, DecisionTable) {
  for (const Row& row : kRows) {
    RunDecision d = DecideRunRequest(row.request, row.facts);
    EXPECT_EQ(d.action, row.action) << row.what;
    EXPECT_EQ(d.question, Text(row.question ? row.question : u"")) << row.what;
  }
}

}  // namespace
