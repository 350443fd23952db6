// The Win32 Desktop with real windows, atoms, hotkeys, the clipboard, processes and libraries.
#include "platform/win32/win32_desktop.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <thread>

namespace lq {
namespace {

LRESULT CALLBACK PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  return DefWindowProcW(h, m, w, l);
}

class Win32DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LqDesktopTestClass";
    RegisterClassW(&wc);
    for (HWND* h : {&first_, &second_}) {
      *h = CreateWindowExW(0, L"LqDesktopTestClass", L"Lockquill desktop test \u00e9",
                           WS_OVERLAPPEDWINDOW, 20, 20, 200, 120, nullptr, nullptr, wc.hInstance,
                           nullptr);
      ASSERT_NE(*h, nullptr);
    }
  }
  void TearDown() override {
    DestroyWindow(first_);
    DestroyWindow(second_);
  }
  WindowId First() const { return reinterpret_cast<WindowId>(first_); }
  WindowId Second() const { return reinterpret_cast<WindowId>(second_); }

  Win32Desktop desktop;
  HWND first_ = nullptr, second_ = nullptr;
};

TEST_F(Win32DesktopTest, AtomsAreSharedByName) {
  const uint16_t a = desktop.AddGlobalAtom("Lockquill_Encrypt 4711");
  ASSERT_NE(a, 0);
  EXPECT_GE(a, 0xC000);
  EXPECT_EQ(desktop.AddGlobalAtom("Lockquill_Encrypt 4711"), a);
  EXPECT_NE(desktop.AddGlobalAtom("Lockquill_Encrypt 4712"), a);
  GlobalDeleteAtom(a);
  GlobalDeleteAtom(a);
}

TEST_F(Win32DesktopTest, AHeldHotkeyCannotBeRegisteredByAnotherWindow) {
  // Ctrl+Alt+Shift+F9: unlikely to be held by anything on the test display.
  const unsigned mods = 1 | 2 | 4;
  ASSERT_TRUE(desktop.RegisterHotkey(First(), 0xC100, mods, VK_F9));
  EXPECT_FALSE(desktop.RegisterHotkey(Second(), 0xC101, mods, VK_F9));
  EXPECT_TRUE(desktop.UnregisterHotkey(First(), 0xC100));
  EXPECT_FALSE(desktop.UnregisterHotkey(First(), 0xC100));
  EXPECT_TRUE(desktop.RegisterHotkey(Second(), 0xC101, mods, VK_F9));
  EXPECT_TRUE(desktop.UnregisterHotkey(Second(), 0xC101));
}

TEST_F(Win32DesktopTest, ClipboardTextRoundTripsInUtf8) {
  const std::string text = "Passphrase \xC3\xA9\xE2\x82\xAC line\r\nsecond";
  ASSERT_TRUE(desktop.SetClipboardText(text, false));
  std::string back;
  ASSERT_TRUE(desktop.GetClipboardText(back));
  EXPECT_EQ(back, text);
  ASSERT_TRUE(desktop.SetClipboardText("secret text", true));
  ASSERT_TRUE(desktop.GetClipboardText(back));
  EXPECT_EQ(back, "secret text");
  const UINT history = RegisterClipboardFormatW(L"CanIncludeInClipboardHistory");
  EXPECT_TRUE(IsClipboardFormatAvailable(history));
}

DWORD WINAPI ReadClipboardThread(void* text) {
  return Win32Desktop().GetClipboardText(*static_cast<std::string*>(text)) ? 0 : 1;
}

