// The main window's actions end to end on the host: a real keyfile and packet engine, the
// recording Ui, a recording workbench and a scripted desktop whose "other program" is a text
// pad that answers Ctrl+A, Ctrl+C and Ctrl+V the way an edit window does.
#include "app/actions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/popup.h"
#include "keys/key_records.h"
#include "keys/keypair.h"
#include "packet/armor.h"
#include "platform/scripted_desktop.h"
#include "support/fake_editor.h"
#include "support/file_fakes.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using test::RecordingUi;
using test::TempDir;

class RecordingBench : public Workbench {
 public:
  std::string editor;
  bool rich = false;
  bool editor_focus = false;
  std::vector<std::string> calls, immediate;

  // The user clicks as soon as the note asks for it.
  std::function<void()> on_sticky;
  void ShowStickyForm(const std::vector<std::string>& lines) override {
    calls.push_back("sticky " + (lines.empty() ? std::string() : lines.front()));
    if (on_sticky) on_sticky();
  }
  void MoveStickyForm(ScreenPoint) override {}
  void CloseStickyForm() override {}
  void MinimizeMainWindow() override { calls.push_back("minimise"); }
  void RestoreMainWindow() override { calls.push_back("restore"); }
  std::string EditorText() override { return editor; }
  void SetEditorText(std::string_view text, bool r) override {
    editor = std::string(text);
    rich = r;
    calls.push_back("editor");
  }
  bool EditorHasFocus() override { return editor_focus; }
  void IncludedFilesChanged() override { calls.push_back("included"); }
  void AddImmediateFile(std::string_view path) override { immediate.emplace_back(path); }
  void ShowAllWindows() override { calls.push_back("show all"); }
};

// One program run with a keyfile of two correspondents: Bob (a shared secret key, an e-mail
// address and subject) and Carol (a secret key, no address), and Alice, the signing key.
class ActionsTest : public ::testing::Test {
 protected:
  ActionsTest() : s(ui, desktop) {}

  void SetUp() override {
    pad.Attach(desktop);
    wb.on_sticky = [this] { desktop.buttons_pressed.insert(MouseButton::kLeft); };
    s.env.clock = [] { return LocalTime{2005, 1, 2, 9, 5, 7}; };
    s.keyfile.hooks.clock = [] { return LocalTime{2005, 1, 2, 9, 5, 7}; };
    ChangePassphraseReply reply;
    reply.new_text = reply.retyped = "pass";
    ui.change_replies.push_back(reply);
    ASSERT_EQ(CreateNewKeyfile(s.keyfile, dir.File("keys.lqk")), 0);
    bob = Person("Bob", "bob@example.org", "Hello Bob");
    carol = Person("Carol", "", "");
    for (const Bytes& id : {bob, carol}) {
      std::string secret = "shared secret of " + id.substr(0, 4);
      ASSERT_TRUE(SetSecretKey(s.keyfile, id, secret, 0, 0, 0));
    }
    std::filesystem::create_directories(dir.File("store"));
    s.packets.store_folder = dir.File("store") + "/";
    s.settings.use_secret_keys = 1;
    s.packets.SetPreferSecretKeys(true);
    Forget();
  }

  Bytes Person(const std::string& name, const std::string& mail, const std::string& subject) {
    ui.texts.push_back(name);
    Bytes id = NewKey(s.keyfile);
    UserId user;
    EXPECT_TRUE(ReadUserId(s.keyfile, id, user));
    user.first_name = name;
    user.last_name = "Example";
    user.email_address = mail;
    user.email_subject = subject;
    StoreKeyDetails(s.keyfile, user);
    return id;
  }

