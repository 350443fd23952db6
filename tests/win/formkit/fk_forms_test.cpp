// Forms and controls as the toolkit reports them back: the run's lifecycle, names, sizes in
// character units measured from the real font, every control kind's text and state, layers,
// menus, toolbars, images, colours and fonts.
#include <windows.h>
// Declarations that need <windows.h> first.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <cmath>
#include <cstring>
#include <string>

#include "fk_harness.h"

namespace {

using fktest::Event;
using fktest::H;
using fktest::MakeForm;
using fktest::RunToolkit;

std::string LastError() { return FK_GETLASTERROR(); }

bool Visible(const char* form, int id) {
  return (GetWindowLongPtrW(static_cast<HWND>(FK_HANDLE(form, id)), GWL_STYLE) & WS_VISIBLE) != 0;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

TEST(FormkitRun, EndsWhenTheLastFormIsUnloadedAndDesignsByName) {
  int code = RunToolkit(
      [] {
        ASSERT_TRUE(MakeForm("main", [] { FK_BUTTON("MAIN", 1, "&Go", 1, 1, 10, 2, ""); }));
        EXPECT_EQ(H().designed, std::vector<std::string>{"MAIN"});
        // The design routine ran while the form was created: the button is there already.
        EXPECT_NE(FK_HANDLE("main", 1), nullptr);
        FK_SHOWFORM("MAIN", FK_SHOW_NORMAL);
        FK_STARTTIMER("MAIN", 7, 10);
        H().on_event = [](const Event& e, int*) {
          if (e.code == FK_EV_TIMER) FK_UNLOADFORM(e.form.c_str());
        };
      },
      /*end_run=*/false);
  EXPECT_EQ(code, 0);
  ASSERT_GE(H().events.size(), 2u);
  EXPECT_EQ(fktest::Only(FK_EV_TIMER).front(), (Event{"MAIN", 7, FK_EV_TIMER, 0}));
  EXPECT_EQ(H().events.back(), (Event{"MAIN", 0, FK_EV_UNLOAD, 0}));
  // A second run in the same process starts clean.
  EXPECT_EQ(RunToolkit([] { EXPECT_FALSE(FK_FORMEXISTS("MAIN")); }), 0);
}

TEST(FormkitRun, ReturnsAtOnceWhenTheMainRoutineLeavesNoForm) {
  int code = RunToolkit(
      [] {
        ASSERT_TRUE(MakeForm("DUMMY", [] {}));
        FK_UNLOADFORM("DUMMY");
      },
      /*end_run=*/false);
  EXPECT_EQ(code, 0);
}

TEST(FormkitForms, NamesAreUniqueUpperCaseAndFailuresAreExplained) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("KeyManager", [] {}));
    EXPECT_TRUE(FK_FORMEXISTS("keymanager"));
    EXPECT_EQ(FK_FORM("KEYMANAGER", "", "x", 1, 1, 10, 10, ""), 0);
    EXPECT_EQ(LastError(), "form \"KEYMANAGER\" exists already");
    EXPECT_EQ(FK_FORM("", "", "x", 1, 1, 10, 10, ""), 0);
    EXPECT_EQ(FK_FORM("ORPHAN", "NOPARENT", "x", 1, 1, 10, 10, ""), 0);
    EXPECT_EQ(LastError(), "no form named \"NOPARENT\"");
    EXPECT_EQ(FK_SETTEXT("NOFORM", 1, "x"), 0);
    EXPECT_EQ(LastError(), "no form named \"NOFORM\"");
    EXPECT_EQ(FK_SETTEXT("KEYMANAGER", 99, "x"), 0);
    EXPECT_EQ(LastError(), "no control 99 on form \"KEYMANAGER\"");
    EXPECT_EQ(FK_GETTEXT("NOFORM", 1), "");
    EXPECT_EQ(FK_LABEL("KEYMANAGER", 0, "x", 1, 1, 5, 1, ""), 0);
    EXPECT_EQ(LastError(), "control ids are 1..65535, not 0");
    ASSERT_TRUE(FK_LABEL("KEYMANAGER", 5, "x", 1, 1, 5, 1, ""));
    EXPECT_EQ(FK_TEXT("KEYMANAGER", 5, "y", 1, 3, 5, 1, ""), 0);
    EXPECT_EQ(LastError(), "control 5 exists already on form \"KEYMANAGER\"");
    EXPECT_TRUE(FK_SETTEXT("KeyManager", 0, "Lockquill V1.0 - Keymanager"));
    EXPECT_EQ(FK_GETTEXT("KEYMANAGER", 0), "Lockquill V1.0 - Keymanager");
  });
}

TEST(FormkitForms, CharacterUnitsComeFromTheMessageFont) {
  RunToolkit([] {
    // One unit down is the height of the system's message font; across, its average width.
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof(m);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(m), &m, 0));
    HFONT font = CreateFontIndirectW(&m.lfMessageFont);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SIZE abc{};
    GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &abc);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    EXPECT_EQ(FK_CHARY(1), tm.tmHeight);
    EXPECT_EQ(FK_CHARY(10), tm.tmHeight * 10);
    EXPECT_EQ(FK_CHARX(52), abc.cx);
    EXPECT_NEAR(FK_SCALETOCHARSIZE(FK_CHARX(37), 0), 37.0, 0.1);
    EXPECT_NEAR(FK_SCALETOCHARSIZE(FK_CHARY(3.5), 1), 3.5, 0.1);
  });
}

