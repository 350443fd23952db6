// The lq terminal Ui and argument parser: who answers questions (options, the person at the
// terminal, or the safe answer), what reaches standard error, and which command lines parse.
#include "cli/terminal_ui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <string>

#include "base/catalogue.h"
#include "cli/args.h"
#include "cli/lq.h"

namespace lq::cli {
namespace {

// A terminal that answers from a script and records the prompts.
class ScriptedTerminal : public Terminal {
 public:
  bool interactive = false;
  std::deque<std::string> lines;
  std::vector<std::string> prompts;
  std::vector<bool> hidden;
  bool Interactive() override { return interactive; }
  bool ErrorIsTerminal() override { return interactive; }
  bool ReadLine(std::string_view prompt, bool hide, std::string& line) override {
    prompts.emplace_back(prompt);
    hidden.push_back(hide);
    if (lines.empty()) return false;
    line = lines.front();
    lines.pop_front();
    return true;
  }
};

// Standard error captured in a temporary file.
class ErrFile {
 public:
  ErrFile() : file_(std::tmpfile()) {}
  ~ErrFile() { std::fclose(file_); }
  std::FILE* get() { return file_; }
  std::string Text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;) text.append(buffer, n);
    return text;
  }

 private:
  std::FILE* file_;
};

TEST(TerminalUi, MessagesPrintTheirCatalogueTextWithPlainLineEnds) {
  ScriptedTerminal term;
  ErrFile err;
  TerminalUi ui(term, Answer::kAsk, err.get());
  ShowMessage(ui, "Keyfile_passphrase_not_correct", MessageStyle("Keyfile_passphrase_not_correct"),
              "k.lqk");
  // One line, prefixed, whatever the catalogue's line breaks.
  const std::string expected =
      "lq: " + OneLine(MessageText("Keyfile_passphrase_not_correct", "k.lqk"));
  EXPECT_EQ(err.Text(), expected + "\n");
  EXPECT_EQ(expected.find('\r'), std::string::npos);
  EXPECT_EQ(expected.find('\n'), std::string::npos);
  EXPECT_NE(expected.find("k.lqk"), std::string::npos);
  EXPECT_EQ(ui.shown_keys, std::vector<std::string>{"Keyfile_passphrase_not_correct"});
  EXPECT_EQ(ui.errors_shown, 1);
}

TEST(TerminalUi, QuestionsFollowYesNoAndOtherwiseTakeTheSafeAnswerAndSaySo) {
  ScriptedTerminal term;
  {
    ErrFile err;
    TerminalUi yes(term, Answer::kYes, err.get());
    EXPECT_EQ(AskUser(yes, "KeyRecord_Delete", MessageStyle("KeyRecord_Delete")), kIdYes);
    EXPECT_EQ(AskUser(yes, "Imported_KeyID_exists", MessageStyle("Imported_KeyID_exists"), "k"),
              kIdYes);
  }
  {
    ErrFile err;
    TerminalUi no(term, Answer::kNo, err.get());
    EXPECT_EQ(AskUser(no, "KeyRecord_Delete", MessageStyle("KeyRecord_Delete")), kIdNo);
    EXPECT_EQ(AskUser(no, "Imported_KeyID_exists", MessageStyle("Imported_KeyID_exists"), "k"),
              kIdNo);
  }
  ErrFile err;
  TerminalUi ask(term, Answer::kAsk, err.get());
  EXPECT_EQ(AskUser(ask, "KeyRecord_Delete", MessageStyle("KeyRecord_Delete")), kIdNo);
  EXPECT_EQ(AskUser(ask, "Imported_KeyID_exists", MessageStyle("Imported_KeyID_exists"), "k"),
            kIdCancel);
  const std::string text = err.Text();
  EXPECT_NE(text.find("taking No"), std::string::npos);
  EXPECT_NE(text.find("taking Cancel"), std::string::npos);
  EXPECT_TRUE(term.prompts.empty()) << "nobody is asked without a terminal";
  EXPECT_EQ(ask.ConfirmOverwrite({"a", "b", 1, {}}).choice, OverwriteChoice::kNo);
}

TEST(TerminalUi, OnATerminalThePersonAnswersAndPresetAnswersComeFirst) {
  ScriptedTerminal term;
  term.interactive = true;
  term.lines = {"maybe", "y", "c"};
  ErrFile err;
  TerminalUi ui(term, Answer::kAsk, err.get());
  EXPECT_EQ(AskUser(ui, "KeyRecord_Delete", MessageStyle("KeyRecord_Delete")), kIdYes);
  EXPECT_EQ(term.prompts.size(), 2u) << "an unclear answer is asked again";
  EXPECT_EQ(AskUser(ui, "Imported_KeyID_exists", MessageStyle("Imported_KeyID_exists"), "k"),
            kIdCancel);
  ui.answers.push_back(kIdNo);
  EXPECT_EQ(AskUser(ui, "Imported_KeyID_exists", MessageStyle("Imported_KeyID_exists"), "k"),
            kIdNo);
  EXPECT_EQ(term.prompts.size(), 3u);
  // A plain information box asks nothing.
  EXPECT_EQ(ShowMessage(ui, "Keyfile_savedOK", MessageStyle("Keyfile_savedOK")), kIdOk);
  EXPECT_EQ(term.prompts.size(), 3u);
}

