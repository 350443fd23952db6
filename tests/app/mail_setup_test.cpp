// The mail layer in the session: the driver loaded at start-up, the actions' seam, a mail
// that was not made leaving a red status line, and the E-mail tab's driver commands and tests.
#include "app/mail_setup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/catalogue.h"
#include "platform/scripted_desktop.h"
#include "support/file_fakes.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using test::RecordingUi;
using test::TempDir;

constexpr char kScripted[] =
    "$LOCKQUILL_E-MAILDRIVER\r\n"
    "$CALLPROG_START\r\n$KEY \"^n\"\r\n$CALLPROG_END\r\n"
    "$NEWMAIL_START\r\n$TO\r\n$SUBJECT\r\n$MAILTEXT\r\n$NEWMAIL_END\r\n"
    "$ATTACHFILE_START\r\n$FILENAME\r\n$ATTACHFILE_END\r\n";

class MailSetupTest : public ::testing::Test {
 protected:
  MailSetupTest() : s(ui, desktop), mail(s) {}
  void SetUp() override {
    s.env.program_folder = dir.Path();
    s.env.clock = [] { return LocalTime{2005, 1, 2, 9, 5, 7}; };
    desktop.temporary_folder = dir.File("tmp") + "/";
    std::filesystem::create_directories(dir.File("tmp"));
    mail.Install();
    desktop.on_key = [this](const KeyEvent& e) {
      if (!e.up && e.vk == 'V' && desktop.keys_down.count(17)) pasted.push_back(desktop.clipboard);
    };
  }
  void WriteDriver(const std::string& name, const std::string& text) {
    ASSERT_EQ(ReplaceWholeFile(DriverPath(dir.Path(), name), text), fe::kOk);
  }

  TempDir dir;
  RecordingUi ui;
  ScriptedDesktop desktop;
  Session s;
  MailService mail;
  std::vector<std::string> pasted;
};

TEST_F(MailSetupTest, TheSelectedDriverIsLoadedAtStartUpAndServesTheActions) {
  WriteDriver("Pad", kScripted);
  s.settings.email_driver = "Pad";
  InitReport report;
  for (const InitStep& step : InitSteps()) {
    if (std::string_view(step.name) == "e-mail driver") step.run(s, report);
  }
  EXPECT_TRUE(report.email_driver_loaded);
  EXPECT_EQ(s.email_driver_path, DriverPath(dir.Path(), "Pad"));
  ASSERT_TRUE(s.mail.can_attach_files);
  EXPECT_TRUE(s.mail.can_attach_files());
  EXPECT_TRUE(s.mail.create_mail("a@x.org", "Subj", "ARMOR", "C:\\p.lqe"));
  EXPECT_EQ(pasted, (std::vector<std::string>{"a@x.org", "Subj", "ARMOR", "C:\\p.lqe"}));
}

TEST_F(MailSetupTest, AMailThatWasNotMadeLeavesARedStatusLine) {
  WriteDriver("Mapi", "$LOCKQUILL_E-MAILDRIVER\n$CALLPROG_START\n$MAPI\n$CALLPROG_END\n");
  ASSERT_TRUE(mail.SelectDriver("Mapi"));
  EXPECT_FALSE(s.mail.create_mail("a@x.org", "s", "b", ""));
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"EMDriver_MapiNotAvailable"});
  EXPECT_EQ(ui.status, "No mail was created");
  EXPECT_EQ(ui.status_colour, kStatusColourRed);

  // No driver loaded at all: the empty-driver message, and the same status.
  MailService none(s);
  none.Install();
  ui.boxes.clear();
  EXPECT_FALSE(s.mail.create_mail("a@x.org", "s", "b", ""));
  EXPECT_EQ(ui.LastBox().key, "EMDriver_EmptyEMailDriver");
}

TEST_F(MailSetupTest, TheTabListsSelectsEditsAndDeletesDrivers) {
  WriteDriver("Pad", kScripted);
  WriteDriver("Mapi", "$LOCKQUILL_E-MAILDRIVER\n$CALLPROG_START\n$MAPI\n$CALLPROG_END\n");
  EXPECT_EQ(mail.DriverNames(), (std::vector<std::string>{"Mapi", "Pad"}));
  EXPECT_TRUE(mail.SelectDriver("Pad"));
  EXPECT_EQ(s.settings.email_driver, "Pad");
  EXPECT_TRUE(mail.driver.can_attach_files);
  EXPECT_FALSE(mail.SelectDriver("Gone"));
  EXPECT_TRUE(mail.driver.can_attach_files);  // the loaded one stays

  EXPECT_TRUE(mail.EditDriver("Pad"));
  ASSERT_EQ(desktop.started.size(), 1u);
  EXPECT_EQ(desktop.started[0].program, "notepad.exe");
  EXPECT_EQ(desktop.started[0].arguments, "\"" + DriverPath(dir.Path(), "Pad") + "\"");

  ui.buttons = {kIdNo};
  EXPECT_FALSE(mail.DeleteDriver("Pad"));
  EXPECT_TRUE(std::filesystem::exists(DriverPath(dir.Path(), "Pad")));
  EXPECT_EQ(ui.LastBox().text,
            MessageText("General_AskToDeleteFile", DriverPath(dir.Path(), "Pad")));
  EXPECT_EQ(ui.LastBox().style & 0xFF, 36);
  ui.buttons = {kIdYes};
  EXPECT_TRUE(mail.SelectDriver("Pad"));
  EXPECT_TRUE(mail.DeleteDriver("Pad"));
  EXPECT_FALSE(std::filesystem::exists(DriverPath(dir.Path(), "Pad")));
  EXPECT_FALSE(mail.driver.can_attach_files);
  EXPECT_EQ(mail.DriverNames(), std::vector<std::string>{"Mapi"});
}

TEST_F(MailSetupTest, TheDriverTestsMakeATextMailAndAMailWithTwoDummyFiles) {
  WriteDriver("Pad", kScripted);
  ASSERT_TRUE(mail.SelectDriver("Pad"));
  s.settings.to_separator = ",";
  ui.buttons = {kIdYes, kIdYes};
  mail.TestDriver();
  EXPECT_EQ(ui.MessageKeys(), (std::vector<std::string>{"EMDriver_Test1", "EMDriver_Test2"}));
  const std::string to = std::string(kTestAddress1) + "," + kTestAddress2;
  ASSERT_EQ(pasted.size(), 8u);
  EXPECT_EQ(pasted[0], to);
  EXPECT_EQ(pasted[1], kTestSubject);
  EXPECT_EQ(pasted[2], kTestBody);
  const std::string stem = dir.File("tmp") + "/" + std::to_string(9 * 3600 + 5 * 60 + 7);
  EXPECT_EQ(pasted[6], stem + "_1.txt");
  EXPECT_EQ(pasted[7], stem + "_2.txt");
  std::string content;
  ASSERT_EQ(ReadWholeFile(pasted[7], content), fe::kOk);
  EXPECT_EQ(content, "just a dummy file\r\n");

  // Cancel at the first question ends; No goes on to the second.
  pasted.clear();
  ui.buttons = {kIdCancel};
  mail.TestDriver();
  EXPECT_TRUE(pasted.empty());
  ui.buttons = {kIdNo, kIdNo};
  ui.boxes.clear();
  mail.TestDriver();
  EXPECT_EQ(ui.boxes.size(), 2u);
  EXPECT_TRUE(pasted.empty());
}

}  // namespace
}  // namespace lq