TEST(FormkitForms, SizesAndPositionsReadBackInCharacterUnits) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("SIZES", [] {
      FK_TEXT("SIZES", 1, "", 4, 3, 20, 1.5, "");
      FK_DEFMAINMENU("SIZES");  // a menu bar must not eat into the client area
      FK_DEFSUBMENU("SIZES", "&File");
      FK_ADDMENUITEM("SIZES", 100, "E&xit", 0);
    }));
    double w = 0, h = 0;
    ASSERT_TRUE(FK_GETSIZE("SIZES", &w, &h));
    EXPECT_NEAR(w, 60, 0.25);
    EXPECT_NEAR(h, 25, 0.1);
    ASSERT_TRUE(FK_GETSIZEC("SIZES", 1, &w, &h));
    EXPECT_NEAR(w, 20, 0.25);
    EXPECT_NEAR(h, 1.5, 0.1);
    EXPECT_NEAR(FK_X("SIZES", 1), 4, 0.25);
    EXPECT_NEAR(FK_Y("SIZES", 1), 3, 0.1);
    ASSERT_TRUE(FK_RESIZEC("SIZES", 1, -1, 6, 30, -1));
    ASSERT_TRUE(FK_GETSIZEC("SIZES", 1, &w, &h));
    EXPECT_NEAR(w, 30, 0.25);
    EXPECT_NEAR(h, 1.5, 0.1);
    EXPECT_NEAR(FK_X("SIZES", 1), 4, 0.25);
    EXPECT_NEAR(FK_Y("SIZES", 1), 6, 0.1);
    ASSERT_TRUE(FK_RESIZEFORM("SIZES", 3, 4, 40, 12));
    ASSERT_TRUE(FK_GETSIZE("SIZES", &w, &h));
    EXPECT_NEAR(w, 40, 0.25);
    EXPECT_NEAR(h, 12, 0.1);
    double x = 0, y = 0;
    ASSERT_TRUE(FK_GETPOS("SIZES", &x, &y));
    EXPECT_NEAR(x, 3, 0.25);
    EXPECT_NEAR(y, 4, 0.1);
  });
}

TEST(FormkitControls, EveryKindReportsItsTextAndState) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("KINDS", [] {
      const char* f = "KINDS";
      EXPECT_TRUE(FK_LABEL(f, 1, "Trust: Low", 1, 1, 20, 1, ""));
      EXPECT_TRUE(FK_TEXT(f, 2,
                          "Gr\xC3\xBC\xC3\x9F"
                          "e \xE2\x82\xAC",
                          1, 2, 20, 1.5, ""));
      EXPECT_TRUE(FK_BUTTON(f, 3, "&Store", 1, 4, 10, 2, "D"));
      EXPECT_TRUE(FK_CHECKBOX(f, 4, "&Never", 1, 6, 10, 1.5, ""));
      EXPECT_TRUE(FK_RADIO(f, 5, "se&cret keys", 1, 8, 15, 1.5, ""));
      EXPECT_TRUE(FK_RADIO(f, 6, "&public keys", 1, 9.5, 15, 1.5, ""));
      EXPECT_TRUE(FK_COMBOBOX(f, 7, "288|512|768", 1, 11, 15, 8, ""));
      EXPECT_TRUE(FK_COMBOBOX(f, 8, "Red|Green", 20, 11, 15, 8, "L"));
      EXPECT_TRUE(FK_LISTBOX(f, 9, "one|two|three", 20, 1, 15, 6, ""));
      EXPECT_TRUE(
          FK_RICHTEXT1(f, 10, "{\\rtf1 Hello \\b world\\b0 !\\par Line two}", 36, 1, 20, 6, ""));
      EXPECT_TRUE(FK_PROGRESSBAR(f, 11, 36, 8, 20, 1, ""));
      EXPECT_TRUE(FK_HTRACKBAR(f, 12, 1, 3, 36, 10, 20, 2, ""));
      EXPECT_TRUE(FK_TABCONTROL(f, 13, "My keys|Recipient keys|Keyfile", 1, 14, 55, 9, ""));
      EXPECT_TRUE(FK_FRAME(f, 14, "Public key", 36, 13, 20, 5, ""));
      EXPECT_TRUE(FK_STATUSBAR(f, 15, "Keyfile loaded", ""));
      EXPECT_TRUE(FK_CONTROLEX(f, 16, "msctls_hotkey32", "", 20, 8, 15, 1.5, 0, 0));
      EXPECT_TRUE(FK_CONTROLEX(f, 17, "SysDateTimePick32", "", 20, 10, 15, 1.5, 0, 0));
      EXPECT_TRUE(FK_TREEVIEW(f, 18, 36, 18, 20, 5, ""));
      EXPECT_TRUE(FK_TURTLEPICTURE(f, 19, "P1;B15;", 57, 1, 2, 2, ""));
      EXPECT_FALSE(FK_CONTROLEX(f, 20, "NoSuchWindowClass", "", 1, 1, 1, 1, 0, 0));
    }));
    const char* f = "KINDS";
    EXPECT_EQ(FK_GETTEXT(f, 1), "Trust: Low");
    EXPECT_EQ(FK_GETTEXT(f, 2),
              "Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x82\xAC");
    EXPECT_EQ(FK_GETTEXT(f, 3), "&Store");
    // Check boxes and radio groups: switching one radio on switches the other off.
    EXPECT_EQ(FK_GETCHECK(f, 4), 0);
    FK_SETCHECK(f, 4, 1);
    EXPECT_EQ(FK_GETCHECK(f, 4), 1);
    FK_SETCHECK(f, 5, 1);
    FK_SETCHECK(f, 6, 1);
    EXPECT_EQ(FK_GETCHECK(f, 5), 0);
    EXPECT_EQ(FK_GETCHECK(f, 6), 1);
    // An editable combo box takes any text; a drop-down list only its items.
    FK_SETTEXT(f, 7, "300");
    EXPECT_EQ(FK_GETTEXT(f, 7), "300");
    EXPECT_TRUE(FK_SETTEXT(f, 8, "Green"));
    EXPECT_EQ(FK_GETTEXT(f, 8), "Green");
    EXPECT_FALSE(FK_SETTEXT(f, 8, "Blue"));
    EXPECT_EQ(FK_GETTEXT(f, 9), "");
    FK_SELECTITEM(f, 9, 2, 1);
    EXPECT_EQ(FK_GETTEXT(f, 9), "two");
    // Rich text: plain text with CR LF, the RTF back, length and capacity.
    EXPECT_EQ(FK_GETRICHTEXT(f, 10, 0), "Hello world!\r\nLine two");
    EXPECT_EQ(FK_GETRICHTEXT(f, 10, 1).rfind("{\\rtf", 0), 0u);
    EXPECT_NE(FK_GETRICHTEXT(f, 10, 1).find("\\b"), std::string::npos);
    FK_SETRICHTEXT(f, 10, "plain", FK_RTF_REPLACE);
    FK_SETRICHTEXT(f, 10, " + more", FK_RTF_APPEND);
    EXPECT_EQ(FK_GETTEXT(f, 10), "plain + more");
    EXPECT_EQ(FK_GETRICHTEXTLEN(f, 10, FK_LEN_TEXT), 12);
    FK_SETRICHTEXTLEN(f, 10, 15000);
    EXPECT_EQ(FK_GETRICHTEXTLEN(f, 10, FK_LEN_LIMIT), 15000);
    // Bars and pages.
    FK_SETPBAR(f, 11, 3, 5);
    EXPECT_EQ(FK_GETCHECK(f, 11), 3);
    FK_SETPBAR(f, 11, 9, 5);  // clamped to the maximum
    EXPECT_EQ(FK_GETCHECK(f, 11), 5);
    EXPECT_EQ(FK_GETCHECK(f, 12), 1);
    FK_SETTBAR(f, 12, 3);
    EXPECT_EQ(FK_GETCHECK(f, 12), 3);
    EXPECT_EQ(FK_GETCHECK(f, 13), 1);
    FK_SHOWPAGE(f, 13, 3);
    EXPECT_EQ(FK_GETCHECK(f, 13), 3);
    EXPECT_EQ(FK_GETTEXT(f, 13), "Keyfile");
    EXPECT_EQ(FK_GETITEMTEXT(f, 13, 2), "Recipient keys");
    EXPECT_EQ(FK_GETTEXT(f, 14), "Public key");
    EXPECT_EQ(FK_GETTEXT(f, 15), "Keyfile loaded");
    EXPECT_TRUE(FK_SETSBPARTS(f, 15, "20|10|-1"));
    EXPECT_TRUE(FK_SETSBTEXT(f, 15, 3, "third"));
    EXPECT_FALSE(FK_SETSBTEXT(f, 15, 4, "none"));
    EXPECT_EQ(FK_STATUSBARHANDLE(f), FK_HANDLE(f, 15));
    // Generic controls are the real Win32 classes.
    EXPECT_NE(ClassOf(static_cast<HWND>(FK_HANDLE(f, 16))).find(L"msctls_hotkey32"),
              std::wstring::npos);
    EXPECT_NE(ClassOf(static_cast<HWND>(FK_HANDLE(f, 17))).find(L"SysDateTimePick32"),
              std::wstring::npos);
    EXPECT_EQ(FK_GETTEXT(f, 19), "P1;B15;");
    // Calls that make no sense for a kind say so instead of doing something odd.
    EXPECT_FALSE(FK_SETPBAR(f, 12, 1, 2));
    EXPECT_EQ(LastError(), "control 12 is no progress bar");
    EXPECT_FALSE(FK_GETCHECK(f, 1));
    EXPECT_EQ(LastError(), "control 1 has no value");
  });
}

