// The e-mail driver interpreter against the scripted Desktop: loading and sections, every
// command with its parameter forms and messages, the abort rules, and the exact texts pasted
// and keys sent. What a driver pastes is seen as the target program sees it: the clipboard's
// text at each Ctrl+V.
#include "mail/email_driver.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base/catalogue.h"
#include "platform/scripted_desktop.h"
#include "support/file_fakes.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using test::RecordingUi;

struct Harness {
  ScriptedDesktop d;
  RecordingUi ui;
  MapiLink mapi{d};
  EmailDriver driver;
  std::vector<std::string> pasted;  // the clipboard at each Ctrl+V

  explicit Harness(std::string_view script) {
    driver = ParseEMailDriver(script);
    d.on_key = [this](const KeyEvent& e) {
      if (!e.up && e.vk == 'V' && d.keys_down.count(17)) pasted.push_back(d.clipboard);
    };
  }
  MailOutcome Create(const MailRequest& m) {
    MailContext c{ui, d, RealFileOps(), driver, mapi, "MyDriver", ";", {}};
    return CreateMail(c, m);
  }
  MailOutcome Create() { return Create({"a@x.org;b@y.org", "Subj", "BODY", ""}); }
};

// --- Loading ------------------------------------------------------------------------------

TEST(EmailDriverLoad, NormalisesOutsidePasteBlocksAndKeepsThemInside) {
  const EmailDriver d = ParseEMailDriver(
      "$LOCKQUILL_E-MAILDRIVER\r\n"
      "\t  $KEY   \"a\t b\"\r\n"
      "; a comment\r\n"
      "   \r\n"
      "  $PASTELINES_START \"CR LF\"\n"
      "  two leading blanks\n"
      "\n"
      "; dropped in the block too\n"
      "tab\tkept  and  runs\n"
      "   $pastelines_end\r"
      "after");
  const std::vector<std::string> want = {"$LOCKQUILL_E-MAILDRIVER",
                                         "$KEY \"a b\"",
                                         "$PASTELINES_START \"CR LF\"",
                                         "  two leading blanks",
                                         "",
                                         "tab\tkept  and  runs",
                                         "$pastelines_end",
                                         "after"};
  EXPECT_EQ(d.lines, want);
  EXPECT_FALSE(d.can_attach_files);
}

TEST(EmailDriverLoad, AnAttachSectionWithLinesMeansItCanAttach) {
  EXPECT_TRUE(ParseEMailDriver("$attachfile_start\n$FILENAME\n$ATTACHFILE_END\n").can_attach_files);
  EXPECT_FALSE(ParseEMailDriver("$ATTACHFILE_START\n$ATTACHFILE_END\n").can_attach_files);
}

TEST(EmailDriverLoad, SectionsStopAtTheirEndAndAnEarlyEndGivesNothing) {
  const std::vector<std::string> lines = {"$newmail_end", "$NEWMAIL_START x", "$TO", "$NEWMAIL_END",
                                          "$SUBJECT"};
  EXPECT_TRUE(ExtractSection(lines, "$NEWMAIL_START", "$NEWMAIL_END").empty());
  const std::vector<std::string> later = {"$SUBJECT",  "$NewMail_Start", "$TO",
                                          "$MAILTEXT", "$NEWMAIL_END",   "$FILENAME"};
  EXPECT_EQ(ExtractSection(later, "$NEWMAIL_START", "$NEWMAIL_END"),
            (std::vector<std::string>{"$TO", "$MAILTEXT"}));
}

TEST(EmailDriverLoad, NamesLoseEveryTrailingTxtCaseSensitively) {
  EXPECT_EQ(DriverNameOf("Outlook.txt"), "Outlook");
  EXPECT_EQ(DriverNameOf("Odd.txt.txt"), "Odd");
  EXPECT_EQ(DriverNameOf("Upper.TXT"), "Upper.TXT");
}

