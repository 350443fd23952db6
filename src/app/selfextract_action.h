// "Encrypt/sign and save self-extracting packet": the logic of the SELFEXTR dialog (note,
// passphrase asked twice, save or mail) and BuildSelfExtractor, which turns the editor's text
// and the included files into a self-extracting program. The GUI only draws the dialog.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/session.h"
#include "selfextract/builder.h"

namespace lq {

inline constexpr char kSelfExtractForm[] = "SELFEXTR";
inline constexpr char kSelfExtractCaption[] = "Create Self-extracting exe";
inline constexpr char kSelfExtractHeading[] = "Create a self-extracting file";
inline constexpr char kSelfExtractStep1[] = "Step 1: Add a note if you like";
inline constexpr char kSelfExtractStep2[] = "Step 2: Enter passphrase";
inline constexpr char kSelfExtractStep3[] = "Step 3: Create exe file";
inline constexpr char kSelfExtractPassphrasePrompt[] =
    "Enter the passphrase and then retype it\r\n-------------";
inline constexpr char kSelfExtractFailed[] =
    "An error occurred while creating the self-extracting program";
inline constexpr char kSelfExtractAutoSave[] = "AutoSave";
inline constexpr char kSelfExtractUserEntry[] = "UserEntry";

// Hands a finished self-extractor to the e-mail driver as an attachment (CreateMail with an
// empty To, subject and body and the file as the file list).
using SelfExtractMailer = std::function<void(Session& session, const std::string& file)>;

// The session's mail driver (CreateMail with the file attached); without one, what CreateMail
// does with no driver loaded: "EMDriver_EmptyEMailDriver" with the selected driver's name.
void MailThroughDriver(Session& session, const std::string& file);

struct SelfExtractBuild {
  int status = kSelfExtractorFailed;  // kSelfExtractorWritten when the file was written
  std::string path;                   // the file written (or that was to be written)
};

// BuildSelfExtractor(mode, passphrase, note) over `text` and the files of `attachments` that
// exist. The mode is compared in lower case: "autosave" names a file in the temporary folder,
// any other asks for one ("Save file as"; an empty answer cancels quietly). Logs the header in
// green, "Executable file saved as: " + name on success, and shows kSelfExtractFailed when the
// write failed.
SelfExtractBuild BuildSelfExtractor(Session& session, std::string_view mode,
                                    std::string_view passphrase, std::string_view note,
                                    std::string_view text,
                                    const std::vector<std::string>& attachments);

// The SELFEXTR dialog's state between its events. It owns the passphrase (wiped when it goes)
// and the message it was opened for.
class SelfExtractDialog {
 public:
  SelfExtractDialog(Session& session, std::string editor_text,
                    std::vector<std::string> included_files,
                    SelfExtractMailer mailer = MailThroughDriver);
  ~SelfExtractDialog();
  SelfExtractDialog(const SelfExtractDialog&) = delete;
  SelfExtractDialog& operator=(const SelfExtractDialog&) = delete;

  // "&Enter passphrase": the two-entry passphrase dialog until both entries agree
  // ("Keyfile_Passphrases_not_identical" between attempts); cancel leaves no passphrase.
  void EnterPassphrase();
  bool HasPassphrase() const { return !passphrase_.empty(); }

  // "&Save exe as file" (mail false) or "Create e-mail with &attachment" (mail true) with the
  // note of step 1. Without a passphrase shows "EnDec_NoPassphrase" and returns false: the
  // dialog stays. Otherwise builds (and mails), wipes the passphrase and returns true: the
  // dialog closes.
  bool Create(std::string_view note, bool mail);

  const SelfExtractBuild& LastBuild() const { return last_; }

 private:
  Session& session_;
  std::string text_;
  std::vector<std::string> files_;
  SelfExtractMailer mailer_;
  std::string passphrase_;
  SelfExtractBuild last_;
};

}  // namespace lq