TEST(FormkitControls, ControlsAreTheStyledCommonControls) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("V6", [] { FK_BUTTON("V6", 1, "&Calculate key", 1, 1, 16, 2, ""); }));
    // Only the version 6 button answers BCM_GETIDEALSIZE: the manifest's context is in force.
    SIZE ideal{};
    EXPECT_TRUE(FK_SENDMESSAGE("V6", 1, BCM_GETIDEALSIZE, 0, reinterpret_cast<FK_LPARAM>(&ideal)));
    EXPECT_GT(ideal.cx, 0);
  });
}

BOOL CALLBACK FindTooltip(HWND h, LPARAM out) {
  if (ClassOf(h).find(L"tooltips_class32") == std::wstring::npos) return TRUE;
  *reinterpret_cast<HWND*>(out) = h;
  return FALSE;
}

TEST(FormkitControls, TooltipsAreSetReplacedAndRemoved) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("TIPS", [] { FK_BUTTON("TIPS", 1, "&Help", 1, 1, 10, 2, ""); }));
    ASSERT_TRUE(FK_SETTOOLTIP("TIPS", 1, "Add file to be included"));
    HWND tip = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindTooltip, reinterpret_cast<LPARAM>(&tip));
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(GetWindow(tip, GW_OWNER), FK_HANDLE("TIPS", 0));
    auto text = [tip] {
      wchar_t buf[80] = {};
      TTTOOLINFOW info{};
      info.cbSize = TTTOOLINFOW_V2_SIZE;
      info.hwnd = static_cast<HWND>(FK_HANDLE("TIPS", 0));
      info.uId = reinterpret_cast<UINT_PTR>(FK_HANDLE("TIPS", 1));
      info.lpszText = buf;
      SendMessageW(tip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
      return std::wstring(buf);
    };
    EXPECT_EQ(text(), L"Add file to be included");
    FK_SETTOOLTIP("TIPS", 1, "Remove all filenames from list");
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(text(), L"Remove all filenames from list");
    FK_SETTOOLTIP("TIPS", 1, "");
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 0);
    EXPECT_FALSE(FK_ADDTOOLTIP("TIPS", 1, 2, "not a toolbar"));
  });
}

