// The session's start-up and closing sequences with the recording Ui, the scripted Desktop and a
// private program folder: keyfile choice and its messages, settings in and out, atoms, hotkeys,
// the inactivity close and the session-lock close.
#include "app/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "keys/key_records.h"
#include "platform/scripted_desktop.h"
#include "support/file_fakes.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

using test::RecordingUi;
using test::TempDir;

constexpr WindowId kMain = 0x77;

// One program run in `folder`.
struct ProgramRun {
  explicit ProgramRun(const std::string& folder, std::string command_line = {})
      : session(ui, desktop) {
    session.env.program_folder = folder;
    session.env.command_line = std::move(command_line);
    session.env.clock = [] { return LocalTime{2005, 1, 2, 9, 5, 7}; };
  }
  RecordingUi ui;
  ScriptedDesktop desktop;
  Session session;

  std::vector<std::string> Prompts(const std::string& what) const {
    std::vector<std::string> out;
    for (const auto& c : ui.calls) {
      if (c.what == what) out.push_back(c.text);
    }
    return out;
  }
};

ChangePassphraseReply Twice(const std::string& a, const std::string& b) {
  ChangePassphraseReply r;
  r.new_text = a;
  r.retyped = b;
  return r;
}

void WriteFile(const std::string& path, std::string_view data) {
  ASSERT_EQ(ReplaceWholeFile(path, data), fe::kOk) << path;
}

TEST(SessionData, FontSlotsAndStepsInOrder) {
  const auto fonts = FontSlots();
  ASSERT_EQ(fonts.size(), 8u);
  std::multiset<std::string> faces;
  std::set<int> numbers;
  for (const auto& f : fonts) {
    faces.insert(f.face);
    numbers.insert(f.number);
    EXPECT_GT(f.points, 0);
  }
  EXPECT_EQ(faces.count("Courier New"), 4u);
  EXPECT_EQ(faces.count("System"), 1u);
  EXPECT_EQ(faces.count("Tahoma"), 2u);
  EXPECT_EQ(faces.count("Verdana"), 1u);
  EXPECT_EQ(numbers.size(), 8u);
  int bold_courier = 0;
  for (const auto& f : fonts)
    bold_courier += std::string(f.face) == "Courier New" && std::string(f.props) == "B";
  EXPECT_EQ(bold_courier, 1);
  std::vector<std::string> names;
  for (const auto& s : InitSteps()) names.push_back(s.name);
  EXPECT_EQ(names, (std::vector<std::string>{"seed", "settings", "fonts", "e-mail driver", "atoms",
                                             "keyfile"}));
}

