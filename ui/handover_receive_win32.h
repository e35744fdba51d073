// The main window's side of the instance hand-over.
#pragma once

#include <windows.h>

#include "base/text.h"

// This process's command-line tail: the arguments without the program's own path.
Text OwnCommandTail();
// True when that tail asks for a start hidden in the tray ("/auto").
bool OwnTailAsksHiddenStart();

// Publishes the dialog in the shared block, so a later instance finds it.
void PublishMainDialog(HWND dialog);
// The dialog has posted itself the hand-over of its own arguments.
void ExpectOwnHandover();
// A hand-over message arrived: the sender's text is parsed into the file list, a balloon
// tells how many files were added (if any), and the window is shown and brought forward,
// except when it is the window's own hand-over of a start meant for the tray that
// brought no files.
void ReceiveHandover(HWND dialog, bool startedHidden);
// The dialog is going: the shared block is released.
void CloseHandoverBlock();