TEST(EmailDriverLoad, ListsOnlyFilesWithTheMagicLineAndLoadsByPath) {
  test::TempDir dir;
  auto write = [&](const std::string& name, const std::string& text) {
    std::ofstream(dir.File(name), std::ios::binary) << text;
  };
  write("Beta.txt", "; $Lockquill_E-MailDriver for Beta\r\n$CALLPROG_START\r\n$KEY \"x\"\r\n");
  write("Alpha.txt", "$LOCKQUILL_E-MAILDRIVER\n");
  write("Notes.txt", "just notes\n$LOCKQUILL_E-MAILDRIVER\n");
  write("Other.dat", "$LOCKQUILL_E-MAILDRIVER\n");
  RecordingUi ui;
  EXPECT_EQ(ListEMailDrivers(ui, RealFileOps(), dir.Path()), "Alpha|Beta");
  EXPECT_EQ(ListEMailDrivers(ui, RealFileOps(), dir.File("missing")), "");

  // A file without the magic line is still loaded when it is the selected one.
  EmailDriver d;
  EXPECT_TRUE(LoadEMailDriver(ui, RealFileOps(), DriverPath(dir.Path(), "Notes"), d));
  EXPECT_EQ(d.lines, (std::vector<std::string>{"just notes", "$LOCKQUILL_E-MAILDRIVER"}));
  // A missing file leaves the loaded driver as it was.
  EXPECT_FALSE(LoadEMailDriver(ui, RealFileOps(), DriverPath(dir.Path(), "Gone"), d));
  EXPECT_EQ(d.lines.size(), 2u);
  EXPECT_TRUE(ui.boxes.empty());
}

// --- CreateMail's order and abort rules ---------------------------------------------------

TEST(CreateMail, AnEmptyCallSectionShowsTheDriverName) {
  Harness h("$NEWMAIL_START\n$TO\n$NEWMAIL_END\n");
  EXPECT_EQ(h.Create(), MailOutcome::kFailed);
  ASSERT_EQ(h.ui.MessageKeys(), std::vector<std::string>{"EMDriver_EmptyEMailDriver"});
  EXPECT_EQ(h.ui.LastBox().text, MessageText("EMDriver_EmptyEMailDriver", "MyDriver"));
  EXPECT_EQ(h.ui.LastBox().style, 16 + 4096 + 262144);
  EXPECT_TRUE(h.pasted.empty());
}

TEST(CreateMail, SectionsRunInOrderWithTheMailsTexts) {
  Harness h(
      "$CALLPROG_START\n$KEY \"^n\"\n$CALLPROG_END\n"
      "$SENDMAIL_START\n$PASTE \"sent\"\n$SENDMAIL_END\n"
      "$NEWMAIL_START\n$TO\n$SUBJECT\n$MAILTEXT\n$NEWMAIL_END\n");
  EXPECT_EQ(h.Create(), MailOutcome::kMade);
  EXPECT_EQ(h.pasted, (std::vector<std::string>{"a@x.org;b@y.org", "Subj", "BODY", "sent"}));
  EXPECT_TRUE(h.ui.boxes.empty());
  // Ctrl+N went out first.
  ASSERT_GE(h.d.sent_keys.size(), 2u);
  EXPECT_EQ(h.d.sent_keys[0], (KeyEvent{17, false, false}));
  EXPECT_EQ(h.d.sent_keys[1], (KeyEvent{'N', false, false}));
}

TEST(CreateMail, CommandWordsIgnoreCaseButMapiIsExact) {
  Harness lower("$CALLPROG_START\n$key \"{TAB 3}\"\n$CALLPROG_END\n");
  EXPECT_EQ(lower.Create(), MailOutcome::kMade);
  std::vector<KeyEvent> tabs;
  for (int k = 0; k < 3; ++k) {
    tabs.push_back({9, false, false});
    tabs.push_back({9, true, false});
  }
  EXPECT_EQ(lower.d.sent_keys, tabs);

  Harness mapi("$CALLPROG_START\n$mapi SEND\n$CALLPROG_END\n$NEWMAIL_START\n$TO\n$NEWMAIL_END\n");
  EXPECT_EQ(mapi.Create(), MailOutcome::kFailed);
  EXPECT_EQ(mapi.ui.MessageKeys(), std::vector<std::string>{"EMDriver_UnknownCommand"});
  EXPECT_EQ(mapi.ui.LastBox().text, MessageText("EMDriver_UnknownCommand", "$mapi SEND"));
  EXPECT_TRUE(mapi.pasted.empty());  // the later sections did not run
  EXPECT_TRUE(mapi.d.CallsStartingWith("OpenLibrary").empty());
}

