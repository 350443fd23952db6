// lqdesk under Wine, driven from a second thread with real window messages: first start with
// the new-keyfile dialog, a start with a wrong then a right passphrase, the hidden typing of the
// passphrase dialog, a hotkey another window holds, auto-hide during a waiting dialog, settings
// that survive a restart, and pictures of every dialog.
#include <windows.h>
// After windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/settings.h"
#include "base/winstr_win32.h"
#include "gui/desk.h"
#include "keys/keyfile.h"
#include "lqdesk_driver.h"
#include "support/recording_ui.h"

namespace {

using namespace lqtest;
using lq::gui::Desk;
using lq::gui::DeskOptions;
namespace pass = lq::gui::pass_ctl;
namespace mainc = lq::gui::main_ctl;

const std::wstring kChangeCaption = L"Lockquill V1.0 - Change passphrase";
const std::wstring kMainCaption = L"Lockquill V1.0";

// The passphrase form (it has a passphrase box) and MAIN (tabs and log).
HWND WaitPassphraseForm(int timeout_ms = 30000) {
  return WaitFormWith(pass::kNew, pass::kHide, timeout_ms);
}

// Puts a text on the clipboard, as another program would.
void PutOnClipboard(const std::wstring& text) {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
  memcpy(GlobalLock(mem), text.c_str(), bytes);
  GlobalUnlock(mem);
  SetClipboardData(CF_UNICODETEXT, mem);
  CloseClipboard();
}

std::wstring StatusBarText(HWND main) {
  HWND bar = Control(main, mainc::kStatusBar);
  wchar_t buf[512] = {};
  SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buf));
  return buf;
}

void CloseMain(HWND main) {
  PostMessageW(main, WM_CLOSE, 0, 0);
  if (!WaitGone(main, 20000)) {
    fprintf(stderr, "MAIN did not close: enabled %d visible %d\n", IsWindowEnabled(main),
            IsWindowVisible(main));
  }
}

bool CurrentDeskKeyfileOpen() {
  Desk* desk = lq::gui::CurrentDesk();
  return desk != nullptr && desk->session.keyfile.open;
}

lq::Settings ReadSettings(const std::string& folder) {
  lq::Settings s;
  lq::SetDefaultSettings(s, "C:\\temp\\");
  std::string version;
  EXPECT_EQ(lq::ParseSettingsFile(ReadFile(folder + "Lockquill.ini"), s, version),
            lq::SettingsLoad::kLoaded);
  return s;
}

TEST(LqdeskStart, FirstStartCreatesTheDefaultKeyfileThroughTheNewKeyfileDialog) {
  const std::string folder = FreshFolder("first");
  DeskOptions options;
  options.program_folder = folder;
  std::wstring status;
  bool cancel_button = true;
  std::wstring mismatch;
  RunWithDriver(options, [&] {
    HWND dlg = WaitForm(kChangeCaption);
    ASSERT_NE(dlg, nullptr);
    // A keyfile must get a passphrase: no Cancel, no current box.
    cancel_button = Control(dlg, pass::kCancel) != nullptr;
    EXPECT_EQ(Control(dlg, pass::kCurrent), nullptr);
    Type(Control(dlg, pass::kNew), L"horse");
    Type(Control(dlg, pass::kRetype), L"house");
    EXPECT_EQ(Text(Control(dlg, pass::kNew)), L"*****");
    Click(dlg, pass::kOk);
    HWND box = WaitMessageBox();
    ASSERT_NE(box, nullptr);
    mismatch = MessageBoxText(box);
    Answer(box, IDOK);
    dlg = WaitForm(kChangeCaption);
    ASSERT_NE(dlg, nullptr);
    Type(Control(dlg, pass::kNew), L"horse");
    Type(Control(dlg, pass::kRetype), L"horse");
    Click(dlg, pass::kOk);
    HWND main = WaitMain(60000);
    ASSERT_NE(main, nullptr);
    status = StatusBarText(main);
    CloseMain(main);
  });
  EXPECT_FALSE(cancel_button);
  EXPECT_EQ(mismatch, L"The 2 passphrases must be the same!\r\nPlease try again.");
  EXPECT_NE(status.find(L"Keyfile.lqk"), std::wstring::npos) << lq::Utf8FromWide(status);
  ASSERT_TRUE(FileExists(folder + "Keyfile.lqk"));
  ASSERT_TRUE(FileExists(folder + "Lockquill.ini"));
  // The keyfile opens with the passphrase typed in the dialog.
  lq::test::RecordingUi ui;
  lq::RandomContext random;
  lq::Keyfile kf(ui, random);
  std::string pass = "horse";
  EXPECT_EQ(lq::OpenKeyfile(kf, folder + "Keyfile.lqk", pass), lq::kKeyfileOpened);
  EXPECT_EQ(ReadSettings(folder).keyfile_path, folder + "Keyfile.lqk");
}

