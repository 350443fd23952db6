// The passphrase dialogs' hiding as a state machine: typing, backspace, refused keys and mouse
// selection, undo, paste rules, the selection watch, the hide toggle, OK, cancel and the modes.
#include "app/passphrase_entry.h"

#include <gtest/gtest.h>

#include "base/catalogue.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using test::RecordingUi;

// Types a text of single-byte characters through WM_CHAR.
void Type(HiddenTextBox& box, std::string_view text) {
  for (unsigned char c : text) box.OnChar(c);
}

TEST(HiddenTextBox, ThreeLettersShowThreeStarsAndReturnTheLetters) {
  HiddenTextBox box;
  EXPECT_EQ(box.Start("", true), "");
  EXPECT_EQ(box.OnChar('a'), BoxVerdict::kReplace);
  EXPECT_EQ(box.BoxText(), "*");
  Type(box, "bc");
  EXPECT_EQ(box.BoxText(), "***");
  // Unticking the box shows the letters themselves.
  EXPECT_EQ(box.SetHiding(false, "***"), "abc");
  EXPECT_FALSE(box.Hiding());
  EXPECT_EQ(box.Length(), 0u);  // the buffer was wiped; the box holds the text now
  EXPECT_EQ(box.TakeResult("abc"), "abc");
}

TEST(HiddenTextBox, OkReturnsTheHiddenTextNotTheStars) {
  HiddenTextBox box;
  box.Start("", true);
  Type(box, "P4ss w0rd!~");
  EXPECT_EQ(box.TakeResult(box.BoxText()), "P4ss w0rd!~");
  EXPECT_EQ(box.Length(), 0u);
}

TEST(HiddenTextBox, BackspaceRemovesTheLastCharacter) {
  HiddenTextBox box;
  box.Start("", true);
  Type(box, "xyz");
  EXPECT_EQ(box.OnChar(8), BoxVerdict::kReplace);
  EXPECT_EQ(box.BoxText(), "**");
  EXPECT_EQ(box.OnChar(8), BoxVerdict::kReplace);
  EXPECT_EQ(box.OnChar(8), BoxVerdict::kReplace);
  EXPECT_EQ(box.OnChar(8), BoxVerdict::kRefuse);  // nothing left
  Type(box, "q");
  EXPECT_EQ(box.TakeResult("*"), "q");
}

TEST(HiddenTextBox, CharactersOutside32To126NeverEnterTheTextAndAreRefusedVisibly) {
  HiddenTextBox box;
  box.Start("", true);
  Type(box, "a");
  for (uint32_t code : {0xE9u, 0xFCu, 0x20ACu, 127u, 0xD83Du}) {
    EXPECT_EQ(box.OnChar(code), BoxVerdict::kRefuseVisibly) << code;
  }
  EXPECT_EQ(box.OnChar(31), BoxVerdict::kRefuse);
  EXPECT_EQ(box.OnChar(13), BoxVerdict::kRefuse);   // Enter
  EXPECT_EQ(box.OnChar(26), BoxVerdict::kRefuse);   // Ctrl+Z: undo
  EXPECT_EQ(box.OnChar(24), BoxVerdict::kRefuse);   // Ctrl+X: cut
  EXPECT_EQ(box.OnChar(22), BoxVerdict::kPass);     // Ctrl+V: becomes WM_PASTE
  EXPECT_EQ(box.OnChar(32), BoxVerdict::kReplace);  // the blank is a character
  EXPECT_EQ(box.OnChar(126), BoxVerdict::kReplace);
  EXPECT_EQ(box.TakeResult(""), "a ~");
}

TEST(HiddenTextBox, TheTextLimitIsRefusedVisibly) {
  HiddenTextBox box(3);
  box.Start("", true);
  Type(box, "abc");
  EXPECT_EQ(box.OnChar('d'), BoxVerdict::kRefuseVisibly);
  EXPECT_EQ(box.TakeResult(""), "abc");
}

