// Proves the Windows test path: real Win32 calls under Wine on the shared virtual display —
// a window, the clipboard, a global hotkey, and the Windows file layer's error numbers.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/datetime.h"
#include "base/file_io.h"
#include "base/winstr_win32.h"

namespace lq {
namespace {

LRESULT CALLBACK TestWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(hwnd, msg, wp, lp);
}

class Win32Window : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LqSmokeTestClass";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(0, L"LqSmokeTestClass", L"Lockquill smoke test", WS_OVERLAPPEDWINDOW,
                            10, 10, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hwnd_, nullptr) << GetLastError();
  }
  void TearDown() override {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  HWND hwnd_ = nullptr;
};

TEST_F(Win32Window, CreatesAndNamesAWindow) {
  ShowWindow(hwnd_, SW_SHOW);
  wchar_t title[64] = {};
  GetWindowTextW(hwnd_, title, 64);
  EXPECT_EQ(std::wstring(title), L"Lockquill smoke test");
  wchar_t cls[64] = {};
  GetClassNameW(hwnd_, cls, 64);
  EXPECT_EQ(std::wstring(cls), L"LqSmokeTestClass");
  EXPECT_TRUE(IsWindow(hwnd_));
}

TEST_F(Win32Window, ClipboardTextRoundTrips) {
  const std::wstring text = L"Lockquill clipboard \u00e9\u00e8 test";
  ASSERT_TRUE(OpenClipboard(hwnd_));
  ASSERT_TRUE(EmptyClipboard());
  size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
  ASSERT_NE(mem, nullptr);
  memcpy(GlobalLock(mem), text.c_str(), bytes);
  GlobalUnlock(mem);
  ASSERT_NE(SetClipboardData(CF_UNICODETEXT, mem), nullptr);
  CloseClipboard();

  ASSERT_TRUE(OpenClipboard(hwnd_));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(data, nullptr);
  std::wstring read(static_cast<const wchar_t*>(GlobalLock(data)));
  GlobalUnlock(data);
  CloseClipboard();
  EXPECT_EQ(read, text);
}

TEST_F(Win32Window, HotkeyRegistersOnceAndUnregisters) {
  const int id = GlobalAddAtomW(L"LockquillSmokeHotkey") - 0xC000;
  ASSERT_TRUE(RegisterHotKey(hwnd_, id, MOD_CONTROL | MOD_ALT, 'Q')) << GetLastError();
  // The same combination cannot be taken twice.
  EXPECT_FALSE(RegisterHotKey(hwnd_, id + 1, MOD_CONTROL | MOD_ALT, 'Q'));
  EXPECT_TRUE(UnregisterHotKey(hwnd_, id));
  EXPECT_FALSE(UnregisterHotKey(hwnd_, id));
  // Free again once released.
  EXPECT_TRUE(RegisterHotKey(hwnd_, id, MOD_CONTROL | MOD_ALT, 'Q'));
  EXPECT_TRUE(UnregisterHotKey(hwnd_, id));
}

TEST(Win32Files, ErrorNumbersFromGetLastError) {
  wchar_t tmp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, tmp), 0u);
  std::string dir = Utf8FromWide(tmp);
  std::string contents;
  EXPECT_EQ(ReadWholeFile(dir + "lq-no-such-file.bin", contents), fe::kFileNotFound);
  EXPECT_EQ(ReadWholeFile(dir + "lq-no-such-dir\\x.bin", contents), fe::kPathNotFound);
  EXPECT_EQ(ReadWholeFile(dir + "bad<name>.txt", contents), fe::kBadFileName);

  // Replacing works over an existing file and with a non-ASCII name.
  std::string path = dir + "lq-smoke-\u00e4.bin";  // a non-ASCII name goes through UTF-16
  ASSERT_EQ(ReplaceWholeFile(path, "old"), fe::kOk);
  ASSERT_EQ(ReplaceWholeFile(path, "new"), fe::kOk);
  ASSERT_EQ(ReadWholeFile(path, contents), fe::kOk);
  EXPECT_EQ(contents, "new");
  EXPECT_TRUE(RealFileOps().Exists(path));
  EXPECT_EQ(RealFileOps().Remove(path), fe::kOk);
  EXPECT_FALSE(RealFileOps().Exists(path));
}

TEST(Win32DateTime, UserFormatsAreShortTexts) {
  LocalTime t{2005, 1, 2, 9, 5, 7};
  std::string date = ShortDateText(t);
  std::string time = TimeText(t);
  EXPECT_NE(date.find("2005"), std::string::npos) << date;
  EXPECT_NE(date.find('2'), std::string::npos);
  EXPECT_NE(time.find("05"), std::string::npos) << time;
  EXPECT_TRUE(IsValidLocalTime(CurrentLocalTime()));
  // Outside the calendar the numeric form is used rather than an empty text.
  EXPECT_EQ(ShortDateText(LocalTime{2005, 13, 40, 0, 0, 0}), "2005-13-40");
}

}  // namespace
}  // namespace lq