TEST(LqdeskStart, AWrongPassphraseGetsASecondAttempt) {
  const std::string folder = FreshFolder("wrong");
  MakeKeyfile(folder, "s3cret");
  DeskOptions options;
  options.program_folder = folder;
  std::wstring message, second_prompt, status;
  RunWithDriver(options, [&] {
    HWND dlg = WaitPassphraseForm();
    ASSERT_NE(dlg, nullptr);
    Type(Control(dlg, pass::kNew), L"guess");
    Click(dlg, pass::kOk);
    HWND box = WaitMessageBox();
    ASSERT_NE(box, nullptr);
    message = MessageBoxText(box);
    Answer(box, IDOK);
    dlg = WaitPassphraseForm();
    ASSERT_NE(dlg, nullptr);
    second_prompt = Text(Control(dlg, pass::kPrompt));
    Type(Control(dlg, pass::kNew), L"s3cret");
    Click(dlg, pass::kOk);
    HWND main = WaitMain();
    ASSERT_NE(main, nullptr);
    status = StatusBarText(main);
    CloseMain(main);
  });
  EXPECT_EQ(message.rfind(L"The passphrase for this keyfile is not correct!", 0), 0u)
      << lq::Utf8FromWide(message);
  EXPECT_EQ(second_prompt.rfind(L"Try, once more, to enter the correct passphrase", 0), 0u);
  EXPECT_NE(status.find(L"Keyfile.lqk"), std::wstring::npos) << lq::Utf8FromWide(status);
}

TEST(LqdeskPassphrase, HiddenTypingRefusesWhatWouldRevealOrCorruptTheText) {
  const std::string folder = FreshFolder("typing");
  MakeKeyfile(folder, "abc");
  DeskOptions options;
  options.program_folder = folder;
  std::wstring after_accent, after_backspace, unhidden, rehidden, paste_message, after_paste;
  std::wstring after_left;
  bool opened_at_end = true;
  RunWithDriver(options, [&] {
    HWND dlg = WaitPassphraseForm();
    ASSERT_NE(dlg, nullptr);
    HWND edit = Control(dlg, pass::kNew);
    Type(edit, L"ab\u00e9c");  // the accented letter is not taken
    after_accent = Text(edit);
    Type(edit, L"d\b");
    after_backspace = Text(edit);
    Key(edit, VK_LEFT);  // caret moves are refused: typing still appends at the end
    Type(edit, L"");
    after_left = Text(edit);
    Click(dlg, pass::kHide);
    Sleep(200);
    unhidden = Text(edit);
    Click(dlg, pass::kHide);
    Sleep(200);
    rehidden = Text(edit);
    // Pasting into a box that already holds text is refused with a message.
    PutOnClipboard(L"pasted");
    PostMessageW(edit, WM_PASTE, 0, 0);
    HWND box = WaitMessageBox();
    ASSERT_NE(box, nullptr);
    paste_message = MessageBoxText(box);
    Answer(box, IDOK);
    after_paste = Text(edit);
    // Cancel at the first prompt: the program starts with no keyfile open.
    Click(dlg, pass::kCancel);
    HWND main = WaitMain();
    ASSERT_NE(main, nullptr);
    opened_at_end = CurrentDeskKeyfileOpen();
    CloseMain(main);
  });
  EXPECT_EQ(after_accent, L"***");
  EXPECT_EQ(after_backspace, L"***");
  EXPECT_EQ(after_left, L"***");
  EXPECT_EQ(unhidden, L"abc");
  EXPECT_EQ(rehidden, L"***");
  EXPECT_FALSE(paste_message.empty());
  EXPECT_EQ(after_paste, L"***");
  EXPECT_FALSE(opened_at_end);
}

