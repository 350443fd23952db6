// The main window at work under Wine, driven with real window messages and real input: its
// pages, the popup and the sticky note as pictures; encrypting into another program's window
// and back by hotkey; files dropped for immediate encryption and decryption; the history's
// context menu.
#include <windows.h>
// After windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

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
#include "packet/packet_session.h"
#include "packet/signature_packet.h"
#include "support/recording_ui.h"
#include "textpad_client.h"

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
  bool sticky_seen = false, hover_shown = false, hover_hidden = false;
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
    // Resting the mouse on the first toolbar button shows it beside the button; leaving both
    // hides it again.
    HWND bar = nullptr;  // the main toolbar: the one with twelve buttons
    for (HWND child = GetWindow(main, GW_CHILD); child && !bar;
         child = GetWindow(child, GW_HWNDNEXT)) {
      HWND b = FindWindowExW(child, nullptr, TOOLBARCLASSNAMEW, nullptr);
      if (b && SendMessageW(b, TB_BUTTONCOUNT, 0, 0) >= 12) bar = b;
    }
    ASSERT_NE(bar, nullptr);
    RECT button{};
    SendMessageW(bar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
    POINT at{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    POINT screen = at;
    ClientToScreen(bar, &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    hover_shown = WaitVisible(popup, 5000);
    SetCursorPos(screen.x + 400, screen.y + 400);
    SendMessageW(bar, WM_MOUSELEAVE, 0, 0);
    hover_hidden = WaitHidden(popup, 5000);
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
  EXPECT_TRUE(hover_shown);
  EXPECT_TRUE(hover_hidden);
  for (const auto& line : log) fprintf(stderr, "log: %ls\n", line.c_str());
}

// What the engine reads from an armored text with the test keyfile: the plaintext.
std::string EngineDecrypt(const std::string& keyfile, const std::string& passphrase,
                          const std::string& armor) {
  lq::test::RecordingUi ui;
  lq::RandomContext random;
  lq::Keyfile kf(ui, random);
  std::string p = passphrase;
  if (lq::OpenKeyfile(kf, keyfile, p) != lq::kKeyfileOpened) return "(keyfile not opened)";
  lq::PacketSession s(ui, random, kf);
  lq::OpenedText opened = lq::ReadArmoredText(s, armor);
  lq::CloseKeyfile(kf);
  return opened.text;
}

// Real mouse input: moves to the middle of a window and clicks there.
void ClickAt(HWND hwnd, bool right = false, const RECT* part = nullptr) {
  RECT r{};
  if (part) {
    r = *part;
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  } else {
    GetWindowRect(hwnd, &r);
  }
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Sleep(100);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  SendInput(1, &in[0], sizeof(INPUT));
  Sleep(60);
  SendInput(1, &in[1], sizeof(INPUT));
}

void Keys(std::initializer_list<WORD> vks) {
  for (WORD vk : vks) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
    Sleep(60);
  }
}

template <typename F>
bool WaitUntil(F done, int timeout_ms = 20000) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
  while (!done()) {
    if (static_cast<int>(end - GetTickCount()) <= 0) return false;
    Sleep(50);
  }
  return true;
}

std::string Utf8(const std::wstring& w) { return lq::Utf8FromWide(w); }

TEST(LqdeskMain, HotkeysEncryptTheOtherProgramsSelectionAndDecryptItBack) {
  const std::string folder = FreshFolder("hotkeys");
  const std::string keyfile = MakeKeyfileWithBob(folder, "hot");
  DeskOptions options;
  options.program_folder = folder;
  options.after_start = [](Desk& desk) { lq::SetKeyTypePreference(desk.session, true); };
  std::wstring after_encrypt, after_decrypt, armor;
  std::string engine_plain;
  RunWithDriver(options, [&] {
    HWND main = OpenWithPassphrase(L"hot");
    ASSERT_NE(main, nullptr);
    const lq::HotkeyIds ids = lq::gui::CurrentDesk()->session.hotkey_ids;
    lq::testpad::Textpad pad;
    ASSERT_TRUE(pad.Start(L"Dear Sir, the secret is 42. Regards"));
    ASSERT_TRUE(pad.Activate());
    pad.Select(10, 27);  // "the secret is 42."
    // The hotkey's message, as the system sends it when the user presses the combination.
    PostMessageW(main, WM_HOTKEY, static_cast<WPARAM>(ids.encrypt), 0);
    const DWORD t0 = GetTickCount();
    WaitUntil(
        [&] { return pad.Text().find(L"-----End_Lockquill_packet-----") != std::wstring::npos; });
    after_encrypt = pad.Text();
    fprintf(stderr, "encrypt took %lu ms\n", GetTickCount() - t0);
    const size_t a = after_encrypt.find(L"-----Start"), b = after_encrypt.find(L" Regards");
    if (a != std::wstring::npos && b != std::wstring::npos) armor = after_encrypt.substr(a, b - a);
    engine_plain = EngineDecrypt(keyfile, "hot", Utf8(armor));
    // Nothing selected: the fetch takes the whole text and the plaintext replaces it.
    ASSERT_TRUE(pad.Activate());
    pad.Select(0, 0);
    PostMessageW(main, WM_HOTKEY, static_cast<WPARAM>(ids.decrypt), 0);
    WaitUntil([&] { return pad.Text().find(L"-----") == std::wstring::npos; });
    after_decrypt = pad.Text();
    for (const auto& line : ListItems(Control(main, mainc::kLog))) {
      fprintf(stderr, "log: %ls\n", line.c_str());
    }
    pad.Close();
    CloseMain(main);
  });
  EXPECT_EQ(after_encrypt.rfind(L"Dear Sir, -----Start_Lockquill_packet-----", 0), 0u);
  EXPECT_EQ(engine_plain, "the secret is 42.");
  EXPECT_EQ(after_decrypt, L"the secret is 42.");
}

