#include "ui/run_control.h"

namespace {

RunDecision Decide(RunAction action, TextView question = {}) {
  return RunDecision{action, Text(question)};
}

RunDecision DecideStart(const RunFacts& f) {
  // A worker that was told to stop is still working on its file; a second worker on the
  // same list would walk the same entries, so Start waits until the first one has ended.
  if (f.running || f.workerAlive || f.ending) return Decide(RunAction::Ignore);
  return Decide(RunAction::StartRun);
}

RunDecision DecideStop(const RunFacts& f) {
  return Decide(f.running ? RunAction::StopRun : RunAction::Ignore);
}

RunDecision DecideCloseRequest(const RunFacts& f) {
  if (f.ending) return Decide(RunAction::Ignore);
  if (f.running && f.warnOnClose) return Decide(RunAction::End, kStopProcessQuestion);
  return Decide(RunAction::End);
}

// The close box hides to the tray when asked to, even during a run and without a
// question; the Escape path (CloseRequest) never looks at TrayOnClose.
RunDecision DecideCloseButton(const RunFacts& f) {
  if (f.ending) return Decide(RunAction::Ignore);
  if (f.trayOnClose) return Decide(RunAction::HideToTray);
  if (f.running && f.warnOnClose) return Decide(RunAction::End, kStopConverterQuestion);
  return Decide(RunAction::End);
}

}  // namespace

RunDecision DecideRunRequest(RunRequest request, const RunFacts& facts) {
  switch (request) {
    case RunRequest::Start: return DecideStart(facts);
    case RunRequest::Stop: return DecideStop(facts);
    case RunRequest::CloseRequest: return DecideCloseRequest(facts);
    case RunRequest::CloseButton: return DecideCloseButton(facts);
  }
  return Decide(RunAction::Ignore);
}
