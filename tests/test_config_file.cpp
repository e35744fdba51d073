#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

#include "app/startup.h"
#include "settings/config_file.h"
#include "settings/defaults.h"
#include "settings/profiles.h"
#include "tests/test_support.h"

namespace {

class ConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    gAppSettings = AppSettings{};
    gSettingsLoaded = false;
  }
  void Reload() {
    gAppSettings = AppSettings{};
    gSettingsLoaded = false;
  }
  Text path() const { return dir.Path("Config.dat"); }
  ScratchFolder dir;
};

std::string Int32(int32_t v) {
  return std::string(reinterpret_cast<const char*>(&v), 4);
}

// A record with every byte meaningful, stale characters after terminators included.
std::string SampleRecord() {
  std::string bytes(kAppSettingsSize, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  auto put = [&](size_t off, int32_t v) { std::memcpy(&bytes[off], &v, 4); };
  put(0, 2);   // ProfileCount
  put(12, 7);  // LastProfileId
  put(48, 5);  // LaunchCount
  // "ab", terminator, then stale "xy" in SubfolderName.
  const char16_t sub[] = {u'a', u'b', 0, u'x', u'y'};
  std::memcpy(&bytes[520], sub, sizeof sub);
  return bytes;
}

std::string SampleProfile(int32_t id, const char16_t* caption) {
  ProfileRecord r{};
  std::memset(&r, 0x5A, sizeof r);
  r.Id = id;
  r.Reserved4 = 0;
  SetField(r.Caption, caption);
  return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

TEST_F(ConfigFile, RoundTripIsByteForByte) {
  std::string original = SampleRecord() + SampleProfile(3, u"Первый") + SampleProfile(7, u"second");
  dir.Write("Config.dat", original);
  MemoryProfileList profiles;
  ASSERT_EQ(LoadConfig(path(), nullptr), ConfigResult::Ok);
  ASSERT_EQ(LoadConfig(path(), &profiles), ConfigResult::Ok);
  ASSERT_EQ(profiles.Count(), 2);
  EXPECT_EQ(FieldView(profiles.At(0)->Caption), u"Первый");
  EXPECT_EQ(FieldView(gAppSettings.SubfolderName), u"ab");
  ASSERT_EQ(SaveConfig(path(), &profiles), ConfigResult::Ok);
  EXPECT_EQ(dir.Read("Config.dat"), original);
  EXPECT_EQ(profiles.Count(), 0) << "saving releases the records";
}

TEST_F(ConfigFile, MissingFileChangesNothingAndFirstSaveIs3394Bytes) {
  EXPECT_EQ(LoadStartupSettings(path()), ConfigResult::NoFile);
  EXPECT_EQ(gAppSettings.TargetSize, 2000);
  MemoryProfileList empty;
  ASSERT_EQ(SaveShutdownSettings(path(), &empty), ConfigResult::Ok);
  std::string bytes = dir.Read("Config.dat");
  ASSERT_EQ(bytes.size(), kAppSettingsSize);
  int32_t launchCount, profileCount;
  std::memcpy(&launchCount, &bytes[48], 4);
  std::memcpy(&profileCount, &bytes[0], 4);
  EXPECT_EQ(launchCount, 1);
  EXPECT_EQ(profileCount, 0);
  // The next start keeps what was saved instead of the defaults.
  Reload();
  gAppSettings.TargetSize = 0;
  LoadStartupSettings(path());
  EXPECT_EQ(gAppSettings.LaunchCount, 1);
}

TEST_F(ConfigFile, SecondLoadKeepsTheRecordInMemory) {
  dir.Write("Config.dat", SampleRecord());
  LoadConfig(path(), nullptr);
  gAppSettings.TargetSize = 1234;
  MemoryProfileList profiles;
  LoadConfig(path(), &profiles);
  EXPECT_EQ(gAppSettings.TargetSize, 1234);
}

TEST_F(ConfigFile, ShortFilesReadAsZeroAndGetDefaults) {
  for (size_t size : {0u, 10u, 48u}) {
    Reload();
    dir.Write("Config.dat", std::string(size, '\x11'));
    LoadStartupSettings(path());
    EXPECT_EQ(gAppSettings.LaunchCount, 0) << size;
    EXPECT_EQ(gAppSettings.TargetSize, 2000) << size;
    EXPECT_EQ(gAppSettings.ActiveProfileId, size >= 8 ? 0x11111111 : 0) << size;
  }
}

TEST_F(ConfigFile, MissingRecordsBecomeNumberedEmptyProfiles) {
  std::string bytes = SampleRecord();
  std::memcpy(&bytes[0], Int32(3).data(), 4);
  dir.Write("Config.dat", bytes + SampleProfile(4, u"only"));
  MemoryProfileList profiles;
  LoadConfig(path(), nullptr);
  LoadConfig(path(), &profiles);
  ASSERT_EQ(profiles.Count(), 3);
  EXPECT_EQ(profiles.At(0)->Id, 4);
  EXPECT_EQ(profiles.At(1)->Id, 8) << "LastProfileId was 7";
  EXPECT_EQ(profiles.At(2)->Id, 9);
  EXPECT_EQ(FieldView(profiles.At(1)->Caption), u"");
  EXPECT_EQ(gAppSettings.ProfileCount, 3);
  EXPECT_EQ(gAppSettings.LastProfileId, 9);
}

TEST_F(ConfigFile, AbsurdCountsAreBoundedAndFast) {
  for (int32_t count : {-1, 2147483647, 1000000}) {
    Reload();
    std::string bytes = SampleRecord();
    std::memcpy(&bytes[0], Int32(count).data(), 4);
    dir.Write("Config.dat", bytes + SampleProfile(1, u"a"));
    MemoryProfileList profiles;
    auto start = std::chrono::steady_clock::now();
    LoadConfig(path(), nullptr);
    LoadConfig(path(), &profiles);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(profiles.Count(), count < 0 ? 0 : 1) << count;
  }
}

TEST_F(ConfigFile, RandomContentNeverCrashes) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 50; ++round) {
    Reload();
    std::string bytes(rng() % 9000, '\0');
    for (auto& b : bytes) b = static_cast<char>(rng());
    dir.Write("Config.dat", bytes);
    MemoryProfileList profiles;
    LoadConfig(path(), nullptr);
    LoadConfig(path(), &profiles);
    EXPECT_LE(profiles.Count(), kMaxMissingProfiles + 4);
  }
}

