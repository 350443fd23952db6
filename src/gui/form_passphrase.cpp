// The passphrase dialogs: layout per mode, the boxes' messages fed through the hiding state
// machine, the selection watch, OK (boxes blanked) and Cancel (the one byte 0).
#include "gui/form_passphrase.h"

#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <algorithm>
#include <array>

#include "base/bytes.h"
#include "gui/desk.h"

namespace lq::gui {

namespace {

constexpr int kBoxIds[3] = {pass_ctl::kCurrent, pass_ctl::kNew, pass_ctl::kRetype};
constexpr char kRefusedNote[] = "Only the characters of an English keyboard (32-126) are accepted.";

int FK_CALLBACK BoxHook(const char*, int id, FK_HWND, unsigned msg, FK_WPARAM wp, FK_LPARAM lp,
                        FK_LRESULT* result) {
  Desk* desk = CurrentDesk();
  return desk ? desk->passphrase.OnBoxMessage(id, msg, wp, lp, result) : 0;
}

HWND Box(const char* form, int id) { return static_cast<HWND>(FK_HANDLE(form, id)); }

// The prompt label's height for its text: one line per line of text, long lines (paths) wrap
// at about 60 characters; at least room for the selection warning's three lines.
double PromptHeight(const std::string& prompt) {
  int lines = 0;
  size_t start = 0;
  for (;;) {
    size_t nl = prompt.find('\n', start);
    size_t len = (nl == std::string::npos ? prompt.size() : nl) - start;
    lines += 1 + static_cast<int>(len / 60);
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return std::max(3, lines) * 1.0 + 0.3;
}

}  // namespace

PassphraseBox PassphraseForms::BoxOf(int id) const {
  if (id == pass_ctl::kCurrent) return PassphraseBox::kCurrent;
  if (id == pass_ctl::kRetype) return PassphraseBox::kRetype;
  return PassphraseBox::kNew;
}

int PassphraseForms::FocusedBox() const {
  HWND focus = GetFocus();
  for (int id : kBoxIds) {
    if (focus != nullptr && focus == Box(form_, id)) return id;
  }
  return 0;
}

std::string PassphraseForms::AskPassphrase(std::string_view prompt) {
  if (Active()) return kPassphraseCancelled;
  change_ = false;
  model_ = std::make_unique<PassphraseDialogModel>(prompt);
  Run(kPassphraseForm);
  std::string result = answered_ ? std::move(single_result_) : kPassphraseCancelled;
  single_result_.clear();
  return result;
}

ChangePassphraseReply PassphraseForms::AskChangePassphrase(const ChangePassphraseRequest& request) {
  if (Active()) {
    ChangePassphraseReply reply;
    reply.current = kPassphraseCancelled;
    return reply;
  }
  change_ = true;
  request_ = request;
  model_ = std::make_unique<PassphraseDialogModel>(request);
  Wipe(request_.current_secret);
  Run(kChangePassphraseForm);
  ChangePassphraseReply reply;
  if (answered_) {
    reply = std::move(change_result_);
  } else {
    reply.current = kPassphraseCancelled;
  }
  change_result_ = ChangePassphraseReply{};
  return reply;
}

void PassphraseForms::Run(const char* form) {
  form_ = form;
  answered_ = false;
  const PassphraseLayout& layout = model_->Layout();
  prompt_h_ = PromptHeight(layout.prompt);
  // Height: prompt, the shown boxes with their labels, the expiry row, the buttons.
  double h = prompt_h_ + 1.2;
  if (change_) {
    h += (layout.current_box ? 2.9 : 0) + (layout.new_box ? 2.9 : 0) +
         (layout.retype_box ? 2.9 : 0) + (layout.expiry_controls ? 2.2 : 0);
  } else {
    h += 2.0;
  }
  h += 1.2 /* note */ + 2.6 /* buttons */;
  const bool main_exists = FK_FORMEXISTS(kMainForm) != 0;
  std::string props = "CD";
  if (desk_.session.settings.keep_on_top || !main_exists) props += "T";
  FK_FORM(form, main_exists ? DialogOwner() : "", layout.caption.c_str(), -1, -1, 50, h,
          props.c_str());

  std::array<std::string, 3> texts = model_->InitialBoxTexts();
  for (int i = 0; i < 3; ++i) {
    if (FK_HANDLE(form, kBoxIds[i])) SetBox(kBoxIds[i], texts[static_cast<size_t>(i)]);
    Wipe(texts[static_cast<size_t>(i)]);
  }
  if (model_->WatchRunning()) FK_STARTTIMER(form, pass_ctl::kWatchTimer, kSelectionWatchMs);
  FK_SETFOCUS(form, layout.current_box ? pass_ctl::kCurrent : pass_ctl::kNew);
  FK_SCROLLTO(form, layout.current_box ? pass_ctl::kCurrent : pass_ctl::kNew, 0);
  FK_SHOWMODAL(form);
  // However the dialog ended, nothing it held stays behind.
  if (FK_FORMEXISTS(form)) FK_UNLOADFORM(form);
  model_.reset();
  form_ = nullptr;
}

void PassphraseForms::Design(const std::string& form) {
  if (!model_) return;
  using namespace pass_ctl;
  const char* f = form.c_str();
  const PassphraseLayout& layout = model_->Layout();
  const double x = 1.5, w = 47;
  double y = 0.7;
  FK_LABEL(f, kPrompt, layout.prompt.c_str(), x, y, w, prompt_h_, "");
  y += prompt_h_ + 0.4;
  auto box_row = [&](int label_id, const char* label, int box_id, bool shown) {
    if (!shown) return;
    if (change_) {
      FK_LABEL(f, label_id, label, x, y, w, 1.2, "");
      y += 1.3;
    }
    FK_TEXT(f, box_id, "", x, y, w, 1.5, "");
    FK_SETRICHTEXTLEN(f, box_id, static_cast<int>(kPassphraseBoxLimit));
    FK_SUBCLASS(f, box_id, BoxHook);
    y += change_ ? 1.6 : 2.0;
  };
  box_row(kCurrentLabel, "Type current passphrase", kCurrent, layout.current_box);
  box_row(kNewLabel, "Type new passphrase", kNew, layout.new_box);
  box_row(kRetypeLabel, "Retype new passphrase", kRetype, layout.retype_box);
  if (layout.expiry_controls) {
    y += 0.2;
    FK_CHECKBOX(f, kNeverExpires, "&Key never expires", x, y + 0.1, 18, 1.4, "");
    FK_LABEL(f, kExpiryLabel, "Expiration date:", 19.5, y + 0.25, 14.5, 1.2, "J");
    FK_CONTROLEX(f, kExpiry, "SysDateTimePick32", "", 35, y, 13.5, 1.6, DTS_SHORTDATEFORMAT, 0);
    SYSTEMTIME st{};
    GetLocalTime(&st);
    if (request_.expiry_year > 0) {
      st.wYear = static_cast<WORD>(request_.expiry_year);
      st.wMonth = static_cast<WORD>(request_.expiry_month);
      st.wDay = static_cast<WORD>(request_.expiry_day);
    }
    FK_SENDMESSAGE(f, kExpiry, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<FK_LPARAM>(&st));
    FK_SETCHECK(f, kNeverExpires, layout.never_expires ? 1 : 0);
    if (!PassphraseDialogModel::DatePickerEnabled(layout.never_expires)) FK_DISABLEC(f, kExpiry);
    y += 2.2;
  }
  FK_COLOR(8, FK_COLOR_DEFAULT);
  FK_LABEL(f, kNote, "", x, y, w, 1.2, "");
  FK_COLOR(FK_COLOR_DEFAULT, FK_COLOR_DEFAULT);
  y += 1.4;
  FK_CHECKBOX(f, kHide, "&Hide text when typing", x, y + 0.2, 24, 1.4, "");
  FK_SETCHECK(f, kHide, layout.hide_ticked ? 1 : 0);
  if (layout.cancel_button) {
    FK_BUTTON(f, kOk, "&OK", 27.5, y, 10, 1.8, "D");
    FK_BUTTON(f, kCancel, "&Cancel", 38.5, y, 10, 1.8, "A");
  } else {
    FK_BUTTON(f, kOk, "&OK", 38.5, y, 10, 1.8, "D");
  }
}

void PassphraseForms::SetBox(int id, const std::string& text) {
  FK_SETTEXT(form_, id, text.c_str());
  FK_SCROLLTO(form_, id, 0);
}

std::string PassphraseForms::BoxText(int id) {
  if (!FK_HANDLE(form_, id)) return {};
  // The toolkit wipes its own copies; the caller wipes this one.
  std::string text;
  FK_GETSECRETTEXT(form_, id, text);
  return text;
}

void PassphraseForms::ShowPrompt() {
  FK_SETCOLOR(form_, pass_ctl::kPrompt, model_->PromptRed() ? 4 : FK_COLOR_DEFAULT, FK_COLOR_KEEP);
  FK_SETTEXT(form_, pass_ctl::kPrompt, model_->PromptText().c_str());
  FK_REDRAWCONTROL(form_, pass_ctl::kPrompt);
}

void PassphraseForms::NoteRefused() {
  desk_.desktop.Beep();
  FK_SETTEXT(form_, pass_ctl::kNote, kRefusedNote);
  FK_STARTTIMER(form_, pass_ctl::kNoteTimer, 2500);
}

int PassphraseForms::OnBoxMessage(int id, unsigned msg, uintptr_t wp, intptr_t lp,
                                  intptr_t* result) {
  (void)lp;
  if (!model_ || !form_) return 0;
  HiddenTextBox& box = model_->Box(BoxOf(id));
  BoxVerdict verdict = BoxVerdict::kPass;
  switch (msg) {
    case WM_CHAR:
      verdict = box.OnChar(static_cast<uint32_t>(wp));
      break;
    case WM_KEYDOWN:
      verdict = box.OnKeyDown(static_cast<int>(wp), GetKeyState(VK_SHIFT) < 0);
      break;
    case WM_LBUTTONDBLCLK:
      verdict = box.OnDoubleClick();
      break;
    case WM_MOUSEMOVE:
      verdict = box.OnMouseMove((wp & MK_LBUTTON) != 0);
      break;
    case WM_CONTEXTMENU:
      verdict = box.OnContextMenu();
      break;
    case WM_UNDO:
    case EM_UNDO:
      verdict = box.OnUndo();
      break;
    case WM_CUT:
      verdict = box.OnCut();
      break;
    case WM_CLEAR:
      verdict = box.OnClear();
      break;
    case WM_PASTE: {
      if (!box.Hiding()) return 0;
      std::string clip;
      desk_.desktop.GetClipboardText(clip);
      verdict = model_->Paste(desk_.ui, BoxOf(id), clip);
      Wipe(clip);
      break;
    }
    default:
      return 0;
  }
  switch (verdict) {
    case BoxVerdict::kPass:
      return 0;
    case BoxVerdict::kRefuseVisibly:
      NoteRefused();
      break;
    case BoxVerdict::kReplace:
      SetBox(id, box.BoxText());
      break;
    case BoxVerdict::kRefuse:
    case BoxVerdict::kPasteRefused:
      break;
  }
  *result = 0;
  return 1;
}

void PassphraseForms::Finish(bool ok) {
  if (!model_ || answered_) return;
  using namespace pass_ctl;
  if (ok) {
    std::array<std::string, 3> texts;
    for (int i = 0; i < 3; ++i) texts[static_cast<size_t>(i)] = BoxText(kBoxIds[i]);
    if (change_) {
      SYSTEMTIME st{};
      bool never = true;
      if (FK_HANDLE(form_, kExpiry)) {
        never = FK_GETCHECK(form_, kNeverExpires) != 0;
        FK_SENDMESSAGE(form_, kExpiry, DTM_GETSYSTEMTIME, 0, reinterpret_cast<FK_LPARAM>(&st));
      }
      change_result_ = model_->OkChange(texts, never, st.wYear, st.wMonth, st.wDay);
    } else {
      single_result_ = model_->OkSingle(texts[1]);
    }
    for (std::string& t : texts) Wipe(t);
    // The typed text does not stay in the window.
    const std::string blanks = PassphraseDialogModel::BlankText();
    for (int id : kBoxIds) {
      if (FK_HANDLE(form_, id)) FK_SETTEXT(form_, id, blanks.c_str());
    }
  } else if (change_) {
    change_result_ = model_->CancelChange();
  } else {
    single_result_ = model_->CancelSingle();
  }
  answered_ = true;
  FK_STOPTIMER(form_, kWatchTimer);
  FK_UNLOADFORM(form_);
}

void PassphraseForms::OnEvent(const std::string& form, int id, int code, intptr_t value,
                              int* cancel) {
  if (!model_ || !form_ || form != form_) return;
  using namespace pass_ctl;
  switch (code) {
    case FK_EV_CLICK:
      if (id == kOk) {
        Finish(true);
      } else if (id == kCancel) {
        Finish(false);
      } else if (id == kNeverExpires) {
        if (PassphraseDialogModel::DatePickerEnabled(value != 0)) {
          FK_ENABLEC(form_, kExpiry);
        } else {
          FK_DISABLEC(form_, kExpiry);
        }
      } else if (id == kHide) {
        std::array<std::string, 3> texts;
        for (int i = 0; i < 3; ++i) texts[static_cast<size_t>(i)] = BoxText(kBoxIds[i]);
        std::array<std::string, 3> shown = model_->SetHiding(value != 0, texts);
        for (int i = 0; i < 3; ++i) {
          if (FK_HANDLE(form_, kBoxIds[i])) SetBox(kBoxIds[i], shown[static_cast<size_t>(i)]);
          Wipe(texts[static_cast<size_t>(i)]);
          Wipe(shown[static_cast<size_t>(i)]);
        }
        if (model_->WatchRunning()) {
          FK_STARTTIMER(form_, kWatchTimer, kSelectionWatchMs);
        } else {
          FK_STOPTIMER(form_, kWatchTimer);
        }
        int focus = model_->Layout().current_box ? kCurrent : kNew;
        FK_SETFOCUS(form_, focus);
        FK_SCROLLTO(form_, focus, 0);
      }
      break;
    case FK_EV_TIMER:
      if (id == kWatchTimer) {
        int focused = FocusedBox();
        if (focused == 0) break;
        DWORD start = 0, end = 0;
        SendMessageW(Box(form_, focused), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        bool down = desk_.desktop.IsMouseButtonDown(MouseButton::kLeft) ||
                    desk_.desktop.IsMouseButtonDown(MouseButton::kRight);
        if (model_->WatchTick(BoxOf(focused), down, static_cast<int>(start),
                              static_cast<int>(end))) {
          FK_SCROLLTO(form_, focused, 0);
          ShowPrompt();
        }
      } else if (id == kNoteTimer) {
        FK_STOPTIMER(form_, kNoteTimer);
        FK_SETTEXT(form_, kNote, "");
      }
      break;
    case FK_EV_CLOSE:
      // Closing the window is a cancel; the dialog unloads itself.
      *cancel = 1;
      Finish(false);
      break;
    default:
      break;
  }
}

}  // namespace lq::gui
