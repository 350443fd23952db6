// Hotkeys over the scripted Desktop: atom names, the modifier conversion for every combination,
// registration with its message, the never-lose-a-hotkey store, and the WM_HOTKEY dispatch.
#include "app/hotkeys.h"

#include <gtest/gtest.h>

#include "base/catalogue.h"
#include "platform/scripted_desktop.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using test::RecordingUi;

constexpr WindowId kMain = 0x1234;
constexpr char kReserved[] = "General_Hotkey_already_reserved";

Settings Defaults() {
  Settings s;
  SetDefaultSettings(s, "C:\\T\\");
  return s;
}

// The control's Shift 1, Ctrl 2, Alt 4 against RegisterHotKey's Alt 1, Ctrl 2, Shift 4, every
// combination written out by hand.
struct Pair {
  unsigned control, registered;
};
constexpr Pair kAllCombinations[] = {
    {0, 0},
    {kHotkeyfShift, kModShift},
    {kHotkeyfControl, kModControl},
    {kHotkeyfAlt, kModAlt},
    {kHotkeyfShift | kHotkeyfControl, kModShift | kModControl},
    {kHotkeyfShift | kHotkeyfAlt, kModShift | kModAlt},
    {kHotkeyfControl | kHotkeyfAlt, kModControl | kModAlt},
    {kHotkeyfShift | kHotkeyfControl | kHotkeyfAlt, kModShift | kModControl | kModAlt},
};

TEST(HotkeyConversion, EveryCombinationBothWays) {
  for (const Pair& p : kAllCombinations) {
    EXPECT_EQ(ControlToRegisterModifiers(p.control), p.registered) << p.control;
    EXPECT_EQ(RegisterToControlModifiers(p.registered), p.control) << p.registered;
  }
  // The literal numbers of the single flags.
  EXPECT_EQ(ControlToRegisterModifiers(1), 4u);
  EXPECT_EQ(ControlToRegisterModifiers(4), 1u);
  EXPECT_EQ(ControlToRegisterModifiers(2), 2u);
  EXPECT_EQ(RegisterToControlModifiers(4), 1u);
  EXPECT_EQ(RegisterToControlModifiers(1), 4u);
}

TEST(HotkeyConversion, OtherBitsAreDropped) {
  EXPECT_EQ(ControlToRegisterModifiers(kHotkeyfExt | kHotkeyfAlt), kModAlt);
  EXPECT_EQ(RegisterToControlModifiers(kModWin | kModShift), kHotkeyfShift);
  EXPECT_EQ(ControlToRegisterModifiers(0xF0), 0u);
}

TEST(HotkeyConversion, ControlValuesCarryKeyAndModifiers) {
  EXPECT_EQ(HotkeyControlValue(kModAlt, 122), (4u << 8) | 122);
  EXPECT_EQ(HotkeyControlValue(kModControl | kModShift, 'E'), (3u << 8) | 'E');
  unsigned mods = 99, key = 99;
  FromHotkeyControlValue((6u << 8) | 0x70, mods, key);
  EXPECT_EQ(mods, kModControl | kModAlt);
  EXPECT_EQ(key, 0x70u);
  for (const Pair& p : kAllCombinations) {
    FromHotkeyControlValue(HotkeyControlValue(p.registered, 'K'), mods, key);
    EXPECT_EQ(mods, p.registered);
    EXPECT_EQ(key, unsigned('K'));
  }
}

TEST(HotkeyAtoms, NamesCarryTheSecondsOfTheDay) {
  EXPECT_EQ(HotkeyAtomName(HotkeyAction::kEncrypt, 45296), "Lockquill_Encrypt 45296");
  EXPECT_EQ(HotkeyAtomName(HotkeyAction::kDecrypt, 0), "Lockquill_Decrypt 0");
  EXPECT_EQ(HotkeyAtomName(HotkeyAction::kUnhide, 86399), "Lockquill_Unhide 86399");
  ScriptedDesktop d;
  const HotkeyIds ids = CreateHotkeyAtoms(d, 100);
  EXPECT_EQ(d.CallsStartingWith("AddGlobalAtom"),
            (std::vector<std::string>{"AddGlobalAtom Lockquill_Encrypt 100 -> 49152",
                                      "AddGlobalAtom Lockquill_Decrypt 100 -> 49153",
                                      "AddGlobalAtom Lockquill_Unhide 100 -> 49154"}));
  EXPECT_EQ(ids.encrypt, 49152);
  EXPECT_EQ(ids.decrypt, 49153);
  EXPECT_EQ(ids.unhide, 49154);
}

