// The FileList of the native build: the entries in memory, in the order they were added.
// The conversion worker reads the list from its own thread while the user-interface
// thread may append, so every operation holds one lock.
#include <mutex>
#include <vector>

#include "input/file_list.h"
#include "input/first_index.h"

namespace {

struct Entry {
  Text text;
  uint32_t stamp = 0;
  int32_t rootUnits = 0;
};

std::mutex gLock;
std::vector<Entry> gEntries;
FirstIndex gFirstIndex;

bool InRange(int32_t index) {
  return index >= 0 && static_cast<size_t>(index) < gEntries.size();
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

int32_t FileListRootUnits(int32_t index) {
  std::lock_guard<std::mutex> hold(gLock);
  return InRange(index) ? gEntries[index].rootUnits : 0;
}

void FileListSetStamp(int32_t index, uint32_t stamp) {
  std::lock_guard<std::mutex> hold(gLock);
  if (InRange(index)) gEntries[index].stamp = stamp;
}

int32_t FileListAppend(TextView text, int32_t rootUnits) {
  std::lock_guard<std::mutex> hold(gLock);
  int32_t index = static_cast<int32_t>(gEntries.size());
  gEntries.push_back(Entry{Text(text), 0, RootUnitsFor(text, rootUnits)});
  gFirstIndex.Note(text, index);
  return index;
}

int32_t FileListFind(TextView text) {
  std::lock_guard<std::mutex> hold(gLock);
  if (gFirstIndex.stale())
    gFirstIndex.Rebuild(static_cast<int32_t>(gEntries.size()), [](int32_t i) { return gEntries[i].text; });
  return gFirstIndex.Find(text);
}

void FileListDelete(int32_t index) {
  std::lock_guard<std::mutex> hold(gLock);
  if (!InRange(index)) return;
  gEntries.erase(gEntries.begin() + index);
  gFirstIndex.MarkStale();
}

void FileListClear() {
  std::lock_guard<std::mutex> hold(gLock);
  gEntries.clear();
  gFirstIndex.Clear();
}

// Selection and scroll range are properties of a visible list; the memory list has neither.
void FileListSelect(int32_t) {}

void FileListUpdateExtent() {}

void FileListHoldRedraw(bool) {}

void FileListShowLast() {}
