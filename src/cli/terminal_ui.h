// The Ui of the lq tool: messages become their catalogue text on standard error, questions are
// answered by --yes / --no, asked on the terminal, or else given their safe answer (said so),
// and texts and passphrases come from what the command line supplied.
#pragma once

#include <cstdio>
#include <deque>
#include <string>
#include <string_view>

#include "base/ui.h"
#include "cli/terminal.h"

namespace lq::cli {

enum class Answer { kAsk, kYes, kNo };

class TerminalUi final : public Ui {
 public:
  TerminalUi(Terminal& terminal, Answer answer, std::FILE* err = stderr);
  ~TerminalUi() override;

  // Answers the next text prompts (names given on the command line), in order. When the queue
  // is empty a prompt is asked on the terminal, or cancelled.
  std::deque<std::string> texts;
  // Passphrases given through the environment or a descriptor; used in order, then the
  // terminal is asked. The Ui wipes them as they are handed out or when it is destroyed.
  std::deque<std::string> passphrases;
  // Answers (kIdYes ...) to the next questions, set by command options such as --replace;
  // they come before --yes / --no and the terminal.
  std::deque<int> answers;
  // Log lines go to standard error only when set (--verbose); traces never.
  bool show_log = false;
  // --quiet: informational messages (boxes with only an OK button and no error or warning icon)
  // and notes are not shown; errors, warnings, questions and verdicts still are.
  bool quiet = false;

  int ShowMessageBox(const MessageBoxRequest& request) override;
  void LogLine(std::string_view text) override;
  void ShowProgress(long position, long maximum) override;
  void UpdateProgress(long position, long maximum) override;
  void HideProgress() override;
  void SetStatusText(std::string_view text) override { status = text; }
  void SetSummary(std::string_view text) override { summary = text; }
  OverwriteReply ConfirmOverwrite(const OverwriteRequest& request) override;
  std::string AskPassphrase(std::string_view prompt) override;
  ChangePassphraseReply AskChangePassphrase(const ChangePassphraseRequest& request) override;
  std::string AskText(std::string_view prompt, std::string_view initial, bool& ok) override;
  void ShowWaitScreen(std::string_view text) override;
  std::vector<std::string> ChooseFiles(const FileChooserRequest& request) override;
  std::string ChooseFolder(std::string_view title, std::string_view initial) override;

  // Whether progress is drawn (standard error is a terminal).
  bool ProgressShown() { return terminal_.ErrorIsTerminal(); }
  // A plain error of the tool itself ("lq: " + text) on standard error.
  void Error(std::string_view text);
  // A plain note on standard error; not shown with `quiet`.
  void Note(std::string_view text);
  // A result the user asked for (a decryption's verdicts) on standard error, also when quiet.
  void Verdict(std::string_view text);
  // Reads a line without echo from the person at the terminal; false when nobody can be asked.
  bool AskHidden(std::string_view prompt, std::string& line);

  // Every message key shown, so the caller can tell e.g. a signature verdict, and how many
  // messages had the error icon.
  std::vector<std::string> shown_keys;
  int errors_shown = 0;
  // The last status line and decryption summary the engine set; the command prints them.
  std::string status, summary;

 private:
  // Asks a yes/no question of the answer policy. `safe` is the answer taken when nobody can be
  // asked; `safe_name` says it.
  bool Decide(std::string_view question, bool safe, std::string_view safe_name);
  std::string NextPassphrase(std::string_view prompt);

  Terminal& terminal_;
  Answer answer_;
  std::FILE* err_;
  bool progress_shown_ = false;
};

// A Ui that shows nothing and answers nothing (cancel), for looking into data before the real
// operation reports on it.
class QuietUi final : public Ui {
 public:
  int ShowMessageBox(const MessageBoxRequest&) override { return kIdCancel; }
  OverwriteReply ConfirmOverwrite(const OverwriteRequest&) override { return {}; }
  std::string AskPassphrase(std::string_view) override { return kPassphraseCancelled; }
  ChangePassphraseReply AskChangePassphrase(const ChangePassphraseRequest&) override {
    ChangePassphraseReply reply;
    reply.current = kPassphraseCancelled;
    return reply;
  }
  std::string AskText(std::string_view, std::string_view, bool& ok) override {
    ok = false;
    return {};
  }
  std::vector<std::string> ChooseFiles(const FileChooserRequest&) override { return {}; }
  std::string ChooseFolder(std::string_view, std::string_view) override { return {}; }
};

// The catalogue's CR LF line ends as the terminal's line ends.
std::string TerminalText(std::string_view text);
// A message's lines as one line: each line trimmed, empty ones dropped, joined with blanks.
std::string OneLine(std::string_view text);

}  // namespace lq::cli