  void Forget() {
    ui.calls.clear();
    ui.boxes.clear();
    ui.log.clear();
    wb.calls.clear();
  }
  bool Logged(const std::string& line) const {
    return std::find(ui.log.begin(), ui.log.end(), line) != ui.log.end();
  }
  std::string Decrypt(const std::string& armor) {
    RecordingBench reader;
    EXPECT_TRUE(DecryptAndShow(s, reader, armor));
    return reader.editor;
  }
  std::string Write(const std::string& name, const std::string& data) {
    const std::string path = dir.File(name);
    EXPECT_EQ(ReplaceWholeFile(path, data), fe::kOk);
    return path;
  }
  std::string Read(const std::string& path) {
    std::string data;
    EXPECT_EQ(ReadWholeFile(path, data), fe::kOk) << path;
    return data;
  }

  TempDir dir;
  RecordingUi ui;
  ScriptedDesktop desktop;
  FakeEditor pad;  // the other program's window
  Session s;
  RecordingBench wb;
  Bytes bob, carol;
};

TEST_F(ActionsTest, PasteAsTextNeedsRecipientsAndPutsArmorIntoTheClickedWindow) {
  wb.editor = "Meet me at noon.";
  EncryptAndPasteAsText(s, wb);
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"EnDec_NoRecipientsSelected"});
  EXPECT_TRUE(ui.log.empty());
  EXPECT_EQ(pad.pastes, 0);

  Forget();
  s.keyfile.selected_recipients = {bob};
  s.settings.minimise_on_click = 1;
  EncryptAndPasteAsText(s, wb);
  EXPECT_TRUE(ui.boxes.empty()) << ui.MessageKeys().front();
  ASSERT_GE(ui.log.size(), 5u);
  EXPECT_EQ(ui.log[0], "");
  EXPECT_EQ(ui.log[1].rfind("=== Encrypting as text at ", 0), 0u) << ui.log[1];
  EXPECT_EQ(ui.log[2], "Capturing text...");
  EXPECT_TRUE(Logged("Pasting text in window"));
  EXPECT_EQ(ui.log.back(), "Finished succesfully");
  EXPECT_EQ(pad.pastes, 1);
  ASSERT_EQ(pad.text.rfind(kPacketStart, 0), 0u);
  EXPECT_EQ(wb.calls,
            (std::vector<std::string>{"minimise", "sticky Click a window to paste", "restore"}));
  EXPECT_EQ(Decrypt(pad.text), "Meet me at noon.");
}

TEST_F(ActionsTest, SignOnlyNeedsNoRecipients) {
  KeyPairRequest r;
  r.bits = 512;
  ui.texts.push_back("Alice");
  const Bytes alice = NewKey(s.keyfile);
  UserId user;
  ASSERT_TRUE(ReadUserId(s.keyfile, alice, user));
  user.first_name = "Alice";
  user.last_name = "Example";
  StoreKeyDetails(s.keyfile, user);
  ASSERT_EQ(CalculateNewPublicKey(s.keyfile, alice, r), kKeyPairsStored);
  SetSigningKey(s.keyfile, alice);
  s.packets.encrypt = false;
  s.packets.sign = true;
  wb.editor = "Signed words";
  Forget();
  EncryptAndPasteAsText(s, wb);
  EXPECT_TRUE(ui.boxes.empty());
  ASSERT_NE(pad.text.find(kSignedTextStart), std::string::npos);
  EXPECT_EQ(Decrypt(pad.text), "Signed words");
}

