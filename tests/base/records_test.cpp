// Field lists, record headers and the date and time record, with the framing's own examples.
#include "base/records.h"

#include <gtest/gtest.h>

#include "base/bytes.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

std::string Le(uint32_t n) {
  std::string s;
  AppendLe32(s, n);
  return s;
}

TEST(FieldList, EmptyFieldIsFourZeroBytesAndReadsBackToTheEnd) {
  std::string list;
  AppendField("", list);
  EXPECT_EQ(list, std::string(4, '\0'));
  long pos = 1;
  EXPECT_EQ(NextField(list, pos), "");
  EXPECT_EQ(pos, kFieldEnd);
}

TEST(FieldList, FieldsHoldAnyBytesAndReadInOrder) {
  std::string list;
  std::string binary("a\0b\xff", 4);
  AppendField("first", list);
  AppendField(binary, list);
  AppendField("", list);
  AppendField("last", list);
  EXPECT_EQ(list.substr(0, 9), Le(5) + "first");
  long pos = 1;
  EXPECT_EQ(NextField(list, pos), "first");
  EXPECT_EQ(pos, 10);
  EXPECT_EQ(NextField(list, pos), binary);
  EXPECT_EQ(NextField(list, pos), "");
  EXPECT_EQ(NextField(list, pos), "last");
  EXPECT_EQ(pos, kFieldEnd);
  // Reading on after the end changes nothing.
  EXPECT_EQ(NextField(list, pos), "");
  EXPECT_EQ(pos, kFieldEnd);
}

TEST(FieldList, StrayBytesAfterTheLastFieldGiveShortLength) {
  for (int stray = 1; stray <= 3; ++stray) {
    std::string list;
    AppendField("abc", list);
    list.append(static_cast<size_t>(stray), '\x01');
    long pos = 1;
    EXPECT_EQ(NextField(list, pos), "abc");
    EXPECT_GT(pos, 0);
    EXPECT_EQ(NextField(list, pos), "");
    EXPECT_EQ(pos, kFieldShortLength) << stray;
  }
}

TEST(FieldList, OverlongAndNegativeLengthsAreMalformed) {
  std::string list = Le(6) + "hello";  // claims one byte more than is left
  long pos = 1;
  EXPECT_EQ(NextField(list, pos), "");
  EXPECT_EQ(pos, kFieldOverlong);

  std::string negative = Le(0xFFFFFFFCu) + "abcdefgh";  // -4 would move the position back
  pos = 1;
  EXPECT_EQ(NextField(negative, pos), "");
  EXPECT_EQ(pos, kFieldOverlong);

  std::string huge = Le(0x7FFFFFFFu) + "x";  // no arithmetic overflow
  pos = 1;
  EXPECT_EQ(NextField(huge, pos), "");
  EXPECT_EQ(pos, kFieldOverlong);
}

TEST(FieldList, NegativeOrZeroStartPositions) {
  std::string list;
  AppendField("x", list);
  for (long start : {-1L, -2L, -3L}) {
    long pos = start;
    EXPECT_EQ(NextField(list, pos), "");
    EXPECT_EQ(pos, start);
  }
  long zero = 0;
  EXPECT_EQ(NextField(list, zero), "");
  EXPECT_LT(zero, 0);
  long empty_list_pos = 1;
  EXPECT_EQ(NextField("", empty_list_pos), "");
  EXPECT_EQ(empty_list_pos, kFieldShortLength);
}

TEST(FieldList, EveryTruncationOfARecordEndsTheReadLoop) {
  std::string list;
  for (const char* f : {"alpha", "", "gamma-gamma", "d"}) AppendField(f, list);
  for (size_t cut = 0; cut <= list.size(); ++cut) {
    std::string part = list.substr(0, cut);
    long pos = 1;
    int reads = 0;
    while (pos > 0 && reads < 100) {
      NextField(part, pos);
      ++reads;
    }
    EXPECT_LT(reads, 100);
    if (cut == list.size()) {
      EXPECT_EQ(pos, kFieldEnd);
    } else if (cut == 0) {
      EXPECT_EQ(pos, kFieldShortLength);
    }
  }
}