TEST(CreateMail, AnUnknownCommandStopsTheRestOfItsSectionAndTheMail) {
  Harness h(
      "$CALLPROG_START\n$PASTE \"one\"\n$JUMP there\n$PASTE \"two\"\n$CALLPROG_END\n"
      "$SENDMAIL_START\n$PASTE \"send\"\n$SENDMAIL_END\n");
  EXPECT_EQ(h.Create(), MailOutcome::kFailed);
  EXPECT_EQ(h.pasted, std::vector<std::string>{"one"});
  EXPECT_EQ(h.ui.LastBox().text, MessageText("EMDriver_UnknownCommand", "$JUMP there"));
}

TEST(CreateMail, OtherErrorsShowTheirMessageAndGoOn) {
  Harness h(
      "$CALLPROG_START\n"
      "$WAIT\n"
      "$KEY no quotes\n"
      "$PASTE \"only one\n"
      "$EXECUTEPROG SOMETIMES \"x.exe\"\n"
      "$EXECUTEPROG WAIT x.exe\n"
      "$ACTIVATEWINDOW \"\" \"Edit\"\n"
      "$WAITWINDOWEXISTS \"\" \"Edit\" 100\n"
      "$PASTELINES_START \"CR TAB\"\n"
      "line\n"
      "$PASTELINES_END\n"
      "$PASTE \"last\"\n"
      "$CALLPROG_END\n");
  EXPECT_EQ(h.Create(), MailOutcome::kMade);
  EXPECT_EQ(h.ui.MessageKeys(), (std::vector<std::string>{
                                    "EMDriver_MissingParameter", "EMDriver_MissingDoubleQuotes",
                                    "EMDriver_MissingDoubleQuotes", "EMDriver_MissingParameter",
                                    "EMDriver_ExecuteProgWrongFormat", "EMDriver_MissingParameter",
                                    "EMDriver_MissingParameter", "EMDriver_UnknownParameter"}));
  EXPECT_EQ(h.ui.boxes[0].text, MessageText("EMDriver_MissingParameter", "$WAIT"));
  EXPECT_EQ(h.ui.boxes[1].text, MessageText("EMDriver_MissingDoubleQuotes", "$KEY no quotes"));
  EXPECT_EQ(h.ui.boxes[4].text,
            MessageText("EMDriver_ExecuteProgWrongFormat", "$EXECUTEPROG WAIT x.exe"));
  EXPECT_EQ(h.ui.boxes[7].text,
            MessageText("EMDriver_UnknownParameter", "TAB", "$PASTELINES_START \"CR TAB\""));
  EXPECT_EQ(h.pasted, (std::vector<std::string>{"line\r", "last"}));
  EXPECT_TRUE(h.d.started.empty());
}

// --- Windows ------------------------------------------------------------------------------

TEST(CreateMail, ActivateWindowMatchesByContainmentAndSubstitutesTheSubject) {
  Harness h(
      "$CALLPROG_START\n"
      "$ACTIVATEWINDOW \"inbox\" \"mail\"\n"
      "$ACTIVATEWINDOW \"$SUBJECT\" \"FRAME\"\n"
      "$CALLPROG_END\n");
  h.d.windows[10] = {"Untitled - Notepad", "Notepad"};
  h.d.windows[11] = {"Inbox - Mail Reader", "MailReaderMain"};
  h.d.windows[12] = {"Weekly plan - Compose", "ComposeFrame"};
  EXPECT_EQ(h.Create({"a@x.org", "Weekly PLAN", "b", ""}), MailOutcome::kMade);
  EXPECT_TRUE(h.ui.boxes.empty());
  EXPECT_EQ(h.d.CallsStartingWith("ActivateWindow"),
            (std::vector<std::string>{"ActivateWindow 11 -> 1", "ActivateWindow 12 -> 1"}));
  EXPECT_EQ(h.d.CallsStartingWith("RestoreWindow").size(), 2u);
  EXPECT_EQ(h.d.focus, 12u);
  EXPECT_EQ(h.d.foreground, 12u);
}

