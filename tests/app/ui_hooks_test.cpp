// The logic of the main window's hooks: time stamp, status colour, the progress model, the
// editor's capacity and the overwrite dialog's file lines.
#include "app/ui_hooks.h"

#include <gtest/gtest.h>

namespace lq {
namespace {

TEST(TimeStamp, DateDashTime) {
  const LocalTime t{2005, 1, 2, 9, 5, 7};
  EXPECT_EQ(TimeStampText(t), ShortDateText(t) + " - " + TimeText(t));
#ifndef _WIN32
  EXPECT_EQ(TimeStampText(t), "2005-01-02 - 09:05:07");  // the host's numeric form
#endif
}

TEST(TimeStamp, PartsAreCappedAtTheirWidths) {
  // A year beyond four digits makes the numeric date longer than 11 characters.
  const LocalTime t{123456, 1, 2, 9, 5, 7};
  const std::string s = TimeStampText(t);
  const size_t dash = s.find(" - ");
  ASSERT_NE(dash, std::string::npos);
  EXPECT_LE(dash, 11u);
  EXPECT_LE(s.size() - dash - 3, 8u);
}

TEST(StatusColour, OnlyExactlyRedIsRed) {
  EXPECT_EQ(StatusColourNumber("red"), 20);
  EXPECT_EQ(StatusColourNumber("green"), 18);
  EXPECT_EQ(StatusColourNumber("Red"), 18);
  EXPECT_EQ(StatusColourNumber("red "), 18);
  EXPECT_EQ(StatusColourNumber(""), 18);
}

TEST(Progress, ShowSwapsTheBarsAndSetsTheWaitCursor) {
  ProgressView p;
  EXPECT_TRUE(p.StatusBarVisible());
  p.Show(0, 10);
  EXPECT_TRUE(p.bar_visible);
  EXPECT_FALSE(p.StatusBarVisible());
  EXPECT_TRUE(p.wait_cursor);
  EXPECT_EQ(p.BarPosition(), 0);
  EXPECT_EQ(p.BarMaximum(), 10);
  p.Update(4, 10);
  EXPECT_EQ(p.BarPosition(), 4);
  p.Hide();
  EXPECT_TRUE(p.StatusBarVisible());
  EXPECT_FALSE(p.wait_cursor);
}

TEST(Progress, PositionsStayInsideTheRange) {
  ProgressView p;
  p.Show(15, 10);
  EXPECT_EQ(p.BarPosition(), 10);
  p.Update(-3, 10);
  EXPECT_EQ(p.BarPosition(), 0);
  p.Update(1, -1);
  EXPECT_EQ(p.BarMaximum(), 0);
  EXPECT_EQ(p.BarPosition(), 0);
}

TEST(Progress, AStretchedBarNeverReachesItsEnd) {
  ProgressView p;
  long position = 3, maximum = 5;
  p.Show(position, maximum);
  for (int i = 0; i < 200000; ++i) {
    ++position;
    ++maximum;  // StretchProgress
    p.Update(position, maximum);
    ASSERT_LT(p.BarPosition(), p.BarMaximum()) << i;
  }
  EXPECT_EQ(p.BarMaximum(), 65535);  // scaled into the bar's range
  EXPECT_GT(p.BarPosition(), 65000);
}

TEST(Progress, LargeRangesAreScaled) {
  ProgressView p;
  p.Show(1000000, 2000000);
  EXPECT_EQ(p.BarMaximum(), 65535);
  EXPECT_EQ(p.BarPosition(), 32767);
  p.Update(2000000, 2000000);
  EXPECT_EQ(p.BarPosition(), 65535);
}

TEST(EditorCapacity, RaisedToLengthPlusAddingPlusTenThousandAndNeverLowered) {
  EXPECT_EQ(ReserveEditorCapacity(5000, 8000, 0), 15000);
  EXPECT_EQ(ReserveEditorCapacity(5000, 15000, 0), 15000);
  EXPECT_EQ(ReserveEditorCapacity(5000, 99999, 10), 99999);
  EXPECT_EQ(ReserveEditorCapacity(0, 0, 2500000000LL), 2500010000LL);
}

TEST(OverwriteLine, SizeDateAndTimeWithFourBlanksBetween) {
  const LocalTime t{2004, 3, 7, 12, 34, 56};
  EXPECT_EQ(OverwriteFileLine(1536, t), "1.500 Kb    " + ShortDateText(t) + "    " + TimeText(t));
  EXPECT_EQ(OverwriteFileLine(600, t).substr(0, 13), "600 Bytes    ");
}

}  // namespace
}  // namespace lq
