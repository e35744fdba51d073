// The profile list that Config.dat fills and drains. The conversion-parameters page
// keeps its profiles in a list box; the command-line front end and the tests keep them
// in memory. Both follow the same adding rule (AddRecord).
#pragma once

#include <memory>
#include <vector>

#include "settings/app_settings.h"

class ProfileList {
 public:
  virtual ~ProfileList() = default;
  virtual int32_t Count() const = 0;
  // The record at a position, or nullptr past the end.
  virtual const ProfileRecord* At(int32_t index) const = 0;
  // Appends a private copy with the record's caption as item text; returns its position.
  virtual int32_t Append(const ProfileRecord& record) = 0;
  // Puts a private copy of the record at an existing position, with its caption as item
  // text, and releases the copy held there. False for a position past the end.
  virtual bool Replace(int32_t index, const ProfileRecord& record) = 0;
  // Removes the item and releases its record.
  virtual void Delete(int32_t index) = 0;
  // Releases every record; the list is empty afterwards.
  virtual void ReleaseAll() = 0;
};

// Adds a record as the new last item: a record whose Id is 0 is numbered with
// LastProfileId + 1 first, and ProfileCount follows the list. Returns the position, or
// -1 when there is no list or the copy could not be made.
int32_t AddRecord(ProfileList* list, ProfileRecord record, AppSettings* settings);

class MemoryProfileList : public ProfileList {
 public:
  int32_t Count() const override;
  const ProfileRecord* At(int32_t index) const override;
  int32_t Append(const ProfileRecord& record) override;
  bool Replace(int32_t index, const ProfileRecord& record) override;
  void Delete(int32_t index) override;
  void ReleaseAll() override;

 private:
  std::vector<std::unique_ptr<ProfileRecord>> records_;
};
