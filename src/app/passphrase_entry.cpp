// The passphrase dialogs' hiding filter and their layouts per mode.
#include "app/passphrase_entry.h"

#include "base/bytes.h"
#include "base/catalogue.h"

namespace lq {

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

size_t CharCount(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s) n += !IsContinuation(c);
  return n;
}

// The first `chars` characters of s, never cutting a UTF-8 sequence.
std::string_view FirstChars(std::string_view s, size_t chars) {
  size_t i = 0;
  for (size_t seen = 0; i < s.size(); ++i) {
    if (!IsContinuation(static_cast<unsigned char>(s[i]))) {
      if (seen == chars) break;
      ++seen;
    }
  }
  return s.substr(0, i);
}

constexpr uint32_t kBackspace = 8;
constexpr uint32_t kCtrlV = 22;
constexpr int kVkReturn = 0x0D;
constexpr int kVkPrior = 0x21;
constexpr int kVkDown = 0x28;
constexpr int kVkRight = 0x27;
constexpr int kVkSelect = 0x29;
constexpr int kVkDelete = 0x2E;

}  // namespace

std::string HiddenTextBox::Start(std::string_view text, bool hiding) {
  Wipe();
  hiding_ = hiding;
  if (!hiding) return std::string(text);
  buffer_.assign(FirstChars(text, limit_));
  return BoxText();
}

std::string HiddenTextBox::BoxText() const {
  return hiding_ ? std::string(CharCount(buffer_), '*') : std::string();
}

size_t HiddenTextBox::Length() const { return CharCount(buffer_); }

BoxVerdict HiddenTextBox::OnChar(uint32_t code) {
  if (!hiding_) return BoxVerdict::kPass;
  if (code >= 32 && code <= 126) {
    if (CharCount(buffer_) >= limit_) return BoxVerdict::kRefuseVisibly;
    buffer_ += static_cast<char>(code);
    return BoxVerdict::kReplace;
  }
  if (code == kBackspace) {
    if (buffer_.empty()) return BoxVerdict::kRefuse;
    // Remove one whole character (a pasted text may hold multi-byte ones).
    size_t cut = buffer_.size() - 1;
    while (cut > 0 && IsContinuation(static_cast<unsigned char>(buffer_[cut]))) --cut;
    WipeMemory(buffer_.data() + cut, buffer_.size() - cut);
    buffer_.resize(cut);
    return BoxVerdict::kReplace;
  }
  // Ctrl+V makes the box send itself WM_PASTE, which the paste rule decides.
  if (code == kCtrlV) return BoxVerdict::kPass;
  // Other control codes are key combinations (Ctrl+Z undo, Ctrl+X cut, Ctrl+C, Enter, Escape),
  // not characters the user meant to type.
  if (code < 32) return BoxVerdict::kRefuse;
  // Accented letters and the like: refused where the user sees it, so nobody believes they are
  // part of the passphrase.
  return BoxVerdict::kRefuseVisibly;
}

BoxVerdict HiddenTextBox::OnKeyDown(int vk, bool shift_down) {
  if (!hiding_) return BoxVerdict::kPass;
  if (vk == kVkReturn || vk == kVkDelete) return BoxVerdict::kRefuse;
  if (shift_down && vk >= kVkPrior && vk <= kVkSelect) return BoxVerdict::kRefuse;
  if (vk >= kVkPrior && vk <= kVkDown && vk != kVkRight) return BoxVerdict::kRefuse;
  return BoxVerdict::kPass;
}

BoxVerdict HiddenTextBox::OnDoubleClick() {
  return hiding_ ? BoxVerdict::kRefuse : BoxVerdict::kPass;
}

BoxVerdict HiddenTextBox::OnMouseMove(bool left_button_down) {
  return hiding_ && left_button_down ? BoxVerdict::kRefuse : BoxVerdict::kPass;
}

BoxVerdict HiddenTextBox::OnContextMenu() {
  return hiding_ ? BoxVerdict::kRefuse : BoxVerdict::kPass;
}

BoxVerdict HiddenTextBox::OnUndo() { return hiding_ ? BoxVerdict::kRefuse : BoxVerdict::kPass; }

BoxVerdict HiddenTextBox::OnCut() { return hiding_ ? BoxVerdict::kRefuse : BoxVerdict::kPass; }

BoxVerdict HiddenTextBox::OnClear() { return hiding_ ? BoxVerdict::kRefuse : BoxVerdict::kPass; }

BoxVerdict HiddenTextBox::OnPaste(std::string_view clipboard_text) {
  if (!hiding_) return BoxVerdict::kPass;
  if (!buffer_.empty()) return BoxVerdict::kPasteRefused;
  const size_t line_end = clipboard_text.find_first_of("\r\n");
  buffer_.assign(FirstChars(clipboard_text.substr(0, line_end), limit_));
  return BoxVerdict::kReplace;
}

bool HiddenTextBox::SelectionMustBeCancelled(bool mouse_button_down, int selection_start,
                                             int selection_end) const {
  return hiding_ && !mouse_button_down && selection_start != selection_end;
}

std::string HiddenTextBox::SetHiding(bool on, std::string_view box_text) {
  if (on == hiding_) return hiding_ ? BoxText() : std::string(box_text);
  if (on) {
    Wipe();
    hiding_ = true;
    buffer_.assign(FirstChars(box_text, limit_));
    return BoxText();
  }
  std::string real = buffer_;
  Wipe();
  hiding_ = false;
  return real;
}

