// The main window's actions over the packet engine, text capture and the mail seam.
#include "app/actions.h"

#include <algorithm>
#include <random>

#include "app/ui_hooks.h"
#include "base/catalogue.h"
#include "keys/key_records.h"
#include "mail/key_strings.h"
#include "packet/armor.h"
#include "packet/packet_records.h"
#include "packet/signature_packet.h"

namespace lq {

namespace {

constexpr long kComposeSteps = 9;

CaptureContext Capture(Session& s, Workbench& wb) {
  return CaptureContext{s.desktop, wb, s.settings.minimise_on_click != 0,
                        [&s](std::string_view line) { SessionLogLine(s, line); }};
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool EndsWithIgnoringCase(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  return std::equal(end.begin(), end.end(), text.end() - static_cast<long>(end.size()),
                    [](char a, char b) { return Upper(a) == Upper(b); });
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder;
}

// Starts a decrypting action: header, a fresh summary, the overwrite answer forgotten unless
// it is remembered for the session.
void StartDecrypting(Session& s, std::string_view what) {
  LogActionHeader(s, what);
  s.packets.ClearSummary(TimeStampText(s.Now()));
  ClearOverwriteAnswer(s.packets);
}

// The keyname of a key for messages, "--No KeyName found--" when it has none.
std::string KeyNameOf(Session& s, const Bytes& key_id) {
  for (const KeyListEntry& k : s.keyfile.keys) {
    if (k.key_id == key_id && !k.keyname.empty()) return k.keyname;
  }
  return kNoKeyNameText;
}

// The selected recipients with every group replaced by its members, in selection order,
// each key once.
std::vector<Bytes> SelectedKeys(Session& s) {
  std::vector<Bytes> out;
  auto add = [&out](const Bytes& id) {
    if (std::find(out.begin(), out.end(), id) == out.end()) out.push_back(id);
  };
  for (const Bytes& id : s.keyfile.selected_recipients) {
    auto group = std::find_if(s.keyfile.groups.begin(), s.keyfile.groups.end(),
                              [&id](const KeyGroupEntry& g) { return g.group_id == id; });
    if (group == s.keyfile.groups.end()) {
      add(id);
    } else {
      for (const Bytes& member : group->members) add(member);
    }
  }
  return out;
}

// Shows a decrypted text in the editor, rich when it is rich text.
void ShowInEditor(Workbench& wb, std::string_view text, bool rich) {
  wb.SetEditorText(text, rich && text.rfind("{\\rtf", 0) == 0);
}

// The text between the signed-text markers as the sender wrote it, without the line breaks
// that frame it; empty when the markers are not there in order.
std::string SignedTextAsWritten(std::string_view armor) {
  const size_t a = armor.find(kSignedTextStart);
  const size_t g = armor.rfind(kSignatureStart);
  if (a == std::string_view::npos || g == std::string_view::npos) return {};
  size_t begin = a + std::string_view(kSignedTextStart).size();
  if (g < begin) return {};
  size_t end = g;
  while (begin < end && (armor[begin] == '\r' || armor[begin] == '\n')) ++begin;
  while (end > begin && (armor[end - 1] == '\r' || armor[end - 1] == '\n')) --end;
  return std::string(armor.substr(begin, end - begin));
}

// A file name "LQ_<number>.lqe" in the temporary folder that does not exist yet.
std::string NewTemporaryPacketName(Session& s) {
  std::random_device rd;
  std::uniform_int_distribution<unsigned> pick(1, 99999999);
  const std::string folder = WithSeparator(s.desktop.TemporaryFolder());
  for (;;) {
    std::string name =
        folder + "LQ_" + std::to_string(pick(rd)) + "." + std::string(kPacketExtension);
    if (!s.files.Exists(name)) return name;
  }
}

bool CreateMailThroughSeam(Session& s, const std::string& to, const std::string& subject,
                           const std::string& body, const std::string& files) {
  if (s.mail.create_mail) return s.mail.create_mail(to, subject, body, files);
  ShowMessage(s.ui, "EMDriver_EmptyEMailDriver", mb::kIconHand, s.settings.email_driver);
  return false;
}

}  // namespace

// --- Small pieces -------------------------------------------------------------------------

bool PutSecretOnClipboard(Session& s, std::string_view text) {
  if (!s.desktop.SetClipboardText(text, true)) return false;
  s.secret_clipboard.text = std::string(text);
  s.secret_clipboard.remaining_ms = kSecretClipboardMs;
  return true;
}

void TickSecretClipboard(Session& s, int elapsed_ms) {
  SecretClipboard& guard = s.secret_clipboard;
  if (guard.text.empty()) return;
  guard.remaining_ms -= elapsed_ms;
  if (guard.remaining_ms > 0) return;
  std::string now;
  if (s.desktop.GetClipboardText(now) && now == guard.text) {
    s.desktop.ClearClipboard();
    SessionLogLine(s, "Decrypted text removed from the clipboard");
  }
  Wipe(now);
  Wipe(guard.text);
  guard.text.clear();
  guard.remaining_ms = 0;
}

void LogActionHeader(Session& s, std::string_view what) {
  SessionLogLine(s, "");
  SessionLogLine(s, "=== " + std::string(what) + " at " + TimeStampText(s.Now()) + " ===");
}

bool CheckRecipients(Session& s) {
  PacketSession& p = s.packets;
  // Only a changed selection is handed over: setting it forgets the answer to the
  // mixed-key-type question, which must last while the selection stays.
  if (p.Recipients() != s.keyfile.selected_recipients)
    p.SetRecipients(s.keyfile.selected_recipients);
  if (p.encrypt && p.Recipients().empty()) {
    ShowMessage(s.ui, "EnDec_NoRecipientsSelected", mb::kIconHand);
    return false;
  }
  return true;
}

void BuildRecipientAddressList(Session& s, std::string& to, std::string& subject) {
  to.clear();
  subject.clear();
  for (const Bytes& id : SelectedKeys(s)) {
    UserId user;
    if (!ReadUserId(s.keyfile, id, user, false)) {
      ShowMessage(s.ui, "EnDec_NoUserDataFoundForRecipient", mb::kIconHand, KeyNameOf(s, id));
      continue;
    }
    subject = user.email_subject;
    if (user.email_address.empty()) {
      ShowMessage(s.ui, "EnDec_NoEmailAddressFoundForRecipient", mb::kIconHand,
                  user.keyname.empty() ? std::string(kNoKeyNameText) : user.keyname);
      continue;
    }
    to += user.email_address + s.settings.to_separator;
  }
  if (!to.empty()) to.pop_back();
  if (subject.empty()) subject = kNoSubjectText;
}

std::string ComposeArmor(Session& s, std::string_view text) {
  return s.packets.encrypt ? Compose_PacketArmor(s.packets, text)
                           : Compose_SignedTextArmor(s.packets, text);
}

int SaveEncryptedFile(Session& s, Workbench& wb, const std::string& path) {
  std::string text = wb.EditorText();
  const int result = Compose_PacketFile(s.packets, path, text, s.packets.encrypt);
  Wipe(text);
  return result;
}

std::string IncludedCountText(size_t count) {
  return std::to_string(count) + (count == 1 ? " file included - " : " files included - ");
}

void IncludeFiles(Session& s, Workbench& wb, const std::vector<std::string>& files) {
  std::vector<std::string>& list = s.packets.attachments;
  for (const std::string& f : files) {
    if (std::find(list.begin(), list.end(), f) == list.end()) list.push_back(f);
  }
  wb.IncludedFilesChanged();
}

// --- Encrypting ---------------------------------------------------------------------------

void EncryptAndPasteAsText(Session& s, Workbench& wb) {
  if (!CheckRecipients(s)) return;
  LogActionHeader(s, "Encrypting as text");
  s.packets.StartProgress(kComposeSteps);
  SessionLogLine(s, "Capturing text...");
  std::string text = wb.EditorText();
  const std::string armor = ComposeArmor(s, text);
  Wipe(text);
  if (armor.empty()) {
    s.packets.EndProgress();
    return;
  }
  SessionLogLine(s, "Pasting text in window");
  CaptureContext c = Capture(s, wb);
  PasteIntoClickedWindow(c, armor, {"Click a window to paste", "encrypted text."});
  SessionLogLine(s, "Finished succesfully");
  s.packets.EndProgress();
}

void EncryptAndSaveAsFile(Session& s, Workbench& wb) {
  if (!CheckRecipients(s)) return;
  LogActionHeader(s, "Encrypting as file");
  FileChooserRequest request;
  request.title = "Select or enter a filename to save packet";
  request.filter = kPacketFilter;
  request.save = true;
  const std::vector<std::string> chosen = s.ui.ChooseFiles(request);
  if (chosen.empty()) return;
  s.packets.StartProgress(kComposeSteps);
  const int result = SaveEncryptedFile(s, wb, chosen.front());
  s.packets.EndProgress();
  if (result == 0) SessionLogLine(s, "Finished succesfully");
}

void EncryptAndSaveAsSeparateFiles(Session& s, Workbench& wb) {
  if (!CheckRecipients(s)) return;
  LogActionHeader(s, "Encrypting as separate files");
  std::string folder =
      s.ui.ChooseFolder("Select a directory to store encrypted files", s.packets.store_folder);
  if (folder.empty()) return;
  folder = WithSeparator(folder);
  std::vector<std::string>& list = s.packets.attachments;
  if (list.empty()) return;
  const std::vector<std::string> all = list;
  for (const std::string& file : all) {
    list = {file};
    s.packets.StartProgress(kComposeSteps);
    SaveEncryptedFile(s, wb, folder + BaseName(file) + "." + kPacketExtension);
    s.packets.EndProgress();
  }
  list = all;
}

void EncryptAndSendAsEMail(Session& s, Workbench& wb) {
  if (!CheckRecipients(s)) return;
  std::string to, subject;
  BuildRecipientAddressList(s, to, subject);
  s.packets.StartProgress(kComposeSteps);
  bool as_text = s.settings.insert_as_text != 0;
  const bool can_attach = s.mail.can_attach_files && s.mail.can_attach_files();
  if (!as_text && !can_attach) {
    ShowMessage(s.ui, "EMDriver_CantAttachFiles", mb::kIconInformation);
    as_text = true;
  }
  bool made = false;
  if (as_text) {
    LogActionHeader(s, "Encrypting as text");
    std::string text = wb.EditorText();
    const std::string armor = ComposeArmor(s, text);
    Wipe(text);
    if (armor.empty()) {
      s.packets.EndProgress();
      return;
    }
    made = CreateMailThroughSeam(s, to, subject, armor, "");
  } else {
    LogActionHeader(s, "Encrypting as file");
    const std::string file = NewTemporaryPacketName(s);
    if (SaveEncryptedFile(s, wb, file) != 0) {
      s.packets.EndProgress();
      return;
    }
    made = CreateMailThroughSeam(s, to, subject, "", file);
  }
  s.packets.EndProgress();
  // A mail that was not made is not reported as made: the reason was shown.
  if (!made) {
    SessionLogLine(s, "No mail was created");
    return;
  }
  SessionLogLine(s, "Created new mail with ciphertext");
  SessionLogLine(s, "Finished succesfully");
}

void PasteEMailAddresses(Session& s, Workbench& wb) {
  SessionLogLine(s, "");
  SessionLogLine(s, "=== Pasting e-mailaddresses at " + TimeStampText(s.Now()) + " ===");
  std::string to, subject;
  if (s.keyfile.selected_recipients.empty()) {
    SessionLogLine(s, "No recipients selected!");
    ShowMessage(s.ui, "EnDec_NoRecipientsSelected", mb::kIconHand);
  } else {
    BuildRecipientAddressList(s, to, subject);
  }
  CaptureContext c = Capture(s, wb);
  PasteIntoClickedWindow(
      c, to, {"Click the recipient field of your", "mailprogram to paste e-mailaddresses."});
  SessionLogLine(s, "Finished succesfully");
}

// --- Decrypting ---------------------------------------------------------------------------

bool DecryptAndShow(Session& s, Workbench& wb, std::string_view text) {
  PacketSession& p = s.packets;
  const bool signed_text = text.find(kSignedTextStart) != std::string_view::npos;
  p.history_parent = 0;
  p.history_parent = p.AddHistoryText(signed_text ? "Signed text #" : "Ciphertext #", text);
  bool shown = false;
  std::string current(text);
  // Each round reads one armor; with recursive decryption a result that is a packet itself is
  // read again. The rounds are bounded: a packet can hold itself only to a finite depth.
  for (int round = 0; round < 64; ++round) {
    // Reading says itself when the text holds no armor or a key; a later round only goes on
    // while the result is armored.
    const std::string kind = DetectArmor(s.ui, current, false);
    // Only a signed text is needed again below; any other armor is read inside `current`.
    OpenedText opened = kind == kSignedTextStart ? ReadArmoredText(p, current)
                                                 : ReadArmoredTextInPlace(p, std::move(current));
    std::string result;
    bool rich = false;
    if (kind == kSignedTextStart) {
      result = SignedTextAsWritten(current);
    } else if (opened.shown) {
      result = std::move(opened.text);
      rich = opened.rich;
    }
    if (result.empty()) break;
    ShowInEditor(wb, result, rich);
    shown = true;
    Wipe(current);
    current = std::move(result);
    if (s.settings.recursive_decryption == 0) break;
    if (DetectArmor(s.ui, current, false).empty()) break;
  }
  Wipe(current);
  p.history_parent = 0;
  p.EndProgress();
  return shown;
}

bool DecryptOneFile(Session& s, Workbench& wb, const std::string& path) {
  PacketSession& p = s.packets;
  p.history_parent = 0;
  p.history_parent = p.AddHistoryFile("Encrypted file", path);
  OpenedText opened = Decompose_PacketFile(p, path);
  p.history_parent = 0;
  if (!opened.shown) return false;
  ShowInEditor(wb, opened.text, opened.rich);
  Wipe(opened.text);
  return true;
}

void DecryptText(Session& s, Workbench& wb) {
  StartDecrypting(s, "Decrypting text");
  CaptureContext c = Capture(s, wb);
  WaitForClick(c, {"Click the window that contains", "the encrypted text."});
  std::string text = FetchTextFromFocusedWindow(c);
  if (text.empty()) {
    s.packets.EndProgress();
    ShowMessage(s.ui, "EnDec_NoTextFetched", mb::kIconInformation);
    SessionLogLine(s, "Could not fetch text!");
  } else {
    DecryptAndShow(s, wb, text);
  }
  Wipe(text);
  if (c.minimize_during_click) wb.RestoreMainWindow();
}

void DecryptFiles(Session& s, Workbench& wb) {
  StartDecrypting(s, "Decrypting file(s)");
  FileChooserRequest request;
  request.title = "Select a file to decrypt";
  request.filter = std::string(kPacketFilter) + "|All files|*.*";
  request.multi_select = true;
  const std::vector<std::string> files = s.ui.ChooseFiles(request);
  if (files.empty()) return;
  s.packets.StartProgress(kComposeSteps);
  for (const std::string& f : files) DecryptOneFile(s, wb, f);
  s.packets.EndProgress();
}

void ProcessDroppedFiles(Session& s, Workbench& wb, const std::vector<std::string>& files) {
  PacketSession& p = s.packets;
  LogActionHeader(s, "Processing dropped files");
  p.StartProgress(static_cast<long>(files.size()));
  p.ClearSummary(TimeStampText(s.Now()));
  ClearOverwriteAnswer(p);
  bool recipients_checked = false, recipients_ok = false;
  for (const std::string& f : files) {
    SessionLogLine(s, "");
    SessionLogLine(s, "File dropped: " + f);
    wb.AddImmediateFile(f);
    if (EndsWithIgnoringCase(f, "." + std::string(kPacketExtension))) {
      SessionLogLine(s, "  - trying to decrypt file");
      DecryptOneFile(s, wb, f);
    } else {
      SessionLogLine(s, "  - trying to encrypt file");
      // One question for the whole drop, not one per file.
      if (!recipients_checked) {
        recipients_ok = CheckRecipients(s);
        recipients_checked = true;
      }
      if (recipients_ok) {
        // The packet holds this file alone: neither the editor's text nor the other
        // included files go with it.
        const std::vector<std::string> kept = p.attachments;
        p.attachments = {f};
        Compose_PacketFile(p, f + "." + kPacketExtension, "", p.encrypt);
        p.attachments = kept;
      }
    }
    p.StepProgress();
  }
  SessionLogLine(s, "Finished successfully");
  p.EndProgress();
}

void HotkeyEncrypt(Session& s, Workbench& wb) {
  if (!CheckRecipients(s)) return;
  LogActionHeader(s, "Hotkey pressed: Encrypt as text");
  const std::vector<std::string>& list = s.packets.attachments;
  if (!list.empty()) {
    std::string names;
    for (const std::string& f : list) names += (names.empty() ? "" : "\r\n") + f;
    if (AskUser(s.ui, "EnDec_Hotkey_IncludedFiles", mb::kOkCancel | mb::kIconInformation, names) !=
        kIdOk) {
      return;
    }
  }
  CaptureContext c = Capture(s, wb);
  WaitForModifierKeysReleased(c);
  std::string text = FetchTextFromFocusedWindow(c);
  // Nothing fetched: pasting a packet of nothing would replace whatever the window holds.
  if (text.empty()) {
    ShowMessage(s.ui, "EnDec_NoTextFetched", mb::kIconInformation);
    SessionLogLine(s, "Could not fetch text!");
    return;
  }
  s.packets.StartProgress(kComposeSteps);
  SessionLogLine(s, "Capturing text...");
  const std::string armor = ComposeArmor(s, text);
  Wipe(text);
  if (armor.empty()) {
    s.packets.EndProgress();
    return;
  }
  SessionLogLine(s, "Pasting text in window");
  PasteIntoFocusedWindow(c, armor);
  SessionLogLine(s, "Finished succesfully");
  s.packets.EndProgress();
}

void HotkeyDecrypt(Session& s, Workbench& wb) {
  StartDecrypting(s, "Hotkey pressed: decrypting text");
  CaptureContext c = Capture(s, wb);
  WaitForModifierKeysReleased(c);
  std::string text = FetchTextFromFocusedWindow(c);
  if (text.empty()) {
    ShowMessage(s.ui, "EnDec_NoTextFetched", mb::kIconInformation);
    SessionLogLine(s, "Could not fetch text!");
    return;
  }
  const bool shown = DecryptAndShow(s, wb, text);
  Wipe(text);
  // Only a text that was decrypted goes back: after a failure the editor still holds older
  // text, which must not replace the other program's ciphertext.
  if (shown) {
    s.desktop.ClearClipboard();
    std::string probe;
    for (int i = 0; i < 100 && s.desktop.GetClipboardText(probe) && !probe.empty(); ++i) {
      s.desktop.Pump();
      s.desktop.Sleep(10);
    }
    std::string plain = wb.EditorText();
    PutSecretOnClipboard(s, plain);
    Wipe(plain);
    if (!wb.EditorHasFocus()) SendKeys(s.desktop, "^v");
  }
  if (s.settings.show_on_decrypt_key != 0) wb.ShowAllWindows();
}

// --- History ------------------------------------------------------------------------------

std::vector<HistoryMenuItem> HistoryMenu(std::string_view tree_text) {
  using C = HistoryCommand;
  std::vector<HistoryMenuItem> items;
  auto starts = [&tree_text](std::string_view p) { return tree_text.rfind(p, 0) == 0; };
  if (starts("Ciphertext #")) {
    items = {{"Delete ciphertext", C::kDelete},
             {"Move ciphertext to edit window", C::kMoveToEditor}};
  } else if (starts("Plaintext #")) {
    items = {{"Delete plaintext", C::kDelete}, {"Move plaintext to edit window", C::kMoveToEditor}};
  } else if (starts("Verified text #")) {
    items = {{"Delete verified text", C::kDelete}, {"Move text to edit window", C::kMoveToEditor}};
  } else if (starts("Signed text #")) {
    items = {{"Delete signed text", C::kDelete},
             {"Move signed text to edit window", C::kMoveToEditor}};
  } else if (starts("Plaintext file") || starts("Encrypted file")) {
    items = {{"Open file", C::kOpenFile},
             {"Open file with Wordpad", C::kOpenWithWordpad},
             {"Decrypt file", C::kDecryptFile},
             {"Delete file", C::kDeleteFile},
             {"Include file", C::kIncludeFile}};
  }
  if (!items.empty()) items.push_back({"-", C::kClearList});
  items.push_back({"Collapse treeview", C::kCollapse});
  items.push_back({"Expand treeview", C::kExpand});
  items.push_back({"Clear list", C::kClearList});
  return items;
}

bool RunHistoryCommand(Session& s, Workbench& wb, const HistoryEntryView& entry,
                       HistoryCommand command) {
  const std::string& path = entry.kept;
  auto missing = [&s, &path]() {
    if (s.files.Exists(path)) return false;
    ShowMessage(s.ui, "Error_FileNotFound", mb::kIconHand, path);
    return true;
  };
  switch (command) {
    case HistoryCommand::kDelete:
      return true;
    case HistoryCommand::kMoveToEditor:
      ShowInEditor(wb, entry.kept, true);
      return false;
    case HistoryCommand::kOpenFile:
      if (!missing()) s.desktop.ShellOpen("\"" + path + "\"");
      return false;
    case HistoryCommand::kOpenWithWordpad:
      if (!missing()) {
        ProcessRequest request;
        request.program = "write.exe";
        request.arguments = "\"" + path + "\"";
        if (ProcessId pid = s.desktop.StartProcess(request)) s.desktop.CloseProcess(pid);
      }
      return false;
    case HistoryCommand::kDecryptFile:
      if (!missing()) {
        StartDecrypting(s, "Decrypting file(s)");
        s.packets.StartProgress(kComposeSteps);
        DecryptOneFile(s, wb, path);
        s.packets.EndProgress();
      }
      return false;
    case HistoryCommand::kDeleteFile:
      if (missing()) return false;
      if (AskUser(s.ui, "General_AskToDeleteFile", mb::kYesNo | mb::kIconQuestion, path) !=
          kIdYes) {
        return false;
      }
      if (const int err = s.files.Remove(path); err != fe::kOk) {
        ReportFileError(s.ui, err, path);
        return false;
      }
      return true;
    case HistoryCommand::kIncludeFile:
      if (!missing()) IncludeFiles(s, wb, {path});
      return false;
    case HistoryCommand::kCollapse:
    case HistoryCommand::kExpand:
    case HistoryCommand::kClearList:
      return false;
  }
  return false;
}

// --- Log ----------------------------------------------------------------------------------

int SaveLogText(Session& s, const std::vector<std::string>& lines) {
  if (lines.empty()) {
    ShowMessage(s.ui, "General_LogtextEmpty", mb::kIconInformation);
    return 1;
  }
  FileChooserRequest request;
  request.title = "Select name to save logtext";
  request.filter = "Text Files|*.txt";
  request.default_name = "LogText.txt";
  request.save = true;
  const std::vector<std::string> chosen = s.ui.ChooseFiles(request);
  if (chosen.empty()) return 1;
  std::string content;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) content += "\r\n";
    content += lines[i];
  }
  if (const int err = ReplaceWholeFile(s.files, chosen.front(), content); err != fe::kOk) {
    ReportFileError(s.ui, err, chosen.front());
    return 1;
  }
  return 0;
}

}  // namespace lq
