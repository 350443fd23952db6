// The passphrase dialogs' program-side hiding as pure state machines. While hiding is on the
// real text lives in a buffer and the box shows one "*" per character; every way of reaching the
// real characters through the box (selection, paste into existing text, undo, cut) is refused.
// The GUI feeds the box's messages in and does what the verdicts say; nothing here draws.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/ui.h"

namespace lq {

inline constexpr char kPassphraseCaption[] = "Lockquill V1.0";
inline constexpr char kChangePassphraseCaption[] = "Lockquill V1.0 - Change passphrase";
inline constexpr char kDefaultPassphrasePrompt[] = "Enter passphrase";
inline constexpr char kChangePassphrasePrompt[] =
    "Enter current passphrase,\r\nthen type and retype the new passphrase";
// Shown in red in the prompt label when a selection was cancelled.
inline constexpr char kSelectionWarning[] =
    "====================\r\nYou can not select text when typed text must be hidden.\r\n"
    "====================";
constexpr int kSelectionWatchMs = 100;
// The boxes' text limit in characters; OK overwrites each box with this many blanks.
constexpr size_t kPassphraseBoxLimit = 256;

// What the GUI does with one message that reached a box.
enum class BoxVerdict {
  kPass,           // let the box handle it as usual
  kRefuse,         // swallow it
  kRefuseVisibly,  // swallow it and tell the user (a beep or a note): a typed character that
                   // does not become part of the hidden text
  kReplace,        // swallow it; the box now shows BoxText(), caret at the end
  kPasteRefused,   // swallow it; "Passphrase_Paste_Not_Allowed" is (to be) shown
};

// One text box with hiding. Codes are WM_CHAR values (UTF-16 units from a Unicode window) and
// virtual-key codes of WM_KEYDOWN.
class HiddenTextBox {
 public:
  explicit HiddenTextBox(size_t limit = kPassphraseBoxLimit) : limit_(limit) {}
  ~HiddenTextBox() { Wipe(); }
  HiddenTextBox(const HiddenTextBox&) = delete;
  HiddenTextBox& operator=(const HiddenTextBox&) = delete;

  bool Hiding() const { return hiding_; }
  // Starts the box with `text` (mode 3: the current secret) and the hiding state. Returns what
  // the box must show. The caller wipes the returned text when it is real text.
  std::string Start(std::string_view text, bool hiding);
  // While hiding: one "*" per character of the hidden text. Otherwise empty (the box holds the
  // real text itself).
  std::string BoxText() const;
  // Characters in the hidden text (UTF-8 sequences count once).
  size_t Length() const;

  // WM_CHAR while hiding: 32..126 appended (kReplace; kRefuseVisibly at the text limit),
  // backspace (8) removes the last character (kReplace), Ctrl+V (22) passes so the box sends
  // itself WM_PASTE, Ctrl+Z / Ctrl+X / Ctrl+C and the other control codes are refused, any
  // other character (accented letters, 127) kRefuseVisibly. Hiding off: kPass.
  BoxVerdict OnChar(uint32_t code);
  // WM_KEYDOWN while hiding: 0x21..0x28 except the right arrow (0x27) and Enter (0x0D) refused;
  // with Shift held any of 0x21..0x29 refused; Delete (0x2E) refused (the caret stays at the
  // end, and Shift+Delete would cut). Others pass. Hiding off: kPass.
  BoxVerdict OnKeyDown(int vk, bool shift_down);
  // A double click, a mouse move with the left button down, the context menu, WM_UNDO /
  // EM_UNDO, WM_CUT, WM_CLEAR: refused while hiding, else kPass.
  BoxVerdict OnDoubleClick();
  BoxVerdict OnMouseMove(bool left_button_down);
  BoxVerdict OnContextMenu();
  BoxVerdict OnUndo();
  BoxVerdict OnCut();
  BoxVerdict OnClear();
  // WM_PASTE while hiding: when the box holds text, kPasteRefused and nothing changes; when it
  // is empty the clipboard text up to its first line break (as a one-line box would take it)
  // and up to the text limit becomes the hidden text (kReplace). Hiding off: kPass.
  BoxVerdict OnPaste(std::string_view clipboard_text);
  // The selection watch: true when the box has a selection (start != end) while no mouse
  // button is down and hiding is on; the caller then puts the caret at the end and shows the
  // warning.
  bool SelectionMustBeCancelled(bool mouse_button_down, int selection_start,
                                int selection_end) const;
  // "&Hide text when typing" toggled. On: the hidden text becomes `box_text` (the real text the
  // box holds) and the result is the stars. Off: the result is the real text for the box and
  // the buffer is wiped. The caller puts focus and caret at the end, and wipes the result.
  std::string SetHiding(bool on, std::string_view box_text);
  // The result on OK: the hidden text while hiding, else `box_text`. The buffer is wiped.
  std::string TakeResult(std::string_view box_text);
  void Wipe();