// First start: no INI, no keyfile. The default keyfile is created through the mode-2 dialog
// (mismatching, then matching passphrases), settings are written at the end, and a second start
// reads them and opens that keyfile.
TEST(SessionStart, FirstStartCreatesTheDefaultKeyfileAndARestartKeepsTheSettings) {
  TempDir dir;
  const std::string keyfile = DefaultKeyfilePath(dir.Path());
  {
    ProgramRun run(dir.Path());
    run.ui.change_replies.push_back(Twice("one", "two"));
    run.ui.change_replies.push_back(Twice("pw", "pw"));
    const InitReport report = InitSession(run.session);
    EXPECT_EQ(report.settings, SettingsLoad::kNoFile);
    EXPECT_TRUE(report.atoms_created);
    EXPECT_FALSE(report.email_driver_loaded);
    EXPECT_TRUE(report.keyfile_open);
    EXPECT_EQ(run.session.keyfile.name, keyfile);
    EXPECT_EQ(run.ui.MessageKeys(), std::vector<std::string>{"Keyfile_Passphrases_not_identical"});
    const auto asks = run.Prompts("AskChangePassphrase");
    ASSERT_EQ(asks.size(), 2u);
    EXPECT_EQ(asks[0].rfind("The default keyfile:\r\n" + keyfile + "\r\ndoes not exist.", 0), 0u);
    // Defaults, with the desktop's temporary folder as the store folder.
    EXPECT_EQ(run.session.settings.store_folder, "C:\\TEMP\\");
    EXPECT_EQ(run.session.packets.store_folder, "C:\\TEMP\\");
    // The seed read the cursor before anything else; atoms carry the seconds of 09:05:07.
    ASSERT_FALSE(run.desktop.calls.empty());
    EXPECT_EQ(run.desktop.calls[0], "CursorPosition");
    EXPECT_EQ(run.desktop.atoms.count("Lockquill_Encrypt 32707"), 1u);
    EXPECT_EQ(run.desktop.atoms.count("Lockquill_Decrypt 32707"), 1u);
    EXPECT_EQ(run.desktop.atoms.count("Lockquill_Unhide 32707"), 1u);

    run.session.settings.auto_hide = 1;
    run.session.settings.auto_hide_minutes = 90;
    run.session.packets.sign = true;
    EXPECT_EQ(CloseSession(run.session), 0);
    EXPECT_EQ(run.session.settings.keyfile_path, keyfile);
  }
  ProgramRun again(dir.Path());
  again.ui.passphrases.push_back("pw");
  const InitReport report = InitSession(again.session);
  EXPECT_EQ(report.settings, SettingsLoad::kLoaded);
  EXPECT_TRUE(report.keyfile_open);
  EXPECT_TRUE(again.ui.boxes.empty());
  EXPECT_EQ(again.session.settings.auto_hide_minutes, 90);
  EXPECT_EQ(again.session.settings.keyfile_path, keyfile);
  EXPECT_TRUE(again.session.packets.sign);
  EXPECT_EQ(again.Prompts("AskPassphrase"),
            std::vector<std::string>{"Enter passphrase for keyfile:\r\n" + keyfile});
}

TEST(SessionStart, MissingCommandLineAndSettingsKeyfilesAreReportedBeforeTheDefault) {
  TempDir dir;
  const std::string missing_cl = dir.File("missing.lqk");
  const std::string missing_ini = dir.File("gone.lqk");
  Settings s;
  SetDefaultSettings(s, "C:\\TEMP\\");
  s.keyfile_path = missing_ini;
  RecordingUi quiet;
  ASSERT_EQ(SaveSettings(quiet, RealFileOps(), SettingsPath(dir.Path()), s), 0);
  const std::string default_path = DefaultKeyfilePath(dir.Path());
  WriteFile(default_path, "not really a keyfile");

  ProgramRun run(dir.Path(), "\"" + missing_cl + "\" extra");
  const InitReport report = InitSession(run.session);  // the prompt is cancelled
  EXPECT_EQ(report.settings, SettingsLoad::kLoaded);
  EXPECT_FALSE(report.keyfile_open);
  EXPECT_EQ(run.ui.MessageKeys(), (std::vector<std::string>{"Keyfile_CommandlineNotFound",
                                                            "Keyfile_INIKeyfileNotFound"}));
  EXPECT_NE(run.ui.boxes[0].text.find(missing_cl), std::string::npos);
  EXPECT_NE(run.ui.boxes[1].text.find(missing_ini), std::string::npos);
  EXPECT_EQ(run.Prompts("AskPassphrase"),
            std::vector<std::string>{"Enter passphrase for keyfile:\r\n" + default_path});
  // A keyfile that never opened does not replace the user's startup keyfile.
  EXPECT_EQ(CloseSession(run.session), 0);
  EXPECT_EQ(run.session.settings.keyfile_path, missing_ini);
}

TEST(SessionStart, ACancelledCommandLineKeyfileTriesNoOtherSource) {
  TempDir dir;
  const std::string given = dir.File("mine.lqk");
  WriteFile(given, "whatever");
  WriteFile(DefaultKeyfilePath(dir.Path()), "whatever");
  ProgramRun run(dir.Path(), given);
  InitSession(run.session);
  EXPECT_EQ(run.Prompts("AskPassphrase"),
            std::vector<std::string>{"Enter passphrase for keyfile:\r\n" + given});
  EXPECT_TRUE(run.ui.boxes.empty());
}

