// Modal waits and system-modal message boxes from real window messages: a waiting dialog that the
// program hides and shows again keeps waiting, the forms under it stay disabled even when shown
// again, they are enabled before the dialog disappears, and the wait says how it ended.
#include <windows.h>
// Declarations that need <windows.h> first.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fk_harness.h"

namespace {

using fktest::Event;
using fktest::H;
using fktest::MakeForm;
using fktest::Pump;
using fktest::RunToolkit;

HWND Hwnd(const char* form, int id = 0) { return static_cast<HWND>(FK_HANDLE(form, id)); }

void MainAndDialog(const char* dialog, const char* props = "") {
  ASSERT_TRUE(MakeForm("MAIN", [] { FK_BUTTON("MAIN", 1, "&Encrypt", 1, 1, 12, 2, ""); }));
  FK_SHOWFORM("MAIN", FK_SHOW_NORMAL);
  std::string name = dialog;
  ASSERT_TRUE(MakeForm(
      dialog,
      [name] {
        FK_TEXT(name.c_str(), 1, "", 1, 1, 20, 1.5, "");
        FK_BUTTON(name.c_str(), 2, "&OK", 1, 4, 10, 2, "D");
        FK_BUTTON(name.c_str(), 3, "&Cancel", 12, 4, 10, 2, "A");
      },
      props, "MAIN"));
  Pump();
  H().events.clear();
}

// Steps run one per timer tick of MAIN (timer 1), as the program's idle timer and hotkeys would
// act while a dialog waits.
void RunSteps(std::vector<std::function<void()>> steps) {
  auto shared = std::make_shared<std::vector<std::function<void()>>>(std::move(steps));
  auto next = std::make_shared<size_t>(0);
  H().on_event = [shared, next](const Event& e, int*) {
    if (e.form != "MAIN" || e.code != FK_EV_TIMER || e.id != 1) return;
    if (*next >= shared->size()) {
      FK_STOPTIMER("MAIN", 1);
      return;
    }
    (*shared)[(*next)++]();
  };
  FK_STARTTIMER("MAIN", 1, 60);
}

TEST(FormkitModal, AHiddenModalFormKeepsWaitingUntilItIsUnloaded) {
  RunToolkit([] {
    MainAndDialog("PASSPHRASE");
    std::vector<std::string> trace;
    RunSteps({
        [&] {
          trace.push_back("hidden");  // auto-hide after idle minutes
          FK_HIDEFORM("PASSPHRASE");
        },
        [&] {
          trace.push_back("shown");  // the unhide hotkey
          FK_SHOWFORM("PASSPHRASE", FK_SHOW_NORMAL);
        },
        [&] {
          trace.push_back("unloaded");
          FK_UNLOADFORM("PASSPHRASE");
        },
    });
    ASSERT_TRUE(FK_SHOWFORM("PASSPHRASE", FK_SHOW_MODAL));
    trace.push_back("returned");
    EXPECT_EQ(trace, (std::vector<std::string>{"hidden", "shown", "unloaded", "returned"}));
    EXPECT_FALSE(FK_FORMEXISTS("PASSPHRASE"));
    EXPECT_TRUE(IsWindowEnabled(Hwnd("MAIN")));
  });
}

TEST(FormkitModal, AHiddenOwnerShownDuringTheWaitStaysDisabled) {
  RunToolkit([] {
    MainAndDialog("OVERWRITE");
    FK_HIDEFORM("MAIN");  // the program was hidden when the question came
    bool enabled_when_shown = true;
    RunSteps({
        [&] {
          FK_SHOWFORM("MAIN", FK_SHOW_NORMAL);  // the unhide hotkey
          enabled_when_shown = IsWindowEnabled(Hwnd("MAIN")) != 0;
        },
        [&] { FK_UNLOADFORM("OVERWRITE"); },
    });
    EXPECT_EQ(FK_SHOWMODAL("OVERWRITE"), FK_MODAL_UNLOADED);
    EXPECT_FALSE(enabled_when_shown);
    EXPECT_TRUE(IsWindowEnabled(Hwnd("MAIN")));
  });
}

// Records whether MAIN was enabled when the dialog's window was hidden or destroyed.
std::vector<std::string> g_seen;

int FK_CALLBACK WatchDialog(const char*, int, FK_HWND, unsigned msg, FK_WPARAM wp, FK_LPARAM,
                            FK_LRESULT*) {
  bool main_enabled = IsWindowEnabled(Hwnd("MAIN")) != 0;
  if (msg == WM_SHOWWINDOW && !wp)
    g_seen.push_back(main_enabled ? "hide:enabled" : "hide:disabled");
  if (msg == WM_DESTROY) g_seen.push_back(main_enabled ? "destroy:enabled" : "destroy:disabled");
  return 0;
}

TEST(FormkitModal, TheOwnerIsEnabledBeforeTheDialogDisappears) {
  RunToolkit([] {
    MainAndDialog("PASSPHRASE");
    g_seen.clear();
    ASSERT_TRUE(FK_HOOKDIALOGPROC("PASSPHRASE", WatchDialog));
    H().on_event = [](const Event& e, int*) {
      if (e.form == "PASSPHRASE" && e.code == FK_EV_CLICK && e.id == 3) {
        FK_UNLOADFORM("PASSPHRASE");
      }
    };
    PostMessageW(Hwnd("PASSPHRASE", 3), BM_CLICK, 0, 0);
    EXPECT_EQ(FK_SHOWMODAL("PASSPHRASE"), FK_MODAL_UNLOADED);
    ASSERT_FALSE(g_seen.empty());
    EXPECT_EQ(g_seen.back(), "destroy:enabled");
    for (const std::string& s : g_seen) EXPECT_EQ(s.find("disabled"), std::string::npos) << s;
    // The activation came back to the program's window, not to some other program.
    EXPECT_EQ(GetActiveWindow(), Hwnd("MAIN"));
  });
}

TEST(FormkitModal, EndModalReturnsItsCodeAndKeepsTheFormReadable) {
  RunToolkit([] {
    MainAndDialog("PASSPHRASE");
    g_seen.clear();
    ASSERT_TRUE(FK_HOOKDIALOGPROC("PASSPHRASE", WatchDialog));
    FK_SETTEXT("PASSPHRASE", 1, "typed");
    H().on_event = [](const Event& e, int*) {
      if (e.form == "PASSPHRASE" && e.code == FK_EV_CLICK && e.id == 2) {
        EXPECT_TRUE(FK_ENDMODAL("PASSPHRASE", 7));
        EXPECT_FALSE(FK_ENDMODAL("PASSPHRASE", 8));  // ended already
      }
    };
    EXPECT_FALSE(FK_ENDMODAL("PASSPHRASE", 1));
    EXPECT_EQ(FK_GETLASTERROR(), "form \"PASSPHRASE\" does not wait");
    PostMessageW(Hwnd("PASSPHRASE", 2), BM_CLICK, 0, 0);
    EXPECT_EQ(FK_SHOWMODAL("PASSPHRASE"), 7);
    EXPECT_TRUE(FK_FORMEXISTS("PASSPHRASE"));
    EXPECT_FALSE(IsWindowVisible(Hwnd("PASSPHRASE")));
    EXPECT_EQ(FK_GETTEXT("PASSPHRASE", 1), "typed");
    EXPECT_EQ(g_seen, (std::vector<std::string>{"hide:enabled"}));
    EXPECT_EQ(GetActiveWindow(), Hwnd("MAIN"));
    EXPECT_FALSE(FK_ENDMODAL("PASSPHRASE", 0));
    EXPECT_EQ(FK_SHOWMODAL("NOSUCHFORM"), FK_MODAL_FAILED);
  });
}

TEST(FormkitModal, ClosingAKeptFormEndsItsWaitAsClosed) {
  RunToolkit([] {
    MainAndDialog("POPUP", "K");
    PostMessageW(Hwnd("POPUP"), WM_CLOSE, 0, 0);
    EXPECT_EQ(FK_SHOWMODAL("POPUP"), FK_MODAL_CLOSED);
    EXPECT_TRUE(FK_FORMEXISTS("POPUP"));
    EXPECT_FALSE(IsWindowVisible(Hwnd("POPUP")));
    EXPECT_TRUE(IsWindowEnabled(Hwnd("MAIN")));
  });
}

TEST(FormkitModal, NestedWaitsEachEnableOnlyWhatTheyDisabled) {
  RunToolkit([] {
    MainAndDialog("KEYMANAGER");
    ASSERT_TRUE(MakeForm(
        "CHANGEPASSP", [] { FK_BUTTON("CHANGEPASSP", 2, "&OK", 1, 1, 10, 2, ""); }, "", "MAIN"));
    ASSERT_TRUE(MakeForm("HELPER", [] {}));
    EnableWindow(Hwnd("HELPER"), FALSE);  // disabled by the program itself
    bool keymanager_enabled_inside = true, main_enabled_inside = true, inner_usable = false;
    int inner = 0;
    H().on_event = [&](const Event& e, int*) {
      if (e.code != FK_EV_CLICK) return;
      if (e.form == "KEYMANAGER" && e.id == 2) {
        PostMessageW(Hwnd("CHANGEPASSP", 2), BM_CLICK, 0, 0);
        inner = FK_SHOWMODAL("CHANGEPASSP");
        FK_ENDMODAL("KEYMANAGER", 1);
      } else if (e.form == "CHANGEPASSP") {
        keymanager_enabled_inside = IsWindowEnabled(Hwnd("KEYMANAGER")) != 0;
        main_enabled_inside = IsWindowEnabled(Hwnd("MAIN")) != 0;
        // Made before the outer wait began, the inner dialog was disabled by it; it waits usable.
        inner_usable = IsWindowEnabled(Hwnd("CHANGEPASSP")) != 0;
        FK_ENDMODAL("CHANGEPASSP", 2);
      }
    };
    PostMessageW(Hwnd("KEYMANAGER", 2), BM_CLICK, 0, 0);
    EXPECT_EQ(FK_SHOWMODAL("KEYMANAGER"), 1);
    EXPECT_EQ(inner, 2);
    EXPECT_FALSE(keymanager_enabled_inside);
    EXPECT_FALSE(main_enabled_inside);
    EXPECT_TRUE(inner_usable);
    EXPECT_TRUE(IsWindowEnabled(Hwnd("MAIN")));
    EXPECT_TRUE(IsWindowEnabled(Hwnd("KEYMANAGER")));
    EXPECT_TRUE(IsWindowEnabled(Hwnd("CHANGEPASSP")));
    EXPECT_FALSE(IsWindowEnabled(Hwnd("HELPER")));
  });
}

TEST(FormkitModal, TheRunsEndEndsTheWaitAndStaysQueued) {
  int code = RunToolkit(
      [] {
        MainAndDialog("WAITSCREEN");
        PostQuitMessage(4);
        EXPECT_EQ(FK_SHOWMODAL("WAITSCREEN"), FK_MODAL_QUIT);
        EXPECT_TRUE(IsWindowEnabled(Hwnd("MAIN")));
      },
      /*end_run=*/false);
  EXPECT_EQ(code, 4);
}

TEST(FormkitSystemModal, DisablingFormsCoversHiddenOnesAndNestsByLevel) {
  RunToolkit([] {
    MainAndDialog("SETTINGS");  // hidden
    ASSERT_TRUE(MakeForm("HELPER", [] {}));
    EnableWindow(Hwnd("HELPER"), FALSE);
    int first = FK_DISABLEFORMS();
    EXPECT_EQ(first, 1);
    EXPECT_FALSE(IsWindowEnabled(Hwnd("MAIN")));
    EXPECT_FALSE(IsWindowEnabled(Hwnd("SETTINGS")));
    int second = FK_DISABLEFORMS();
    EXPECT_EQ(second, 2);
    ASSERT_TRUE(FK_ENABLEFORMS(second));
    EXPECT_FALSE(IsWindowEnabled(Hwnd("MAIN")));  // the first level still holds it
    ASSERT_TRUE(FK_ENABLEFORMS(first));
    EXPECT_TRUE(IsWindowEnabled(Hwnd("MAIN")));
    EXPECT_TRUE(IsWindowEnabled(Hwnd("SETTINGS")));
    EXPECT_FALSE(IsWindowEnabled(Hwnd("HELPER")));  // not the toolkit's to enable
    EXPECT_FALSE(FK_ENABLEFORMS(1));
    EXPECT_EQ(FK_GETLASTERROR(), "no FK_DISABLEFORMS level 1");
  });
}

// Answers the message box from a timer inside its own loop and notes what it saw.
struct BoxSeen {
  bool found = false;
  bool main_enabled = true;
  std::wstring text;
} g_box;

BOOL CALLBACK FindBox(HWND h, LPARAM out) {
  wchar_t cls[16] = {};
  GetClassNameW(h, cls, 16);
  if (std::wstring(cls) == L"#32770" && IsWindowVisible(h)) {
    *reinterpret_cast<HWND*>(out) = h;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
  if (!box) return;
  KillTimer(nullptr, timer);
  g_box.found = true;
  g_box.main_enabled = IsWindowEnabled(Hwnd("MAIN")) != 0;
  wchar_t text[256] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 256);  // the box's message text
  g_box.text = text;
  PostMessageW(box, WM_COMMAND, IDNO, 0);
}

TEST(FormkitSystemModal, AMessageBoxDisablesTheProgramUntilAnswered) {
  RunToolkit([] {
    MainAndDialog("SETTINGS");
    SetActiveWindow(Hwnd("MAIN"));
    g_box = BoxSeen{};
    SetTimer(nullptr, 0, 200, AnswerBox);
    int answer = FK_MESSAGEBOX("Are you sure you want to delete this file?\r\n\r\nC:\\a.txt",
                               "Lockquill V1.0", MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL);
    EXPECT_EQ(answer, IDNO);
    EXPECT_TRUE(g_box.found);
    EXPECT_FALSE(g_box.main_enabled);
    EXPECT_EQ(g_box.text, L"Are you sure you want to delete this file?\r\n\r\nC:\\a.txt");
    EXPECT_TRUE(IsWindowEnabled(Hwnd("MAIN")));
    EXPECT_TRUE(IsWindowEnabled(Hwnd("SETTINGS")));
    EXPECT_EQ(GetActiveWindow(), Hwnd("MAIN"));
  });
}

}  // namespace