TEST(HiddenTextBox, CaretAndSelectionKeysAreRefused) {
  HiddenTextBox box;
  box.Start("", true);
  for (int vk = 0x21; vk <= 0x28; ++vk) {
    EXPECT_EQ(box.OnKeyDown(vk, false), vk == 0x27 ? BoxVerdict::kPass : BoxVerdict::kRefuse) << vk;
  }
  for (int vk = 0x21; vk <= 0x29; ++vk) EXPECT_EQ(box.OnKeyDown(vk, true), BoxVerdict::kRefuse);
  EXPECT_EQ(box.OnKeyDown(0x29, false), BoxVerdict::kPass);
  EXPECT_EQ(box.OnKeyDown(0x0D, false), BoxVerdict::kRefuse);  // Enter
  EXPECT_EQ(box.OnKeyDown(0x2E, false), BoxVerdict::kRefuse);  // Delete
  EXPECT_EQ(box.OnKeyDown(0x2E, true), BoxVerdict::kRefuse);   // Shift+Delete would cut
  EXPECT_EQ(box.OnKeyDown('A', true), BoxVerdict::kPass);
  EXPECT_EQ(box.OnKeyDown(0x08, false), BoxVerdict::kPass);  // backspace comes as WM_CHAR
}

TEST(HiddenTextBox, MouseSelectionUndoCutAndTheContextMenuAreRefused) {
  HiddenTextBox box;
  box.Start("", true);
  EXPECT_EQ(box.OnDoubleClick(), BoxVerdict::kRefuse);
  EXPECT_EQ(box.OnMouseMove(true), BoxVerdict::kRefuse);
  EXPECT_EQ(box.OnMouseMove(false), BoxVerdict::kPass);
  EXPECT_EQ(box.OnUndo(), BoxVerdict::kRefuse);
  EXPECT_EQ(box.OnCut(), BoxVerdict::kRefuse);
  EXPECT_EQ(box.OnClear(), BoxVerdict::kRefuse);
  EXPECT_EQ(box.OnContextMenu(), BoxVerdict::kRefuse);
}

TEST(HiddenTextBox, WithHidingOffEverythingPasses) {
  HiddenTextBox box;
  EXPECT_EQ(box.Start("visible", false), "visible");
  EXPECT_EQ(box.OnChar(0xE9), BoxVerdict::kPass);
  EXPECT_EQ(box.OnKeyDown(0x25, true), BoxVerdict::kPass);
  EXPECT_EQ(box.OnDoubleClick(), BoxVerdict::kPass);
  EXPECT_EQ(box.OnMouseMove(true), BoxVerdict::kPass);
  EXPECT_EQ(box.OnUndo(), BoxVerdict::kPass);
  EXPECT_EQ(box.OnPaste("x"), BoxVerdict::kPass);
  EXPECT_FALSE(box.SelectionMustBeCancelled(false, 0, 3));
  EXPECT_EQ(box.BoxText(), "");
  EXPECT_EQ(box.TakeResult("what the box holds"), "what the box holds");
}

TEST(HiddenTextBox, PasteIntoAnEmptyBoxTakesTheClipboardText) {
  HiddenTextBox box;
  box.Start("", true);
  EXPECT_EQ(box.OnPaste("s3cret"), BoxVerdict::kReplace);
  EXPECT_EQ(box.BoxText(), "******");
  EXPECT_EQ(box.TakeResult(box.BoxText()), "s3cret");
}

TEST(HiddenTextBox, PasteCountsCharactersNotBytesAndStopsAtTheLineEnd) {
  HiddenTextBox box;
  box.Start("", true);
  EXPECT_EQ(box.OnPaste("pa\xC3\xA9s\r\nsecond line"), BoxVerdict::kReplace);
  EXPECT_EQ(box.BoxText(), "****");
  // Backspace removes the whole last character, a multi-byte one too.
  box.OnChar(8);
  box.OnChar(8);
  EXPECT_EQ(box.TakeResult(""), "pa");
}

TEST(HiddenTextBox, PasteIntoABoxWithTextIsRefusedAndKeepsTheText) {
  HiddenTextBox box;
  box.Start("", true);
  Type(box, "ab");
  EXPECT_EQ(box.OnPaste("zzz"), BoxVerdict::kPasteRefused);
  EXPECT_EQ(box.BoxText(), "**");
  EXPECT_EQ(box.TakeResult(""), "ab");
}

TEST(HiddenTextBox, TheWatchCancelsASelectionOnlyWhenNoButtonIsDown) {
  HiddenTextBox box;
  box.Start("", true);
  Type(box, "abcd");
  EXPECT_TRUE(box.SelectionMustBeCancelled(false, 1, 3));
  EXPECT_FALSE(box.SelectionMustBeCancelled(true, 1, 3));   // still dragging
  EXPECT_FALSE(box.SelectionMustBeCancelled(false, 4, 4));  // only a caret
}

