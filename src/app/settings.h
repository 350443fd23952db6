// The user's settings: one record, one table that describes every setting (INI record number,
// type, default, check, SETTINGS form control), and the binary INI file "Lockquill.ini" that
// the table's reader and writer keep byte for byte.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "base/ui.h"

namespace lq {

inline constexpr char kSettingsFileName[] = "Lockquill.ini";
inline constexpr char kSettingsMarker[] = "Lockquill Settings";
inline constexpr char kSettingsVersion[] = "1";
constexpr int kSettingsRecords = 31;  // marker, version and settings 3..31

// The settings record. Numbers (flags, bytes, minutes) are kept as read, so reserved values go
// back to the file unchanged. Field comments give the INI record number.
struct Settings {
  std::string keyfile_path;            // 3  keyfile opened at start-up
  long long encrypt = 1;               // 4  mode flag
  long long sign = 0;                  // 5  mode flag
  long long use_secret_keys = 0;       // 6  "Encrypt using se&cret keys"
  long long use_public_keys = 1;       // 7  "Encrypt using &public keys"
  long long reserved_8 = 4;            // 8
  long long reserved_9 = 70;           // 9
  long long auto_hide = 0;             // 10 option 6
  long long auto_hide_minutes = 0;     // 11
  long long auto_close = 0;            // 12 option 7
  long long auto_close_minutes = 0;    // 13
  long long keep_on_top = 0;           // 14 option 1
  long long popup_on_hover = 1;        // 15 option 2
  long long minimise_on_click = 0;     // 16 option 3
  std::string store_folder;            // 17 ends with "\"
  long long show_on_decrypt_key = 1;   // 18 option 4
  long long unhide_modifiers = 1;      // 19 RegisterHotKey flags (1 Alt, 2 Ctrl, 4 Shift)
  long long unhide_key = 121;          // 20 F10
  long long encrypt_modifiers = 1;     // 21
  long long encrypt_key = 122;         // 22 F11
  long long decrypt_modifiers = 1;     // 23
  long long decrypt_key = 123;         // 24 F12
  long long recursive_decryption = 0;  // 25
  long long never_compress = 0;        // 26
  long long store_plaintext = 1;       // 27
  std::string to_separator = ";";      // 28
  long long insert_as_text = 1;        // 29 1: option 8, 0: option 9
  std::string email_driver;            // 30
  long long reserved_31 = 0;           // 31

