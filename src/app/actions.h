// The main window's actions: encrypt or sign the editor's text and the included files into
// armor pasted into another window, a packet file, one packet per file or a mail; decrypt text
// fetched from another window, packet files and dropped files; the two hotkey flows; the
// history's commands and the log. Each collects its input, checks it, calls the packet engine
// and delivers the result; the GUI only routes menu items, buttons and drops here.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/session.h"
#include "app/text_capture.h"

namespace lq {

inline constexpr char kPacketExtension[] = "lqe";
inline constexpr char kPacketFilter[] = "Lockquill encrypted files|*.lqe";
inline constexpr char kNoKeyNameText[] = "--No KeyName found--";
inline constexpr char kNoSubjectText[] = "/\\/\\/\\";
// How long decrypted text put on the clipboard stays there.
constexpr int kSecretClipboardMs = 30000;

// The main window as the actions see it (the GUI implements it on MAIN's controls, tests
// record it). The included files are the session's packets.attachments; the window redraws
// them on IncludedFilesChanged.
class Workbench : public CaptureSurface {
 public:
  // The editor's text as plain UTF-8 text, and a new text for it (rich text when `rich` and
  // the text is rich text).
  virtual std::string EditorText() = 0;
  virtual void SetEditorText(std::string_view text, bool rich) = 0;
  // Whether the keyboard focus is in the editor (a hotkey pressed inside Lockquill itself).
  virtual bool EditorHasFocus() = 0;
  virtual void IncludedFilesChanged() = 0;
  // The immediate page's list of dropped files.
  virtual void AddImmediateFile(std::string_view path) = 0;
  // Shows the main window and its forms again (after a hotkey, when the setting asks).
  virtual void ShowAllWindows() = 0;
};

// The clipboard guard: decrypted text the program put on the clipboard is taken off again
// after kSecretClipboardMs, unless something else was copied meanwhile.
// Puts `text` on the clipboard marked secret and starts the guard's countdown.
bool PutSecretOnClipboard(Session& s, std::string_view text);
// The GUI's timer: counts down by `elapsed_ms`; when due, empties the clipboard if it still
// holds exactly that text and logs so.
void TickSecretClipboard(Session& s, int elapsed_ms);

// A log line followed by the time stamp: an empty line, then "=== <what> at <time> ===".
void LogActionHeader(Session& s, std::string_view what);

// The recipient selection the popup keeps in the keyfile, handed to the packet engine. False
// (with "EnDec_NoRecipientsSelected") when encrypting needs recipients and none is selected.
[[nodiscard]] bool CheckRecipients(Session& s);

// To (the e-mail addresses of the selected recipients joined by the To separator) and the
// subject (the last recipient's, "/\/\/\" when empty). Recipients without user data or
// address are reported and skipped.
void BuildRecipientAddressList(Session& s, std::string& to, std::string& subject);

// The armor of the text: an encryption packet, or a signed text when not encrypting. Empty
// when the engine refused (it said why).
std::string ComposeArmor(Session& s, std::string_view text);
// A packet file for the editor text and the included files at `path` (the file-exists
// question included). 0 written, 1 not.
int SaveEncryptedFile(Session& s, Workbench& wb, const std::string& path);

void EncryptAndPasteAsText(Session& s, Workbench& wb);
void EncryptAndSaveAsFile(Session& s, Workbench& wb);
void EncryptAndSaveAsSeparateFiles(Session& s, Workbench& wb);
void EncryptAndSendAsEMail(Session& s, Workbench& wb);
void PasteEMailAddresses(Session& s, Workbench& wb);
void DecryptText(Session& s, Workbench& wb);
void DecryptFiles(Session& s, Workbench& wb);
void ProcessDroppedFiles(Session& s, Workbench& wb, const std::vector<std::string>& files);
void HotkeyEncrypt(Session& s, Workbench& wb);
void HotkeyDecrypt(Session& s, Workbench& wb);

// Reads an armored text as the decrypt actions do: a history entry for it, the packet opened
// or the signature checked, the result shown in the editor, and again while the result is a
// packet itself when recursive decryption is on. True when a text was shown.
bool DecryptAndShow(Session& s, Workbench& wb, std::string_view text);
// Opens one packet file under an "Encrypted file" entry; its text goes to the editor.
bool DecryptOneFile(Session& s, Workbench& wb, const std::string& path);

// Adds files to the included-files list (a file already listed is not added twice).
void IncludeFiles(Session& s, Workbench& wb, const std::vector<std::string>& files);
// " file included - " / " files included - " with the count first.
std::string IncludedCountText(size_t count);

// --- Decryption history ---------------------------------------------------------------------

enum class HistoryCommand {
  kDelete,        // text entries: forget the entry
  kMoveToEditor,  // text entries
  kOpenFile,
  kOpenWithWordpad,
  kDecryptFile,
  kDeleteFile,
  kIncludeFile,
  kCollapse,
  kExpand,
  kClearList,
};
struct HistoryMenuItem {
  const char* text;  // "-" separates
  HistoryCommand command;
};
// The context menu of an entry, by its tree text ("Ciphertext #3", "Encrypted file" ...).
std::vector<HistoryMenuItem> HistoryMenu(std::string_view tree_text);
// What a history entry keeps: the text (text entries) or the full path (file entries).
struct HistoryEntryView {
  std::string tree_text;
  std::string kept;
};
// Runs a command on an entry; true when the GUI removes the entry from the tree (deleted
// text, deleted file). Collapse, expand and clear are the GUI's own.
bool RunHistoryCommand(Session& s, Workbench& wb, const HistoryEntryView& entry,
                       HistoryCommand command);

// --- Log ------------------------------------------------------------------------------------

// Asks for a file and writes the lines joined by CR LF; "General_LogtextEmpty" when there are
// none. 0 written, 1 not.
int SaveLogText(Session& s, const std::vector<std::string>& lines);

}  // namespace lq