TEST(LqdeskPassphrase, PastingIntoAnEmptyHiddenBoxTakesTheClipboardText) {
  const std::string folder = FreshFolder("paste");
  MakeKeyfile(folder, "pasted words");
  DeskOptions options;
  options.program_folder = folder;
  std::wstring shown;
  bool opened = false;
  RunWithDriver(options, [&] {
    HWND dlg = WaitPassphraseForm();
    ASSERT_NE(dlg, nullptr);
    HWND edit = Control(dlg, pass::kNew);
    PutOnClipboard(L"pasted words");
    SendMessageW(edit, WM_PASTE, 0, 0);
    shown = Text(edit);
    Click(dlg, pass::kOk);
    HWND main = WaitMain();
    ASSERT_NE(main, nullptr);
    opened = CurrentDeskKeyfileOpen();
    CloseMain(main);
  });
  EXPECT_EQ(shown, L"************");
  EXPECT_TRUE(opened);
}

// Another program holds the encryption hotkey (Alt+F11): starting shows the message once and
// the other two hotkeys still work.
TEST(LqdeskHotkeys, AHotkeyHeldByAnotherWindowIsReported) {
  const std::string folder = FreshFolder("hotkey");
  MakeKeyfile(folder, "k");
  HWND other = CreateWindowExW(0, L"STATIC", L"holder", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               nullptr, nullptr);
  ASSERT_TRUE(RegisterHotKey(other, 0x5001, MOD_ALT, VK_F11));
  DeskOptions options;
  options.program_folder = folder;
  std::wstring message;
  int boxes = 0;
  RunWithDriver(options, [&] {
    HWND dlg = WaitPassphraseForm();
    ASSERT_NE(dlg, nullptr);
    Type(Control(dlg, pass::kNew), L"k");
    Click(dlg, pass::kOk);
    HWND box = WaitMessageBox();
    ASSERT_NE(box, nullptr);
    ++boxes;
    message = MessageBoxText(box);
    Answer(box, IDOK);
    HWND main = WaitMain();
    ASSERT_NE(main, nullptr);
    if (WaitMessageBox(1500)) ++boxes;
    CloseMain(main);
  });
  UnregisterHotKey(other, 0x5001);
  DestroyWindow(other);
  EXPECT_EQ(boxes, 1);
  EXPECT_FALSE(message.empty());
}