TEST(DateTimeRecord, SecondOfJanuary2005) {
  std::string record = MakeDateTimeRecord(LocalTime{2005, 1, 2, 9, 5, 7});
  std::string expected = "110001";
  expected += Le(5) + " 2005";
  for (const char* f : {" 1", " 2", " 9", " 5", " 7"}) expected += Le(2) + f;
  EXPECT_EQ(record, expected);

  test::RecordingUi ui;
  LocalTime back;
  ASSERT_TRUE(ReadDateTimeRecord(ui, record, back));
  EXPECT_EQ(back.year, 2005);
  EXPECT_EQ(back.month, 1);
  EXPECT_EQ(back.day, 2);
  EXPECT_EQ(back.hour, 9);
  EXPECT_EQ(back.minute, 5);
  EXPECT_EQ(back.second, 7);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(DateTimeRecord, DisplayTextIsDateBlankTime) {
  test::RecordingUi ui;
  std::string text = FormatDateTimeRecord(ui, MakeDateTimeRecord(LocalTime{2005, 1, 2, 9, 5, 7}));
  LocalTime t{2005, 1, 2, 9, 5, 7};
  EXPECT_EQ(text, ShortDateText(t) + " " + TimeText(t));
  EXPECT_LE(ShortDateText(t).size(), 11u);
  EXPECT_LE(TimeText(t).size(), 8u);
  EXPECT_NE(text.find(' '), std::string::npos);
}

TEST(DateTimeRecord, NonsenseValuesStillGiveAText) {
  test::RecordingUi ui;
  std::string text =
      FormatDateTimeRecord(ui, MakeDateTimeRecord(LocalTime{2005, 13, 45, 25, 61, 99}));
  EXPECT_FALSE(text.empty());
  // A record with missing fields reads them as zero.
  EXPECT_FALSE(FormatDateTimeRecord(ui, "110001").empty());
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(DateTimeRecord, CurrentRecordIsAValidTime) {
  test::RecordingUi ui;
  LocalTime t;
  ASSERT_TRUE(ReadDateTimeRecord(ui, CurrentDateTimeRecord(), t));
  EXPECT_TRUE(IsValidLocalTime(t));
  EXPECT_GE(t.year, 2024);
}

TEST(RecordHeader, WrongFormatShowsTheThreeLinesAndGivesNoText) {
  test::RecordingUi ui;
  std::string record = MakeDateTimeRecord(LocalTime{2005, 1, 2, 9, 5, 7});
  record[5] = '2';  // "110002"
  EXPECT_EQ(FormatDateTimeRecord(ui, record), "");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].key, "EnDec_WrongRecordFormat");
  EXPECT_EQ(ui.boxes[0].text,
            "Recordtype: 110\r\n"
            "Record is of format.........: 002\r\n"
            "while it should be of format: 001");
  EXPECT_EQ(ui.boxes[0].style, 16 + 4096 + 262144);
}

TEST(RecordHeader, WrongTypeNamesFoundAndExpected) {
  test::RecordingUi ui;
  EXPECT_FALSE(CheckRecordType(ui, "108001xyz", "111"));
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].key, "EnDec_WrongRecordType");
  EXPECT_EQ(ui.boxes[0].text,
            "Record is of type.........: 108\r\n"
            "while it should be of type: 111");
  EXPECT_TRUE(CheckRecordType(ui, "111001", "111"));
  EXPECT_TRUE(CheckRecordFormat(ui, "111001", "001"));
  EXPECT_EQ(ui.boxes.size(), 1u);
  // Short input is a mismatch, never a read past the end.
  EXPECT_FALSE(CheckRecordType(ui, "11", "111"));
  EXPECT_FALSE(CheckRecordFormat(ui, "1110", "001"));
  EXPECT_EQ(ui.boxes.size(), 3u);
}

}  // namespace
}  // namespace lq