TEST_F(ActionsTest, HotkeysEncryptTheSelectionInPlaceAndDecryptItBack) {
  s.keyfile.selected_recipients = {carol};
  pad.text = "Dear Sir, the secret is 42. Regards";
  pad.sel_from = 10;
  pad.sel_to = 27;  // "the secret is 42."
  HotkeyEncrypt(s, wb);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(ui.log[1].rfind("=== Hotkey pressed: Encrypt as text at ", 0), 0u);
  EXPECT_TRUE(Logged("Copying text from window"));
  ASSERT_EQ(pad.text.substr(0, 10), "Dear Sir, ");
  ASSERT_EQ(pad.text.substr(pad.text.size() - 8), " Regards");
  const std::string armored = pad.text.substr(10, pad.text.size() - 18);
  ASSERT_EQ(armored.rfind(kPacketStart, 0), 0u);

  // Nothing selected: the whole text is taken and replaced by the plaintext.
  pad.text = armored;
  pad.sel_from = pad.sel_to = 0;
  Forget();
  HotkeyDecrypt(s, wb);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(pad.text, "the secret is 42.");
  EXPECT_EQ(wb.editor, "the secret is 42.");
  EXPECT_TRUE(desktop.clipboard_secret);
  EXPECT_EQ(std::count(wb.calls.begin(), wb.calls.end(), "show all"), 1);

  // Pressed inside Lockquill's own editor: the clipboard holds the text, nothing is pasted.
  pad.text = armored;
  pad.sel_from = pad.sel_to = 0;
  wb.editor_focus = true;
  const int pastes = pad.pastes;
  HotkeyDecrypt(s, wb);
  EXPECT_EQ(pad.pastes, pastes);
  EXPECT_EQ(desktop.clipboard, "the secret is 42.");
}

TEST_F(ActionsTest, RecursiveDecryptionOpensAPacketInsideAPacket) {
  s.keyfile.selected_recipients = {bob};
  ASSERT_TRUE(CheckRecipients(s));
  const std::string inner = ComposeArmor(s, "innermost words");
  const std::string outer = ComposeArmor(s, inner);
  ASSERT_FALSE(outer.empty());
  EXPECT_EQ(Decrypt(outer), inner);
  s.settings.recursive_decryption = 1;
  EXPECT_EQ(Decrypt(outer), "innermost words");
}

TEST_F(ActionsTest, FailedDecryptionLeavesTheOtherWindowAlone) {
  wb.editor = "older text that must not leak";
  pad.text = "no armor here";
  HotkeyDecrypt(s, wb);
  EXPECT_EQ(pad.text, "no armor here");
  EXPECT_EQ(pad.pastes, 0);
  EXPECT_TRUE(Logged("Not in ascii-armor format! Action aborted.."));

  // A window that gives nothing: the message, and no decryption attempt.
  Forget();
  pad.answers_copy = false;
  DecryptText(s, wb);
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"EnDec_NoTextFetched"});
  EXPECT_EQ(ui.log.back(), "Could not fetch text!");
}

TEST_F(ActionsTest, SavedFilesGetFreeNamesAndSeparateFilesOnePacketEach) {
  s.keyfile.selected_recipients = {bob};
  wb.editor = "note";
  const std::string target = Write("out.lqe", "old");
  ui.chosen_files.push_back({target});
  ui.buttons.push_back(kIdNo);  // "EnDec_FileExists": keep the old one, use a free name
  EncryptAndSaveAsFile(s, wb);
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"EnDec_FileExists"});
  EXPECT_EQ(Read(target), "old");
  EXPECT_TRUE(Logged("Saving file: " + dir.File("out_1.lqe")));
  EXPECT_EQ(ui.log.back(), "Finished succesfully");

  ui.chosen_files.push_back({target});
  ui.buttons.push_back(kIdCancel);
  Forget();
  EncryptAndSaveAsFile(s, wb);
  EXPECT_TRUE(Logged("File was not saved"));
  EXPECT_FALSE(Logged("Finished succesfully"));

  const std::string a = Write("a.txt", "alpha"), b = Write("b.bin", std::string(3000, '\0'));
  std::filesystem::create_directories(dir.File("sep"));
  s.packets.attachments = {a, b};
  ui.chosen_folders.push_back(dir.File("sep") + "/");
  EncryptAndSaveAsSeparateFiles(s, wb);
  EXPECT_EQ(s.packets.attachments, (std::vector<std::string>{a, b}));
  std::vector<std::string> made;
  for (auto& e : std::filesystem::directory_iterator(dir.File("sep"))) {
    made.push_back(e.path().filename().string());
  }
  std::sort(made.begin(), made.end());
  EXPECT_EQ(made, (std::vector<std::string>{"a.txt.lqe", "b.bin.lqe"}));
}

