// What the main window does with a hand-over: the text a later instance left in the
// shared block goes the same way as the program's own command line.
#include "ui/handover_receive_win32.h"

#include "app/instance_win32.h"
#include "input/collect.h"
#include "input/file_list.h"
#include "ui/main_dialog_ids.h"
#include "ui/main_dialog_win32.h"
#include "ui/controls/tray_win32.h"
#include "ui/window_rules.h"

Text OwnCommandTail() {
  return CommandLineTail(ProcessCommandLine());
}

bool OwnTailAsksHiddenStart() {
  return WantsHiddenStart(OwnCommandTail());
}

void PublishMainDialog(HWND dialog) {
  PublishHandoverTarget(dialog);
}

namespace {
bool gOwnHandoverPending = false;
}  // namespace

void ExpectOwnHandover() {
  gOwnHandoverPending = true;
}

void ReceiveHandover(HWND dialog, bool startedHidden) {
  // An empty text makes the parser read this process's own command line, which is how
  // the program's own arguments arrive (the dialog posts itself a hand-over at start).
  Text text = ReceiveHandoverText();
  bool own = gOwnHandoverPending && text.empty();
  if (own) gOwnHandoverPending = false;
  int64_t before = FilesAddedSoFar();
  int64_t clearsBefore = ClearsKeptSoFar();
  ParseCommandText(text);
  int32_t added = static_cast<int32_t>(FilesAddedSoFar() - before);
  if (added > 0) {
    SelectTab(dialog, kPageFileList);
    Text balloon = AddedFilesText(added);
    if (ClearsKeptSoFar() != clearsBefore) balloon += u"\r\nСписок не очищен: идёт преобразование";
    TrayBalloon(u"Добавлены файлы", balloon, u"4", kBalloonMs);
  }
  // Starting with Windows passes "/auto": that start belongs in the tray, and only files
  // of its own, or a later instance, bring the window up.
  if (own && startedHidden && added == 0) return;
  ShowWindow(dialog, SW_SHOWNOACTIVATE);
  SetFocus(dialog);
  SetForegroundWindow(dialog);
}

void CloseHandoverBlock() {
  SharedBlockClose();
}
