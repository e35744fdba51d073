#include <gtest/gtest.h>

#include <cstring>

#include "app/handover.h"

namespace {

TEST(HandoverRecord, TextIsCutTo2047UnitsAndTerminated) {
  HandoverRecord record;
  std::memset(&record, 0xAB, sizeof record);
  record.TargetWindow = 0x00012345;
  SetHandoverText(&record, Text(3000, u'x'));
  EXPECT_EQ(record.TargetWindow, 0x00012345u);
  EXPECT_EQ(HandoverText(record), Text(2047, u'x'));
  EXPECT_EQ(record.CommandText[2047], 0);
  // Bytes on the wire: the handle, then UTF-16LE text.
  const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
  EXPECT_EQ(bytes[0], 0x45);
  EXPECT_EQ(bytes[4], 'x');
  EXPECT_EQ(bytes[5], 0);
}

TEST(HandoverRecord, EmptyTailIsStillSent) {
  HandoverRecord record{};
  SetHandoverText(&record, u"old text");
  SetHandoverText(&record, u"");
  EXPECT_EQ(HandoverText(record), u"");
}

TEST(CommandLineTail, ProgramPathQuotedOrBare) {
  struct Row {
    const char16_t* line;
    const char16_t* tail;
  } rows[] = {
      {u"\"C:\\Program Files\\Tessaly.exe\"  \"D:\\a b\\x.jpg\" y.png", u"\"D:\\a b\\x.jpg\" y.png"},
      {u"C:\\Tools\\Tessaly.exe /auto", u"/auto"},
      {u"Tessaly.exe", u""},
      {u"\"C:\\T.exe\"", u""},
      {u"\"C:\\unterminated", u""},
      {u"", u""},
  };
  for (const auto& row : rows) EXPECT_EQ(CommandLineTail(row.line), row.tail) << TextToUtf8(row.line);
}

TEST(CommandLineTail, HiddenStartAndErrorLine) {
  EXPECT_TRUE(WantsHiddenStart(u"x.jpg /auto"));
  EXPECT_TRUE(WantsHiddenStart(u"/autostart"));
  EXPECT_FALSE(WantsHiddenStart(u"/AUTO"));
  EXPECT_EQ(SystemErrorLine(5, u"Access is denied.\r\n"), u"5 Access is denied.\r\n");
  EXPECT_EQ(SystemErrorLine(0, u""), u"0 ");
}

}  // namespace