// The colour words lie in bytes an earlier release wrote as zeros: its file reads as
// "Convert to sRGB" off on white, and saving it again changes nothing but the launch
// count; once set, exactly those eight bytes change.
TEST_F(ConfigFile, EarlierReleaseFileReadsColoursOffOnWhiteAndKeepsItsBytes) {
  std::string record = SampleRecord();
  std::memcpy(&record[0], Int32(1).data(), 4);  // ProfileCount
  std::memset(&record[128], 0, 8);
  std::string profile = SampleProfile(3, u"старый");
  std::memset(&profile[8 + 128 - kProfileBlockOffset], 0, 8);
  std::string original = record + profile;
  dir.Write("Config.dat", original);
  MemoryProfileList profiles;
  ASSERT_EQ(LoadStartupSettings(path()), ConfigResult::Ok);
  ASSERT_EQ(LoadConfig(path(), &profiles), ConfigResult::Ok);
  EXPECT_EQ(gAppSettings.ToSrgb, 0);
  EXPECT_EQ(BackgroundRgb(gAppSettings), 0xFFFFFFu);
  ASSERT_EQ(SaveShutdownSettings(path(), &profiles), ConfigResult::Ok);
  std::string saved = dir.Read("Config.dat");
  std::string expected = original;
  std::memcpy(&expected[48], Int32(6).data(), 4);  // LaunchCount 5 -> 6
  EXPECT_EQ(saved, expected);

  Reload();
  ASSERT_EQ(LoadConfig(path(), nullptr), ConfigResult::Ok);
  gAppSettings.ToSrgb = 1;
  gAppSettings.Background = StoredBackground(0x204060);
  ASSERT_EQ(SaveConfig(path(), nullptr), ConfigResult::Ok);
  std::string changed = dir.Read("Config.dat");
  ASSERT_EQ(changed.size(), kAppSettingsSize);
  std::memcpy(&expected[128], Int32(1).data(), 4);
  std::memcpy(&expected[132], Int32(0x01204060).data(), 4);
  EXPECT_EQ(changed, expected.substr(0, kAppSettingsSize));
}