TEST(CreateMail, ActivateWindowThatFindsNothingStopsTheMail) {
  Harness h(
      "$CALLPROG_START\n$ACTIVATEWINDOW \"Compose\" \"Frame\"\n$PASTE \"x\"\n$CALLPROG_END\n"
      "$NEWMAIL_START\n$TO\n$NEWMAIL_END\n");
  h.d.windows[10] = {"Compose", "Edit"};  // the class does not match
  h.d.windows[11] = {"Frame", "Frame"};   // nor does the title
  EXPECT_EQ(h.Create(), MailOutcome::kFailed);
  EXPECT_EQ(h.ui.MessageKeys(), std::vector<std::string>{"EMDriver_ActivateWindowError"});
  EXPECT_EQ(h.ui.LastBox().text, MessageText("EMDriver_ActivateWindowError",
                                             "Window name: Compose\r\nClass name: Frame"));
  EXPECT_TRUE(h.pasted.empty());
}

TEST(FindWindow, ChildrenAreSearchedOnlyWhenAsked) {
  ScriptedDesktop d;
  d.windows[10] = {"Main", "Frame"};
  d.windows[20] = {"Recipients: to", "Edit", 10};
  EXPECT_EQ(FindWindowByTitleAndClass(d, "recipients", "edit", false), 0u);
  EXPECT_EQ(FindWindowByTitleAndClass(d, "recipients", "edit", true), 20u);
  EXPECT_EQ(FindWindowByTitleAndClass(d, "MAIN", "", false), 10u);
  EXPECT_EQ(ActivateWindowByTitleAndClass(d, "nothing", "", true), 1);
}

TEST(CreateMail, WaitWindowExistsEndsSilentlyAfterItsTime) {
  Harness h(
      "$CALLPROG_START\n$WAITWINDOWEXISTS \"Compose\" \"\" 5000\n$PASTE \"on\"\n$CALLPROG_END\n");
  const uint64_t start = h.d.clock_ms;
  EXPECT_EQ(h.Create(), MailOutcome::kMade);
  // Five seconds of polling, then the paste's own key pauses (10 + 10 + 20 ms).
  EXPECT_EQ(h.d.clock_ms - start, 5000u + 40u);
  EXPECT_EQ(h.d.CallsStartingWith("Sleep 100").size(), 50u);
  EXPECT_TRUE(h.ui.boxes.empty());
  EXPECT_EQ(h.pasted, std::vector<std::string>{"on"});
}

TEST(CreateMail, WaitWindowExistsEndsWhenTheWindowComes) {
  Harness h("$CALLPROG_START\n$WAITWINDOWEXISTS \"$TO\" \"edit\" 5000\n$CALLPROG_END\n");
  const uint64_t start = h.d.clock_ms;
  h.d.on_pump = [&] {
    if (h.d.clock_ms - start >= 700) h.d.windows[10] = {"to A@X.ORG", "RichEdit", 0};
  };
  EXPECT_EQ(h.Create({"a@x.org", "s", "b", ""}), MailOutcome::kMade);
  EXPECT_EQ(h.d.clock_ms - start, 700u);
}

TEST(CreateMail, WaitWindowForegroundPollsTheForegroundWindow) {
  Harness h("$CALLPROG_START\n$WaitWindowForeground \" compose \" \"\" 3000\n$CALLPROG_END\n");
  h.d.windows[10] = {"Other", "X"};
  h.d.windows[11] = {"New message - Compose", "Y"};
  h.d.foreground = 10;
  const uint64_t start = h.d.clock_ms;
  h.d.on_pump = [&] {
    if (h.d.clock_ms - start >= 300) h.d.foreground = 11;
  };
  EXPECT_EQ(h.Create(), MailOutcome::kMade);
  EXPECT_EQ(h.d.clock_ms - start, 300u);
}