TEST_F(ActionsTest, DroppedFilesAreEncryptedBesideThemselvesAndDecryptedByExtension) {
  s.keyfile.selected_recipients = {bob};
  wb.editor = "editor text stays out";
  const std::string doc = Write("report.txt", "quarterly figures");
  ProcessDroppedFiles(s, wb, {doc});
  ASSERT_TRUE(std::filesystem::exists(doc + ".lqe"));
  EXPECT_EQ(wb.immediate, std::vector<std::string>{doc});
  EXPECT_TRUE(Logged("  - trying to encrypt file"));
  EXPECT_EQ(ui.log.back(), "Finished successfully");

  // The packet extension in any case is decrypted, into the store folder.
  const std::string upper = dir.File("REPORT.TXT.LQE");
  std::filesystem::rename(doc + ".lqe", upper);
  Forget();
  wb.editor = "unchanged";
  ProcessDroppedFiles(s, wb, {upper});
  EXPECT_TRUE(Logged("  - trying to decrypt file"));
  EXPECT_EQ(Read(s.packets.store_folder + "report.txt"), "quarterly figures");
  EXPECT_EQ(wb.editor, "unchanged");
  EXPECT_TRUE(s.packets.attachments.empty());
}

TEST_F(ActionsTest, MailGoesThroughTheSeamAndIsNotReportedWhenNoneWasMade) {
  s.keyfile.selected_recipients = {bob, carol};
  wb.editor = "mail body";
  EncryptAndSendAsEMail(s, wb);
  EXPECT_EQ(ui.MessageKeys(), (std::vector<std::string>{"EnDec_NoEmailAddressFoundForRecipient",
                                                        "EMDriver_EmptyEMailDriver"}));
  EXPECT_FALSE(Logged("Created new mail with ciphertext"));

  std::string to, subject, body, files;
  s.mail.create_mail = [&](const std::string& t, const std::string& su, const std::string& b,
                           const std::string& f) {
    to = t, subject = su, body = b, files = f;
    return true;
  };
  s.keyfile.selected_recipients = {bob};
  s.settings.insert_as_text = 0;  // attach, but the driver cannot: body instead
  Forget();
  EncryptAndSendAsEMail(s, wb);
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"EMDriver_CantAttachFiles"});
  EXPECT_EQ(to, "bob@example.org");
  EXPECT_EQ(subject, "Hello Bob");
  EXPECT_EQ(body.rfind(kPacketStart, 0), 0u);
  EXPECT_EQ(ui.log.back(), "Finished succesfully");

  s.mail.can_attach_files = [] { return true; };
  desktop.temporary_folder = dir.Path() + "/";
  Forget();
  EncryptAndSendAsEMail(s, wb);
  EXPECT_TRUE(body.empty());
  ASSERT_EQ(files.rfind(dir.Path() + "/LQ_", 0), 0u) << files;
  EXPECT_TRUE(std::filesystem::exists(files));

  // Addresses pasted: the recipients' list, or an empty text and the message when none.
  s.keyfile.selected_recipients = {carol, bob};
  s.settings.to_separator = ",";
  Forget();
  PasteEMailAddresses(s, wb);
  EXPECT_EQ(pad.text, "bob@example.org");
  EXPECT_EQ(ui.log.back(), "Finished succesfully");
}

