#include "settings/app_settings.h"

#include <array>
#include <climits>

#include "base/paths.h"

AppSettings gAppSettings{};

void SetFlag(int32_t& word, int32_t bits) {
  word |= bits;
}

void ClearFlag(int32_t& word, int32_t bits) {
  word &= ~bits;
}

int32_t HasFlag(int32_t word, int32_t bits) {
  return (word & bits) == bits ? 1 : 0;
}

int32_t FlagValue(int32_t word, int32_t firstBit) {
  uint32_t mask = firstBit == 0 ? 0x80u : static_cast<uint32_t>(firstBit);
  uint32_t w = static_cast<uint32_t>(word);
  for (int i = 0; i < 12; ++i) {
    if ((w & mask) == mask) w -= mask;
    mask <<= 1;
  }
  return static_cast<int32_t>(w);
}

void SetFlagValue(int32_t& word, int32_t value) {
  word = (word - FlagValue(word, 0)) | value;
}

uint32_t BackgroundRgb(const AppSettings& s) {
  return (s.Background & 0x7F000000) == 0x01000000 ? static_cast<uint32_t>(s.Background) & 0xFFFFFF : 0xFFFFFF;
}

int32_t StoredBackground(uint32_t rgb) {
  return static_cast<int32_t>(0x01000000u | (rgb & 0xFFFFFF));
}

int32_t ExistingFilesRule(const AppSettings& s) {
  return s.ExistingFiles == kExistingSkip || s.ExistingFiles == kExistingCounter ? s.ExistingFiles : kExistingReplace;
}

int32_t NextCount(int32_t value) {
  if (value < 1) return 1;
  return value == INT32_MAX ? value : value + 1;
}

int32_t SaveFlagsFor(const AppSettings& s, int32_t formatId) {
  const int32_t* word = SaveFlagsSlot(const_cast<AppSettings*>(&s), formatId);
  return word ? *word : 0;
}

int32_t* SaveFlagsSlot(AppSettings* s, int32_t formatId) {
  if (formatId >= 0 && formatId < kSaveFlagCount) return &s->SaveFlags[formatId];
  if (formatId >= kSaveFlagCount && formatId < kFlagWordCount) return &s->ExtraFlags[formatId - kSaveFlagCount];
  return nullptr;
}

namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
    table[i] = static_cast<uint16_t>(c);
  }
  return table;
}

constexpr auto kCrcTable = MakeCrcTable();

}  // namespace

uint16_t Crc16Arc(const uint8_t* bytes, size_t count, uint16_t crc) {
  for (size_t i = 0; i < count; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ bytes[i]) & 0xFF]);
  return crc;
}

uint16_t TextChecksum(TextView text) {
  uint16_t crc = 0;
  for (char16_t unit : text) {
    if (unit == 0) break;
    const uint8_t bytes[2] = {static_cast<uint8_t>(unit & 0xFF), static_cast<uint8_t>(unit >> 8)};
    crc = Crc16Arc(bytes, 2, crc);
  }
  return crc;
}
