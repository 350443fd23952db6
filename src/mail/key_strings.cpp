// Key strings played as synthesised keystrokes and clicks. The pauses between events are part
// of the behaviour: slow target programs drop keys that arrive faster, and the e-mail driver
// scripts were written against these timings.
#include "mail/key_strings.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

#include "base/bytes.h"

namespace lq {

namespace {

constexpr int kVkShift = 16, kVkCtrl = 17, kVkAlt = 18, kVkEnter = 13;
// After a key going down or up, and after each modifier released behind a key or group.
constexpr int kKeyPauseMs = 10;
constexpr int kModifierReleasePauseMs = 20;
// A count is the user's; these bounds keep a typing slip ("{TAB 99999999}") from taking hours.
constexpr int kMaxCount = 10000;
constexpr int kMaxPauseMs = 600000;

enum class KeyKind { kKey, kPause, kClick };

struct NamedKey {
  const char* name;  // upper case, as the token is compared
  KeyKind kind;
  int vk;
  MouseButton button;
};

// The brace tokens that name a key. {LMOUSECLICK} and friends click at the cursor: a keyboard
// event with the mouse buttons' virtual-key codes does nothing on Windows.
constexpr NamedKey kNamedKeys[] = {
    {"ENTER", KeyKind::kKey, 13, MouseButton::kLeft},
    {"TAB", KeyKind::kKey, 9, MouseButton::kLeft},
    {"LMOUSECLICK", KeyKind::kClick, 1, MouseButton::kLeft},
    {"RMOUSECLICK", KeyKind::kClick, 2, MouseButton::kRight},
    {"MMOUSECLICK", KeyKind::kClick, 4, MouseButton::kMiddle},
    {"BACKSPACE", KeyKind::kKey, 8, MouseButton::kLeft},
    {"BS", KeyKind::kKey, 8, MouseButton::kLeft},
    {"RIGHT", KeyKind::kKey, 39, MouseButton::kLeft},
    {"LEFT", KeyKind::kKey, 37, MouseButton::kLeft},
    {"UP", KeyKind::kKey, 38, MouseButton::kLeft},
    {"DOWN", KeyKind::kKey, 40, MouseButton::kLeft},
    {"HOME", KeyKind::kKey, 36, MouseButton::kLeft},
    {"END", KeyKind::kKey, 35, MouseButton::kLeft},
    {"PGDN", KeyKind::kKey, 34, MouseButton::kLeft},
    {"PGUP", KeyKind::kKey, 33, MouseButton::kLeft},
    {"INS", KeyKind::kKey, 45, MouseButton::kLeft},
    {"INSERT", KeyKind::kKey, 45, MouseButton::kLeft},
    {"DEL", KeyKind::kKey, 46, MouseButton::kLeft},
    {"DELETE", KeyKind::kKey, 46, MouseButton::kLeft},
    {"ESC", KeyKind::kKey, 27, MouseButton::kLeft},
    {"F1", KeyKind::kKey, 112, MouseButton::kLeft},
    {"F2", KeyKind::kKey, 113, MouseButton::kLeft},
    {"F3", KeyKind::kKey, 114, MouseButton::kLeft},
    {"F4", KeyKind::kKey, 115, MouseButton::kLeft},
    {"F5", KeyKind::kKey, 116, MouseButton::kLeft},
    {"F6", KeyKind::kKey, 117, MouseButton::kLeft},
    {"F7", KeyKind::kKey, 118, MouseButton::kLeft},
    {"F8", KeyKind::kKey, 119, MouseButton::kLeft},
    {"F9", KeyKind::kKey, 120, MouseButton::kLeft},
    {"F10", KeyKind::kKey, 121, MouseButton::kLeft},
    {"F11", KeyKind::kKey, 122, MouseButton::kLeft},
    {"F12", KeyKind::kKey, 123, MouseButton::kLeft},
    {"F13", KeyKind::kKey, 124, MouseButton::kLeft},
    {"F14", KeyKind::kKey, 125, MouseButton::kLeft},
    {"F15", KeyKind::kKey, 126, MouseButton::kLeft},
    {"F16", KeyKind::kKey, 127, MouseButton::kLeft},
    {"PRTSC", KeyKind::kKey, 44, MouseButton::kLeft},
    {"WIN", KeyKind::kKey, 91, MouseButton::kLeft},
    {"CAPSLOCK", KeyKind::kKey, 20, MouseButton::kLeft},
    {"NUMLOCK", KeyKind::kKey, 144, MouseButton::kLeft},
    {"SCROLLLOCK", KeyKind::kKey, 145, MouseButton::kLeft},
    {"HELP", KeyKind::kKey, 47, MouseButton::kLeft},
    {"SLEEP", KeyKind::kPause, 0, MouseButton::kLeft},
    {"PAUSE", KeyKind::kPause, 0, MouseButton::kLeft},
};

const NamedKey* FindNamedKey(std::string_view upper_name) {
  for (const NamedKey& k : kNamedKeys) {
    if (upper_name == k.name) return &k;
  }
  return nullptr;
}

// Keys of the extended block, whose scan codes carry the E0 prefix: without the flag the
// system takes them for the numeric keypad's keys.
bool IsExtendedKey(int vk) {
  // Page Up, Page Down, End, Home, the arrows, Print Screen, Insert, Delete, the Windows and
  // Applications keys, the keypad's divide, Num Lock, right Ctrl and right Alt.
  static constexpr int kExtended[] = {33, 34, 35, 36, 37, 38,  39,  40,  44,
                                      45, 46, 91, 92, 93, 111, 144, 163, 165};
  return std::find(std::begin(kExtended), std::end(kExtended), vk) != std::end(kExtended);
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// The number at the start of `s` after blanks, as the runtime's Val reads it: digits with an
// optional sign, 0 when there are none. Clamped to `limit` and to 0 below.
int LeadingNumber(std::string_view s, size_t& pos, int limit) {
  while (pos < s.size() && s[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < s.size() && (s[pos] == '-' || s[pos] == '+')) negative = s[pos++] == '-';
  long long v = 0;
  while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
    v = std::min<long long>(v * 10 + (s[pos] - '0'), 1LL << 40);
    ++pos;
  }
  if (negative) v = -v;
  return static_cast<int>(std::clamp<long long>(v, 0, limit));
}

// Screen coordinates "x y": both present and nothing else but blanks.
bool ParsePoint(std::string_view s, ScreenPoint& at) {
  size_t pos = 0;
  auto number = [&](int& out) {
    while (pos < s.size() && s[pos] == ' ') ++pos;
    const size_t start = pos;
    if (pos < s.size() && s[pos] == '-') ++pos;
    long long v = 0;
    const size_t digits = pos;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
      v = std::min<long long>(v * 10 + (s[pos] - '0'), 1000000);
      ++pos;
    }
    if (pos == digits) return false;
    out = static_cast<int>(s[start] == '-' ? -v : v);
    return true;
  };
  if (!number(at.x) || !number(at.y)) return false;
  while (pos < s.size() && s[pos] == ' ') ++pos;
  return pos == s.size();
}

// The "}" that closes the token opened at `open`, searched from two characters on, so that
// "{}}" is the token "}". npos when there is none.
size_t TokenEnd(std::string_view keys, size_t open) {
  if (open + 2 >= keys.size()) return std::string_view::npos;
  return keys.find('}', open + 2);
}

// The ")" that closes the group opened at `open`, searched from two characters on. Brace
// tokens inside the group are stepped over whole, so "+({)})" types a closing parenthesis
// under Shift instead of ending the group inside the token.
size_t GroupEnd(std::string_view keys, size_t open) {
  size_t j = open + 1;
  while (j < keys.size()) {
    if (keys[j] == '{') {
      const size_t end = TokenEnd(keys, j);
      if (end == std::string_view::npos) return end;
      j = end + 1;
      continue;
    }
    if (keys[j] == ')' && j >= open + 2) return j;
    ++j;
  }
  return std::string_view::npos;
}

class KeyPlayer {
 public:
  explicit KeyPlayer(Desktop& desktop) : d_(desktop) {}
  ~KeyPlayer() { ReleaseHeld(); }

