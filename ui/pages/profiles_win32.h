// The profile operations that work on the page's controls.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/text.h"

// Makes the selected profile's settings current; the pages are told to show them.
void ActivateSelectedProfile();
// Selects the active profile in the list after loading.
void SelectActiveProfile(HWND list);
// The list's context menu.
void ShowProfileMenu(HWND list);
// The suggested caption from the page's controls, also written into the name box.
Text MakeProfileCaption();
// The signature without text when it changed since the last look (idle, parameters tab
// shown); 0 otherwise.
uint32_t SettingsChanged();
// Regenerates the suggested caption when the settings changed; true when it did.
bool RefreshCaptionIfChanged();
// "Добавить": the typed name becomes a new profile, the box offers the next caption.
void OnAddProfileClicked();
// One owner-drawn item of the list.
void DrawProfileItem(const DRAWITEMSTRUCT& item);
