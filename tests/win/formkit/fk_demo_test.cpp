// The demo form under test: it builds with every control kind, its pages switch through its own
// menu, and a photograph of each page taken from the screen is not blank (the pictures page
// shows the key-generation snowflake). The photographs are kept as BMP files in the temp folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "demo_form.h"
#include "fk_harness.h"

namespace {

using fktest::H;
using fktest::Pump;
using fktest::RunToolkit;

struct Shot {
  int w = 0, h = 0;
  std::vector<DWORD> pixels;  // 0x00RRGGBB, top row first
};

Shot Photograph(HWND hwnd) {
  Shot shot;
  RECT rc;
  GetWindowRect(hwnd, &rc);
  shot.w = rc.right - rc.left;
  shot.h = rc.bottom - rc.top;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = shot.w;
  bi.bmiHeader.biHeight = -shot.h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, shot.w, shot.h, screen, rc.left, rc.top, SRCCOPY);
  GdiFlush();
  auto* p = static_cast<DWORD*>(bits);
  shot.pixels.assign(p, p + static_cast<size_t>(shot.w) * static_cast<size_t>(shot.h));
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return shot;
}

std::string SaveBmp(const Shot& shot, const std::string& name) {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  std::string path = std::string(tmp) + name;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  ih.biSize = sizeof(ih);
  ih.biWidth = shot.w;
  ih.biHeight = -shot.h;
  ih.biPlanes = 1;
  ih.biBitCount = 32;
  DWORD data = static_cast<DWORD>(shot.pixels.size() * 4);
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(ih);
  fh.bfSize = fh.bfOffBits + data;
  // Opaque: window surfaces may leave the fourth byte at 0, which viewers take as see-through.
  std::vector<DWORD> opaque = shot.pixels;
  for (DWORD& p : opaque) p |= 0xFF000000;
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(&fh, sizeof(fh), 1, f);
    std::fwrite(&ih, sizeof(ih), 1, f);
    std::fwrite(opaque.data(), 4, opaque.size(), f);
    std::fclose(f);
  }
  return path;
}

// Not blank: many colours, and much of the window differs from its commonest colour.
void ExpectNotBlank(const Shot& shot, const std::string& what) {
  ASSERT_GT(shot.w, 200) << what;
  ASSERT_GT(shot.h, 200) << what;
  std::map<DWORD, size_t> counts;
  for (DWORD p : shot.pixels) ++counts[p & 0xFFFFFF];
  size_t commonest = 0;
  for (auto& [colour, n] : counts) commonest = std::max(commonest, n);
  EXPECT_GE(counts.size(), 8u) << what;
  EXPECT_LT(commonest, shot.pixels.size() * 95 / 100) << what;
}

size_t CountColour(const Shot& shot, DWORD rgb) {
  size_t n = 0;
  for (DWORD p : shot.pixels) n += (p & 0xFFFFFF) == rgb;
  return n;
}

TEST(FormkitDemo, EveryControlKindIsOnTheDemoForm) {
  RunToolkit([] {
    fkdemo::DefineResources();
    H().on_design = [](const std::string& form) { fkdemo::Design(form.c_str()); };
    ASSERT_TRUE(fkdemo::Build(1)) << FK_GETLASTERROR();
    using namespace fkdemo;
    for (int id :
         {kToolbar,    kTabs,     kStatus,  kFrame,       kFirstName, kNotes,      kAlwaysEncrypt,
          kSecretKeys, kOk,       kRich,    kStatusLabel, kSelected,  kKeyLength,  kDriver,
          kTrust,      kProgress, kHistory, kIcon,        kPicture,   kIconButton, kSnowflake,
          kHotkey,     kDate,     kTime,    kDropped}) {
      EXPECT_NE(FK_HANDLE(kForm, id), nullptr) << "control " << id;
    }
    EXPECT_EQ(FK_GETTEXT(kForm, kKeyLength), "1024");
    EXPECT_EQ(FK_GETTEXT(kForm, kDriver), "Simple MAPI");
    EXPECT_EQ(FK_GETCHECK(kForm, kSnowflake), 3);
    EXPECT_EQ(FK_GETCHECK(kForm, kTrust), 2);
    // Its own reactions: the trust label follows the slider.
    H().on_event = [](const fktest::Event& e, int* cancel) {
      fkdemo::HandleEvent(e.form.c_str(), e.id, e.code, e.value, cancel);
    };
    SendMessageW(static_cast<HWND>(FK_HANDLE(kForm, kTrust)), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(FK_GETTEXT(kForm, kTrustLabel), "Trust: High");
  });
}

TEST(FormkitDemo, PhotographsOfEveryPageAreNotBlank) {
  RunToolkit([] {
    fkdemo::DefineResources();
    H().on_design = [](const std::string& form) { fkdemo::Design(form.c_str()); };
    H().on_event = [](const fktest::Event& e, int* cancel) {
      fkdemo::HandleEvent(e.form.c_str(), e.id, e.code, e.value, cancel);
    };
    ASSERT_TRUE(fkdemo::Build(1));
    HWND form = static_cast<HWND>(FK_HANDLE(fkdemo::kForm, 0));
    // Other test programs may share the display: nothing may cover the photograph.
    SetWindowPos(form, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(form);
    for (int page = 1; page <= fkdemo::kPages; ++page) {
      // Through the demo's own "&Tab" menu, as a user would.
      SendMessageW(form, WM_COMMAND, MAKEWPARAM(fkdemo::kMenuPage1 + page - 1, 0), 0);
      EXPECT_EQ(FK_GETLAYER(fkdemo::kForm), page);
      RedrawWindow(form, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      Pump(300);
      Shot shot = Photograph(form);
      std::string path = SaveBmp(shot, "formkit-demo-page" + std::to_string(page) + ".bmp");
      std::printf("demo page %d photographed to %s (%dx%d)\n", page, path.c_str(), shot.w, shot.h);
      ExpectNotBlank(shot, "page " + std::to_string(page));
      if (page == 4) {
        // The light-red snowflake of the key-generation picture is on screen.
        EXPECT_GT(CountColour(shot, 0xFF0000), 300u);
      }
    }
  });
}

}  // namespace
