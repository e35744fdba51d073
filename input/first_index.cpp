#include "input/first_index.h"

void FirstIndex::Clear() {
  first_.clear();
  stale_ = false;
}

void FirstIndex::Note(TextView text, int32_t position) {
  // emplace keeps an earlier position: the list itself does not refuse duplicates.
  if (!stale_) first_.emplace(ToLower(text), position);
}

void FirstIndex::Rebuild(int32_t count, const std::function<Text(int32_t)>& textAt) {
  first_.clear();
  for (int32_t i = 0; i < count; ++i) first_.emplace(ToLower(textAt(i)), i);
  stale_ = false;
}

int32_t FirstIndex::Find(TextView text) const {
  auto found = first_.find(ToLower(text));
  return found == first_.end() ? -1 : found->second;
}
