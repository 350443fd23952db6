// The text-entry dialog: "&OK" or Enter returns the text, "&Cancel" or closing the one byte 0.
#include "gui/form_stringentry.h"

#include "base/ui.h"
#include "gui/desk.h"

namespace lq::gui {

std::string StringEntryForm::Ask(std::string_view prompt, std::string_view initial) {
  if (FK_FORMEXISTS(kStringEntryForm)) return kPassphraseCancelled;
  prompt_ = prompt.empty() ? std::string("Enter string") : std::string(prompt);
  initial_ = std::string(initial);
  result_ = kPassphraseCancelled;
  std::string props = "CD";
  if (desk_.session.settings.keep_on_top) props += "T";
  const bool main_exists = FK_FORMEXISTS(kMainForm) != 0;
  FK_FORM(kStringEntryForm, main_exists ? DialogOwner() : "", "Lockquill V1.0", -1, -1, 50, 8.4,
          props.c_str());
  FK_SETFOCUS(kStringEntryForm, entry_ctl::kText);
  FK_SHOWMODAL(kStringEntryForm);
  if (FK_FORMEXISTS(kStringEntryForm)) FK_UNLOADFORM(kStringEntryForm);
  std::string result = std::move(result_);
  result_.clear();
  return result;
}

void StringEntryForm::Design() {
  using namespace entry_ctl;
  const char* f = kStringEntryForm;
  FK_LABEL(f, kPrompt, prompt_.c_str(), 1.5, 0.7, 47, 2.4, "");
  FK_TEXT(f, kText, initial_.c_str(), 1.5, 3.3, 47, 1.5, "");
  FK_BUTTON(f, kOk, "&OK", 27.5, 5.8, 10, 1.8, "D");
  FK_BUTTON(f, kCancel, "&Cancel", 38.5, 5.8, 10, 1.8, "A");
}

void StringEntryForm::OnEvent(int id, int code, intptr_t value, int* cancel) {
  (void)value;
  using namespace entry_ctl;
  if (code == FK_EV_CLOSE) {
    *cancel = 1;
    result_ = kPassphraseCancelled;
    FK_UNLOADFORM(kStringEntryForm);
  } else if (code == FK_EV_CLICK && id == kOk) {
    result_ = FK_GETTEXT(kStringEntryForm, kText);
    FK_UNLOADFORM(kStringEntryForm);
  } else if (code == FK_EV_CLICK && id == kCancel) {
    result_ = kPassphraseCancelled;
    FK_UNLOADFORM(kStringEntryForm);
  }
}

}  // namespace lq::gui
