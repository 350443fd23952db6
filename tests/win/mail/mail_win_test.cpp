// The mail layer on the real Win32 Desktop under Wine: Simple MAPI through a fake mapi32.dll
// of ours in the program folder (it records the records it receives), and the shipped Notepad
// driver filling a real Notepad window with the mail.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/mail_setup.h"
#include "base/catalogue.h"
#include "base/winstr_win32.h"
#include "platform/win32/win32_desktop.h"
#include "support/recording_ui.h"

namespace lq {
namespace {

std::string ExeFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  return Utf8FromWide(folder);
}

// A fresh folder under the temporary folder, ending in "\".
std::string FreshFolder(const std::string& name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::string folder = Utf8FromWide(temp) + name + std::to_string(GetTickCount()) + "\\";
  CreateDirectoryW(WideFromUtf8(folder).c_str(), nullptr);
  return folder;
}

bool Copy(const std::string& from, const std::string& to) {
  return CopyFileW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(), FALSE) != 0;
}

bool WriteText(const std::string& path, const std::string& text) {
  return ReplaceWholeFile(path, text) == fe::kOk;
}

// The fake library's record of what it received, "" when the loaded mapi32.dll is not ours.
std::string FakeLog(Desktop& d, const std::string& dll) {
  const LibraryId lib = d.OpenLibrary(dll);
  using LogFn = const char*(WINAPI*)();
  auto log = reinterpret_cast<LogFn>(d.LibrarySymbol(lib, "LqFakeMapiLog"));
  std::string out = log ? log() : "";
  d.CloseLibrary(lib);
  return out;
}
void FakeReset(Desktop& d, const std::string& dll, ULONG logon, ULONG send) {
  const LibraryId lib = d.OpenLibrary(dll);
  using ResetFn = void(WINAPI*)(ULONG, ULONG);
  auto reset = reinterpret_cast<ResetFn>(d.LibrarySymbol(lib, "LqFakeMapiReset"));
  ASSERT_NE(reset, nullptr) << "the mapi32.dll loaded is not the fake one";
  reset(logon, send);
  d.CloseLibrary(lib);
}

bool Has(const std::string& log, const std::string& line) {
  return log.find(line + "\n") != std::string::npos;
}

class MailWinTest : public ::testing::Test {
 protected:
  MailWinTest() : s(ui, desktop), mail(s) {}
  void SetUp() override {
    folder = FreshFolder("lq-mail-");
    s.env.program_folder = folder;
    mail.Install();
  }
  void TearDown() override { mail.Unload(); }
  // The fake (with or without MAPISendMailW) as the program folder's mapi32.dll.
  void UseFake(const char* variant) {
    dll = folder + "mapi32.dll";
    ASSERT_TRUE(Copy(ExeFolder() + "fakemapi_" + variant + "\\mapi32.dll", dll));
    mail.mapi.library_name = dll;
    ASSERT_TRUE(WriteText(folder + "Mapi.txt",
                          "$LOCKQUILL_E-MAILDRIVER\r\n$CALLPROG_START\r\n$MAPI SEND\r\n"
                          "$CALLPROG_END\r\n$ATTACHFILE_START\r\n$FILENAME\r\n"
                          "$ATTACHFILE_END\r\n"));
    ASSERT_TRUE(mail.SelectDriver("Mapi"));
    // Loaded now, as the first mail would: the fake's answers live in the loaded library.
    ASSERT_TRUE(mail.mapi.Load());
    FakeReset(desktop, dll, 0, 0);
  }

  test::RecordingUi ui;
  Win32Desktop desktop;
  Session s;
  MailService mail;
  std::string folder, dll;
};

TEST_F(MailWinTest, TheWideRecordsCarryTheWholePacketAndNamesOutsideAnsi) {
  UseFake("wide");
  const std::string packet = folder + "Gru\xC3\x9F \xE2\x82\xAC.lqe";  // "Gruß €.lqe"
  ASSERT_TRUE(WriteText(packet, "packet"));
  std::string body;
  for (int i = 0; body.size() < 100 * 1024; ++i) body += "line " + std::to_string(i) + "\r\n";
  ASSERT_TRUE(s.mail.create_mail("a@x.org;b@y.org", "Subject \xC3\xA4", body,
                                 packet + ";" + folder + "gone.lqe"));
  EXPECT_TRUE(ui.boxes.empty());
  const std::string log = FakeLog(desktop, dll);
  ASSERT_FALSE(log.empty()) << "the fake mapi32.dll was not the one loaded";
  EXPECT_TRUE(Has(log, "MAPILogon ui=0 profile= password= flags=1")) << log.substr(0, 400);
  EXPECT_TRUE(Has(log, "MAPISendMailW session=20816 ui=0 flags=9"));
  EXPECT_TRUE(Has(log, "subject=Subject \xC3\xA4"));
  EXPECT_TRUE(Has(log, "type=(null) originator=null"));
  EXPECT_TRUE(Has(log, "recipient class=1 name=a@x.org address=SMTP:a@x.org"));
  EXPECT_TRUE(Has(log, "recipient class=1 name=b@y.org address=SMTP:b@y.org"));
  // The body is trimmed of blanks only; two requested files leave two blanks, the missing one
  // is left out.
  const std::string note = body + "\r\n  ";
  EXPECT_TRUE(Has(log, "note_length=" + std::to_string(note.size())));
  EXPECT_TRUE(Has(log, "note=" + note));
  EXPECT_TRUE(Has(log, "file position=" + std::to_string(note.size() - 2) + " path=" + packet +
                           " name=(null)"));
  EXPECT_EQ(log.find("gone.lqe"), std::string::npos);
  EXPECT_TRUE(Has(log, "MAPILogoff session=20816"));
}

