// SendKeys against the scripted Desktop: the exact key events, pauses, clicks and window
// switches of every kind of key string, and that no string, however malformed, leaves a key
// held or fails to end.
#include "mail/key_strings.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/scripted_desktop.h"

namespace lq {
namespace {

// What SendKeys did, compactly: key events as the fake writes them ("16d", "46ux" for an
// extended key going up), pauses as "~ms", and the other calls by name.
std::string Played(const ScriptedDesktop& d) {
  std::string out;
  for (const std::string& call : d.calls) {
    std::string item;
    if (call.rfind("SendKeys ", 0) == 0) {
      item = call.substr(9);
    } else if (call.rfind("Sleep ", 0) == 0) {
      item = "~" + call.substr(6);
    } else if (call.rfind("ClickMouse ", 0) == 0 || call.rfind("SwitchToWindow ", 0) == 0 ||
               call.rfind("FindTopLevelWindow ", 0) == 0) {
      item = "[" + call + "]";
    } else {
      continue;
    }
    if (!out.empty()) out += ' ';
    out += item;
  }
  return out;
}

std::string Play(std::string_view keys) {
  ScriptedDesktop d;
  SendKeys(d, keys);
  EXPECT_TRUE(d.keys_down.empty()) << keys;
  return Played(d);
}

TEST(KeyStrings, CtrlLetterAsTextCaptureSendsIt) {
  EXPECT_EQ(Play("^c"), "17d 67d ~10 67u ~10 17u ~20");
  EXPECT_EQ(Play("^v"), "17d 86d ~10 86u ~10 17u ~20");
  EXPECT_EQ(Play("^a"), "17d 65d ~10 65u ~10 17u ~20");
}

TEST(KeyStrings, ShiftWithAGroupTypesBothLettersInUpperCase) {
  EXPECT_EQ(Play("+(ab)"), "16d 65d ~10 65u ~10 66d ~10 66u ~10 16u ~20");
}

TEST(KeyStrings, ModifiersAreReleasedAfterEachKeyShiftCtrlAlt) {
  // Held modifiers apply to the next key only; the second letter is plain.
  EXPECT_EQ(Play("%^+ab"), "18d 17d 16d 65d ~10 65u ~10 16u ~20 17u ~20 18u ~20 66d ~10 66u ~10");
  EXPECT_EQ(Play("%{F4}"), "18d 115d ~10 115u ~10 18u ~20");
}

TEST(KeyStrings, AModifierAlreadyHeldTypesItsCharacter) {
  // "++": Shift down, then "+" typed (Shift and "=") with the Shift already held.
  EXPECT_EQ(Play("++"), "16d 187d ~10 187u ~10 16u ~20");
  // "^^": Ctrl held, then "^" is Shift+6 under Ctrl; the Shift it needs is pressed around it.
  EXPECT_EQ(Play("^^"), "17d 16d 54d ~10 54u ~10 16u ~10 17u ~20");
}

TEST(KeyStrings, CountedNamedKeysAndSingleCharacterTokens) {
  EXPECT_EQ(Play("{TAB 3}"), "9d ~10 9u ~10 9d ~10 9u ~10 9d ~10 9u ~10");
  EXPECT_EQ(Play("{a}"), "65d ~10 65u ~10");
  EXPECT_EQ(Play("{tab}"), "9d ~10 9u ~10");  // names in any case
  EXPECT_EQ(Play("{ENTER 2}~"), "13d ~10 13u ~10 13d ~10 13u ~10 13d ~10 13u ~10");
  EXPECT_EQ(Play("{TAB 0}{TAB -2}{TAB x}"), "");
  // The brace pair types the characters that mean something else.
  EXPECT_EQ(Play("{+}"), "16d 187d ~10 187u ~10 16u ~10");
  EXPECT_EQ(Play("{~}"), "16d 192d ~10 192u ~10 16u ~10");
  EXPECT_EQ(Play("{(}{)}"), "16d 57d ~10 57u ~10 16u ~10 16d 48d ~10 48u ~10 16u ~10");
  // The closing brace right after the opening one is the token's character.
  EXPECT_EQ(Play("{}}"), "16d 221d ~10 221u ~10 16u ~10");
  EXPECT_EQ(Play("{{}"), "16d 219d ~10 219u ~10 16u ~10");
  // An unknown word types its first character.
  EXPECT_EQ(Play("{xyz}"), "88d ~10 88u ~10");
}

TEST(KeyStrings, ExtendedKeysCarryTheirFlag) {
  EXPECT_EQ(Play("{DEL}{HOME}"), "46dx ~10 46ux ~10 36dx ~10 36ux ~10");
  EXPECT_EQ(Play("{ESC}{BS}{F16}"), "27d ~10 27u ~10 8d ~10 8u ~10 127d ~10 127u ~10");
  EXPECT_EQ(Play("{WIN}"), "91dx ~10 91ux ~10");
}

TEST(KeyStrings, EveryNamedKeyHasItsCode) {
  const std::pair<const char*, int> keys[] = {
      {"ENTER", 13},  {"TAB", 9},   {"BACKSPACE", 8}, {"BS", 8},        {"RIGHT", 39},
      {"LEFT", 37},   {"UP", 38},   {"DOWN", 40},     {"HOME", 36},     {"END", 35},
      {"PGDN", 34},   {"PGUP", 33}, {"INS", 45},      {"INSERT", 45},   {"DEL", 46},
      {"DELETE", 46}, {"ESC", 27},  {"F1", 112},      {"F9", 120},      {"F16", 127},
      {"PRTSC", 44},  {"WIN", 91},  {"CAPSLOCK", 20}, {"NUMLOCK", 144}, {"SCROLLLOCK", 145},
      {"HELP", 47}};
  for (const auto& [name, vk] : keys) {
    ScriptedDesktop d;
    SendKeys(d, std::string("{") + name + "}");
    ASSERT_EQ(d.sent_keys.size(), 2u) << name;
    EXPECT_EQ(d.sent_keys[0].vk, vk) << name;
    EXPECT_FALSE(d.sent_keys[0].up);
    EXPECT_TRUE(d.sent_keys[1].up);
  }
}

TEST(KeyStrings, SleepAndPauseWaitTheirCount) {
  ScriptedDesktop d;
  const uint64_t start = d.clock_ms;
  SendKeys(d, "{SLEEP 500}");
  EXPECT_EQ(d.clock_ms - start, 500u);
  EXPECT_TRUE(d.sent_keys.empty());
  EXPECT_EQ(Play("{PAUSE 250}"), "~250");
  EXPECT_EQ(Play("{SLEEP}"), "~1");
  EXPECT_EQ(Play("a{sleep 30}b"), "65d ~10 65u ~10 ~30 66d ~10 66u ~10");
}

TEST(KeyStrings, MouseClicksAtAPointOrAtTheCursor) {
  EXPECT_EQ(Play("{LMOUSECLICK 10 20}"), "[ClickMouse 10 20 left -> 1]");
  EXPECT_EQ(Play("{RMOUSECLICK 300 4}{MMOUSECLICK 0 0}"),
            "[ClickMouse 300 4 right -> 1] [ClickMouse 0 0 middle -> 1]");
  ScriptedDesktop d;
  d.cursor = {7, 8};
  SendKeys(d, "{LMOUSECLICK}{RMOUSECLICK 2}");
  EXPECT_EQ(Played(d),
            "[ClickMouse 7 8 left -> 1] ~10 [ClickMouse 7 8 right -> 1] ~10 "
            "[ClickMouse 7 8 right -> 1] ~10");
}

TEST(KeyStrings, AppActivateSwitchesToTheWindowWithExactlyThatTitle) {
  ScriptedDesktop d;
  d.windows[5] = {"Inbox - Mail", "MailFrame", 0, {}};
  d.windows[6] = {"Inbox", "MailFrame", 0, {}};
  SendKeys(d, "{APPACTIVATE Inbox}x");
  EXPECT_EQ(Played(d), "[FindTopLevelWindow |Inbox] [SwitchToWindow 6 -> 1] 88d ~10 88u ~10");
  EXPECT_EQ(d.foreground, 6u);

  ScriptedDesktop none;
  none.windows[5] = {"Inbox - Mail", "MailFrame", 0, {}};
  SendKeys(none, "{APPACTIVATE Inbox - Mail }{appactivate Outbox}");
  EXPECT_EQ(Played(none), "[FindTopLevelWindow |Inbox - Mail ] [FindTopLevelWindow |Outbox]");

  // Without SwitchToThisWindow in user32 nothing happens and the string goes on.
  ScriptedDesktop old;
  old.windows[5] = {"Inbox", "MailFrame", 0, {}};
  old.has_switch_to_window = false;
  SendKeys(old, "{APPACTIVATE Inbox}y");
  EXPECT_EQ(Played(old), "[FindTopLevelWindow |Inbox] [SwitchToWindow 5 -> 0] 89d ~10 89u ~10");
}

TEST(KeyStrings, GroupsTakeTokensAndTheirOwnParentheses) {
  EXPECT_EQ(Play("^({END}a)"), "17d 35dx ~10 35ux ~10 65d ~10 65u ~10 17u ~20");
  // A closing parenthesis inside a token does not end the group.
  EXPECT_EQ(Play("+({)})"), "16d 48d ~10 48u ~10 16u ~20");
  // "(" without a held modifier is a character.
  EXPECT_EQ(Play("(a"), "16d 57d ~10 57u ~10 16u ~10 65d ~10 65u ~10");
}

TEST(KeyStrings, UnclosedTokensAndGroupsEndTheString) {
  EXPECT_EQ(Play("ab{TAB"), "65d ~10 65u ~10 66d ~10 66u ~10");
  EXPECT_EQ(Play("+(ab"), "16d 16u ~20");
  EXPECT_EQ(Play("^({TAB)"), "17d 17u ~20");
  EXPECT_EQ(Play("{}"), "");
  EXPECT_EQ(Play("{"), "");
  EXPECT_EQ(Play("x+"), "88d ~10 88u ~10 16d 16u ~20");
  EXPECT_EQ(Play("%^+"), "18d 17d 16d 16u ~20 17u ~20 18u ~20");
}

TEST(KeyStrings, CharactersGoThroughTheLayout) {
  ScriptedDesktop d;
  d.layout['@'] = 0x651;   // AltGr+Q, as on a German keyboard: Ctrl and Alt
  d.layout[0xE9] = 0x0BA;  // e acute on its own key
  d.layout[0x20AC] = -1;   // the euro sign: no key types it
  d.layout['z'] = 0xFFFF;  // both bytes 255: nothing
  SendKeys(d, "@\xC3\xA9\xE2\x82\xACz");
  EXPECT_EQ(Played(d), "17d 18d 81d ~10 81u ~10 17u ~10 18u ~10 186d ~10 186u ~10");
  EXPECT_TRUE(d.keys_down.empty());
  // Upper case needs the Shift the layout asks for; a held Shift is not pressed again.
  EXPECT_EQ(Play("A"), "16d 65d ~10 65u ~10 16u ~10");
  EXPECT_EQ(Play("+A"), "16d 65d ~10 65u ~10 16u ~20");
  // A byte that starts no UTF-8 sequence is that character of the ANSI code page.
  ScriptedDesktop ansi;
  ansi.layout[0xE9] = 0x0BA;
  SendKeys(ansi, "\xE9");
  EXPECT_EQ(Played(ansi), "186d ~10 186u ~10");
}

TEST(KeyStrings, NoStringLeavesAKeyHeldOrRunsOn) {
  // Strings built from the language's special characters in every order: each ends, every key
  // that went down came up, and the total pause stays within what its keys can ask for.
  const std::string alphabet = "+^%(){}~a 3T{A}B";
  std::mt19937 rng(1234);
  for (int n = 0; n < 3000; ++n) {
    std::string keys;
    const int length = static_cast<int>(rng() % 16);
    for (int k = 0; k < length; ++k) keys += alphabet[rng() % alphabet.size()];
    ScriptedDesktop d;
    SendKeys(d, keys);
    ASSERT_TRUE(d.keys_down.empty()) << keys;
    int downs = 0, ups = 0;
    for (const KeyEvent& e : d.sent_keys) (e.up ? ups : downs)++;
    ASSERT_EQ(downs, ups) << keys;
    ASSERT_LE(d.slept_ms, 200000) << keys;
  }
}

TEST(KeyStrings, CountsAndPausesAreBounded) {
  ScriptedDesktop d;
  SendKeys(d, "{SLEEP 99999999999}");
  EXPECT_EQ(d.slept_ms, 600000);
  ScriptedDesktop keys;
  SendKeys(keys, "{TAB 99999999}");
  EXPECT_EQ(keys.sent_keys.size(), 20000u);
}

}  // namespace
}  // namespace lq
