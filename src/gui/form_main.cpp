// The main form "MAIN": design, layout on resize, menus, hotkeys, the inactivity timer and the
// session-lock and suspend messages.
#include "gui/form_main.h"

#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include "app/session.h"
#include "app/ui_hooks.h"
#include "base/catalogue.h"
#include "gui/desk.h"

namespace lq::gui {

namespace {

constexpr char kMainCaption[] = "Lockquill V1.0";
constexpr char kPages[] =
    "Editor|Included files|Immediate en/decryption|Decryption history|Logtext";
constexpr int kHistoryImages = 1;  // image list number of the history tree

int FK_CALLBACK MainMessageHook(const char*, int, FK_HWND, unsigned msg, FK_WPARAM wp, FK_LPARAM lp,
                                FK_LRESULT* result) {
  Desk* desk = CurrentDesk();
  return desk ? desk->main.OnMessage(msg, wp, lp, result) : 0;
}

}  // namespace

bool MainForm::Exists() const { return FK_FORMEXISTS(kMainForm) != 0; }

void MainForm::Create() {
  Session& s = desk_.session;
  FK_FORM(kMainForm, "", kMainCaption, -1, -1, 100, 33, "CMXS");
  FK_SETFORMICON(kMainForm, "$LQICON");
  FK_USEDIALOGPROC(kMainForm, MainMessageHook);
  desk_.ui.ApplyToMain();
  ShowMode();
  ShowKeyfileState();
  StartMainWindowServices(s, reinterpret_cast<WindowId>(FK_HANDLE(kMainForm, 0)));
  FK_SETDROPFILES(kMainForm, 1);
  FK_STARTTIMER(kMainForm, kInactivityTimerId, kInactivityTimerMs);
  FK_SETFOCUS(kMainForm, main_ctl::kEditor);
}

void MainForm::Design() {
  using namespace main_ctl;
  FK_DEFMAINMENU(kMainForm);
  FK_DEFSUBMENU(kMainForm, "&File");
  FK_ADDMENUITEM(kMainForm, kMenuOpenKeyfile, "&Open keyfile", 0);
  FK_ADDMENUITEM(kMainForm, kMenuCloseKeyfile, "&Close keyfile", 0);
  FK_ADDMENUITEM(kMainForm, kMenuNewKeyfile, "&New keyfile", 0);
  FK_ADDMENUITEM(kMainForm, kMenuReopenKeyfile, "&Reopen closed keyfile", 0);
  FK_ADDMENUITEM(kMainForm, 0, "-", 0);
  FK_ADDMENUITEM(kMainForm, kMenuExit, "E&xit", 0);
  FK_SETSUBMENU(kMainForm, 0);
  FK_DEFSUBMENU(kMainForm, "&Edit");
  FK_ADDMENUITEM(kMainForm, kMenuCut, "Cu&t\tCtrl+X", 0);
  FK_ADDMENUITEM(kMainForm, kMenuCopy, "&Copy\tCtrl+C", 0);
  FK_ADDMENUITEM(kMainForm, kMenuPaste, "&Paste\tCtrl+V", 0);
  FK_ADDMENUITEM(kMainForm, kMenuEraseAll, "&Erase all", 0);
  FK_ADDMENUITEM(kMainForm, kMenuSelectAll, "&Select all\tCtrl+A", 0);
  FK_SETSUBMENU(kMainForm, 0);
  FK_DEFSUBMENU(kMainForm, "&Modules");
  FK_ADDMENUITEM(kMainForm, kMenuSettings, "&Settings", 0);
  FK_SETSUBMENU(kMainForm, 0);
  FK_DEFSUBMENU(kMainForm, "&Window");
  FK_ADDMENUITEM(kMainForm, kMenuHide, "&Hide window", 0);
  FK_ADDMENUITEM(kMainForm, kMenuMinMax, "&Min./Max. window", 0);
  FK_SETSUBMENU(kMainForm, 0);
  FK_DEFSUBMENU(kMainForm, "&Tab");
  FK_ADDMENUITEM(kMainForm, kMenuTabFirst + 0, "&Editor", 0);
  FK_ADDMENUITEM(kMainForm, kMenuTabFirst + 1, "&Included files", 0);
  FK_ADDMENUITEM(kMainForm, kMenuTabFirst + 2, "I&mmediate encryption/decryption", 0);
  FK_ADDMENUITEM(kMainForm, kMenuTabFirst + 3, "&Decryption history", 0);
  FK_ADDMENUITEM(kMainForm, kMenuTabFirst + 4, "&Logtext", 0);
  FK_SETSUBMENU(kMainForm, 0);
  FK_DEFSUBMENU(kMainForm, "&Help");
  FK_ADDMENUITEM(kMainForm, kMenuHelp, "&Helpfile", 0);
  FK_ADDMENUITEM(kMainForm, kMenuAbout, "&About", 0);
  FK_SETSUBMENU(kMainForm, 0);

  FK_TABCONTROL(kMainForm, kTabs, kPages, 0.5, 0.4, 99, 28, "L");
  FK_SETLAYER(kMainForm, 1);
  FK_USEFONT(2);
  FK_RICHTEXT1(kMainForm, kEditor, "", 1, 2.2, 97, 25.8, "MV");
  FK_USEFONT(0);
  FK_SETLAYER(kMainForm, 2);
  FK_LISTBOX(kMainForm, kIncludedFiles, "", 1, 2.2, 97, 24, "MVH");
  FK_LABEL(kMainForm, kIncludedCount, "0 files included", 1, 26.6, 60, 1.2, "");
  FK_SETLAYER(kMainForm, 3);
  FK_LABEL(kMainForm, kDropText, "Drop files here for immediate encryption or decryption.", 1, 10,
           97, 1.4, "C");
  FK_LABEL(kMainForm, kDropNote,
           "The text in the edit window is NOT included in the encrypted file.", 1, 12.5, 97, 1.4,
           "C");
  FK_SETLAYER(kMainForm, 4);
  FK_TREEVIEW(kMainForm, kHistory, 1, 2.2, 97, 24, "");
  // The history's texts are short; the tree's own tooltip window, an owned top-most popup,
  // would also keep the main window from being put on top under Wine.
  if (HWND tip =
          reinterpret_cast<HWND>(FK_SENDMESSAGE(kMainForm, kHistory, TVM_GETTOOLTIPS, 0, 0))) {
    FK_SENDMESSAGE(kMainForm, kHistory, TVM_SETTOOLTIPS, 0, 0);
    DestroyWindow(tip);
  }
  FK_LABEL(kMainForm, kHistoryHint, "Select an item and use right mouse click", 1, 26.6, 60, 1.2,
           "");
  FK_SETLAYER(kMainForm, 5);
  FK_LISTBOX(kMainForm, kLog, "", 1, 2.2, 97, 25.8, "VH");
  FK_SETLAYER(kMainForm, 0);

  FK_LABEL(kMainForm, kModeLabel, "", 1, 28.8, 34, 1.2, "");
  FK_LABEL(kMainForm, kStatusText, "", 36, 28.8, 63, 1.2, "");
  FK_STATUSBAR(kMainForm, kStatusBar, "", "");
  FK_PROGRESSBAR(kMainForm, kProgress, 0, 31, 100, 1.5, "");
  FK_HIDEC(kMainForm, kProgress);

  FK_DEFIMAGELIST(kHistoryImages, 16, 16);
  FK_ADDIMAGE(kHistoryImages, "$TVDECRTEXT");
  FK_ADDIMAGE(kHistoryImages, "$TVDECRFILE");
  FK_ADDIMAGE(kHistoryImages, "$TVENCRTEXT");
  FK_ADDIMAGE(kHistoryImages, "$TVENCRFILE");
  FK_TVUSEIMAGELIST(kMainForm, kHistory, kHistoryImages);
  FK_SETRICHTEXTLEN(kMainForm, kEditor, 1 << 20);
  Layout();
}

void MainForm::Layout() {
  using namespace main_ctl;
  double w = 0, h = 0;
  if (!FK_GETSIZE(kMainForm, &w, &h) || w < 20 || h < 12) return;
  double bar_w = 0, bar_h = 0;
  FK_GETSIZEC(kMainForm, kStatusBar, &bar_w, &bar_h);
  if (bar_h <= 0) bar_h = 1.4;
  const double bottom = h - bar_h;     // top of the status bar
  const double line_y = bottom - 1.6;  // mode label and status text
  const double tab_h = line_y - 0.6;
  FK_RESIZEC(kMainForm, kTabs, 0.5, 0.4, w - 1, tab_h);
  const double inner_w = w - 3, inner_top = 2.2, inner_h = tab_h - 2.4;
  FK_RESIZEC(kMainForm, kEditor, 1, inner_top, inner_w, inner_h);
  FK_RESIZEC(kMainForm, kLog, 1, inner_top, inner_w, inner_h);
  FK_RESIZEC(kMainForm, kIncludedFiles, 1, inner_top, inner_w, inner_h - 1.6);
  FK_RESIZEC(kMainForm, kIncludedCount, 1, inner_top + inner_h - 1.3, inner_w, 1.2);
  FK_RESIZEC(kMainForm, kHistory, 1, inner_top, inner_w, inner_h - 1.6);
  FK_RESIZEC(kMainForm, kHistoryHint, 1, inner_top + inner_h - 1.3, inner_w, 1.2);
  FK_RESIZEC(kMainForm, kDropText, 1, inner_top + inner_h / 2 - 1.6, inner_w, 1.4);
  FK_RESIZEC(kMainForm, kDropNote, 1, inner_top + inner_h / 2 + 0.4, inner_w, 1.4);
  FK_RESIZEC(kMainForm, kModeLabel, 1, line_y + 0.2, 34, 1.2);
  FK_RESIZEC(kMainForm, kStatusText, 36, line_y + 0.2, w - 37, 1.2);
  // The progress bar takes the status bar's place while an operation runs.
  FK_RESIZEC(kMainForm, kProgress, 0, bottom, w, bar_h);
}

void MainForm::ShowMode() {
  const Settings& s = desk_.session.settings;
  const char* text = s.encrypt && s.sign ? "Mode: Encrypt and sign data"
                     : s.encrypt         ? "Mode: Encrypt data"
                                         : "Mode: Sign data";
  if (Exists()) FK_SETTEXT(kMainForm, main_ctl::kModeLabel, text);
}

void MainForm::ShowKeyfileState() {
  if (!Exists()) return;
  const Keyfile& kf = desk_.session.keyfile;
  using namespace main_ctl;
  FK_SETMENUITEM(kMainForm, kMenuCloseKeyfile, nullptr, kf.open ? 0 : FK_MI_DISABLED);
  FK_SETMENUITEM(kMainForm, kMenuReopenKeyfile, nullptr,
                 !kf.open && !kf.last_name.empty() ? 0 : FK_MI_DISABLED);
}

void MainForm::OnMenu(int id) {
  using namespace main_ctl;
  Session& s = desk_.session;
  HWND editor = static_cast<HWND>(FK_HANDLE(kMainForm, kEditor));
  switch (id) {
    case kMenuOpenKeyfile:
      LoadNewKeyfileCommand(s.keyfile);
      break;
    case kMenuCloseKeyfile:
      CloseKeyfile(s.keyfile);
      break;
    case kMenuNewKeyfile:
      MakeNewKeyfileCommand(s.keyfile);
      break;
    case kMenuReopenKeyfile:
      ReopenKeyfile(s.keyfile);
      break;
    case kMenuExit:
      FK_POSTMESSAGE(kMainForm, 0, WM_CLOSE, 0, 0);
      break;
    case kMenuCut:
      SendMessageW(editor, WM_CUT, 0, 0);
      break;
    case kMenuCopy:
      SendMessageW(editor, WM_COPY, 0, 0);
      break;
    case kMenuPaste:
      SendMessageW(editor, WM_PASTE, 0, 0);
      break;
    case kMenuEraseAll:
      FK_CLEAR(kMainForm, kEditor);
      break;
    case kMenuSelectAll:
      SendMessageW(editor, EM_SETSEL, 0, -1);
      FK_SETFOCUS(kMainForm, kEditor);
      break;
    case kMenuSettings:
      desk_.settings.Show();
      break;
    case kMenuHide:
      desk_.HideAllWindows();
      break;
    case kMenuMinMax: {
      HWND hwnd = static_cast<HWND>(FK_HANDLE(kMainForm, 0));
      ShowWindow(hwnd, IsIconic(hwnd) ? SW_RESTORE : SW_MINIMIZE);
      break;
    }
    case kMenuHelp:
      if (!FK_WINHELP(kMainForm, "", FK_HELP_CONTENTS, 0)) {
        ShowMessage(desk_.ui, "Error_FileNotFound", mb::kIconHand,
                    desk_.ProgramFolder() + "LOCKQUILL.HLP");
      }
      break;
    case kMenuAbout:
      ShowMessage(desk_.ui, "General_ShowMess", mb::kIconInformation,
                  "Lockquill V1.0\r\nEncrypts, signs, decrypts and verifies text and files.");
      break;
    default:
      if (id >= kMenuTabFirst && id < kMenuTabFirst + 5) {
        FK_SHOWPAGE(kMainForm, kTabs, id - kMenuTabFirst + 1);
      }
      break;
  }
  ShowKeyfileState();
}

void MainForm::OnEvent(int id, int code, intptr_t value, int* cancel) {
  Session& s = desk_.session;
  switch (code) {
    case FK_EV_CLICK:
      if (value == FK_VAL_MENU || value == FK_VAL_ACCEL) OnMenu(id);
      break;
    case FK_EV_RESIZE:
      Layout();
      break;
    case FK_EV_TIMER:
      if (id == kInactivityTimerId) {
        if (OnInactivityTick(s)) desk_.HideAllWindows();
        ShowKeyfileState();
      }
      break;
    case FK_EV_HOTKEY: {
      HWND hwnd = static_cast<HWND>(FK_HANDLE(kMainForm, 0));
      switch (OnHotkeyMessage(s, static_cast<uintptr_t>(value), IsWindowVisible(hwnd) != 0)) {
        case HotkeyOutcome::kEncrypt:
          SessionLogLine(s, "");
          SessionLogLine(
              s, "=== Hotkey pressed: Encrypt as text at " + TimeStampText(s.Now()) + " ===");
          break;
        case HotkeyOutcome::kDecrypt:
          SessionLogLine(s, "");
          SessionLogLine(
              s, "=== Hotkey pressed: decrypting text at " + TimeStampText(s.Now()) + " ===");
          break;
        case HotkeyOutcome::kHideAll:
          desk_.HideAllWindows();
          break;
        case HotkeyOutcome::kShowAll:
          desk_.ShowAllWindows();
          break;
        case HotkeyOutcome::kNone:
          break;
      }
      break;
    }
    case FK_EV_CLOSE:
      (void)cancel;
      desk_.CloseProgram();
      break;
    default:
      break;
  }
}

int MainForm::OnMessage(unsigned msg, uintptr_t wp, intptr_t lp, intptr_t* result) {
  (void)lp;
  if (msg == kWmWtsSessionChange || msg == kWmPowerBroadcast) {
    if (OnSystemMessage(desk_.session, msg, wp)) ShowKeyfileState();
    if (msg == kWmPowerBroadcast) {
      *result = TRUE;
      return 1;
    }
  }
  return 0;
}

}  // namespace lq::gui