  bool operator==(const Settings&) const = default;
};

enum class SettingType { kText, kFlag, kByte, kMinutes, kInteger };

// The SETTINGS form: tabs and control ids. The form is built from these ids and the table
// below; ApplySettingsForm reads the same ids back.
enum class SettingsTab {
  kNone = 0,
  kBehaviour = 1,
  kHotkeys = 2,
  kEncryption = 3,
  kDecryption = 4,
  kEmail = 5
};
inline constexpr char kSettingsTabs[] = "Behaviour|Hotkeys|Encryption|Decryption|E-mail";
inline constexpr char kSettingsCaption[] = "Lockquill V1.0 - Settings";

namespace settings_id {
constexpr int kTabs = 100;
constexpr int kKeepOnTop = 101;        // "&1- ..."
constexpr int kPopupOnHover = 102;     // "&2- ..."
constexpr int kMinimiseOnClick = 103;  // "&3- ..."
constexpr int kShowOnDecrypt = 104;    // "&4- ..."
constexpr int kAutoHide = 106;         // "&6- ..."
constexpr int kAutoHideTime = 107;     // time picker "HH':'mm"
constexpr int kAutoClose = 108;        // "&7- ..."
constexpr int kAutoCloseTime = 109;
constexpr int kEncryptHotkey = 121;  // hotkey controls and their "Store hotkey" buttons
constexpr int kEncryptStore = 122;
constexpr int kDecryptHotkey = 123;
constexpr int kDecryptStore = 124;
constexpr int kUnhideHotkey = 125;
constexpr int kUnhideStore = 126;
constexpr int kNeverCompress = 131;
constexpr int kStoreFolder = 141;   // text field
constexpr int kSelectFolder = 142;  // "Select D&ir."
constexpr int kStorePlaintext = 143;
constexpr int kRecursive = 144;
constexpr int kEmailDriver = 151;  // drop-down list
constexpr int kEditDriver = 152;
constexpr int kDeleteDriver = 153;
constexpr int kTestDriver = 154;
constexpr int kToSeparator = 155;   // text field
constexpr int kInsertAsText = 156;  // radio "&8 - ..."
constexpr int kAttachAsFile = 157;  // radio "&9 - ..."
constexpr int kHelp = 190;
constexpr int kExit = 191;
}  // namespace settings_id

// How a setting appears on the SETTINGS form.
enum class FormControl {
  kNone,             // not on the form
  kCheckBox,         // checked = 1
  kTimePicker,       // hours x 60 + minutes; enabled only while `enabled_by` is checked
  kHotkeyModifiers,  // the modifier half of a hotkey control (converted, see hotkeys.h)
  kHotkeyKey,        // the key half of the same control
  kTextField,
  kRadioPair,  // value 1 selects `control_id`, 0 selects `second_id`
  kDropDown,   // the selected entry's text
};

// One row of the settings table.
struct SettingInfo {
  int number;        // INI record number, 3..31
  const char* name;  // short identifier for traces and tests
  SettingType type;
  std::string Settings::*text;  // set for kText
  long long Settings::*value;   // set for every other type
  long long default_value;      // numbers
  const char* default_text;     // texts (the store folder's default is the temporary folder)
  long long minimum, maximum;   // a number read outside this range takes the default
  SettingsTab tab;
  FormControl control;
  int control_id;       // 0 when not on the form
  int second_id;        // kRadioPair: the "0" button; kTimePicker: 0
  int enabled_by;       // kTimePicker: the check box that enables it; else 0
  const char* caption;  // the control's caption ("" for controls without one)
};

// Records 3..31 in INI order.
std::span<const SettingInfo> SettingsTable();
// The row of INI record `number`, nullptr when there is none.
const SettingInfo* FindSetting(int number);

// The table's defaults; the store folder is `temporary_folder` with "\" appended when it does
// not end with one (the caller passes the system's temporary folder, Desktop::TemporaryFolder).
void SetDefaultSettings(Settings& s, std::string_view temporary_folder);

// The INI path in the program's folder.
std::string SettingsPath(const std::string& program_folder);

// The file's bytes: 31 records, each a 32-bit little-endian count and its bytes; numbers in
// the runtime's number text (" 1", "-5").
std::string SettingsFileBytes(const Settings& s);

enum class SettingsLoad {
  kLoaded,        // the file's values (out-of-range numbers replaced by their defaults)
  kNoFile,        // no file: defaults, nothing shown
  kWrongFormat,   // "INIFile_WrongFormat" shown: defaults
  kWrongVersion,  // "INIFile_WrongVersion" shown: defaults
  kReadError,     // the file error shown with the path: defaults
};

// Parses file bytes without showing anything: kLoaded (values into `s`), kWrongFormat or
// kWrongVersion (`version_read` gets record 2; `s` untouched). Missing marker in the first 100
// bytes, a record whose count runs past the end of the data, or fewer than 31 records: wrong
// format. Numbers use the lenient parse; bytes after record 31 are ignored. `s` must hold the
// defaults on entry: an empty store folder keeps the one `s` has.
SettingsLoad ParseSettingsFile(std::string_view data, Settings& s, std::string& version_read);

// Fills `s` from the INI file at `path`, or with the defaults (see SettingsLoad for what is
// shown). Called once at start-up.
SettingsLoad LoadSettings(Ui& ui, FileOps& files, const std::string& path,
                          std::string_view temporary_folder, Settings& s);

// Writes all 31 records through ReplaceWholeFile: a failure leaves the old file as it was and
// shows the file error with the path. Returns 0 or the file-error number.
[[nodiscard]] int SaveSettings(Ui& ui, FileOps& files, const std::string& path, const Settings& s);

// Time pickers: 01:30 stores 90; minutes outside 0..1439 show as 00:00.
long long PickerMinutes(int hours, int minutes);
void PickerTime(long long stored_minutes, int& hours, int& minutes);

// The SETTINGS form's values as the GUI reads and writes them: one int per control id of the
// table (check boxes 0/1, the selected radio's id value 1/0, pickers in minutes, hotkey
// controls as HKM_GETHOTKEY values), texts for text fields and the drop-down.
struct SettingsFormValue {
  int control_id;
  long long number;
  std::string text;
};

// ShowSettingsForm's data: one value per form control of the table, in table order (a hotkey
// control once, with its HKM_SETHOTKEY value).
std::vector<SettingsFormValue> SettingsFormValues(const Settings& s);

// ApplySettingsForm's logic: takes every value back into `s` (unknown ids ignored, numbers
// checked as on load). Hotkeys are not taken here: "Store hotkey" stores them. Returns true
// when the keep-on-top setting changed, so the caller applies it to the main window at once.
bool ApplySettingsFormValues(Settings& s, const std::vector<SettingsFormValue>& values);

// The store folder chosen with "Select D&ir.": "\" appended when missing; empty ignored.
void SetStoreFolder(Settings& s, std::string_view folder);

}  // namespace lq
