// Where each text first stands in the file list, without regard to case. Adding a
// folder of thousands of files asks once per file whether it is listed already; a
// search through the whole list each time would make that quadratic (ten thousand
// files took minutes in the window). Both FileList forms keep one beside their entries.
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>

#include "base/text.h"

class FirstIndex {
 public:
  // A deletion shifts the positions after it; the index is then rebuilt on the next
  // search rather than patched, since deletions come from the user one at a time.
  void MarkStale() { stale_ = true; }
  bool stale() const { return stale_; }
  void Clear();
  // Notes an appended entry (an index that is stale waits for its rebuild instead).
  void Note(TextView text, int32_t position);
  void Rebuild(int32_t count, const std::function<Text(int32_t)>& textAt);
  // The first position of the text, or -1.
  int32_t Find(TextView text) const;

 private:
  std::unordered_map<Text, int32_t> first_;
  bool stale_ = true;
};
