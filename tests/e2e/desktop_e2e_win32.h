// What the desktop-integration checks need beyond the shared helpers: the registry as
// `wine reg` and the registry calls see it, copies of the program in other folders, the
// additional-settings page, and the folder chooser's tree read from outside.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "base/text.h"

// `wine reg ARGUMENTS` run from the host shell in this Wine prefix. Its text is read in
// the console's code page, fine for paths and ASCII; exact Cyrillic is read with
// ReadRegText.
struct WineRegAnswer {
  bool ok = false;  // ended with 0: the key or value exists
  std::string output;
};
WineRegAnswer WineReg(const std::string& arguments);
// The data after "REG_SZ" on the answer's value line; empty when there is none.
std::string RegSzData(const WineRegAnswer& answer);

// A REG_SZ value through RegQueryValueExW: the text up to its terminator and the data
// length in bytes. False when the key or value is absent.
bool ReadRegText(HKEY root, TextView key, TextView name, Text* text, DWORD* bytes);
bool RegKeyExists(HKEY root, TextView key);
bool MakeRegKey(HKEY root, TextView key);
// Takes the program's explorer verbs out of both places (machine-wide and the user's
// classes) and its start-with-Windows value.
void ForgetDesktopEntries();

// Copies the program to the path, making the folders; the copy keeps its Config.dat
// beside it.
bool CopyProgramTo(TextView path);
bool MakeFolders(TextView folder);
Text ConfigBeside(TextView programPath);

// The additional-settings page of a main dialog: the parent of the presets box, which
// no other page has. The other pages reuse some of its ids, so its controls are looked
// up inside it.
HWND SettingsPageOf(HWND dialog);
bool Ticked(HWND box);
// Exactly the output-mode radio (5100 + mode) of `mode` is checked on the page; for the
// profile checks too, since activating a profile switches these radios.
bool ExpectOutputModeRadios(HWND page, int mode);
// A click as the user makes it; sent, so the page has acted when it returns.
void Click(HWND button);

// The text of a tree-view item of another process: the item record and the text buffer
// live in that process, since tree-view messages are not carried across processes.
Text RemoteTreeItemText(HWND tree, DWORD pid, HTREEITEM item);
Text RemoteTreeCaretText(HWND tree, DWORD pid);
