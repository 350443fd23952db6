// The self-extractor action: the SELFEXTR dialog's steps and the build of the program from the
// editor's text, the included files and the passphrase.
#include "app/selfextract_action.h"

#include <cctype>

#include "app/ui_hooks.h"
#include "base/catalogue.h"
#include "packet/passphrase_packet.h"

namespace lq {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Overwrites a text with blanks of its own length, then empties it, as the dialog's values are
// cleared.
void Blank(std::string& text) {
  for (char& c : text) c = ' ';
  Wipe(text);
}

}  // namespace

void MailThroughDriver(Session& session, const std::string& file) {
  if (session.mail.create_mail) {
    session.mail.create_mail("", "", "", file);
    return;
  }
  session.ui.Trace("CreateMail without a driver: " + file);
  ShowMessage(session.ui, "EMDriver_EmptyEMailDriver", mb::kIconHand,
              session.settings.email_driver);
}

SelfExtractBuild BuildSelfExtractor(Session& session, std::string_view mode,
                                    std::string_view passphrase, std::string_view note,
                                    std::string_view text,
                                    const std::vector<std::string>& attachments) {
  SelfExtractBuild build;
  PacketSession s(session.ui, session.random, session.keyfile);
  s.attachments = attachments;
  s.never_compress = session.packets.never_compress;
  SessionLogLine(session,
                 "=== Encrypting as executable at " + TimeStampText(session.Now()) + " ===");
  s.SetStatusColour("green");

  Bytes packet = Compose_PassphrasePacket(s, note, text, passphrase);
  if (packet.empty()) return build;

  if (Lower(mode) == "autosave") {
    build.path = AutoSaveName(session.files, session.desktop.TemporaryFolder(), session.Now(),
                              session.SecondsOfDay());
  } else {
    FileChooserRequest request;
    request.title = "Save file as";
    request.default_name = "LQSEF.exe";
    request.filter = "Executables|*.exe|All files|*.*";
    request.save = true;
    const std::vector<std::string> chosen = session.ui.ChooseFiles(request);
    if (!chosen.empty()) build.path = chosen.front();
  }
  if (build.path.empty()) return build;  // the user cancelled the name

  build.status = WriteSelfExtractor(session.ui, session.files,
                                    ProgramsIn(session.env.program_folder), packet, build.path);
  Release(packet);
  if (build.status != kSelfExtractorWritten) {
    MessageBoxRequest request;
    request.text = kSelfExtractFailed;
    request.caption = kSelfExtractorCaption;
    request.style = mb::kIconHand | mb::kSystemModal | mb::kTopmost;
    session.ui.ShowMessageBox(request);
    return build;
  }
  SessionLogLine(session, "Executable file saved as: " + build.path);
  return build;
}

SelfExtractDialog::SelfExtractDialog(Session& session, std::string editor_text,
                                     std::vector<std::string> included_files,
                                     SelfExtractMailer mailer)
    : session_(session),
      text_(std::move(editor_text)),
      files_(std::move(included_files)),
      mailer_(std::move(mailer)) {}

SelfExtractDialog::~SelfExtractDialog() {
  Wipe(passphrase_);
  Wipe(text_);
}

void SelfExtractDialog::EnterPassphrase() {
  ChangePassphraseRequest request;
  request.mode = ChangePassphraseMode::kNewKeyfile;
  request.prompt = kSelfExtractPassphrasePrompt;
  for (;;) {
    ChangePassphraseReply reply = session_.ui.AskChangePassphrase(request);
    const bool cancelled = reply.current == kPassphraseCancelled;
    if (cancelled || reply.new_text == reply.retyped) {
      Wipe(passphrase_);
      if (!cancelled) passphrase_ = reply.new_text;
      Blank(reply.current);
      Blank(reply.new_text);
      Blank(reply.retyped);
      return;
    }
    Blank(reply.current);
    Blank(reply.new_text);
    Blank(reply.retyped);
    ShowMessage(session_.ui, "Keyfile_Passphrases_not_identical",
                MessageStyle("Keyfile_Passphrases_not_identical"));
  }
}

bool SelfExtractDialog::Create(std::string_view note, bool mail) {
  if (passphrase_.empty()) {
    ShowMessage(session_.ui, "EnDec_NoPassphrase", MessageStyle("EnDec_NoPassphrase"));
    return false;
  }
  last_ = BuildSelfExtractor(session_, mail ? kSelfExtractAutoSave : kSelfExtractUserEntry,
                             passphrase_, note, text_, files_);
  if (mail && last_.status == kSelfExtractorWritten) {
    session_.ui.Trace("SE file was saved as: " + last_.path);
    mailer_(session_, last_.path);
  }
  Blank(passphrase_);
  return true;
}

}  // namespace lq
