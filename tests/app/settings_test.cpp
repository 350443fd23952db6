// The settings table, the binary INI file byte for byte, its reader's rules and its safe
// replacement, and the SETTINGS form's values.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <set>

#include "app/hotkeys.h"
#include "base/bytes.h"
#include "base/catalogue.h"
#include "support/file_fakes.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using test::FailingOps;
using test::RecordingUi;
using test::TempDir;

std::string Record(std::string_view bytes) {
  std::string out;
  AppendLe32(out, static_cast<uint32_t>(bytes.size()));
  out += bytes;
  return out;
}

// The defaults' records 3..31 as the table of the settings lists them, typed by hand.
const std::vector<std::string> kDefaultRecords = {
    "",   " 1",   " 0", " 0", " 1",      " 4", " 70", " 0",   " 0", " 0",
    " 0", " 0",   " 1", " 0", "C:\\T\\", " 1", " 1",  " 121", " 1", " 122",
    " 1", " 123", " 0", " 0", " 1",      ";",  " 1",  "",     " 0"};

std::string FileOf(const std::vector<std::string>& records,
                   std::string_view version = kSettingsVersion) {
  std::string out = Record(kSettingsMarker) + Record(version);
  for (const auto& r : records) out += Record(r);
  return out;
}

std::string ReadFile(const std::string& path) {
  std::string data;
  EXPECT_EQ(ReadWholeFile(path, data), fe::kOk) << path;
  return data;
}

void WriteFile(const std::string& path, std::string_view data) {
  ASSERT_EQ(ReplaceWholeFile(path, data), fe::kOk) << path;
}

Settings Defaults() {
  Settings s;
  SetDefaultSettings(s, "C:\\T");
  return s;
}

class SettingsFile : public ::testing::Test {
 protected:
  TempDir dir;
  RecordingUi ui;
  std::string path = dir.File(kSettingsFileName);
  Settings s;

  SettingsLoad Load() { return LoadSettings(ui, RealFileOps(), path, "C:\\T", s); }
};

TEST(SettingsTable, CoversRecordsThreeToThirtyOneOnceEachWithTheStructsDefaults) {
  const auto table = SettingsTable();
  ASSERT_EQ(table.size(), 29u);
  const Settings plain;  // the struct's own initialisers
  Settings from_table = plain;
  from_table.store_folder = "x";
  SetDefaultSettings(from_table, "");
  int expected = 3;
  for (const auto& row : table) {
    EXPECT_EQ(row.number, expected++);
    EXPECT_NE(row.text == nullptr, row.value == nullptr) << row.name;
    EXPECT_EQ(FindSetting(row.number), &row);
    if (row.value) {
      EXPECT_EQ(plain.*row.value, row.default_value) << row.name;
    }
  }
  EXPECT_EQ(FindSetting(2), nullptr);
  EXPECT_EQ(FindSetting(32), nullptr);
  // The table and the struct agree on every default (the store folder aside, which the
  // temporary folder gives).
  EXPECT_EQ(from_table, plain);
}

TEST(SettingsTable, FormControlsHaveDistinctIdsAndPickersNameTheirCheckBoxes) {
  std::set<int> ids;
  for (const auto& row : SettingsTable()) {
    if (row.control == FormControl::kNone) {
      EXPECT_EQ(row.control_id, 0) << row.name;
      continue;
    }
    EXPECT_NE(row.control_id, 0) << row.name;
    if (row.control == FormControl::kHotkeyKey) continue;  // shares its modifiers' control
    EXPECT_TRUE(ids.insert(row.control_id).second) << row.name;
    if (row.control == FormControl::kTimePicker) {
      const SettingInfo* box = FindSetting(row.number - 1);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(row.enabled_by, box->control_id);
      EXPECT_EQ(box->control, FormControl::kCheckBox);
    }
  }
}

