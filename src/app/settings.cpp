// The settings table and everything it drives: defaults, the binary INI reader and writer, and
// the SETTINGS form's values.
#include "app/settings.h"

#include <algorithm>

#include "app/hotkeys.h"
#include "base/bytes.h"
#include "base/catalogue.h"

namespace lq {

namespace {

using S = Settings;
using T = SettingType;
using C = FormControl;
using Tab = SettingsTab;
namespace id = settings_id;

constexpr long long kIntMin = -2147483648LL;
constexpr long long kIntMax = 2147483647LL;
constexpr long long kLastMinute = 23 * 60 + 59;  // the pickers show hours and minutes of a day

// clang-format off
constexpr SettingInfo kTable[] = {
  {3, "keyfile_path", T::kText, &S::keyfile_path, nullptr, 0, "", 0, 0, Tab::kNone, C::kNone, 0, 0, 0, ""},
  {4, "encrypt", T::kFlag, nullptr, &S::encrypt, 1, "", 0, 1, Tab::kNone, C::kNone, 0, 0, 0, ""},
  {5, "sign", T::kFlag, nullptr, &S::sign, 0, "", 0, 1, Tab::kNone, C::kNone, 0, 0, 0, ""},
  {6, "use_secret_keys", T::kFlag, nullptr, &S::use_secret_keys, 0, "", 0, 1, Tab::kNone, C::kNone, 0, 0, 0, ""},
  {7, "use_public_keys", T::kFlag, nullptr, &S::use_public_keys, 1, "", 0, 1, Tab::kNone, C::kNone, 0, 0, 0, ""},
  {8, "reserved_8", T::kInteger, nullptr, &S::reserved_8, 4, "", kIntMin, kIntMax, Tab::kNone, C::kNone, 0, 0, 0, ""},
  {9, "reserved_9", T::kInteger, nullptr, &S::reserved_9, 70, "", kIntMin, kIntMax, Tab::kNone, C::kNone, 0, 0, 0, ""},
  {10, "auto_hide", T::kFlag, nullptr, &S::auto_hide, 0, "", 0, 1, Tab::kBehaviour, C::kCheckBox, id::kAutoHide, 0, 0,
   "&6- Automatically Hide window after"},
  {11, "auto_hide_minutes", T::kMinutes, nullptr, &S::auto_hide_minutes, 0, "", 0, kLastMinute, Tab::kBehaviour,
   C::kTimePicker, id::kAutoHideTime, 0, id::kAutoHide, ""},
  {12, "auto_close", T::kFlag, nullptr, &S::auto_close, 0, "", 0, 1, Tab::kBehaviour, C::kCheckBox, id::kAutoClose, 0, 0,
   "&7- Automatically close keyfile after"},
  {13, "auto_close_minutes", T::kMinutes, nullptr, &S::auto_close_minutes, 0, "", 0, kLastMinute, Tab::kBehaviour,
   C::kTimePicker, id::kAutoCloseTime, 0, id::kAutoClose, ""},
  {14, "keep_on_top", T::kFlag, nullptr, &S::keep_on_top, 0, "", 0, 1, Tab::kBehaviour, C::kCheckBox, id::kKeepOnTop, 0, 0,
   "&1- Keep main window always on top"},
  {15, "popup_on_hover", T::kFlag, nullptr, &S::popup_on_hover, 1, "", 0, 1, Tab::kBehaviour, C::kCheckBox,
   id::kPopupOnHover, 0, 0, "&2- Show Popup window when hovering over toolbar button"},
  {16, "minimise_on_click", T::kFlag, nullptr, &S::minimise_on_click, 0, "", 0, 1, Tab::kBehaviour, C::kCheckBox,
   id::kMinimiseOnClick, 0, 0, "&3- Minimise main window during 'click and drop'"},
  {17, "store_folder", T::kText, &S::store_folder, nullptr, 0, "", 0, 0, Tab::kDecryption, C::kTextField,
   id::kStoreFolder, 0, 0, ""},
  {18, "show_on_decrypt_key", T::kFlag, nullptr, &S::show_on_decrypt_key, 1, "", 0, 1, Tab::kBehaviour, C::kCheckBox,
   id::kShowOnDecrypt, 0, 0, "&4- Show Lockquill window when pressing 'decrypt' hotkey"},
  {19, "unhide_modifiers", T::kByte, nullptr, &S::unhide_modifiers, 1, "", 0, 255, Tab::kHotkeys, C::kHotkeyModifiers,
   id::kUnhideHotkey, 0, 0, "'Unhide main window' hotkey :"},
  {20, "unhide_key", T::kByte, nullptr, &S::unhide_key, 121, "", 0, 255, Tab::kHotkeys, C::kHotkeyKey,
   id::kUnhideHotkey, 0, 0, "'Unhide main window' hotkey :"},
  {21, "encrypt_modifiers", T::kByte, nullptr, &S::encrypt_modifiers, 1, "", 0, 255, Tab::kHotkeys, C::kHotkeyModifiers,
   id::kEncryptHotkey, 0, 0, "Encryption hotkey :"},
  {22, "encrypt_key", T::kByte, nullptr, &S::encrypt_key, 122, "", 0, 255, Tab::kHotkeys, C::kHotkeyKey,
   id::kEncryptHotkey, 0, 0, "Encryption hotkey :"},
  {23, "decrypt_modifiers", T::kByte, nullptr, &S::decrypt_modifiers, 1, "", 0, 255, Tab::kHotkeys, C::kHotkeyModifiers,
   id::kDecryptHotkey, 0, 0, "Decryption hotkey :"},
  {24, "decrypt_key", T::kByte, nullptr, &S::decrypt_key, 123, "", 0, 255, Tab::kHotkeys, C::kHotkeyKey,
   id::kDecryptHotkey, 0, 0, "Decryption hotkey :"},
  {25, "recursive_decryption", T::kFlag, nullptr, &S::recursive_decryption, 0, "", 0, 1, Tab::kDecryption, C::kCheckBox,
   id::kRecursive, 0, 0, "Re&cursive decryption and verification"},
  {26, "never_compress", T::kFlag, nullptr, &S::never_compress, 0, "", 0, 1, Tab::kEncryption, C::kCheckBox,
   id::kNeverCompress, 0, 0, "&Never compress data in packet"},
  {27, "store_plaintext", T::kFlag, nullptr, &S::store_plaintext, 1, "", 0, 1, Tab::kDecryption, C::kCheckBox,
   id::kStorePlaintext, 0, 0, "&Store decrypted plaintext"},
  {28, "to_separator", T::kText, &S::to_separator, nullptr, 0, ";", 0, 0, Tab::kEmail, C::kTextField, id::kToSeparator,
   0, 0, ": Separation character between 'To' - e-mail addresses in new mail"},
  {29, "insert_as_text", T::kFlag, nullptr, &S::insert_as_text, 1, "", 0, 1, Tab::kEmail, C::kRadioPair,
   id::kInsertAsText, id::kAttachAsFile, 0, "&8 - insert the packet as text (ascii armor) in the mail"},
  {30, "email_driver", T::kText, &S::email_driver, nullptr, 0, "", 0, 0, Tab::kEmail, C::kDropDown, id::kEmailDriver, 0,
   0, "Default e-mail driver :"},
  {31, "reserved_31", T::kFlag, nullptr, &S::reserved_31, 0, "", 0, 1, Tab::kNone, C::kNone, 0, 0, 0, ""},
};
// clang-format on
static_assert(std::size(kTable) == kSettingsRecords - 2);

std::string WithBackslash(std::string_view folder) {
  std::string f(folder);
  if (!f.empty() && f.back() != '\\') f += '\\';
  return f;
}

// A number read from the file or the form, checked against its row.
long long Checked(const SettingInfo& row, long long v) {
  return (v < row.minimum || v > row.maximum) ? row.default_value : v;
}

void StoreText(const SettingInfo& row, Settings& s, std::string text) {
  if (row.number == 17) {
    // The folder must end with "\" so file names can be appended; an empty one keeps the
    // temporary folder.
    if (text.empty()) return;
    text = WithBackslash(text);
  }
  s.*row.text = std::move(text);
}

// Reads one record: its 32-bit count and that many bytes. False when the count runs past the
// end of the data.
bool NextRecord(std::string_view data, size_t& pos, std::string& out) {
  if (data.size() - pos < 4) return false;
  const uint32_t n = LoadLe32(data.data() + pos);
  pos += 4;
  if (n > data.size() - pos) return false;
  out.assign(data.data() + pos, n);
  pos += n;
  return true;
}

void AppendRecord(std::string& out, std::string_view record) {
  AppendLe32(out, static_cast<uint32_t>(record.size()));
  out += record;
}

}  // namespace

std::span<const SettingInfo> SettingsTable() { return kTable; }

const SettingInfo* FindSetting(int number) {
  for (const auto& row : kTable) {
    if (row.number == number) return &row;
  }
  return nullptr;
}

void SetDefaultSettings(Settings& s, std::string_view temporary_folder) {
  for (const auto& row : kTable) {
    if (row.text) {
      s.*row.text = row.default_text;
    } else {
      s.*row.value = row.default_value;
    }
  }
  s.store_folder = WithBackslash(temporary_folder);
}

std::string SettingsPath(const std::string& program_folder) {
  if (program_folder.empty()) return kSettingsFileName;
  const char last = program_folder.back();
  if (last == '/' || last == '\\') return program_folder + kSettingsFileName;
#ifdef _WIN32
  return program_folder + '\\' + kSettingsFileName;
#else
  return program_folder + '/' + kSettingsFileName;
#endif
}

std::string SettingsFileBytes(const Settings& s) {
  std::string out;
  AppendRecord(out, kSettingsMarker);
  AppendRecord(out, kSettingsVersion);
  for (const auto& row : kTable) {
    AppendRecord(out, row.text ? s.*row.text : NumText(s.*row.value));
  }
  return out;
}

SettingsLoad ParseSettingsFile(std::string_view data, Settings& s, std::string& version_read) {
  version_read.clear();
  if (data.substr(0, 100).find(kSettingsMarker) == std::string_view::npos) {
    return SettingsLoad::kWrongFormat;
  }
  size_t pos = 0;
  std::string marker;
  if (!NextRecord(data, pos, marker) || marker != kSettingsMarker) {
    return SettingsLoad::kWrongFormat;
  }
  if (!NextRecord(data, pos, version_read)) return SettingsLoad::kWrongFormat;
  if (version_read != kSettingsVersion) return SettingsLoad::kWrongVersion;
  // All records are read before any is taken, so a damaged file changes nothing.
  std::vector<std::string> records(std::size(kTable));
  for (auto& r : records) {
    if (!NextRecord(data, pos, r)) return SettingsLoad::kWrongFormat;
  }
  for (size_t i = 0; i < records.size(); ++i) {
    const SettingInfo& row = kTable[i];
    if (row.text) {
      StoreText(row, s, std::move(records[i]));
    } else {
      s.*row.value = Checked(row, ParseNumber(records[i]));
    }
  }
  return SettingsLoad::kLoaded;
}

SettingsLoad LoadSettings(Ui& ui, FileOps& files, const std::string& path,
                          std::string_view temporary_folder, Settings& s) {
  SetDefaultSettings(s, temporary_folder);
  if (!files.Exists(path)) return SettingsLoad::kNoFile;
  std::string data;
  if (const int err = ReadWholeFile(files, path, data); err != fe::kOk) {
    ReportFileError(ui, err, path);
    return SettingsLoad::kReadError;
  }
  Settings read = s;
  std::string version;
  const SettingsLoad r = ParseSettingsFile(data, read, version);
  switch (r) {
    case SettingsLoad::kLoaded:
      s = std::move(read);
      break;
    case SettingsLoad::kWrongVersion:
      ShowMessage(ui, "INIFile_WrongVersion", mb::kIconHand, path, version, kSettingsVersion);
      break;
    default:
      ShowMessage(ui, "INIFile_WrongFormat", mb::kIconHand, path);
      break;
  }
  return r;
}

int SaveSettings(Ui& ui, FileOps& files, const std::string& path, const Settings& s) {
  const int err = ReplaceWholeFile(files, path, SettingsFileBytes(s));
  if (err != fe::kOk) ReportFileError(ui, err, path);
  return err;
}

long long PickerMinutes(int hours, int minutes) {
  return static_cast<long long>(hours) * 60 + minutes;
}

void PickerTime(long long stored_minutes, int& hours, int& minutes) {
  if (stored_minutes < 0 || stored_minutes > kLastMinute) stored_minutes = 0;
  hours = static_cast<int>(stored_minutes / 60);
  minutes = static_cast<int>(stored_minutes % 60);
}

std::vector<SettingsFormValue> SettingsFormValues(const Settings& s) {
  std::vector<SettingsFormValue> out;
  for (const auto& row : kTable) {
    switch (row.control) {
      case C::kNone:
      case C::kHotkeyKey:  // given with its modifiers
        break;
      case C::kHotkeyModifiers: {
        const SettingInfo* key = FindSetting(row.number + 1);
        out.push_back({row.control_id,
                       HotkeyControlValue(static_cast<unsigned>(s.*row.value),
                                          static_cast<unsigned>(s.*key->value)),
                       {}});
        break;
      }
      case C::kTextField:
      case C::kDropDown:
        out.push_back({row.control_id, 0, s.*row.text});
        break;
      case C::kCheckBox:
      case C::kTimePicker:
      case C::kRadioPair:
        out.push_back({row.control_id, s.*row.value, {}});
        break;
    }
  }
  return out;
}

bool ApplySettingsFormValues(Settings& s, const std::vector<SettingsFormValue>& values) {
  const long long was_on_top = s.keep_on_top;
  for (const auto& v : values) {
    for (const auto& row : kTable) {
      if (row.control_id != v.control_id || v.control_id == 0) continue;
      switch (row.control) {
        case C::kCheckBox:
        case C::kRadioPair:
          s.*row.value = v.number != 0 ? 1 : 0;
          break;
        case C::kTimePicker:
          s.*row.value = Checked(row, v.number);
          break;
        case C::kTextField:
        case C::kDropDown:
          StoreText(row, s, v.text);
          break;
        case C::kNone:
        case C::kHotkeyModifiers:
        case C::kHotkeyKey:
          break;
      }
    }
  }
  return s.keep_on_top != was_on_top;
}

void SetStoreFolder(Settings& s, std::string_view folder) {
  if (!folder.empty()) s.store_folder = WithBackslash(folder);
}

}  // namespace lq