TEST(HiddenTextBox, TurningHidingOnTakesTheBoxText) {
  HiddenTextBox box;
  box.Start("", false);
  EXPECT_EQ(box.SetHiding(true, "typed"), "*****");
  Type(box, "!");
  EXPECT_EQ(box.TakeResult("******"), "typed!");
  // Toggling to the state it is in changes nothing.
  HiddenTextBox again;
  again.Start("", true);
  Type(again, "k");
  EXPECT_EQ(again.SetHiding(true, "*"), "*");
  EXPECT_EQ(again.TakeResult(""), "k");
}

TEST(PassphraseDialog, CancelReturnsTheOneByteZeroAndAnEmptyOkIsARealAnswer) {
  PassphraseDialogModel d("Enter passphrase for keyfile:\r\nC:\\k.lqk");
  d.InitialBoxTexts();
  Type(d.Box(PassphraseBox::kNew), "abc");
  const std::string cancelled = d.CancelSingle();
  EXPECT_EQ(cancelled, std::string(1, '\0'));
  EXPECT_EQ(cancelled, kPassphraseCancelled);
  EXPECT_EQ(d.Box(PassphraseBox::kNew).Length(), 0u);

  PassphraseDialogModel empty("");
  empty.InitialBoxTexts();
  const std::string ok = empty.OkSingle("");
  EXPECT_EQ(ok, "");
  EXPECT_NE(ok, kPassphraseCancelled);
}

TEST(PassphraseDialog, PasteRefusalShowsTheMessage) {
  RecordingUi ui;
  PassphraseDialogModel d("");
  d.InitialBoxTexts();
  EXPECT_EQ(d.Paste(ui, PassphraseBox::kNew, "first"), BoxVerdict::kReplace);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(d.Paste(ui, PassphraseBox::kNew, "second"), BoxVerdict::kPasteRefused);
  ASSERT_EQ(ui.MessageKeys(), std::vector<std::string>{"Passphrase_Paste_Not_Allowed"});
  EXPECT_EQ(ui.LastBox().text, MessageText("Passphrase_Paste_Not_Allowed"));
  EXPECT_EQ(d.OkSingle(""), "first");
}

TEST(PassphraseDialog, TheSelectionWarningTurnsThePromptRed) {
  PassphraseDialogModel d("Enter passphrase");
  d.InitialBoxTexts();
  EXPECT_TRUE(d.WatchRunning());
  EXPECT_EQ(d.PromptText(), "Enter passphrase");
  EXPECT_FALSE(d.PromptRed());
  EXPECT_FALSE(d.WatchTick(PassphraseBox::kNew, false, 0, 0));
  EXPECT_FALSE(d.PromptRed());
  EXPECT_TRUE(d.WatchTick(PassphraseBox::kNew, false, 0, 2));
  EXPECT_TRUE(d.PromptRed());
  EXPECT_EQ(d.PromptText(), std::string(20, '=') +
                                "\r\nYou can not select text when typed text must be hidden.\r\n" +
                                std::string(20, '='));
  // With hiding off the watch stops and selections are the user's own business.
  d.SetHiding(false, {"", "", ""});
  EXPECT_FALSE(d.WatchRunning());
  EXPECT_FALSE(d.WatchTick(PassphraseBox::kNew, false, 0, 2));
}

TEST(PassphraseDialog, LayoutsOfTheModes) {
  const PassphraseLayout single = SinglePassphraseLayout("");
  EXPECT_EQ(single.caption, "Lockquill V1.0");
  EXPECT_EQ(single.prompt, "Enter passphrase");
  EXPECT_TRUE(single.cancel_button);
  EXPECT_FALSE(single.retype_box);

  ChangePassphraseRequest r;
  r.mode = ChangePassphraseMode::kChange;
  PassphraseLayout change = ChangePassphraseLayout(r);
  EXPECT_EQ(change.caption, "Lockquill V1.0 - Change passphrase");
  EXPECT_EQ(change.prompt, "Enter current passphrase,\r\nthen type and retype the new passphrase");
  EXPECT_TRUE(change.current_box && change.new_box && change.retype_box && change.cancel_button);
  EXPECT_FALSE(change.expiry_controls);

  r.mode = ChangePassphraseMode::kNewKeyfile;
  r.prompt = "The default keyfile:\r\nC:\\Keyfile.lqk";
  PassphraseLayout fresh = ChangePassphraseLayout(r);
  EXPECT_FALSE(fresh.cancel_button);  // a keyfile must get a passphrase
  EXPECT_FALSE(fresh.current_box);
  EXPECT_TRUE(fresh.new_box && fresh.retype_box);
  EXPECT_EQ(fresh.prompt, r.prompt);

  r.mode = ChangePassphraseMode::kEditSecretKey;
  r.prompt.clear();
  r.expiry_year = 0;
  PassphraseLayout secret = ChangePassphraseLayout(r);
  EXPECT_TRUE(secret.new_box && secret.expiry_controls && secret.hide_ticked);
  EXPECT_FALSE(secret.retype_box || secret.current_box);
  EXPECT_TRUE(secret.never_expires);
  r.expiry_year = 2030;
  EXPECT_FALSE(ChangePassphraseLayout(r).never_expires);
  EXPECT_TRUE(PassphraseDialogModel::DatePickerEnabled(false));
  EXPECT_FALSE(PassphraseDialogModel::DatePickerEnabled(true));
}