TEST(CreateMail, WaitSleepsItsTimeAndLetsEventsRun) {
  Harness h("$CALLPROG_START\n$WAIT 250\n$CALLPROG_END\n");
  int pumps = 0;
  h.d.on_pump = [&] { ++pumps; };
  const uint64_t start = h.d.clock_ms;
  EXPECT_EQ(h.Create(), MailOutcome::kMade);
  EXPECT_EQ(h.d.clock_ms - start, 250u);
  EXPECT_GE(pumps, 3);
}

TEST(CreateMail, WindowTextChangeSetsTheTrimmedText) {
  Harness h(
      "$CALLPROG_START\n$WINDOWTEXT_CHANGE \"compose\" \"\" \"  New Title \"\n$CALLPROG_END\n");
  h.d.windows[10] = {"Main", "Frame"};
  h.d.windows[20] = {"Compose", "Edit", 10};
  EXPECT_EQ(h.Create(), MailOutcome::kMade);
  EXPECT_EQ(h.d.windows[20].text, "New Title");
}

TEST(CreateMail, MessageBoxShowsItsTextOnTop) {
  Harness h("$CALLPROG_START\n$MESSAGEBOX \" Now press Send. \"\n$CALLPROG_END\n");
  EXPECT_EQ(h.Create(), MailOutcome::kMade);
  ASSERT_EQ(h.ui.boxes.size(), 1u);
  EXPECT_EQ(h.ui.LastBox().text, "Now press Send.");
  EXPECT_EQ(h.ui.LastBox().caption, "Lockquill V1.0");
  EXPECT_EQ(h.ui.LastBox().style, 64 + 262144);
  EXPECT_EQ(h.ui.LastBox().key, "");
}

// --- Paste lines --------------------------------------------------------------------------

TEST(CreateMail, PasteLinesKeepEmptyLinesAndLeadingBlanksWithTheirLineEnds) {
  Harness h(
      "$NEWMAIL_START\n$PASTELINES_START \"cr lf\"\nDear all,\n\n   indented\n"
      "; not pasted\n$PASTELINES_END\n$PASTE \"after\"\n$NEWMAIL_END\n"
      "$CALLPROG_START\n$WAIT 1\n$CALLPROG_END\n");
  EXPECT_EQ(h.Create(), MailOutcome::kMade);
  EXPECT_EQ(h.pasted,
            (std::vector<std::string>{"Dear all,\r\n", "\r\n", "   indented\r\n", "after"}));
  EXPECT_EQ(h.d.CallsStartingWith("Sleep 60").size(), 3u);
}

TEST(CreateMail, PasteLinesWithoutEndPasteToTheSectionsEndAndAtTheEndPasteNothing) {
  Harness open("$CALLPROG_START\n$PASTELINES_START \"LF\"\na\nb\n$CALLPROG_END\n");
  EXPECT_EQ(open.Create(), MailOutcome::kMade);
  EXPECT_EQ(open.pasted, (std::vector<std::string>{"a\n", "b\n"}));

  Harness last(
      "$CALLPROG_START\n$PASTE \"x\"\n$PASTELINES_START\n$CALLPROG_END\n"
      "$NEWMAIL_START\n$PASTE \"y\"\n$NEWMAIL_END\n");
  EXPECT_EQ(last.Create(), MailOutcome::kMade);
  EXPECT_EQ(last.pasted, (std::vector<std::string>{"x", "y"}));
}

TEST(CreateMail, AClipboardThatRefusesTheTextStopsTheMail) {
  Harness h("$CALLPROG_START\n$PASTE \"one\"\n$PASTE \"two\"\n$CALLPROG_END\n");
  h.d.clipboard = "decrypted secret";
  h.d.fail_next.insert("SetClipboardText");
  EXPECT_EQ(h.Create(), MailOutcome::kFailed);
  EXPECT_EQ(h.ui.MessageKeys(), std::vector<std::string>{"EMDriver_ClipboardFailed"});
  EXPECT_TRUE(h.pasted.empty());
}