// A profile keeps both colour options through Config.dat; one from an earlier release
// puts back off and white, whatever was in force.
TEST_F(ConfigFile, ProfilesCarryTheColourOptions) {
  ApplyDefaultSettings(&gAppSettings, u"/p");
  gAppSettings.LaunchCount = 1;
  MemoryProfileList profiles;
  std::string old = SampleProfile(9, u"старый");
  std::memset(&old[8 + 128 - kProfileBlockOffset], 0, 8);
  ProfileRecord oldRecord;
  std::memcpy(&oldRecord, old.data(), sizeof oldRecord);
  ASSERT_EQ(AddRecord(&profiles, oldRecord, &gAppSettings), 0);
  gAppSettings.ToSrgb = 1;
  gAppSettings.Background = StoredBackground(0x000000);
  ASSERT_EQ(AddProfile(&profiles, u"sRGB на чёрном", &gAppSettings), 1);
  gAppSettings.ToSrgb = 0;
  gAppSettings.Background = 0;
  ASSERT_EQ(SaveConfig(path(), &profiles), ConfigResult::Ok);

  Reload();
  MemoryProfileList loaded;
  ASSERT_EQ(LoadConfig(path(), nullptr), ConfigResult::Ok);
  ASSERT_EQ(LoadConfig(path(), &loaded), ConfigResult::Ok);
  ASSERT_EQ(loaded.Count(), 2);
  EXPECT_EQ(gAppSettings.ToSrgb, 0);
  ASSERT_TRUE(ActivateProfileRecord(loaded.At(1), &gAppSettings));
  EXPECT_EQ(gAppSettings.ToSrgb, 1);
  EXPECT_EQ(gAppSettings.Background, 0x01000000) << "black stays black, not the white of a stored 0";
  EXPECT_EQ(BackgroundRgb(gAppSettings), 0u);
  ASSERT_TRUE(ActivateProfileRecord(loaded.At(0), &gAppSettings));
  EXPECT_EQ(gAppSettings.ToSrgb, 0);
  EXPECT_EQ(BackgroundRgb(gAppSettings), 0xFFFFFFu);
}

// The folder-tree options lie in bytes 136..151, which an earlier release wrote as zeros
// and never reads: its file reads every option off (keep-dates included, which only a
// fresh file turns on) and is saved back unchanged; set, exactly those bytes change, and
// a profile carries them.
TEST_F(ConfigFile, EarlierReleaseFileReadsTheTreeOptionsOffAndKeepsItsBytes) {
  std::string record = SampleRecord();
  std::memcpy(&record[0], Int32(1).data(), 4);  // ProfileCount
  std::memset(&record[136], 0, 16);
  std::string profile = SampleProfile(3, u"старый");
  std::memset(&profile[8 + 136 - kProfileBlockOffset], 0, 16);
  std::string original = record + profile;
  dir.Write("Config.dat", original);
  MemoryProfileList profiles;
  ASSERT_EQ(LoadStartupSettings(path()), ConfigResult::Ok);
  ASSERT_EQ(LoadConfig(path(), &profiles), ConfigResult::Ok);
  EXPECT_EQ(gAppSettings.Recursive, 0);
  EXPECT_EQ(gAppSettings.KeepDates, 0);
  EXPECT_EQ(ExistingFilesRule(gAppSettings), kExistingReplace);
  EXPECT_EQ(gAppSettings.KeepIfSmaller, 0);
  ASSERT_EQ(SaveShutdownSettings(path(), &profiles), ConfigResult::Ok);
  std::string expected = original;
  std::memcpy(&expected[48], Int32(6).data(), 4);  // LaunchCount 5 -> 6
  EXPECT_EQ(dir.Read("Config.dat"), expected);

  Reload();
  MemoryProfileList again;
  ASSERT_EQ(LoadConfig(path(), nullptr), ConfigResult::Ok);
  ASSERT_EQ(LoadConfig(path(), &again), ConfigResult::Ok);
  gAppSettings.Recursive = 1;
  gAppSettings.KeepDates = 1;
  gAppSettings.ExistingFiles = kExistingCounter;
  gAppSettings.KeepIfSmaller = 1;
  ASSERT_EQ(AddProfile(&again, u"деревья", &gAppSettings), 1);
  ASSERT_EQ(SaveConfig(path(), &again), ConfigResult::Ok);
  std::string changed = dir.Read("Config.dat");
  ASSERT_EQ(changed.size(), kAppSettingsSize + 2 * kProfileRecordSize);
  std::memcpy(&expected[0], Int32(2).data(), 4);   // ProfileCount
  std::memcpy(&expected[12], Int32(8).data(), 4);  // LastProfileId
  for (int i = 0; i < 4; ++i) std::memcpy(&expected[136 + 4 * i], Int32(i == 2 ? 2 : 1).data(), 4);
  EXPECT_EQ(changed.substr(0, kAppSettingsSize), expected.substr(0, kAppSettingsSize));
  EXPECT_EQ(changed.substr(kAppSettingsSize, kProfileRecordSize), profile);
  std::string added = changed.substr(kAppSettingsSize + kProfileRecordSize);
  EXPECT_EQ(added.substr(8 + 136 - kProfileBlockOffset, 16), changed.substr(136, 16));

  Reload();
  MemoryProfileList loaded;
  ASSERT_EQ(LoadConfig(path(), nullptr), ConfigResult::Ok);
  ASSERT_EQ(LoadConfig(path(), &loaded), ConfigResult::Ok);
  ASSERT_TRUE(ActivateProfileRecord(loaded.At(0), &gAppSettings));
  EXPECT_EQ(gAppSettings.Recursive, 0);
  EXPECT_EQ(gAppSettings.KeepDates, 0);
  EXPECT_EQ(gAppSettings.ExistingFiles, 0);
  ASSERT_TRUE(ActivateProfileRecord(loaded.At(1), &gAppSettings));
  EXPECT_EQ(gAppSettings.Recursive, 1);
  EXPECT_EQ(gAppSettings.ExistingFiles, kExistingCounter);
  EXPECT_EQ(gAppSettings.KeepIfSmaller, 1);
}

