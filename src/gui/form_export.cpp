// The export and import dialogs: their texts, the warning that flashes when the private part
// is chosen, and the three ways out and in routed to app/keymanager.
#include "gui/form_export.h"

#include <windows.h>

#include "gui/desk.h"

namespace lq::gui {

namespace {

constexpr int kFlashes = 8;        // colour changes of the warning label
constexpr int kFlashMs = 180;      // time between them
constexpr int kWarningColour = 4;  // red; it alternates with the default text colour

std::string Props(Desk& desk) {
  std::string props = "C";
  if (desk.session.settings.keep_on_top) props += "T";
  return props;
}

const char* Owner() { return DialogOwner(); }

}  // namespace

// --- EXPORT -----------------------------------------------------------------------------------

void ExportForm::Show(const Bytes& key_id) {
  if (FK_FORMEXISTS(kExportForm)) return;
  if (!OpenExport(desk_.session, key_id, state_)) return;
  flashes_left_ = 0;
  FK_FORM(kExportForm, Owner(), kExportCaption, -1, -1, 66, 31, Props(desk_).c_str());
  FK_SETFORMICON(kExportForm, "$LQICON");
  FK_SHOWMODAL(kExportForm);
  if (FK_FORMEXISTS(kExportForm)) FK_UNLOADFORM(kExportForm);
  WipeKeyExport(state_.data);
  state_.include_private = false;
}

void ExportForm::Design() {
  using namespace export_ctl;
  const char* f = kExportForm;
  FK_LABEL(f, kTitle, "Export public key", 1.5, 0.6, 63, 1.4, "");
  FK_LABEL(f, kInfoLabel, "Data that is included in the key:", 1.5, 2.4, 63, 1.3, "");
  FK_USEFONT(1);
  FK_TEXT(f, kInfo, state_.data.info_text.c_str(), 1.5, 3.8, 63, 9.6, "MRV");
  FK_USEFONT(0);
  FK_LABEL(f, kPrivateLabel, "Do you also want to export the private key?", 1.5, 14.0, 63, 1.3, "");
  FK_CHECKBOX(f, kIncludePrivate,
              "&Include private key so the exported key can be used for decryption", 1.5, 15.5, 63,
              1.5, "");
  FK_LABEL(f, kWarning, "Key can be used to encrypt and decrypt data!", 4, 17.1, 60, 1.3, "");
  FK_LABEL(f, kNote, state_.PrivateNote(), 1.5, 18.8, 63, 3.9, "");
  FK_LABEL(f, kWaysLabel, "Export keydata", 1.5, 23.2, 63, 1.3, "");
  FK_BUTTON(f, kClickAndDrop, "Click and &drop", 1.5, 24.8, 20, 1.9, "");
  FK_BUTTON(f, kSaveFile, "&Save as a file", 23, 24.8, 20, 1.9, "");
  FK_BUTTON(f, kClipboard, "Copy to clip&board", 44.5, 24.8, 20, 1.9, "");
  FK_BUTTON(f, kHelp, "&Help", 36.5, 28.3, 13.5, 1.9, "");
  FK_BUTTON(f, kCancel, "&Cancel", 51, 28.3, 13.5, 1.9, "A");
  if (!state_.data.has_private) {
    FK_DISABLEC(f, kIncludePrivate);
    FK_DISABLEC(f, kWarning);
  }
}

void ExportForm::OnEvent(int id, int code, intptr_t value, int* cancel) {
  using namespace export_ctl;
  (void)cancel;
  const char* f = kExportForm;
  Session& s = desk_.session;
  if (code == FK_EV_TIMER && id == kFlashTimer) {
    if (--flashes_left_ <= 0) {
      FK_STOPTIMER(f, kFlashTimer);
      FK_SETCOLOR(f, kWarning, state_.include_private ? kWarningColour : FK_COLOR_DEFAULT,
                  FK_COLOR_KEEP);
    } else {
      FK_SETCOLOR(f, kWarning, flashes_left_ % 2 ? kWarningColour : FK_COLOR_DEFAULT,
                  FK_COLOR_KEEP);
    }
    return;
  }
  if (code != FK_EV_CLICK) return;
  if (id == kIncludePrivate) {
    state_.include_private = value != 0;
    flashes_left_ = kFlashes;
    FK_STARTTIMER(f, kFlashTimer, kFlashMs);
  } else if (id == kClipboard) {
    ExportToClipboard(s, state_);
  } else if (id == kClickAndDrop) {
    ExportByClickAndDrop(s, desk_.main.bench, state_);
    desk_.main.bench.ShowAllWindows();
  } else if (id == kSaveFile) {
    ExportToFile(s, state_);
  } else if (id == kHelp) {
    desk_.main.OpenHelp();
  } else if (id == kCancel) {
    FK_UNLOADFORM(f);
  }
}

// --- IMPORT -----------------------------------------------------------------------------------

void ImportForm::Show() {
  if (FK_FORMEXISTS(kImportForm)) return;
  FK_FORM(kImportForm, Owner(), kImportCaption, -1, -1, 52, 15.5, Props(desk_).c_str());
  FK_SETFORMICON(kImportForm, "$LQICON");
  FK_SHOWMODAL(kImportForm);
  if (FK_FORMEXISTS(kImportForm)) FK_UNLOADFORM(kImportForm);
}

void ImportForm::Design() {
  using namespace import_ctl;
  const char* f = kImportForm;
  FK_LABEL(f, kTitle, "Import public key", 1.5, 0.6, 49, 1.4, "");
  FK_LABEL(f, kText, "Select one of the 3 ways below to import keydata", 1.5, 2.4, 49, 1.3, "");
  FK_LABEL(f, kWaysLabel, "Import keydata with one of the following ways:", 1.5, 4.4, 49, 1.3, "");
  FK_BUTTON(f, kFromWindow, "Click &window to copy", 4, 6.0, 44, 1.9, "");
  FK_BUTTON(f, kFromFile, "&Load a file with keydata", 4, 8.1, 44, 1.9, "");
  FK_BUTTON(f, kFromClipboard, "Copy from clip&board", 4, 10.2, 44, 1.9, "");
  FK_BUTTON(f, kHelp, "&Help", 22.5, 13.1, 13.5, 1.9, "");
  FK_BUTTON(f, kCancel, "&Cancel", 37, 13.1, 13.5, 1.9, "A");
}

void ImportForm::Process(std::string text) {
  if (text.empty()) return;
  Bytes id;
  const int r = ProcessImportedText(desk_.session, text, id);
  Wipe(text);
  if (r == kImportStored) {
    desk_.keymanager.km.ShowStoredKey(id);
    if (FK_FORMEXISTS(kImportForm)) FK_UNLOADFORM(kImportForm);
  }
}

void ImportForm::OnEvent(int id, int code, intptr_t value, int* cancel) {
  using namespace import_ctl;
  (void)value, (void)cancel;
  if (code != FK_EV_CLICK) return;
  Session& s = desk_.session;
  if (id == kFromWindow) {
    Process(ImportTextFromWindow(s, desk_.main.bench));
  } else if (id == kFromFile) {
    Process(ImportTextFromFile(s));
  } else if (id == kFromClipboard) {
    Process(ImportTextFromClipboard(s));
  } else if (id == kHelp) {
    desk_.main.OpenHelp();
  } else if (id == kCancel) {
    FK_UNLOADFORM(kImportForm);
  }
}

}  // namespace lq::gui