  void Play(std::string_view keys) {
    size_t i = 0;
    while (i < keys.size()) {
      const int m = ModifierOf(keys[i]);
      if (m >= 0 && !held_[m]) {
        Event(kModifierVk[m], false);
        held_[m] = true;
        ++i;
        continue;
      }
      if (keys[i] == '(' && AnyHeld()) {
        const size_t end = GroupEnd(keys, i);
        if (end == std::string_view::npos) break;
        PlayGroup(keys.substr(i + 1, end - i - 1));
        i = end + 1;
      } else if (keys[i] == '{') {
        const size_t end = TokenEnd(keys, i);
        if (end == std::string_view::npos) break;
        Token(keys.substr(i + 1, end - i - 1));
        i = end + 1;
      } else {
        OneKey(keys, i);
      }
      ReleaseHeld();
    }
    ReleaseHeld();
  }

 private:
  static constexpr int kModifierVk[3] = {kVkShift, kVkCtrl, kVkAlt};
  static constexpr int kShiftStateBit[3] = {1, 2, 4};

  static int ModifierOf(char c) {
    switch (c) {
      case '+':
        return 0;
      case '^':
        return 1;
      case '%':
        return 2;
      default:
        return -1;
    }
  }
  bool AnyHeld() const { return held_[0] || held_[1] || held_[2]; }