// --- Attachments and programs ------------------------------------------------------------

TEST(CreateMail, TwoFilesRunTheAttachSectionTwice) {
  Harness h(
      "$CALLPROG_START\n$WAIT 1\n$CALLPROG_END\n"
      "$ATTACHFILE_START\n$KEY \"%i\"\n$FILENAME\n$ATTACHFILE_END\n"
      "$SENDMAIL_START\n$PASTE \"send\"\n$SENDMAIL_END\n");
  EXPECT_EQ(h.Create({"a@x.org", "s", "", "C:\\T\\one.lqe;C:\\T\\two.lqe"}), MailOutcome::kMade);
  EXPECT_EQ(h.pasted, (std::vector<std::string>{"C:\\T\\one.lqe", "C:\\T\\two.lqe", "send"}));
  size_t alt_i = 0;
  for (size_t k = 0; k + 1 < h.d.sent_keys.size(); ++k) {
    if (h.d.sent_keys[k] == KeyEvent{18, false, false} &&
        h.d.sent_keys[k + 1] == KeyEvent{'I', false, false})
      ++alt_i;
  }
  EXPECT_EQ(alt_i, 2u);
}

TEST(CreateMail, FilesWithoutAnAttachSectionAreReportedAndTheMailGoesOn) {
  Harness h(
      "$CALLPROG_START\n$WAIT 1\n$CALLPROG_END\n$SENDMAIL_START\n$PASTE \"send\"\n$SENDMAIL_END\n");
  EXPECT_EQ(h.Create({"a@x.org", "s", "", "C:\\T\\one.lqe"}), MailOutcome::kMade);
  EXPECT_EQ(h.ui.MessageKeys(), std::vector<std::string>{"EMDriver_AttachFileImpossible"});
  EXPECT_EQ(h.ui.LastBox().text, MessageText("EMDriver_AttachFileImpossible", "MyDriver"));
  EXPECT_EQ(h.pasted, std::vector<std::string>{"send"});
}

TEST(CreateMail, ExecuteProgStartsTheCommandLineAndWaitsWhenAsked) {
  Harness h(
      "$CALLPROG_START\n"
      "$EXECUTEPROG nowait \"notepad.exe\"\n"
      "$EXECUTEPROG WAIT \"\"C:\\Program Files\\Mail\\mail.exe\" /compose \"x y\"\"\n"
      "$CALLPROG_END\n");
  h.d.exit_codes = {0, 0};
  EXPECT_EQ(h.Create(), MailOutcome::kMade);
  ASSERT_EQ(h.d.started.size(), 2u);
  EXPECT_EQ(h.d.started[0].program, "notepad.exe");
  EXPECT_EQ(h.d.started[0].arguments, "");
  EXPECT_EQ(h.d.started[1].program, "C:\\Program Files\\Mail\\mail.exe");
  EXPECT_EQ(h.d.started[1].arguments, "/compose \"x y\"");
  // Only the waited-for program is waited for, and 200 ms after it ends.
  EXPECT_EQ(h.d.CallsStartingWith("WaitForProcess 1").size(), 0u);
  EXPECT_EQ(h.d.CallsStartingWith("WaitForProcess 2").size(), 1u);
  EXPECT_EQ(h.d.CallsStartingWith("Sleep 200").size(), 1u);
}

TEST(CreateMail, AProgramThatDoesNotStartIsReported) {
  Harness h("$CALLPROG_START\n$EXECUTEPROG NOWAIT \"nothing.exe\"\n$PASTE \"on\"\n$CALLPROG_END\n");
  h.d.fail_next.insert("StartProcess");
  EXPECT_EQ(h.Create(), MailOutcome::kMade);
  EXPECT_EQ(h.ui.MessageKeys(), std::vector<std::string>{"EMDriver_ExecuteProgFailed"});
  EXPECT_EQ(h.pasted, std::vector<std::string>{"on"});
}

