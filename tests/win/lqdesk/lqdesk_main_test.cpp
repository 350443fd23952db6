// The main window at work under Wine, driven with real window messages and real input: its
// pages, the popup and the sticky note as pictures; encrypting into another program's window
// and back by hotkey; files dropped for immediate encryption and decryption; the history's
// context menu.
#include <windows.h>
// After windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/actions.h"
#include "app/popup.h"
#include "base/winstr_win32.h"
#include "gui/desk.h"
#include "keys/key_records.h"
#include "keys/keyfile.h"
#include "lqdesk_driver.h"
#include "packet/armor.h"
#include "support/recording_ui.h"

namespace {

using namespace lqtest;
using lq::gui::Desk;
using lq::gui::DeskOptions;
namespace mainc = lq::gui::main_ctl;
namespace popc = lq::gui::popup_ctl;

const std::wstring kMainCaption = L"Lockquill V1.0";

// A keyfile with one correspondent, Bob, who shares a secret key with us.
std::string MakeKeyfileWithBob(const std::string& folder, const std::string& passphrase) {
  const std::string path = folder + "Keyfile.lqk";
  lq::test::RecordingUi ui;
  lq::ChangePassphraseReply reply;
  reply.new_text = reply.retyped = passphrase;
  ui.change_replies.push_back(reply);
  lq::RandomContext random;
  lq::Keyfile kf(ui, random);
  EXPECT_EQ(lq::CreateNewKeyfile(kf, path), 0);
  ui.texts.push_back("Bob");
  const lq::Bytes bob = lq::NewKey(kf);
  lq::UserId user;
  EXPECT_TRUE(lq::ReadUserId(kf, bob, user));
  user.first_name = "Bob";
  user.last_name = "Example";
  user.email_address = "bob@example.org";
  lq::StoreKeyDetails(kf, user);
  std::string secret = "the secret Bob and I share";
  EXPECT_TRUE(lq::SetSecretKey(kf, bob, secret, 0, 0, 0));
  kf.selected_recipients = {bob};
  EXPECT_EQ(lq::CloseKeyfile(kf), 0);
  return path;
}

// MAIN: the visible form captioned "Lockquill V1.0" with the tabs and the log.
HWND WaitMain(int timeout_ms = 30000) {
  DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
  while (static_cast<int>(end - GetTickCount()) > 0) {
    HWND form = WaitForm(kMainCaption, 200);
    if (form && Control(form, mainc::kTabs) && Control(form, mainc::kLog)) return form;
    Sleep(20);
  }
  return nullptr;
}

// Answers the start-up passphrase dialog with the keyfile's passphrase.
HWND OpenWithPassphrase(const std::wstring& passphrase) {
  DWORD end = GetTickCount() + 30000;
  while (static_cast<int>(end - GetTickCount()) > 0) {
    HWND dlg = WaitForm(kMainCaption, 200);
    if (dlg && Control(dlg, lq::gui::pass_ctl::kNew) && Control(dlg, lq::gui::pass_ctl::kHide)) {
      Type(Control(dlg, lq::gui::pass_ctl::kNew), passphrase);
      Click(dlg, lq::gui::pass_ctl::kOk);
      WaitGone(dlg);
      return WaitMain();
    }
    Sleep(20);
  }
  return nullptr;
}

void SavePicture(HWND hwnd, const std::string& name) {
  Sleep(400);  // let it paint
  const std::string folder = ScreenshotFolder();
  if (!folder.empty()) SaveWindowPicture(hwnd, folder + name + ".bmp");
}

std::vector<std::wstring> ListItems(HWND list) {
  std::vector<std::wstring> items;
  const int n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    std::wstring item(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()));
    item.resize(wcslen(item.c_str()));
    items.push_back(item);
  }
  return items;
}

void CloseMain(HWND main) {
  PostMessageW(main, WM_CLOSE, 0, 0);
  WaitGone(main, 20000);
}

TEST(LqdeskMain, PagesPopupAndStickyNoteAreDrawnAndTheCountFollowsTheList) {
  const std::string folder = FreshFolder("mainlooks");
  MakeKeyfileWithBob(folder, "look");
  {
    HANDLE f = CreateFileW(lq::WideFromUtf8(folder + "notes.txt").c_str(), GENERIC_WRITE, 0,
                           nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(f, "1234567890", 10, &n, nullptr);
    CloseHandle(f);
  }
  DeskOptions options;
  options.program_folder = folder;
  options.after_start = [folder](Desk& desk) {
    lq::SetKeyTypePreference(desk.session, true);  // Bob has a secret key only
    lq::IncludeFiles(desk.session, desk.main.bench, {folder + "notes.txt"});
    desk.main.bench.SetEditorText("Dear Bob,\r\n\r\nthe meeting is on Tuesday.\r\n", false);
    desk.session.packets.AddHistoryText("Ciphertext #", "-----Start_Lockquill_packet-----");
    desk.session.packets.AddHistoryFile("Encrypted file", folder + "notes.txt.lqe");
  };
  std::wstring count_label, popup_selected;
  std::vector<std::wstring> log;
  bool sticky_seen = false;
  RunWithDriver(options, [&] {
    HWND main = OpenWithPassphrase(L"look");
    ASSERT_NE(main, nullptr);
    const char* names[5] = {"main-1-editor", "main-2-included", "main-3-immediate",
                            "main-4-history", "main-5-log"};
    for (int page = 0; page < 5; ++page) {
      Menu(main, mainc::kMenuTabFirst + page);
      SavePicture(main, names[page]);
    }
    count_label = Text(Control(main, mainc::kIncludedCount));
    Menu(main, mainc::kMenuPopup);
    HWND popup = WaitForm(L"Lockquill V1.0 - PopUp window");
    ASSERT_NE(popup, nullptr);
    wchar_t item[128] = {};
    SendMessageW(Control(popup, popc::kSelected), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(item));
    popup_selected = item;
    SavePicture(popup, "popup");
    Click(popup, popc::kClose);
    WaitHidden(popup);
    // The sticky note follows the cursor while the program waits for a click.
    Menu(main, mainc::kMenuTabFirst);
    PostMessageW(main, WM_COMMAND, mainc::kMenuPasteText, 0);
    for (int i = 0; i < 100 && !sticky_seen; ++i) {
      HWND sticky = nullptr;
      for (HWND w = GetTopWindow(nullptr); w; w = GetNextWindow(w, GW_HWNDNEXT)) {
        if (IsWindowVisible(w) && (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) &&
            Text(w).empty()) {
          RECT r{};
          GetWindowRect(w, &r);
          if (r.right - r.left > 50 && r.right - r.left < 600 && r.bottom - r.top < 200) {
            sticky = w;
            sticky_seen = true;
            SavePicture(sticky, "sticky");
            break;
          }
        }
      }
      Sleep(50);
    }
    // A click ends the wait: the packet goes into whatever window is there.
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, in, sizeof(INPUT));
    Sleep(1500);
    log = ListItems(Control(main, mainc::kLog));
    CloseMain(main);
  });
  EXPECT_EQ(count_label.rfind(L"1 file included - ", 0), 0u) << count_label;
  EXPECT_EQ(popup_selected, L"Bob");
  EXPECT_TRUE(sticky_seen);
  for (const auto& line : log) fprintf(stderr, "log: %ls\n", line.c_str());
}

}  // namespace
