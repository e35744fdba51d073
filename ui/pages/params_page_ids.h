// Control ids of the conversion-parameters page (the option panel's are in
// settings/option_panel.h).
#pragma once

constexpr int kIdResizeFrame = 5002;
constexpr int kIdPixelsFrame = 5003;
constexpr int kIdPercentFrame = 5004;
constexpr int kIdConvertFrame = 5005;
constexpr int kIdProfilesFrame = 5006;
constexpr int kIdSideList = 5070;
constexpr int kIdSizeBox = 5071;
constexpr int kIdPercentBox = 5072;
constexpr int kIdNoEnlarge = 5074;
constexpr int kIdFormatBox = 5075;
constexpr int kIdProfiles = 5085;
constexpr int kIdAddProfile = 5086;
constexpr int kIdProfileName = 5088;
// The resize radio buttons: ResizeMode 0, 1, 2 is 5100 + the mode.
constexpr int kIdResizeNone = 5100;
constexpr int kIdResizePixels = 5101;
constexpr int kIdResizePercent = 5102;

// The option panel's place on the page.
constexpr int kPanelX = 10;
constexpr int kPanelY = 272;
constexpr int kPanelWidth = 366;
constexpr int kPanelHeight = 72;
