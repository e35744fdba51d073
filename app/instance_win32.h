// The single-instance rule and the hand-over of a later instance's command line to the
// running main window, through a named shared block and a registered window message.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/handover.h"

// 1 when this process is the first instance, 0 otherwise (also when the mutex cannot be
// created at all). An empty name means kFallbackMutexName. The mutex stays open for the
// life of the process, so the next start after this one ends is a first instance again.
int32_t IsFirstInstance(TextView mutexName);

// The process's one shared block (kSharedBlockName, kHandoverRecordSize bytes).
// Create makes or attaches to it (the receiver); Open attaches to an existing one (a
// sender). Both return 0 without doing anything when the block is already open here.
int32_t SharedBlockCreate();
int32_t SharedBlockOpen();
void SharedBlockClose();

// Whole-record copies into and out of the open block; nothing happens while it is not
// open (SMB_GET then leaves the record as it was). SMB_GET also tells a waiting sender
// that its text has been read.
void SMB_SET(const HandoverRecord& record);
void SMB_GET(HandoverRecord* record);

// Receiver: the block created and the dialog published as the hand-over's target, with
// an empty text. False when the block could not be created.
bool PublishHandoverTarget(HWND dialog);
// Receiver, on the hand-over message: the text in the block (the sender's command-line
// tail; empty when the block is not open or a sender gave no arguments).
Text ReceiveHandoverText();

// Sender: hands the tail (cut to 2047 units) to the running window with the message,
// wParam kHandoverCode. False when no running window is known (no block, or its target
// is 0); nothing is posted then. Waits for its turn behind other senders and, once it
// has posted, for the receiver to read the text, each wait bounded.
bool HandOverToRunningInstance(UINT message, TextView tail);

// "##### " + the system's text of a Win32 error code (usually ending in CR LF).
Text SystemErrorText(uint32_t code);
