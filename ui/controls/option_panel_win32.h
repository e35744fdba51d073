// The encoder option panel: a group box under the format box whose children set the
// target format's save-flag word.
#pragma once

#include <windows.h>

#include "base/text.h"

// The WM_COMMAND notification code the panel sends its parent (id kIdOptionGroup) after
// each change of the flag word.
constexpr WORD kOptionPanelChanged = 0x0F01;

// Replaces the panel (only one exists) by the group for the format name and sets
// FormatId from the name. Returns the group box.
HWND BuildOptionPanel(HWND parent, int x, int y, int width, int height, TextView formatName);

// The slider's position.
int TrackbarPos(HWND slider);
// Moves the slider; a non-zero message is then sent to its parent (wParam 0, lParam the
// slider) as a move notification.
void SetTrackbarPos(HWND slider, int position, UINT message);
