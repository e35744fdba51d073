// The FileList of the native build: the entries in memory, in the order they were added.
// The conversion worker reads the list from its own thread while the user-interface
// thread may append, so every operation holds one lock.
#include <mutex>
#include <unordered_map>
#include <vector>

#include "input/file_list.h"

namespace {

struct Entry {
  Text text;
  uint32_t stamp = 0;
};

std::mutex gLock;
std::vector<Entry> gEntries;
// Lower-cased text -> index of its first entry. Adding a folder of thousands of files
// searches once per file, and a linear search each time would make that quadratic.
// A deletion shifts the indices after it; the index is then rebuilt on the next search
// rather than patched, since deletions come from the user one at a time.
std::unordered_map<Text, int32_t> gFirstIndex;
bool gIndexStale = false;

bool InRange(int32_t index) {
  return index >= 0 && static_cast<size_t>(index) < gEntries.size();
}

void RebuildIndex() {
  gFirstIndex.clear();
  for (size_t i = 0; i < gEntries.size(); ++i) gFirstIndex.emplace(ToLower(gEntries[i].text), static_cast<int32_t>(i));
  gIndexStale = false;
}

}  // namespace

int32_t FileListCount() {
  std::lock_guard<std::mutex> hold(gLock);
  return static_cast<int32_t>(gEntries.size());
}

Text FileListText(int32_t index) {
  std::lock_guard<std::mutex> hold(gLock);
  return InRange(index) ? gEntries[index].text : Text();
}

uint32_t FileListStamp(int32_t index) {
  std::lock_guard<std::mutex> hold(gLock);
  return InRange(index) ? gEntries[index].stamp : 0;
}

void FileListSetStamp(int32_t index, uint32_t stamp) {
  std::lock_guard<std::mutex> hold(gLock);
  if (InRange(index)) gEntries[index].stamp = stamp;
}

int32_t FileListAppend(TextView text) {
  std::lock_guard<std::mutex> hold(gLock);
  int32_t index = static_cast<int32_t>(gEntries.size());
  gEntries.push_back(Entry{Text(text), 0});
  // Like the list box, appending does not refuse duplicates; the index keeps the first.
  if (!gIndexStale) gFirstIndex.emplace(ToLower(text), index);
  return index;
}

int32_t FileListFind(TextView text) {
  std::lock_guard<std::mutex> hold(gLock);
  if (gIndexStale) RebuildIndex();
  auto found = gFirstIndex.find(ToLower(text));
  return found == gFirstIndex.end() ? -1 : found->second;
}

void FileListDelete(int32_t index) {
  std::lock_guard<std::mutex> hold(gLock);
  if (!InRange(index)) return;
  gEntries.erase(gEntries.begin() + index);
  gIndexStale = true;
}

void FileListClear() {
  std::lock_guard<std::mutex> hold(gLock);
  gEntries.clear();
  gFirstIndex.clear();
  gIndexStale = false;
}

// Selection and scroll range are properties of a visible list; the memory list has neither.
void FileListSelect(int32_t) {}

void FileListUpdateExtent() {}