TEST(SettingsDefaults, StoreFolderIsTheTemporaryFolderEndingInABackslash) {
  Settings s;
  SetDefaultSettings(s, "C:\\Users\\me\\Temp");
  EXPECT_EQ(s.store_folder, "C:\\Users\\me\\Temp\\");
  SetDefaultSettings(s, "C:\\TEMP\\");
  EXPECT_EQ(s.store_folder, "C:\\TEMP\\");
  // Alt+F11 encrypts, Alt+F12 decrypts, Alt+F10 unhides.
  EXPECT_EQ(s.encrypt_modifiers, kModAlt);
  EXPECT_EQ(s.encrypt_key, 122);
  EXPECT_EQ(s.decrypt_key, 123);
  EXPECT_EQ(s.unhide_key, 121);
}

TEST(SettingsBytes, DefaultsAreTheKnownFile) {
  const std::string bytes = SettingsFileBytes(Defaults());
  EXPECT_EQ(bytes, FileOf(kDefaultRecords));
  // The marker record's first bytes, literally: count 18 then the text.
  EXPECT_EQ(bytes.substr(0, 22), std::string("\x12\0\0\0Lockquill Settings", 22));
  EXPECT_EQ(bytes.substr(22, 5), std::string("\x01\0\0\0"
                                             "1",
                                             5));
}

TEST_F(SettingsFile, MissingFileGivesDefaultsWithoutAMessage) {
  EXPECT_EQ(Load(), SettingsLoad::kNoFile);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(s, Defaults());
}

TEST_F(SettingsFile, RoundTripIsByteForByte) {
  Settings custom = Defaults();
  custom.keyfile_path = "C:\\Keys\\Mine \xC3\xA9.lqk";
  custom.reserved_8 = -5;
  custom.reserved_9 = 2147483647;
  custom.auto_hide = 1;
  custom.auto_hide_minutes = 90;
  custom.encrypt_modifiers = kModControl | kModShift;
  custom.encrypt_key = 'E';
  custom.to_separator = std::string(",\0;", 3);
  custom.email_driver = "Outlook";
  custom.insert_as_text = 0;
  custom.reserved_31 = 1;
  ASSERT_EQ(SaveSettings(ui, RealFileOps(), path, custom), 0);
  const std::string written = ReadFile(path);
  EXPECT_EQ(written, SettingsFileBytes(custom));
  EXPECT_NE(written.find(Record("-5")), std::string::npos);
  EXPECT_NE(written.find(Record(" 90")), std::string::npos);
  EXPECT_EQ(Load(), SettingsLoad::kLoaded);
  EXPECT_EQ(s, custom);
  ASSERT_EQ(SaveSettings(ui, RealFileOps(), path, s), 0);
  EXPECT_EQ(ReadFile(path), written);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SettingsFile, AFileWithoutTheMarkerIsWrongFormat) {
  WriteFile(path, "just some text, not settings");
  s.encrypt = 0;
  EXPECT_EQ(Load(), SettingsLoad::kWrongFormat);
  EXPECT_EQ(s, Defaults());
  ASSERT_EQ(ui.MessageKeys(), std::vector<std::string>{"INIFile_WrongFormat"});
  EXPECT_EQ(ui.LastBox().style, 16 + 4096 + 262144);
  EXPECT_EQ(ui.LastBox().text, MessageText("INIFile_WrongFormat", path));
  EXPECT_NE(ui.LastBox().text.find(path), std::string::npos);
}

TEST_F(SettingsFile, TheMarkerMustBeInTheFirstHundredBytes) {
  std::vector<std::string> records = kDefaultRecords;
  WriteFile(path, std::string(100, 'x') + FileOf(records));
  EXPECT_EQ(Load(), SettingsLoad::kWrongFormat);
  // One byte of lead-in leaves the marker in sight but shifts every count.
  ui.boxes.clear();
  WriteFile(path, std::string(1, 'x') + FileOf(records));
  EXPECT_EQ(Load(), SettingsLoad::kWrongFormat);
}

TEST_F(SettingsFile, VersionWithABlankIsWrongVersion) {
  std::vector<std::string> records = kDefaultRecords;
  records[1] = " 0";  // encrypt off: must not be taken
  WriteFile(path, FileOf(records, " 1"));
  EXPECT_EQ(Load(), SettingsLoad::kWrongVersion);
  EXPECT_EQ(s.encrypt, 1);
  ASSERT_EQ(ui.MessageKeys(), std::vector<std::string>{"INIFile_WrongVersion"});
  EXPECT_EQ(ui.LastBox().text, MessageText("INIFile_WrongVersion", path, " 1", "1"));
  EXPECT_NE(ui.LastBox().text.find("INI-file version read: 1"), std::string::npos);
}

