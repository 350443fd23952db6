// The sticky form under the real toolkit: owned by DUMMY, topmost without taking the
// activation, sized so its text is not clipped, placed beside the cursor (and on the other
// side near the screen's edge), one at a time, gone when closed. With LQ_SCREENSHOTS set the
// test leaves it on the screen for a moment so a picture can be taken.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "fk_harness.h"
#include "formkit/formkit.h"
#include "gui/form_main.h"
#include "gui/form_sticky.h"

namespace lq::gui {
namespace {

HWND Sticky() { return static_cast<HWND>(FK_HANDLE(kStickyForm, 0)); }

// How many windows of this thread are called STICKYFORM's window (the toolkit names forms
// by their handles, so count the visible borderless topmost windows instead).
struct Count {
  int n = 0;
};
BOOL CALLBACK CountTopmostPopups(HWND h, LPARAM p) {
  const LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
  if (IsWindowVisible(h) && (ex & WS_EX_TOPMOST) && (GetWindowLongPtrW(h, GWL_STYLE) & WS_POPUP))
    reinterpret_cast<Count*>(p)->n++;
  return TRUE;
}

TEST(StickyForm, IsANoteOnTopOwnedByDummyThatFollowsTheCursor) {
  fktest::RunToolkit([] {
    FK_FORM(kMainForm, "", "Lockquill main", 5, 5, 50, 20, "");
    FK_SHOWFORM(kMainForm, FK_SHOW_NORMAL);
    fktest::Pump(100);
    HWND main = static_cast<HWND>(FK_HANDLE(kMainForm, 0));
    SetCursorPos(300, 200);
    StickyForm sticky;
    sticky.ShowStickyForm(
        {"Click the recipient field of your", "mailprogram to paste e-mailaddresses."});
    fktest::Pump(100);
    HWND s = Sticky();
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(IsWindowVisible(s));
    EXPECT_EQ(GetWindow(s, GW_OWNER), static_cast<HWND>(FK_HANDLE(kDummyForm, 0)));
    EXPECT_FALSE(IsWindowVisible(static_cast<HWND>(FK_HANDLE(kDummyForm, 0))));
    EXPECT_TRUE(GetWindowLongPtrW(s, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindowLongPtrW(s, GWL_STYLE) & WS_DLGFRAME, 0);  // a thin border, no caption
    EXPECT_EQ(GetForegroundWindow(), main);  // shown without taking the activation
    RECT r{};
    GetWindowRect(s, &r);
    EXPECT_EQ(r.left, 300 + FK_CHARX(1));
    EXPECT_EQ(r.top, 200 + FK_CHARY(1));

    // The label fills the note and its text fits inside it.
    HWND label = static_cast<HWND>(FK_HANDLE(kStickyForm, sticky_ctl::kText));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(FK_GETTEXT(kStickyForm, sticky_ctl::kText),
              "Click the recipient field of your\r\nmailprogram to paste e-mailaddresses.");
    RECT client{}, text{0, 0, 0, 0};
    GetClientRect(label, &client);
    HDC dc = GetDC(label);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    DrawTextW(dc, L"Click the recipient field of your\r\nmailprogram to paste e-mailaddresses.", -1,
              &text, DT_CALCRECT | DT_NOPREFIX);
    ReleaseDC(label, dc);
    EXPECT_LE(text.right, client.right);
    EXPECT_LE(text.bottom, client.bottom);

    // It follows the cursor, and stays on the screen near its edges.
    sticky.MoveStickyForm({400, 250});
    GetWindowRect(s, &r);
    EXPECT_EQ(r.left, 400 + FK_CHARX(1));
    EXPECT_EQ(r.top, 250 + FK_CHARY(1));
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    sticky.MoveStickyForm({sw - 5, sh - 5});
    GetWindowRect(s, &r);
    EXPECT_LE(r.right, sw);
    EXPECT_LE(r.bottom, sh);
    EXPECT_LT(r.right, sw - 5);

    if (std::getenv("LQ_SCREENSHOTS")) {
      sticky.MoveStickyForm({300, 200});
      SetCursorPos(300, 200);
      fktest::Pump(4000);
    }

    // Showing again replaces it: one note only.
    sticky.ShowStickyForm({"Fetching text.", "Just a moment..."});
    fktest::Pump(50);
    Count c;
    EnumThreadWindows(GetCurrentThreadId(), CountTopmostPopups, reinterpret_cast<LPARAM>(&c));
    EXPECT_EQ(c.n, 1);
    EXPECT_EQ(FK_GETTEXT(kStickyForm, sticky_ctl::kText), "Fetching text.\r\nJust a moment...");
    if (std::getenv("LQ_SCREENSHOTS")) fktest::Pump(4000);

    sticky.CloseStickyForm();
    EXPECT_FALSE(FK_FORMEXISTS(kStickyForm));
    sticky.CloseStickyForm();  // closing twice is harmless
    sticky.MoveStickyForm({1, 1});

    // MAIN minimised for the click and restored after it.
    sticky.MinimizeMainWindow();
    fktest::Pump(50);
    EXPECT_TRUE(IsIconic(main));
    sticky.RestoreMainWindow();
    fktest::Pump(50);
    EXPECT_FALSE(IsIconic(main));
  });
}

TEST(StickyForm, TheSizeRuleIsKeptWhenTheTextIsSmaller) {
  fktest::RunToolkit([] {
    double w = 0, h = 0;
    // 40 characters on 3 lines: 28 x 2.61 -> 3 by the rule; a tiny measured text does not shrink
    // it.
    StickyForm::SizeFor({std::string(40, 'x'), "a", "b"}, 1, 1, w, h);
    EXPECT_EQ(w, 28);
    EXPECT_EQ(h, 3);
    StickyForm::SizeFor({"abc"}, FK_CHARX(10), FK_CHARY(2), w, h);
    EXPECT_GE(w, 10);
    EXPECT_GE(h, 2);
  });
}

}  // namespace
}  // namespace lq::gui
