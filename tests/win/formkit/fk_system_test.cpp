// The calls that reach the system: path texts, the program folder, the clipboard, the help file,
// the common file dialogs (driven from a timer as a user would fill them in) and context menus.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "fk_harness.h"

namespace {

using fktest::MakeForm;
using fktest::RunToolkit;

TEST(FormkitSystem, PathTextsSplitFolderAndName) {
  EXPECT_EQ(FK_GETFILETEXT("C:\\Keys\\Keyfile.lqk"), "Keyfile.lqk");
  EXPECT_EQ(FK_GETPATHTEXT("C:\\Keys\\Keyfile.lqk"), "C:\\Keys\\");
  EXPECT_EQ(FK_GETFILETEXT("C:Keyfile.lqk"), "Keyfile.lqk");
  EXPECT_EQ(FK_GETPATHTEXT("C:Keyfile.lqk"), "C:\\");
  EXPECT_EQ(FK_GETFILETEXT("Keyfile.lqk"), "Keyfile.lqk");
  EXPECT_EQ(FK_GETPATHTEXT("Keyfile.lqk"), "");
  EXPECT_EQ(FK_GETFILETEXT("C:\\Keys\\"), "");
  EXPECT_EQ(FK_GETFILETEXT(nullptr), "");
  // A short buffer gets a cut, terminated text and the full length.
  char small[5];
  EXPECT_EQ(FK_GETFILETEXT("C:\\Keyfile.lqk", small, sizeof(small)), 11);
  EXPECT_STREQ(small, "Keyf");
}

TEST(FormkitSystem, ProgramFolderEndsWithABackslash) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path = exe;
  std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
  std::string app = FK_GETAPPPATHNAME();
  ASSERT_FALSE(app.empty());
  EXPECT_EQ(app.back(), '\\');
  EXPECT_EQ(app.size(), folder.size());  // ASCII build folders: one byte per character
}

TEST(FormkitSystem, ClipboardTextRoundTripsInUtf8) {
  const std::string text =
      "-----BEGIN PACKET-----\r\nGr\xC3\xBC\xC3\x9F"
      "e\r\n-----END-----";
  ASSERT_TRUE(FK_SETCLIPBOARD(text.c_str()));
  EXPECT_EQ(FK_GETCLIPBOARD(), text);
  ASSERT_TRUE(FK_SETCLIPBOARD(""));
  EXPECT_EQ(FK_GETCLIPBOARD(), "");
}

TEST(FormkitSystem, AMissingHelpFileOpensNothing) {
  RunToolkit([] {
    EXPECT_EQ(FK_WINHELP("", "", FK_HELP_CONTENTS, 0), 0);
    EXPECT_NE(FK_GETLASTERROR().find("LOCKQUILL.HLP\" is missing"), std::string::npos)
        << FK_GETLASTERROR();
    EXPECT_EQ(FK_WINHELP("", "C:\\no\\such.hlp", FK_HELP_TOPIC, 3), 0);
  });
}

// Fills the open dialog's file name and presses Open, from a timer that fires inside the
// dialog's own message loop.
std::wstring g_answer;

// The file dialog: a visible dialog with the file-name field (control 1148: edt1 in the classic
// dialog, the combo box cmb13 holding an edit child in the explorer one).
BOOL CALLBACK FindDialog(HWND h, LPARAM out) {
  wchar_t cls[16] = {};
  GetClassNameW(h, cls, 16);
  if (std::wstring(cls) == L"#32770" && IsWindowVisible(h) && GetDlgItem(h, 1148)) {
    *reinterpret_cast<HWND*>(out) = h;
    return FALSE;
  }
  return TRUE;
}

