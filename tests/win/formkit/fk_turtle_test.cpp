// The turtle-graphics plug-in: its command language drawn on a memory bitmap (known pixels for
// lines, fills, turns, DPI scaling and the figures, numbered errors for bad commands), the
// picture control through the toolkit, and a toolkit without the plug-in beside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fk_harness.h"
#include "formkit3tg/formkit3tg.h"

namespace {

using fktest::MakeForm;
using fktest::RunToolkit;

// A white-initialised 32-bit bitmap the plug-in draws on.
class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ =
        CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    for (int i = 0; i < w * h; ++i) bits_[i] = 0xFFFFFF;
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  COLORREF At(int x, int y) const {
    GdiFlush();
    DWORD p = bits_[y * w_ + x];
    return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
  }
  int Count(COLORREF c, int x0, int x1) const {
    int n = 0;
    for (int y = 0; y < h_; ++y)
      for (int x = x0; x < x1; ++x) n += At(x, y) == c;
    return n;
  }
  int w_, h_;

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  DWORD* bits_ = nullptr;
};

FK3TG_RENDER Plugin() {
  static HMODULE module = LoadLibraryW(L"formkit3tg.dll");
  return module ? reinterpret_cast<FK3TG_RENDER>(
                      reinterpret_cast<void*>(GetProcAddress(module, FK3TG_RENDER_NAME)))
                : nullptr;
}

int Draw(Canvas& c, const char* commands, int dpi = 96) {
  return Plugin()(c.dc(), c.w_, c.h_, dpi, commands);
}

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kLightRed = RGB(255, 0, 0);

TEST(FormkitTurtle, LinesFillsAndTurnsLandOnKnownPixels) {
  ASSERT_NE(Plugin(), nullptr);
  Canvas c(100, 100);
  EXPECT_EQ(Draw(c, "B15;C0;P1;M10,10;L60,10"), 5);
  EXPECT_EQ(c.At(30, 10), kBlack);
  EXPECT_EQ(c.At(30, 30), kWhite);
  EXPECT_EQ(Draw(c, "B4"), 1);
  EXPECT_EQ(c.At(0, 0), RGB(128, 0, 0));
  EXPECT_EQ(c.At(99, 99), RGB(128, 0, 0));
  // Home is the centre with the heading up; turns are clockwise in degrees.
  EXPECT_EQ(Draw(c, "b15; c0; h; f20; t90; f20"), 6);
  EXPECT_EQ(c.At(50, 40), kBlack);
  EXPECT_EQ(c.At(60, 30), kBlack);
  EXPECT_EQ(c.At(60, 40), kWhite);
  // Pen up moves without drawing.
  EXPECT_EQ(Draw(c, "B15;C0;H;U;F20;D;T180;F10"), 8);
  EXPECT_EQ(c.At(50, 35), kBlack);  // drawn back from 30 to 40
  EXPECT_EQ(c.At(50, 25), kWhite);
  EXPECT_EQ(c.At(50, 45), kWhite);
  // Lengths are 96-DPI pixels, scaled for the screen.
  EXPECT_EQ(Draw(c, "B15;C0;M10,10;L20,10", 192), 4);
  EXPECT_EQ(c.At(30, 20), kBlack);
  EXPECT_EQ(c.At(15, 10), kWhite);
}

TEST(FormkitTurtle, ABadCommandStopsTheDrawingAndIsNumbered) {
  Canvas c(50, 50);
  EXPECT_EQ(Draw(c, "B15;X1;B0"), -2);
  EXPECT_EQ(c.At(25, 25), kWhite);  // B0 never ran
  for (const char* bad : {"P0", "P65", "C24", "C-2", "G4,1,1,10,10", "G1,1,8,10,10", "G1,1,1,0,10",
                          "M1", "F1,2", "U1", "F999999999", "F1x", "F", "L1,,2", "Q"}) {
    EXPECT_EQ(Draw(c, bad), -1) << bad;
  }
  EXPECT_EQ(Draw(c, ""), 0);
  EXPECT_EQ(Draw(c, "B15;;  ;C1;"), 2);     // empty commands are skipped, not counted
  EXPECT_EQ(Draw(c, "B+15;C16777216"), 2);  // FK_RGB(0, 0, 0)
  EXPECT_EQ(Draw(c, "F200000"), -1);        // far off any picture
  EXPECT_EQ(Draw(c, "C16777471"), 1);       // FK_RGB(255, 0, 0) is a colour number too
  EXPECT_EQ(Plugin()(c.dc(), 0, 50, 96, "B1"), 0);
  EXPECT_EQ(Plugin()(nullptr, 50, 50, 96, "B1"), 0);
}

