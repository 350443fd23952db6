// The key manager at work under Wine, driven with real window messages: a key made with the
// text-entry dialog, a key pair calculated with its progress showing (and a longer one
// cancelled mid-way), the export through the clipboard with and without the private part, its
// import answering the known-KeyID question, a group and the signing key; every tab, the
// calculation, the export and the import dialogs saved as pictures.
#include <windows.h>
// After windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/winstr_win32.h"
#include "gui/desk.h"
#include "keys/key_export.h"
#include "keys/key_records.h"
#include "keys/keyfile.h"
#include "lqdesk_driver.h"
#include "support/recording_ui.h"

namespace {

using namespace lqtest;
using lq::gui::Desk;
using lq::gui::DeskOptions;
namespace kmc = lq::gui::km_ctl;
namespace calc = lq::gui::calc_ctl;
namespace expc = lq::gui::export_ctl;
namespace impc = lq::gui::import_ctl;

const std::wstring kCaption = L"Lockquill V1.0";

// A visible form with this caption that has the control `id`.
HWND WaitFormWith(const std::wstring& caption, int id, int timeout_ms = 30000) {
  DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
  while (static_cast<int>(end - GetTickCount()) > 0) {
    HWND form = WaitForm(caption, 200);
    if (form && Control(form, id)) return form;
    Sleep(20);
  }
  return nullptr;
}

// Answers the text-entry dialog.
bool EnterText(const std::wstring& text) {
  HWND dlg = WaitFormWith(kCaption, lq::gui::entry_ctl::kText);
  if (!dlg) return false;
  Type(Control(dlg, lq::gui::entry_ctl::kText), text);
  Click(dlg, lq::gui::entry_ctl::kOk);
  return WaitGone(dlg);
}

// Clicks a list entry as a user does: the selection changes and the list tells its form.
void ClickListEntry(HWND form, int id, int index) {
  HWND list = Control(form, id);
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  PostMessageW(form, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

std::wstring ClipboardText() {
  std::wstring text;
  for (int i = 0; i < 50 && !OpenClipboard(nullptr); ++i) Sleep(20);
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(h))) text = p;
    GlobalUnlock(h);
  }
  CloseClipboard();
  return text;
}

// Puts a text on the clipboard, trying again while another thread holds it open.
bool PutOnClipboard(const std::wstring& t) {
  for (int i = 0; i < 100; ++i) {
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (t.size() + 1) * sizeof(wchar_t));
      memcpy(GlobalLock(mem), t.c_str(), (t.size() + 1) * sizeof(wchar_t));
      GlobalUnlock(mem);
      const bool set = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
      CloseClipboard();
      if (set && ClipboardText() == t) return true;
    }
    Sleep(20);
  }
  return false;
}

BOOL CALLBACK DumpTop(HWND hwnd, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd)) return TRUE;
  wchar_t cls[64] = {}, text[128] = {};
  GetClassNameW(hwnd, cls, 64);
  GetWindowTextW(hwnd, text, 128);
  std::printf("  window '%ls' class %ls enabled %d\n", text, cls, IsWindowEnabled(hwnd) ? 1 : 0);
  if (std::wstring(cls) == L"#32770") std::printf("    text: %ls\n", MessageBoxText(hwnd).c_str());
  return TRUE;
}

// The program's visible windows, for a test that did not find the one it waited for.
std::string DumpWindows() {
  EnumWindows(DumpTop, 0);
  if (Desk* desk = lq::gui::CurrentDesk()) {
    for (const std::string& line : desk->ui.log_lines()) std::printf("  log: %s\n", line.c_str());
    lq::test::RecordingUi ui;
    lq::ExportedKey key;
    const lq::Bytes record = lq::DearmorExportedKey(ui, lq::Utf8FromWide(ClipboardText()));
    if (lq::DecomposeExportedKeyRecord(ui, record, key))
      std::printf("  clipboard key %02x%02x\n", static_cast<unsigned char>(key.key_id[0]),
                  static_cast<unsigned char>(key.key_id[1]));
    for (const auto& k : desk->session.keyfile.keys)
      std::printf("  key %s %c %02x%02x\n", k.keyname.c_str(), k.category,
                  static_cast<unsigned char>(k.key_id[0]), static_cast<unsigned char>(k.key_id[1]));
  }
  std::fflush(stdout);
  return "see the windows listed above";
}

