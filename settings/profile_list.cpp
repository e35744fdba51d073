#include "settings/profile_list.h"

int32_t AddRecord(ProfileList* list, ProfileRecord record, AppSettings* settings) {
  if (!list) return -1;
  if (record.Id == 0) record.Id = settings->LastProfileId = NextCount(settings->LastProfileId);
  int32_t position = list->Append(record);
  if (position < 0) return -1;
  settings->ProfileCount = list->Count();
  return position;
}

int32_t MemoryProfileList::Count() const {
  return static_cast<int32_t>(records_.size());
}

const ProfileRecord* MemoryProfileList::At(int32_t index) const {
  return index >= 0 && index < Count() ? records_[static_cast<size_t>(index)].get() : nullptr;
}

int32_t MemoryProfileList::Append(const ProfileRecord& record) {
  records_.push_back(std::make_unique<ProfileRecord>(record));
  return Count() - 1;
}

bool MemoryProfileList::Replace(int32_t index, const ProfileRecord& record) {
  if (!At(index)) return false;
  records_[static_cast<size_t>(index)] = std::make_unique<ProfileRecord>(record);
  return true;
}

void MemoryProfileList::Delete(int32_t index) {
  if (At(index)) records_.erase(records_.begin() + index);
}

void MemoryProfileList::ReleaseAll() {
  records_.clear();
}
