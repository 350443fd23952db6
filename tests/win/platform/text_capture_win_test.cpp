// Key strings and text capture on the real Win32 Desktop: SendKeys types into an edit control of
// the test's own, and the selection or the whole text of another program's window (the test
// pad) is fetched through the clipboard and replaced by a paste.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/text_capture.h"
#include "base/winstr_win32.h"
#include "mail/key_strings.h"
#include "platform/win32/win32_desktop.h"
#include "textpad_client.h"

namespace lq {
namespace {

void PumpOwn() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Pumps this thread's messages until `done` holds or `timeout_ms` passed.
template <typename F>
bool PumpUntil(F done, int timeout_ms = 5000) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
  do {
    PumpOwn();
    if (done()) return true;
    Sleep(10);
  } while (static_cast<int>(end - GetTickCount()) > 0);
  return done();
}

std::string EditText(HWND edit) {
  wchar_t buf[4096] = {};
  const int n = GetWindowTextW(edit, buf, 4096);
  return Utf8FromWide({buf, static_cast<size_t>(n)});
}

// A plain top-level window class for the frames of these tests.
const wchar_t* FrameClass() {
  static const wchar_t* name = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"LqKeyTestFrame";
    RegisterClassW(&wc);
    return L"LqKeyTestFrame";
  }();
  return name;
}

class NoSurface : public CaptureSurface {
 public:
  void ShowStickyForm(const std::vector<std::string>&) override { ++shows; }
  void MoveStickyForm(ScreenPoint) override {}
  void CloseStickyForm() override { ++closes; }
  void MinimizeMainWindow() override {}
  void RestoreMainWindow() override {}
  int shows = 0, closes = 0;
};

// A window of the test's own with a multi-line edit control that has the keyboard focus.
class OwnEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    frame_ =
        CreateWindowExW(0, FrameClass(), L"Lockquill key test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                        40, 40, 360, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(frame_, nullptr);
    edit_ = CreateWindowExW(0, L"Edit", L"",
                            WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL,
                            0, 0, 340, 160, frame_, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(edit_, nullptr);
    desktop_.pump = PumpOwn;
    ASSERT_TRUE(PumpUntil([&] {
      SetForegroundWindow(frame_);
      SetFocus(edit_);
      return GetForegroundWindow() == frame_ && GetFocus() == edit_;
    }));
  }
  void TearDown() override { DestroyWindow(frame_); }

  Win32Desktop desktop_;
  HWND frame_ = nullptr, edit_ = nullptr;
};

TEST_F(OwnEdit, SendKeysTypesCharactersNamedKeysAndGroups) {
  SendKeys(desktop_, "Hello, World!~+(ab)c{ENTER}x{BS}{LEFT 2}{DEL}Z");
  const std::string want = "Hello, World!\r\nABZ\r\n";
  EXPECT_TRUE(PumpUntil([&] { return EditText(edit_) == want; })) << EditText(edit_);
  // Nothing stays held.
  for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU}) EXPECT_FALSE(desktop_.IsKeyDown(vk)) << vk;
}

TEST_F(OwnEdit, BraceTokensTypeTheSpecialCharacters) {
  SendKeys(desktop_, "{+}{^}{%}{~}{(}{)}{{}{}}1{TAB}2");
  // What the layout has no key for is not typed (Wine on a bare X server finds none for the
  // parentheses, whose key symbols sit on a second key code there).
  std::string want;
  for (char c : std::string("+^%~(){}1")) {
    if (desktop_.KeyForCharacter(static_cast<unsigned char>(c)) != -1) want += c;
  }
  EXPECT_GE(want.size(), 7u);
  want += "\t2";
  EXPECT_TRUE(PumpUntil([&] { return EditText(edit_) == want; })) << EditText(edit_);
}

TEST_F(OwnEdit, TheLayoutTranslationIsTheSystems) {
  EXPECT_EQ(desktop_.KeyForCharacter('a'), 'A');
  EXPECT_EQ(desktop_.KeyForCharacter('A'), 0x100 | 'A');
  EXPECT_EQ(desktop_.KeyForCharacter('1'), '1');
  EXPECT_EQ(desktop_.KeyForCharacter('~'), 0x100 | 0xC0);
  EXPECT_EQ(desktop_.KeyForCharacter(0x10FFFF), -1);
}

