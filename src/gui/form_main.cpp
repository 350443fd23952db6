// The main form "MAIN": design, layout on resize, menus and toolbars, drops, the history's and
// the log's context menus, hotkeys, timers and the session-lock and suspend messages. What each
// command does is in app/actions; this file routes to it.
#include "gui/form_main.h"

#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include "app/session.h"
#include "app/ui_hooks.h"
#include "base/catalogue.h"
#include "base/winstr_win32.h"
#include "gui/desk.h"

namespace lq::gui {

const ToolbarButton kTab1Buttons[12] = {
    {main_ctl::kMenuPopup, "Show PopUp window"},
    {main_ctl::kMenuHide, "Hide window. Press hotkey to show window again."},
    {main_ctl::kMenuMinMax, "Minimize/maximize window"},
    {main_ctl::kMenuPasteAddresses, "Paste e-mailaddresses"},
    {main_ctl::kMenuSendMail, "Encrypt/sign packet and send as e-mail"},
    {main_ctl::kMenuPasteText, "Encrypt/sign packet and paste as text"},
    {main_ctl::kMenuSaveFile, "Encrypt/sign packet and save as file"},
    {main_ctl::kMenuSaveSeparate, "Encrypt/sign packets and save as separate files"},
    {main_ctl::kMenuSaveExecutable, "Encrypt/sign packet and save as executable file"},
    {main_ctl::kMenuDecryptText, "Decrypt/verify text"},
    {main_ctl::kMenuDecryptFile, "Decrypt/verify file"},
    {main_ctl::kMenuHelp, "Call Lockquill helpfile"},
};

namespace {

constexpr char kMainCaption[] = "Lockquill V1.0";
constexpr char kPages[] =
    "Editor|Included files|Immediate en/decryption|Decryption history|Logtext";
constexpr int kHistoryImages = 1;  // image list number of the history tree
constexpr int kPageIncluded = 2, kPageImmediate = 3;
// The included-files page's buttons.
constexpr const char* kTab2Tooltips[3] = {"Add file to be included",
                                          "Remove selected filename(s) from list",
                                          "Remove all filenames from list"};

int FK_CALLBACK MainMessageHook(const char*, int, FK_HWND, unsigned msg, FK_WPARAM wp, FK_LPARAM lp,
                                FK_LRESULT* result) {
  Desk* desk = CurrentDesk();
  return desk ? desk->main.OnMessage(msg, wp, lp, result) : 0;
}

HWND MainHwnd() { return static_cast<HWND>(FK_HANDLE(kMainForm, 0)); }

// The toolbar forms' height: the 24-pixel buttons and the bar's own margins.
double ToolbarHeight() { return FK_SCALETOCHARSIZE(32, 1); }

bool FileExists(const std::string& path) {
  return GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> SplitBars(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t bar = text.find('|', start);
    if (bar == std::string::npos) bar = text.size();
    if (bar > start) parts.push_back(text.substr(start, bar - start));
    start = bar + 1;
  }
  return parts;
}

}  // namespace

// --- MainBench ----------------------------------------------------------------------------

void MainBench::ShowStickyForm(const std::vector<std::string>& lines) {
  desk_.sticky.ShowStickyForm(lines);
}
void MainBench::MoveStickyForm(ScreenPoint cursor) {
  desk_.sticky.MoveStickyForm(cursor);
  // The toolbar forms under a moving topmost note are repainted so no trail stays behind.
  if (FK_FORMEXISTS(kTab1Toolbar)) FK_REDRAWFORM(kTab1Toolbar);
  if (FK_FORMEXISTS(kTab2Toolbar)) FK_REDRAWFORM(kTab2Toolbar);
}
void MainBench::CloseStickyForm() { desk_.sticky.CloseStickyForm(); }
void MainBench::MinimizeMainWindow() { ShowWindow(MainHwnd(), SW_MINIMIZE); }
void MainBench::RestoreMainWindow() { ShowWindow(MainHwnd(), SW_RESTORE); }

std::string MainBench::EditorText() {
  std::string text;
  fk_detail::ReadTextInto(
      [](char* b, int s) { return FK_GETRICHTEXT(kMainForm, main_ctl::kEditor, 0, b, s); }, text);
  return text;
}

void MainBench::SetEditorText(std::string_view text, bool rich) {
  std::string t(text);
  // Plain text that happens to start like rich text is shown as it is.
  if (!rich && t.rfind("{\\rtf", 0) == 0) t.insert(0, " ");
  const int64_t length = FK_GETRICHTEXTLEN(kMainForm, main_ctl::kEditor, FK_LEN_TEXT);
  const int64_t limit = FK_GETRICHTEXTLEN(kMainForm, main_ctl::kEditor, FK_LEN_LIMIT);
  const int64_t wanted = ReserveEditorCapacity(length, limit, static_cast<int64_t>(t.size()));
  if (wanted > limit && wanted < INT32_MAX) {
    FK_SETRICHTEXTLEN(kMainForm, main_ctl::kEditor, static_cast<int>(wanted));
  }
  FK_SETRICHTEXT(kMainForm, main_ctl::kEditor, t.c_str(), FK_RTF_REPLACE);
  Wipe(t);
  FK_SHOWPAGE(kMainForm, main_ctl::kTabs, 1);
}

bool MainBench::EditorHasFocus() {
  HWND editor = static_cast<HWND>(FK_HANDLE(kMainForm, main_ctl::kEditor));
  HWND focus = GetFocus();
  return editor != nullptr && focus != nullptr && (focus == editor || IsChild(editor, focus));
}

void MainBench::IncludedFilesChanged() { desk_.main.ShowIncludedFiles(); }

void MainBench::AddImmediateFile(std::string_view path) {
  std::string p(path);
  FK_ADDLIST(kMainForm, main_ctl::kImmediateList, p.c_str());
  FK_SCROLLTO(kMainForm, main_ctl::kImmediateList, 0);
}

void MainBench::ShowAllWindows() {
  if (desk_.windows_hidden) desk_.ShowAllWindows();
  ShowWindow(MainHwnd(), IsIconic(MainHwnd()) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(MainHwnd());
}

// --- MainForm -----------------------------------------------------------------------------

bool MainForm::Exists() const { return FK_FORMEXISTS(kMainForm) != 0; }

std::string MainForm::Image(const char* file, const char* resource) const {
  // A strip in the program's Graphics folder replaces the built-in one, so the buttons can be
  // redrawn without building the program.
  const std::string path = desk_.ProgramFolder() + "Graphics\\" + file;
  return (FileExists(path) ? path : std::string(resource)) + "{S}";
}

void MainForm::Create() {
  Session& s = desk_.session;
  FK_FORM(kMainForm, "", kMainCaption, -1, -1, 100, 33, "CMXS");
  FK_SETFORMICON(kMainForm, "$LQICON");
  FK_USEDIALOGPROC(kMainForm, MainMessageHook);
  FK_FORM(kTab1Toolbar, kMainForm, "", 0, 0, 100, ToolbarHeight(), "PB");
  FK_FORM(kTab2Toolbar, kMainForm, "", 1, 3, 20, ToolbarHeight(), "PB");
  FK_SHOWFORM(kTab1Toolbar, FK_SHOW_NOACTIVATE);
  desk_.ui.ApplyToMain();
  ShowMode();
  ShowKeyfileState();
  ShowIncludedFiles();
  Layout();
  StartMainWindowServices(s, reinterpret_cast<WindowId>(FK_HANDLE(kMainForm, 0)));
  FK_SETDROPFILES(kMainForm, 1);
  FK_STARTTIMER(kMainForm, kInactivityTimerId, kInactivityTimerMs);
  FK_STARTTIMER(kMainForm, main_ctl::kClipboardTimer, main_ctl::kClipboardTimerMs);
  FK_SETFOCUS(kMainForm, main_ctl::kEditor);
}

void MainForm::DesignToolbar(const std::string& form) {
  if (form == kTab1Toolbar) {
    FK_TOOLBAR(form.c_str(), main_ctl::kToolbar,
               Image("Toolbar_Main_Tab1.bmp", "$TOOLBAR_MAIN_TAB1").c_str(), "F24X24",
               "BBB BBBBBB BB B|0123456789AB", 0, 0, 0, 0, "");
    for (int b = 0; b < 12; ++b) {
      FK_ADDTOOLTIP(form.c_str(), main_ctl::kToolbar, b + 1, kTab1Buttons[b].tooltip);
    }
  } else {
    FK_TOOLBAR(form.c_str(), main_ctl::kToolbar,
               Image("Toolbar_Main_Tab2.bmp", "$TOOLBAR_MAIN_TAB2").c_str(), "F24X24", "BBB|012", 0,
               0, 0, 0, "");
    for (int b = 0; b < 3; ++b) {
      FK_ADDTOOLTIP(form.c_str(), main_ctl::kToolbar, b + 1, kTab2Tooltips[b]);
    }
  }
}

void MainForm::Design() {
  using namespace main_ctl;
  const char* f = kMainForm;
  FK_DEFMAINMENU(f);
  FK_DEFSUBMENU(f, "&File");
  FK_ADDMENUITEM(f, kMenuOpenKeyfile, "&Open keyfile", 0);
  FK_ADDMENUITEM(f, kMenuCloseKeyfile, "&Close keyfile", 0);
  FK_ADDMENUITEM(f, kMenuNewKeyfile, "&New keyfile", 0);
  FK_ADDMENUITEM(f, kMenuReopenKeyfile, "&Reopen closed keyfile", 0);
  FK_ADDMENUITEM(f, 0, "-", 0);
  FK_ADDMENUITEM(f, kMenuExit, "E&xit", 0);
  FK_SETSUBMENU(f, 0);
  FK_DEFSUBMENU(f, "&Edit");
  FK_ADDMENUITEM(f, kMenuCut, "Cu&t\tCtrl+X", 0);
  FK_ADDMENUITEM(f, kMenuCopy, "&Copy\tCtrl+C", 0);
  FK_ADDMENUITEM(f, kMenuPaste, "&Paste\tCtrl+V", 0);
  FK_ADDMENUITEM(f, kMenuEraseAll, "&Erase all", 0);
  FK_ADDMENUITEM(f, kMenuSelectAll, "&Select all\tCtrl+A", 0);
  FK_SETSUBMENU(f, 0);
  FK_DEFSUBMENU(f, "&Modules");
  FK_ADDMENUITEM(f, kMenuSettings, "&Settings", 0);
  FK_ADDMENUITEM(f, kMenuKeymanager, "&Keymanager", 0);
  FK_SETSUBMENU(f, 0);
  FK_DEFSUBMENU(f, "&Window");
  FK_ADDMENUITEM(f, kMenuPopup, "&Popup window", 0);
  FK_ADDMENUITEM(f, kMenuHide, "&Hide window", 0);
  FK_ADDMENUITEM(f, kMenuMinMax, "&Min./Max. window", 0);
  FK_SETSUBMENU(f, 0);
  FK_DEFSUBMENU(f, "E&ncrypt");
  FK_ADDMENUITEM(f, kMenuPasteAddresses, "&Paste e-mail addresses", 0);
  FK_ADDMENUITEM(f, kMenuSendMail, "Encrypt/sign and &send as e-mail", 0);
  FK_ADDMENUITEM(f, kMenuPasteText, "Encrypt/sign and paste as &text", 0);
  FK_ADDMENUITEM(f, kMenuSaveFile, "Encrypt/sign and save as &file", 0);
  FK_ADDMENUITEM(f, kMenuSaveSeparate, "Encrypt/sign and save as &multiple files", 0);
  FK_ADDMENUITEM(f, kMenuSaveExecutable, "Encrypt/sign and save self-e&xtracting packet", 0);
  FK_ADDMENUITEM(f, kMenuIncludeFile, "&Include file in packet", 0);
  FK_SETSUBMENU(f, 0);
  FK_DEFSUBMENU(f, "&Decrypt");
  FK_ADDMENUITEM(f, kMenuDecryptText, "Decrypt/verify &text", 0);
  FK_ADDMENUITEM(f, kMenuDecryptFile, "Decrypt/verify &file", 0);
  FK_SETSUBMENU(f, 0);
  FK_DEFSUBMENU(f, "&Tab");
  FK_ADDMENUITEM(f, kMenuTabFirst + 0, "&Editor", 0);
  FK_ADDMENUITEM(f, kMenuTabFirst + 1, "&Included files", 0);
  FK_ADDMENUITEM(f, kMenuTabFirst + 2, "I&mmediate encryption/decryption", 0);
  FK_ADDMENUITEM(f, kMenuTabFirst + 3, "&Decryption history", 0);
  FK_ADDMENUITEM(f, kMenuTabFirst + 4, "&Logtext", 0);
  FK_SETSUBMENU(f, 0);
  FK_DEFSUBMENU(f, "&Help");
  FK_ADDMENUITEM(f, kMenuHelp, "&Helpfile", 0);
  FK_ADDMENUITEM(f, kMenuAbout, "&About", 0);
  FK_SETSUBMENU(f, 0);

  FK_TABCONTROL(f, kTabs, kPages, 0.5, 2.4, 99, 26, "L");
  FK_SETLAYER(f, 1);
  FK_USEFONT(2);
  FK_RICHTEXT1(f, kEditor, "", 1, 4.2, 97, 23.8, "MV");
  FK_USEFONT(0);
  FK_SETLAYER(f, 2);
  FK_LISTBOX(f, kIncludedFiles, "", 1, 6.4, 97, 20, "MVH");
  FK_LABEL(f, kIncludedCount, "", 1, 26.6, 60, 1.2, "");
  FK_SETLAYER(f, 3);
  FK_LABEL(f, kDropText, "Drop files here for immediate encryption or decryption.", 1, 6, 97, 1.4,
           "C");
  FK_LABEL(f, kDropNote, "The text in the edit window is NOT included in the encrypted file.", 1,
           7.6, 97, 1.4, "C");
  FK_LISTBOX(f, kImmediateList, "", 1, 10, 97, 16, "VH");
  FK_SETTOOLTIP(f, kImmediateList, "Files dropped here in this session");
  FK_SETLAYER(f, 4);
  FK_TREEVIEW(f, kHistory, 1, 4.2, 97, 22, "");
  // The history's texts are short; the tree's own tooltip window, an owned top-most popup,
  // would also keep the main window from being put on top under Wine.
  if (HWND tip = reinterpret_cast<HWND>(FK_SENDMESSAGE(f, kHistory, TVM_GETTOOLTIPS, 0, 0))) {
    FK_SENDMESSAGE(f, kHistory, TVM_SETTOOLTIPS, 0, 0);
    DestroyWindow(tip);
  }
  FK_LABEL(f, kHistoryHint, "Select an item and use right mouse click", 1, 26.6, 60, 1.2, "");
  FK_SETLAYER(f, 5);
  FK_LISTBOX(f, kLog, "", 1, 4.2, 97, 22, "VH");
  FK_BUTTON(f, kLogSave, "&Save logtext", 1, 26.4, 16, 1.7, "");
  FK_BUTTON(f, kLogClear, "&Clear logtext", 18, 26.4, 16, 1.7, "");
  FK_SETLAYER(f, 0);

  FK_LABEL(f, kModeLabel, "", 1, 28.8, 34, 1.2, "");
  FK_LABEL(f, kStatusText, "", 36, 28.8, 63, 1.2, "");
  FK_STATUSBAR(f, kStatusBar, "", "");
  FK_PROGRESSBAR(f, kProgress, 0, 31, 100, 1.5, "");
  FK_HIDEC(f, kProgress);

  FK_DEFIMAGELIST(kHistoryImages, 16, 16);
  FK_ADDIMAGE(kHistoryImages, "$TVDECRTEXT");
  FK_ADDIMAGE(kHistoryImages, "$TVDECRFILE");
  FK_ADDIMAGE(kHistoryImages, "$TVENCRTEXT");
  FK_ADDIMAGE(kHistoryImages, "$TVENCRFILE");
  FK_TVUSEIMAGELIST(f, kHistory, kHistoryImages);
  FK_SETRICHTEXTLEN(f, kEditor, 1 << 20);
}

void MainForm::Layout() {
  using namespace main_ctl;
  double w = 0, h = 0;
  if (!FK_GETSIZE(kMainForm, &w, &h) || w < 20 || h < 12) return;
  double bar_w = 0, bar_h = 0;
  FK_GETSIZEC(kMainForm, kStatusBar, &bar_w, &bar_h);
  if (bar_h <= 0) bar_h = 1.4;
  const double tb_h = ToolbarHeight();
  if (FK_FORMEXISTS(kTab1Toolbar)) FK_RESIZEFORM(kTab1Toolbar, 0, 0, w, tb_h);
  const double top = tb_h + 0.2;
  const double bottom = h - bar_h;     // top of the status bar
  const double line_y = bottom - 1.6;  // mode label and status text
  const double tab_h = line_y - 0.4 - top;
  FK_RESIZEC(kMainForm, kTabs, 0.5, top, w - 1, tab_h);
  const double inner_w = w - 3, inner_top = top + 2.0, inner_h = tab_h - 2.4;
  const double foot_y = inner_top + inner_h - 1.5;  // labels and buttons under a page's list
  FK_RESIZEC(kMainForm, kEditor, 1.5, inner_top, inner_w, inner_h);
  FK_RESIZEC(kMainForm, kLog, 1.5, inner_top, inner_w, inner_h - 2.2);
  FK_RESIZEC(kMainForm, kLogSave, 1.5, inner_top + inner_h - 1.8, 16, 1.7);
  FK_RESIZEC(kMainForm, kLogClear, 18.5, inner_top + inner_h - 1.8, 16, 1.7);
  // The included-files page: its toolbar form on top, the list, the count.
  if (FK_FORMEXISTS(kTab2Toolbar)) FK_RESIZEFORM(kTab2Toolbar, 1.5, inner_top, 12, tb_h);
  FK_RESIZEC(kMainForm, kIncludedFiles, 1.5, inner_top + tb_h + 0.2, inner_w, inner_h - tb_h - 1.9);
  FK_RESIZEC(kMainForm, kIncludedCount, 1.5, foot_y + 0.2, inner_w, 1.2);
  FK_RESIZEC(kMainForm, kHistory, 1.5, inner_top, inner_w, inner_h - 1.7);
  FK_RESIZEC(kMainForm, kHistoryHint, 1.5, foot_y + 0.2, inner_w, 1.2);
  FK_RESIZEC(kMainForm, kDropText, 1.5, inner_top + 1.0, inner_w, 1.4);
  FK_RESIZEC(kMainForm, kDropNote, 1.5, inner_top + 2.6, inner_w, 1.4);
  FK_RESIZEC(kMainForm, kImmediateList, 1.5, inner_top + 4.6, inner_w, inner_h - 4.6);
  FK_RESIZEC(kMainForm, kModeLabel, 1, line_y + 0.2, 34, 1.2);
  FK_RESIZEC(kMainForm, kStatusText, 36, line_y + 0.2, w - 37, 1.2);
  // The progress bar takes the status bar's place while an operation runs.
  FK_RESIZEC(kMainForm, kProgress, 0, bottom, w, bar_h);
}

void MainForm::ShowMode() {
  if (Exists())
    FK_SETTEXT(kMainForm, main_ctl::kModeLabel, ModeText(desk_.session.settings).c_str());
}

void MainForm::ShowKeyfileState() {
  if (!Exists()) return;
  const Keyfile& kf = desk_.session.keyfile;
  using namespace main_ctl;
  FK_SETMENUITEM(kMainForm, kMenuCloseKeyfile, nullptr, kf.open ? 0 : FK_MI_DISABLED);
  FK_SETMENUITEM(kMainForm, kMenuReopenKeyfile, nullptr,
                 !kf.open && !kf.last_name.empty() ? 0 : FK_MI_DISABLED);
  FK_SETMENUITEM(kMainForm, kMenuKeymanager, nullptr, 0);
}

void MainForm::ShowIncludedFiles() {
  if (!Exists()) return;
  using namespace main_ctl;
  const std::vector<std::string>& files = desk_.session.packets.attachments;
  FK_CLEAR(kMainForm, kIncludedFiles);
  unsigned long long bytes = 0;
  for (const std::string& f : files) {
    FK_ADDLIST(kMainForm, kIncludedFiles, f.c_str());
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(WideFromUtf8(f).c_str(), GetFileExInfoStandard, &data)) {
      bytes += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
  }
  const std::string count = IncludedCountText(files.size()) + SizeText(static_cast<double>(bytes));
  FK_SETTEXT(kMainForm, kIncludedCount, count.c_str());
}

void MainForm::ShowPage(int page) {
  FK_SHOWPAGE(kMainForm, main_ctl::kTabs, page);
  if (page == kPageIncluded) {
    FK_SHOWFORM(kTab2Toolbar, FK_SHOW_NOACTIVATE);
    // Above the tab control, whose page it sits on.
    SetWindowPos(static_cast<HWND>(FK_HANDLE(kTab2Toolbar, 0)), HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  } else if (FK_FORMEXISTS(kTab2Toolbar)) {
    FK_HIDEFORM(kTab2Toolbar);
  }
}

void MainForm::OpenHelp() {
  // A help file opens where the system still has a viewer for it; otherwise the user guide.
  const std::string hlp = desk_.ProgramFolder() + "LOCKQUILL.HLP";
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const bool viewer = GetFileAttributesW((std::wstring(windows) + L"\\winhlp32.exe").c_str()) !=
                      INVALID_FILE_ATTRIBUTES;
  if (viewer && FileExists(hlp) && FK_WINHELP(kMainForm, "", FK_HELP_CONTENTS, 0)) return;
  const std::string guide = desk_.ProgramFolder() + kUserGuide;
  if (!FileExists(guide) || !desk_.desktop.ShellOpen(guide)) {
    ShowMessage(desk_.ui, "Error_FileNotFound", mb::kIconHand, guide);
  }
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
    case kMenuKeymanager:
      desk_.keymanager.Show();
      break;
    case kMenuPopup:
      desk_.popup.Show();
      break;
    case kMenuHide:
      desk_.HideAllWindows();
      break;
    case kMenuMinMax:
      ShowWindow(MainHwnd(), IsIconic(MainHwnd()) ? SW_RESTORE : SW_MINIMIZE);
      break;
    case kMenuPasteAddresses:
      PasteEMailAddresses(s, bench);
      break;
    case kMenuSendMail:
      EncryptAndSendAsEMail(s, bench);
      break;
    case kMenuPasteText:
      EncryptAndPasteAsText(s, bench);
      break;
    case kMenuSaveFile:
      EncryptAndSaveAsFile(s, bench);
      break;
    case kMenuSaveSeparate:
      EncryptAndSaveAsSeparateFiles(s, bench);
      break;
    case kMenuSaveExecutable: {
      std::string text = bench.EditorText();
      ShowSelfExtractorForm(desk_, text, s.packets.attachments);
      Wipe(text);
      break;
    }
    case kMenuIncludeFile: {
      FileChooserRequest request;
      request.title = "Select file(s) to include in packet";
      request.filter = "All files|*.*";
      request.multi_select = true;
      const std::vector<std::string> files = s.ui.ChooseFiles(request);
      if (!files.empty()) {
        IncludeFiles(s, bench, files);
        ShowPage(kPageIncluded);
      }
      break;
    }
    case kMenuDecryptText:
      DecryptText(s, bench);
      break;
    case kMenuDecryptFile:
      DecryptFiles(s, bench);
      break;
    case kMenuHelp:
      OpenHelp();
      break;
    case kMenuAbout:
      ShowMessage(desk_.ui, "General_ShowMess", mb::kIconInformation,
                  "Lockquill V1.0 (build " __DATE__
                  ")\r\nEncrypts, signs, decrypts and verifies text and files.");
      break;
    default:
      if (id >= kMenuTabFirst && id < kMenuTabFirst + 5) ShowPage(id - kMenuTabFirst + 1);
      break;
  }
  ShowKeyfileState();
}

void MainForm::OnHistoryMenu(FK_ITEM item) {
  HistoryEntryView entry;
  const bool known = desk_.ui.HistoryEntryOf(item, entry);
  const std::vector<HistoryMenuItem> items = HistoryMenu(known ? entry.tree_text : "");
  std::string texts;
  for (const HistoryMenuItem& i : items) texts += (texts.empty() ? "" : "|") + std::string(i.text);
  const int chosen = FK_POPUPMENU(kMainForm, texts.c_str(), -1, -1);
  if (chosen < 1 || static_cast<size_t>(chosen) > items.size()) return;
  const HistoryCommand command = items[static_cast<size_t>(chosen) - 1].command;
  switch (command) {
    case HistoryCommand::kCollapse:
      FK_TVCOLLAPSE(kMainForm, main_ctl::kHistory, 0);
      return;
    case HistoryCommand::kExpand:
      FK_TVEXPAND(kMainForm, main_ctl::kHistory, 0);
      return;
    case HistoryCommand::kClearList:
      desk_.ui.ClearHistory();
      return;
    default:
      break;
  }
  if (known && RunHistoryCommand(desk_.session, bench, entry, command)) {
    desk_.ui.DeleteHistoryItem(item);
  }
}

void MainForm::OnLogMenu() {
  const int chosen = FK_POPUPMENU(kMainForm, "&Save logtext|&Clear logtext", -1, -1);
  if (chosen == 1) OnEvent(main_ctl::kLogSave, FK_EV_CLICK, 0, nullptr);
  if (chosen == 2) OnEvent(main_ctl::kLogClear, FK_EV_CLICK, 0, nullptr);
}

void MainForm::OnDrop(int id) {
  (void)id;
  const std::vector<std::string> files = SplitBars(FK_GETDROPLIST(kMainForm));
  if (files.empty()) return;
  // Dropped on the immediate page: encrypted or decrypted at once. Anywhere else: included in
  // the next packet.
  if (FK_GETCHECK(kMainForm, main_ctl::kTabs) == kPageImmediate) {
    ProcessDroppedFiles(desk_.session, bench, files);
  } else {
    IncludeFiles(desk_.session, bench, files);
    ShowPage(kPageIncluded);
  }
}

void MainForm::OnToolbarEvent(const std::string& form, int id, int code, intptr_t value) {
  if (id != main_ctl::kToolbar) return;
  if (form == kTab1Toolbar) {
    if (code == FK_EV_CLICK && value >= 1 && value <= 12) OnMenu(kTab1Buttons[value - 1].menu_item);
    if (code == FK_EV_HOVER && value == 1 && desk_.session.settings.popup_on_hover) {
      double x = 0, y = 0, w = 0, h = 0;
      if (FK_GETTBRECT(kTab1Toolbar, main_ctl::kToolbar, 1, &x, &y, &w, &h)) {
        desk_.popup.ShowBeside(x + w, y, x, y, w, h);
      }
    }
    return;
  }
  if (code != FK_EV_CLICK) return;
  Session& s = desk_.session;
  std::vector<std::string>& list = s.packets.attachments;
  if (value == 1) {
    OnMenu(main_ctl::kMenuIncludeFile);
  } else if (value == 2) {
    // Selected items, last first so the numbers stay valid while removing.
    std::vector<int> chosen;
    for (int i = FK_FINDNEXTSEL(kMainForm, main_ctl::kIncludedFiles, 0); i > 0;
         i = FK_FINDNEXTSEL(kMainForm, main_ctl::kIncludedFiles, i)) {
      chosen.push_back(i);
    }
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
      if (static_cast<size_t>(*it) <= list.size()) list.erase(list.begin() + (*it - 1));
    }
    ShowIncludedFiles();
  } else if (value == 3) {
    list.clear();
    ShowIncludedFiles();
  }
}

void MainForm::OnEvent(int id, int code, intptr_t value, int* cancel) {
  using namespace main_ctl;
  Session& s = desk_.session;
  switch (code) {
    case FK_EV_CLICK:
      if (value == FK_VAL_MENU || value == FK_VAL_ACCEL) {
        OnMenu(id);
      } else if (id == kLogSave) {
        SaveLogText(s, desk_.ui.log_lines());
      } else if (id == kLogClear) {
        desk_.ui.ClearLog();
        SessionLogLine(s, "All logtext is erased");
      }
      break;
    case FK_EV_CHANGE:
      if (id == kTabs) ShowPage(static_cast<int>(value));
      break;
    case FK_EV_RIGHTCLICK:
      if (id == kHistory) OnHistoryMenu(static_cast<FK_ITEM>(value));
      if (id == kLog) OnLogMenu();
      break;
    case FK_EV_DBLCLICK:
      if (id == kHistory) {
        HistoryEntryView entry;
        if (desk_.ui.HistoryEntryOf(static_cast<FK_ITEM>(value), entry) &&
            entry.tree_text.find('#') != std::string::npos) {
          RunHistoryCommand(s, bench, entry, HistoryCommand::kMoveToEditor);
        }
      }
      break;
    case FK_EV_DROPFILES:
      OnDrop(id);
      break;
    case FK_EV_RESIZE:
      Layout();
      break;
    case FK_EV_TIMER:
      if (id == kInactivityTimerId) {
        if (OnInactivityTick(s)) desk_.HideAllWindows();
        ShowKeyfileState();
      } else if (id == kClipboardTimer) {
        TickSecretClipboard(s, kClipboardTimerMs);
      }
      break;
    case FK_EV_HOTKEY: {
      switch (OnHotkeyMessage(s, static_cast<uintptr_t>(value), IsWindowVisible(MainHwnd()) != 0)) {
        case HotkeyOutcome::kEncrypt:
          HotkeyEncrypt(s, bench);
          break;
        case HotkeyOutcome::kDecrypt:
          HotkeyDecrypt(s, bench);
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