TEST_F(ConfigFile, FreshFileKeepsDatesAndLeavesTheOtherTreeOptionsOff) {
  ASSERT_EQ(LoadStartupSettings(path()), ConfigResult::NoFile);
  EXPECT_EQ(gAppSettings.KeepDates, 1);
  EXPECT_EQ(gAppSettings.Recursive, 0);
  EXPECT_EQ(gAppSettings.ExistingFiles, kExistingReplace);
  EXPECT_EQ(gAppSettings.KeepIfSmaller, 0);
  // A value no release writes is "replace", as before the choice existed.
  for (int32_t stored : {-1, 3, 0x7FFFFFFF}) {
    gAppSettings.ExistingFiles = stored;
    EXPECT_EQ(ExistingFilesRule(gAppSettings), kExistingReplace) << stored;
  }
}

TEST_F(ConfigFile, FailedSaveLeavesTheOldFileWhole) {
  std::string original = SampleRecord();
  dir.Write("Config.dat", original);
  LoadConfig(path(), nullptr);
  gAppSettings.TargetSize = 99;
  // A save into a folder that does not exist fails without touching anything.
  EXPECT_EQ(SaveConfig(dir.Path("missing/Config.dat"), nullptr), ConfigResult::WriteFailed);
  // A read-only folder: the old file stays and no temporary file is left behind.
  ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
  if (::access(dir.path().c_str(), W_OK) != 0) {
    EXPECT_EQ(SaveConfig(path(), nullptr), ConfigResult::WriteFailed);
    EXPECT_EQ(dir.Read("Config.dat"), original);
  }
  ::chmod(dir.path().c_str(), 0755);
}

}  // namespace

namespace {

// Two sessions over each reproducer: the first start reads and saves, the second must
// find the same settings and profile numbers, never the first-start defaults.
TEST_F(ConfigFile, DamagedCountersSaturateAndNeverBringBackTheDefaults) {
  struct Row {
    const char* file;
    int32_t launchCount;    // after the first save
    int32_t lastProfileId;  // after the first save
  } rows[] = {
      {"config_lastprofileid_minus1.dat", 2, 1},
      {"config_lastprofileid_overflow.dat", 2, INT32_MAX},
      {"config_launchcount_minus1.dat", 1, 0},
      {"config_launchcount_overflow.dat", INT32_MAX, 0},
  };
  for (const Row& row : rows) {
    std::string bytes = ReadTestData(std::string("hostile/") + row.file);
    ASSERT_GE(bytes.size(), kAppSettingsSize) << row.file;
    std::memcpy(&bytes[108], "\x39\x05\0\0", 4);  // TargetSize 1337, which no default has
    dir.Write("Config.dat", bytes);
    std::vector<int32_t> ids[2];
    for (int session = 0; session < 2; ++session) {
      Reload();
      MemoryProfileList profiles;
      ASSERT_EQ(LoadStartupSettings(path()), ConfigResult::Ok);
      ASSERT_EQ(LoadConfig(path(), &profiles), ConfigResult::Ok);
      EXPECT_EQ(gAppSettings.TargetSize, 1337) << row.file << " session " << session;
      for (int32_t i = 0; i < profiles.Count(); ++i) ids[session].push_back(profiles.At(i)->Id);
      ASSERT_EQ(SaveShutdownSettings(path(), &profiles), ConfigResult::Ok);
      if (session == 0) {
        EXPECT_EQ(gAppSettings.LaunchCount, row.launchCount) << row.file;
        EXPECT_EQ(gAppSettings.LastProfileId, row.lastProfileId) << row.file;
      }
    }
    EXPECT_EQ(ids[0], ids[1]) << row.file << ": profiles renumbered";
    for (int32_t id : ids[0]) EXPECT_GT(id, 0) << row.file;
  }
}

}  // namespace