TEST(FormkitTurtle, TheKeyGenerationPictureIsACentredSnowflake) {
  Canvas c(400, 400);
  EXPECT_EQ(Draw(c, "P2;B15;G1,12,4,380,350;"), 3);
  // The 380 x 350 box holds a flake 303 wide (350 / (2 / sqrt 3)) and 350 high, centred.
  int top = -1, bottom = -1, left = 400, right = -1;
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 400; ++x) {
      if (c.At(x, y) != kLightRed) continue;
      if (top < 0) top = y;
      bottom = y;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  EXPECT_NEAR(top, 25, 3);
  EXPECT_NEAR(bottom, 375, 3);
  EXPECT_NEAR(left, 48, 3);
  EXPECT_NEAR(right, 351, 3);
  // Mirror-symmetric about the vertical axis.
  int left_half = c.Count(kLightRed, 0, 200), right_half = c.Count(kLightRed, 200, 400);
  EXPECT_GT(left_half, 1000);
  EXPECT_NEAR(left_half, right_half, left_half / 20);
  // A box larger than the picture shrinks to fit it.
  Canvas small(100, 100);
  EXPECT_EQ(Draw(small, "B15;G2,1,3,1000,1000"), 2);
  EXPECT_EQ(small.At(0, 0), kWhite);
  EXPECT_GT(small.Count(RGB(0, 0, 128), 0, 100), 100);
  EXPECT_EQ(Draw(small, "B15;G3,5,0,100,100"), 2);
  EXPECT_GT(small.Count(RGB(128, 0, 128), 0, 100), 100);
}

TEST(FormkitTurtle, EndlessFiguresRunOutOfTheirBudget) {
  Canvas c(50, 50);
  std::string many;
  for (int i = 0; i < 1000; ++i) many += "G2,1,7,40,40;";
  int result = Draw(c, many.c_str());
  EXPECT_LT(result, -100);  // some drew, then the budget ran out
  EXPECT_GT(result, -1000);
}

TEST(FormkitTurtle, ThePictureControlReportsThePluginsResult) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("KEYGEN", [] {
      FK_TURTLEPICTURE("KEYGEN", 1, "P2;B15;G1,12,4,380,350;", 1, 1, 40, 20, "E");
      FK_TURTLEPICTURE("KEYGEN", 2, "B15;Q", 42, 1, 10, 5, "");
    }));
    EXPECT_EQ(FK_GETCHECK("KEYGEN", 1), 3);
    EXPECT_EQ(FK_GETCHECK("KEYGEN", 2), -2);
    FK_SETTEXT("KEYGEN", 2, "B15;C0;L5,5");
    EXPECT_EQ(FK_GETCHECK("KEYGEN", 2), 3);
    EXPECT_EQ(FK_GETTEXT("KEYGEN", 2), "B15;C0;L5,5");
  });
}

// Run in a copy of this program next to a toolkit without its plug-in (see the test below).
TEST(FormkitTurtleChild, WithoutThePluginThePictureStaysEmpty) {
  if (!std::getenv("FK_CHILD_NO_PLUGIN")) GTEST_SKIP() << "runs only as the child of the next test";
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("KEYGEN", [] {
      FK_TURTLEPICTURE("KEYGEN", 1, "P2;B0;G1,12,4,380,350;", 1, 1, 20, 10, "");
      FK_BUTTON("KEYGEN", 2, "Calculate &key", 22, 1, 15, 2, "");
    }));
    FK_SHOWFORM("KEYGEN", FK_SHOW_NORMAL);
    fktest::Pump(100);
    EXPECT_EQ(FK_GETCHECK("KEYGEN", 1), -1000);
    HWND picture = static_cast<HWND>(FK_HANDLE("KEYGEN", 1));
    UpdateWindow(picture);
    HDC dc = GetDC(picture);
    RECT rc;
    GetClientRect(picture, &rc);
    int other = 0;
    for (int y = 0; y < rc.bottom; y += 3) {
      for (int x = 0; x < rc.right; x += 3)
        other += GetPixel(dc, x, y) != GetSysColor(COLOR_WINDOW);
    }
    ReleaseDC(picture, dc);
    EXPECT_EQ(other, 0);
    // The rest of the form works as ever.
    SendMessageW(static_cast<HWND>(FK_HANDLE("KEYGEN", 2)), BM_CLICK, 0, 0);
    EXPECT_EQ(fktest::Only(FK_EV_CLICK).size(), 1u);
  });
}

TEST(FormkitTurtle, AMissingPluginLeavesAnEmptyPictureAndNoCrash) {
  wchar_t exe[MAX_PATH], tmp[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  GetTempPathW(MAX_PATH, tmp);
  std::wstring here = exe;
  here.resize(here.find_last_of(L'\\') + 1);
  std::wstring dir = std::wstring(tmp) + L"fk-noplugin-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(dir.c_str(), nullptr);
  std::wstring copy = dir + L"\\formkit_tests.exe";
  ASSERT_TRUE(CopyFileW(exe, copy.c_str(), FALSE));
  ASSERT_TRUE(
      CopyFileW((here + L"formkit30.dll").c_str(), (dir + L"\\formkit30.dll").c_str(), FALSE));
  ASSERT_EQ(GetFileAttributesW((dir + L"\\formkit3tg.dll").c_str()), INVALID_FILE_ATTRIBUTES);

  SetEnvironmentVariableW(L"FK_CHILD_NO_PLUGIN", L"1");
  std::wstring cmd = L"\"" + copy + L"\" --gtest_filter=FormkitTurtleChild.*";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  BOOL started = CreateProcessW(copy.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                dir.c_str(), &si, &pi);
  SetEnvironmentVariableW(L"FK_CHILD_NO_PLUGIN", nullptr);
  ASSERT_TRUE(started) << GetLastError();
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 120000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(code, 0u) << "the child test failed or crashed";
  DeleteFileW(copy.c_str());
  DeleteFileW((dir + L"\\formkit30.dll").c_str());
  RemoveDirectoryW(dir.c_str());
}

}  // namespace