 private:
  size_t limit_;
  bool hiding_ = false;
  std::string buffer_;
};

enum class PassphraseBox { kCurrent = 0, kNew = 1, kRetype = 2 };

// Which controls a dialog shows, for PASSPHRASE and the three CHANGEPASSP modes.
struct PassphraseLayout {
  std::string caption;
  std::string prompt;
  bool current_box = false;  // with "Type current passphrase"
  bool new_box = true;       // PASSPHRASE's one box is this one
  bool retype_box = false;   // with "Retype new passphrase"
  bool cancel_button = true;
  bool expiry_controls = false;  // "&Key never expires", the date picker, "Expiration date:"
  bool hide_ticked = true;       // "&Hide text when typing" at the start
  bool never_expires = false;    // mode 3: the expiry year is 0
};

// PASSPHRASE with the caller's prompt (empty: "Enter passphrase").
PassphraseLayout SinglePassphraseLayout(std::string_view prompt);
// CHANGEPASSP for the request's mode; the request's prompt replaces the mode's own when set.
PassphraseLayout ChangePassphraseLayout(const ChangePassphraseRequest& request);

// One dialog: its layout, its boxes and the prompt label's state.
class PassphraseDialogModel {
 public:
  // PASSPHRASE.
  explicit PassphraseDialogModel(std::string_view prompt);
  // CHANGEPASSP; mode 3 starts the new box with the current secret, hidden.
  explicit PassphraseDialogModel(const ChangePassphraseRequest& request);

  const PassphraseLayout& Layout() const { return layout_; }
  HiddenTextBox& Box(PassphraseBox which) { return boxes_[static_cast<int>(which)]; }
  // What each box shows when the dialog opens (mode 3: stars of the secret). The caller wipes.
  std::array<std::string, 3> InitialBoxTexts();
  bool Hiding() const { return hiding_; }
  // The selection watch runs (every kSelectionWatchMs) exactly while hiding is on.
  bool WatchRunning() const { return hiding_; }

  // The hide box toggled: every box's new text (`box_texts` are their current texts).
  std::array<std::string, 3> SetHiding(bool on, const std::array<std::string, 3>& box_texts);
  // WM_PASTE in a box; shows "Passphrase_Paste_Not_Allowed" through `ui` when refused.
  BoxVerdict Paste(Ui& ui, PassphraseBox which, std::string_view clipboard_text);
  // A watch tick for the focused box. True when its selection must be cancelled; the prompt
  // label then shows the warning in red (PromptText, PromptRed).
  bool WatchTick(PassphraseBox focused, bool mouse_button_down, int selection_start,
                 int selection_end);
  const std::string& PromptText() const { return prompt_; }
  bool PromptRed() const { return prompt_red_; }

  // "&Key never expires": the date picker is enabled exactly when it is unticked.
  static bool DatePickerEnabled(bool never_expires) { return !never_expires; }

  // "&OK" of PASSPHRASE: the result (the caller wipes it); buffers wiped.
  std::string OkSingle(std::string_view box_text);
  // "&OK" of CHANGEPASSP: the three texts (boxes the mode hides give empty texts) and in mode 3
  // the expiry (all 0 when never expires).
  ChangePassphraseReply OkChange(const std::array<std::string, 3>& box_texts, bool never_expires,
                                 int year, int month, int day);
  // "&Cancel" (or closing the window): buffers wiped; the result is the one byte 0.
  std::string CancelSingle();
  ChangePassphraseReply CancelChange();
  // What OK writes into every box before the dialog closes: blanks up to the text limit.
  static std::string BlankText() { return std::string(kPassphraseBoxLimit, ' '); }

 private:
  void WipeAll();
  PassphraseLayout layout_;
  std::array<HiddenTextBox, 3> boxes_;
  std::string initial_secret_;
  bool hiding_ = true;
  bool change_ = false;
  std::string prompt_;
  bool prompt_red_ = false;
};

}  // namespace lq
