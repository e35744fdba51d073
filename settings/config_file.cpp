#include "settings/config_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/filesys.h"
#include "base/paths.h"

bool gSettingsLoaded = false;

Text ConfigPath() {
  return ProgramFolder() + u"Config.dat";
}

namespace {

// Copies what the file holds at [offset, offset + size) into out; bytes past the end of
// the file read as zero.
void ReadPadded(const std::vector<uint8_t>& file, size_t offset, void* out, size_t size) {
  std::memset(out, 0, size);
  if (offset >= file.size()) return;
  std::memcpy(out, file.data() + offset, std::min(size, file.size() - offset));
}

int32_t ProfilesToLoad(int32_t stored, uint64_t fileSize) {
  if (stored <= 0) return 0;
  uint64_t present = fileSize > kAppSettingsSize ? (fileSize - kAppSettingsSize) / kProfileRecordSize : 0;
  int64_t wanted = stored;
  if (wanted > static_cast<int64_t>(present) + kMaxMissingProfiles) wanted = static_cast<int64_t>(std::min<uint64_t>(present, kMaxLoadedProfiles));
  return static_cast<int32_t>(std::min<int64_t>(wanted, kMaxLoadedProfiles));
}

}  // namespace

ConfigResult LoadConfig(TextView path, ProfileList* list) {
  if (!FsFileExists(path)) return ConfigResult::NoFile;
  std::vector<uint8_t> file;
  uint64_t fileSize = 0;
  // Only the part that can be loaded is read, so a huge or garbage file costs bounded
  // memory.
  constexpr size_t kMostUseful = kAppSettingsSize + size_t{kMaxLoadedProfiles} * kProfileRecordSize;
  if (FsReadFileHead(path, kMostUseful, &file, &fileSize) != ReadResult::Ok) return ConfigResult::ReadFailed;
  if (!gSettingsLoaded) {
    ReadPadded(file, 0, &gAppSettings, kAppSettingsSize);
    gSettingsLoaded = true;
  }
  if (list && gAppSettings.ProfileCount != 0) {
    int32_t count = ProfilesToLoad(gAppSettings.ProfileCount, fileSize);
    for (int32_t i = 0; i < count; ++i) {
      ProfileRecord record;
      ReadPadded(file, kAppSettingsSize + static_cast<size_t>(i) * kProfileRecordSize, &record, sizeof record);
      AddRecord(list, record, &gAppSettings);
    }
    gAppSettings.ProfileCount = list->Count();
  }
  return ConfigResult::Ok;
}

ConfigResult SaveConfig(TextView path, ProfileList* list) {
  if (list) gAppSettings.ProfileCount = list->Count();
  std::vector<uint8_t> bytes(kAppSettingsSize);
  std::memcpy(bytes.data(), &gAppSettings, kAppSettingsSize);
  if (list) {
    for (int32_t i = 0; i < list->Count(); ++i) {
      const auto* record = reinterpret_cast<const uint8_t*>(list->At(i));
      bytes.insert(bytes.end(), record, record + kProfileRecordSize);
    }
    list->ReleaseAll();
  }
  return FsWriteFileReplacing(path, bytes.data(), bytes.size()) ? ConfigResult::Ok : ConfigResult::WriteFailed;
}
