// The desktop program's session object and its start-up and closing sequences.
#include "app/session.h"

#include "base/catalogue.h"

namespace lq {

namespace {

// clang-format off
constexpr FontSlot kFontSlots[] = {
    {1, "Courier New", 8, ""},
    {2, "Courier New", 10, ""},
    {3, "Courier New", 12, ""},
    {4, "Courier New", 10, "B"},
    {5, "System", 10, "B"},
    {6, "Tahoma", 8, ""},
    {7, "Tahoma", 10, ""},
    {8, "Verdana", 8, ""},
};
// clang-format on

std::string InFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  if (last == '/' || last == '\\') return folder + name;
#ifdef _WIN32
  return folder + '\\' + name;
#else
  return folder + '/' + name;
#endif
}

void SeedStep(Session& s, InitReport&) {
  SeedMoment moment;
  moment.time = s.Now();
  const ScreenPoint cursor = s.desktop.CursorPosition();
  moment.mouse_x = cursor.x;
  moment.mouse_y = cursor.y;
  SeedRuntimeRandom(s.random, moment);
}

void SettingsStep(Session& s, InitReport& report) {
  s.settings_path = SettingsPath(s.env.program_folder);
  report.settings =
      LoadSettings(s.ui, s.files, s.settings_path, s.desktop.TemporaryFolder(), s.settings);
  ApplySettingsToSession(s);
}

// The GUI defines FontSlots() with the toolkit; nothing portable is left to do.
void FontsStep(Session&, InitReport&) {}

void EmailDriverStep(Session& s, InitReport& report) {
  s.email_driver_path.clear();
  if (s.settings.email_driver.empty() || !s.env.load_email_driver) return;
  const std::string path = InFolder(s.env.program_folder, s.settings.email_driver + ".txt");
  if (s.env.load_email_driver(path)) {
    s.email_driver_path = path;
    report.email_driver_loaded = true;
  }
}

void AtomsStep(Session& s, InitReport& report) {
  s.hotkey_ids = CreateHotkeyAtoms(s.desktop, s.SecondsOfDay());
  report.atoms_created =
      s.hotkey_ids.encrypt != 0 && s.hotkey_ids.decrypt != 0 && s.hotkey_ids.unhide != 0;
  if (!report.atoms_created) s.ui.Trace("hotkey atoms could not all be created");
}

void KeyfileStep(Session& s, InitReport& report) {
  SelectStartupKeyfile(s.keyfile, s.env.command_line, s.settings.keyfile_path,
                       s.env.program_folder);
  report.keyfile_open = s.keyfile.open;
}

constexpr InitStep kInitSteps[] = {
    {"seed", SeedStep},   {"settings", SettingsStep},
    {"fonts", FontsStep}, {"e-mail driver", EmailDriverStep},
    {"atoms", AtomsStep}, {"keyfile", KeyfileStep},
};

}  // namespace

std::span<const FontSlot> FontSlots() { return kFontSlots; }

Session::Session(Ui& ui, Desktop& desktop, FileOps& files)
    : ui(ui),
      desktop(desktop),
      files(files),
      keyfile(ui, random, files),
      packets(ui, random, keyfile) {
  SetDefaultSettings(settings, {});
  keyfile.hooks.mouse_position = [this](int& x, int& y) {
    const ScreenPoint p = this->desktop.CursorPosition();
    x = p.x;
    y = p.y;
  };
  keyfile.hooks.clock = [this] { return Now(); };
}

LocalTime Session::Now() const { return env.clock ? env.clock() : CurrentLocalTime(); }

long Session::SecondsOfDay() const {
  const LocalTime t = Now();
  return t.hour * 3600L + t.minute * 60L + t.second;
}

std::span<const InitStep> InitSteps() { return kInitSteps; }

InitReport InitSession(Session& session) {
  InitReport report;
  for (const InitStep& step : kInitSteps) {
    session.ui.Trace(std::string("start-up: ") + step.name);
    step.run(session, report);
  }
  return report;
}

