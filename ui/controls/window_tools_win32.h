// Small window routines the main dialog and the pages share: the program's one tooltip
// window, the topmost band, the system menu and window styles.
#pragma once

#include <windows.h>

#include "base/text.h"

// The shared tooltip routine.
//  - owner 0 and text "SET": the switch. tool then carries the value, not a window:
//    0 turns tooltips on, -1 off (start-up passes ShowToolTips - 1). Tools already added
//    stay; the switch only decides about later calls.
//  - switch off: nothing.
//  - first call: creates the tooltip window (owned by owner); a tool, if given, is not
//    added by this call, which is why every page starts with a call without a tool.
//  - later calls: adds tool (a control, identified by its handle) with the text.
void AddToolTip(HWND owner, HWND tool, TextView text);

// Puts the window into the topmost band (on) or takes it out, without moving, sizing or
// activating it.
void SetTopMost(HWND window, bool on);

// Inserts a string item into the window's system menu: position 0 appends, a negative
// position counts from the end. The caption keeps at most 63 units. Returns the menu.
HMENU AddSystemMenuItem(HWND window, UINT commandId, TextView caption, int position);

// A control's text, at most `capacity` units (empty for no control), and setting it.
Text ControlText(HWND control, int capacity);
void SetControlText(HWND control, TextView text);

// ORs the bits into the window's style.
void AddWindowStyle(HWND window, LONG_PTR styleBits);

// Makes a group box show its whole caption. Under Wine the stock group box draws its
// caption a few pixels wider than the room it measures for it, and the frame line cuts
// off the last letter; there the box is painted by the program instead (frame, then a
// gap with room to spare, then the caption). Elsewhere the stock control is left alone.
void KeepGroupCaptionWhole(HWND frame);

// A font by face, size in points and weight, with character set 0; the caller owns it.
HFONT CreatePointFont(TextView face, int points, bool bold, bool underline, bool variablePitch);
