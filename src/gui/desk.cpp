// lqdesk's program object: start-up (AppStart), the design and event routing, hiding and
// showing every window, and the closing sequence.
#include "gui/desk.h"

#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <array>

#include "base/winstr_win32.h"
#include "formkit/formkit.h"

namespace lq::gui {

namespace {

Desk* g_desk = nullptr;

// Every top-level form the program may show; hiding all windows walks this list.
constexpr std::array<const char*, 18> kTopLevelForms = {"MAIN",
                                                        "POPUP",
                                                        "KEYMANAGER",
                                                        "SETTINGS",
                                                        "PASSPHRASE",
                                                        "CHANGEPASSP",
                                                        "CALCPUBKEY",
                                                        "STRINGENTRY",
                                                        "OVERWRITE",
                                                        "EXPORT",
                                                        "IMPORT",
                                                        "SELFEXTR",
                                                        "WAITSCREEN",
                                                        "STICKYFORM",
                                                        "SEEXE",
                                                        "MAIN_TAB1_TOOLBARFORM",
                                                        "MAIN_TAB2_TOOLBARFORM",
                                                        "WAITCALC"};

void FK_CALLBACK MainProc() {
  if (g_desk) g_desk->AppStart();
}

void FK_CALLBACK DesignProc(const char* form) {
  if (g_desk) g_desk->CreateForm(form ? form : "");
}

void FK_CALLBACK EventProc(const char* form, int id, int code, intptr_t value, int* cancel) {
  if (g_desk) g_desk->DispatchEvent(form ? form : "", id, code, value, cancel);
}

bool FormVisible(const char* form) {
  HWND hwnd = static_cast<HWND>(FK_HANDLE(form, 0));
  return hwnd != nullptr && IsWindowVisible(hwnd);
}

// The ANSI code page's text for the ANSI Simple MAPI records.
std::string AnsiFromUtf8(std::string_view text) {
  const std::wstring wide = WideFromUtf8(text);
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
  }
  return out;
}

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder;
}

}  // namespace

Desk* CurrentDesk() { return g_desk; }

Desk::Desk(const DeskOptions& opts)
    : options(opts),
      ui(*this),
      session(ui, desktop),
      mail(session),
      main(*this),
      popup(*this),
      settings(*this),
      passphrase(*this),
      overwrite(*this),
      string_entry(*this),
      wait_screen(*this),
      self_extract(*this),
      keymanager(*this),
      calcpubkey(*this),
      export_form(*this),
      import_form(*this) {
  desktop.pump = [] { FK_DOEVENTS(); };
  session.keyfile.hooks.closed = [this] {
    main.ShowKeyfileState();
    popup.Refresh();
    keymanager.OnKeyfileChanged();
  };
  session.keyfile.hooks.lists_changed = [this] {
    popup.Refresh();
    keymanager.OnKeyfileChanged();
    // A keyfile just opened: its own keys that expire soon are logged once.
    const Keyfile& kf = session.keyfile;
    if (kf.open && kf.name != expiry_logged_for_) {
      expiry_logged_for_ = kf.name;
      LogKeysExpiringSoon(session);
    }
    if (!kf.open) expiry_logged_for_.clear();
  };
  mail.Install();
  mail.mapi.to_ansi = AnsiFromUtf8;
}

Desk::~Desk() = default;

void Desk::AppStart() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_HOTKEY_CLASS |
                                            ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  FK_ALLOWNOTIFYEVENTS(1);
  FK_ALLOWKEYEVENTS(1);

  // The hidden helper form that owns the sticky form and other helper windows.
  FK_FORM(kDummyForm, "", "Dummy", 0, 0, 10, 3, "N");

  program_folder_ =
      WithSeparator(options.program_folder.empty() ? FK_GETAPPPATHNAME() : options.program_folder);
  SetCurrentDirectoryW(WideFromUtf8(program_folder_).c_str());

  for (const FontSlot& font : FontSlots())
    FK_DEFFONT(font.number, font.face, font.points, font.props);

  session.env.program_folder = program_folder_;
  session.env.command_line = options.command_line;
  InitSession(session);

  main.Create();
  FK_SHOWFORM(kMainForm, FK_SHOW_NORMAL);
  if (session.settings.keep_on_top) SetTopmost(kMainForm, true);
  if (options.after_start) options.after_start(*this);
}

void Desk::CreateForm(const std::string& form) {
  if (form == kMainForm) {
    main.Design();
  } else if (form == kTab1Toolbar || form == kTab2Toolbar) {
    main.DesignToolbar(form);
  } else if (form == kPopupForm) {
    popup.Design();
  } else if (form == kSettingsForm) {
    settings.Design();
  } else if (form == kPassphraseForm || form == kChangePassphraseForm) {
    passphrase.Design(form);
  } else if (form == kOverwriteForm) {
    overwrite.Design();
  } else if (form == kStringEntryForm) {
    string_entry.Design();
  } else if (form == kWaitScreenForm) {
    wait_screen.Design();
  } else if (form == kSelfExtractForm) {
    self_extract.Design();
  } else if (form == kKeymanagerForm) {
    keymanager.Design();
  } else if (form == kCalcPubKeyForm) {
    calcpubkey.Design();
  } else if (form == kExportForm) {
    export_form.Design();
  } else if (form == kImportForm) {
    import_form.Design();
  }
}