TEST(RegisterHotkeys, RegistersTheThreeInOrderFromTheSettings) {
  ScriptedDesktop d;
  RecordingUi ui;
  const HotkeyIds ids = CreateHotkeyAtoms(d, 7);
  EXPECT_EQ(RegisterHotkeys(ui, d, kMain, ids, Defaults()), 3);
  EXPECT_EQ(d.CallsStartingWith("RegisterHotkey"),
            (std::vector<std::string>{"RegisterHotkey 4660 49152 1 122 -> 1",
                                      "RegisterHotkey 4660 49153 1 123 -> 1",
                                      "RegisterHotkey 4660 49154 1 121 -> 1"}));
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(RegisterHotkeys, ATakenHotkeyIsReportedAndTheOthersStillRegister) {
  ScriptedDesktop d;
  RecordingUi ui;
  d.taken_hotkeys.insert({kModAlt, 123});
  const HotkeyIds ids = CreateHotkeyAtoms(d, 7);
  EXPECT_EQ(RegisterHotkeys(ui, d, kMain, ids, Defaults()), 2);
  ASSERT_EQ(ui.MessageKeys(), std::vector<std::string>{kReserved});
  EXPECT_EQ(ui.LastBox().style, 16 + 4096 + 262144);
  EXPECT_FALSE(d.HasHotkey(kMain, ids.decrypt, kModAlt, 123));
  EXPECT_TRUE(d.HasHotkey(kMain, ids.unhide, kModAlt, 121));
}

TEST(RegisterHotkeys, ASecondInstanceInAnotherSecondGetsOtherAtomsButNoHotkeys) {
  ScriptedDesktop d;  // one desktop, two programs
  RecordingUi ui1, ui2;
  const HotkeyIds first = CreateHotkeyAtoms(d, 100);
  const HotkeyIds second = CreateHotkeyAtoms(d, 101);
  EXPECT_NE(first.encrypt, second.encrypt);
  EXPECT_EQ(RegisterHotkeys(ui1, d, 1, first, Defaults()), 3);
  EXPECT_EQ(RegisterHotkeys(ui2, d, 2, second, Defaults()), 0);
  EXPECT_EQ(ui2.MessageKeys(), (std::vector<std::string>{kReserved, kReserved, kReserved}));
}

TEST(RegisterHotkeys, NoKeyOrNoAtomIsSkippedQuietly) {
  ScriptedDesktop d;
  RecordingUi ui;
  HotkeyIds ids = CreateHotkeyAtoms(d, 7);
  ids.unhide = 0;
  Settings s = Defaults();
  s.decrypt_key = 0;
  EXPECT_EQ(RegisterHotkeys(ui, d, kMain, ids, s), 1);
  EXPECT_TRUE(ui.boxes.empty());
}

class StoreHotkeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ids = CreateHotkeyAtoms(d, 7);
    ASSERT_EQ(RegisterHotkeys(ui, d, kMain, ids, s), 3);
  }
  ScriptedDesktop d;
  RecordingUi ui;
  Settings s = Defaults();
  HotkeyIds ids;
};

TEST_F(StoreHotkeyTest, TheNewKeyReplacesTheOldOne) {
  // Ctrl+Shift+E from the control.
  const unsigned value = ((kHotkeyfControl | kHotkeyfShift) << 8) | 'E';
  EXPECT_EQ(StoreHotkey(ui, d, kMain, ids, s, HotkeyAction::kEncrypt, value),
            StoreHotkeyResult::kStored);
  EXPECT_EQ(s.encrypt_modifiers, kModControl | kModShift);
  EXPECT_EQ(s.encrypt_key, 'E');
  EXPECT_TRUE(d.HasHotkey(kMain, ids.encrypt, kModControl | kModShift, 'E'));
  // The old Alt+F11 no longer triggers encryption: it was unregistered before.
  EXPECT_FALSE(d.HotkeyHeld(kModAlt, 122));
  EXPECT_TRUE(ui.boxes.empty());
  const auto calls = d.CallsStartingWith("UnregisterHotkey");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], "UnregisterHotkey 4660 49152 -> 1");
}

