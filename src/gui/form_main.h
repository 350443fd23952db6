// The main form "MAIN": the tabbed workplace (editor, included files, drop area, decryption
// history, log), its menus, the status bar with the keyfile state and the mode label, the status
// text and the progress bar that the reporting hooks drive.
#pragma once

#include <cstdint>
#include <string>

namespace lq::gui {

class Desk;

inline constexpr char kMainForm[] = "MAIN";
inline constexpr char kDummyForm[] = "DUMMY";

// Controls and menu items of MAIN. The hook controls keep the numbers the reporting hooks use.
namespace main_ctl {
constexpr int kEditor = 100;
constexpr int kModeLabel = 103;
constexpr int kIncludedFiles = 107;
constexpr int kIncludedCount = 108;
constexpr int kDropText = 110;
constexpr int kDropNote = 111;
constexpr int kStatusBar = 122;
constexpr int kLog = 125;
constexpr int kStatusText = 127;
constexpr int kProgress = 128;
constexpr int kHistory = 132;
constexpr int kHistoryHint = 133;
constexpr int kTabs = 200;
// Menu items.
constexpr int kMenuOpenKeyfile = 1001;
constexpr int kMenuCloseKeyfile = 1002;
constexpr int kMenuNewKeyfile = 1003;
constexpr int kMenuReopenKeyfile = 1004;
constexpr int kMenuExit = 1005;
constexpr int kMenuCut = 1011;
constexpr int kMenuCopy = 1012;
constexpr int kMenuPaste = 1013;
constexpr int kMenuEraseAll = 1014;
constexpr int kMenuSelectAll = 1015;
constexpr int kMenuSettings = 1021;
constexpr int kMenuHide = 1031;
constexpr int kMenuMinMax = 1032;
constexpr int kMenuTabFirst = 1041;  // "&Editor" .. "&Logtext": 1041..1045
constexpr int kMenuHelp = 1051;
constexpr int kMenuAbout = 1052;
}  // namespace main_ctl

class MainForm {
 public:
  explicit MainForm(Desk& desk) : desk_(desk) {}

  // Creates MAIN (hidden) and finishes what creating it starts: hotkeys registered, file
  // dropping on, timer 129 running.
  void Create();
  void Design();
  void OnEvent(int id, int code, intptr_t value, int* cancel);
  // The raw messages of MAIN's window: WM_HOTKEY, session lock and suspend.
  int OnMessage(unsigned msg, uintptr_t wp, intptr_t lp, intptr_t* result);

  // The mode label from the session's Encrypt and Sign flags.
  void ShowMode();
  // Menu texts and enabled states that follow the keyfile's state.
  void ShowKeyfileState();
  bool Exists() const;

 private:
  void Layout();
  void OnMenu(int id);
  Desk& desk_;
};

}  // namespace lq::gui
