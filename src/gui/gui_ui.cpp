// The GUI's Ui on the toolkit: message boxes with every program window disabled meanwhile, the
// main window's hooks, and the program's dialogs.
#include "gui/gui_ui.h"

#include <windows.h>

#include <algorithm>

#include "base/winstr_win32.h"
#include "gui/desk.h"

namespace lq::gui {

namespace {

bool MainExists() { return FK_FORMEXISTS(kMainForm) != 0; }

}  // namespace

int GuiUi::ShowMessageBox(const MessageBoxRequest& request) {
  // System-modal: no window of the program can be used while the box is up.
  int pressed =
      FK_MESSAGEBOX(request.text.c_str(), request.caption.c_str(),
                    static_cast<unsigned>(request.style | mb::kSystemModal | mb::kTopmost));
  return pressed == 0 ? kIdCancel : pressed;
}

void GuiUi::LogLine(std::string_view text) {
  log_lines_.emplace_back(text);
  if (!MainExists()) return;
  std::string line(text);
  FK_ADDLIST(kMainForm, main_ctl::kLog, line.c_str());
  FK_SCROLLTO(kMainForm, main_ctl::kLog, 0);
}

void GuiUi::SetStatusText(std::string_view text) {
  status_bar_text_ = std::string(text);
  if (MainExists()) FK_SETSBTEXT(kMainForm, main_ctl::kStatusBar, 1, status_bar_text_.c_str());
}

void GuiUi::SetStatusColour(int colour) {
  status_colour_ = colour;
  if (MainExists()) {
    FK_SETCOLOR(kMainForm, main_ctl::kStatusText, colour, FK_COLOR_KEEP);
    FK_REDRAWCONTROL(kMainForm, main_ctl::kStatusText);
  }
}

void GuiUi::AppendStatus(std::string_view text) {
  status_text_ += text;
  if (MainExists()) FK_SETTEXT(kMainForm, main_ctl::kStatusText, status_text_.c_str());
}

void GuiUi::ClearStatus() {
  status_text_.clear();
  if (MainExists()) FK_SETTEXT(kMainForm, main_ctl::kStatusText, "");
}

void GuiUi::DrawProgress() {
  if (!MainExists()) return;
  const ProgressView& view = desk_.session.progress;
  if (view.bar_visible) {
    FK_HIDEC(kMainForm, main_ctl::kStatusBar);
    FK_SHOWC(kMainForm, main_ctl::kProgress);
    FK_SETPBAR(kMainForm, main_ctl::kProgress, view.BarPosition(), view.BarMaximum());
  } else {
    FK_HIDEC(kMainForm, main_ctl::kProgress);
    FK_SHOWC(kMainForm, main_ctl::kStatusBar);
  }
  SetCursor(LoadCursorW(nullptr, view.wait_cursor ? IDC_WAIT : IDC_ARROW));
}

void GuiUi::ShowProgress(long position, long maximum) {
  desk_.session.progress.Show(position, maximum);
  DrawProgress();
}

void GuiUi::UpdateProgress(long position, long maximum) {
  desk_.session.progress.Update(position, maximum);
  DrawProgress();
}

void GuiUi::HideProgress() {
  desk_.session.progress.Hide();
  DrawProgress();
}

void GuiUi::SetSummary(std::string_view text) { summary_ = std::string(text); }

int GuiUi::AddHistoryEntry(std::string_view tree_text, std::string_view kept_text, int parent) {
  if (!MainExists()) return 0;
  std::string text(tree_text);
  // Images of the history's list: decrypted text, decrypted file, encrypted text, encrypted
  // file.
  int image = 0;
  if (text.rfind("Plaintext file", 0) == 0) {
    image = 1;
  } else if (text.rfind("Ciphertext", 0) == 0 || text.rfind("Signed text", 0) == 0) {
    image = 2;
  } else if (text.rfind("Encrypted file", 0) == 0) {
    image = 3;
  }
  FK_ITEM parent_item = HistoryItem(parent);
  FK_ITEM item =
      FK_ADDTVITEM(kMainForm, main_ctl::kHistory, parent_item, text.c_str(), image, image);
  if (item == 0) return 0;
  if (parent_item != 0) FK_TVEXPAND(kMainForm, main_ctl::kHistory, parent_item);
  history_items_.push_back(item);
  history_kept_.emplace_back(kept_text);
  return static_cast<int>(history_items_.size());
}

bool GuiUi::HistoryEntryOf(FK_ITEM item, HistoryEntryView& entry) const {
  for (size_t i = 0; i < history_items_.size(); ++i) {
    if (history_items_[i] == item && item != 0) {
      entry.tree_text = FK_GETTVITEM(kMainForm, main_ctl::kHistory, item);
      entry.kept = history_kept_[i];
      return true;
    }
  }
  return false;
}

void GuiUi::DeleteHistoryItem(FK_ITEM item) {
  // The children go with their parent: forget every entry the tree no longer holds.
  std::vector<FK_ITEM> doomed{item};
  for (size_t k = 0; k < doomed.size(); ++k) {
    for (FK_ITEM c = FK_GETTVCHILD(kMainForm, main_ctl::kHistory, doomed[k]); c != 0;
         c = FK_GETTVNEXT(kMainForm, main_ctl::kHistory, c)) {
      doomed.push_back(c);
    }
  }
  for (size_t i = 0; i < history_items_.size(); ++i) {
    if (std::find(doomed.begin(), doomed.end(), history_items_[i]) != doomed.end()) {
      history_items_[i] = 0;
      Wipe(history_kept_[i]);
      history_kept_[i].clear();
    }
  }
  FK_DELETEITEM(kMainForm, main_ctl::kHistory, item);
}

void GuiUi::ClearHistory() {
  for (std::string& kept : history_kept_) {
    Wipe(kept);
    kept.clear();
  }
  std::fill(history_items_.begin(), history_items_.end(), 0);
  if (MainExists()) FK_CLEAR(kMainForm, main_ctl::kHistory);
}

void GuiUi::ClearLog() {
  log_lines_.clear();
  if (MainExists()) FK_CLEAR(kMainForm, main_ctl::kLog);
}

FK_ITEM GuiUi::HistoryItem(int entry) const {
  if (entry <= 0 || static_cast<size_t>(entry) > history_items_.size()) return 0;
  return history_items_[static_cast<size_t>(entry) - 1];
}

OverwriteReply GuiUi::ConfirmOverwrite(const OverwriteRequest& request) {
  return desk_.overwrite.Ask(request);
}

std::string GuiUi::AskPassphrase(std::string_view prompt) {
  return desk_.passphrase.AskPassphrase(prompt);
}

ChangePassphraseReply GuiUi::AskChangePassphrase(const ChangePassphraseRequest& request) {
  return desk_.passphrase.AskChangePassphrase(request);
}

std::string GuiUi::AskText(std::string_view prompt, std::string_view initial, bool& ok) {
  std::string text = desk_.string_entry.Ask(prompt, initial);
  ok = text != kPassphraseCancelled;
  if (!ok) text.clear();
  return text;
}

void GuiUi::ShowWaitScreen(std::string_view text) { desk_.wait_screen.Show(text); }
void GuiUi::HideWaitScreen() { desk_.wait_screen.Hide(); }
void GuiUi::Pump() { FK_DOEVENTS(); }

std::vector<std::string> GuiUi::ChooseFiles(const FileChooserRequest& request) {
  const char* owner = MainExists() ? kMainForm : "";
  std::vector<std::string> files;
  if (request.save) {
    // The dialog's own replace question is not used: callers ask theirs, with a free name.
    std::string ext;
    size_t star = request.filter.find("*.");
    if (star != std::string::npos) {
      ext = request.filter.substr(star + 2);
      ext = ext.substr(0, ext.find_first_of("|;"));
      if (ext == "*") ext.clear();
    }
    std::string path =
        FK_SAVEFILE(owner, request.title.c_str(), request.filter.c_str(),
                    request.initial_folder.c_str(), request.default_name.c_str(), ext.c_str());
    if (!path.empty()) files.push_back(path);
    return files;
  }
  std::string chosen =
      FK_OPENFILE(owner, request.title.c_str(), request.filter.c_str(),
                  request.initial_folder.c_str(), request.multi_select ? FK_OF_MULTISELECT : 0);
  if (chosen.empty()) return files;
  if (!request.multi_select) {
    files.push_back(chosen);
    return files;
  }
  // "folder|name|name": the folder first, then each chosen name.
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t bar = chosen.find('|', start);
    parts.push_back(chosen.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::string folder = parts.front();
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  for (size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
  return files;
}

std::string GuiUi::ChooseFolder(std::string_view title, std::string_view initial) {
  (void)initial;
  std::string t(title);
  return FK_BROWSEFOLDER(MainExists() ? kMainForm : "", t.c_str());
}

void GuiUi::ApplyToMain() {
  FK_SETSBTEXT(kMainForm, main_ctl::kStatusBar, 1, status_bar_text_.c_str());
  FK_SETTEXT(kMainForm, main_ctl::kStatusText, status_text_.c_str());
  FK_SETCOLOR(kMainForm, main_ctl::kStatusText, status_colour_, FK_COLOR_KEEP);
  DrawProgress();
}

}  // namespace lq::gui
