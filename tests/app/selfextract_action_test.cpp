// The self-extractor action with the recording Ui and the scripted Desktop: the passphrase asked
// twice until both agree, no passphrase, saving under a chosen name, mailing an automatically
// named program, the mail seam without a driver, failures and what the log says.
#include "app/selfextract_action.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "packet/passphrase_packet.h"
#include "platform/scripted_desktop.h"
#include "selfextract/container.h"
#include "support/file_fakes.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using test::RecordingUi;
using test::TempDir;

ChangePassphraseReply Twice(const std::string& a, const std::string& b) {
  ChangePassphraseReply r;
  r.new_text = a;
  r.retyped = b;
  return r;
}

class SelfExtractAction : public ::testing::Test {
 protected:
  SelfExtractAction() : session(ui, desktop) {
    session.env.program_folder = programs.Path();
    session.env.clock = [] { return LocalTime{2026, 12, 9, 10, 20, 30}; };
    desktop.temporary_folder = temp.Path() + "/";
    Put(programs.File("sxlaunch.exe"), "MZ launcher" + Bytes(500, 'l'));
    Put(programs.File("sxview.exe"), "MZ viewer" + Bytes(5000, 'v'));
    Put(programs.File("FORMKIT30.dll"), "MZ toolkit" + Bytes(3000, 't'));
    Put(files.File("a.txt"), "file a");
    Put(files.File("b.bin"), Bytes(100, '\0'));
  }
  static void Put(const std::string& path, std::string_view data) {
    ASSERT_EQ(ReplaceWholeFile(path, data), fe::kOk);
  }
  int Count(const std::string& what) const {
    int n = 0;
    for (const auto& c : ui.calls) n += c.what == what;
    return n;
  }
  // The packet of a written program, opened with `passphrase` into the store folder.
  OpenedPassphrasePacket OpenProgram(const std::string& path, std::string passphrase) {
    Bytes file;
    EXPECT_EQ(ReadWholeFile(path, file), fe::kOk);
    DataBlockFields f;
    EXPECT_EQ(ReadDataBlock(file, f), TailStatus::kOk);
    PacketSession& ps = session.packets;
    ps.store_folder = store.Path() + "/";
    return Open_PassphrasePacket(ps, f.packet, passphrase);
  }

  TempDir programs, files, temp, store, out;
  RecordingUi ui;
  ScriptedDesktop desktop;
  Session session;
};

TEST_F(SelfExtractAction, PassphraseIsAskedUntilBothEntriesAgree) {
  SelfExtractDialog dialog(session, "text", {});
  ui.change_replies.push_back(Twice("horse", "house"));
  ui.change_replies.push_back(Twice("horse", "horse"));
  dialog.EnterPassphrase();
  EXPECT_TRUE(dialog.HasPassphrase());
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"Keyfile_Passphrases_not_identical"});
  ASSERT_EQ(Count("AskChangePassphrase"), 2);
  for (const auto& c : ui.calls) {
    if (c.what != "AskChangePassphrase") continue;
    EXPECT_EQ(c.text, "Enter the passphrase and then retype it\r\n-------------");
    EXPECT_EQ(c.number, static_cast<int>(ChangePassphraseMode::kNewKeyfile));
  }
}

TEST_F(SelfExtractAction, CancelLeavesNoPassphraseAndSavingThenRefuses) {
  SelfExtractDialog dialog(session, "text", {});
  ui.change_replies.push_back(Twice("first", "first"));
  dialog.EnterPassphrase();
  EXPECT_TRUE(dialog.HasPassphrase());
  dialog.EnterPassphrase();  // no scripted reply: cancelled
  EXPECT_FALSE(dialog.HasPassphrase());
  EXPECT_FALSE(dialog.Create("note", false));
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"EnDec_NoPassphrase"});
  EXPECT_EQ(Count("ChooseFiles"), 0);
  EXPECT_FALSE(dialog.Create("note", true));
}

TEST_F(SelfExtractAction, SaveWritesAProgramWhosePacketHoldsTextAndTheFilesThatExist) {
  const std::string target = out.File("LQSEF.exe");
  SelfExtractDialog dialog(session, "the editor's text",
                           {files.File("a.txt"), files.File("gone.txt"), files.File("b.bin")});
  ui.change_replies.push_back(Twice("s3cret", "s3cret"));
  dialog.EnterPassphrase();
  ui.chosen_files.push_back({target});
  EXPECT_TRUE(dialog.Create("Ring me for the passphrase", false));
  EXPECT_FALSE(dialog.HasPassphrase());
  EXPECT_EQ(dialog.LastBuild().status, kSelfExtractorWritten);
  EXPECT_EQ(dialog.LastBuild().path, target);
  EXPECT_TRUE(ui.boxes.empty());
  // The save dialog's title and filter.
  for (const auto& c : ui.calls) {
    if (c.what != "ChooseFiles") continue;
    EXPECT_EQ(c.text, "Save file as");
    EXPECT_EQ(c.key, "Executables|*.exe|All files|*.*");
  }
  ASSERT_GE(ui.log.size(), 2u);
  const std::string header =
      "=== Encrypting as executable at " + TimeStampText(session.Now()) + " ===";
  EXPECT_NE(std::find(ui.log.begin(), ui.log.end(), header), ui.log.end());
  EXPECT_EQ(ui.log.back(), "Executable file saved as: " + target);
  EXPECT_EQ(ui.status_colour, kStatusColourGreen);

  Bytes program;
  ASSERT_EQ(ReadWholeFile(target, program), fe::kOk);
  EXPECT_EQ(program.substr(0, 11), "MZ launcher");
  EXPECT_EQ(PassphrasePacketNote(session.packets,
                                 [&] {
                                   DataBlockFields f;
                                   EXPECT_EQ(ReadDataBlock(program, f), TailStatus::kOk);
                                   return Bytes(f.packet);
                                 }()),
            "Ring me for the passphrase");
  const auto opened = OpenProgram(target, "s3cret");
  EXPECT_TRUE(opened.ok);
  EXPECT_EQ(opened.text, "the editor's text");
  EXPECT_EQ(opened.files_in_packet, 2);  // the missing file is left out
  EXPECT_EQ(store.Names().size(), 2u);
}