  // Inside a group every character is one key under the held modifiers; its tokens are whole
  // (GroupEnd saw them closed).
  void PlayGroup(std::string_view group) {
    size_t i = 0;
    while (i < group.size()) {
      if (group[i] == '{') {
        const size_t end = TokenEnd(group, i);
        if (end == std::string_view::npos) return;
        Token(group.substr(i + 1, end - i - 1));
        i = end + 1;
      } else {
        OneKey(group, i);
      }
    }
  }

  void OneKey(std::string_view keys, size_t& i) {
    if (keys[i] == '~') {
      ++i;
      Press(kVkEnter, 1);
      return;
    }
    Character(NextUtf8CodePoint(keys, i), 1);
  }

  // A brace token's text without its braces.
  void Token(std::string_view token) {
    const std::string upper = Upper(token);
    const size_t space = upper.find(' ');
    if (space != std::string::npos) {
      if (upper.compare(0, 12, "APPACTIVATE ") == 0) {
        AppActivate(token.substr(12));
        return;
      }
      const NamedKey* key = FindNamedKey(std::string_view(upper).substr(0, space));
      const std::string_view rest = token.substr(space + 1);
      if (key && key->kind == KeyKind::kClick) {
        ScreenPoint at;
        if (ParsePoint(rest, at)) {
          d_.ClickMouse(at, key->button);
          return;
        }
      }
      if (key) {
        size_t pos = 0;
        Named(*key,
              LeadingNumber(rest, pos, key->kind == KeyKind::kPause ? kMaxPauseMs : kMaxCount));
        return;
      }
    } else if (const NamedKey* key = FindNamedKey(upper)) {
      Named(*key, 1);
      return;
    }
    size_t pos = 0;
    Character(NextUtf8CodePoint(token, pos), 1);
  }

  void Named(const NamedKey& key, int count) {
    switch (key.kind) {
      case KeyKind::kKey:
        Press(key.vk, count);
        break;
      case KeyKind::kPause:
        d_.Sleep(count);
        break;
      case KeyKind::kClick:
        for (int k = 0; k < count; ++k) {
          d_.ClickMouse(d_.CursorPosition(), key.button);
          d_.Sleep(kKeyPauseMs);
        }
        break;
    }
  }

  // The window with exactly this title, if one exists, becomes the active one.
  void AppActivate(std::string_view title) {
    if (title.empty()) return;  // would match any window
    const WindowId w = d_.FindTopLevelWindow("", title);
    if (w != 0) d_.SwitchToWindow(w);
  }

  // An ordinary character through the keyboard layout, with the shift state it needs pressed
  // around it (those modifiers already held stay as they are).
  void Character(uint32_t code_point, int count) {
    const int r = d_.KeyForCharacter(code_point);
    if (r < 0 || (r & 0xFFFF) == 0xFFFF) return;
    const int vk = r & 0xFF, shift_state = (r >> 8) & 0xFF;
    bool pressed[3] = {false, false, false};
    for (int m = 0; m < 3; ++m) {
      if ((shift_state & kShiftStateBit[m]) && !held_[m]) {
        Event(kModifierVk[m], false);
        pressed[m] = true;
      }
    }
    Press(vk, count);
    for (int m = 0; m < 3; ++m) {
      if (pressed[m]) {
        Event(kModifierVk[m], true);
        d_.Sleep(kKeyPauseMs);
      }
    }
  }

  void Press(int vk, int count) {
    for (int k = 0; k < count; ++k) {
      Event(vk, false);
      d_.Sleep(kKeyPauseMs);
      Event(vk, true);
      d_.Sleep(kKeyPauseMs);
    }
  }

  // Shift, then Ctrl, then Alt, each followed by its pause.
  void ReleaseHeld() {
    for (int m = 0; m < 3; ++m) {
      if (!held_[m]) continue;
      Event(kModifierVk[m], true);
      d_.Sleep(kModifierReleasePauseMs);
      held_[m] = false;
    }
  }

  void Event(int vk, bool up) { d_.SendKeys({KeyEvent{vk, up, IsExtendedKey(vk)}}); }

  Desktop& d_;
  bool held_[3] = {false, false, false};
};

}  // namespace

void SendKeys(Desktop& desktop, std::string_view keys) {
  KeyPlayer player(desktop);
  player.Play(keys);
}

}  // namespace lq
