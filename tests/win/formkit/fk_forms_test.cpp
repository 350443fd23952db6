// Forms and controls as the toolkit reports them back: the run's lifecycle, names, sizes in
// character units measured from the real font, every control kind's text and state, layers,
// menus, toolbars, images, colours and fonts.
#include <windows.h>
// Declarations that need <windows.h> first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cmath>
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

}  // namespace