void ApplySettingsToSession(Session& session) {
  const Settings& st = session.settings;
  PacketSession& p = session.packets;
  p.encrypt = st.encrypt != 0;
  p.sign = st.sign != 0;
  p.SetPreferSecretKeys(st.use_secret_keys != 0);
  p.never_compress = st.never_compress != 0;
  p.store_folder = st.store_folder;
  p.keep_history = st.store_plaintext != 0;
}

void CollectSessionIntoSettings(Session& session) {
  Settings& st = session.settings;
  const PacketSession& p = session.packets;
  st.encrypt = p.encrypt ? 1 : 0;
  st.sign = p.sign ? 1 : 0;
  st.use_secret_keys = p.PreferSecretKeys() ? 1 : 0;
  st.use_public_keys = p.PreferSecretKeys() ? 0 : 1;
}

int StartMainWindowServices(Session& session, WindowId main_window) {
  session.main_window = main_window;
  const int registered = RegisterHotkeys(session.ui, session.desktop, main_window,
                                         session.hotkey_ids, session.settings);
  // Without session messages the keyfile still closes by the idle timer.
  if (!session.desktop.WatchSessionChanges(main_window)) {
    session.ui.Trace("session lock messages are not available");
  }
  return registered;
}

HotkeyOutcome OnHotkeyMessage(Session& session, uintptr_t identifier, bool main_window_visible) {
  const auto action = HotkeyForIdentifier(session.hotkey_ids, identifier);
  if (!action) return HotkeyOutcome::kNone;
  switch (*action) {
    case HotkeyAction::kEncrypt:
      return HotkeyOutcome::kEncrypt;
    case HotkeyAction::kDecrypt:
      return HotkeyOutcome::kDecrypt;
    case HotkeyAction::kUnhide:
      break;
  }
  session.inactivity.OnUnhideHotkey();
  return main_window_visible ? HotkeyOutcome::kHideAll : HotkeyOutcome::kShowAll;
}

bool OnInactivityTick(Session& session) {
  const TickDecision d = session.inactivity.Tick(session.settings, session.keyfile.open);
  if (d.close_keyfile) CloseKeyfile(session.keyfile);
  return d.hide_all_windows;
}

bool OnSystemMessage(Session& session, unsigned message, uintptr_t wparam) {
  if (!CloseKeyfileOnAbsence(session.settings, session.keyfile.open, message, wparam)) {
    return false;
  }
  return CloseKeyfile(session.keyfile) == 0;
}

int CloseSession(Session& session) {
  Keyfile& kf = session.keyfile;
  // The program ends: the keyfile is saved, not locked. When another program saved the file
  // meanwhile, the user decides whose keys survive; leaving without asking would silently drop
  // the changes made here.
  if (SaveKeyfile(kf, kf.name) == kKeyfileChangedOnDisk) {
    MessageBoxRequest question;
    question.text = KeyfileChangedText(kf.name) + kKeepOrReplaceQuestion;
    question.caption = kMessageCaption;
    question.style = mb::kYesNo | mb::kIconExclamation;
    if (session.ui.ShowMessageBox(question) == kIdYes &&
        SaveKeyfile(kf, kf.name, SaveCheck::kReplaceChanged) != kKeyfileSaved) {
      session.ui.Trace("the keyfile could not be replaced at exit");
    }
  }
  // The keyfile in use starts the next session; after a lock, the one that was locked. A
  // keyfile that never opened does not replace the user's choice.
  if (kf.open && !kf.name.empty()) {
    session.settings.keyfile_path = kf.name;
  } else if (!kf.open && !kf.last_name.empty()) {
    session.settings.keyfile_path = kf.last_name;
  }
  CollectSessionIntoSettings(session);
  if (session.settings_path.empty())
    session.settings_path = SettingsPath(session.env.program_folder);
  return SaveSettings(session.ui, session.files, session.settings_path, session.settings);
}

void SessionLogLine(Session& session, std::string_view text) { session.ui.LogLine(text); }

}  // namespace lq