TEST(FormkitControls, EnablingHidingAndFocus) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("STATE", [] {
      FK_TEXT("STATE", 1, "", 1, 1, 10, 1.5, "");
      FK_TEXT("STATE", 2, "", 1, 3, 10, 1.5, "");
      FK_BUTTON("STATE", 3, "OK", 1, 5, 10, 2, "");
    }));
    FK_SHOWFORM("STATE", FK_SHOW_NORMAL);
    auto hwnd = [](int id) { return static_cast<HWND>(FK_HANDLE("STATE", id)); };
    FK_DISABLEC("STATE", 3);
    EXPECT_FALSE(IsWindowEnabled(hwnd(3)));
    FK_ENABLEC("STATE", 3);
    EXPECT_TRUE(IsWindowEnabled(hwnd(3)));
    FK_HIDEC("STATE", 2);
    EXPECT_FALSE(Visible("STATE", 2));
    FK_SHOWC("STATE", 2);
    EXPECT_TRUE(Visible("STATE", 2));
    FK_SETFOCUS("STATE", 2);
    EXPECT_EQ(GetFocus(), hwnd(2));
    // Tab order: control 3 moved to come first.
    FK_SETNEXTTAB("STATE", 3, 0);
    EXPECT_EQ(GetNextDlgTabItem(hwnd(0), nullptr, FALSE), hwnd(3));
    FK_APPENDSTYLE("STATE", 1, ES_READONLY, 0);
    EXPECT_TRUE(GetWindowLongPtrW(hwnd(1), GWL_STYLE) & ES_READONLY);
  });
}

TEST(FormkitLayers, DisplayingALayerShowsItsControlsAndHidesTheOthers) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("PAGES", [] {
      FK_TABCONTROL("PAGES", 1, "One|Two|Three", 1, 1, 50, 20, "L");
      FK_SETLAYER("PAGES", 1);
      FK_LABEL("PAGES", 11, "first page", 2, 4, 20, 1, "");
      FK_SETLAYER("PAGES", 2);
      FK_LABEL("PAGES", 21, "second page", 2, 4, 20, 1, "");
      FK_TEXT("PAGES", 22, "", 2, 6, 20, 1.5, "");
      FK_SETLAYER("PAGES", 3);
      FK_LABEL("PAGES", 31, "third page", 2, 4, 20, 1, "");
      FK_SETLAYER("PAGES", 0);
      FK_BUTTON("PAGES", 2, "E&xit", 2, 22, 10, 2, "");
    }));
    // Layer 1 shows at first; layer 0 always.
    EXPECT_EQ(FK_GETLAYER("PAGES"), 1);
    EXPECT_TRUE(Visible("PAGES", 11));
    EXPECT_FALSE(Visible("PAGES", 21));
    EXPECT_FALSE(Visible("PAGES", 31));
    EXPECT_TRUE(Visible("PAGES", 2));
    FK_DISPLAYLAYER("PAGES", 2);
    EXPECT_FALSE(Visible("PAGES", 11));
    EXPECT_TRUE(Visible("PAGES", 21));
    EXPECT_TRUE(Visible("PAGES", 22));
    EXPECT_TRUE(Visible("PAGES", 2));
    // A control hidden on purpose stays hidden when its layer comes back.
    FK_HIDEC("PAGES", 22);
    FK_DISPLAYLAYER("PAGES", 1);
    FK_DISPLAYLAYER("PAGES", 2);
    EXPECT_TRUE(Visible("PAGES", 21));
    EXPECT_FALSE(Visible("PAGES", 22));
    FK_SHOWC("PAGES", 22);
    EXPECT_TRUE(Visible("PAGES", 22));
    // Linked tab pages display their layers.
    FK_SHOWPAGE("PAGES", 1, 3);
    EXPECT_EQ(FK_GETLAYER("PAGES"), 3);
    EXPECT_TRUE(Visible("PAGES", 31));
    EXPECT_FALSE(Visible("PAGES", 21));
    EXPECT_FALSE(FK_SHOWPAGE("PAGES", 1, 4));
    EXPECT_EQ(FK_GETLAYER("PAGES"), 3);
  });
}

TEST(FormkitForms, UnloadingAFormUnloadsItsOwnedAndChildFormsFirst) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("MAIN", [] {}));
    ASSERT_TRUE(MakeForm(
        "MAIN_TAB1_TOOLBARFORM",
        [] { FK_LABEL("MAIN_TAB1_TOOLBARFORM", 1, "bar", 0, 0, 5, 1, ""); }, "P", "MAIN"));
    ASSERT_TRUE(MakeForm(
        "POPUP", [] {}, "K", "MAIN"));
    HWND child = static_cast<HWND>(FK_HANDLE("MAIN_TAB1_TOOLBARFORM", 0));
    HWND popup = static_cast<HWND>(FK_HANDLE("POPUP", 0));
    EXPECT_EQ(GetParent(child), FK_HANDLE("MAIN", 0));
    EXPECT_EQ(GetWindow(popup, GW_OWNER), FK_HANDLE("MAIN", 0));
    FK_UNLOADFORM("MAIN");
    auto unloads = fktest::Only(FK_EV_UNLOAD);
    ASSERT_EQ(unloads.size(), 3u);
    EXPECT_EQ(unloads.back().form, "MAIN");
    EXPECT_FALSE(FK_FORMEXISTS("POPUP"));
    EXPECT_FALSE(FK_FORMEXISTS("MAIN_TAB1_TOOLBARFORM"));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(popup));
  });
}