void Desk::DispatchEvent(const std::string& form, int id, int code, intptr_t value, int* cancel) {
  session.inactivity.OnEvent(code);
  if (form == kMainForm) {
    main.OnEvent(id, code, value, cancel);
  } else if (form == kTab1Toolbar || form == kTab2Toolbar) {
    main.OnToolbarEvent(form, id, code, value);
  } else if (form == kPopupForm) {
    popup.OnEvent(id, code, value, cancel);
  } else if (form == kSettingsForm) {
    settings.OnEvent(id, code, value, cancel);
  } else if (form == kPassphraseForm || form == kChangePassphraseForm) {
    passphrase.OnEvent(form, id, code, value, cancel);
  } else if (form == kOverwriteForm) {
    overwrite.OnEvent(id, code, value, cancel);
  } else if (form == kStringEntryForm) {
    string_entry.OnEvent(id, code, value, cancel);
  } else if (form == kSelfExtractForm) {
    self_extract.OnEvent(id, code, value, cancel);
  } else if (form == kKeymanagerForm) {
    keymanager.OnEvent(id, code, value, cancel);
  } else if (form == kCalcPubKeyForm) {
    calcpubkey.OnEvent(id, code, value, cancel);
  } else if (form == kExportForm) {
    export_form.OnEvent(id, code, value, cancel);
  } else if (form == kImportForm) {
    import_form.OnEvent(id, code, value, cancel);
  } else if (form == kWaitScreenForm && code == FK_EV_CLOSE && cancel) {
    *cancel = 1;  // the wait screen goes when its operation ends
  }
}

void Desk::CloseProgram() {
  CloseSession(session);
  FK_STOPTIMER(kMainForm, kInactivityTimerId);
  mail.Unload();
  for (const char* form : kTopLevelForms) {
    if (std::string_view(form) != kMainForm && FK_FORMEXISTS(form)) FK_UNLOADFORM(form);
  }
  FK_UNLOADFORM(kDummyForm);
}

void Desk::HideAllWindows() {
  for (const char* form : kTopLevelForms) {
    if (FormVisible(form)) {
      FK_HIDEFORM(form);
      hidden_forms_.push_back(form);
    }
  }
  windows_hidden = true;
}

void Desk::ShowAllWindows() {
  windows_hidden = false;
  // In the order they were hidden: MAIN first, so that the dialogs it owns come back above it.
  std::vector<std::string> forms;
  forms.swap(hidden_forms_);
  for (const std::string& form : forms) {
    if (FK_FORMEXISTS(form.c_str())) FK_SHOWFORM(form.c_str(), FK_SHOW_NORMAL);
  }
}

const char* DialogOwner() {
  if (FormVisible(kKeymanagerForm)) return kKeymanagerForm;
  return FK_FORMEXISTS(kMainForm) ? kMainForm : "";
}

namespace {

struct OwnedTopmost {
  HWND owner;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectOwnedTopmost(HWND hwnd, LPARAM param) {
  auto* owned = reinterpret_cast<OwnedTopmost*>(param);
  if (GetWindow(hwnd, GW_OWNER) == owned->owner &&
      (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) {
    owned->found.push_back(hwnd);
  }
  return TRUE;
}

}  // namespace

void SetTopmost(const char* form, bool on) {
  // Under Wine a window that owns topmost popups (the toolbars' tooltip window) reports success
  // but stays out of the topmost band; the popups are let go of for the change and owned again
  // right after it.
  HWND hwnd = static_cast<HWND>(FK_HANDLE(form, 0));
  OwnedTopmost owned{hwnd, {}};
  if (hwnd)
    EnumThreadWindows(GetCurrentThreadId(), CollectOwnedTopmost, reinterpret_cast<LPARAM>(&owned));
  for (HWND w : owned.found) SetWindowLongPtrW(w, GWLP_HWNDPARENT, 0);
  FK_SETTOPMOST(form, on ? 1 : 0);
  for (HWND w : owned.found)
    SetWindowLongPtrW(w, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(hwnd));
}

int RunDesk(const DeskOptions& options) {
  Desk desk(options);
  g_desk = &desk;
  std::string command_line = options.command_line;
  int code = FK_GUIRUN(GetModuleHandleW(nullptr), nullptr, command_line.c_str(), options.show,
                       MainProc, EventProc, DesignProc, 0);
  g_desk = nullptr;
  return code;
}

}  // namespace lq::gui
