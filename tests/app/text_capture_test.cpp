// Text capture against the scripted Desktop and a fake target program that answers Ctrl+A,
// Ctrl+C and Ctrl+V as an edit window does: the selection is fetched when there is one, else
// the whole text; a target that never answers is given up after its time on the fake clock;
// the click wait ignores a button held at its start; the main window is minimised and restored.
#include "app/text_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/scripted_desktop.h"
#include "support/fake_editor.h"

namespace lq {
namespace {

// The sticky form and the main window as the capture code drives them.
class RecordingSurface : public CaptureSurface {
 public:
  std::vector<std::string> calls;
  void ShowStickyForm(const std::vector<std::string>& lines) override {
    std::string line = "show";
    for (const auto& l : lines) line += " [" + l + "]";
    calls.push_back(line);
    shown = true;
  }
  void MoveStickyForm(ScreenPoint cursor) override {
    EXPECT_TRUE(shown) << "moved while closed";
    last_move = cursor;
    ++moves;
  }
  void CloseStickyForm() override {
    calls.push_back("close");
    shown = false;
  }
  void MinimizeMainWindow() override { calls.push_back("minimize"); }
  void RestoreMainWindow() override { calls.push_back("restore"); }
  bool shown = false;
  int moves = 0;
  ScreenPoint last_move;
};

struct Fixture {
  ScriptedDesktop desktop;
  RecordingSurface surface;
  std::vector<std::string> log;
  CaptureContext context{desktop, surface, false,
                         [this](std::string_view l) { log.emplace_back(l); }};
  FakeEditor editor;
  Fixture() {
    desktop.clipboard = "old clipboard text";
    editor.Attach(desktop);
  }
};

TEST(FetchText, TheSelectionAloneIsFetchedAndNothingElseSelected) {
  Fixture f;
  f.editor.text = "Dear Bob, the packet follows.";
  f.editor.sel_from = 5;
  f.editor.sel_to = 8;
  EXPECT_EQ(FetchTextFromFocusedWindow(f.context), "Bob");
  EXPECT_EQ(f.log, std::vector<std::string>{"Copying text from window"});
  EXPECT_EQ(f.editor.select_alls, 0);
  EXPECT_EQ(f.editor.copies, 1);
  EXPECT_EQ(f.surface.calls,
            (std::vector<std::string>{"show [Fetching text.] [Just a moment...]", "close"}));
  EXPECT_TRUE(f.desktop.keys_down.empty());
  // The old clipboard text was emptied first, so it cannot pass for the window's.
  EXPECT_EQ(f.desktop.CallsStartingWith("ClearClipboard").size(), 1u);
}

TEST(FetchText, WithoutASelectionTheWholeTextIsSelectedAndFetched) {
  Fixture f;
  f.editor.text = "-----BEGIN PACKET-----\r\nabc\r\n-----END PACKET-----";
  f.editor.sel_from = f.editor.sel_to = 4;
  EXPECT_EQ(FetchTextFromFocusedWindow(f.context), f.editor.text);
  EXPECT_EQ(f.editor.select_alls, 1);
  EXPECT_EQ(f.surface.calls,
            (std::vector<std::string>{"show [Fetching text.] [Just a moment...]", "close",
                                      "show [Fetching text.] [Just a moment...]", "close"}));
  // The first attempt kept trying for 0.3 s before it selected everything: four rounds of
  // Ctrl+C (40 ms of keys and pauses) and 50 ms.
  EXPECT_GT(f.editor.select_all_ms - f.editor.first_copy_ms, 300u);
  EXPECT_LE(f.editor.select_all_ms - f.editor.first_copy_ms, 400u);
  // The whole text stays selected: pasting the result replaces it.
  ASSERT_TRUE(PasteIntoFocusedWindow(f.context, "the answer"));
  EXPECT_EQ(f.editor.text, "the answer");
}

TEST(FetchText, ATargetThatNeverAnswersIsGivenUpAfterAboutTenSeconds) {
  Fixture f;
  f.editor.text = "unreachable";
  f.editor.answers_copy = false;
  const uint64_t start = f.desktop.clock_ms;
  EXPECT_EQ(FetchTextFromFocusedWindow(f.context), "");
  const uint64_t took = f.desktop.clock_ms - start;
  EXPECT_GT(took, 10300u);
  EXPECT_LT(took, 10600u);
  EXPECT_TRUE(f.desktop.keys_down.empty());
  EXPECT_FALSE(f.surface.shown);
  // Every round of the second attempt let events run.
  EXPECT_GT(f.desktop.CallsStartingWith("Pump").size(), 200u);
}

TEST(FetchText, ASlowTargetIsWaitedFor) {
  Fixture f;
  f.editor.text = "slow program";
  f.editor.answers_after_ms = 2500;
  const uint64_t start = f.desktop.clock_ms;
  EXPECT_EQ(FetchTextFromFocusedWindow(f.context), "slow program");
  EXPECT_LT(f.desktop.clock_ms - start, 2700u);
}

TEST(FetchText, AClipboardThatCannotBeEmptiedFetchesNothing) {
  Fixture f;
  f.editor.text = "text";
  f.desktop.fail_next.insert("ClearClipboard");
  EXPECT_EQ(FetchTextFromFocusedWindow(f.context), "");
  EXPECT_TRUE(f.desktop.sent_keys.empty());
  EXPECT_TRUE(f.surface.calls.empty());
}

TEST(WaitForClick, AButtonHeldAtTheStartDoesNotCount) {
  Fixture f;
  f.desktop.buttons_down.insert(MouseButton::kLeft);  // still down from the toolbar click
  int pumps = 0;
  bool clicked = false;
  f.desktop.on_pump = [&] {
    ++pumps;
    if (pumps == 10) f.desktop.buttons_down.clear();
    if (pumps == 30) {
      EXPECT_TRUE(f.surface.shown);
      f.desktop.cursor = {200, 150};
      f.desktop.buttons_pressed.insert(MouseButton::kRight);  // pressed and released already
      clicked = true;
    }
  };
  WaitForClick(f.context, {"Click the window", "to paste the text."});
  EXPECT_TRUE(clicked);
  EXPECT_EQ(f.surface.calls,
            (std::vector<std::string>{"show [Click the window] [to paste the text.]", "close"}));
  EXPECT_EQ(f.surface.last_move, (ScreenPoint{200, 150}));
  EXPECT_GT(f.surface.moves, 5);
  EXPECT_TRUE(f.desktop.buttons_pressed.empty());
}

TEST(WaitForClick, ReturnsOnlyWhenTheClickIsReleased) {
  Fixture f;
  int pumps = 0;
  f.desktop.on_pump = [&] {
    ++pumps;
    if (pumps == 8) f.desktop.buttons_down.insert(MouseButton::kMiddle);
    if (pumps == 20) f.desktop.buttons_down.clear();
  };
  WaitForClick(f.context, {"Click"});
  EXPECT_GE(pumps, 20);
  EXPECT_TRUE(f.desktop.buttons_down.empty());
  EXPECT_EQ(f.surface.calls.back(), "close");
}

TEST(WaitForClick, MinimisesTheMainWindowWhenSet) {
  Fixture f;
  f.context.minimize_during_click = true;
  f.desktop.buttons_pressed.insert(MouseButton::kLeft);  // a click before the wait began
  int pumps = 0;
  f.desktop.on_pump = [&] {
    if (++pumps == 6) f.desktop.buttons_pressed.insert(MouseButton::kLeft);
  };
  WaitForClick(f.context, {"Click"});
  EXPECT_EQ(f.surface.calls, (std::vector<std::string>{"minimize", "show [Click]", "close"}));
}

TEST(WaitForModifiers, ReturnsWhenCtrlShiftAndAltAreUp) {
  Fixture f;
  f.desktop.keys_down = {16, 17, 18};
  int pumps = 0;
  f.desktop.on_pump = [&] {
    ++pumps;
    if (pumps == 3) f.desktop.keys_down.erase(17);
    if (pumps == 5) f.desktop.keys_down.erase(16);
    if (pumps == 9) f.desktop.keys_down.erase(18);
  };
  WaitForModifierKeysReleased(f.context);
  EXPECT_EQ(pumps, 9);
}

TEST(Paste, IntoTheFocusedWindowThroughTheClipboard) {
  Fixture f;
  f.editor.text = "abc";
  f.editor.sel_from = 1;
  f.editor.sel_to = 2;
  ASSERT_TRUE(PasteIntoFocusedWindow(f.context, "XYZ", true));
  EXPECT_EQ(f.editor.text, "aXYZc");
  EXPECT_TRUE(f.desktop.clipboard_secret);
  // A clipboard that does not take the text pastes nothing (not what it held before).
  f.desktop.fail_next.insert("SetClipboardText");
  EXPECT_FALSE(PasteIntoFocusedWindow(f.context, "lost"));
  EXPECT_EQ(f.editor.text, "aXYZc");
  EXPECT_EQ(f.editor.pastes, 1);
}

TEST(Paste, IntoAClickedWindowWithTheMainWindowMinimisedAndRestored) {
  Fixture f;
  f.context.minimize_during_click = true;
  f.editor.text = "";
  int pumps = 0;
  f.desktop.on_pump = [&] {
    if (++pumps == 4) {
      EXPECT_EQ(f.editor.pastes, 0);
      f.desktop.buttons_pressed.insert(MouseButton::kLeft);
    }
  };
  ASSERT_TRUE(PasteIntoClickedWindow(f.context, "armored", {"Click the target"}));
  EXPECT_EQ(f.editor.text, "armored");
  EXPECT_EQ(f.surface.calls,
            (std::vector<std::string>{"minimize", "show [Click the target]", "close", "restore"}));
  // No click is waited for when the clipboard refuses the text.
  f.desktop.fail_next.insert("SetClipboardText");
  f.surface.calls.clear();
  EXPECT_FALSE(PasteIntoClickedWindow(f.context, "x", {"Click"}));
  EXPECT_TRUE(f.surface.calls.empty());
}

}  // namespace
}  // namespace lq