TEST(TerminalUi, PassphrasesComeFromTheQueueThenHiddenFromTheTerminalElseCancel) {
  ScriptedTerminal term;
  ErrFile err;
  TerminalUi ui(term, Answer::kAsk, err.get());
  ui.passphrases.push_back("from-env");
  EXPECT_EQ(ui.AskPassphrase("Enter passphrase"), "from-env");
  EXPECT_EQ(ui.AskPassphrase("Enter passphrase"), kPassphraseCancelled);
  EXPECT_NE(err.Text().find("no passphrase"), std::string::npos);

  term.interactive = true;
  term.lines = {"typed", "one", "two"};
  EXPECT_EQ(ui.AskPassphrase("Enter passphrase"), "typed");
  ASSERT_EQ(term.hidden.size(), 1u);
  EXPECT_TRUE(term.hidden[0]);
  ChangePassphraseRequest request;
  request.mode = ChangePassphraseMode::kNewKeyfile;
  ChangePassphraseReply reply = ui.AskChangePassphrase(request);
  EXPECT_EQ(reply.new_text, "one");
  EXPECT_EQ(reply.retyped, "two") << "the two typings are compared by the keyfile, not here";

  ui.passphrases.push_back("scripted");
  reply = ui.AskChangePassphrase(request);
  EXPECT_EQ(reply.new_text, "scripted");
  EXPECT_EQ(reply.retyped, "scripted");
}

TEST(TerminalUi, TextPromptsTakeCommandLineNamesThenCancel) {
  ScriptedTerminal term;
  ErrFile err;
  TerminalUi ui(term, Answer::kAsk, err.get());
  ui.texts.push_back("alice");
  bool ok = false;
  EXPECT_EQ(ui.AskText("Enter a name", {}, ok), "alice");
  EXPECT_TRUE(ok);
  EXPECT_EQ(ui.AskText("Enter a name", {}, ok), "");
  EXPECT_FALSE(ok);
}

TEST(Args, OptionsValuesAndPositionals) {
  ArgSyntax syntax;
  syntax.flags = {"--sign"};
  syntax.values = {"--to", "-o", "--attach"};
  syntax.max_positional = 1;
  ParsedArgs p;
  std::string error;
  ASSERT_TRUE(ParseArgs({"--to", "a,b", "--sign", "--attach=x", "--attach", "y", "-o", "out", "-"},
                        syntax, p, error))
      << error;
  EXPECT_EQ(p.Value("--to"), "a,b");
  EXPECT_TRUE(p.Has("--sign"));
  EXPECT_EQ(p.All("--attach"), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(p.Value("-o"), "out");
  EXPECT_EQ(p.positional, std::vector<std::string>{"-"});
  ASSERT_TRUE(ParseArgs({"--", "--to"}, syntax, p, error));
  EXPECT_EQ(p.positional, std::vector<std::string>{"--to"});

  EXPECT_FALSE(ParseArgs({"--bogus"}, syntax, p, error));
  EXPECT_EQ(error, "unknown option --bogus");
  EXPECT_FALSE(ParseArgs({"--to"}, syntax, p, error));
  EXPECT_EQ(error, "option --to needs a value");
  EXPECT_FALSE(ParseArgs({"--sign=1"}, syntax, p, error));
  EXPECT_FALSE(ParseArgs({"a", "b"}, syntax, p, error));
  syntax.min_positional = 1;
  EXPECT_FALSE(ParseArgs({}, syntax, p, error));
}

TEST(Args, ExpiryDates) {
  int y = -1, m = -1, d = -1;
  EXPECT_TRUE(ParseExpiry("never", y, m, d));
  EXPECT_EQ(y + m + d, 0);
  EXPECT_TRUE(ParseExpiry("2028-02-29", y, m, d));
  EXPECT_EQ(y * 10000 + m * 100 + d, 20280229);
  for (const char* bad : {"2027-02-29", "2027-13-01", "2027-1-01", "27-01-01x", "", "Never"}) {
    EXPECT_FALSE(ParseExpiry(bad, y, m, d)) << bad;
  }
}

TEST(Usage, EveryCommandHasItsOwnUsageAndTheWholeListHasThemAll) {
  const std::string all = UsageText({});
  for (const char* command : {"keyfile create", "key import", "group add", "signer set", "encrypt",
                              "decrypt", "selftest"}) {
    const std::string one = UsageText(command);
    EXPECT_EQ(one.rfind("usage: lq", 0), 0u) << command;
    EXPECT_NE(all.find(command), std::string::npos) << command;
  }
  EXPECT_NE(UsageText("group").find("group remove"), std::string::npos);
}

}  // namespace
}  // namespace lq::cli