TEST(FormkitMenus, ItemsStatesAndAccelerators) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("MENUS", [] {
      EXPECT_TRUE(FK_DEFMAINMENU("MENUS"));
      EXPECT_EQ(FK_DEFSUBMENU("MENUS", "&File"), 1);
      FK_ADDMENUITEM("MENUS", 501, "&Open keyfile", 0);
      FK_ADDMENUITEM("MENUS", 0, "-", 0);
      FK_ADDMENUITEM("MENUS", 502, "E&xit", FK_MI_DISABLED);
      EXPECT_EQ(FK_DEFSUBMENU("MENUS", "&Recent"), 2);  // nested in "&File"
      FK_ADDMENUITEM("MENUS", 503, "Keyfile.lqk", FK_MI_CHECKED);
      EXPECT_TRUE(FK_SETSUBMENU("MENUS", 0));
      EXPECT_EQ(FK_DEFSUBMENU("MENUS", "&Tab"), 3);
      FK_ADDMENUITEM("MENUS", 504, "&Editor", 0);
    }));
    HMENU bar = GetMenu(static_cast<HWND>(FK_HANDLE("MENUS", 0)));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, 0)), 4);
    EXPECT_TRUE(GetMenuState(bar, 502, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(bar, 503, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(FK_SETMENUITEM("MENUS", 502, "&Quit", FK_MI_CHECKED));
    EXPECT_FALSE(GetMenuState(bar, 502, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(bar, 502, MF_BYCOMMAND) & MF_CHECKED);
    wchar_t text[32] = {};
    GetMenuStringW(bar, 502, text, 32, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"&Quit");
    EXPECT_FALSE(FK_SETMENUITEM("MENUS", 599, nullptr, 0));
    EXPECT_FALSE(FK_SETSUBMENU("MENUS", 4));
    EXPECT_TRUE(FK_DEFACCEL("MENUS", 501, "Ctrl+Shift+F5"));
    EXPECT_TRUE(FK_DEFACCEL("MENUS", 502, "alt+x"));
    EXPECT_TRUE(FK_DEFACCEL("MENUS", 504, "Del"));
    EXPECT_FALSE(FK_DEFACCEL("MENUS", 504, "Hyper+X"));
    EXPECT_EQ(LastError(), "unknown key combination \"Hyper+X\"");
    EXPECT_FALSE(FK_DEFACCEL("MENUS", 504, "F25"));
    EXPECT_FALSE(FK_DEFACCEL("MENUS", 504, "Ctrl+"));
  });
}

TEST(FormkitToolbar, LayoutPicksStripImagesAndTooltipsReachTheButtons) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("TB", [] {
      EXPECT_TRUE(FK_TOOLBAR("TB", 1, "$DEMOSTRIP{S}", "F24X24", "BBB B BBBBB BB B|A8910234567B", 0,
                             0, 0, 0, ""));
      EXPECT_FALSE(FK_TOOLBAR("TB", 2, "$DEMOSTRIP", "24x24", "B|0", 0, 0, 0, 0, ""));
      EXPECT_FALSE(FK_TOOLBAR("TB", 3, "$DEMOSTRIP", "F24X24", "BXB|01", 0, 0, 0, 0, ""));
      EXPECT_FALSE(FK_TOOLBAR("TB", 4, "$DEMOSTRIP", "F24X24", "BB|0?", 0, 0, 0, 0, ""));
    }));
    HWND bar = static_cast<HWND>(FK_HANDLE("TB", 1));
    // 12 buttons and 4 separators; button n carries command n and the picked image.
    EXPECT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 16);
    const int expected_images[12] = {10, 8, 9, 1, 0, 2, 3, 4, 5, 6, 7, 11};
    int number = 0;
    for (int i = 0; i < 16; ++i) {
      TBBUTTON b{};
      SendMessageW(bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
      if (b.fsStyle & BTNS_SEP) continue;
      EXPECT_EQ(b.idCommand, number + 1);
      EXPECT_EQ(b.iBitmap, expected_images[number]) << "button " << number + 1;
      ++number;
    }
    EXPECT_EQ(number, 12);
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(bar, TB_GETIMAGELIST, 0, 0));
    EXPECT_EQ(ImageList_GetImageCount(images), 12);
    FK_DISABLETB("TB", 1, 5);
    EXPECT_FALSE(SendMessageW(bar, TB_ISBUTTONENABLED, 5, 0));
    FK_ENABLETB("TB", 1, 5);
    EXPECT_TRUE(SendMessageW(bar, TB_ISBUTTONENABLED, 5, 0));
    FK_HIDETB("TB", 1, 2, 1);
    EXPECT_TRUE(SendMessageW(bar, TB_ISBUTTONHIDDEN, 2, 0));
    EXPECT_FALSE(FK_ENABLETB("TB", 1, 13));
    // The button's tooltip asks the form for its text, as the toolbar's tooltip window does.
    ASSERT_TRUE(FK_ADDTOOLTIP("TB", 1, 3, "Minimize/maximize window"));
    NMTTDISPINFOW info{};
    info.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageW(bar, TB_GETTOOLTIPS, 0, 0));
    info.hdr.idFrom = 3;
    info.hdr.code = TTN_GETDISPINFOW;
    SendMessageW(static_cast<HWND>(FK_HANDLE("TB", 0)), WM_NOTIFY, 0,
                 reinterpret_cast<LPARAM>(&info));
    ASSERT_NE(info.lpszText, nullptr);
    EXPECT_STREQ(info.lpszText, L"Minimize/maximize window");
  });
}

