// The settings form: the controls of the settings table placed on five tabs, filled from the
// settings and read back on close; hotkeys and the store folder are stored at once.
#include "gui/form_settings.h"

#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include "app/hotkeys.h"
#include "app/session.h"
#include "app/settings.h"
#include "base/catalogue.h"
#include "gui/desk.h"

namespace lq::gui {

namespace {

namespace id = settings_id;
constexpr const char* kForm = kSettingsForm;

// Frames, labels and buttons that are not settings.
constexpr int kFrameGeneral = 200;
constexpr int kFrameSecurity = 201;
constexpr int kPickerLabel1 = 202;
constexpr int kPickerLabel2 = 203;
constexpr int kFrameHotkeys = 210;
constexpr int kEncryptLabel = 211;
constexpr int kDecryptLabel = 212;
constexpr int kUnhideLabel = 213;
constexpr int kFrameFolder = 220;
constexpr int kFrameDrivers = 230;
constexpr int kDriverLabel = 231;
constexpr int kFrameEmail = 232;
constexpr int kSeparatorLabel = 233;
constexpr int kSendAsLabel = 234;

// Where each control of the table sits on its page (character units).
struct Place {
  int control_id;
  double x, y, w, h;
};
constexpr Place kPlaces[] = {
    {id::kKeepOnTop, 3, 4.0, 58, 1.4},       {id::kPopupOnHover, 3, 5.6, 58, 1.4},
    {id::kMinimiseOnClick, 3, 7.2, 58, 1.4}, {id::kShowOnDecrypt, 3, 8.8, 58, 1.4},
    {id::kAutoHide, 3, 13.2, 38, 1.4},       {id::kAutoHideTime, 42, 13.0, 9, 1.6},
    {id::kAutoClose, 3, 15.4, 38, 1.4},      {id::kAutoCloseTime, 42, 15.2, 9, 1.6},
    {id::kEncryptHotkey, 31, 4.6, 28, 1.6},  {id::kDecryptHotkey, 31, 7.0, 28, 1.6},
    {id::kUnhideHotkey, 31, 9.4, 28, 1.6},   {id::kNeverCompress, 3, 3.6, 50, 1.4},
    {id::kStoreFolder, 3, 4.8, 60, 1.5},     {id::kStorePlaintext, 3, 8.4, 50, 1.4},
    {id::kRecursive, 3, 10.2, 50, 1.4},      {id::kEmailDriver, 25, 4.4, 51, 10},
    {id::kToSeparator, 3, 12.6, 5, 1.5},     {id::kInsertAsText, 3, 16.2, 74, 1.4},
    {id::kAttachAsFile, 3, 17.8, 74, 1.4},
};

const Place* PlaceOf(int control_id) {
  for (const Place& p : kPlaces) {
    if (p.control_id == control_id) return &p;
  }
  return nullptr;
}

HWND Control(int control_id) { return static_cast<HWND>(FK_HANDLE(kForm, control_id)); }

void SetPicker(int control_id, long long minutes) {
  int hours = 0, mins = 0;
  PickerTime(minutes, hours, mins);
  SYSTEMTIME st{};
  GetLocalTime(&st);
  st.wHour = static_cast<WORD>(hours);
  st.wMinute = static_cast<WORD>(mins);
  st.wSecond = 0;
  st.wMilliseconds = 0;
  SendMessageW(Control(control_id), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}

long long GetPicker(int control_id) {
  SYSTEMTIME st{};
  if (SendMessageW(Control(control_id), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) !=
      GDT_VALID) {
    return 0;
  }
  return PickerMinutes(st.wHour, st.wMinute);
}

int PageOf(SettingsTab tab) { return static_cast<int>(tab); }

HotkeyAction ActionOfStoreButton(int control_id) {
  if (control_id == id::kDecryptStore) return HotkeyAction::kDecrypt;
  if (control_id == id::kUnhideStore) return HotkeyAction::kUnhide;
  return HotkeyAction::kEncrypt;
}

int HotkeyControlOf(HotkeyAction action) {
  switch (action) {
    case HotkeyAction::kEncrypt:
      return id::kEncryptHotkey;
    case HotkeyAction::kDecrypt:
      return id::kDecryptHotkey;
    case HotkeyAction::kUnhide:
      return id::kUnhideHotkey;
  }
  return id::kEncryptHotkey;
}

}  // namespace

void SettingsForm::Show() {
  if (FK_FORMEXISTS(kForm)) {
    FK_SHOWFORM(kForm, FK_SHOW_NORMAL);
    return;
  }
  std::string props = "C";
  if (desk_.session.settings.keep_on_top) props += "T";
  FK_FORM(kForm, kMainForm, kSettingsCaption, -1, -1, 80, 24.5, props.c_str());
  Fill();
  FK_SHOWFORM(kForm, FK_SHOW_NORMAL);
  FK_SETFOCUS(kForm, id::kTabs);
}

void SettingsForm::Design() {
  FK_TABCONTROL(kForm, id::kTabs, kSettingsTabs, 0.5, 0.4, 79, 21, "L");

  // Page 1: Behaviour.
  FK_SETLAYER(kForm, PageOf(SettingsTab::kBehaviour));
  FK_FRAME(kForm, kFrameGeneral, "General settings", 1.5, 2.4, 76, 8.6, "");
  FK_FRAME(kForm, kFrameSecurity, "Automatic security measures", 1.5, 11.6, 76, 6.2, "");
  FK_LABEL(kForm, kPickerLabel1, "[ hh:mm ]", 52, 13.2, 10, 1.2, "");
  FK_LABEL(kForm, kPickerLabel2, "[ hh:mm ]", 52, 15.4, 10, 1.2, "");
  // Page 2: Hotkeys.
  FK_SETLAYER(kForm, PageOf(SettingsTab::kHotkeys));
  FK_FRAME(kForm, kFrameHotkeys, "Hotkey definitions", 1.5, 2.4, 76, 10, "");
  FK_LABEL(kForm, kEncryptLabel, "Encryption hotkey :", 3, 4.8, 25, 1.2, "");
  FK_LABEL(kForm, kDecryptLabel, "Decryption hotkey :", 3, 7.2, 25, 1.2, "");
  FK_LABEL(kForm, kUnhideLabel, "'Unhide main window' hotkey :", 3, 9.6, 25, 1.2, "");
  FK_BUTTON(kForm, id::kEncryptStore, "Store hotkey", 62.5, 4.5, 13, 1.8, "");
  FK_BUTTON(kForm, id::kDecryptStore, "Store hotkey", 62.5, 6.9, 13, 1.8, "");
  FK_BUTTON(kForm, id::kUnhideStore, "Store hotkey", 62.5, 9.3, 13, 1.8, "");
  // Page 4: Decryption.
  FK_SETLAYER(kForm, PageOf(SettingsTab::kDecryption));
  FK_FRAME(kForm, kFrameFolder, "Directory to store files that were included in decrypted packets",
           1.5, 2.4, 76, 4.4, "");
  FK_BUTTON(kForm, id::kSelectFolder, "Select D&ir.", 64, 4.65, 12, 1.8, "");
  // Page 5: E-mail.
  FK_SETLAYER(kForm, PageOf(SettingsTab::kEmail));
  FK_FRAME(kForm, kFrameDrivers, "E-mail drivers", 1.5, 2.4, 76, 7.4, "");
  FK_LABEL(kForm, kDriverLabel, "Default e-mail driver :", 3, 4.6, 21, 1.2, "");
  FK_BUTTON(kForm, id::kEditDriver, "&Edit e-mail driver", 3, 7.2, 22, 1.8, "");
  FK_BUTTON(kForm, id::kDeleteDriver, "&Delete selected e-mail driver", 26, 7.2, 29, 1.8, "");
  FK_BUTTON(kForm, id::kTestDriver, "Test e-&mail driver", 56, 7.2, 20, 1.8, "");
  FK_FRAME(kForm, kFrameEmail, "E-mail settings", 1.5, 10.4, 76, 9.4, "");
  FK_LABEL(kForm, kSeparatorLabel,
           ": Separation character between 'To' - e-mail addresses in new mail", 8.5, 12.75, 67,
           1.2, "");
  FK_LABEL(kForm, kSendAsLabel, "When sending an encrypted and/or signed packet as mail:", 3, 14.8,
           58, 1.2, "");

  // The settings' own controls, from the table.
  for (const SettingInfo& row : SettingsTable()) {
    if (row.control == FormControl::kNone || row.control == FormControl::kHotkeyModifiers) {
      continue;
    }
    const Place* p = PlaceOf(row.control_id);
    if (p == nullptr) continue;
    FK_SETLAYER(kForm, PageOf(row.tab));
    switch (row.control) {
      case FormControl::kCheckBox:
        FK_CHECKBOX(kForm, row.control_id, row.caption, p->x, p->y, p->w, p->h, "");
        break;
      case FormControl::kTimePicker:
        FK_CONTROLEX(kForm, row.control_id, "SysDateTimePick32", "", p->x, p->y, p->w, p->h,
                     DTS_TIMEFORMAT | DTS_UPDOWN, 0);
        FK_SENDMESSAGER(kForm, row.control_id, DTM_SETFORMATW, 0, "HH':'mm");
        break;
      case FormControl::kHotkeyKey:
        FK_CONTROLEX(kForm, row.control_id, "msctls_hotkey32", "", p->x, p->y, p->w, p->h, 0, 0);
        break;
      case FormControl::kTextField:
        FK_TEXT(kForm, row.control_id, "", p->x, p->y, p->w, p->h, "");
        break;
      case FormControl::kRadioPair: {
        FK_RADIO(kForm, row.control_id, row.caption, p->x, p->y, p->w, p->h, "G");
        const Place* q = PlaceOf(row.second_id);
        if (q) {
          const char* second =
              "&9 - attach the packet as a file to the mail (if current e-mail "
              "driver allows this)";
          FK_RADIO(kForm, row.second_id, second, q->x, q->y, q->w, q->h, "");
        }
        break;
      }
      case FormControl::kDropDown:
        FK_COMBOBOX(kForm, row.control_id, "", p->x, p->y, p->w, p->h, "L");
        break;
      default:
        break;
    }
  }
  FK_SETLAYER(kForm, 0);
  FK_BUTTON(kForm, id::kHelp, "&Help", 55, 22.2, 11.5, 1.8, "");
  FK_BUTTON(kForm, id::kExit, "E&xit", 67.5, 22.2, 11.5, 1.8, "A");
}

void SettingsForm::Fill() {
  for (const SettingsFormValue& v : SettingsFormValues(desk_.session.settings)) {
    const SettingInfo* row = nullptr;
    for (const SettingInfo& r : SettingsTable()) {
      if (r.control_id == v.control_id && r.control != FormControl::kHotkeyModifiers) row = &r;
    }
    if (row == nullptr) continue;
    switch (row->control) {
      case FormControl::kCheckBox:
        FK_SETCHECK(kForm, v.control_id, v.number != 0);
        break;
      case FormControl::kTimePicker:
        SetPicker(v.control_id, v.number);
        break;
      case FormControl::kHotkeyKey:
        SendMessageW(Control(v.control_id), HKM_SETHOTKEY, static_cast<WPARAM>(v.number), 0);
        break;
      case FormControl::kTextField:
        FK_SETTEXT(kForm, v.control_id, v.text.c_str());
        break;
      case FormControl::kRadioPair:
        FK_SETCHECK(kForm, row->control_id, v.number != 0);
        FK_SETCHECK(kForm, row->second_id, v.number == 0);
        break;
      default:
        break;  // the driver list is filled by FillDrivers
    }
  }
  FillDrivers(desk_.session.settings.email_driver);
  EnablePickers();
}

void SettingsForm::FillDrivers(const std::string& selected) {
  FK_CLEAR(kForm, id::kEmailDriver);
  for (const std::string& name : desk_.mail.DriverNames()) {
    FK_ADDLIST(kForm, id::kEmailDriver, name.c_str());
  }
  const int item = selected.empty() ? 0 : FK_FINDNEXT(kForm, id::kEmailDriver, 0, selected.c_str());
  FK_SELECTITEM(kForm, id::kEmailDriver, item, item != 0);
}

std::string SettingsForm::SelectedDriver() {
  const int item = FK_FINDNEXTSEL(kForm, id::kEmailDriver, 0);
  return item == 0 ? std::string() : FK_GETITEMTEXT(kForm, id::kEmailDriver, item);
}

void SettingsForm::EnablePickers() {
  for (const SettingInfo& row : SettingsTable()) {
    if (row.control != FormControl::kTimePicker) continue;
    if (FK_GETCHECK(kForm, row.enabled_by)) {
      FK_ENABLEC(kForm, row.control_id);
    } else {
      FK_DISABLEC(kForm, row.control_id);
    }
  }
}

void SettingsForm::Apply() {
  std::vector<SettingsFormValue> values;
  for (const SettingInfo& row : SettingsTable()) {
    if (row.control_id == 0) continue;
    SettingsFormValue v{row.control_id, 0, {}};
    switch (row.control) {
      case FormControl::kCheckBox:
        v.number = FK_GETCHECK(kForm, row.control_id);
        break;
      case FormControl::kTimePicker:
        v.number = GetPicker(row.control_id);
        break;
      case FormControl::kTextField:
        v.text = FK_GETTEXT(kForm, row.control_id);
        break;
      case FormControl::kRadioPair:
        v.number = FK_GETCHECK(kForm, row.control_id) ? 1 : 0;
        break;
      case FormControl::kDropDown:
        // The driver is stored when it is chosen; an empty list keeps the setting.
        v.text = SelectedDriver();
        if (v.text.empty()) continue;
        break;
      default:
        continue;  // hotkeys are stored by their buttons
    }
    values.push_back(std::move(v));
  }
  Session& s = desk_.session;
  topmost_changed_ = ApplySettingsFormValues(s.settings, values) || topmost_changed_;
  ApplySettingsToSession(s);
  desk_.main.ShowMode();
}

void SettingsForm::Close() {
  Apply();
  FK_UNLOADFORM(kForm);
  // Once the form is gone: a window it owns would keep the main window from going on top.
  if (topmost_changed_) SetTopmost(kMainForm, desk_.session.settings.keep_on_top != 0);
  topmost_changed_ = false;
}

void SettingsForm::OnEvent(int control_id, int code, intptr_t value, int* cancel) {
  (void)value;
  Session& s = desk_.session;
  if (code == FK_EV_CLOSE) {
    *cancel = 1;  // unloaded here, after its values are read
    Close();
    return;
  }
  if (code == FK_EV_CHANGE && control_id == id::kEmailDriver) {
    // A chosen driver is stored and loaded at once.
    const std::string name = SelectedDriver();
    if (!name.empty()) desk_.mail.SelectDriver(name);
    return;
  }
  if (code != FK_EV_CLICK) return;
  switch (control_id) {
    case id::kEditDriver:
      desk_.mail.EditDriver(SelectedDriver());
      break;
    case id::kDeleteDriver:
      if (desk_.mail.DeleteDriver(SelectedDriver())) {
        // The list anew, its first driver chosen and loaded.
        FillDrivers("");
        const std::string first = FK_FINDLAST(kForm, id::kEmailDriver) > 0
                                      ? FK_GETITEMTEXT(kForm, id::kEmailDriver, 1)
                                      : std::string();
        FK_SELECTITEM(kForm, id::kEmailDriver, first.empty() ? 0 : 1, !first.empty());
        desk_.mail.SelectDriver(first);
      }
      break;
    case id::kTestDriver:
      // The tests use what the tab shows now (the separator above all).
      Apply();
      desk_.mail.TestDriver();
      break;
    case id::kAutoHide:
    case id::kAutoClose:
      EnablePickers();
      break;
    case id::kEncryptStore:
    case id::kDecryptStore:
    case id::kUnhideStore: {
      HotkeyAction action = ActionOfStoreButton(control_id);
      int hotkey_control = HotkeyControlOf(action);
      unsigned control_value =
          static_cast<unsigned>(SendMessageW(Control(hotkey_control), HKM_GETHOTKEY, 0, 0));
      StoreHotkeyResult r = StoreHotkey(s.ui, s.desktop, s.main_window, s.hotkey_ids, s.settings,
                                        action, control_value);
      if (r == StoreHotkeyResult::kRefused || r == StoreHotkeyResult::kRefusedLost) {
        SendMessageW(Control(hotkey_control), HKM_SETHOTKEY,
                     HotkeyControlValue(static_cast<unsigned>(HotkeyModifiers(s.settings, action)),
                                        static_cast<unsigned>(HotkeyKey(s.settings, action))),
                     0);
      }
      break;
    }
    case id::kSelectFolder: {
      std::string folder =
          s.ui.ChooseFolder("Select a directory to store decrypted files", s.settings.store_folder);
      if (!folder.empty()) {
        SetStoreFolder(s.settings, folder);
        ApplySettingsToSession(s);
        FK_SETTEXT(kForm, id::kStoreFolder, s.settings.store_folder.c_str());
      }
      break;
    }
    case id::kHelp:
      if (!FK_WINHELP(kForm, "", FK_HELP_CONTENTS, 0)) {
        ShowMessage(s.ui, "Error_FileNotFound", mb::kIconHand,
                    desk_.ProgramFolder() + "LOCKQUILL.HLP");
      }
      break;
    case id::kExit:
      Close();
      break;
    default:
      break;
  }
}

}  // namespace lq::gui
