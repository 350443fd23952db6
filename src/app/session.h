// The desktop program's session: the one object that owns the process-wide state (settings,
// keyfile, random context, hotkey ids, inactivity counters, the packet session with recipients,
// mode flags, remembered answers and history, the log) and the start-up and closing sequences
// the GUI calls. A test builds a fresh one with the recording Ui and the scripted Desktop.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/hotkeys.h"
#include "app/inactivity.h"
#include "app/settings.h"
#include "app/ui_hooks.h"
#include "base/datetime.h"
#include "base/file_io.h"
#include "base/ui.h"
#include "crypto/random.h"
#include "keys/keyfile.h"
#include "packet/packet_session.h"
#include "platform/desktop.h"

namespace lq {

// The toolkit's font slots the forms use: number, face, size in points, letters (B bold).
struct FontSlot {
  int number;
  const char* face;
  int points;
  const char* props;
};
std::span<const FontSlot> FontSlots();

// Where the session reads the world at start-up; tests fill it by hand.
struct SessionEnvironment {
  std::string program_folder;  // the program's folder, with or without a trailing separator
  std::string command_line;    // the arguments after the program name
  // The local clock (date, time, seconds of day). Unset: the system clock.
  std::function<LocalTime()> clock;
  // Loads the e-mail driver file at `path` (program folder + name + ".txt"); the mail layer
  // plugs in here. Unset: no driver is loaded and none is remembered as loaded.
  std::function<bool(const std::string& path)> load_email_driver;
};

// The e-mail layer as the actions use it; the mail code plugs in here.
struct MailSeam {
  // Whether the loaded driver can attach files. Unset: it cannot.
  std::function<bool()> can_attach_files;
  // Hands a mail to the mail program (To, subject, body, file list joined by the To separator).
  // True when a mail was made; false when not (the reason was shown). Unset: the driver is
  // empty ("EMDriver_EmptyEMailDriver").
  std::function<bool(const std::string& to, const std::string& subject, const std::string& body,
                     const std::string& file_list)>
      create_mail;
};

// Decrypted text the program put on the clipboard, taken off again when its time is up.
struct SecretClipboard {
  std::string text;  // what was put there; empty: nothing pending
  int remaining_ms = 0;
};

// What InitSession did, for the GUI (and tests) to act on.
struct InitReport {
  SettingsLoad settings = SettingsLoad::kNoFile;
  bool atoms_created = false;  // all three hotkey atoms exist
  bool email_driver_loaded = false;
  bool keyfile_open = false;
};

class Session {
 public:
  Session(Ui& ui, Desktop& desktop, FileOps& files = RealFileOps());
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Ui& ui;
  Desktop& desktop;
  FileOps& files;
  SessionEnvironment env;

  Settings settings;
  std::string settings_path;  // program folder + "Lockquill.ini"
  RandomContext random;
  Keyfile keyfile;
  // Recipients, mode flags, remembered overwrite answer, summary and history store.
  PacketSession packets;
  HotkeyIds hotkey_ids;
  Inactivity inactivity;
  ProgressView progress;
  MailSeam mail;
  SecretClipboard secret_clipboard;
  std::string email_driver_path;  // the loaded driver's file, empty when none
  bool mapi_loaded = false;       // the GUI unloads it at exit
  WindowId main_window = 0;       // set by the GUI once MAIN exists

  LocalTime Now() const;
  long SecondsOfDay() const;
};

// One step of the start-up sequence.
struct InitStep {
  const char* name;
  void (*run)(Session& session, InitReport& report);
};
// The steps in order: "seed" (seed text from local date, time, seconds of day and the cursor,
// mixed with OS entropy by the runtime generator), "settings" (LoadSettings, then the session's
// flags from them), "fonts" (nothing to do here: the GUI defines FontSlots()), "e-mail driver" (the
// seam), "atoms" (the three hotkey atoms), "keyfile" (command line, settings, or the default,
// created when missing, with "Keyfile_CommandlineNotFound" / "Keyfile_INIKeyfileNotFound").
std::span<const InitStep> InitSteps();

// Runs every step in order with `session.env`. The program goes on with whatever the steps
// left (defaults, no driver, no keyfile open): nothing here ends it.
InitReport InitSession(Session& session);

// Settings -> the packet session's flags (encrypt, sign, key type, never compress, store folder,
// keep history) and back. The settings form and the popup change the settings; actions read the
// flags.
void ApplySettingsToSession(Session& session);
void CollectSessionIntoSettings(Session& session);

// The hotkeys of the main window: registers them (RegisterHotkeys) and asks for session lock
// messages. Called once MAIN exists; `main_window` becomes the session's.
int StartMainWindowServices(Session& session, WindowId main_window);

// What the main window does with WM_HOTKEY.
enum class HotkeyOutcome { kNone, kEncrypt, kDecrypt, kHideAll, kShowAll };
// Dispatches a WM_HOTKEY identifier: encrypt and decrypt start their flows; unhide hides every
// window when the main window is visible, else shows them again, and resets the hiding counter.
HotkeyOutcome OnHotkeyMessage(Session& session, uintptr_t identifier, bool main_window_visible);

// Timer 129: advances the counters; closes the keyfile itself when due, and returns whether the
// GUI must hide every window.
bool OnInactivityTick(Session& session);
// A window message at the main window; closes the keyfile when it means the user left and
// auto-close is on. True when it closed it.
bool OnSystemMessage(Session& session, unsigned message, uintptr_t wparam);

// Asked at exit when another program changed the keyfile on disk meanwhile.
inline constexpr char kKeepOrReplaceQuestion[] =
    "\r\n\r\nReplace it with the keys of this window? (No keeps the other program's file; the "
    "changes made here since then are lost.)";

// Closing MAIN, the portable part: the keyfile is saved (not locked: the program ends; when
// another program changed it on disk the user chooses whose keys stay), the
// keyfile in use (or, after a close, the last one) becomes the startup keyfile, the session's
// flags go into the settings, SaveSettings. Returns SaveSettings' result. The GUI stops timer
// 129, unloads MAPI and the forms.
int CloseSession(Session& session);

// A log line: kept in the session's log and shown (Ui::LogLine).
void SessionLogLine(Session& session, std::string_view text);

}  // namespace lq
