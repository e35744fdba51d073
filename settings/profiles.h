// Profile operations that need no window: filling, adding, activating and finding
// records, the suggested caption, and what the profile list's menu offers. The page's
// window code reads its controls and calls these.
#pragma once

#include <vector>

#include "settings/profile_list.h"

constexpr size_t kProfileCaptionUnits = 63;

// Copies the current conversion settings into the record; a non-empty caption becomes
// its Caption. The Id is kept.
void FillProfileRecord(ProfileRecord* record, TextView caption, const AppSettings& settings);

// A new last profile made from the current settings, numbered by AddRecord. An empty
// caption adds nothing. Returns the position, or -1.
int32_t AddProfile(ProfileList* list, TextView caption, AppSettings* settings);

// Overwrites the profile at the position with the current settings, keeping its Id; an
// empty caption keeps its caption. False without such a profile.
bool SaveSettingsIntoProfile(ProfileList* list, int32_t index, TextView caption, const AppSettings& settings);

// Makes the record's settings current and the record the active profile. A record that
// is missing or was never numbered (Id 0) changes nothing and gives false.
bool ActivateProfileRecord(const ProfileRecord* record, AppSettings* settings);

// The position of the first profile with this Id; -1 when none has it.
int32_t FindProfileById(const ProfileList& list, int32_t id);
// The position to select for the active profile after loading: 0 when none matches.
int32_t ActiveProfilePosition(const ProfileList& list, int32_t activeId);

// The position of the first profile with exactly this caption; -1 when none.
int32_t FindProfileByCaption(const ProfileList& list, TextView caption);

// What the suggested caption is made of: texts as the page's controls show them.
struct CaptionSource {
  TextView targetFormat;
  int32_t resizeMode = 0;
  TextView modeText;     // the text of the resize radio button of resizeMode
  TextView sideText;     // the side list's shown text
  bool noEnlarge = false;
  TextView sizeText;     // the size box's text
  TextView percentText;  // the percent box's text
  int32_t formatId = 0;
  int32_t flagWord = 0;  // the save-flag word of formatId
};

// "JPG(Q:84); Расчёт в пикселах; Длинная сторона:<2000px": at most 63 units, without
// trailing blanks and semicolons.
Text ProfileCaption(const CaptionSource& source);

// The texts the three resize radio buttons and the side list show.
TextView ResizeModeText(int32_t resizeMode);
TextView ResizeSideText(int32_t resizeSide);

// The caption for settings alone, with the numbers as the boxes show them (the command
// line has no boxes).
Text ProfileCaptionFor(const AppSettings& settings);

// The commands of the profile list's context menu.
constexpr int32_t kProfileCmdActivate = 100;
constexpr int32_t kProfileCmdDelete = 200;
constexpr int32_t kProfileCmdDeleteAll = 300;
constexpr int32_t kProfileCmdSaveInto = 400;
constexpr int32_t kProfileCmdCancel = -1;

struct ProfileMenuItem {
  int32_t command;  // 0 for a separator
  Text text;
};

// The menu for a selection (-1 for none) whose caption is name, the active position and
// the number of profiles: nothing at all for an empty list.
std::vector<ProfileMenuItem> ProfileMenuItems(int32_t selected, TextView name, int32_t activeIndex, int32_t count);