TEST(FormkitImages, ResourcesPathsAndTheSeeThroughOption) {
  RunToolkit([] {
    EXPECT_TRUE(FK_LOADICON(1, "$DEMOICON"));
    EXPECT_NE(FK_ICONHANDLE(1), nullptr);
    EXPECT_FALSE(FK_LOADICON(2, "$NOSUCHICON"));
    EXPECT_EQ(FK_ICONHANDLE(2), nullptr);
    EXPECT_TRUE(FK_DEFIMAGELIST(1, 24, 24));
    EXPECT_FALSE(FK_DEFIMAGELIST(1, 16, 16));
    EXPECT_EQ(FK_ADDIMAGE(1, "$DEMOICON"), 0);
    EXPECT_EQ(FK_ADDIMAGE(1, "Graphics\\demo_toolbar.bmp{S}"), 1);  // a strip of 12
    EXPECT_EQ(FK_ADDIMAGE(1, "$DEMOICON"), 13);
    EXPECT_EQ(FK_ADDIMAGE(1, "Graphics\\missing.bmp"), -1);
    EXPECT_EQ(FK_ADDIMAGE(9, "$DEMOICON"), -1);
    ASSERT_TRUE(MakeForm("PICS", [] {
      EXPECT_TRUE(FK_PICTURE("PICS", 1, "Graphics\\demo_picture.bmp{S}", 1, 1, 20, 9, ""));
      EXPECT_TRUE(FK_PICTURE("PICS", 2, "Graphics\\demo_picture.bmp", 22, 1, 20, 9, ""));
      EXPECT_TRUE(FK_ICON("PICS", 3, "$DEMOICON", 1, 11, 8, 4, ""));
      EXPECT_TRUE(FK_IBUTTON("PICS", 4, "$DEMOICON", 10, 11, 8, 4, ""));
      EXPECT_FALSE(FK_PICTURE("PICS", 5, "Graphics\\missing.bmp", 1, 16, 5, 5, ""));
      EXPECT_TRUE(FK_TREEVIEW("PICS", 6, 22, 11, 20, 6, ""));
      EXPECT_TRUE(FK_TVUSEIMAGELIST("PICS", 6, 1));
      EXPECT_FALSE(FK_TVUSEIMAGELIST("PICS", 6, 2));
    }));
    EXPECT_TRUE(FK_SETFORMICON("PICS", "$DEMOICON"));
    EXPECT_FALSE(FK_SETFORMICON("PICS", "$NOSUCHICON"));
    // "{S}": the magenta corner becomes the button face; without it the corner stays magenta.
    auto corner = [](int id) {
      HBITMAP bitmap =
          reinterpret_cast<HBITMAP>(FK_SENDMESSAGE("PICS", id, STM_GETIMAGE, IMAGE_BITMAP, 0));
      HDC dc = CreateCompatibleDC(nullptr);
      HGDIOBJ old = SelectObject(dc, bitmap);
      COLORREF c = GetPixel(dc, 0, 0);
      SelectObject(dc, old);
      DeleteDC(dc);
      return c;
    };
    EXPECT_EQ(corner(1), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(corner(2), RGB(255, 0, 255));
    EXPECT_NE(FK_SENDMESSAGE("PICS", 3, STM_GETIMAGE, IMAGE_ICON, 0), 0);
    EXPECT_NE(FK_SENDMESSAGE("PICS", 4, BM_GETIMAGE, IMAGE_ICON, 0), 0);
    EXPECT_TRUE(FK_LOADPICTURE("PICS", 2, "Graphics\\demo_picture.bmp{S}"));
    EXPECT_EQ(corner(2), GetSysColor(COLOR_BTNFACE));
  });
}

TEST(FormkitDrawing, ColourNumbersFontsAndTheStatusColours) {
  RunToolkit([] {
    EXPECT_FALSE(FK_COLOR(24, FK_COLOR_DEFAULT));
    EXPECT_FALSE(FK_USEFONT(7));
    EXPECT_FALSE(FK_DEFFONT(0, "Tahoma", 8, ""));
    ASSERT_TRUE(FK_DEFFONT(3, "Courier New", 10, "B"));
    ASSERT_TRUE(MakeForm("PAINT", [] {
      FK_COLOR(18, FK_COLOR_DEFAULT);
      FK_USEFONT(3);
      FK_LABEL("PAINT", 127, "green status", 1, 1, 20, 1, "");
      FK_COLOR(FK_COLOR_DEFAULT, FK_COLOR_DEFAULT);
      FK_USEFONT(0);
      FK_LABEL("PAINT", 128, "plain", 1, 3, 20, 1, "");
    }));
    auto text_colour = [](int id) {
      HDC dc = CreateCompatibleDC(nullptr);
      SetTextColor(dc, RGB(1, 2, 3));
      SendMessageW(static_cast<HWND>(FK_HANDLE("PAINT", 0)), WM_CTLCOLORSTATIC,
                   reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(FK_HANDLE("PAINT", id)));
      COLORREF c = GetTextColor(dc);
      DeleteDC(dc);
      return c;
    };
    EXPECT_EQ(text_colour(127), RGB(0, 128, 0));
    EXPECT_EQ(text_colour(128), GetSysColor(COLOR_WINDOWTEXT));  // the system's own choice
    FK_SETCOLOR("PAINT", 127, 20, FK_COLOR_KEEP);
    EXPECT_EQ(text_colour(127), RGB(200, 0, 0));
    FK_SETCOLOR("PAINT", 128, FK_RGB(1, 100, 200), FK_COLOR_KEEP);
    EXPECT_EQ(text_colour(128), RGB(1, 100, 200));
    LOGFONTW lf{};
    HFONT font = reinterpret_cast<HFONT>(FK_SENDMESSAGE("PAINT", 127, WM_GETFONT, 0, 0));
    ASSERT_TRUE(GetObjectW(font, sizeof(lf), &lf));
    EXPECT_STREQ(lf.lfFaceName, L"Courier New");
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(lf.lfHeight, -MulDiv(10, GetDeviceCaps(screen, LOGPIXELSY), 72));
    ReleaseDC(nullptr, screen);
    FK_SETFONT("PAINT", 128, 3);
    EXPECT_EQ(FK_SENDMESSAGE("PAINT", 128, WM_GETFONT, 0, 0), reinterpret_cast<FK_LRESULT>(font));
  });
}

TEST(FormkitForms, AResizeInsideTheDesignRoutineIsKept) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("EXPORT", [] {
      FK_LABEL("EXPORT", 1, "Export key", 1, 1, 20, 1, "");
      ASSERT_TRUE(FK_RESIZEFORM("EXPORT", 5, -1, 40, 12));
    }));
    double w = 0, h = 0, x = 0, y = 0;
    ASSERT_TRUE(FK_GETSIZE("EXPORT", &w, &h));
    EXPECT_NEAR(w, 40, 0.25);
    EXPECT_NEAR(h, 12, 0.1);
    ASSERT_TRUE(FK_GETPOS("EXPORT", &x, &y));
    EXPECT_NEAR(x, 5, 0.25);
    EXPECT_NEAR(y, 2, 0.1);  // as FK_FORM gave it
  });
}

