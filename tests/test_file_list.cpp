#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "input/file_list.h"

namespace {

class FileList : public ::testing::Test {
 protected:
  void SetUp() override { FileListClear(); }
  void TearDown() override { FileListClear(); }
};

TEST_F(FileList, KeepsOrderAndStartsStampsAtZero) {
  EXPECT_EQ(FileListAppend(u"/p/b.jpg"), 0);
  EXPECT_EQ(FileListAppend(u"/p/a.jpg"), 1);
  EXPECT_EQ(FileListAppend(u"/p/c.jpg"), 2);
  ASSERT_EQ(FileListCount(), 3);
  EXPECT_EQ(FileListText(0), u"/p/b.jpg");
  EXPECT_EQ(FileListText(1), u"/p/a.jpg");
  EXPECT_EQ(FileListText(2), u"/p/c.jpg");
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(FileListStamp(i), 0u) << i;
}

TEST_F(FileList, OutOfRangeIndicesAreHarmless) {
  FileListAppend(u"/p/a.jpg");
  FileListSetStamp(0, 0xDEADBEEF);
  for (int32_t bad : {-1, 1, 2, 1000}) {
    EXPECT_EQ(FileListText(bad), u"") << bad;
    EXPECT_EQ(FileListStamp(bad), 0u) << bad;
    FileListSetStamp(bad, 7);
    FileListDelete(bad);
  }
  EXPECT_EQ(FileListCount(), 1);
  EXPECT_EQ(FileListStamp(0), 0xDEADBEEFu) << "a stray write must not land on a real entry";
}

TEST_F(FileList, FindIsCaseInsensitiveOverTheWholeText) {
  FileListAppend(u"/Pics/B.jpg");
  FileListAppend(u"/pics/b.png");
  FileListAppend(u"/фото/Кот.JPG");
  struct Row {
    const char16_t* search;
    int32_t index;
  } rows[] = {
      {u"/Pics/B.jpg", 0},   {u"/PICS/b.JPG", 0},    {u"/pics/b.png", 1},
      {u"/ФОТО/кот.jpg", 2},  // Cyrillic folds too
      {u"/pics/b.jp", -1},   // a prefix is not a match
      {u"/pics/b.jpgx", -1}, {u"pics/b.jpg", -1}, {u"", -1},
  };
  for (const auto& row : rows) EXPECT_EQ(FileListFind(row.search), row.index) << TextToUtf8(row.search);
}

TEST_F(FileList, FindGivesTheFirstOfAppendedDuplicates) {
  // Appending itself refuses nothing, as the list box does; callers search first.
  FileListAppend(u"/p/x.jpg");
  FileListAppend(u"/p/a.jpg");
  FileListAppend(u"/P/A.JPG");
  EXPECT_EQ(FileListCount(), 3);
  EXPECT_EQ(FileListFind(u"/p/a.jpg"), 1);
}

TEST_F(FileList, DeletingShiftsLaterEntriesAndFindFollows) {
  FileListAppend(u"/p/0.jpg");
  FileListAppend(u"/p/1.jpg");
  FileListAppend(u"/p/2.jpg");
  FileListAppend(u"/p/1.JPG");
  FileListSetStamp(2, 22);
  FileListDelete(1);
  ASSERT_EQ(FileListCount(), 3);
  EXPECT_EQ(FileListText(1), u"/p/2.jpg");
  EXPECT_EQ(FileListStamp(1), 22u) << "the stamp moves with its entry";
  EXPECT_EQ(FileListFind(u"/p/2.jpg"), 1);
  EXPECT_EQ(FileListFind(u"/p/1.jpg"), 2) << "the remaining duplicate is found at its new place";
  FileListDelete(0);
  EXPECT_EQ(FileListFind(u"/p/0.jpg"), -1);
  EXPECT_EQ(FileListAppend(u"/p/3.jpg"), 2);
  EXPECT_EQ(FileListFind(u"/p/3.jpg"), 2);
  FileListClear();
  EXPECT_EQ(FileListCount(), 0);
  EXPECT_EQ(FileListFind(u"/p/3.jpg"), -1);
  EXPECT_EQ(FileListAppend(u"/p/3.jpg"), 0);
}

TEST_F(FileList, WorkerReadsWhileEntriesAreAdded) {
  // The conversion worker walks the list while drops still append to it.
  constexpr int kCount = 5000;
  std::atomic<bool> done{false};
  std::atomic<int> badReads{0};
  std::thread reader([&] {
    while (!done) {
      int32_t n = FileListCount();
      for (int32_t i = 0; i < n; i += 97)
        if (FileListText(i) != u"/p/" + NumberText(i) + u".jpg") ++badReads;
    }
  });
  for (int i = 0; i < kCount; ++i) {
    FileListAppend(u"/p/" + NumberText(i) + u".jpg");
    FileListSetStamp(i, static_cast<uint32_t>(i));
  }
  done = true;
  reader.join();
  EXPECT_EQ(badReads, 0);
  EXPECT_EQ(FileListCount(), kCount);
  EXPECT_EQ(FileListStamp(kCount - 1), static_cast<uint32_t>(kCount - 1));
}

// The root goes with its entry: past deletions above it and new stamps; a root that
// leaves no name below it is no root (the file's output then follows the plain rule).
TEST_F(FileList, RootsStayWithTheirEntries) {
  FileListAppend(u"/p/a.jpg");
  FileListAppend(u"/top/sub/b.jpg", 5);
  FileListAppend(u"/top/c.jpg", 10);   // the whole text
  FileListAppend(u"/top/d.jpg", 99);   // past it
  FileListAppend(u"/top/e.jpg", -3);
  EXPECT_EQ(FileListRootUnits(1), 5);
  for (int32_t i : {0, 2, 3, 4, 5, -1}) EXPECT_EQ(FileListRootUnits(i), 0) << i;
  FileListSetStamp(1, 0xFFFFFFFF);
  FileListDelete(0);
  EXPECT_EQ(FileListText(0), u"/top/sub/b.jpg");
  EXPECT_EQ(FileListRootUnits(0), 5);
  EXPECT_EQ(FileListStamp(0), 0xFFFFFFFFu);
  FileListSetStamp(0, 7);
  EXPECT_EQ(FileListRootUnits(0), 5) << "a new stamp keeps the root";
}

}  // namespace
