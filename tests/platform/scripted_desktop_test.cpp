// The scripted Desktop keeps the Win32 behaviours the program's logic relies on: a hotkey
// combination held by anyone cannot be registered again, an id registered twice keeps both
// combinations until it is unregistered, atoms are shared by name, and scripted failures fail
// exactly once.
#include "platform/scripted_desktop.h"

#include <gtest/gtest.h>

namespace lq {
namespace {

TEST(ScriptedDesktop, AnIdRegisteredTwiceKeepsItsFirstCombination) {
  ScriptedDesktop d;
  EXPECT_TRUE(d.RegisterHotkey(1, 100, 1, 122));
  EXPECT_TRUE(d.RegisterHotkey(1, 100, 2, 65));
  EXPECT_TRUE(d.HasHotkey(1, 100, 1, 122));
  EXPECT_TRUE(d.HasHotkey(1, 100, 2, 65));
  EXPECT_TRUE(d.UnregisterHotkey(1, 100));
  EXPECT_FALSE(d.HotkeyHeld(1, 122));
  EXPECT_FALSE(d.UnregisterHotkey(1, 100));
}

TEST(ScriptedDesktop, AHeldOrTakenCombinationCannotBeRegistered) {
  ScriptedDesktop d;
  d.taken_hotkeys.insert({4, 'X'});
  EXPECT_FALSE(d.RegisterHotkey(1, 5, 4, 'X'));
  EXPECT_TRUE(d.RegisterHotkey(1, 5, 1, 'X'));
  EXPECT_FALSE(d.RegisterHotkey(2, 9, 1, 'X'));  // another window, same keys
  EXPECT_EQ(d.calls.back(), "RegisterHotkey 2 9 1 88 -> 0");
}

TEST(ScriptedDesktop, AtomsAreSharedByNameAndFailuresAreUsedUp) {
  ScriptedDesktop d;
  const uint16_t a = d.AddGlobalAtom("Lockquill_Encrypt 5");
  EXPECT_EQ(a, 0xC000);
  EXPECT_EQ(d.AddGlobalAtom("Lockquill_Encrypt 5"), a);
  EXPECT_NE(d.AddGlobalAtom("Lockquill_Encrypt 6"), a);
  d.fail_next.insert("AddGlobalAtom");
  EXPECT_EQ(d.AddGlobalAtom("other"), 0);
  EXPECT_NE(d.AddGlobalAtom("other"), 0);
}

TEST(ScriptedDesktop, ClipboardKeepsTheSecretFlag) {
  ScriptedDesktop d;
  std::string text;
  d.clipboard_has_text = false;
  EXPECT_FALSE(d.GetClipboardText(text));
  EXPECT_TRUE(d.SetClipboardText("plain", true));
  EXPECT_TRUE(d.clipboard_secret);
  EXPECT_TRUE(d.GetClipboardText(text));
  EXPECT_EQ(text, "plain");
  d.fail_next.insert("SetClipboardText");
  EXPECT_FALSE(d.SetClipboardText("lost", false));
  EXPECT_EQ(d.clipboard, "plain");
  EXPECT_TRUE(d.clipboard_secret);
}

TEST(ScriptedDesktop, KeysClicksWindowsAndProcessesAreRecorded) {
  ScriptedDesktop d;
  EXPECT_EQ(
      d.SendKeys(
          {{0x11, false, false}, {'V', false, false}, {'V', true, false}, {0x11, true, false}}),
      4u);
  EXPECT_EQ(d.calls.back(), "SendKeys 17d 86d 86u 17u");
  EXPECT_TRUE(d.keys_down.empty());
  d.windows[10] = {"Untitled - Notepad", "Notepad", 0, {-1, -1}};
  d.windows[11] = {"", "Edit", 10, {50, 60}};
  d.windows[12] = {"", "msctls_statusbar32", 10, {-1, -1}};
  EXPECT_EQ(d.TopLevelWindows(), std::vector<WindowId>{10});
  EXPECT_EQ(d.ChildWindows(10), (std::vector<WindowId>{11, 12}));
  EXPECT_EQ(d.FindTopLevelWindow("Notepad", ""), 10u);
  EXPECT_EQ(d.FindTopLevelWindow("", "nothing"), 0u);
  EXPECT_EQ(d.WindowAt({50, 60}), 11u);
  EXPECT_EQ(d.WindowClass(11), "Edit");
  EXPECT_TRUE(d.ActivateWindow(10));
  EXPECT_EQ(d.ForegroundWindow(), 10u);
  EXPECT_FALSE(d.ActivateWindow(99));
  EXPECT_TRUE(d.ClickMouse({5, 6}, MouseButton::kLeft));
  EXPECT_EQ(d.CursorPosition(), (ScreenPoint{5, 6}));

  d.exit_codes.push_back(3);
  const ProcessId done = d.StartProcess({"sxview.exe", "packet.lqe", "", false});
  const ProcessId hung = d.StartProcess({"other.exe", "", "", true});
  int code = -1;
  EXPECT_EQ(d.WaitForProcess(done, 1000, code), WaitResult::kExited);
  EXPECT_EQ(code, 3);
  EXPECT_EQ(d.WaitForProcess(hung, 500, code), WaitResult::kTimedOut);
  d.CloseProcess(done);
  EXPECT_EQ(d.WaitForProcess(done, 0, code), WaitResult::kFailed);
}

TEST(ScriptedDesktop, LibrariesAnswerFromTheScript) {
  ScriptedDesktop d;
  static int marker = 0;
  d.libraries["mapi32.dll"]["MAPISendMail"] = &marker;
  EXPECT_EQ(d.OpenLibrary("missing.dll"), 0u);
  const LibraryId lib = d.OpenLibrary("mapi32.dll");
  ASSERT_NE(lib, 0u);
  EXPECT_EQ(d.LibrarySymbol(lib, "MAPISendMail"), &marker);
  EXPECT_EQ(d.LibrarySymbol(lib, "MAPILogon"), nullptr);
  d.CloseLibrary(lib);
  EXPECT_EQ(d.LibrarySymbol(lib, "MAPISendMail"), nullptr);
}

}  // namespace
}  // namespace lq