TEST(FormkitForms, FormsAreMadeTopmostAndNotTopmostAtOnce) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("MAIN", [] {}));
    ASSERT_TRUE(MakeForm(
        "CHILD", [] {}, "P", "MAIN"));
    FK_SHOWFORM("MAIN", FK_SHOW_NORMAL);
    auto topmost = [] {
      return (GetWindowLongPtrW(static_cast<HWND>(FK_HANDLE("MAIN", 0)), GWL_EXSTYLE) &
              WS_EX_TOPMOST) != 0;
    };
    EXPECT_FALSE(topmost());
    ASSERT_TRUE(FK_SETTOPMOST("MAIN", 1));
    EXPECT_TRUE(topmost());
    ASSERT_TRUE(FK_SETTOPMOST("MAIN", 0));
    EXPECT_FALSE(topmost());
    EXPECT_FALSE(FK_SETTOPMOST("CHILD", 1));
    EXPECT_FALSE(FK_SETTOPMOST("NOFORM", 1));
  });
}

// The pixels of an icon drawn on white, size x size.
std::vector<DWORD> IconPixels(HICON icon, int size) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = size;
  bi.bmiHeader.biHeight = -size;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, size, size};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  GdiFlush();
  auto* p = static_cast<DWORD*>(bits);
  std::vector<DWORD> pixels(p, p + size * size);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return pixels;
}

TEST(FormkitImages, StockSystemIconsAreImagesToo) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("OVERWRITE", [] {
      EXPECT_TRUE(FK_ICON("OVERWRITE", 1, "*QUESTION", 1, 1, 6, 3, ""));
      EXPECT_TRUE(FK_ICON("OVERWRITE", 2, "*information", 8, 1, 6, 3, ""));
      EXPECT_FALSE(FK_ICON("OVERWRITE", 3, "*NOSUCHICON", 15, 1, 6, 3, ""));
    }));
    EXPECT_EQ(FK_GETLASTERROR(), "no image \"*NOSUCHICON\"");
    int size = GetSystemMetrics(SM_CXICON);
    HICON question =
        reinterpret_cast<HICON>(FK_SENDMESSAGE("OVERWRITE", 1, STM_GETIMAGE, IMAGE_ICON, 0));
    HICON info =
        reinterpret_cast<HICON>(FK_SENDMESSAGE("OVERWRITE", 2, STM_GETIMAGE, IMAGE_ICON, 0));
    ASSERT_NE(question, nullptr);
    ASSERT_NE(info, nullptr);
    // The very pictures of the system's icons, as the system draws them.
    std::vector<DWORD> want_question = IconPixels(LoadIconW(nullptr, IDI_QUESTION), size);
    std::vector<DWORD> want_info = IconPixels(LoadIconW(nullptr, IDI_INFORMATION), size);
    EXPECT_NE(want_question, want_info);
    EXPECT_EQ(IconPixels(question, size), want_question);
    EXPECT_EQ(IconPixels(info, size), want_info);
    ASSERT_TRUE(FK_LOADICON(3, "*Warning"));
    EXPECT_EQ(IconPixels(static_cast<HICON>(FK_ICONHANDLE(3)), size),
              IconPixels(LoadIconW(nullptr, IDI_WARNING), size));
    ASSERT_TRUE(FK_DEFIMAGELIST(2, 16, 16));
    EXPECT_EQ(FK_ADDIMAGE(2, "*ERROR"), 0);
  });
}

// Stands in for a static control that keeps a copy of each bitmap it is given (as Windows does
// for bitmaps with an alpha channel) and hands the copy of the last one back for deletion.
HBITMAP g_copy = nullptr;
std::vector<HBITMAP> g_handed_back;

int FK_CALLBACK CopyingStatic(const char*, int, FK_HWND, unsigned msg, FK_WPARAM wp, FK_LPARAM,
                              FK_LRESULT* result) {
  if (msg != STM_SETIMAGE || wp != IMAGE_BITMAP) return 0;
  if (g_copy) g_handed_back.push_back(g_copy);
  *result = reinterpret_cast<FK_LRESULT>(g_copy);
  g_copy = CreateBitmap(4, 4, 1, 32, nullptr);
  return 1;
}

TEST(FormkitImages, TheBitmapAControlHandsBackOnReloadIsDeleted) {
  RunToolkit([] {
    g_copy = nullptr;
    g_handed_back.clear();
    ASSERT_TRUE(MakeForm("PICS", [] { EXPECT_TRUE(FK_PICTURE("PICS", 1, "", 1, 1, 20, 9, "")); }));
    ASSERT_TRUE(FK_SUBCLASS("PICS", 1, CopyingStatic));
    for (int i = 0; i < 3; ++i)
      ASSERT_TRUE(FK_LOADPICTURE("PICS", 1, "Graphics\\demo_picture.bmp"));
    ASSERT_EQ(g_handed_back.size(), 2u);
    for (HBITMAP copy : g_handed_back) EXPECT_EQ(GetObjectType(copy), 0u) << "copy leaked";
    FK_SUBCLASS("PICS", 1, nullptr);
    DeleteObject(g_copy);
  });
}