TEST(CreateMail, EveryCommandOfTheTableIsKnown) {
  const std::vector<std::string> words = DriverCommandWords();
  EXPECT_EQ(words,
            (std::vector<std::string>{"$ACTIVATEWINDOW", "$WAIT", "$KEY", "$PASTE",
                                      "$PASTELINES_START", "$TO", "$SUBJECT", "$MAILTEXT",
                                      "$FILENAME", "$EXECUTEPROG", "$WAITWINDOWFOREGROUND",
                                      "$WAITWINDOWEXISTS", "$WINDOWTEXT_CHANGE", "$MESSAGEBOX"}));
}

}  // namespace
}  // namespace lq

namespace lq {
namespace {

// The drivers that ship beside the program.
std::string ShippedDrivers() { return std::string(LQ_SOURCE_DIR) + "/src/gui/res/drivers"; }

TEST(ShippedDrivers, AllThreeAreListedAndLoad) {
  test::RecordingUi ui;
  EXPECT_EQ(ListEMailDrivers(ui, RealFileOps(), ShippedDrivers()),
            "Mailto link|Notepad|Simple MAPI");
  for (const char* name : {"Mailto link", "Notepad", "Simple MAPI"}) {
    EmailDriver d;
    ASSERT_TRUE(LoadEMailDriver(ui, RealFileOps(), DriverPath(ShippedDrivers(), name), d)) << name;
    EXPECT_FALSE(ExtractSection(d.lines, "$CALLPROG_START", "$CALLPROG_END").empty()) << name;
  }
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(ShippedDrivers, NotepadIsStartedFoundAndFilledIn) {
  ScriptedDesktop d;
  test::RecordingUi ui;
  MapiLink mapi(d);
  EmailDriver driver;
  ASSERT_TRUE(LoadEMailDriver(ui, RealFileOps(), DriverPath(ShippedDrivers(), "Notepad"), driver));
  EXPECT_TRUE(driver.can_attach_files);
  std::vector<std::string> pasted;
  d.on_key = [&](const KeyEvent& e) {
    if (!e.up && e.vk == 'V' && d.keys_down.count(17)) pasted.push_back(d.clipboard);
  };
  d.on_pump = [&] {
    if (!d.started.empty()) d.windows[5] = {"Untitled - Notepad", "Notepad"};
  };
  MailContext c{ui, d, RealFileOps(), driver, mapi, "Notepad", ";", {}};
  EXPECT_EQ(CreateMail(c, {"a@x.org", "Hi", "ARMOR", "C:\\p.lqe"}), MailOutcome::kMade);
  EXPECT_TRUE(ui.boxes.empty());
  ASSERT_EQ(d.started.size(), 1u);
  EXPECT_EQ(d.started[0].program, "notepad.exe");
  EXPECT_EQ(d.foreground, 5u);
  EXPECT_EQ(pasted, (std::vector<std::string>{"To: ", "a@x.org", "Subject: ", "Hi", "ARMOR",
                                              "Attachment: ", "C:\\p.lqe", "\r\n",
                                              "-- written by Lockquill\r\n"}));
}

TEST(ShippedDrivers, MapiAsksForTheDialogAndMailtoOpensTheLink) {
  ScriptedDesktop d;
  test::RecordingUi ui;
  MapiLink mapi(d);
  for (const char* name : {"Simple MAPI", "Mailto link"}) {
    EmailDriver driver;
    ASSERT_TRUE(LoadEMailDriver(ui, RealFileOps(), DriverPath(ShippedDrivers(), name), driver));
    MailContext c{ui, d, RealFileOps(), driver, mapi, name, ";", {}};
    CreateMail(c, {"a@x.org", "Hi", "ARMOR", ""});
  }
  // No MAPI library on this host: the first is reported; the second opened its link.
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"EMDriver_MapiNotAvailable"});
  EXPECT_EQ(d.opened, std::vector<std::string>{"mailto:a@x.org?Subject=Hi&Body="});
}

}  // namespace
}  // namespace lq
