// The settings record. Its bytes are the first 3394 bytes of Config.dat, so the layout
// below is the file format: every offset is checked at compile time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/text.h"

constexpr size_t kAppSettingsSize = 3394;
constexpr size_t kProfileRecordSize = 1588;
constexpr size_t kProfileBlockOffset = 92;   // OutputMode ..
constexpr size_t kProfileBlockSize = 416;    // .. end of CurrentFilter
constexpr int32_t kSaveFlagCount = 37;       // one word per FreeImage format id 0..36
// The formats without a FreeImage id have ids of their own after FreeImage's, and their
// words lie in ExtraFlags: word 37 is AVIF's, 38 JPEG XL's. HEIF is read only.
constexpr int32_t kExtraFlagCount = 2;
constexpr int32_t kFlagWordCount = kSaveFlagCount + kExtraFlagCount;
constexpr int32_t kPng256ColourFlag = 0x80000;

// FreeImage format ids the program acts on.
constexpr int32_t kFormatJpeg = 2;
constexpr int32_t kFormatPng = 13;
constexpr int32_t kFormatGif = 25;
constexpr int32_t kFormatWebp = 35;
constexpr int32_t kFormatAvif = 37;
constexpr int32_t kFormatJxl = 38;
constexpr int32_t kFormatHeif = 39;

#pragma pack(push, 2)
struct AppSettings {
  int32_t ProfileCount;
  int32_t ActiveProfileId;
  int32_t ActiveProfileIndex;
  int32_t LastProfileId;
  int32_t ActiveTab;
  int32_t TopMost;
  int32_t TrayOnClose;
  int32_t TrayOnStart;
  int32_t AutoStart;
  int32_t ShowToolTips;
  int32_t WarnOnClose;
  int32_t ReservedOption;
  int32_t LaunchCount;
  int32_t ClearListOnAdd;
  uint8_t Reserved56[36];
  int32_t OutputMode;
  int32_t NoEnlarge;
  int32_t ResizeMode;
  int32_t ResizeSide;
  int32_t TargetSize;
  int32_t ScalePercent;
  int32_t FormatId;
  // Bytes that earlier releases keep as zeros and never read, inside the block a profile
  // copies: so a Config.dat of either release reads in the other with every field of its
  // own as it was.
  int32_t ExtraFlags[kExtraFlagCount];
  // Colour options, 0 in a file of an earlier release: "Convert to sRGB" (1 on), and the
  // colour transparency is laid on where the target has none, as 0x01RRGGBB (0: white).
  int32_t ToSrgb;
  int32_t Background;
  // Folder trees and what becomes of existing files, 0 in an earlier release's file:
  // folders walked to any depth (1); outputs given their source's times (1, on in a fresh
  // file through the defaults); an existing file this program did not write replaced (0),
  // left alone (1) or written beside with a counter (2); an output larger than its
  // source of the same format and size gives way to the source (1).
  int32_t Recursive;
  int32_t KeepDates;
  int32_t ExistingFiles;
  int32_t KeepIfSmaller;
  uint8_t Reserved152[48];
  int32_t SaveFlags[kSaveFlagCount];
  char16_t CurrentFilter[80];
  char16_t TargetFormat[6];
  char16_t SubfolderName[32];
  uint8_t Reserved584[510];
  char16_t OutputFolder[255];
  char16_t ExtensionList[128];
  uint8_t Reserved1860[510];
  char16_t ProfileExtra[512];
};

struct ProfileRecord {
  int32_t Id;
  int32_t Reserved4;
  uint8_t Settings[kProfileBlockSize];
  char16_t TargetFormat[6];
  char16_t Caption[64];
  char16_t ProfileExtra[512];
};
#pragma pack(pop)