TEST(SessionStart, SettingsReachThePacketSessionAndComeBack) {
  TempDir dir;
  WriteFile(DefaultKeyfilePath(dir.Path()), "x");  // exists: prompted, cancelled
  Settings s;
  SetDefaultSettings(s, "C:\\TEMP\\");
  s.encrypt = 0;
  s.sign = 1;
  s.use_secret_keys = 1;
  s.use_public_keys = 0;
  s.never_compress = 1;
  s.store_plaintext = 0;
  s.store_folder = "D:\\Store\\";
  RecordingUi quiet;
  ASSERT_EQ(SaveSettings(quiet, RealFileOps(), SettingsPath(dir.Path()), s), 0);
  ProgramRun run(dir.Path());
  InitSession(run.session);
  const PacketSession& p = run.session.packets;
  EXPECT_FALSE(p.encrypt);
  EXPECT_TRUE(p.sign);
  EXPECT_TRUE(p.PreferSecretKeys());
  EXPECT_TRUE(p.never_compress);
  EXPECT_FALSE(p.keep_history);
  EXPECT_EQ(p.store_folder, "D:\\Store\\");
  run.session.packets.encrypt = true;
  run.session.packets.SetPreferSecretKeys(false);
  CollectSessionIntoSettings(run.session);
  EXPECT_EQ(run.session.settings.encrypt, 1);
  EXPECT_EQ(run.session.settings.use_secret_keys, 0);
  EXPECT_EQ(run.session.settings.use_public_keys, 1);
}

TEST(SessionStart, TheEmailDriverSeamGetsTheDriverFile) {
  TempDir dir;
  WriteFile(DefaultKeyfilePath(dir.Path()), "x");
  Settings s;
  SetDefaultSettings(s, "C:\\TEMP\\");
  s.email_driver = "Outlook";
  RecordingUi quiet;
  ASSERT_EQ(SaveSettings(quiet, RealFileOps(), SettingsPath(dir.Path()), s), 0);
  ProgramRun run(dir.Path());
  std::vector<std::string> asked;
  run.session.env.load_email_driver = [&](const std::string& path) {
    asked.push_back(path);
    return true;
  };
  const InitReport report = InitSession(run.session);
  EXPECT_TRUE(report.email_driver_loaded);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], dir.File("Outlook.txt"));
  EXPECT_EQ(run.session.email_driver_path, asked[0]);

  // Without a driver name nothing is loaded, and the empty driver stays.
  ProgramRun plain(dir.Path());
  asked.clear();
  plain.session.env.load_email_driver = [&](const std::string& path) {
    asked.push_back(path);
    return true;
  };
  std::filesystem::remove(SettingsPath(dir.Path()));
  EXPECT_FALSE(InitSession(plain.session).email_driver_loaded);
  EXPECT_TRUE(asked.empty());
}

TEST(SessionHotkeys, MainWindowServicesAndTheUnhideToggle) {
  TempDir dir;
  WriteFile(DefaultKeyfilePath(dir.Path()), "x");
  ProgramRun run(dir.Path());
  InitSession(run.session);
  EXPECT_EQ(StartMainWindowServices(run.session, kMain), 3);
  EXPECT_EQ(run.session.main_window, kMain);
  EXPECT_EQ(run.desktop.session_watchers.count(kMain), 1u);
  const HotkeyIds& ids = run.session.hotkey_ids;
  EXPECT_TRUE(run.desktop.HasHotkey(kMain, ids.encrypt, kModAlt, 122));
  EXPECT_EQ(OnHotkeyMessage(run.session, ids.encrypt, true), HotkeyOutcome::kEncrypt);
  EXPECT_EQ(OnHotkeyMessage(run.session, ids.decrypt, false), HotkeyOutcome::kDecrypt);
  run.session.inactivity.hide_count = 7;
  run.session.inactivity.close_count = 7;
  EXPECT_EQ(OnHotkeyMessage(run.session, ids.unhide, true), HotkeyOutcome::kHideAll);
  EXPECT_EQ(run.session.inactivity.hide_count, 0);
  EXPECT_EQ(run.session.inactivity.close_count, 7);
  EXPECT_EQ(OnHotkeyMessage(run.session, ids.unhide, false), HotkeyOutcome::kShowAll);
  EXPECT_EQ(OnHotkeyMessage(run.session, 12345, true), HotkeyOutcome::kNone);
}