TEST_F(MailWinTest, WithoutTheWideEntryTheAnsiRecordsAreSent) {
  UseFake("ansi");
  const std::string packet = folder + "plain.lqe";
  ASSERT_TRUE(WriteText(packet, "packet"));
  ASSERT_TRUE(s.mail.create_mail("a@x.org", "Hi", "0123456789", packet + ";" + packet));
  const std::string log = FakeLog(desktop, dll);
  EXPECT_TRUE(Has(log, "MAPISendMail session=20816 ui=0 flags=9")) << log;
  EXPECT_TRUE(Has(log, "note=0123456789\r\n  "));
  EXPECT_TRUE(Has(log, "file position=12 path=" + packet + " name=(null)"));
  EXPECT_TRUE(Has(log, "file position=13 path=" + packet + " name=(null)"));
}

TEST_F(MailWinTest, AFailureIsShownAndACancelIsNot) {
  UseFake("wide");
  FakeReset(desktop, dll, 0, 2);
  EXPECT_FALSE(s.mail.create_mail("a@x.org", "Hi", "body", ""));
  EXPECT_EQ(ui.MessageKeys(), std::vector<std::string>{"EMDriver_MapiSendFailed"});
  EXPECT_EQ(ui.status, "No mail was created");
  EXPECT_EQ(ui.status_colour, kStatusColourRed);

  ui.boxes.clear();
  FakeReset(desktop, dll, 1, 0);  // the user cancels the logon dialog
  EXPECT_FALSE(s.mail.create_mail("a@x.org", "Hi", "body", ""));
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(FakeLog(desktop, dll).find("MAPISendMail"), std::string::npos);
}

// --- The Notepad driver against a real Notepad window --------------------------------------

struct Found {
  HWND frame = nullptr;
};
BOOL CALLBACK FindNotepad(HWND h, LPARAM param) {
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  if (lstrcmpiW(cls, L"Notepad") == 0 && IsWindowVisible(h)) {
    reinterpret_cast<Found*>(param)->frame = h;
    return FALSE;
  }
  return TRUE;
}

HWND NotepadFrame() {
  Found f;
  EnumWindows(FindNotepad, reinterpret_cast<LPARAM>(&f));
  return f.frame;
}

void EndNotepad(HWND frame) {
  DWORD pid = 0;
  GetWindowThreadProcessId(frame, &pid);
  if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
    TerminateProcess(p, 0);
    WaitForSingleObject(p, 5000);
    CloseHandle(p);
  }
}

TEST_F(MailWinTest, TheNotepadDriverWritesTheMailIntoNotepad) {
  while (HWND old = NotepadFrame()) EndNotepad(old);
  ASSERT_TRUE(Copy(ExeFolder() + "Notepad.txt", folder + "Notepad.txt"));
  ASSERT_EQ(mail.DriverNames(), std::vector<std::string>{"Notepad"});
  ASSERT_TRUE(mail.SelectDriver("Notepad"));
  ASSERT_TRUE(s.mail.can_attach_files());
  const bool made = s.mail.create_mail("a@x.org;b@y.org", "Hello there", "ARMOR\r\nTEXT",
                                       "C:\\mail\\one.lqe;C:\\mail\\two.lqe");
  EXPECT_TRUE(ui.boxes.empty()) << (ui.boxes.empty() ? "" : ui.boxes[0].text);
  EXPECT_TRUE(made);
  const HWND frame = NotepadFrame();
  ASSERT_NE(frame, nullptr);
  const HWND edit = FindWindowExW(frame, nullptr, L"Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  std::string text;
  // The last keys may still be on their way.
  for (int i = 0; i < 50; ++i) {
    const int n = static_cast<int>(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
    std::wstring w(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(edit, WM_GETTEXT, w.size(), reinterpret_cast<LPARAM>(w.data()));
    w.resize(static_cast<size_t>(n));
    text = Utf8FromWide(w);
    if (text.find("Lockquill") != std::string::npos) break;
    Sleep(100);
  }
  EXPECT_EQ(text,
            "To: a@x.org;b@y.org\r\nSubject: Hello there\r\n\r\nARMOR\r\nTEXT\r\n"
            "Attachment: C:\\mail\\one.lqe\r\nAttachment: C:\\mail\\two.lqe\r\n"
            "\r\n-- written by Lockquill\r\n");
  EndNotepad(frame);
}

}  // namespace
}  // namespace lq