TEST(FormkitText, TextsThatAreNotUtf8AreShownThroughTheAnsiCodePage) {
  RunToolkit([] {
    // "Grüße café €" as a Windows-1252 byte string: not UTF-8.
    const char* ansi =
        "Gr\xFC\xDF"
        "e caf\xE9 \x80";
    wchar_t expect[64] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, ansi, -1, expect, 64), 0);
    if (GetACP() == 1252) {
      EXPECT_STREQ(expect, L"Gr\u00FC\u00DFe caf\u00E9 \u20AC");
    }
    char expect_utf8[128] = {};
    WideCharToMultiByte(CP_UTF8, 0, expect, -1, expect_utf8, 128, nullptr, nullptr);
    ASSERT_TRUE(MakeForm("VIEW", [ansi] {
      FK_TEXT("VIEW", 1, ansi, 1, 1, 30, 1.5, "");
      FK_RICHTEXT1("VIEW", 2, ansi, 1, 3, 30, 5, "");
      FK_LABEL("VIEW", 3, ansi, 1, 9, 30, 1, "");
      FK_LISTBOX("VIEW", 4, ansi, 1, 11, 30, 4, "");
    }));
    for (int id : {1, 2, 3}) {
      wchar_t shown[64] = {};
      GetWindowTextW(static_cast<HWND>(FK_HANDLE("VIEW", id)), shown, 64);
      EXPECT_STREQ(shown, expect) << "control " << id;
      // What comes back is UTF-8 of what is shown, never with replacement characters.
      EXPECT_EQ(FK_GETTEXT("VIEW", id), expect_utf8) << "control " << id;
    }
    EXPECT_EQ(FK_GETITEMTEXT("VIEW", 4, 1), expect_utf8);
    ASSERT_TRUE(FK_SETTEXT("VIEW", 0, ansi));
    EXPECT_EQ(FK_GETTEXT("VIEW", 0), expect_utf8);
    // A second round trip changes nothing: the UTF-8 form is stable.
    FK_SETTEXT("VIEW", 1, FK_GETTEXT("VIEW", 1).c_str());
    EXPECT_EQ(FK_GETTEXT("VIEW", 1), expect_utf8);
    // Valid UTF-8 stays UTF-8, even where it could be read as ANSI too.
    FK_SETTEXT("VIEW", 1, "caf\xC3\xA9");
    EXPECT_EQ(FK_GETTEXT("VIEW", 1), "caf\xC3\xA9");
    EXPECT_EQ(GetWindowTextLengthW(static_cast<HWND>(FK_HANDLE("VIEW", 1))), 4);
  });
}

TEST(FormkitText, AppendingGoesAtTheEndWhereverTheCaretIs) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("LOG", [] {
      FK_TEXT("LOG", 1, "first line\r\nsecond", 1, 1, 30, 5, "M");
      FK_RICHTEXT1("LOG", 2, "first line\r\nsecond", 1, 7, 30, 5, "");
    }));
    FK_SHOWFORM("LOG", FK_SHOW_NORMAL);
    for (int id : {1, 2}) {
      FK_SETFOCUS("LOG", id);
      FK_SENDMESSAGE("LOG", id, EM_SETSEL, 3, 3);  // the user's caret inside "first"
      ASSERT_TRUE(FK_SETRICHTEXT("LOG", id, " line", FK_RTF_APPEND));
      FK_SENDMESSAGE("LOG", id, EM_SETSEL, 2, 8);  // and a selection
      ASSERT_TRUE(FK_SETRICHTEXT("LOG", id, "\r\nthird", FK_RTF_APPEND));
      EXPECT_EQ(FK_GETTEXT("LOG", id), "first line\r\nsecond line\r\nthird") << "control " << id;
    }
  });
}

// Whether the bytes of `needle` lie anywhere in the C runtime's heap, in use or freed: where the
// toolkit's and the test's own strings live (the controls keep their text elsewhere).
bool InCrtHeap(const void* needle, size_t n) {
  HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
  bool found = false;
  HeapLock(heap);
  PROCESS_HEAP_ENTRY entry{};
  while (!found && HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_REGION) continue;
    if (entry.wFlags & PROCESS_HEAP_UNCOMMITTED_RANGE) continue;
    const char* p = static_cast<const char*>(entry.lpData);
    size_t size = entry.cbData;
    for (size_t i = 0; !found && i + n <= size; ++i) {
      found = memcmp(p + i, needle, n) == 0;
    }
  }
  HeapUnlock(heap);
  return found;
}

TEST(FormkitText, SecretsLeaveNoCopiesBehind) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("PASSPHRASE", [] {
      FK_TEXT("PASSPHRASE", 1, "", 1, 1, 30, 1.5, "");
      FK_RICHTEXT1("PASSPHRASE", 2, "", 1, 3, 30, 5, "");
    }));
    // The secret is made on the stack, letter by letter, so only the toolkit can copy it.
    char secret[72];
    for (int i = 0; i < 71; ++i) secret[i] = static_cast<char>('A' + (i * 7) % 26);
    secret[71] = '\0';
    // Its middle, as the UTF-8 and the UTF-16 copies would hold it (a freed block's first bytes
    // are the heap's own).
    char middle[24];
    wchar_t wide_middle[24];
    for (int i = 0; i < 24; ++i) {
      middle[i] = secret[24 + i];
      wide_middle[i] = static_cast<wchar_t>(secret[24 + i]);
    }
    {
      // The scan sees a copy left in the heap, freed or not.
      std::string left(secret, 71);
      std::wstring wide_left(left.begin(), left.end());
      EXPECT_TRUE(InCrtHeap(middle, sizeof(middle)));
      EXPECT_TRUE(InCrtHeap(wide_middle, sizeof(wide_middle)));
      fk_detail::WipeString(left);
      wide_left.assign(wide_left.size(), L'\0');
    }
    EXPECT_FALSE(InCrtHeap(middle, sizeof(middle)));
    for (int id : {1, 2}) {
      ASSERT_TRUE(FK_SETTEXT("PASSPHRASE", id, secret));
      char back[80];
      ASSERT_EQ(FK_GETTEXT("PASSPHRASE", id, back, sizeof(back)), 71);
      EXPECT_EQ(std::memcmp(back, secret, 72), 0);
      char small[8];
      EXPECT_EQ(FK_GETTEXT("PASSPHRASE", id, small, sizeof(small)), 71);
      std::string owned;
      FK_GETSECRETTEXT("PASSPHRASE", id, owned);
      EXPECT_EQ(owned.size(), 71u);
      EXPECT_TRUE(owned == secret);
      fk_detail::WipeString(owned);
      SecureZeroMemory(back, sizeof(back));
      SecureZeroMemory(small, sizeof(small));
      EXPECT_FALSE(InCrtHeap(middle, sizeof(middle))) << "UTF-8 copy left, control " << id;
      EXPECT_FALSE(InCrtHeap(wide_middle, sizeof(wide_middle)))
          << "UTF-16 copy left, control " << id;
    }
    SecureZeroMemory(secret, sizeof(secret));
  });
}

}  // namespace
