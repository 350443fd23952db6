// The window-class inspector: the five lines for known windows, and the running program, which
// must follow the mouse pointer, stay on top and end on Escape.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/winstr_win32.h"
#include "peek_text.h"

namespace lq {
namespace {

LRESULT CALLBACK PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  return DefWindowProcW(h, m, w, l);
}

HWND MakeWindow(const wchar_t* title, int x, int y, int w, int h) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LqPeekTarget";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&wc);
    registered = true;
  }
  HWND hwnd = CreateWindowExW(0, L"LqPeekTarget", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, w,
                              h, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  UpdateWindow(hwnd);
  return hwnd;
}

void Pump(DWORD ms) {
  DWORD end = GetTickCount() + ms;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

TEST(PeekText, TopLevelWindowHasNoParent) {
  HWND hwnd = MakeWindow(L"Peek target", 50, 50, 300, 200);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(PeekText(hwnd), "Window name: Peek target\r\nClass:LqPeekTarget\r\nhWnd: " +
                                HandleText(hwnd) + "\r\nhParent:  0\r\nParent class: \r\n");
  EXPECT_EQ(HandleText(hwnd)[0], ' ');
  DestroyWindow(hwnd);
}

TEST(PeekText, ChildControlNamesItsParent) {
  HWND hwnd = MakeWindow(L"Parent", 50, 50, 300, 200);
  HWND button = CreateWindowExW(0, L"BUTTON", L"&Send", WS_CHILD | WS_VISIBLE, 10, 10, 80, 24, hwnd,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(PeekText(button), "Window name: &Send\r\nClass:Button\r\nhWnd: " + HandleText(button) +
                                  "\r\nhParent: " + HandleText(hwnd) +
                                  "\r\nParent class: LqPeekTarget\r\n");
  DestroyWindow(hwnd);
}

TEST(PeekText, LongTitlesAreCutToTheBuffer) {
  std::wstring title(400, L'x');
  HWND hwnd = MakeWindow(title.c_str(), 50, 50, 300, 200);
  std::string text = PeekText(hwnd);
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "Window name: " + std::string(kPeekBuffer - 1, 'x'));
  DestroyWindow(hwnd);
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

std::string EditText(HWND dialog) {
  wchar_t buf[2048] = {};
  GetDlgItemTextW(dialog, 40, buf, 2048);
  return Utf8FromWide(buf);
}

// Waits (pumping our own messages) until the inspector shows a text containing `needle`.
bool WaitForText(HWND dialog, const std::string& needle, std::string& seen) {
  for (int i = 0; i < 100; ++i) {
    seen = EditText(dialog);
    if (seen.find(needle) != std::string::npos) return true;
    Pump(50);
  }
  return false;
}

TEST(ClassPeekProgram, FollowsThePointerStaysOnTopAndEndsOnEscape) {
  HWND target = MakeWindow(L"Mail window under test", 40, 40, 400, 300);
  ASSERT_NE(target, nullptr);
  Pump(200);

  std::wstring exe = ProgramFolder() + L"classpeek.exe";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(
      CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      << GetLastError();

  HWND dialog = nullptr;
  for (int i = 0; i < 200 && !dialog; ++i) {
    dialog = FindWindowW(nullptr, L"Classpeek v1.0");
    if (!dialog) Pump(50);
  }
  ASSERT_NE(dialog, nullptr) << "the inspector's dialog did not appear";
  // The window may be found before its initialisation has made it top-most.
  bool topmost = false;
  for (int i = 0; i < 100 && !topmost; ++i) {
    topmost = GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST;
    if (!topmost) Pump(20);
  }
  EXPECT_TRUE(topmost);
  HWND edit = GetDlgItem(dialog, 40);
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(GetWindowLongW(edit, GWL_STYLE) & ES_MULTILINE);
  EXPECT_TRUE(GetWindowLongW(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

  // The pointer over a known window: its five lines.
  RECT r;
  GetWindowRect(target, &r);
  SetCursorPos(r.left + 60, r.top + 100);
  std::string seen;
  std::string expected =
      "Window name: Mail window under test\r\nClass:LqPeekTarget\r\nhWnd: " + HandleText(target) +
      "\r\nhParent:  0\r\nParent class: \r\n";
  EXPECT_TRUE(WaitForText(dialog, "Mail window under test", seen)) << seen;
  EXPECT_EQ(seen, expected);

  // The pointer over the bare desktop: no parent.
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 3, GetSystemMetrics(SM_CYSCREEN) - 3);
  std::string desktop_class = "Class:#32769";
  EXPECT_TRUE(WaitForText(dialog, desktop_class, seen)) << seen;
  EXPECT_NE(seen.find("hParent:  0\r\nParent class: \r\n"), std::string::npos) << seen;

  // Escape (IDCANCEL) ends the program.
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  DestroyWindow(target);
}

}  // namespace
}  // namespace lq