TEST_F(SelfExtractAction, MailSavesUnderAnAutomaticNameAndHandsTheFileOn) {
  std::vector<std::string> mailed;
  SelfExtractDialog dialog(session, "text", {},
                           [&](Session&, const std::string& file) { mailed.push_back(file); });
  ui.change_replies.push_back(Twice("pw", "pw"));
  dialog.EnterPassphrase();
  EXPECT_TRUE(dialog.Create("", true));
  const std::string expected = temp.Path() + "/LQSE12-09-2026_372300.exe";
  EXPECT_EQ(mailed, std::vector<std::string>{expected});
  EXPECT_EQ(Count("ChooseFiles"), 0);
  EXPECT_EQ(ui.traces.back(), "SE file was saved as: " + expected);
  EXPECT_TRUE(OpenProgram(expected, "pw").ok);

  // The next one gets the next counter; the first is not overwritten.
  SelfExtractDialog again(session, "text", {},
                          [&](Session&, const std::string& file) { mailed.push_back(file); });
  ui.change_replies.push_back(Twice("pw", "pw"));
  again.EnterPassphrase();
  EXPECT_TRUE(again.Create("", true));
  ASSERT_EQ(mailed.size(), 2u);
  EXPECT_EQ(mailed[1], temp.Path() + "/LQSE12-09-2026_372301.exe");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SelfExtractAction, WithoutAMailDriverTheMailButtonSaysSo) {
  session.settings.email_driver = "Outlook";
  SelfExtractDialog dialog(session, "text", {});
  ui.change_replies.push_back(Twice("pw", "pw"));
  dialog.EnterPassphrase();
  EXPECT_TRUE(dialog.Create("", true));
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"EMDriver_EmptyEMailDriver"});
  EXPECT_NE(ui.LastBox().text.find("Outlook"), std::string::npos);
}

TEST_F(SelfExtractAction, ACancelledSaveDialogWritesNothingAndSaysNothing) {
  SelfExtractDialog dialog(session, "text", {});
  ui.change_replies.push_back(Twice("pw", "pw"));
  dialog.EnterPassphrase();
  EXPECT_TRUE(dialog.Create("", false));  // the dialog closes, as after any build
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(out.Count(), 0u);
  EXPECT_NE(dialog.LastBuild().status, kSelfExtractorWritten);
}

TEST_F(SelfExtractAction, AMissingViewerShowsItsMessageAndTheBuildError) {
  ASSERT_EQ(RealFileOps().Remove(programs.File("sxview.exe")), fe::kOk);
  ui.chosen_files.push_back({out.File("x.exe")});
  const SelfExtractBuild b = BuildSelfExtractor(session, "UserEntry", "pw", "note", "text", {});
  EXPECT_EQ(b.status, kSelfExtractorFailed);
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, "Could not read the exe file that has to be run!");
  EXPECT_EQ(ui.boxes[1].text, "An error occurred while creating the self-extracting program");
  EXPECT_EQ(ui.boxes[1].caption, "Lockquill V1.0");
  EXPECT_EQ(out.Count(), 0u);
}

TEST_F(SelfExtractAction, TheModeIsComparedInLowerCase) {
  const SelfExtractBuild b = BuildSelfExtractor(session, "AUTOSAVE", "pw", "", "text", {});
  EXPECT_EQ(b.status, kSelfExtractorWritten);
  EXPECT_EQ(b.path.rfind(temp.Path(), 0), 0u);
  EXPECT_EQ(Count("ChooseFiles"), 0);
}

TEST_F(SelfExtractAction, TwoProgramsOfTheSameMessageDiffer) {
  const auto one = BuildSelfExtractor(session, "autosave", "pw", "note", "text", {});
  const auto two = BuildSelfExtractor(session, "autosave", "pw", "note", "text", {});
  ASSERT_EQ(one.status, kSelfExtractorWritten);
  ASSERT_EQ(two.status, kSelfExtractorWritten);
  Bytes a, b;
  ASSERT_EQ(ReadWholeFile(one.path, a), fe::kOk);
  ASSERT_EQ(ReadWholeFile(two.path, b), fe::kOk);
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace lq
