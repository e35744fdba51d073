#include <gtest/gtest.h>

#include "ui/menu_rules.h"

namespace {

std::vector<int32_t> Ids(const std::vector<MenuRow>& rows) {
  std::vector<int32_t> ids;
  for (const auto& r : rows) ids.push_back(r.id);
  return ids;
}

TEST(FileListMenu, RowsFollowSelectionAndCount) {
  EXPECT_EQ(Ids(FileListMenuRows(u"", 0, 0)), (std::vector<int32_t>{100, 110}));
  EXPECT_EQ(Ids(FileListMenuRows(u"", 3, 0)), (std::vector<int32_t>{100, 110, 300, 0, -1}));
  auto rows = FileListMenuRows(u"/pics/holiday.jpg", 3, 8);
  EXPECT_EQ(Ids(rows), (std::vector<int32_t>{100, 110, 0, 500, 400, 600, 0, 200, 300, 0, -1}));
  EXPECT_TRUE(rows[1].checked);
  EXPECT_FALSE(FileListMenuRows(u"", 0, 0)[1].checked);
  EXPECT_EQ(rows[3].caption, u"Открыть файл: holiday.jpg");
  EXPECT_EQ(rows[4].caption, u"Открыть папку с файлом: holiday.jpg");
  EXPECT_EQ(rows[5].caption, u"Свойства файла: holiday.jpg");
  EXPECT_EQ(rows[7].caption, u"Удалить выделенный пункт: holiday.jpg");
}

// The list of the last run's failed files is offered only while it exists, and whatever
// the list holds, so that it stays one click away after the list changed.
TEST(FileListMenu, FailureListOfferedWhileItExists) {
  EXPECT_EQ(Ids(FileListMenuRows(u"", 0, 0, true)), (std::vector<int32_t>{100, 110, 700}));
  EXPECT_EQ(Ids(FileListMenuRows(u"/p/a.jpg", 1, 0, true)),
            (std::vector<int32_t>{100, 110, 700, 0, 500, 400, 600, 0, 200, 300, 0, -1}));
  EXPECT_EQ(Ids(FileListMenuRows(u"", 2, 0, false)), (std::vector<int32_t>{100, 110, 300, 0, -1}));
}

TEST(FileListMenu, NameIsTheLastComponentCutTo127) {
  EXPECT_EQ(MenuFileName(u"C:\\a\\b.png"), u"b.png");
  EXPECT_EQ(MenuFileName(u"C:b.png"), u"b.png");
  EXPECT_EQ(MenuFileName(u"/x/" + Text(200, u'n')), Text(127, u'n'));
}

TEST(TrayMenu, ShowsExactlyOneOfShowAndHide) {
  EXPECT_EQ(Ids(TrayMenuRows(true)), (std::vector<int32_t>{601, 612, 0, 604, 605}));
  EXPECT_EQ(Ids(TrayMenuRows(false)), (std::vector<int32_t>{600, 612, 0, 604, 605}));
  EXPECT_EQ(TrayMenuRows(false)[0].caption, u"Показать окно");
  EXPECT_EQ(TrayMenuRows(true)[4].caption, u"Остановить и выйти");
}

TEST(ListKeys, CaretAfterDelete) {
  EXPECT_EQ(CaretAfterDelete(4, 4), 3) << "deleting the last entry leaves the caret on the new last";
  EXPECT_EQ(CaretAfterDelete(1, 4), 1);
  EXPECT_EQ(CaretAfterDelete(0, 0), -1) << "deleting the only entry";
}

TEST(TrayBalloon, InfoFlagsFromTheIconArgument) {
  EXPECT_EQ(BalloonInfoFlags(u"", 0x14), 0x10u);
  EXPECT_EQ(BalloonInfoFlags(u"4", 0x10), 0x14u);
  EXPECT_EQ(BalloonInfoFlags(u"x", 0x14), 0x10u);
  EXPECT_EQ(BalloonInfoFlags(u"A000", 0x14), 0x14u);
}

}  // namespace
