#include "ui/pages/profile_list_win32.h"

#include "base/wide_win32.h"

ListBoxProfileList gProfileList;

namespace {

ProfileRecord* NewCopy(const ProfileRecord& record) {
  void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ProfileRecord));
  if (!block) return nullptr;
  auto* copy = static_cast<ProfileRecord*>(block);
  *copy = record;
  return copy;
}

void FreeCopy(ProfileRecord* copy) {
  if (copy) HeapFree(GetProcessHeap(), 0, copy);
}

ProfileRecord* ItemRecord(HWND list, int32_t index) {
  LRESULT data = SendMessageW(list, LB_GETITEMDATA, index, 0);
  return data == LB_ERR ? nullptr : reinterpret_cast<ProfileRecord*>(data);
}

}  // namespace

int32_t ListBoxProfileList::Count() const {
  if (!list_) return 0;
  LRESULT count = SendMessageW(list_, LB_GETCOUNT, 0, 0);
  return count == LB_ERR ? 0 : static_cast<int32_t>(count);
}

const ProfileRecord* ListBoxProfileList::At(int32_t index) const {
  return list_ && index >= 0 && index < Count() ? ItemRecord(list_, index) : nullptr;
}

int32_t ListBoxProfileList::Append(const ProfileRecord& record) {
  if (!list_) return -1;
  ProfileRecord* copy = NewCopy(record);
  if (!copy) return -1;
  Text caption(FieldView(record.Caption));
  LRESULT position = SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(caption)));
  if (position == LB_ERR || position == LB_ERRSPACE) {
    FreeCopy(copy);
    return -1;
  }
  SendMessageW(list_, LB_SETITEMDATA, position, reinterpret_cast<LPARAM>(copy));
  return static_cast<int32_t>(position);
}

bool ListBoxProfileList::Replace(int32_t index, const ProfileRecord& record) {
  if (!list_ || index < 0 || index >= Count()) return false;
  ProfileRecord* copy = NewCopy(record);
  if (!copy) return false;
  FreeCopy(ItemRecord(list_, index));
  Text caption(FieldView(record.Caption));
  SendMessageW(list_, LB_DELETESTRING, index, 0);
  SendMessageW(list_, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(Wide(caption)));
  SendMessageW(list_, LB_SETITEMDATA, index, reinterpret_cast<LPARAM>(copy));
  return true;
}

void ListBoxProfileList::Delete(int32_t index) {
  if (!list_ || index < 0 || index >= Count()) return;
  FreeCopy(ItemRecord(list_, index));
  SendMessageW(list_, LB_DELETESTRING, index, 0);
}

void ListBoxProfileList::ReleaseAll() {
  if (!list_) return;
  for (int32_t i = Count() - 1; i >= 0; --i) FreeCopy(ItemRecord(list_, i));
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
}