TEST(PassphraseDialog, ChangeModeReturnsTheThreeTexts) {
  ChangePassphraseRequest r;
  r.mode = ChangePassphraseMode::kChange;
  PassphraseDialogModel d(r);
  d.InitialBoxTexts();
  Type(d.Box(PassphraseBox::kCurrent), "old");
  Type(d.Box(PassphraseBox::kNew), "new1");
  Type(d.Box(PassphraseBox::kRetype), "new2");
  ChangePassphraseReply reply = d.OkChange({"***", "****", "****"}, false, 2030, 1, 2);
  EXPECT_EQ(reply.current, "old");
  EXPECT_EQ(reply.new_text, "new1");
  EXPECT_EQ(reply.retyped, "new2");
  EXPECT_EQ(reply.expiry_year, 0);  // no expiry outside mode 3
}

TEST(PassphraseDialog, EditSecretKeyStartsHiddenWithTheSecretAndGivesTheExpiry) {
  ChangePassphraseRequest r;
  r.mode = ChangePassphraseMode::kEditSecretKey;
  r.current_secret = "topsecret";
  r.expiry_year = 2031;
  PassphraseDialogModel d(r);
  const auto shown = d.InitialBoxTexts();
  EXPECT_EQ(shown[1], "*********");
  EXPECT_EQ(shown[0], "");
  Type(d.Box(PassphraseBox::kNew), "2");
  ChangePassphraseReply reply = d.OkChange({"", "**********", ""}, false, 2031, 12, 24);
  EXPECT_EQ(reply.new_text, "topsecret2");
  EXPECT_EQ(reply.expiry_year, 2031);
  EXPECT_EQ(reply.expiry_month, 12);
  EXPECT_EQ(reply.expiry_day, 24);

  PassphraseDialogModel never(r);
  never.InitialBoxTexts();
  reply = never.OkChange({"", "*********", ""}, true, 2031, 12, 24);
  EXPECT_EQ(reply.expiry_year, 0);
  EXPECT_EQ(reply.expiry_month, 0);
  EXPECT_EQ(reply.expiry_day, 0);
}

TEST(PassphraseDialog, TogglingHidingSwapsEveryBox) {
  ChangePassphraseRequest r;
  r.mode = ChangePassphraseMode::kNewKeyfile;
  PassphraseDialogModel d(r);
  d.InitialBoxTexts();
  Type(d.Box(PassphraseBox::kNew), "one");
  Type(d.Box(PassphraseBox::kRetype), "two");
  auto real = d.SetHiding(false, {"", "***", "***"});
  EXPECT_EQ(real[1], "one");
  EXPECT_EQ(real[2], "two");
  auto stars = d.SetHiding(true, {"", "one!", "two"});
  EXPECT_EQ(stars[1], "****");
  ChangePassphraseReply reply = d.OkChange(stars, false, 0, 0, 0);
  EXPECT_EQ(reply.new_text, "one!");
  EXPECT_EQ(reply.retyped, "two");
  EXPECT_EQ(reply.current, "");
}

TEST(PassphraseDialog, CancelOfChangeModesPutsTheZeroByteFirst) {
  ChangePassphraseRequest r;
  PassphraseDialogModel d(r);
  d.InitialBoxTexts();
  Type(d.Box(PassphraseBox::kCurrent), "abc");
  const ChangePassphraseReply reply = d.CancelChange();
  EXPECT_EQ(reply.current, kPassphraseCancelled);
  EXPECT_EQ(reply.new_text, "");
  EXPECT_EQ(d.Box(PassphraseBox::kCurrent).Length(), 0u);
  EXPECT_EQ(PassphraseDialogModel::BlankText(), std::string(kPassphraseBoxLimit, ' '));
}

}  // namespace
}  // namespace lq
