// The two inactivity counters: ticks, resets, what a tick decides, and the absence messages.
#include "app/inactivity.h"

#include <gtest/gtest.h>

namespace lq {
namespace {

Settings WithTimers(long long hide_on, long long hide_min, long long close_on,
                    long long close_min) {
  Settings s;
  s.auto_hide = hide_on;
  s.auto_hide_minutes = hide_min;
  s.auto_close = close_on;
  s.auto_close_minutes = close_min;
  return s;
}

TEST(Inactivity, HidesExactlyWhenTheFirstCounterReachesTheMinutes) {
  Inactivity in;
  const Settings s = WithTimers(1, 3, 0, 0);
  EXPECT_EQ(in.Tick(s, true), TickDecision{});
  EXPECT_EQ(in.Tick(s, true), TickDecision{});
  EXPECT_EQ(in.Tick(s, true), (TickDecision{true, false}));
  EXPECT_EQ(in.hide_count, 3);
  // Once per idle stretch, not again on every later tick.
  EXPECT_EQ(in.Tick(s, true), TickDecision{});
}

TEST(Inactivity, ClosesOnlyWhenOnAndAKeyfileIsOpen) {
  const Settings s = WithTimers(0, 0, 1, 2);
  Inactivity open, closed;
  open.Tick(s, true);
  EXPECT_EQ(open.Tick(s, true), (TickDecision{false, true}));
  closed.Tick(s, false);
  EXPECT_EQ(closed.Tick(s, false), TickDecision{});
  Inactivity off;
  const Settings disabled = WithTimers(0, 2, 0, 2);
  off.Tick(disabled, true);
  EXPECT_EQ(off.Tick(disabled, true), TickDecision{});
}

TEST(Inactivity, BothTimersCanFireOnTheSameTick) {
  Inactivity in;
  const Settings s = WithTimers(1, 1, 1, 1);
  EXPECT_EQ(in.Tick(s, true), (TickDecision{true, true}));
}

TEST(Inactivity, ZeroMinutesNeverFire) {
  Inactivity in;
  const Settings s = WithTimers(1, 0, 1, 0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(in.Tick(s, true), TickDecision{});
}

TEST(Inactivity, EventCodesOneTwoAndThirtyTwoResetBothCounters) {
  for (int code : {1, 2, 32}) {
    Inactivity in;
    in.hide_count = 4;
    in.close_count = 9;
    EXPECT_TRUE(in.OnEvent(code));
    EXPECT_EQ(in.hide_count, 0) << code;
    EXPECT_EQ(in.close_count, 0) << code;
  }
  for (int code : {0, 3, 4, 5, 6, 7, 14, 16, 31, 33, 64}) {
    Inactivity in;
    in.hide_count = 4;
    in.close_count = 9;
    EXPECT_FALSE(in.OnEvent(code));
    EXPECT_EQ(in.hide_count, 4) << code;
    EXPECT_EQ(in.close_count, 9) << code;
  }
}

TEST(Inactivity, ActivityPostponesTheAction) {
  Inactivity in;
  const Settings s = WithTimers(1, 2, 0, 0);
  in.Tick(s, true);
  in.OnEvent(1);
  EXPECT_EQ(in.Tick(s, true), TickDecision{});
  EXPECT_EQ(in.Tick(s, true), (TickDecision{true, false}));
}

TEST(Inactivity, TheUnhideHotkeyResetsOnlyTheHidingCounter) {
  Inactivity in;
  in.hide_count = 5;
  in.close_count = 5;
  in.OnUnhideHotkey();
  EXPECT_EQ(in.hide_count, 0);
  EXPECT_EQ(in.close_count, 5);
}

TEST(Absence, LockAndSuspendCloseTheKeyfileWhenAutoCloseIsOn) {
  const Settings on = WithTimers(0, 0, 1, 30);
  const Settings off = WithTimers(0, 0, 0, 30);
  EXPECT_TRUE(IsAbsenceMessage(0x02B1, 7));
  EXPECT_TRUE(IsAbsenceMessage(0x0218, 4));
  EXPECT_FALSE(IsAbsenceMessage(0x02B1, 8));   // unlock
  EXPECT_FALSE(IsAbsenceMessage(0x0218, 18));  // resume
  EXPECT_FALSE(IsAbsenceMessage(0x0112, 7));
  EXPECT_TRUE(CloseKeyfileOnAbsence(on, true, kWmWtsSessionChange, kWtsSessionLock));
  EXPECT_TRUE(CloseKeyfileOnAbsence(on, true, kWmPowerBroadcast, kPbtApmSuspend));
  EXPECT_FALSE(CloseKeyfileOnAbsence(off, true, kWmWtsSessionChange, kWtsSessionLock));
  EXPECT_FALSE(CloseKeyfileOnAbsence(on, false, kWmWtsSessionChange, kWtsSessionLock));
}

}  // namespace
}  // namespace lq