TEST_F(SettingsFile, AMarkerRecordLongerThanTheFileIsWrongFormat) {
  std::string data = FileOf(kDefaultRecords);
  StoreLe32(data.data(), static_cast<uint32_t>(data.size()));  // the count runs past the end
  WriteFile(path, data);
  EXPECT_EQ(Load(), SettingsLoad::kWrongFormat);
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"INIFile_WrongFormat"});
}

TEST_F(SettingsFile, AnOverlongLaterRecordTakesNothingFromTheFile) {
  std::vector<std::string> records = kDefaultRecords;
  records[0] = "C:\\other.lqk";
  std::string data = FileOf(records);
  // Record 20's count becomes huge; the records before it must not be taken either.
  size_t pos = 0;
  for (int i = 1; i < 20; ++i) pos += 4 + LoadLe32(data.data() + pos);
  StoreLe32(data.data() + pos, 0xFFFFFFF0u);
  WriteFile(path, data);
  EXPECT_EQ(Load(), SettingsLoad::kWrongFormat);
  EXPECT_EQ(s.keyfile_path, "");
}

TEST_F(SettingsFile, ATruncatedFileIsWrongFormat) {
  const std::string data = FileOf(kDefaultRecords);
  WriteFile(path, data.substr(0, data.size() - 3));
  EXPECT_EQ(Load(), SettingsLoad::kWrongFormat);
  std::vector<std::string> fewer(kDefaultRecords.begin(), kDefaultRecords.end() - 1);
  WriteFile(path, FileOf(fewer));
  EXPECT_EQ(Load(), SettingsLoad::kWrongFormat);
}

TEST_F(SettingsFile, NumbersAreParsedLenientlyAndCheckedAgainstTheTable) {
  std::vector<std::string> records = kDefaultRecords;
  records[8 - 3] = "7";         // no leading blank
  records[9 - 3] = "  -3xyz";   // blanks, sign, trailing junk
  records[11 - 3] = "";         // no digits: 0
  records[13 - 3] = " 1440";    // past 23:59: the default
  records[4 - 3] = " 5";        // a flag of 5: the default
  records[22 - 3] = " 300";     // not a key code: the default
  records[17 - 3] = "D:\\Out";  // the folder gets its backslash
  WriteFile(path, FileOf(records) + "trailing bytes are ignored");
  EXPECT_EQ(Load(), SettingsLoad::kLoaded);
  EXPECT_EQ(s.reserved_8, 7);
  EXPECT_EQ(s.reserved_9, -3);
  EXPECT_EQ(s.auto_hide_minutes, 0);
  EXPECT_EQ(s.auto_close_minutes, 0);
  EXPECT_EQ(s.encrypt, 1);
  EXPECT_EQ(s.encrypt_key, 122);
  EXPECT_EQ(s.store_folder, "D:\\Out\\");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SettingsFile, AnEmptyStoreFolderKeepsTheTemporaryFolder) {
  std::vector<std::string> records = kDefaultRecords;
  records[17 - 3] = "";
  WriteFile(path, FileOf(records));
  EXPECT_EQ(Load(), SettingsLoad::kLoaded);
  EXPECT_EQ(s.store_folder, "C:\\T\\");
}

TEST_F(SettingsFile, AnUnreadableFileIsReportedWithItsPath) {
  std::filesystem::create_directory(path);  // a folder where the file should be
  EXPECT_EQ(Load(), SettingsLoad::kReadError);
  EXPECT_EQ(s, Defaults());
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.LastBox().key.rfind("Error_", 0), 0u) << ui.LastBox().key;
  EXPECT_NE(ui.LastBox().text.find(path), std::string::npos);
}