TEST_F(ActionsTest, HistoryCommandsAndTheLog) {
  EXPECT_EQ(HistoryMenu("Ciphertext #2").front().text, std::string("Delete ciphertext"));
  EXPECT_EQ(HistoryMenu("Encrypted file")[1].text, std::string("Open file with Wordpad"));
  EXPECT_EQ(HistoryMenu("Not stored").size(), 3u);

  const std::string gone = dir.File("gone.txt");
  EXPECT_FALSE(RunHistoryCommand(s, wb, {"Plaintext file", gone}, HistoryCommand::kOpenFile));
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"Error_FileNotFound"});
  EXPECT_TRUE(desktop.opened.empty());

  const std::string file = Write("here file.txt", "x");
  RunHistoryCommand(s, wb, {"Plaintext file", file}, HistoryCommand::kOpenWithWordpad);
  ASSERT_EQ(desktop.started.size(), 1u);
  EXPECT_EQ(desktop.started[0].program, "write.exe");
  EXPECT_EQ(desktop.started[0].arguments, "\"" + file + "\"");
  ui.buttons.push_back(kIdYes);
  EXPECT_TRUE(RunHistoryCommand(s, wb, {"Plaintext file", file}, HistoryCommand::kDeleteFile));
  EXPECT_FALSE(std::filesystem::exists(file));
  RunHistoryCommand(s, wb, {"Ciphertext #1", "{\\rtf1 x}"}, HistoryCommand::kMoveToEditor);
  EXPECT_TRUE(wb.rich);

  Forget();
  EXPECT_EQ(SaveLogText(s, {}), 1);
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"General_LogtextEmpty"});
  ui.chosen_files.push_back({dir.File("LogText.txt")});
  EXPECT_EQ(SaveLogText(s, {"one", "", "three"}), 0);
  EXPECT_EQ(Read(dir.File("LogText.txt")), "one\r\n\r\nthree");
}

TEST_F(ActionsTest, DecryptedTextLeavesTheClipboardAfterItsTime) {
  ASSERT_TRUE(PutSecretOnClipboard(s, "plain"));
  TickSecretClipboard(s, kSecretClipboardMs - 1000);
  EXPECT_EQ(desktop.clipboard, "plain");
  TickSecretClipboard(s, 1000);
  EXPECT_EQ(desktop.clipboard, "");
  EXPECT_EQ(ui.log.back(), "Decrypted text removed from the clipboard");

  // The user copied something else meanwhile: it stays.
  ASSERT_TRUE(PutSecretOnClipboard(s, "plain"));
  desktop.clipboard = "theirs";
  TickSecretClipboard(s, kSecretClipboardMs);
  EXPECT_EQ(desktop.clipboard, "theirs");
}

TEST_F(ActionsTest, PopupKeepsOneModeOnAndMovesRecipientsBetweenItsLists) {
  s.settings.encrypt = 1;
  s.settings.sign = 0;
  SetModeFlag(s, true, false);  // unchecking Encrypt checks Sign
  EXPECT_EQ(s.settings.sign, 1);
  EXPECT_FALSE(s.packets.encrypt);
  EXPECT_EQ(ModeText(s.settings), "Mode: Sign data");
  SetModeFlag(s, true, true);
  EXPECT_EQ(ModeText(s.settings), "Mode: Encrypt and sign data");

  ui.texts.push_back("all of us");
  const Bytes group = NewKeyGroup(s.keyfile);
  RecipientLists lists = BuildRecipientLists(s.keyfile);
  ASSERT_EQ(lists.available.size(), 3u);
  EXPECT_EQ(lists.available[0].name, "[all of us]");
  SelectRecipient(s, carol);
  SelectRecipient(s, group);
  SelectRecipient(s, carol);
  lists = BuildRecipientLists(s.keyfile);
  ASSERT_EQ(lists.selected.size(), 2u);
  EXPECT_EQ(lists.selected[0].name, "Carol");
  EXPECT_EQ(lists.available.size(), 1u);
  SelectAllRecipients(s);
  EXPECT_EQ(s.keyfile.selected_recipients.size(), 3u);
  DeleteKeyGroup(s.keyfile, group);  // asked, answered yes
  EXPECT_EQ(BuildRecipientLists(s.keyfile).selected.size(), 2u);
  SelectNoRecipient(s);
  EXPECT_EQ(BuildRecipientLists(s.keyfile).available.size(), 2u);
}

}  // namespace
}  // namespace lq
