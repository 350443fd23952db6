// Events from real window messages: what the single event routine receives for clicks, changes,
// timers, closing with and without cancel, dropped files, menus, accelerators, dialog keys and
// key events, and what the message hooks see.
#include <windows.h>
// Declarations that need <windows.h> first.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "fk_harness.h"

namespace {

using fktest::Event;
using fktest::H;
using fktest::MakeForm;
using fktest::Only;
using fktest::Pump;
using fktest::RunToolkit;

HWND Hwnd(const char* form, int id) { return static_cast<HWND>(FK_HANDLE(form, id)); }

// A form with one control of each kind that reports user activity.
void EventForm() {
  ASSERT_TRUE(MakeForm("EV", [] {
    FK_BUTTON("EV", 1, "&Store", 1, 1, 10, 2, "D");
    FK_BUTTON("EV", 2, "&Cancel", 12, 1, 10, 2, "A");
    FK_CHECKBOX("EV", 3, "&Never", 1, 4, 12, 1.5, "");
    FK_RADIO("EV", 4, "se&cret", 1, 6, 12, 1.5, "");
    FK_RADIO("EV", 5, "&public", 14, 6, 12, 1.5, "");
    FK_TEXT("EV", 6, "", 1, 8, 20, 1.5, "");
    FK_LISTBOX("EV", 7, "Alice|Bob|Carol", 1, 10, 20, 5, "");
    FK_COMBOBOX("EV", 8, "288|512|768", 22, 10, 15, 8, "L");
    FK_HTRACKBAR("EV", 9, 1, 3, 22, 1, 20, 2, "");
    FK_TABCONTROL("EV", 10, "My keys|Recipient keys", 1, 16, 40, 6, "L");
    FK_TREEVIEW("EV", 11, 42, 1, 15, 10, "");
  }));
  FK_SHOWFORM("EV", FK_SHOW_NORMAL);
  Pump();
  H().events.clear();
}

TEST(FormkitEvents, ButtonsChecksAndRadiosReportClicks) {
  RunToolkit([] {
    EventForm();
    SendMessageW(Hwnd("EV", 1), BM_CLICK, 0, 0);
    SendMessageW(Hwnd("EV", 3), BM_CLICK, 0, 0);
    SendMessageW(Hwnd("EV", 3), BM_CLICK, 0, 0);
    SendMessageW(Hwnd("EV", 5), BM_CLICK, 0, 0);
    auto clicks = Only(FK_EV_CLICK);
    ASSERT_EQ(clicks.size(), 4u);
    EXPECT_EQ(clicks[0], (Event{"EV", 1, FK_EV_CLICK, 0}));
    EXPECT_EQ(clicks[1], (Event{"EV", 3, FK_EV_CLICK, 1}));  // the new check state
    EXPECT_EQ(clicks[2], (Event{"EV", 3, FK_EV_CLICK, 0}));
    EXPECT_EQ(clicks[3], (Event{"EV", 5, FK_EV_CLICK, 1}));
    EXPECT_EQ(FK_GETCHECK("EV", 5), 1);
  });
}

TEST(FormkitEvents, UserChangesArriveButSetterCallsStayQuiet) {
  RunToolkit([] {
    EventForm();
    // Setters do not report changes.
    FK_SETTEXT("EV", 6, "set by the program");
    FK_SELECTITEM("EV", 7, 2, 1);
    FK_SELECTITEM("EV", 8, 1, 1);
    FK_SETTBAR("EV", 9, 2);
    FK_SHOWPAGE("EV", 10, 2);
    FK_ITEM root = FK_ADDTVITEM("EV", 11, 0, "Ciphertext #1", -1, -1);
    FK_ITEM second = FK_ADDTVITEM("EV", 11, 0, "Plaintext #2", -1, -1);
    FK_SELECTITEM("EV", 11, root, 1);
    EXPECT_TRUE(Only(FK_EV_CHANGE).empty());
    H().events.clear();

    // What the user does with keyboard and mouse is reported with the new value.
    SendMessageW(Hwnd("EV", 6), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"!"));
    SendMessageW(Hwnd("EV", 7), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(Hwnd("EV", 8), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(Hwnd("EV", 9), WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageW(Hwnd("EV", 9), WM_KEYUP, VK_RIGHT, 0);
    RECT tab{};
    SendMessageW(Hwnd("EV", 10), TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab));
    LPARAM at = MAKELPARAM((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
    SendMessageW(Hwnd("EV", 10), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(Hwnd("EV", 10), WM_LBUTTONUP, 0, at);
    SendMessageW(Hwnd("EV", 11), WM_KEYDOWN, VK_DOWN, 0);
    Pump();

    auto changes = Only(FK_EV_CHANGE);
    ASSERT_EQ(changes.size(), 6u) << ::testing::PrintToString(H().events);
    EXPECT_EQ(changes[0], (Event{"EV", 6, FK_EV_CHANGE, 19}));  // "set by the program!"
    EXPECT_EQ(changes[1], (Event{"EV", 7, FK_EV_CHANGE, 3}));
    EXPECT_EQ(changes[2], (Event{"EV", 8, FK_EV_CHANGE, 2}));
    EXPECT_EQ(changes[3], (Event{"EV", 9, FK_EV_CHANGE, 3}));
    EXPECT_EQ(changes[4], (Event{"EV", 10, FK_EV_CHANGE, 1}));
    EXPECT_EQ(changes[5], (Event{"EV", 11, FK_EV_CHANGE, second}));
    EXPECT_EQ(FK_GETTEXT("EV", 7), "Carol");
    EXPECT_EQ(FK_GETLAYER("EV"), 1);  // the linked tab page switched the layer too
  });
}

TEST(FormkitEvents, DoubleAndRightClicksNameTheItem) {
  RunToolkit([] {
    EventForm();
    RECT item{};
    SendMessageW(Hwnd("EV", 7), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    LPARAM at = MAKELPARAM(item.left + 3, (item.top + item.bottom) / 2);
    SendMessageW(Hwnd("EV", 7), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(Hwnd("EV", 7), WM_LBUTTONUP, 0, at);
    SendMessageW(Hwnd("EV", 7), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(Hwnd("EV", 7), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(Only(FK_EV_DBLCLICK), (std::vector<Event>{{"EV", 7, FK_EV_DBLCLICK, 2}}));

    FK_ITEM first = FK_ADDTVITEM("EV", 11, 0, "Ciphertext #1", -1, -1);
    FK_ITEM second = FK_ADDTVITEM("EV", 11, 0, "Encrypted file", -1, -1);
    RECT rc{};
    HTREEITEM which = reinterpret_cast<HTREEITEM>(second);
    std::memcpy(&rc, &which, sizeof(which));  // TVM_GETITEMRECT takes the item in the rectangle
    SendMessageW(Hwnd("EV", 11), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rc));
    POINT pt{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ClientToScreen(Hwnd("EV", 11), &pt);
    SendMessageW(Hwnd("EV", 0), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Hwnd("EV", 11)),
                 MAKELPARAM(pt.x, pt.y));
    EXPECT_EQ(Only(FK_EV_RIGHTCLICK), (std::vector<Event>{{"EV", 11, FK_EV_RIGHTCLICK, second}}));
    // The item under the mouse became the selection, quietly.
    EXPECT_EQ(FK_GETTVSEL("EV", 11), second);
    for (const Event& e : Only(FK_EV_CHANGE)) EXPECT_NE(e.id, 11);
    (void)first;
  });
}

TEST(FormkitEvents, ClosingAskesFirstAndCancelKeepsTheForm) {
  RunToolkit([] {
    EventForm();
    ASSERT_TRUE(MakeForm(
        "POPUP", [] {}, "K"));
    H().on_event = [](const Event& e, int* cancel) {
      if (e.code == FK_EV_CLOSE && e.form == "EV") *cancel = 1;
    };
    SendMessageW(Hwnd("EV", 0), WM_CLOSE, 0, 0);
    EXPECT_TRUE(FK_FORMEXISTS("EV"));
    EXPECT_EQ(Only(FK_EV_CLOSE), (std::vector<Event>{{"EV", 0, FK_EV_CLOSE, 0}}));
    EXPECT_TRUE(Only(FK_EV_UNLOAD).empty());

    H().on_event = nullptr;
    SendMessageW(Hwnd("EV", 0), WM_CLOSE, 0, 0);
    EXPECT_FALSE(FK_FORMEXISTS("EV"));
    EXPECT_EQ(Only(FK_EV_UNLOAD), (std::vector<Event>{{"EV", 0, FK_EV_UNLOAD, 0}}));

    // A "K" form only hides when closed.
    FK_SHOWFORM("POPUP", FK_SHOW_NORMAL);
    SendMessageW(Hwnd("POPUP", 0), WM_CLOSE, 0, 0);
    EXPECT_TRUE(FK_FORMEXISTS("POPUP"));
    EXPECT_FALSE(IsWindowVisible(Hwnd("POPUP", 0)));
  });
}

TEST(FormkitEvents, HotkeysResizesAndContextMenus) {
  RunToolkit([] {
    EventForm();
    SendMessageW(Hwnd("EV", 0), WM_HOTKEY, 0xC123, MAKELPARAM(MOD_ALT, VK_F11));
    EXPECT_EQ(Only(FK_EV_HOTKEY), (std::vector<Event>{{"EV", 0, FK_EV_HOTKEY, 0xC123}}));
    FK_RESIZEFORM("EV", -1, -1, 70, 30);
    ASSERT_FALSE(Only(FK_EV_RESIZE).empty());
    EXPECT_EQ(Only(FK_EV_RESIZE).back(), (Event{"EV", 0, FK_EV_RESIZE, 0}));
    // The menu's own loop reads the keys: down to the first item, past the separator, Enter.
    SetForegroundWindow(Hwnd("EV", 0));
    for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN})
      PostMessageW(Hwnd("EV", 0), WM_KEYDOWN, key, 0);
    EXPECT_EQ(FK_POPUPMENU("EV", "Open file|-|Delete file|Clear list", 50, 50), 3);
    PostMessageW(Hwnd("EV", 0), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(FK_POPUPMENU("EV", "Collapse treeview|Expand treeview", 50, 50), 0);
  });
}

TEST(FormkitEvents, TimersAreEventsOfTheirForm) {
  RunToolkit([] {
    EventForm();
    // The message itself, and a real timer through the loop.
    SendMessageW(Hwnd("EV", 0), WM_TIMER, 129, 0);
    EXPECT_EQ(Only(FK_EV_TIMER), (std::vector<Event>{{"EV", 129, FK_EV_TIMER, 0}}));
    ASSERT_TRUE(FK_STARTTIMER("EV", 5, 20));
    DWORD start = GetTickCount();
    while (Only(FK_EV_TIMER).size() < 3 && GetTickCount() - start < 5000) Pump(10);
    FK_STOPTIMER("EV", 5);
    ASSERT_GE(Only(FK_EV_TIMER).size(), 3u);
    EXPECT_EQ(Only(FK_EV_TIMER)[2], (Event{"EV", 5, FK_EV_TIMER, 0}));
    size_t ticks = Only(FK_EV_TIMER).size();
    Pump(100);
    EXPECT_EQ(Only(FK_EV_TIMER).size(), ticks);  // stopped
    EXPECT_FALSE(FK_STARTTIMER("EV", 0, 10));
    EXPECT_FALSE(FK_STARTTIMER("EV", 6, 0));
  });
}

// Builds the block a shell drop hands over: DROPFILES and the wide paths, double-NUL ended.
HGLOBAL DropBlock(const std::vector<std::wstring>& files, POINT pt) {
  size_t chars = 1;
  for (const auto& f : files) chars += f.size() + 1;
  HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* df = static_cast<DROPFILES*>(GlobalLock(mem));
  df->pFiles = sizeof(DROPFILES);
  df->pt = pt;
  df->fWide = TRUE;
  auto* p = reinterpret_cast<wchar_t*>(df + 1);
  for (const auto& f : files) {
    std::copy(f.begin(), f.end(), p);
    p += f.size() + 1;
  }
  GlobalUnlock(mem);
  return mem;
}

TEST(FormkitEvents, DroppedFilesArriveWithTheControlUnderThem) {
  RunToolkit([] {
    EventForm();
    ASSERT_TRUE(FK_SETDROPFILES("EV", 1));
    EXPECT_TRUE(GetWindowLongPtrW(Hwnd("EV", 0), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    POINT on_list{FK_CHARX(3), FK_CHARY(11)};
    SendMessageW(
        Hwnd("EV", 0), WM_DROPFILES,
        reinterpret_cast<WPARAM>(DropBlock({L"C:\\a\\one.txt", L"C:\\b\\\u00e4.lqe"}, on_list)), 0);
    EXPECT_EQ(Only(FK_EV_DROPFILES), (std::vector<Event>{{"EV", 7, FK_EV_DROPFILES, 2}}));
    EXPECT_EQ(FK_GETDROPLIST("EV"), "C:\\a\\one.txt|C:\\b\\\xC3\xA4.lqe");
    POINT empty{FK_CHARX(55), FK_CHARY(20)};
    SendMessageW(Hwnd("EV", 0), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(DropBlock({L"D:\\x"}, empty)), 0);
    EXPECT_EQ(Only(FK_EV_DROPFILES).back(), (Event{"EV", 0, FK_EV_DROPFILES, 1}));
    EXPECT_EQ(FK_GETDROPLIST("EV"), "D:\\x");
    FK_SETDROPFILES("EV", 0);
    EXPECT_FALSE(GetWindowLongPtrW(Hwnd("EV", 0), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  });
}

TEST(FormkitEvents, MenusAcceleratorsAndToolbarButtonsAreClicks) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("MAIN", [] {
      FK_DEFMAINMENU("MAIN");
      FK_DEFSUBMENU("MAIN", "&File");
      FK_ADDMENUITEM("MAIN", 700, "E&xit", 0);
      FK_DEFACCEL("MAIN", 701, "F5");
      FK_TOOLBAR("MAIN", 1, "$DEMOSTRIP{S}", "F24X24", "BB BB|0123", 0, 0, 0, 0, "");
      FK_TEXT("MAIN", 2, "", 1, 5, 20, 1.5, "");
    }));
    FK_SHOWFORM("MAIN", FK_SHOW_NORMAL);
    FK_SETFOCUS("MAIN", 2);
    Pump();
    H().events.clear();
    SendMessageW(Hwnd("MAIN", 0), WM_COMMAND, MAKEWPARAM(700, 0), 0);
    PostMessageW(Hwnd("MAIN", 2), WM_KEYDOWN, VK_F5, 0);
    Pump();
    RECT rc{};
    SendMessageW(Hwnd("MAIN", 1), TB_GETITEMRECT, 4,
                 reinterpret_cast<LPARAM>(&rc));  // after the gap
    LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageW(Hwnd("MAIN", 1), WM_MOUSEMOVE, 0, at);
    SendMessageW(Hwnd("MAIN", 1), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(Hwnd("MAIN", 1), WM_LBUTTONUP, 0, at);
    auto clicks = Only(FK_EV_CLICK);
    ASSERT_EQ(clicks.size(), 3u) << ::testing::PrintToString(H().events);
    EXPECT_EQ(clicks[0], (Event{"MAIN", 700, FK_EV_CLICK, FK_VAL_MENU}));
    EXPECT_EQ(clicks[1], (Event{"MAIN", 701, FK_EV_CLICK, FK_VAL_ACCEL}));
    EXPECT_EQ(clicks[2], (Event{"MAIN", 1, FK_EV_CLICK, 4}));
  });
}

// Puts the mouse on a toolbar button as a user would: the real cursor, then the move message.
void MouseOnButton(HWND bar, int button) {
  RECT rc{};
  SendMessageW(bar, TB_GETRECT, button, reinterpret_cast<LPARAM>(&rc));
  POINT at{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  POINT screen = at;
  ClientToScreen(bar, &screen);
  SetCursorPos(screen.x, screen.y);
  SendMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
}

TEST(FormkitEvents, HoverIsReportedWhenTheMouseRestsOnAButton) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("MAIN", [] {
      FK_TOOLBAR("MAIN", 1, "$DEMOSTRIP{S}", "F24X24", "BB BB|0123", 0, 0, 0, 0, "");
    }));
    FK_SHOWFORM("MAIN", FK_SHOW_NORMAL);
    Pump();
    H().events.clear();
    HWND bar = Hwnd("MAIN", 1);
    DWORD rest = 400;
    SystemParametersInfoW(SPI_GETMOUSEHOVERTIME, 0, &rest, 0);
    // Passing over buttons reports nothing.
    for (int button : {1, 2, 3}) {
      MouseOnButton(bar, button);
      Pump(static_cast<int>(rest) / 4);
    }
    EXPECT_TRUE(Only(FK_EV_HOVER).empty()) << ::testing::PrintToString(H().events);
    // Resting on one is reported once, with its number.
    MouseOnButton(bar, 4);
    Pump(static_cast<int>(rest) * 2 + 200);
    EXPECT_EQ(Only(FK_EV_HOVER), (std::vector<Event>{{"MAIN", 1, FK_EV_HOVER, 4}}));
    // Leaving the button after the rest is reported as 0.
    SetCursorPos(0, 0);
    SendMessageW(bar, WM_MOUSELEAVE, 0, 0);
    Pump(50);
    EXPECT_EQ(Only(FK_EV_HOVER),
              (std::vector<Event>{{"MAIN", 1, FK_EV_HOVER, 4}, {"MAIN", 1, FK_EV_HOVER, 0}}));
    // The button's place on the screen, for a window that opens beside it.
    RECT rc{};
    SendMessageW(bar, TB_GETRECT, 4, reinterpret_cast<LPARAM>(&rc));
    MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    double x = 0, y = 0, w = 0, h = 0;
    ASSERT_TRUE(FK_GETTBRECT("MAIN", 1, 4, &x, &y, &w, &h));
    EXPECT_EQ(FK_CHARX(x), rc.left);
    EXPECT_EQ(FK_CHARY(y), rc.top);
    EXPECT_EQ(FK_CHARX(x + w), rc.right);
    EXPECT_EQ(FK_CHARY(y + h), rc.bottom);
    FK_HIDETB("MAIN", 1, 2, 1);
    EXPECT_FALSE(FK_GETTBRECT("MAIN", 1, 2, &x, &y, &w, &h));
    EXPECT_FALSE(FK_GETTBRECT("MAIN", 1, 5, &x, &y, &w, &h));
  });
}

TEST(FormkitEvents, AcceleratorsOfChildFormsWorkInsideThem) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("MAIN", [] { FK_DEFACCEL("MAIN", 801, "F6"); }));
    ASSERT_TRUE(MakeForm(
        "MAIN_TAB1_TOOLBARFORM",
        [] {
          FK_TEXT("MAIN_TAB1_TOOLBARFORM", 1, "", 1, 1, 20, 1.5, "");
          FK_DEFACCEL("MAIN_TAB1_TOOLBARFORM", 802, "F5");
        },
        "P", "MAIN"));
    FK_SHOWFORM("MAIN", FK_SHOW_NORMAL);
    FK_SHOWFORM("MAIN_TAB1_TOOLBARFORM", FK_SHOW_NORMAL);
    FK_SETFOCUS("MAIN_TAB1_TOOLBARFORM", 1);
    Pump();
    H().events.clear();
    PostMessageW(Hwnd("MAIN_TAB1_TOOLBARFORM", 1), WM_KEYDOWN, VK_F5, 0);
    PostMessageW(Hwnd("MAIN_TAB1_TOOLBARFORM", 1), WM_KEYDOWN, VK_F6, 0);
    Pump();
    EXPECT_EQ(Only(FK_EV_CLICK),
              (std::vector<Event>{{"MAIN_TAB1_TOOLBARFORM", 802, FK_EV_CLICK, FK_VAL_ACCEL},
                                  {"MAIN", 801, FK_EV_CLICK, FK_VAL_ACCEL}}));
  });
}

TEST(FormkitEvents, EnterAndEscapePressTheDefaultAndCancelButtons) {
  RunToolkit([] {
    EventForm();
    FK_SETFOCUS("EV", 6);
    PostMessageW(Hwnd("EV", 6), WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(Hwnd("EV", 6), WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_EQ(Only(FK_EV_CLICK),
              (std::vector<Event>{{"EV", 1, FK_EV_CLICK, 0}, {"EV", 2, FK_EV_CLICK, 0}}));
    // Tab moves the focus on, as in a dialog box.
    FK_SETFOCUS("EV", 1);
    PostMessageW(Hwnd("EV", 1), WM_KEYDOWN, VK_TAB, 0);
    Pump();
    EXPECT_EQ(GetFocus(), Hwnd("EV", 2));
    // Alt with the letter after "&" presses that button ("&Store").
    FK_SETFOCUS("EV", 6);
    PostMessageW(Hwnd("EV", 6), WM_SYSCHAR, 's', 1 << 29);
    Pump();
    EXPECT_EQ(Only(FK_EV_CLICK).back(), (Event{"EV", 1, FK_EV_CLICK, 0}));
  });
}

TEST(FormkitEvents, KeyEventsCanDropKeysBeforeTheControlSeesThem) {
  RunToolkit([] {
    EventForm();
    FK_ALLOWKEYEVENTS(1);
    FK_SETFOCUS("EV", 6);
    // Refuse the letter "x": the box never gets it.
    H().on_event = [](const Event& e, int* cancel) {
      if (e.code == FK_EV_CHAR && e.value == 'x') *cancel = 1;
    };
    for (wchar_t c : std::wstring(L"axb")) PostMessageW(Hwnd("EV", 6), WM_CHAR, c, 0);
    PostMessageW(Hwnd("EV", 6), WM_KEYDOWN, VK_LEFT, 0);
    PostMessageW(Hwnd("EV", 6), WM_KEYUP, VK_LEFT, 0);
    Pump();
    EXPECT_EQ(FK_GETTEXT("EV", 6), "ab");
    EXPECT_EQ(Only(FK_EV_CHAR).size(), 3u);
    EXPECT_EQ(Only(FK_EV_KEYDOWN), (std::vector<Event>{{"EV", 6, FK_EV_KEYDOWN, VK_LEFT}}));
    EXPECT_EQ(Only(FK_EV_KEYUP), (std::vector<Event>{{"EV", 6, FK_EV_KEYUP, VK_LEFT}}));
    FK_ALLOWKEYEVENTS(0);
    PostMessageW(Hwnd("EV", 6), WM_CHAR, 'x', 0);
    Pump();
    EXPECT_EQ(FK_GETTEXT("EV", 6), "axb");  // typed where the left arrow put the caret
    EXPECT_EQ(Only(FK_EV_CHAR).size(), 3u);
  });
}

int FK_CALLBACK RefusePaste(const char*, int, FK_HWND, unsigned msg, FK_WPARAM, FK_LPARAM,
                            FK_LRESULT* result) {
  if (msg != WM_PASTE) return 0;
  *result = 0;
  H().events.push_back(Event{"hook", 0, static_cast<int>(msg), 0});
  return 1;
}

int FK_CALLBACK FormHook(const char* form, int, FK_HWND, unsigned msg, FK_WPARAM wp, FK_LPARAM,
                         FK_LRESULT* result) {
  if (msg != WM_APP + 7) return 0;
  H().events.push_back(Event{form, 0, static_cast<int>(msg), static_cast<intptr_t>(wp)});
  *result = 42;
  return 1;
}

int FK_CALLBACK LoopHook(void* raw) {
  auto* msg = static_cast<MSG*>(raw);
  if (msg->message != WM_APP + 9) return 0;
  H().events.push_back(Event{"loop", 0, static_cast<int>(msg->message), 0});
  return 1;
}

TEST(FormkitHooks, ControlFormAndLoopHooksSeeRawMessagesFirst) {
  RunToolkit([] {
    EventForm();
    FK_SETTEXT("EV", 6, "typed");
    FK_SETCLIPBOARD("pasted");
    ASSERT_TRUE(FK_SUBCLASS("EV", 6, RefusePaste));
    SendMessageW(Hwnd("EV", 6), WM_PASTE, 0, 0);
    EXPECT_EQ(FK_GETTEXT("EV", 6), "typed");
    FK_SUBCLASS("EV", 6, nullptr);
    SendMessageW(Hwnd("EV", 6), EM_SETSEL, 0, -1);
    SendMessageW(Hwnd("EV", 6), WM_PASTE, 0, 0);
    EXPECT_EQ(FK_GETTEXT("EV", 6), "pasted");

    ASSERT_TRUE(FK_HOOKDIALOGPROC("EV", FormHook));
    EXPECT_EQ(SendMessageW(Hwnd("EV", 0), WM_APP + 7, 5, 0), 42);
    FK_HOOKDIALOGPROC("EV", nullptr);
    EXPECT_EQ(SendMessageW(Hwnd("EV", 0), WM_APP + 7, 6, 0), 0);
    // The post-hook sees what the toolkit leaves alone, and nothing it handles.
    ASSERT_TRUE(FK_USEDIALOGPROC("EV", FormHook));
    EXPECT_EQ(SendMessageW(Hwnd("EV", 0), WM_APP + 7, 8, 0), 42);

    ASSERT_TRUE(FK_HOOKMSGLOOPPROC(LoopHook));
    PostMessageW(Hwnd("EV", 0), WM_APP + 9, 0, 0);
    Pump();
    FK_HOOKMSGLOOPPROC(nullptr);
    std::vector<Event> seen;
    for (const Event& e : H().events) {
      if (e.code >= WM_APP || e.code == WM_PASTE) seen.push_back(e);
    }
    EXPECT_EQ(seen, (std::vector<Event>{{"hook", 0, WM_PASTE, 0},
                                        {"EV", 0, WM_APP + 7, 5},
                                        {"EV", 0, WM_APP + 7, 8},
                                        {"loop", 0, WM_APP + 9, 0}}));
  });
}

}  // namespace