std::string HiddenTextBox::TakeResult(std::string_view box_text) {
  std::string result = hiding_ ? buffer_ : std::string(box_text);
  const bool hiding = hiding_;
  Wipe();
  hiding_ = hiding;
  return result;
}

void HiddenTextBox::Wipe() { lq::Wipe(buffer_); }

// --- Dialogs -----------------------------------------------------------------------------

PassphraseLayout SinglePassphraseLayout(std::string_view prompt) {
  PassphraseLayout l;
  l.caption = kPassphraseCaption;
  l.prompt = prompt.empty() ? std::string(kDefaultPassphrasePrompt) : std::string(prompt);
  return l;
}

PassphraseLayout ChangePassphraseLayout(const ChangePassphraseRequest& request) {
  PassphraseLayout l;
  l.caption = kChangePassphraseCaption;
  l.retype_box = true;
  l.prompt = kDefaultPassphrasePrompt;
  switch (request.mode) {
    case ChangePassphraseMode::kChange:
      l.current_box = true;
      l.prompt = kChangePassphrasePrompt;
      break;
    case ChangePassphraseMode::kNewKeyfile:
      // A keyfile must get a passphrase.
      l.cancel_button = false;
      break;
    case ChangePassphraseMode::kEditSecretKey:
      l.retype_box = false;
      l.expiry_controls = true;
      l.never_expires = request.expiry_year == 0;
      break;
  }
  if (!request.prompt.empty()) l.prompt = request.prompt;
  return l;
}

PassphraseDialogModel::PassphraseDialogModel(std::string_view prompt)
    : layout_(SinglePassphraseLayout(prompt)) {
  hiding_ = layout_.hide_ticked;
  prompt_ = layout_.prompt;
}

PassphraseDialogModel::PassphraseDialogModel(const ChangePassphraseRequest& request)
    : layout_(ChangePassphraseLayout(request)), change_(true) {
  hiding_ = layout_.hide_ticked;
  prompt_ = layout_.prompt;
  if (request.mode == ChangePassphraseMode::kEditSecretKey) {
    initial_secret_ = request.current_secret;
  }
}

std::array<std::string, 3> PassphraseDialogModel::InitialBoxTexts() {
  std::array<std::string, 3> out;
  for (int i = 0; i < 3; ++i) {
    const bool has_secret = i == static_cast<int>(PassphraseBox::kNew);
    out[i] = boxes_[i].Start(has_secret ? std::string_view(initial_secret_) : std::string_view(),
                             hiding_);
  }
  lq::Wipe(initial_secret_);
  return out;
}

std::array<std::string, 3> PassphraseDialogModel::SetHiding(
    bool on, const std::array<std::string, 3>& box_texts) {
  hiding_ = on;
  std::array<std::string, 3> out;
  for (int i = 0; i < 3; ++i) out[i] = boxes_[i].SetHiding(on, box_texts[i]);
  return out;
}

BoxVerdict PassphraseDialogModel::Paste(Ui& ui, PassphraseBox which,
                                        std::string_view clipboard_text) {
  const BoxVerdict v = Box(which).OnPaste(clipboard_text);
  if (v == BoxVerdict::kPasteRefused) {
    ShowMessage(ui, "Passphrase_Paste_Not_Allowed", MessageStyle("Passphrase_Paste_Not_Allowed"));
  }
  return v;
}

bool PassphraseDialogModel::WatchTick(PassphraseBox focused, bool mouse_button_down,
                                      int selection_start, int selection_end) {
  if (!Box(focused).SelectionMustBeCancelled(mouse_button_down, selection_start, selection_end)) {
    return false;
  }
  prompt_ = kSelectionWarning;
  prompt_red_ = true;
  return true;
}

std::string PassphraseDialogModel::OkSingle(std::string_view box_text) {
  std::string r = Box(PassphraseBox::kNew).TakeResult(box_text);
  WipeAll();
  return r;
}

ChangePassphraseReply PassphraseDialogModel::OkChange(const std::array<std::string, 3>& box_texts,
                                                      bool never_expires, int year, int month,
                                                      int day) {
  ChangePassphraseReply r;
  const bool shown[3] = {layout_.current_box, layout_.new_box, layout_.retype_box};
  std::string* out[3] = {&r.current, &r.new_text, &r.retyped};
  for (int i = 0; i < 3; ++i) {
    std::string text = boxes_[i].TakeResult(box_texts[i]);
    if (shown[i]) {
      *out[i] = std::move(text);
    } else {
      lq::Wipe(text);
    }
  }
  if (layout_.expiry_controls && !never_expires) {
    r.expiry_year = year;
    r.expiry_month = month;
    r.expiry_day = day;
  }
  WipeAll();
  return r;
}

std::string PassphraseDialogModel::CancelSingle() {
  WipeAll();
  return kPassphraseCancelled;
}

ChangePassphraseReply PassphraseDialogModel::CancelChange() {
  WipeAll();
  ChangePassphraseReply r;
  r.current = kPassphraseCancelled;
  return r;
}

void PassphraseDialogModel::WipeAll() {
  for (auto& b : boxes_) b.Wipe();
  lq::Wipe(initial_secret_);
}

}  // namespace lq
