// lqdesk's program object: it owns the session, the GUI's Ui, the Win32 Desktop and the forms,
// and routes the toolkit's three callbacks (start, design, event) to them. The toolkit calls
// plain C routines, so one pointer to the running Desk bridges them; nothing else is global.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/mail_setup.h"
#include "app/session.h"
#include "gui/form_calcpubkey.h"
#include "gui/form_export.h"
#include "gui/form_keymanager.h"
#include "gui/form_main.h"
#include "gui/form_overwrite.h"
#include "gui/form_passphrase.h"
#include "gui/form_popup.h"
#include "gui/form_selfextr.h"
#include "gui/form_settings.h"
#include "gui/form_sticky.h"
#include "gui/form_stringentry.h"
#include "gui/form_waitscreen.h"
#include "gui/gui_ui.h"
#include "platform/win32/win32_desktop.h"

namespace lq::gui {

// How the program was started. Tests run a Desk inside their own process with a folder of
// their own as the program folder.
struct DeskOptions {
  std::string program_folder;  // empty: the folder of the running program
  std::string command_line;    // the arguments after the program name (a keyfile path)
  int show = 1;                // SW_SHOWNORMAL
  // Called once MAIN is shown, before the message loop runs (tests open dialogs here).
  std::function<void(Desk&)> after_start;
};

class Desk {
 public:
  explicit Desk(const DeskOptions& options);
  ~Desk();
  Desk(const Desk&) = delete;
  Desk& operator=(const Desk&) = delete;

  DeskOptions options;
  Win32Desktop desktop;
  GuiUi ui;
  Session session;
  MailService mail;  // the e-mail driver, Simple MAPI and the settings form's E-mail tab

  MainForm main;
  PopupForm popup;
  StickyForm sticky;
  SettingsForm settings;
  PassphraseForms passphrase;
  OverwriteForm overwrite;
  StringEntryForm string_entry;
  WaitScreen wait_screen;
  SelfExtractForm self_extract;
  KeymanagerForm keymanager;
  CalcPubKeyForm calcpubkey;
  ExportForm export_form;
  ImportForm import_form;

  // The toolkit's callbacks.
  void AppStart();
  void CreateForm(const std::string& form);
  void DispatchEvent(const std::string& form, int id, int code, intptr_t value, int* cancel);

  // Closing MAIN: keyfile closed, timer stopped, settings saved, MAPI unloaded, forms unloaded.
  void CloseProgram();
  // Hides (or shows again) every form of the program, waiting dialogs included.
  void HideAllWindows();
  void ShowAllWindows();
  bool windows_hidden = false;

  // The program folder, ending in "\".
  const std::string& ProgramFolder() const { return program_folder_; }

 private:
  std::string program_folder_;
  std::vector<std::string> hidden_forms_;  // what HideAllWindows hid, for ShowAllWindows
  std::string expiry_logged_for_;          // the keyfile whose expiring keys were logged
};

// The form a dialog is owned by: the key manager while it is shown (its dialogs stay above it
// and give the activation back to it), else MAIN once it exists, else none ("").
const char* DialogOwner();

// Makes a form always on top, or not.
void SetTopmost(const char* form, bool on);

// Runs the program: FK_GUIRUN with the Desk's routines. Returns the run's exit code.
int RunDesk(const DeskOptions& options);

// The running Desk, nullptr outside RunDesk.
Desk* CurrentDesk();

}  // namespace lq::gui
