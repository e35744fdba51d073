// Control ids of the additional-settings page (the third tab).
#pragma once

constexpr int kIdFolderFrame = 5002;
constexpr int kIdPresetFrame = 5003;
constexpr int kIdContextMenuFrame = 5004;
constexpr int kIdOtherFrame = 5005;
constexpr int kIdColourFrame = 5007;
constexpr int kIdOutputFolder = 5024;
constexpr int kIdPresets = 5026;
constexpr int kIdBrowse = 5061;
constexpr int kIdDrivesBox = 5051;
constexpr int kIdFoldersBox = 5052;
constexpr int kIdFilesBox = 5053;
constexpr int kIdTrayOnStartBox = 5081;
constexpr int kIdTrayOnCloseBox = 5082;
constexpr int kIdAutoStartBox = 5083;
constexpr int kIdWarnOnCloseBox = 5084;
constexpr int kIdToolTipsBox = 5086;
constexpr int kIdToSrgbBox = 5091;
// Shows the background colour as a swatch and opens the colour chooser.
constexpr int kIdBackgroundButton = 5092;
// The output-mode radio buttons: 5100 + OutputMode.
constexpr int kIdOutputModeFirst = 5100;
constexpr int kIdOutputModeLast = 5102;
constexpr int kIdSubfolder = 5105;
// What becomes of the outputs, beside the output modes.
constexpr int kIdKeepDatesBox = 5110;
constexpr int kIdKeepIfSmallerBox = 5111;
constexpr int kIdExistingFilesBox = 5112;