TEST_F(OwnEdit, WaitForClickEndsOnARealClick) {
  RECT r{};
  GetWindowRect(edit_, &r);
  NoSurface surface;
  CaptureContext context{desktop_, surface, false, nullptr};
  int pumps = 0;
  desktop_.pump = [&] {
    PumpOwn();
    if (++pumps == 20) desktop_.ClickMouse({r.left + 30, r.top + 30}, MouseButton::kLeft);
  };
  WaitForClick(context, {"Click"});
  EXPECT_GE(pumps, 20);
  EXPECT_EQ(surface.shows, 1);
  EXPECT_EQ(surface.closes, 1);
}

TEST_F(OwnEdit, WindowTextFocusAndClock) {
  ASSERT_TRUE(
      desktop_.ReplaceWindowText(reinterpret_cast<WindowId>(frame_), "Neuer Titel \xC3\xA4"));
  EXPECT_EQ(desktop_.WindowText(reinterpret_cast<WindowId>(frame_)), "Neuer Titel \xC3\xA4");
  EXPECT_FALSE(desktop_.ReplaceWindowText(0, "x"));
  EXPECT_TRUE(desktop_.FocusWindow(reinterpret_cast<WindowId>(frame_)));
  EXPECT_EQ(GetFocus(), frame_);
  ShowWindow(frame_, SW_MINIMIZE);
  EXPECT_TRUE(desktop_.RestoreWindow(reinterpret_cast<WindowId>(frame_)));
  EXPECT_FALSE(IsIconic(frame_));
  // The clock only goes forward (its steps are the system's: no timing is asserted).
  const uint64_t a = desktop_.Milliseconds();
  Sleep(30);
  EXPECT_GE(desktop_.Milliseconds(), a);
}

class PadCapture : public ::testing::Test {
 protected:
  void SetUp() override { desktop_.pump = PumpOwn; }
  Win32Desktop desktop_;
  NoSurface surface_;
  std::vector<std::string> log_;
  CaptureContext context_{desktop_, surface_, false,
                          [this](std::string_view l) { log_.emplace_back(l); }};
};

TEST_F(PadCapture, TheSelectionIsFetchedFromTheOtherProgram) {
  testpad::Textpad pad;
  ASSERT_TRUE(pad.Start(L"\"Alpha beta gamma\""));
  pad.Select(6, 10);
  ASSERT_TRUE(pad.Activate());
  desktop_.SetClipboardText("stale", false);
  EXPECT_EQ(FetchTextFromFocusedWindow(context_), "beta");
  EXPECT_EQ(log_, std::vector<std::string>{"Copying text from window"});
  EXPECT_EQ(pad.Selection(), std::make_pair(6, 10));
  EXPECT_EQ(surface_.shows, 1);
}

TEST_F(PadCapture, WithoutASelectionTheWholeTextIsFetchedAndThePasteReplacesIt) {
  testpad::Textpad pad;
  ASSERT_TRUE(pad.Start(L"first line"));
  pad.Select(3, 3);
  ASSERT_TRUE(pad.Activate());
  EXPECT_EQ(FetchTextFromFocusedWindow(context_), "first line");
  EXPECT_EQ(surface_.shows, 2);
  ASSERT_TRUE(PasteIntoFocusedWindow(context_, "-----PACKET-----\r\nxyz", true));
  EXPECT_TRUE(PumpUntil([&] { return pad.Text() == L"-----PACKET-----\r\nxyz"; }))
      << Utf8FromWide(pad.Text());
}

TEST_F(PadCapture, AppActivateSwitchesToThePad) {
  testpad::Textpad pad;
  ASSERT_TRUE(pad.Start(L"switch"));
  HWND other =
      CreateWindowExW(0, FrameClass(), L"Lockquill other window", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                      60, 60, 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(PumpUntil([&] {
    SetForegroundWindow(other);
    return GetForegroundWindow() == other;
  }));
  SendKeys(desktop_, "{APPACTIVATE Lockquill test pad}");
  EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == pad.window; }));
  DestroyWindow(other);
}

TEST_F(PadCapture, TheTextOfAFileIsTheStartText) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + L"lq_textpad_start.txt";
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  const char text[] = "line one\nline two \xC3\xA9";
  DWORD wrote = 0;
  WriteFile(f, text, sizeof text - 1, &wrote, nullptr);
  CloseHandle(f);
  testpad::Textpad pad;
  ASSERT_TRUE(pad.Start(L"\"@" + path + L"\""));
  EXPECT_EQ(pad.Text(), L"line one\r\nline two \u00e9");
  pad.Close();
  DeleteFileW(path.c_str());
}

}  // namespace
}  // namespace lq
