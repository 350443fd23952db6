// The Ui interface: everything the core shows to the user or asks of them. The GUI implements it
// with the toolkit, `lq` on the terminal, tests with a recording fake. The core never draws.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "base/trace.h"

namespace lq {

// Win32 message-box styles and button identifiers; the numbers are part of the catalogue's
// contract, so every front end uses the same values.
namespace mb {
constexpr int kOk = 0;
constexpr int kOkCancel = 1;
constexpr int kYesNoCancel = 3;
constexpr int kYesNo = 4;
constexpr int kIconHand = 16;
constexpr int kIconQuestion = 32;
constexpr int kIconExclamation = 48;
constexpr int kIconInformation = 64;
constexpr int kSystemModal = 4096;
constexpr int kTopmost = 262144;
constexpr int kButtonMask = 15;
constexpr int kIconMask = 240;
}  // namespace mb

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// The one-byte text a passphrase prompt returns when the user cancels. An empty text confirmed
// with OK is a real (empty) answer.
inline const std::string kPassphraseCancelled(1, '\0');

struct MessageBoxRequest {
  std::string key;      // catalogue key, empty for a plain box
  std::string text;     // the full text, lines joined with CR LF
  std::string caption;  // "Lockquill V1.0" for catalogue boxes
  int style = 0;        // Win32 style, MB_SYSTEMMODAL and MB_TOPMOST already added
};

// The passphrase dialog's modes for changing or setting passphrases.
enum class ChangePassphraseMode { kChange = 1, kNewKeyfile = 2, kEditSecretKey = 3 };

struct ChangePassphraseRequest {
  ChangePassphraseMode mode = ChangePassphraseMode::kChange;
  std::string prompt;                                     // the prompt label text
  std::string current_secret;                             // mode 3: the box starts with it
  int expiry_year = 0, expiry_month = 0, expiry_day = 0;  // mode 3: 0/0/0 means never
};

struct ChangePassphraseReply {
  // Cancel puts kPassphraseCancelled in `current`. The caller wipes all three.
  std::string current, new_text, retyped;
  int expiry_year = 0, expiry_month = 0, expiry_day = 0;  // mode 3 only
};

// Answers of the overwrite confirmation dialog.
enum class OverwriteChoice { kYes = 1, kNo = 2, kYesToAll = 3, kNoToAll = 4 };
// What the overwrite dialog shows: the existing file's path and the new file's name, size and
// last-written time. The existing file's size and time the front end reads from the disk.
struct OverwriteRequest {
  std::string existing_file;
  std::string new_file;
  unsigned long long new_size = 0;
  LocalTime new_written;  // all 0 when the packet carries no time
};
struct OverwriteReply {
  OverwriteChoice choice = OverwriteChoice::kNo;
  bool remember = false;  // "Remember my answer for the rest of this session"
};

struct FileChooserRequest {
  std::string title;
  std::string filter;  // "Name|*.ext" pairs
  std::string initial_folder;
  std::string default_name;  // save dialogs
  bool multi_select = false;
  bool save = false;
};

// Colour numbers of the status text (the toolkit's palette).
constexpr int kStatusColourGreen = 18;
constexpr int kStatusColourRed = 20;
// The status colour of a colour name: exactly "red" is red, every other name green.
inline int StatusColourNumber(std::string_view name) {
  return name == "red" ? kStatusColourRed : kStatusColourGreen;
}

class Ui : public TraceSink {
 public:
  // Shows a message box and returns the button pressed (kIdOk ...).
  virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;

  // Main window hooks: log list, status text and colour, progress bar, decryption summary,
  // history tree. Front ends without these places may ignore them.
  virtual void LogLine(std::string_view text) { (void)text; }
  virtual void SetStatusText(std::string_view text) { (void)text; }
  virtual void SetStatusColour(int colour) { (void)colour; }
  virtual void ShowProgress(long position, long maximum) { (void)position, (void)maximum; }
  virtual void UpdateProgress(long position, long maximum) { (void)position, (void)maximum; }
  virtual void HideProgress() {}
  virtual void SetSummary(std::string_view text) { (void)text; }
  // Adds a history tree item under `parent` (0: top level) and returns its handle (> 0).
  virtual int AddHistoryEntry(std::string_view tree_text, std::string_view kept_text, int parent) {
    (void)tree_text, (void)kept_text, (void)parent;
    return 0;
  }

  // Asks whether an existing file may be replaced by a new one.
  virtual OverwriteReply ConfirmOverwrite(const OverwriteRequest& request) = 0;

  // Passphrase prompts; see kPassphraseCancelled. The caller wipes the results.
  virtual std::string AskPassphrase(std::string_view prompt) = 0;
  virtual ChangePassphraseReply AskChangePassphrase(const ChangePassphraseRequest& request) = 0;
  // A one-line text entry; `ok` is false when the user cancels.
  virtual std::string AskText(std::string_view prompt, std::string_view initial, bool& ok) = 0;

  // A wait screen for long operations (key generation, random setup); Pump lets the front end
  // process pending events between steps of a long operation.
  virtual void ShowWaitScreen(std::string_view text) { (void)text; }
  virtual void HideWaitScreen() {}
  virtual void Pump() {}

  // File and folder choosers: an empty result means cancelled. A multi-select open dialog
  // returns the chosen full paths.
  virtual std::vector<std::string> ChooseFiles(const FileChooserRequest& request) = 0;
  virtual std::string ChooseFolder(std::string_view title, std::string_view initial) = 0;
};

}  // namespace lq