// Auto-hide hides every window, the waiting passphrase dialog too; the dialog keeps waiting
// while hidden, the unhide hotkey brings it back, and its answer still opens the keyfile.
TEST(LqdeskIdle, AutoHideHidesAWaitingDialogThatKeepsWaiting) {
  const std::string folder = FreshFolder("autohide");
  MakeKeyfile(folder, "idle");
  {
    lq::Settings s;
    lq::SetDefaultSettings(s, "C:\\temp\\");
    s.auto_hide = 1;
    s.auto_hide_minutes = 1;
    s.keyfile_path = folder + "Keyfile.lqk";
    std::string bytes = lq::SettingsFileBytes(s);
    HANDLE f = CreateFileW(lq::WideFromUtf8(folder + "Lockquill.ini").c_str(), GENERIC_WRITE, 0,
                           nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
  }
  DeskOptions options;
  options.program_folder = folder;
  bool hidden = false, still_there = false, back = false, main_enabled_under_dialog = true;
  bool opened = false;
  RunWithDriver(options, [&] {
    HWND dlg = WaitPassphraseForm();
    ASSERT_NE(dlg, nullptr);
    Type(Control(dlg, pass::kNew), L"idle");
    Click(dlg, pass::kOk);
    HWND main = WaitMain();
    ASSERT_NE(main, nullptr);
    // Lock the keyfile, then ask for its passphrase again: the dialog waits.
    Menu(main, mainc::kMenuCloseKeyfile);
    Sleep(300);
    Menu(main, mainc::kMenuReopenKeyfile);
    dlg = WaitPassphraseForm();
    ASSERT_NE(dlg, nullptr);
    // One tick of the inactivity timer reaches the auto-hide minute.
    PostMessageW(main, WM_TIMER, lq::kInactivityTimerId, 0);
    hidden = WaitHidden(dlg, 5000) && WaitHidden(main, 5000);
    Sleep(300);
    still_there = IsWindow(dlg) != 0;
    Desk* desk = lq::gui::CurrentDesk();
    ASSERT_NE(desk, nullptr);
    PostMessageW(main, WM_HOTKEY, static_cast<WPARAM>(desk->session.hotkey_ids.unhide), 0);
    back = WaitVisible(dlg, 5000) && WaitVisible(main, 5000);
    main_enabled_under_dialog = IsWindowEnabled(main) != 0;
    Type(Control(dlg, pass::kNew), L"idle");
    Click(dlg, pass::kOk);
    WaitGone(dlg, 10000);
    Sleep(300);
    opened = CurrentDeskKeyfileOpen();
    CloseMain(main);
  });
  EXPECT_TRUE(hidden);
  EXPECT_TRUE(still_there);
  EXPECT_TRUE(back);
  EXPECT_FALSE(main_enabled_under_dialog);
  EXPECT_TRUE(opened);
}

// Settings changed on the form are in the INI file after the program ends and apply at the
// next start (keep on top).
TEST(LqdeskSettings, ChangedSettingsSurviveARestart) {
  const std::string folder = FreshFolder("settings");
  MakeKeyfile(folder, "set");
  DeskOptions options;
  options.program_folder = folder;
  bool topmost_at_once = false;
  RunWithDriver(options, [&] {
    HWND dlg = WaitPassphraseForm();
    ASSERT_NE(dlg, nullptr);
    Type(Control(dlg, pass::kNew), L"set");
    Click(dlg, pass::kOk);
    HWND main = WaitMain();
    ASSERT_NE(main, nullptr);
    Menu(main, mainc::kMenuSettings);
    HWND settings = WaitForm(L"Lockquill V1.0 - Settings");
    ASSERT_NE(settings, nullptr);
    Click(settings, lq::settings_id::kKeepOnTop);
    Click(settings, lq::settings_id::kNeverCompress);
    Click(settings, lq::settings_id::kExit);
    WaitGone(settings, 10000);
    Sleep(200);
    topmost_at_once = (GetWindowLongPtrW(main, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    CloseMain(main);
  });
  EXPECT_TRUE(topmost_at_once);
  lq::Settings saved = ReadSettings(folder);
  EXPECT_EQ(saved.keep_on_top, 1);
  EXPECT_EQ(saved.never_compress, 1);
  bool topmost_after_restart = false;
  RunWithDriver(options, [&] {
    HWND dlg = WaitPassphraseForm();
    ASSERT_NE(dlg, nullptr);
    Type(Control(dlg, pass::kNew), L"set");
    Click(dlg, pass::kOk);
    HWND main = WaitMain();
    ASSERT_NE(main, nullptr);
    topmost_after_restart = (GetWindowLongPtrW(main, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    CloseMain(main);
  });
  EXPECT_TRUE(topmost_after_restart);
}

// The E-mail tab: the drivers of the program folder are listed, choosing one stores and loads
// it, deleting asks first and chooses the first that is left, and the test button asks its
// first question.
std::string ExeFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  return lq::Utf8FromWide(folder);
}

std::vector<std::wstring> ComboItems(HWND combo) {
  std::vector<std::wstring> items;
  const int n = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    std::wstring item(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
    item.resize(wcslen(item.c_str()));
    items.push_back(item);
  }
  return items;
}

void ChooseItem(HWND form, HWND combo, int index) {
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(form, WM_COMMAND,
               MAKEWPARAM(static_cast<UINT>(lq::settings_id::kEmailDriver), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

TEST(LqdeskEmailTab, DriversAreListedChosenDeletedAndTested) {
  const std::string folder = FreshFolder("email");
  MakeKeyfile(folder, "mail");
  for (const char* name : {"Simple MAPI.txt", "Mailto link.txt", "Notepad.txt"}) {
    ASSERT_TRUE(CopyFileW(lq::WideFromUtf8(ExeFolder() + name).c_str(),
                          lq::WideFromUtf8(folder + name).c_str(), FALSE))
        << name;
  }
  DeskOptions options;
  options.program_folder = folder;
  std::vector<std::wstring> listed, after_delete;
  std::wstring question, test_question, chosen_after_delete;
  bool mapi_loaded_at_once = false, delete_file_gone = false;
  RunWithDriver(options, [&] {
    HWND dlg = WaitPassphraseForm();
    ASSERT_NE(dlg, nullptr);
    Type(Control(dlg, pass::kNew), L"mail");
    Click(dlg, pass::kOk);
    HWND main = WaitMain();
    ASSERT_NE(main, nullptr);
    Menu(main, mainc::kMenuSettings);
    HWND settings = WaitForm(L"Lockquill V1.0 - Settings");
    ASSERT_NE(settings, nullptr);
    HWND tabs = Control(settings, lq::settings_id::kTabs);
    NMHDR nm{tabs, static_cast<UINT_PTR>(lq::settings_id::kTabs), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(tabs, TCM_SETCURSEL, 4, 0);
    SendMessageW(settings, WM_NOTIFY, lq::settings_id::kTabs, reinterpret_cast<LPARAM>(&nm));
    HWND combo = Control(settings, lq::settings_id::kEmailDriver);
    listed = ComboItems(combo);
    ChooseItem(settings, combo, 2);  // "Simple MAPI"
    Sleep(300);
    mapi_loaded_at_once = lq::gui::CurrentDesk()->mail.driver.can_attach_files;
    Sleep(400);
    const std::string shots = ScreenshotFolder();
    if (!shots.empty()) SaveWindowPicture(settings, shots + "settings-email.bmp");

    ChooseItem(settings, combo, 0);  // "Mailto link"
    PostMessageW(Control(settings, lq::settings_id::kDeleteDriver), BM_CLICK, 0, 0);
    if (HWND box = WaitMessageBox(10000)) {
      question = MessageBoxText(box);
      Answer(box, IDYES);
    }
    Sleep(300);
    delete_file_gone = !FileExists(folder + "Mailto link.txt");
    after_delete = ComboItems(combo);
    chosen_after_delete = Text(combo);

    PostMessageW(Control(settings, lq::settings_id::kTestDriver), BM_CLICK, 0, 0);
    if (HWND box = WaitMessageBox(10000)) {
      test_question = MessageBoxText(box);
      Answer(box, IDCANCEL);
    }
    Click(settings, lq::settings_id::kExit);
    WaitGone(settings, 10000);
    CloseMain(main);
  });
  EXPECT_EQ(listed, (std::vector<std::wstring>{L"Mailto link", L"Notepad", L"Simple MAPI"}));
  EXPECT_TRUE(mapi_loaded_at_once);
  EXPECT_NE(question.find(L"Are you sure you want to delete this file?"), std::wstring::npos)
      << question;
  EXPECT_NE(question.find(lq::WideFromUtf8(folder + "Mailto link.txt")), std::wstring::npos);
  EXPECT_TRUE(delete_file_gone);
  EXPECT_EQ(after_delete, (std::vector<std::wstring>{L"Notepad", L"Simple MAPI"}));
  EXPECT_EQ(chosen_after_delete, L"Notepad");
  EXPECT_NE(test_question.find(L"E-mail driver test 1"), std::wstring::npos) << test_question;
  EXPECT_EQ(ReadSettings(folder).email_driver, "Notepad");
}

// A picture of a window is not blank: it holds more than a handful of colours. Pictures are
// written to LQ_SCREENSHOTS when it is set, for a person to look at.
int ColoursIn(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  HDC screen = GetDC(nullptr);
  std::vector<COLORREF> seen;
  for (int y = r.top + 2; y < r.bottom - 2 && seen.size() < 8; y += 7) {
    for (int x = r.left + 2; x < r.right - 2 && seen.size() < 8; x += 7) {
      COLORREF c = GetPixel(screen, x, y);
      if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
    }
  }
  ReleaseDC(nullptr, screen);
  return static_cast<int>(seen.size());
}

void Picture(HWND hwnd, const char* name, std::vector<std::string>& blank) {
  Sleep(400);  // let it paint
  if (ColoursIn(hwnd) < 3) blank.push_back(name);
  const std::string folder = ScreenshotFolder();
  if (!folder.empty()) SaveWindowPicture(hwnd, folder + name + ".bmp");
}

TEST(LqdeskLooks, EveryDialogIsDrawn) {
  const std::string folder = FreshFolder("looks");
  MakeKeyfile(folder, "look");
  DeskOptions options;
  options.program_folder = folder;
  // The dialogs that no start-up path shows are opened from inside the program.
  options.after_start = [](Desk& desk) {
    lq::ChangePassphraseRequest change;
    change.mode = lq::ChangePassphraseMode::kChange;
    desk.ui.AskChangePassphrase(change);
    lq::ChangePassphraseRequest secret;
    secret.mode = lq::ChangePassphraseMode::kEditSecretKey;
    secret.prompt = "Edit the secret key of Alice Smith";
    secret.current_secret = "shared secret";
    secret.expiry_year = 2027;
    secret.expiry_month = 6;
    secret.expiry_day = 30;
    desk.ui.AskChangePassphrase(secret);
    lq::OverwriteRequest over;
    over.existing_file = desk.ProgramFolder() + "Keyfile.lqk";
    over.new_file = "Keyfile.lqk";
    over.new_size = 123456;
    over.new_written = lq::LocalTime{2026, 12, 9, 14, 5, 0};
    desk.ui.ConfirmOverwrite(over);
    desk.ui.ShowWaitScreen(
        "\r\nInitializing the random number generator.\r\nThis is only necessary when creating "
        "a new keyfile.\r\nJust a moment please...");
    // The work behind a wait screen lets events run now and then, as the generator's set-up does.
    for (DWORD end = GetTickCount() + 2000; static_cast<int>(end - GetTickCount()) > 0;) {
      FK_DOEVENTS();
      Sleep(10);
    }
    desk.ui.HideWaitScreen();
  };
  std::vector<std::string> blank;
  bool all_seen = true;
  RunWithDriver(options, [&] {
    HWND dlg = WaitPassphraseForm();
    ASSERT_NE(dlg, nullptr);
    Type(Control(dlg, pass::kNew), L"look");
    Picture(dlg, "passphrase", blank);
    Click(dlg, pass::kOk);
    HWND change = WaitForm(kChangeCaption);
    all_seen = all_seen && change;
    if (change) {
      Picture(change, "changepassp-1", blank);
      Click(change, pass::kCancel);
      WaitGone(change);
    }
    HWND secret = WaitForm(kChangeCaption);
    all_seen = all_seen && secret;
    if (secret) {
      Picture(secret, "changepassp-3", blank);
      Click(secret, pass::kCancel);
      WaitGone(secret);
    }
    HWND over = WaitForm(L"Confirm to overwrite file");
    all_seen = all_seen && over;
    if (over) {
      Picture(over, "overwrite", blank);
      Click(over, lq::gui::over_ctl::kNo);
      WaitGone(over);
    }
    HWND wait = WaitForm(L"Lockquill V1.0 - Please wait");
    all_seen = all_seen && wait;
    if (wait) Picture(wait, "waitscreen", blank);
    HWND main = WaitMain();
    ASSERT_NE(main, nullptr);
    Sleep(1500);
    Picture(main, "main", blank);
    Menu(main, mainc::kMenuSettings);
    HWND settings = WaitForm(L"Lockquill V1.0 - Settings");
    all_seen = all_seen && settings;
    if (settings) {
      HWND tabs = Control(settings, lq::settings_id::kTabs);
      for (int page = 0; page < 5; ++page) {
        NMHDR nm{tabs, static_cast<UINT_PTR>(lq::settings_id::kTabs),
                 static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
        SendMessageW(settings, WM_NOTIFY, lq::settings_id::kTabs, reinterpret_cast<LPARAM>(&nm));
        Picture(settings, ("settings-" + std::to_string(page + 1)).c_str(), blank);
      }
      Click(settings, lq::settings_id::kExit);
      WaitGone(settings);
    }
    CloseMain(main);
  });
  EXPECT_TRUE(all_seen);
  EXPECT_TRUE(blank.empty()) << blank.front();
}

}  // namespace