TEST_F(Win32DesktopTest, TextOfferedOnDemandIsHandedOverWhenAnotherThreadReadsIt) {
  // Another thread reads as a pasting program would: its GetClipboardData asks this thread,
  // which answers while it waits.
  ASSERT_TRUE(desktop.SetClipboardTextOnDemand("first \xC3\xA9"));
  std::string read_there;
  std::thread reader([&] {
    Win32Desktop other;
    other.GetClipboardText(read_there);
  });
  EXPECT_TRUE(desktop.WaitClipboardRead(5000));
  reader.join();
  EXPECT_EQ(read_there, "first \xC3\xA9");
  // Unread, the wait gives up and leaves the text on the clipboard as a plain copy.
  ASSERT_TRUE(desktop.SetClipboardTextOnDemand("second"));
  const DWORD t0 = GetTickCount();
  EXPECT_FALSE(desktop.WaitClipboardRead(200));
  EXPECT_LT(GetTickCount() - t0, 2000u);
  // Read from a thread this one no longer answers: a text still only offered would hold it.
  static std::string back;  // outlives a reader that might never return
  HANDLE later = CreateThread(nullptr, 0, ReadClipboardThread, &back, 0, nullptr);
  ASSERT_NE(later, nullptr);
  ASSERT_EQ(WaitForSingleObject(later, 5000), WAIT_OBJECT_0);
  CloseHandle(later);
  EXPECT_EQ(back, "second");
}

TEST_F(Win32DesktopTest, WindowsAreFoundAndNamed) {
  ShowWindow(first_, SW_SHOW);
  EXPECT_EQ(desktop.WindowClass(First()), "LqDesktopTestClass");
  EXPECT_EQ(desktop.WindowText(First()), "Lockquill desktop test \xC3\xA9");
  EXPECT_TRUE(desktop.IsWindowValid(First()));
  EXPECT_FALSE(desktop.IsWindowValid(0));
  EXPECT_EQ(desktop.WindowText(0), "");
  const WindowId found = desktop.FindTopLevelWindow("LqDesktopTestClass", "");
  EXPECT_TRUE(found == First() || found == Second());
  const auto tops = desktop.TopLevelWindows();
  EXPECT_NE(std::find(tops.begin(), tops.end(), First()), tops.end());
  EXPECT_EQ(std::find(tops.begin(), tops.end(), Second()), tops.end());  // not shown
  HWND child = CreateWindowExW(0, L"EDIT", L"inside", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, first_,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(desktop.ChildWindows(First()),
            std::vector<WindowId>{reinterpret_cast<WindowId>(child)});
  EXPECT_EQ(desktop.WindowText(reinterpret_cast<WindowId>(child)), "inside");
}

TEST_F(Win32DesktopTest, CursorMovesWhereItIsSent) {
  ASSERT_TRUE(desktop.SetCursorPosition({123, 77}));
  EXPECT_EQ(desktop.CursorPosition(), (ScreenPoint{123, 77}));
  EXPECT_FALSE(desktop.IsMouseButtonDown(MouseButton::kMiddle));
}

TEST_F(Win32DesktopTest, AProcessIsStartedAndItsExitCodeRead) {
  ProcessRequest r;
  r.program = "cmd.exe";
  r.arguments = "/c exit 3";
  r.hidden = true;
  const ProcessId p = desktop.StartProcess(r);
  ASSERT_NE(p, 0u);
  int code = -1;
  EXPECT_EQ(desktop.WaitForProcess(p, 30000, code), WaitResult::kExited);
  EXPECT_EQ(code, 3);
  desktop.CloseProcess(p);
  r.program = "C:\\no\\such\\program.exe";
  EXPECT_EQ(desktop.StartProcess(r), 0u);
}

TEST_F(Win32DesktopTest, LibrariesAndTheTemporaryFolder) {
  const LibraryId k = desktop.OpenLibrary("kernel32.dll");
  ASSERT_NE(k, 0u);
  EXPECT_NE(desktop.LibrarySymbol(k, "GetTickCount"), nullptr);
  EXPECT_EQ(desktop.LibrarySymbol(k, "NoSuchExport"), nullptr);
  desktop.CloseLibrary(k);
  EXPECT_EQ(desktop.OpenLibrary("no_such_library_lq.dll"), 0u);
  const std::string temp = desktop.TemporaryFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  int pumped = 0;
  desktop.Pump();  // no pump set: nothing happens
  desktop.pump = [&] { ++pumped; };
  desktop.Pump();
  EXPECT_EQ(pumped, 1);
}

}  // namespace
}  // namespace lq