TEST_F(StoreHotkeyTest, ATakenKeyKeepsTheOldOneWorkingAndInTheSettings) {
  d.taken_hotkeys.insert({kModControl, 'Q'});
  const unsigned value = (kHotkeyfControl << 8) | 'Q';
  EXPECT_EQ(StoreHotkey(ui, d, kMain, ids, s, HotkeyAction::kDecrypt, value),
            StoreHotkeyResult::kRefused);
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{kReserved});
  EXPECT_TRUE(d.HasHotkey(kMain, ids.decrypt, kModAlt, 123));
  EXPECT_EQ(s.decrypt_modifiers, kModAlt);
  EXPECT_EQ(s.decrypt_key, 123);
  // The GUI shows the kept key in the control again.
  EXPECT_EQ(HotkeyControlValue(static_cast<unsigned>(s.decrypt_modifiers),
                               static_cast<unsigned>(s.decrypt_key)),
            (kHotkeyfAlt << 8) | 123u);
}

TEST_F(StoreHotkeyTest, AKeyTakenByAnotherActionOfOursIsRefusedToo) {
  const unsigned value = (kHotkeyfAlt << 8) | 121;  // the unhide key
  EXPECT_EQ(StoreHotkey(ui, d, kMain, ids, s, HotkeyAction::kEncrypt, value),
            StoreHotkeyResult::kRefused);
  EXPECT_TRUE(d.HasHotkey(kMain, ids.encrypt, kModAlt, 122));
  EXPECT_TRUE(d.HasHotkey(kMain, ids.unhide, kModAlt, 121));
}

TEST_F(StoreHotkeyTest, StoringTheSameKeyAgainKeepsIt) {
  EXPECT_EQ(StoreHotkey(ui, d, kMain, ids, s, HotkeyAction::kUnhide, (kHotkeyfAlt << 8) | 121),
            StoreHotkeyResult::kStored);
  EXPECT_TRUE(d.HasHotkey(kMain, ids.unhide, kModAlt, 121));
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(StoreHotkeyTest, AnEmptyControlClearsTheHotkey) {
  EXPECT_EQ(StoreHotkey(ui, d, kMain, ids, s, HotkeyAction::kUnhide, 0),
            StoreHotkeyResult::kCleared);
  EXPECT_EQ(s.unhide_key, 0);
  EXPECT_FALSE(d.HotkeyHeld(kModAlt, 121));
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(StoreHotkey, WhenTheOldKeyNeverWorkedARefusalLeavesTheSettings) {
  ScriptedDesktop d;
  RecordingUi ui;
  Settings s = Defaults();
  d.taken_hotkeys.insert({kModAlt, 122});
  d.taken_hotkeys.insert({kModShift, 'Z'});
  const HotkeyIds ids = CreateHotkeyAtoms(d, 7);
  RegisterHotkeys(ui, d, kMain, ids, s);  // encrypt failed at start-up
  ui.boxes.clear();
  EXPECT_EQ(StoreHotkey(ui, d, kMain, ids, s, HotkeyAction::kEncrypt, (kHotkeyfShift << 8) | 'Z'),
            StoreHotkeyResult::kRefusedLost);
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{kReserved});
  EXPECT_EQ(s.encrypt_key, 122);
}

TEST(HotkeyDispatch, IdentifiersMapToTheirActions) {
  HotkeyIds ids{0xC001, 0xC002, 0xC003};
  EXPECT_EQ(HotkeyForIdentifier(ids, 0xC001), HotkeyAction::kEncrypt);
  EXPECT_EQ(HotkeyForIdentifier(ids, 0xC002), HotkeyAction::kDecrypt);
  EXPECT_EQ(HotkeyForIdentifier(ids, 0xC003), HotkeyAction::kUnhide);
  EXPECT_EQ(HotkeyForIdentifier(ids, 0xC004), std::nullopt);
  HotkeyIds none;  // atoms that failed are 0: a WM_HOTKEY of 0 is not ours
  EXPECT_EQ(HotkeyForIdentifier(none, 0), std::nullopt);
}

}  // namespace
}  // namespace lq
