// The key manager form: its five pages as layers (tabs 1 and 2 share the key page), the view
// drawn after every command, and events routed to app/keymanager.
#include "gui/form_keymanager.h"

#include <windows.h>

#include <vector>

#include "gui/desk.h"

namespace lq::gui {

namespace {

using namespace km_ctl;
const char* const f = kKeymanagerForm;

constexpr double kWidth = 84, kHeight = 37;
// The key page serves tabs 1 and 2; the other tabs have a layer of their own.
int LayerOfTab(int tab) { return tab <= kTabRecipientKeys ? 1 : tab; }

void Enable(int id, bool on) {
  if (on) {
    FK_ENABLEC(f, id);
  } else {
    FK_DISABLEC(f, id);
  }
}

void SetList(int id, const std::vector<std::string>& names, int selected) {
  FK_CLEAR(f, id);
  for (const std::string& n : names) FK_ADDLIST(f, id, n.c_str());
  if (selected > 0) FK_SELECTITEM(f, id, selected, 1);
}

int DateColour(int colour) { return colour == kDateColourDefault ? FK_COLOR_DEFAULT : colour; }

// A caption label of the form (ids from kCaptionBase on, in creation order).
int g_caption = kCaptionBase;
void Caption(const char* text, double x, double y, double w, const char* props = "") {
  FK_LABEL(f, g_caption++, text, x, y, w, 1.3, props);
}

constexpr const char* kDetailCaptions[7] = {
    "Keyname:",         "First name:",     "Last name:",     "Company name:",
    "Department name:", "E-mail subject:", "E-mail address:"};

}  // namespace

KeymanagerForm::KeymanagerForm(Desk& desk) : km(desk.session), desk_(desk) {
  km.read_details = [this] { return ReadDetails(); };
  km.open_calculation = [this] { desk_.calcpubkey.Ask(km.current_key()); };
  km.open_export = [this] { desk_.export_form.Show(km.current_key()); };
  km.open_import = [this] { desk_.import_form.Show(); };
  km.open_help = [this](int) { desk_.main.OpenHelp(); };
  km.close_window = [] {
    if (FK_FORMEXISTS(kKeymanagerForm)) FK_UNLOADFORM(kKeymanagerForm);
  };
  km.lists_changed = [this] { desk_.popup.Refresh(); };
}

void KeymanagerForm::Show() {
  if (!FK_FORMEXISTS(f)) {
    std::string props = "";
    if (desk_.session.settings.keep_on_top) props += "T";
    drawn_tab_ = 0;
    FK_FORM(f, kMainForm, kKeymanagerCaption, -1, -1, kWidth, kHeight, props.c_str());
    FK_SETFORMICON(f, "$LQICON");
    km.Open();
  } else {
    km.Refresh();
  }
  Render();
  FK_SHOWFORM(f, FK_SHOW_NORMAL);
}

void KeymanagerForm::Design() {
  g_caption = kCaptionBase;
  FK_DEFMAINMENU(f);
  FK_DEFSUBMENU(f, "&Tab");
  FK_ADDMENUITEM(f, kMenuTab1, "&My keys", 0);
  FK_ADDMENUITEM(f, kMenuTab1 + 1, "&Recipient keys", 0);
  FK_ADDMENUITEM(f, kMenuTab1 + 2, "&Key groups", 0);
  FK_ADDMENUITEM(f, kMenuTab1 + 3, "&Signing key", 0);
  FK_ADDMENUITEM(f, kMenuTab1 + 4, "Key&file", 0);
  FK_SETSUBMENU(f, 0);

  FK_SETLAYER(f, 0);
  FK_TABCONTROL(f, kTabs, kKeymanagerTabs, 1, 0.6, 82, 33.4, "");
  FK_BUTTON(f, kHelp, "&Help", 59.5, 34.8, 11, 1.8, "");
  FK_BUTTON(f, kExit, "E&xit", 71.5, 34.8, 11, 1.8, "");

  // Tabs 1 and 2: the key list and the key's details.
  FK_SETLAYER(f, 1);
  FK_LISTBOX(f, kKeyList, "", 2.5, 3.0, 24, 27.6, "V");
  for (int i = 0; i < 7; ++i) {
    const double y = 3.0 + i * 2.05;
    Caption(kDetailCaptions[i], 28.5, y + 0.15, 17);
    FK_TEXT(f, kKeyname + i, "", 46, y, 35.5, 1.55, "");
  }
  FK_LABEL(f, kTrustLabel, "Trust: Low", 28.5, 17.6, 17, 1.3, "");
  FK_HTRACKBAR(f, kTrust, 1, 3, 46, 17.2, 20, 1.9, "");

  FK_FRAME(f, kSecretFrame, "Secret key", 27.8, 19.4, 54.4, 4.9, "");
  Caption("Created:", 29, 20.9, 8);
  FK_LABEL(f, kSecretCreated, kUndefinedText, 37.5, 20.9, 44, 1.3, "");
  Caption("Expires:", 29, 22.5, 8);
  FK_LABEL(f, kSecretExpiry, kUndefinedText, 37.5, 22.5, 22, 1.3, "");
  FK_BUTTON(f, kEditSecret, "&Edit secret key", 61, 22.1, 20.4, 1.8, "");

  FK_FRAME(f, kPublicFrame, "Public key", 27.8, 24.6, 54.4, 6.5, "");
  Caption("Created:", 29, 26.1, 8);
  FK_LABEL(f, kPublicCreated, kUndefinedText, 37.5, 26.1, 44, 1.3, "");
  Caption("Expires:", 29, 27.7, 8);
  FK_LABEL(f, kPublicExpiry, kUndefinedText, 37.5, 27.7, 22, 1.3, "");
  Caption("Fingerprint:", 29, 29.5, 10);
  FK_TEXT(f, kFingerprint, "", 39.5, 29.3, 42, 1.5, "R");
  FK_BUTTON(f, kCalculate, "&Calculate new public key", 57.5, 27.3, 23.9, 1.8, "");

  FK_BUTTON(f, kPrevious, "<   &Previous", 2.5, 31.4, 11.7, 1.8, "");
  FK_BUTTON(f, kNext, "&Next   >", 14.8, 31.4, 11.7, 1.8, "");
  FK_BUTTON(f, kNew, "Ne&w", 27.8, 31.4, 7.3, 1.8, "");
  FK_BUTTON(f, kStore, "&Store", 35.4, 31.4, 7.3, 1.8, "");
  FK_BUTTON(f, kDelete, "&Delete", 43, 31.4, 7.3, 1.8, "");
  FK_BUTTON(f, kImport, "&Import public key", 50.8, 31.4, 15.3, 1.8, "");
  FK_BUTTON(f, kExport, "Exp&ort public key", 66.4, 31.4, 15.3, 1.8, "");

  // Tab 3: groups.
  FK_SETLAYER(f, 3);
  Caption("Key groups:", 2.5, 3.0, 24);
  Caption("Members of the group:", 29, 3.0, 25);
  Caption("All other keys:", 56, 3.0, 25);
  FK_LISTBOX(f, kGroups, "", 2.5, 4.5, 25, 24.4, "V");
  FK_LISTBOX(f, kMembers, "", 29, 4.5, 25.5, 24.4, "V");
  FK_LISTBOX(f, kOthers, "", 56, 4.5, 25.5, 24.4, "V");
  FK_BUTTON(f, kAddGroup, "&Add group", 2.5, 29.6, 12, 1.8, "");
  FK_BUTTON(f, kDeleteGroup, "&Delete group", 15.5, 29.6, 12, 1.8, "");
  Caption("Click a key to move it into or out of the selected group.", 29, 29.9, 52.5);

  // Tab 4: signing key.
  FK_SETLAYER(f, 4);
  Caption("Keys that can sign:", 2.5, 3.0, 30);
  FK_LISTBOX(f, kSigningList, "", 2.5, 4.5, 30, 26.4, "V");
  Caption("Signing key (and default encryption key):", 35, 4.5, 46);
  FK_LABEL(f, kSigningLabel, kNoSigningKeyText, 35, 6.2, 46.5, 1.5, "E");
  FK_BUTTON(f, kUnselect, "&Unselect this key", 35, 8.6, 18, 1.8, "");
  FK_CHECKBOX(f, kAlwaysEncrypt, "&1- Always encrypt every message to this key", 35, 11.6, 46.5,
              1.5, "");

  // Tab 5: keyfile.
  FK_SETLAYER(f, 5);
  Caption("Current keyfile:", 2.5, 3.4, 30);
  FK_LABEL(f, kKeyfileName, "", 2.5, 5.0, 79, 1.5, "E");
  FK_BUTTON(f, kBackup, "&Backup keyfile as ...", 2.5, 7.6, 25, 1.8, "");
  FK_BUTTON(f, kChangePassphrase, "&Change passphrase", 29.5, 7.6, 25, 1.8, "");
  FK_BUTTON(f, kRename, "&Rename this keyfile", 56.5, 7.6, 25, 1.8, "");
  FK_BUTTON(f, kLoadNew, "&Load new keyfile", 2.5, 10.2, 25, 1.8, "");
  FK_BUTTON(f, kMakeNew, "&Make new keyfile", 29.5, 10.2, 25, 1.8, "");
  FK_FRAME(f, g_caption++, "Startup Lockquill with this keyfile:", 2, 13.6, 80, 6.2, "");
  FK_TEXT(f, kStartupText, kUndefinedText, 3.5, 15.4, 77, 1.55, "R");
  FK_BUTTON(f, kSelectStartup, "&Select keyfile", 3.5, 17.5, 18, 1.8, "");
  FK_BUTTON(f, kNoStartup, "&No keyfile", 23, 17.5, 18, 1.8, "");

  FK_SETLAYER(f, 0);
  FK_SETNEXTTAB(f, kKeyList, 0);
}

KeyDetails KeymanagerForm::ReadDetails() {
  KeyDetails d;
  if (!FK_FORMEXISTS(f)) return km.view().details;
  for (int i = 0; i < 7; ++i) d.fields[i] = FK_GETTEXT(f, kKeyname + i);
  d.trust = FK_GETCHECK(f, kTrust);
  if (d.trust < 1 || d.trust > 3) d.trust = km.view().details.trust;
  return d;
}

void KeymanagerForm::ShowTab(int tab) {
  if (tab == drawn_tab_) return;
  drawn_tab_ = tab;
  FK_SHOWPAGE(f, kTabs, tab);
  FK_DISPLAYLAYER(f, LayerOfTab(tab));
}

void KeymanagerForm::Render() {
  if (!FK_FORMEXISTS(f)) return;
  const KeyManagerView& v = km.view();
  ShowTab(v.tab);
  const bool open = v.keyfile_open;
  const bool shown = open && v.key_shown;

  SetList(kKeyList, v.key_names, v.key_selected);
  for (int i = 0; i < 7; ++i) {
    FK_SETTEXT(f, kKeyname + i, v.details.fields[i].c_str());
    Enable(kKeyname + i, shown);
  }
  FK_SETTBAR(f, kTrust, v.details.trust);
  Enable(kTrust, shown);
  FK_SETTEXT(f, kTrustLabel, v.trust_label.c_str());
  FK_SETTEXT(f, kSecretCreated, v.secret_created.c_str());
  FK_SETTEXT(f, kSecretExpiry, v.secret_expiry.c_str());
  FK_SETCOLOR(f, kSecretExpiry, DateColour(v.secret_expiry_colour), FK_COLOR_KEEP);
  FK_SETTEXT(f, kPublicCreated, v.public_created.c_str());
  FK_SETTEXT(f, kPublicExpiry, v.public_expiry.c_str());
  FK_SETCOLOR(f, kPublicExpiry, DateColour(v.public_expiry_colour), FK_COLOR_KEEP);
  FK_SETTEXT(f, kFingerprint, v.fingerprint.c_str());
  FK_SETTEXT(f, kPublicFrame, v.public_frame.c_str());
  Enable(kKeyList, open);
  for (int id : {kEditSecret, kStore, kDelete, kExport, kPrevious, kNext}) Enable(id, shown);
  Enable(kCalculate, shown && v.calculate_enabled);
  Enable(kImport, open && v.import_enabled);
  Enable(kNew, open);

  SetList(kGroups, v.group_names, v.group_selected);
  SetList(kMembers, v.member_names, 0);
  SetList(kOthers, v.other_names, 0);
  Enable(kGroups, open);
  Enable(kMembers, open && v.group_selected > 0);
  Enable(kOthers, open && v.group_selected > 0);
  Enable(kAddGroup, open);
  Enable(kDeleteGroup, open && v.group_selected > 0);

  SetList(kSigningList, v.signing_names, v.signing_selected);
  Enable(kSigningList, open);
  FK_SETTEXT(f, kSigningLabel, v.signing_label.c_str());
  FK_SETCHECK(f, kAlwaysEncrypt, v.always_encrypt ? 1 : 0);
  Enable(kAlwaysEncrypt, open && v.always_encrypt_enabled);
  Enable(kUnselect, open && v.unselect_enabled);

  FK_SETTEXT(f, kKeyfileName, v.keyfile_name.empty() ? kUndefinedText : v.keyfile_name.c_str());
  FK_SETTEXT(f, kStartupText, v.startup_keyfile.c_str());
  Enable(kNoStartup, v.no_keyfile_enabled);
  for (int id : {kBackup, kChangePassphrase, kRename}) Enable(id, open);
}

void KeymanagerForm::OnKeyfileChanged() {
  if (busy_ || !FK_FORMEXISTS(f)) return;
  // Details typed but not stored stay in their boxes when only the lists changed.
  const bool keep_boxes = km.details_changed();
  const Bytes shown = km.current_key();
  KeyDetails typed;
  if (keep_boxes) typed = ReadDetails();
  km.Refresh();
  Render();
  if (keep_boxes && km.current_key() == shown) {
    for (int i = 0; i < 7; ++i) FK_SETTEXT(f, kKeyname + i, typed.fields[i].c_str());
    FK_SETTBAR(f, kTrust, typed.trust);
    km.DetailsChanged();
  }
}

void KeymanagerForm::OnEvent(int id, int code, intptr_t value, int* cancel) {
  ++busy_;
  bool redraw = true;
  const int entry = static_cast<int>(value);
  switch (code) {
    case FK_EV_CLICK:
      if (value == FK_VAL_MENU && id >= kMenuTab1 && id < kMenuTab1 + 5) {
        km.SelectTab(id - kMenuTab1 + 1);
      } else if (id == kPrevious) {
        km.Previous();
      } else if (id == kNext) {
        km.Next();
      } else if (id == kNew) {
        km.NewKey();
      } else if (id == kStore) {
        km.StoreDetails();
      } else if (id == kDelete) {
        km.DeleteKey();
      } else if (id == kEditSecret) {
        km.EditSecretKey();
      } else if (id == kCalculate) {
        km.CalculatePublicKey();
      } else if (id == kImport) {
        km.ImportPublicKey();
      } else if (id == kExport) {
        km.ExportPublicKey();
      } else if (id == kAddGroup) {
        km.AddGroup();
      } else if (id == kDeleteGroup) {
        km.DeleteGroup();
      } else if (id == kUnselect) {
        km.UnselectSigningKey();
      } else if (id == kAlwaysEncrypt) {
        km.SetAlwaysEncrypt(value != 0);
      } else if (id == kBackup) {
        km.BackupKeyfile();
      } else if (id == kChangePassphrase) {
        km.ChangePassphrase();
      } else if (id == kRename) {
        km.RenameKeyfile();
      } else if (id == kLoadNew) {
        km.LoadNewKeyfile();
      } else if (id == kMakeNew) {
        km.MakeNewKeyfile();
      } else if (id == kSelectStartup) {
        km.SelectStartupKeyfile();
      } else if (id == kNoStartup) {
        km.NoStartupKeyfile();
      } else if (id == kHelp) {
        km.Help();
      } else if (id == kExit) {
        km.Exit();
        redraw = false;
      } else {
        redraw = false;
      }
      break;
    case FK_EV_CHANGE:
      if (id == kTabs) {
        drawn_tab_ = entry;  // the control shows it already
        FK_DISPLAYLAYER(f, LayerOfTab(entry));
        km.SelectTab(entry);
      } else if (id == kKeyList) {
        km.SelectKey(entry);
      } else if (id >= kKeyname && id <= kEmailAddress) {
        km.DetailsChanged();
        redraw = false;
      } else if (id == kTrust) {
        km.DetailsChanged();
        FK_SETTEXT(f, kTrustLabel, TrustLabel(entry).c_str());
        redraw = false;
      } else if (id == kGroups) {
        km.SelectGroup(entry);
      } else if (id == kOthers) {
        km.AddMember(entry);
      } else if (id == kMembers) {
        km.RemoveMember(entry);
      } else if (id == kSigningList) {
        km.SelectSigningKey(entry);
      } else {
        redraw = false;
      }
      break;
    case FK_EV_CLOSE:
      km.CloseByFrame();
      redraw = false;
      (void)cancel;
      break;
    default:
      redraw = false;
      break;
  }
  --busy_;
  if (redraw) Render();
}

}  // namespace lq::gui
