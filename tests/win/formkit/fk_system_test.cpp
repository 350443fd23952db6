// The calls that reach the system: path texts, the program folder, the clipboard, the help file,
// the common file dialogs (driven from a timer as a user would fill them in) and context menus.
#include <gtest/gtest.h>

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

BOOL CALLBACK FindDialog(HWND h, LPARAM out) {
  wchar_t cls[16] = {};
  GetClassNameW(h, cls, 16);
  if (std::wstring(cls) == L"#32770" && IsWindowVisible(h)) {
    *reinterpret_cast<HWND*>(out) = h;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog) return;
  KillTimer(nullptr, timer);
  if (g_answer.empty()) {
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  // The file-name field is control 1148 (edt1) in the classic and explorer dialogs; the
  // combo box 1148 (cmb13) holds an edit child in the explorer one.
  HWND name = GetDlgItem(dialog, 1148);
  HWND edit = FindWindowExW(name, nullptr, L"Edit", nullptr);
  SetWindowTextW(edit ? edit : name, g_answer.c_str());
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
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
    g_answer = L"\"fk-open-a.txt\" \"fk-open-b.txt\"";
    SetTimer(nullptr, 0, 300, AnswerDialog);
    std::string chosen =
        FK_OPENFILE("MAIN", "Select files to include", "Text Files|*.txt|All files|*.*",
                    dir.c_str(), FK_OF_MULTISELECT);
    EXPECT_EQ(chosen, dir + "|fk-open-a.txt|fk-open-b.txt");
    // One name in multi-select mode comes as folder and name too.
    g_answer = L"fk-open-b.txt";
    SetTimer(nullptr, 0, 300, AnswerDialog);
    EXPECT_EQ(FK_OPENFILE("MAIN", "One file", "Text Files|*.txt", dir.c_str(), FK_OF_MULTISELECT),
              dir + "|fk-open-b.txt");
    g_answer = L"fk-open-a.txt";
    SetTimer(nullptr, 0, 300, AnswerDialog);
    EXPECT_EQ(FK_OPENFILE("MAIN", "One file", "Text Files|*.txt", dir.c_str(), 0),
              dir + "\\fk-open-a.txt");
    // Cancel gives an empty answer; so does a save dialog that is cancelled.
    g_answer.clear();
    SetTimer(nullptr, 0, 300, AnswerDialog);
    EXPECT_EQ(FK_OPENFILE("MAIN", "Cancel me", "Text Files|*.txt", dir.c_str(), 0), "");
    SetTimer(nullptr, 0, 300, AnswerDialog);
    EXPECT_EQ(FK_SAVEFILE("MAIN", "Select name to save logtext", "Text Files|*.txt", dir.c_str(),
                          "LogText.txt", "txt"),
              "");
  });
  std::remove((dir + "\\fk-open-a.txt").c_str());
  std::remove((dir + "\\fk-open-b.txt").c_str());
}

TEST(FormkitSystem, SaveDialogAddsTheDefaultExtension) {
  std::string dir = TempFolder();
  RunToolkit([dir] {
    ASSERT_TRUE(MakeForm("MAIN", [] {}));
    g_answer = L"fk-saved-log";
    SetTimer(nullptr, 0, 300, AnswerDialog);
    EXPECT_EQ(FK_SAVEFILE("MAIN", "Select name to save logtext", "Text Files|*.txt", dir.c_str(),
                          "LogText.txt", "txt"),
              dir + "\\fk-saved-log.txt");
  });
}

}  // namespace
