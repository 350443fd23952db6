// The self-extractor dialog "SELFEXTR": a note (step 1), the passphrase asked twice (step 2),
// and saving the program as a file or mailing it (step 3). What the buttons do is
// SelfExtractDialog's (app/selfextract_action.h); this draws the form and routes its events.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/selfextract_action.h"

namespace lq::gui {

class Desk;

namespace selfextr_ctl {
constexpr int kIcon = 100;
constexpr int kHeading = 101;
constexpr int kStep1 = 102;
constexpr int kNote = 103;
constexpr int kStep2 = 104;
constexpr int kEnterPassphrase = 105;
constexpr int kStep3 = 106;
constexpr int kSave = 107;
constexpr int kMail = 108;
constexpr int kCancel = 109;
}  // namespace selfextr_ctl

class SelfExtractForm {
 public:
  explicit SelfExtractForm(Desk& desk) : desk_(desk) {}

  // Shows the dialog for this message and waits until it closes.
  void Show(std::string editor_text, std::vector<std::string> included_files);
  void Design();
  void OnEvent(int id, int code, intptr_t value, int* cancel);

  // How the e-mail button hands the program on; the mail drivers plug in here.
  SelfExtractMailer mailer = MailThroughDriver;

 private:
  void Create(bool mail);
  Desk& desk_;
  std::unique_ptr<SelfExtractDialog> dialog_;
};

// The main window's "Encrypt/sign and save self-e&xtracting packet": the dialog for the editor's
// text and the included files.
void ShowSelfExtractorForm(Desk& desk, std::string editor_text,
                           std::vector<std::string> included_files);

}  // namespace lq::gui
