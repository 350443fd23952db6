// The recording Ui fake used by the tests of every layer.
#include "support/recording_ui.h"

#include <gtest/gtest.h>

namespace lq::test {

void RecordingUi::Record(std::string what, std::string_view text, std::string key, int number) {
  calls.push_back(UiCall{std::move(what), std::string(text), std::move(key), number});
}

std::vector<std::string> RecordingUi::MessageKeys() const {
  std::vector<std::string> keys;
  for (const auto& b : boxes) keys.push_back(b.key);
  return keys;
}

const MessageBoxRequest& RecordingUi::LastBox() const {
  static const MessageBoxRequest kNone;
  EXPECT_FALSE(boxes.empty()) << "no message box was shown";
  return boxes.empty() ? kNone : boxes.back();
}

void RecordingUi::Trace(std::string_view text) {
  traces.emplace_back(text);
  Record("Trace", text);
}

int RecordingUi::ShowMessageBox(const MessageBoxRequest& request) {
  boxes.push_back(request);
  Record("MessageBox", request.text, request.key, request.style);
  if (!buttons.empty()) {
    int b = buttons.front();
    buttons.pop_front();
    return b;
  }
  switch (request.style & mb::kButtonMask) {
    case mb::kYesNo:
    case mb::kYesNoCancel:
      return kIdYes;
    default:
      return kIdOk;
  }
}

void RecordingUi::LogLine(std::string_view text) {
  log.emplace_back(text);
  Record("LogLine", text);
}

void RecordingUi::SetStatusText(std::string_view text) {
  status = std::string(text);
  Record("Status", text);
}

void RecordingUi::SetStatusColour(int colour) {
  status_colour = colour;
  Record("Colour", "", "", colour);
}

void RecordingUi::ShowProgress(long position, long maximum) {
  Record("ShowProgress", std::to_string(maximum), "", static_cast<int>(position));
}

void RecordingUi::UpdateProgress(long position, long maximum) {
  Record("Progress", std::to_string(maximum), "", static_cast<int>(position));
}

void RecordingUi::HideProgress() { Record("HideProgress", ""); }

void RecordingUi::SetSummary(std::string_view text) {
  summary = std::string(text);
  Record("Summary", text);
}

int RecordingUi::AddHistoryEntry(std::string_view tree_text, std::string_view kept_text,
                                 int parent) {
  Record("History", tree_text, std::string(kept_text), parent);
  return ++next_history_;
}

OverwriteReply RecordingUi::ConfirmOverwrite(const OverwriteRequest& request) {
  overwrite_requests.push_back(request);
  Record("ConfirmOverwrite", request.existing_file, request.new_file,
         static_cast<int>(request.new_size));
  if (overwrite_replies.empty()) return OverwriteReply{};
  OverwriteReply r = overwrite_replies.front();
  overwrite_replies.pop_front();
  return r;
}

std::string RecordingUi::AskPassphrase(std::string_view prompt) {
  Record("AskPassphrase", prompt);
  if (passphrases.empty()) return kPassphraseCancelled;
  std::string p = passphrases.front();
  passphrases.pop_front();
  return p;
}

ChangePassphraseReply RecordingUi::AskChangePassphrase(const ChangePassphraseRequest& request) {
  Record("AskChangePassphrase", request.prompt, "", static_cast<int>(request.mode));
  if (change_replies.empty()) {
    ChangePassphraseReply cancelled;
    cancelled.current = kPassphraseCancelled;
    return cancelled;
  }
  ChangePassphraseReply r = change_replies.front();
  change_replies.pop_front();
  return r;
}

std::string RecordingUi::AskText(std::string_view prompt, std::string_view initial, bool& ok) {
  Record("AskText", prompt, std::string(initial));
  ok = !texts.empty();
  if (!ok) return {};
  std::string t = texts.front();
  texts.pop_front();
  return t;
}

void RecordingUi::ShowWaitScreen(std::string_view text) {
  Record("ShowWaitScreen", text);
  if (on_wait_screen) on_wait_screen();
}
void RecordingUi::HideWaitScreen() { Record("HideWaitScreen", ""); }

std::vector<std::string> RecordingUi::ChooseFiles(const FileChooserRequest& request) {
  Record("ChooseFiles", request.title, request.filter);
  if (chosen_files.empty()) return {};
  auto f = chosen_files.front();
  chosen_files.pop_front();
  return f;
}

std::string RecordingUi::ChooseFolder(std::string_view title, std::string_view initial) {
  Record("ChooseFolder", title, std::string(initial));
  if (chosen_folders.empty()) return {};
  auto f = chosen_folders.front();
  chosen_folders.pop_front();
  return f;
}

}  // namespace lq::test
