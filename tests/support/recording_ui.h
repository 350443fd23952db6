// A Ui for tests: keeps every call in order and answers questions from a script.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/ui.h"

namespace lq::test {

struct UiCall {
  std::string what;  // "MessageBox", "LogLine", "Status", "Colour", "Trace", ...
  std::string text;  // the main text of the call
  std::string key;   // MessageBox: catalogue key
  int number = 0;    // MessageBox: style; Colour: colour; progress: position
};

class RecordingUi : public Ui {
 public:
  // Scripted answers, used in order; when a queue is empty the default answers apply
  // (kIdOk/kIdYes-style first button, empty passphrase prompts count as cancelled).
  std::deque<int> buttons;
  std::deque<std::string> passphrases;
  std::deque<ChangePassphraseReply> change_replies;
  std::deque<OverwriteReply> overwrite_replies;
  std::deque<std::string> texts;
  std::deque<std::vector<std::string>> chosen_files;
  std::deque<std::string> chosen_folders;
  // Run when the wait screen is shown, to act as another program in the middle of an operation.
  std::function<void()> on_wait_screen;

  std::vector<UiCall> calls;
  std::vector<MessageBoxRequest> boxes;
  std::vector<OverwriteRequest> overwrite_requests;
  std::vector<std::string> traces;
  std::vector<std::string> log;
  std::string status;
  int status_colour = 0;
  std::string summary;

  // Keys of every message box shown, in order.
  std::vector<std::string> MessageKeys() const;
  // The last message box; fails the test when none was shown.
  const MessageBoxRequest& LastBox() const;

  void Trace(std::string_view text) override;
  int ShowMessageBox(const MessageBoxRequest& request) override;
  void LogLine(std::string_view text) override;
  void SetStatusText(std::string_view text) override;
  void SetStatusColour(int colour) override;
  void ShowProgress(long position, long maximum) override;
  void UpdateProgress(long position, long maximum) override;
  void HideProgress() override;
  void SetSummary(std::string_view text) override;
  int AddHistoryEntry(std::string_view tree_text, std::string_view kept_text, int parent) override;
  // Records the existing file as text, the new file's name as key and its size as number.
  OverwriteReply ConfirmOverwrite(const OverwriteRequest& request) override;
  std::string AskPassphrase(std::string_view prompt) override;
  ChangePassphraseReply AskChangePassphrase(const ChangePassphraseRequest& request) override;
  std::string AskText(std::string_view prompt, std::string_view initial, bool& ok) override;
  void ShowWaitScreen(std::string_view text) override;
  void HideWaitScreen() override;
  std::vector<std::string> ChooseFiles(const FileChooserRequest& request) override;
  std::string ChooseFolder(std::string_view title, std::string_view initial) override;

 private:
  int next_history_ = 0;
  void Record(std::string what, std::string_view text, std::string key = {}, int number = 0);
};

}  // namespace lq::test