// Answers on every tick until the dialog is gone: a loaded machine may show the dialog before
// it takes input, and an answer given too early is lost.
void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog || !IsWindowEnabled(dialog)) return;
  if (g_answer.empty()) {
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  HWND name = GetDlgItem(dialog, 1148);
  HWND edit = FindWindowExW(name, nullptr, L"Edit", nullptr);
  SetWindowTextW(edit ? edit : name, g_answer.c_str());
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

// Runs a dialog call with the answer given from a timer inside the dialog's own loop.
template <typename F>
std::string Answered(const std::wstring& answer, F call) {
  g_answer = answer;
  UINT_PTR timer = SetTimer(nullptr, 0, 300, AnswerDialog);
  std::string result = call();
  KillTimer(nullptr, timer);
  return result;
}

std::string TempFolder() {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  std::string dir = tmp;
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();
  return dir;
}

TEST(FormkitSystem, MultiSelectOpenReturnsFolderAndNames) {
  std::string dir = TempFolder();
  for (const char* name : {"fk-open-a.txt", "fk-open-b.txt"}) {
    FILE* f = std::fopen((dir + "\\" + name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  RunToolkit([dir] {
    ASSERT_TRUE(MakeForm("MAIN", [] {}));
    EXPECT_EQ(Answered(L"\"fk-open-a.txt\" \"fk-open-b.txt\"",
                       [&] {
                         return FK_OPENFILE("MAIN", "Select files to include",
                                            "Text Files|*.txt|All files|*.*", dir.c_str(),
                                            FK_OF_MULTISELECT);
                       }),
              dir + "|fk-open-a.txt|fk-open-b.txt");
    // One name in multi-select mode comes as folder and name too.
    EXPECT_EQ(Answered(L"fk-open-b.txt",
                       [&] {
                         return FK_OPENFILE("MAIN", "One file", "Text Files|*.txt", dir.c_str(),
                                            FK_OF_MULTISELECT);
                       }),
              dir + "|fk-open-b.txt");
    EXPECT_EQ(Answered(L"fk-open-a.txt",
                       [&] {
                         return FK_OPENFILE("MAIN", "One file", "Text Files|*.txt", dir.c_str(), 0);
                       }),
              dir + "\\fk-open-a.txt");
    // Cancel gives an empty answer; so does a save dialog that is cancelled.
    EXPECT_EQ(
        Answered(
            L"",
            [&] { return FK_OPENFILE("MAIN", "Cancel me", "Text Files|*.txt", dir.c_str(), 0); }),
        "");
    EXPECT_EQ(Answered(L"",
                       [&] {
                         return FK_SAVEFILE("MAIN", "Select name to save logtext",
                                            "Text Files|*.txt", dir.c_str(), "LogText.txt", "txt");
                       }),
              "");
  });
  std::remove((dir + "\\fk-open-a.txt").c_str());
  std::remove((dir + "\\fk-open-b.txt").c_str());
}

TEST(FormkitSystem, SaveDialogAddsTheDefaultExtension) {
  std::string dir = TempFolder();
  RunToolkit([dir] {
    ASSERT_TRUE(MakeForm("MAIN", [] {}));
    EXPECT_EQ(Answered(L"fk-saved-log",
                       [&] {
                         return FK_SAVEFILE("MAIN", "Select name to save logtext",
                                            "Text Files|*.txt", dir.c_str(), "LogText.txt", "txt");
                       }),
              dir + "\\fk-saved-log.txt");
  });
}

// Presses Yes in a question box that the save dialog raises over itself, noting that it did.
bool g_asked = false;

BOOL CALLBACK FindQuestion(HWND h, LPARAM out) {
  wchar_t cls[16] = {};
  GetClassNameW(h, cls, 16);
  // The question box is a dialog without the file dialog's name field.
  if (std::wstring(cls) == L"#32770" && IsWindowVisible(h) && !GetDlgItem(h, 1148)) {
    *reinterpret_cast<HWND*>(out) = h;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK AnswerQuestion(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindQuestion, reinterpret_cast<LPARAM>(&box));
  if (!box) return;
  g_asked = true;
  PostMessageW(box, WM_COMMAND, IDYES, 0);
}

TEST(FormkitSystem, SaveDialogAsksBeforeReplacingOnlyWhenTheCallerWantsIt) {
  std::string dir = TempFolder();
  std::string existing = dir + "\\fk-existing.lqe";
  FILE* f = std::fopen(existing.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  RunToolkit([dir, existing] {
    ASSERT_TRUE(MakeForm("MAIN", [] {}));
    UINT_PTR watch = SetTimer(nullptr, 0, 100, AnswerQuestion);
    // The program asks its own question ("EnDec_FileExists"): the dialog must not.
    g_asked = false;
    EXPECT_EQ(Answered(L"fk-existing.lqe",
                       [&] {
                         return FK_SAVEFILE("MAIN", "Save as file", "Packet files|*.lqe",
                                            dir.c_str(), "", "lqe");
                       }),
              existing);
    EXPECT_FALSE(g_asked);
    g_asked = false;
    EXPECT_EQ(Answered(L"fk-existing.lqe",
                       [&] {
                         return FK_SAVEFILE("MAIN", "Save as file", "Packet files|*.lqe",
                                            dir.c_str(), "", "lqe", FK_SF_ASKREPLACE);
                       }),
              existing);
    EXPECT_TRUE(g_asked);
    KillTimer(nullptr, watch);
  });
  std::remove(existing.c_str());
}

// Holds the clipboard open from another thread for `hold_ms`, as another program would.
struct Holder {
  DWORD hold_ms = 0;
  HANDLE opened = nullptr;
  bool ok = false;
};

DWORD WINAPI HoldClipboard(void* arg) {
  auto* holder = static_cast<Holder*>(arg);
  HWND window = CreateWindowExW(0, L"STATIC", L"holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr);
  // The system itself may read a new clipboard text for a moment: try until it is free.
  BOOL ok = FALSE;
  for (int i = 0; i < 200 && !(ok = OpenClipboard(window)); ++i) Sleep(10);
  holder->ok = ok != 0;
  SetEvent(holder->opened);
  if (ok) {
    Sleep(holder->hold_ms);
    CloseClipboard();
  }
  DestroyWindow(window);
  return ok ? 0 : 1;
}

// Waits for a handle while this thread's windows keep answering: the system may ask the
// clipboard's owner (a toolkit window of this thread) about its data meanwhile.
void WaitPumping(HANDLE handle) {
  DWORD start = GetTickCount();
  while (WaitForSingleObject(handle, 10) == WAIT_TIMEOUT && GetTickCount() - start < 10000) {
    fktest::Pump();
  }
}

HANDLE StartHolder(Holder* holder) {
  holder->opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, HoldClipboard, holder, 0, nullptr);
  WaitPumping(holder->opened);
  return thread;
}

TEST(FormkitSystem, ClipboardSetWaitsWhileAnotherProgramHoldsIt) {
  RunToolkit([] {
    ASSERT_TRUE(FK_SETCLIPBOARD("before"));
    Holder brief;
    brief.hold_ms = 300;
    HANDLE thread = StartHolder(&brief);
    ASSERT_TRUE(brief.ok);
    DWORD start = GetTickCount();
    EXPECT_TRUE(FK_SETCLIPBOARD("-----BEGIN PACKET-----")) << FK_GETLASTERROR();
    DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, 200u);
    EXPECT_LT(waited, 1000u);
    WaitPumping(thread);
    CloseHandle(thread);
    EXPECT_EQ(FK_GETCLIPBOARD(), "-----BEGIN PACKET-----");
    // The text has an owner: a window of this program (the toolkit's own).
    DWORD pid = 0;
    GetWindowThreadProcessId(GetClipboardOwner(), &pid);
    EXPECT_EQ(pid, GetCurrentProcessId());

    // Held for longer than the toolkit waits: the call reports failure and changes nothing.
    Holder long_one;
    long_one.hold_ms = 2500;
    thread = StartHolder(&long_one);
    ASSERT_TRUE(long_one.ok);
    start = GetTickCount();
    EXPECT_FALSE(FK_SETCLIPBOARD("after"));
    waited = GetTickCount() - start;
    EXPECT_EQ(FK_GETLASTERROR(), "the clipboard is in use by another program");
    EXPECT_GE(waited, 900u);
    EXPECT_LT(waited, 2400u);
    WaitPumping(thread);
    CloseHandle(thread);
    EXPECT_EQ(FK_GETCLIPBOARD(), "-----BEGIN PACKET-----");
  });
}

DWORD FormatValue(const wchar_t* name, bool* present) {
  UINT format = RegisterClipboardFormatW(name);
  *present = IsClipboardFormatAvailable(format) != 0;
  DWORD value = 0xFFFFFFFF;
  if (*present && OpenClipboard(nullptr)) {
    if (HANDLE data = GetClipboardData(format)) {
      if (auto* p = static_cast<const DWORD*>(GlobalLock(data))) {
        value = *p;
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
  }
  return value;
}

TEST(FormkitSystem, SecretClipboardTextIsKeptOutOfHistoryAndCloud) {
  RunToolkit([] {
    const wchar_t* names[] = {L"ExcludeClipboardContentFromMonitorProcessing",
                              L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard"};
    ASSERT_TRUE(FK_SETCLIPBOARDEX("decrypted text", FK_CB_SECRET));
    EXPECT_EQ(FK_GETCLIPBOARD(), "decrypted text");
    for (const wchar_t* name : names) {
      bool present = false;
      EXPECT_EQ(FormatValue(name, &present), 0u);
      EXPECT_TRUE(present);
    }
    std::string owned = "left over";
    FK_GETSECRETCLIPBOARD(owned);
    EXPECT_EQ(owned, "decrypted text");
    // Plain text carries no such marks.
    ASSERT_TRUE(FK_SETCLIPBOARD("armored packet"));
    for (const wchar_t* name : names) {
      bool present = true;
      FormatValue(name, &present);
      EXPECT_FALSE(present);
    }
    // Windows-1252 text goes to the clipboard as what it shows.
    ASSERT_TRUE(FK_SETCLIPBOARD("caf\xE9"));
    if (GetACP() == 1252) {
      EXPECT_EQ(FK_GETCLIPBOARD(), "caf\xC3\xA9");
    }
  });
}

}  // namespace