TEST(SessionInactivity, IdleTimeAndASessionLockCloseTheKeyfile) {
  TempDir dir;
  ProgramRun run(dir.Path());
  run.ui.change_replies.push_back(Twice("pw", "pw"));
  ASSERT_TRUE(InitSession(run.session).keyfile_open);
  Session& s = run.session;
  s.settings.auto_hide = 1;
  s.settings.auto_hide_minutes = 1;
  s.settings.auto_close = 1;
  s.settings.auto_close_minutes = 2;
  EXPECT_TRUE(OnInactivityTick(s));  // minute 1: hide every window
  EXPECT_TRUE(s.keyfile.open);
  EXPECT_FALSE(OnInactivityTick(s));  // minute 2: the keyfile closes
  EXPECT_FALSE(s.keyfile.open);
  EXPECT_EQ(s.keyfile.last_name, DefaultKeyfilePath(dir.Path()));

  run.ui.passphrases.push_back("pw");
  ASSERT_TRUE(ReopenKeyfile(s.keyfile));
  EXPECT_FALSE(OnSystemMessage(s, kWmWtsSessionChange, 8));  // unlock: nothing
  EXPECT_TRUE(s.keyfile.open);
  EXPECT_TRUE(OnSystemMessage(s, kWmWtsSessionChange, kWtsSessionLock));
  EXPECT_FALSE(s.keyfile.open);
  EXPECT_FALSE(OnSystemMessage(s, kWmPowerBroadcast, kPbtApmSuspend));  // nothing left to close

  // After a lock the locked keyfile is the next start's keyfile.
  s.settings.keyfile_path.clear();
  EXPECT_EQ(CloseSession(s), 0);
  EXPECT_EQ(s.settings.keyfile_path, DefaultKeyfilePath(dir.Path()));
}

TEST(SessionClose, AKeyfileChangedOnDiskIsReplacedOnlyWhenTheUserSaysSo) {
  for (const int answer : {kIdNo, kIdYes}) {
    TempDir dir;
    ProgramRun run(dir.Path());
    run.ui.change_replies.push_back(Twice("pw", "pw"));
    ASSERT_TRUE(InitSession(run.session).keyfile_open);
    Keyfile& kf = run.session.keyfile;
    run.ui.texts.push_back("made here");
    ASSERT_EQ(NewKey(kf).size(), 32u);
    // Another program saves the file meanwhile.
    std::string theirs;
    ASSERT_EQ(ReadWholeFile(kf.name, theirs), fe::kOk);
    theirs += "x";
    WriteFile(kf.name, theirs);
    run.ui.buttons.push_back(answer);
    run.ui.boxes.clear();
    CloseSession(run.session);
    ASSERT_EQ(run.ui.boxes.size(), 1u);
    EXPECT_NE(run.ui.boxes[0].text.find("Replace it with the keys of this window?"),
              std::string::npos);
    std::string now;
    ASSERT_EQ(ReadWholeFile(kf.name, now), fe::kOk);
    EXPECT_EQ(now == theirs, answer == kIdNo);
  }
}

TEST(SessionLog, LinesAreShown) {
  RecordingUi ui;
  ScriptedDesktop desktop;
  Session s(ui, desktop);
  SessionLogLine(s, "=== one ===");
  SessionLogLine(s, "two");
  EXPECT_EQ(ui.log, (std::vector<std::string>{"=== one ===", "two"}));
}

}  // namespace
}  // namespace lq
