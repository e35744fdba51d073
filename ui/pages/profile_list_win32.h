// The profile list of the conversion-parameters page: a list box whose items are the
// captions and whose item data are the records, private heap copies the list owns.
#pragma once

#include <windows.h>

#include "settings/profile_list.h"

class ListBoxProfileList : public ProfileList {
 public:
  void Attach(HWND list) { list_ = list; }
  HWND window() const { return list_; }

  int32_t Count() const override;
  const ProfileRecord* At(int32_t index) const override;
  int32_t Append(const ProfileRecord& record) override;
  bool Replace(int32_t index, const ProfileRecord& record) override;
  void Delete(int32_t index) override;
  void ReleaseAll() override;

 private:
  HWND list_ = nullptr;
};

// The page's list; its window is 0 before the page is built and after it is gone.
extern ListBoxProfileList gProfileList;
