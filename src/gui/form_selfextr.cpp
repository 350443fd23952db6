// The self-extractor dialog: three framed steps, a modal wait while it is up, and the buttons
// handed to SelfExtractDialog. The passphrase lives there and is wiped when the dialog goes.
#include "gui/form_selfextr.h"

#include "formkit/formkit.h"
#include "gui/desk.h"

namespace lq::gui {

void SelfExtractForm::Show(std::string editor_text, std::vector<std::string> included_files) {
  if (FK_FORMEXISTS(kSelfExtractForm)) return;  // one at a time
  dialog_ = std::make_unique<SelfExtractDialog>(desk_.session, std::move(editor_text),
                                                std::move(included_files), mailer);
  std::string props = "CD";
  if (desk_.session.settings.keep_on_top) props += "T";
  const bool main_exists = FK_FORMEXISTS(kMainForm) != 0;
  FK_FORM(kSelfExtractForm, main_exists ? kMainForm : "", kSelfExtractCaption, -1, -1, 64, 23.4,
          props.c_str());
  FK_SETFORMICON(kSelfExtractForm, "$LQSMALLICON");
  FK_SETFOCUS(kSelfExtractForm, selfextr_ctl::kNote);
  FK_SHOWMODAL(kSelfExtractForm);
  if (FK_FORMEXISTS(kSelfExtractForm)) FK_UNLOADFORM(kSelfExtractForm);
  dialog_.reset();
}

void SelfExtractForm::Design() {
  using namespace selfextr_ctl;
  const char* f = kSelfExtractForm;
  FK_ICON(f, kIcon, "$LQBIGICON", 2, 0.8, 4, 2, "");
  FK_USEFONT(5);
  FK_LABEL(f, kHeading, kSelfExtractHeading, 8, 1.3, 52, 1.4, "");
  FK_USEFONT(0);
  FK_FRAME(f, kStep1, kSelfExtractStep1, 1.5, 3.6, 61, 10.6, "");
  FK_RICHTEXT1(f, kNote, "", 3, 5.2, 58, 8.2, "MV");
  FK_FRAME(f, kStep2, kSelfExtractStep2, 1.5, 14.6, 61, 3.6, "");
  FK_BUTTON(f, kEnterPassphrase, "&Enter passphrase", 3, 16.0, 22, 1.8, "");
  FK_FRAME(f, kStep3, kSelfExtractStep3, 1.5, 18.8, 61, 3.9, "");
  FK_BUTTON(f, kSave, "&Save exe as file", 3, 20.3, 18, 1.8, "");
  FK_BUTTON(f, kMail, "Create e-mail with &attachment", 22.5, 20.3, 27, 1.8, "");
  FK_BUTTON(f, kCancel, "&Cancel", 51, 20.3, 10, 1.8, "A");
}

void SelfExtractForm::Create(bool mail) {
  std::string note = FK_GETRICHTEXT(kSelfExtractForm, selfextr_ctl::kNote);
  const bool done = dialog_ && dialog_->Create(note, mail);
  if (done && FK_FORMEXISTS(kSelfExtractForm)) FK_UNLOADFORM(kSelfExtractForm);
}

void SelfExtractForm::OnEvent(int id, int code, intptr_t value, int* cancel) {
  (void)value;
  (void)cancel;
  using namespace selfextr_ctl;
  if (code != FK_EV_CLICK) return;  // closing the window unloads it, as "&Cancel" does
  switch (id) {
    case kEnterPassphrase:
      if (dialog_) dialog_->EnterPassphrase();
      break;
    case kSave:
      Create(false);
      break;
    case kMail:
      Create(true);
      break;
    case kCancel:
      FK_UNLOADFORM(kSelfExtractForm);
      break;
    default:
      break;
  }
}

void ShowSelfExtractorForm(Desk& desk, std::string editor_text,
                           std::vector<std::string> included_files) {
  desk.self_extract.Show(std::move(editor_text), std::move(included_files));
}

}  // namespace lq::gui