TEST(LqdeskMain, PasteAsTextGoesIntoTheClickedWindow) {
  const std::string folder = FreshFolder("pastetext");
  const std::string keyfile = MakeKeyfileWithBob(folder, "paste");
  DeskOptions options;
  options.program_folder = folder;
  options.after_start = [](Desk& desk) {
    lq::SetKeyTypePreference(desk.session, true);
    desk.main.bench.SetEditorText("Grüße aus Köln", false);
  };
  std::wstring pasted;
  RunWithDriver(options, [&] {
    HWND main = OpenWithPassphrase(L"paste");
    ASSERT_NE(main, nullptr);
    lq::testpad::Textpad pad;
    ASSERT_TRUE(pad.Start(L""));
    Sleep(300);
    PostMessageW(main, WM_COMMAND, mainc::kMenuPasteText, 0);
    Sleep(1500);  // the packet is made, then the note asks for a click
    ClickAt(pad.edit);
    WaitUntil(
        [&] { return pad.Text().find(L"-----End_Lockquill_packet-----") != std::wstring::npos; });
    pasted = pad.Text();
    pad.Close();
    CloseMain(main);
  });
  EXPECT_EQ(EngineDecrypt(keyfile, "paste", Utf8(pasted)), "Grüße aus Köln");
}

// A drop as the shell makes it: a DROPFILES block with the wide names.
HGLOBAL DropOf(const std::vector<std::wstring>& files) {
  size_t chars = 1;
  for (const auto& f : files) chars += f.size() + 1;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * 2);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(mem));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  auto* p = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
  for (const auto& f : files) {
    memcpy(p, f.c_str(), f.size() * 2);
    p += f.size() + 1;
  }
  GlobalUnlock(mem);
  return mem;
}

TEST(LqdeskMain, DroppedFilesAreEncryptedBesideThemselvesAndDecryptedIntoTheStoreFolder) {
  const std::string folder = FreshFolder("drops");
  MakeKeyfileWithBob(folder, "drop");
  // A store folder of this run's own: sub-folders of earlier runs may still be there.
  const std::string store = folder + "store" + std::to_string(GetTickCount()) + "\\";
  CreateDirectoryW(lq::WideFromUtf8(store).c_str(), nullptr);
  const std::wstring doc = lq::WideFromUtf8(folder) + L"Bericht \u00fcber M\u00e4rz.txt";
  {
    HANDLE f = CreateFileW(doc.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(f, "figures of March", 16, &n, nullptr);
    CloseHandle(f);
  }
  DeskOptions options;
  options.program_folder = folder;
  options.after_start = [store](Desk& desk) {
    lq::SetKeyTypePreference(desk.session, true);
    desk.session.settings.store_folder = store;
    desk.session.packets.store_folder = store;
  };
  bool packet_made = false, original_kept = false;
  std::string decrypted;
  int included_after_menu = 0;
  RunWithDriver(options, [&] {
    HWND main = OpenWithPassphrase(L"drop");
    ASSERT_NE(main, nullptr);
    Menu(main, mainc::kMenuTabFirst + 2);  // the immediate page
    PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({doc})), 0);
    packet_made = WaitUntil([&] { return FileExists(Utf8(doc) + ".lqe"); });
    original_kept = FileExists(Utf8(doc));
    // The packet, its extension in capitals, decrypts into the store folder.
    const std::wstring upper = lq::WideFromUtf8(folder) + L"PACKET.LQE";
    MoveFileW((doc + L".lqe").c_str(), upper.c_str());
    PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({upper})), 0);
    const std::string out = store + Utf8(L"Bericht \u00fcber M\u00e4rz.txt");
    // Both drops are done when the log has said so three times (the packet file and the first
    // drop, then the second drop).
    WaitUntil([&] {
      const auto log = ListItems(Control(main, mainc::kLog));
      return std::count(log.begin(), log.end(), L"Finished successfully") >= 3;
    });
    if (FileExists(out)) decrypted = ReadFile(out);
    // The history's menu on the packet's entry: "Include file" (the fifth item).
    Menu(main, mainc::kMenuTabFirst + 3);
    HWND tree = Control(main, mainc::kHistory);
    HTREEITEM root = TreeView_GetRoot(tree);
    RECT item{};
    TreeView_GetItemRect(tree, root, &item, TRUE);
    // The menu is a window of its own while it waits for the choice.
    auto menu_open = [] {
      HWND m = FindWindowW(L"#32768", nullptr);
      return m != nullptr && IsWindowVisible(m);
    };
    for (int attempt = 0; attempt < 3 && !menu_open(); ++attempt) {
      ClickAt(tree, true, &item);
      WaitUntil(menu_open, 3000);
    }
    Keys({VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
    WaitUntil(
        [&] { return SendMessageW(Control(main, mainc::kIncludedFiles), LB_GETCOUNT, 0, 0) > 0; },
        5000);
    included_after_menu =
        static_cast<int>(SendMessageW(Control(main, mainc::kIncludedFiles), LB_GETCOUNT, 0, 0));
    CloseMain(main);
  });
  EXPECT_TRUE(packet_made);
  EXPECT_TRUE(original_kept);
  EXPECT_EQ(decrypted, "figures of March");
  EXPECT_EQ(included_after_menu, 1);
}

}  // namespace
