// The GUI's Ui: catalogue message boxes, the main window's reporting hooks (log, status text
// and colour, progress, summary, history) on MAIN's controls, and the dialogs (passphrase,
// overwrite, text entry, wait screen, file and folder choosers).
#pragma once

#include <string>
#include <vector>

#include "app/actions.h"
#include "app/ui_hooks.h"
#include "base/ui.h"
#include "formkit/formkit.h"

namespace lq::gui {

class Desk;

class GuiUi final : public Ui {
 public:
  explicit GuiUi(Desk& desk) : desk_(desk) {}

  int ShowMessageBox(const MessageBoxRequest& request) override;

  void LogLine(std::string_view text) override;
  // The status bar's first part: the keyfile state.
  void SetStatusText(std::string_view text) override;
  void SetStatusColour(int colour) override;
  void ShowProgress(long position, long maximum) override;
  void UpdateProgress(long position, long maximum) override;
  void HideProgress() override;
  void SetSummary(std::string_view text) override;
  int AddHistoryEntry(std::string_view tree_text, std::string_view kept_text, int parent) override;

  OverwriteReply ConfirmOverwrite(const OverwriteRequest& request) override;
  std::string AskPassphrase(std::string_view prompt) override;
  ChangePassphraseReply AskChangePassphrase(const ChangePassphraseRequest& request) override;
  std::string AskText(std::string_view prompt, std::string_view initial, bool& ok) override;

  void ShowWaitScreen(std::string_view text) override;
  void HideWaitScreen() override;
  void Pump() override;

  std::vector<std::string> ChooseFiles(const FileChooserRequest& request) override;
  std::string ChooseFolder(std::string_view title, std::string_view initial) override;

  // The status text (label 127) of the actions: AppendStatus adds to it, ClearStatus empties it.
  void AppendStatus(std::string_view text);
  void ClearStatus();

  // What the hooks drew before MAIN existed (the keyfile opens first) goes onto its controls.
  void ApplyToMain();

  const std::string& status_bar_text() const { return status_bar_text_; }
  const std::string& status_text() const { return status_text_; }
  const std::string& summary() const { return summary_; }
  // The tree item of a history entry number returned by AddHistoryEntry (0 when unknown).
  FK_ITEM HistoryItem(int entry) const;
  // The tree text and kept text of a tree item; false for an item the history does not know.
  bool HistoryEntryOf(FK_ITEM item, HistoryEntryView& entry) const;
  // Removes an item (and the items under it) from the tree, wiping what they kept.
  void DeleteHistoryItem(FK_ITEM item);
  void ClearHistory();

  // The log's lines as shown, for saving; ClearLog empties the list.
  const std::vector<std::string>& log_lines() const { return log_lines_; }
  void ClearLog();

 private:
  void DrawProgress();

  Desk& desk_;
  std::string status_bar_text_;
  std::string status_text_;
  int status_colour_ = kStatusColourGreen;
  std::string summary_;
  // Entry numbers are indices + 1 into this list: tree items are pointers, which the Ui's
  // entry numbers do not carry on 64-bit Windows.
  std::vector<FK_ITEM> history_items_;
  std::vector<std::string> history_kept_;  // what each entry keeps, by entry number - 1
  std::vector<std::string> log_lines_;
};

}  // namespace lq::gui
