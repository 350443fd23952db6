// The terminal Ui of lq: see terminal_ui.h.
#include "cli/terminal_ui.h"

#include "base/bytes.h"

namespace lq::cli {

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

std::string OneLine(std::string_view text) {
  std::string out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (!line.empty()) {
      if (!out.empty()) out += ' ';
      out += line;
    }
    start = end + 1;
  }
  return out;
}

TerminalUi::TerminalUi(Terminal& terminal, Answer answer, std::FILE* err)
    : terminal_(terminal), answer_(answer), err_(err) {}

TerminalUi::~TerminalUi() {
  for (std::string& p : passphrases) Wipe(p);
}

void TerminalUi::Error(std::string_view text) {
  std::fprintf(err_, "lq: %.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(err_);
}

void TerminalUi::Note(std::string_view text) {
  if (!quiet) Verdict(text);
}

void TerminalUi::Verdict(std::string_view text) {
  std::fprintf(err_, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(err_);
}

bool TerminalUi::AskHidden(std::string_view prompt, std::string& line) {
  line.clear();
  return terminal_.Interactive() && terminal_.ReadLine(prompt, true, line);
}

bool TerminalUi::Decide(std::string_view question, bool safe, std::string_view safe_name) {
  if (answer_ == Answer::kYes) return true;
  if (answer_ == Answer::kNo) return false;
  if (terminal_.Interactive()) {
    for (;;) {
      std::string line;
      if (!terminal_.ReadLine(std::string(question) + " [y/n] ", false, line)) break;
      if (line == "y" || line == "Y" || line == "yes") return true;
      if (line == "n" || line == "N" || line == "no") return false;
    }
  }
  Error("no answer (give --yes or --no): taking " + std::string(safe_name));
  return safe;
}

int TerminalUi::ShowMessageBox(const MessageBoxRequest& request) {
  if (!request.key.empty()) shown_keys.push_back(request.key);
  if ((request.style & mb::kIconMask) == mb::kIconHand) ++errors_shown;
  const int buttons = request.style & mb::kButtonMask;
  const int icon = request.style & mb::kIconMask;
  // One line per message, so that scripts can read standard error line by line.
  const bool informational =
      buttons == mb::kOk && icon != mb::kIconHand && icon != mb::kIconExclamation;
  if (!(quiet && informational)) Error(OneLine(request.text));
  if (buttons != mb::kOk && !answers.empty()) {
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  switch (buttons) {
    case mb::kOk:
      return kIdOk;
    case mb::kOkCancel:
      return Decide("OK?", false, "Cancel") ? kIdOk : kIdCancel;
    case mb::kYesNo:
      return Decide("Yes or no?", false, "No") ? kIdYes : kIdNo;
    case mb::kYesNoCancel: {
      // --yes and --no pick Yes and No; nobody to ask means Cancel, which changes nothing.
      if (answer_ == Answer::kYes) return kIdYes;
      if (answer_ == Answer::kNo) return kIdNo;
      if (terminal_.Interactive()) {
        for (;;) {
          std::string line;
          if (!terminal_.ReadLine("Yes, no or cancel? [y/n/c] ", false, line)) break;
          if (line == "y" || line == "Y" || line == "yes") return kIdYes;
          if (line == "n" || line == "N" || line == "no") return kIdNo;
          if (line == "c" || line == "C" || line == "cancel") return kIdCancel;
        }
      }
      Error("no answer (give --yes or --no): taking Cancel");
      return kIdCancel;
    }
    default:
      Error("no answer possible: taking Cancel");
      return kIdCancel;
  }
}

void TerminalUi::LogLine(std::string_view text) {
  if (show_log) Note(text);
}

void TerminalUi::ShowProgress(long position, long maximum) { UpdateProgress(position, maximum); }

void TerminalUi::UpdateProgress(long position, long maximum) {
  if (!terminal_.ErrorIsTerminal() || maximum <= 0) return;
  const long percent = position >= maximum ? 100 : position * 100 / maximum;
  std::fprintf(err_, "\r%3ld%%", percent);
  std::fflush(err_);
  progress_shown_ = true;
}

void TerminalUi::HideProgress() {
  if (!progress_shown_) return;
  std::fprintf(err_, "\r    \r");
  std::fflush(err_);
  progress_shown_ = false;
}

OverwriteReply TerminalUi::ConfirmOverwrite(const OverwriteRequest& request) {
  OverwriteReply reply;
  const bool yes = Decide("Overwrite " + request.existing_file + " with " + request.new_file +
                              " of the packet (" + std::to_string(request.new_size) + " bytes)?",
                          false, "No");
  reply.choice = yes ? OverwriteChoice::kYes : OverwriteChoice::kNo;
  return reply;
}

std::string TerminalUi::NextPassphrase(std::string_view prompt) {
  if (!passphrases.empty()) {
    std::string p = std::move(passphrases.front());
    passphrases.pop_front();
    return p;
  }
  std::string line;
  if (terminal_.Interactive() && terminal_.ReadLine(TerminalText(prompt) + "\n> ", true, line)) {
    return line;
  }
  Wipe(line);
  return kPassphraseCancelled;
}

std::string TerminalUi::AskPassphrase(std::string_view prompt) {
  std::string p = NextPassphrase(prompt);
  if (p == kPassphraseCancelled) {
    Error("no passphrase (give --passphrase-env or --passphrase-fd, or run on a terminal)");
  }
  return p;
}

ChangePassphraseReply TerminalUi::AskChangePassphrase(const ChangePassphraseRequest& request) {
  ChangePassphraseReply reply;
  reply.expiry_year = request.expiry_year;
  reply.expiry_month = request.expiry_month;
  reply.expiry_day = request.expiry_day;
  if (request.mode == ChangePassphraseMode::kChange) {
    reply.current = NextPassphrase("Current passphrase:");
    if (reply.current == kPassphraseCancelled) return reply;
  }
  // A passphrase from the environment or a descriptor was typed once, by a program.
  if (!passphrases.empty()) {
    reply.new_text = NextPassphrase({});
    reply.retyped = reply.new_text;
    return reply;
  }
  std::string first = NextPassphrase(request.prompt.empty() ? "New passphrase:" : request.prompt);
  if (first == kPassphraseCancelled) {
    Error("no passphrase (give --passphrase-env or --passphrase-fd, or run on a terminal)");
    reply.current = kPassphraseCancelled;
    return reply;
  }
  std::string second = NextPassphrase("Type the passphrase again:");
  reply.new_text = std::move(first);
  reply.retyped = std::move(second);
  return reply;
}

std::string TerminalUi::AskText(std::string_view prompt, std::string_view initial, bool& ok) {
  (void)initial;
  ok = false;
  if (!texts.empty()) {
    std::string text = std::move(texts.front());
    texts.pop_front();
    ok = true;
    return text;
  }
  std::string line;
  if (terminal_.Interactive() && terminal_.ReadLine(TerminalText(prompt) + ": ", false, line)) {
    ok = true;
    return line;
  }
  Error(std::string(TerminalText(prompt)) + ": no answer, cancelled");
  return {};
}

void TerminalUi::ShowWaitScreen(std::string_view text) {
  if (terminal_.ErrorIsTerminal()) Note(TerminalText(text));
}

std::vector<std::string> TerminalUi::ChooseFiles(const FileChooserRequest& request) {
  Error(request.title + ": no file chooser here; name the file on the command line");
  return {};
}

std::string TerminalUi::ChooseFolder(std::string_view title, std::string_view initial) {
  (void)initial;
  Error(std::string(title) + ": no folder chooser here; use --store");
  return {};
}

}  // namespace lq::cli
