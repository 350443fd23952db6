// The main form "MAIN": the tabbed workplace (editor, included files, drop area, decryption
// history, log), its menus and two toolbar forms, the status bar with the keyfile state and the
// mode label, the status text and the progress bar that the reporting hooks drive. Menu items,
// buttons, drops and hotkeys go to the actions through MainBench, the actions' view of MAIN.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/actions.h"
#include "formkit/formkit.h"

namespace lq::gui {

class Desk;

inline constexpr char kMainForm[] = "MAIN";
inline constexpr char kDummyForm[] = "DUMMY";
inline constexpr char kTab1Toolbar[] = "MAIN_TAB1_TOOLBARFORM";
inline constexpr char kTab2Toolbar[] = "MAIN_TAB2_TOOLBARFORM";
inline constexpr char kUserGuide[] = "Lockquill_Guide.html";

// Controls and menu items of MAIN. The hook controls keep the numbers the reporting hooks use.
namespace main_ctl {
constexpr int kEditor = 100;
constexpr int kModeLabel = 103;
constexpr int kIncludedFiles = 107;
constexpr int kIncludedCount = 108;
constexpr int kDropText = 110;
constexpr int kDropNote = 111;
constexpr int kImmediateList = 112;
constexpr int kStatusBar = 122;
constexpr int kLog = 125;
constexpr int kStatusText = 127;
constexpr int kProgress = 128;
constexpr int kHistory = 132;
constexpr int kHistoryHint = 133;
constexpr int kLogSave = 134;
constexpr int kLogClear = 135;
constexpr int kTabs = 200;
constexpr int kToolbar = 1;  // the bar inside each toolbar form
constexpr int kClipboardTimer = 130;
constexpr int kClipboardTimerMs = 1000;
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
constexpr int kMenuKeymanager = 1022;
constexpr int kMenuPopup = 1030;
constexpr int kMenuHide = 1031;
constexpr int kMenuMinMax = 1032;
constexpr int kMenuTabFirst = 1041;  // "&Editor" .. "&Logtext": 1041..1045
constexpr int kMenuHelp = 1051;
constexpr int kMenuAbout = 1052;
constexpr int kMenuPasteAddresses = 1061;
constexpr int kMenuSendMail = 1062;
constexpr int kMenuPasteText = 1063;
constexpr int kMenuSaveFile = 1064;
constexpr int kMenuSaveSeparate = 1065;
constexpr int kMenuSaveExecutable = 1066;
constexpr int kMenuIncludeFile = 1067;
constexpr int kMenuDecryptText = 1071;
constexpr int kMenuDecryptFile = 1072;
}  // namespace main_ctl

// The toolbar buttons of MAIN_TAB1_TOOLBARFORM in order (1-based numbers) and the menu item
// each one stands for.
struct ToolbarButton {
  int menu_item;
  const char* tooltip;
};
extern const ToolbarButton kTab1Buttons[12];

class MainForm;

// MAIN as the actions see it.
class MainBench final : public Workbench {
 public:
  explicit MainBench(Desk& desk) : desk_(desk) {}
  void ShowStickyForm(const std::vector<std::string>& lines) override;
  void MoveStickyForm(ScreenPoint cursor) override;
  void CloseStickyForm() override;
  void MinimizeMainWindow() override;
  void RestoreMainWindow() override;
  std::string EditorText() override;
  void SetEditorText(std::string_view text, bool rich) override;
  bool EditorHasFocus() override;
  void IncludedFilesChanged() override;
  void AddImmediateFile(std::string_view path) override;
  void ShowAllWindows() override;

 private:
  Desk& desk_;
};

class MainForm {
 public:
  explicit MainForm(Desk& desk) : desk_(desk), bench(desk) {}

  // Creates MAIN (hidden) and finishes what creating it starts: toolbars, hotkeys registered,
  // file dropping on, timers running.
  void Create();
  void Design();
  void DesignToolbar(const std::string& form);
  void OnEvent(int id, int code, intptr_t value, int* cancel);
  void OnToolbarEvent(const std::string& form, int id, int code, intptr_t value);
  // The raw messages of MAIN's window: WM_HOTKEY, session lock and suspend.
  int OnMessage(unsigned msg, uintptr_t wp, intptr_t lp, intptr_t* result);

  // The mode label from the session's Encrypt and Sign flags.
  void ShowMode();
  // Menu texts and enabled states that follow the keyfile's state.
  void ShowKeyfileState();
  // The included-files list and its count label from the session.
  void ShowIncludedFiles();
  // The help file where a viewer for it exists, else the user guide in the program folder.
  void OpenHelp();
  bool Exists() const;

  // Runs a menu item (also what the toolbar buttons and tests use).
  void OnMenu(int id);

 private:
  void Layout();
  void OnHistoryMenu(FK_ITEM item);
  void OnLogMenu();
  void OnDrop(int id);
  void ShowPage(int page);
  std::string Image(const char* file, const char* resource) const;
  Desk& desk_;

 public:
  MainBench bench;
};

}  // namespace lq::gui