// Every point where a write can fail leaves the old file exactly as it was, and no temporary
// file behind; the failure is reported with the path.
TEST_F(SettingsFile, AWriteThatFailsMidwayLeavesTheOldFile) {
  const Settings old = Defaults();
  ASSERT_EQ(SaveSettings(ui, RealFileOps(), path, old), 0);
  const std::string before = ReadFile(path);
  Settings changed = old;
  changed.keyfile_path = "C:\\new.lqk";
  int failures = 0;
  for (int budget = 0; budget < 10; ++budget) {
    FailingOps failing(budget);
    ui.boxes.clear();
    const int err = SaveSettings(ui, failing, path, changed);
    if (err == 0) {
      EXPECT_EQ(ReadFile(path), SettingsFileBytes(changed));
      break;
    }
    ++failures;
    EXPECT_EQ(ReadFile(path), before) << "budget " << budget;
    EXPECT_EQ(dir.Count(), 1u) << "budget " << budget;
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.LastBox().key, FileErrorKey(err));
    EXPECT_NE(ui.LastBox().text.find(path), std::string::npos);
  }
  EXPECT_GE(failures, 3);  // create, write, flush/close and rename each failed once
}

TEST(SettingsPicker, OneThirtyStoresNinety) {
  EXPECT_EQ(PickerMinutes(1, 30), 90);
  int h = -1, m = -1;
  PickerTime(90, h, m);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(m, 30);
  PickerTime(1439, h, m);
  EXPECT_EQ(h, 23);
  EXPECT_EQ(m, 59);
  PickerTime(5000, h, m);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(m, 0);
}

const SettingsFormValue* ValueOf(const std::vector<SettingsFormValue>& v, int id) {
  for (const auto& x : v) {
    if (x.control_id == id) return &x;
  }
  return nullptr;
}

TEST(SettingsForm, ValuesGoOutAndComeBack) {
  Settings s = Defaults();
  s.auto_close = 1;
  s.auto_close_minutes = 75;
  auto values = SettingsFormValues(s);
  namespace id = settings_id;
  ASSERT_NE(ValueOf(values, id::kEncryptHotkey), nullptr);
  // Alt+F11 in the control's form: Alt is the control's 4.
  EXPECT_EQ(ValueOf(values, id::kEncryptHotkey)->number, (4 << 8) | 122);
  EXPECT_EQ(ValueOf(values, id::kAutoCloseTime)->number, 75);
  EXPECT_EQ(ValueOf(values, id::kStoreFolder)->text, "C:\\T\\");
  EXPECT_EQ(ValueOf(values, id::kInsertAsText)->number, 1);
  EXPECT_EQ(ValueOf(values, 0), nullptr);

  std::vector<SettingsFormValue> edited = {{id::kKeepOnTop, 1, {}},
                                           {id::kAutoHide, 1, {}},
                                           {id::kAutoHideTime, 90, {}},
                                           {id::kAutoCloseTime, 5000, {}},
                                           {id::kStoreFolder, 0, "E:\\x"},
                                           {id::kInsertAsText, 0, {}},
                                           {id::kToSeparator, 0, ","},
                                           {id::kEncryptHotkey, (1 << 8) | 'Q', {}},
                                           {9999, 1, {}}};
  EXPECT_TRUE(ApplySettingsFormValues(s, edited));  // keep-on-top changed: apply at once
  EXPECT_EQ(s.keep_on_top, 1);
  EXPECT_EQ(s.auto_hide, 1);
  EXPECT_EQ(s.auto_hide_minutes, 90);
  EXPECT_EQ(s.auto_close_minutes, 0);  // out of range: the default
  EXPECT_EQ(s.store_folder, "E:\\x\\");
  EXPECT_EQ(s.insert_as_text, 0);
  EXPECT_EQ(s.to_separator, ",");
  EXPECT_EQ(s.encrypt_key, 122);  // hotkeys are stored by "Store hotkey" only
  EXPECT_FALSE(ApplySettingsFormValues(s, {{id::kKeepOnTop, 1, {}}}));
}

TEST(SettingsForm, SelectedFolderGetsItsBackslash) {
  Settings s = Defaults();
  SetStoreFolder(s, "F:\\Decrypted");
  EXPECT_EQ(s.store_folder, "F:\\Decrypted\\");
  SetStoreFolder(s, "");
  EXPECT_EQ(s.store_folder, "F:\\Decrypted\\");
}

}  // namespace
}  // namespace lq