// Waits until `pred` holds, checking every 20 ms.
template <typename Pred>
bool WaitFor(Pred pred, int timeout_ms = 30000) {
  DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
  while (static_cast<int>(end - GetTickCount()) > 0) {
    if (pred()) return true;
    Sleep(20);
  }
  return false;
}

TEST(LqdeskKeys, MakeAKeyPairExportItImportItAgainAndSetGroupAndSigningKey) {
  const std::string folder = FreshFolder("keymanager");
  const std::string keyfile = MakeKeyfile(folder, "keys");
  DeskOptions options;
  options.program_folder = folder;
  std::wstring public_armor, private_armor, step_during_run, import_prompt;
  std::vector<std::wstring> my_keys, recipient_keys, members, signing;
  std::wstring signing_label;
  bool cancelled_form_gone = false, warning_seen = false;
  std::wstring fingerprint_after_cancel = L"?";
  std::vector<std::wstring> boxes_seen;
  int bar_during_run = -1;
  RunWithDriver(options, [&] {
    HWND main = OpenWithPassphrase(L"keys");
    ASSERT_NE(main, nullptr);
    Menu(main, lq::gui::main_ctl::kMenuKeymanager);
    HWND km = WaitForm(L"Lockquill V1.0 - Keymanager");
    ASSERT_NE(km, nullptr);

    // A new key, named through the text-entry dialog, with the names a key pair needs.
    Click(km, kmc::kNew);
    ASSERT_TRUE(EnterText(L"Alice"));
    ASSERT_TRUE(WaitFor([&] { return ListItems(Control(km, kmc::kKeyList)).size() == 1; }));
    Type(Control(km, kmc::kKeyname + 1), L"Alice");
    Type(Control(km, kmc::kKeyname + 2), L"Liddell");
    Type(Control(km, kmc::kKeyname + 3), L"Wonderland Ltd");
    Type(Control(km, kmc::kEmailAddress), L"alice@example.org");

    // A 4096-bit calculation shows its progress and stops on Cancel without storing.
    Click(km, kmc::kCalculate);
    HWND dlg = WaitForm(L"Lockquill V1.0 - Public key calculation");
    ASSERT_NE(dlg, nullptr);
    SendMessageW(Control(dlg, calc::kCompany), BM_SETCHECK, BST_CHECKED, 0);
    SavePicture(dlg, "keys-calc-1-choices");
    // 8192 bits: long enough that Cancel arrives while the first pair is still being searched.
    SendMessageW(Control(dlg, calc::kLength), CB_SETCURSEL, 7, 0);
    Click(dlg, calc::kCalculate);
    ASSERT_TRUE(WaitFor(
        [&] { return Text(Control(dlg, calc::kStep)).find(L"Step") != std::wstring::npos; }));
    Sleep(700);
    step_during_run = Text(Control(dlg, calc::kStep));
    bar_during_run = static_cast<int>(SendMessageW(Control(dlg, calc::kBar), PBM_GETPOS, 0, 0));
    SavePicture(dlg, "keys-calc-2-running");
    Click(dlg, calc::kCancel);
    cancelled_form_gone = WaitGone(dlg, 60000);
    Sleep(300);
    fingerprint_after_cancel = Text(Control(km, kmc::kFingerprint));

    // 512 bits: the short-key warning, then both pairs.
    Click(km, kmc::kCalculate);
    dlg = WaitForm(L"Lockquill V1.0 - Public key calculation");
    ASSERT_NE(dlg, nullptr) << DumpWindows();
    SendMessageW(Control(dlg, calc::kCompany), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(Control(dlg, calc::kLength), CB_SETCURSEL, 1, 0);  // "512"
    Click(dlg, calc::kCalculate);
    HWND box = WaitMessageBox();
    ASSERT_NE(box, nullptr);
    warning_seen = MessageBoxText(box).find(L"2048 bits") != std::wstring::npos;
    ASSERT_TRUE(warning_seen) << DumpWindows();
    Answer(box, IDOK);
    ASSERT_TRUE(WaitGone(dlg, 120000));
    ASSERT_TRUE(WaitFor([&] { return Text(Control(km, kmc::kFingerprint)).size() == 45; }));
    my_keys = ListItems(Control(km, kmc::kKeyList));
    SavePicture(km, "keys-tab-1-my-keys");

    // Export: public only, then with the private part.
    Click(km, kmc::kExport);
    HWND ex = WaitForm(L"Lockquill V1.0 - Export public key");
    ASSERT_NE(ex, nullptr);
    SavePicture(ex, "keys-export-1-public");
    // The display's clipboard outlives the program: an earlier run's key must not pass.
    ASSERT_TRUE(PutOnClipboard(L"-"));
    Click(ex, expc::kClipboard);
    ASSERT_TRUE(WaitFor([&] {
      return ClipboardText().find(L"-----End_Lockquill_public_key-----") != std::wstring::npos;
    }));
    public_armor = ClipboardText();
    Click(ex, expc::kIncludePrivate);
    Sleep(300);
    SavePicture(ex, "keys-export-2-private");
    Click(ex, expc::kClipboard);
    ASSERT_TRUE(WaitFor(
        [&] { return ClipboardText().find(L"public_+_private_key") != std::wstring::npos; }));
    private_armor = ClipboardText();
    Click(ex, expc::kCancel);
    ASSERT_TRUE(WaitGone(ex));

    // Import the public block on the recipients' tab: preview, known KeyID -> No -> new name.
    Menu(km, kmc::kMenuTab1 + 1);
    Sleep(300);
    ASSERT_TRUE(PutOnClipboard(public_armor));
    Click(km, kmc::kImport);
    HWND im = WaitForm(L"Lockquill V1.0 - Import public key");
    ASSERT_NE(im, nullptr);
    SavePicture(im, "keys-import");
    Click(im, impc::kFromClipboard);
    // The preview (Yes), then the question for the known KeyID (No: a second key), then the
    // name of the new key.
    for (int i = 0; i < 2; ++i) {
      box = WaitMessageBox();
      ASSERT_NE(box, nullptr) << DumpWindows();
      const std::wstring text = MessageBoxText(box);
      boxes_seen.push_back(text.find(L"Fingerprint: ") != std::wstring::npos ? L"preview"
                           : text.find(L"same KeyID") != std::wstring::npos  ? L"known"
                                                                             : text);
      if (i == 0) import_prompt = text;
      Answer(box, i == 0 ? IDYES : IDNO);
    }
    ASSERT_TRUE(EnterText(L"Alice imported"));
    ASSERT_TRUE(WaitGone(im));
    ASSERT_TRUE(WaitFor([&] { return ListItems(Control(km, kmc::kKeyList)).size() == 1; }));
    recipient_keys = ListItems(Control(km, kmc::kKeyList));
    SavePicture(km, "keys-tab-2-recipient-keys");

    // A group with both keys.
    Menu(km, kmc::kMenuTab1 + 2);
    Sleep(300);
    Click(km, kmc::kAddGroup);
    ASSERT_TRUE(EnterText(L"Friends"));
    ASSERT_TRUE(WaitFor([&] { return ListItems(Control(km, kmc::kOthers)).size() == 2; }));
    ClickListEntry(km, kmc::kOthers, 0);
    ASSERT_TRUE(WaitFor([&] { return ListItems(Control(km, kmc::kOthers)).size() == 1; }));
    ClickListEntry(km, kmc::kOthers, 0);
    ASSERT_TRUE(WaitFor([&] { return ListItems(Control(km, kmc::kMembers)).size() == 2; }));
    members = ListItems(Control(km, kmc::kMembers));
    SavePicture(km, "keys-tab-3-groups");

    // The signing key with always-encrypt.
    Menu(km, kmc::kMenuTab1 + 3);
    Sleep(300);
    signing = ListItems(Control(km, kmc::kSigningList));
    ClickListEntry(km, kmc::kSigningList, 0);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(Control(km, kmc::kAlwaysEncrypt)) != 0; }));
    Click(km, kmc::kAlwaysEncrypt);
    ASSERT_TRUE(WaitFor([&] {
      return SendMessageW(Control(km, kmc::kAlwaysEncrypt), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }));
    signing_label = Text(Control(km, kmc::kSigningLabel));
    SavePicture(km, "keys-tab-4-signing");

    Menu(km, kmc::kMenuTab1 + 4);
    Sleep(300);
    SavePicture(km, "keys-tab-5-keyfile");
    Click(km, kmc::kExit);
    ASSERT_TRUE(WaitGone(km));
    PostMessageW(main, WM_CLOSE, 0, 0);
    WaitGone(main, 20000);
  });

  EXPECT_TRUE(cancelled_form_gone);
  EXPECT_EQ(fingerprint_after_cancel, L"");  // nothing was stored
  EXPECT_NE(step_during_run.find(L" of 2:  Step"), std::wstring::npos) << step_during_run;
  EXPECT_GE(bar_during_run, 0);
  EXPECT_TRUE(warning_seen);
  EXPECT_EQ(my_keys, std::vector<std::wstring>{L"Alice"});
  EXPECT_NE(public_armor.find(L"-----Start_Lockquill_public_key-----"), std::wstring::npos);
  EXPECT_NE(private_armor.find(L"-----Start_Lockquill_public_+_private_key-----"),
            std::wstring::npos);
  EXPECT_EQ(boxes_seen, (std::vector<std::wstring>{L"preview", L"known"}));
  EXPECT_NE(import_prompt.find(L"Liddell"), std::wstring::npos);
  EXPECT_NE(import_prompt.find(L"Fingerprint: "), std::wstring::npos);
  EXPECT_EQ(recipient_keys, std::vector<std::wstring>{L"Alice imported"});
  EXPECT_EQ(members, (std::vector<std::wstring>{L"Alice", L"Alice imported"}));
  EXPECT_EQ(signing, std::vector<std::wstring>{L"Alice"});
  EXPECT_EQ(signing_label, L"Alice");

  // What the program saved: two keys, one pair each, the group, the signing key.
  lq::test::RecordingUi ui;
  lq::RandomContext random;
  lq::Keyfile kf(ui, random);
  std::string pass = "keys";
  ASSERT_EQ(lq::OpenKeyfile(kf, keyfile, pass), lq::kKeyfileOpened);
  ASSERT_EQ(kf.keys.size(), 2u);
  ASSERT_EQ(kf.groups.size(), 1u);
  EXPECT_EQ(kf.groups[0].members.size(), 2u);
  EXPECT_TRUE(lq::AlwaysEncrypt(kf));
  lq::UserId user;
  ASSERT_TRUE(lq::ReadUserId(kf, lq::SigningKey(kf), user));
  EXPECT_EQ(user.keyname, "Alice");
  EXPECT_EQ(user.last_name, "Liddell");
  lq::RsaKeyRecord pub;
  ASSERT_TRUE(lq::ReadRsaKeyRecord(kf, lq::rec::kEncryptionPublicKey, lq::SigningKey(kf), pub));
  EXPECT_EQ(pub.bits, 512);
}

}  // namespace