static_assert(offsetof(AppSettings, ProfileCount) == 0);
static_assert(offsetof(AppSettings, ActiveProfileId) == 4);
static_assert(offsetof(AppSettings, ActiveProfileIndex) == 8);
static_assert(offsetof(AppSettings, LastProfileId) == 12);
static_assert(offsetof(AppSettings, ActiveTab) == 16);
static_assert(offsetof(AppSettings, TopMost) == 20);
static_assert(offsetof(AppSettings, TrayOnClose) == 24);
static_assert(offsetof(AppSettings, TrayOnStart) == 28);
static_assert(offsetof(AppSettings, AutoStart) == 32);
static_assert(offsetof(AppSettings, ShowToolTips) == 36);
static_assert(offsetof(AppSettings, WarnOnClose) == 40);
static_assert(offsetof(AppSettings, ReservedOption) == 44);
static_assert(offsetof(AppSettings, LaunchCount) == 48);
static_assert(offsetof(AppSettings, ClearListOnAdd) == 52);
static_assert(offsetof(AppSettings, Reserved56) == 56);
static_assert(offsetof(AppSettings, OutputMode) == 92);
static_assert(offsetof(AppSettings, NoEnlarge) == 96);
static_assert(offsetof(AppSettings, ResizeMode) == 100);
static_assert(offsetof(AppSettings, ResizeSide) == 104);
static_assert(offsetof(AppSettings, TargetSize) == 108);
static_assert(offsetof(AppSettings, ScalePercent) == 112);
static_assert(offsetof(AppSettings, FormatId) == 116);
static_assert(offsetof(AppSettings, ExtraFlags) == 120);
static_assert(offsetof(AppSettings, ToSrgb) == 128);
static_assert(offsetof(AppSettings, Background) == 132);
static_assert(offsetof(AppSettings, Recursive) == 136);
static_assert(offsetof(AppSettings, KeepDates) == 140);
static_assert(offsetof(AppSettings, ExistingFiles) == 144);
static_assert(offsetof(AppSettings, KeepIfSmaller) == 148);
static_assert(offsetof(AppSettings, Reserved152) == 152);
static_assert(offsetof(AppSettings, SaveFlags) == 200);
static_assert(offsetof(AppSettings, CurrentFilter) == 348);
static_assert(offsetof(AppSettings, TargetFormat) == 508);
static_assert(offsetof(AppSettings, SubfolderName) == 520);
static_assert(offsetof(AppSettings, Reserved584) == 584);
static_assert(offsetof(AppSettings, OutputFolder) == 1094);
static_assert(offsetof(AppSettings, ExtensionList) == 1604);
static_assert(offsetof(AppSettings, Reserved1860) == 1860);
static_assert(offsetof(AppSettings, ProfileExtra) == 2370);
static_assert(sizeof(AppSettings) == kAppSettingsSize);
static_assert(offsetof(AppSettings, TargetFormat) - offsetof(AppSettings, OutputMode) == kProfileBlockSize);

static_assert(offsetof(ProfileRecord, Id) == 0);
static_assert(offsetof(ProfileRecord, Reserved4) == 4);
static_assert(offsetof(ProfileRecord, Settings) == 8);
static_assert(offsetof(ProfileRecord, TargetFormat) == 424);
static_assert(offsetof(ProfileRecord, Caption) == 436);
static_assert(offsetof(ProfileRecord, ProfileExtra) == 564);
static_assert(sizeof(ProfileRecord) == kProfileRecordSize);

// The one settings record of the process; zero until the first LoadConfig.
extern AppSettings gAppSettings;


// Save-flag words: quality in bits 0..6, FreeImage flags in bits 7..18, the program's
// 256-colour PNG bit 0x80000.
void SetFlag(int32_t& word, int32_t bits);
void ClearFlag(int32_t& word, int32_t bits);
int32_t HasFlag(int32_t word, int32_t bits);
int32_t FlagValue(int32_t word, int32_t firstBit);
void SetFlagValue(int32_t& word, int32_t value);
// The flag word of a format id as stored (0..36 in SaveFlags, 37 and 38 in ExtraFlags);
// other ids read as 0. A stored 0 of a format of our own means "never set": its record's
// default stands in (settings/formats.h, FormatWordOf).
int32_t SaveFlagsFor(const AppSettings& settings, int32_t formatId);
int32_t* SaveFlagsSlot(AppSettings* settings, int32_t formatId);

// The colour laid under transparency where the target keeps none, as 0xRRGGBB; and its
// stored form (a stored 0, as in an earlier release's file, reads as white).
uint32_t BackgroundRgb(const AppSettings& settings);
int32_t StoredBackground(uint32_t rgb);

// What a run does with an existing output file that this program did not write.
constexpr int32_t kExistingReplace = 0;
constexpr int32_t kExistingSkip = 1;
constexpr int32_t kExistingCounter = 2;
// ExistingFiles as a run takes it: a value no release writes reads as "replace", as
// before the choice existed.
int32_t ExistingFilesRule(const AppSettings& settings);

// The next value of a counter kept in Config.dat (LaunchCount, LastProfileId): at least
// 1 and never past INT32_MAX. A stored 0 would mean "first start" or "not numbered", so a
// damaged or hostile file must not count its way there.
int32_t NextCount(int32_t value);

// CRC-16/ARC (reflected 0x8005, initial 0, no final XOR).
uint16_t Crc16Arc(const uint8_t* bytes, size_t count, uint16_t crc = 0);
// CRC-16/ARC over the UTF-16LE bytes of the text up to its terminator.
uint16_t TextChecksum(TextView text);
