// FK_DOEVENTS inside event routines: nested events arrive while an outer handler waits, forms can
// be unloaded underneath a running handler, modal forms return, and the run's end is respected.
#include <windows.h>
// Declarations that need <windows.h> first.
#include <commctrl.h>
#include <gtest/gtest.h>

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

void TwoButtons(const char* name) {
  std::string form = name;
  ASSERT_TRUE(MakeForm(name, [form] {
    FK_BUTTON(form.c_str(), 1, "&Long operation", 1, 1, 20, 2, "");
    FK_BUTTON(form.c_str(), 2, "&Other", 1, 4, 20, 2, "");
    FK_TEXT(form.c_str(), 3, "", 1, 7, 20, 1.5, "");
  }));
  FK_SHOWFORM(name, FK_SHOW_NORMAL);
  Pump();
  H().events.clear();
}

TEST(FormkitReentrancy, EventsArriveNestedWhileALongOperationPumps) {
  RunToolkit([] {
    TwoButtons("WORK");
    std::vector<std::string> trace;
    H().on_event = [&trace](const Event& e, int*) {
      if (e.code != FK_EV_CLICK) return;
      if (e.id == 1) {
        trace.push_back("long begins");
        // Meanwhile the user clicks the other button twice and the first one again.
        PostMessageW(Hwnd("WORK", 2), BM_CLICK, 0, 0);
        PostMessageW(Hwnd("WORK", 2), BM_CLICK, 0, 0);
        static int depth = 0;
        if (++depth == 1) PostMessageW(Hwnd("WORK", 1), BM_CLICK, 0, 0);
        for (int step = 0; step < 3; ++step) FK_DOEVENTS();
        --depth;
        trace.push_back("long ends");
      } else if (e.id == 2) {
        trace.push_back("other");
      }
    };
    SendMessageW(Hwnd("WORK", 1), BM_CLICK, 0, 0);
    EXPECT_EQ(trace, (std::vector<std::string>{"long begins", "other", "other", "long begins",
                                               "other", "other", "long ends", "long ends"}));
    EXPECT_TRUE(FK_FORMEXISTS("WORK"));
  });
}

TEST(FormkitReentrancy, AFormUnloadedDuringANestedEventLeavesTheOuterHandlerSafe) {
  RunToolkit([] {
    TwoButtons("WORK");
    TwoButtons("OTHER");
    bool outer_done = false;
    H().on_event = [&outer_done](const Event& e, int*) {
      if (e.code != FK_EV_CLICK || e.form != "WORK") return;
      if (e.id == 1) {
        PostMessageW(Hwnd("WORK", 2), BM_CLICK, 0, 0);
        while (FK_FORMEXISTS("WORK")) {
          if (!FK_DOEVENTS()) break;
        }
        // The form went away under this handler; calls on it now fail cleanly.
        EXPECT_FALSE(FK_SETTEXT("WORK", 3, "too late"));
        EXPECT_EQ(FK_GETTEXT("WORK", 3), "");
        outer_done = true;
      } else if (e.id == 2) {
        FK_UNLOADFORM("WORK");  // from inside the form's own event
      }
    };
    SendMessageW(Hwnd("WORK", 1), BM_CLICK, 0, 0);
    EXPECT_TRUE(outer_done);
    EXPECT_FALSE(FK_FORMEXISTS("WORK"));
    EXPECT_EQ(Only(FK_EV_UNLOAD), (std::vector<Event>{{"WORK", 0, FK_EV_UNLOAD, 0}}));
    // The other form still works.
    SendMessageW(Hwnd("OTHER", 2), BM_CLICK, 0, 0);
    EXPECT_EQ(Only(FK_EV_CLICK).back(), (Event{"OTHER", 2, FK_EV_CLICK, 0}));
  });
}

TEST(FormkitReentrancy, UnloadingTheFormFromItsCloseEventAndUnloadEventIsHarmless) {
  RunToolkit([] {
    TwoButtons("WORK");
    H().on_event = [](const Event& e, int*) {
      if (e.code == FK_EV_CLOSE || e.code == FK_EV_UNLOAD) FK_UNLOADFORM(e.form.c_str());
    };
    SendMessageW(Hwnd("WORK", 0), WM_CLOSE, 0, 0);
    EXPECT_FALSE(FK_FORMEXISTS("WORK"));
    EXPECT_EQ(Only(FK_EV_UNLOAD).size(), 1u);
  });
}

TEST(FormkitReentrancy, AModalFormReturnsWhenAnEventEndsItsWait) {
  RunToolkit([] {
    TwoButtons("MAIN");
    ASSERT_TRUE(MakeForm(
        "OVERWRITE",
        [] {
          FK_BUTTON("OVERWRITE", 1, "&Yes", 1, 1, 10, 2, "");
          FK_BUTTON("OVERWRITE", 3, "&No", 12, 1, 10, 2, "D");
        },
        "", "MAIN"));
    H().on_event = [](const Event& e, int*) {
      // Hiding alone is no answer; ending the wait is.
      if (e.form == "OVERWRITE" && e.code == FK_EV_CLICK) {
        FK_HIDEFORM("OVERWRITE");
        FK_ENDMODAL("OVERWRITE", e.id);
      }
    };
    // The user answers while the form is up.
    PostMessageW(Hwnd("OVERWRITE", 3), BM_CLICK, 0, 0);
    ASSERT_TRUE(FK_SHOWFORM("OVERWRITE", FK_SHOW_MODAL));
    EXPECT_EQ(Only(FK_EV_CLICK), (std::vector<Event>{{"OVERWRITE", 3, FK_EV_CLICK, 0}}));
    EXPECT_FALSE(IsWindowVisible(Hwnd("OVERWRITE", 0)));
    // The other forms were disabled only while it was up.
    EXPECT_TRUE(IsWindowEnabled(Hwnd("MAIN", 0)));
  });
}

// A control hook that unloads its form when the control is hidden or resized: the application
// reached from inside a loop over the form's controls.
int FK_CALLBACK UnloadOnHide(const char* form, int id, FK_HWND, unsigned msg, FK_WPARAM wp,
                             FK_LPARAM, FK_LRESULT*) {
  if ((msg == WM_SHOWWINDOW && !wp) || msg == TB_AUTOSIZE) {
    H().events.push_back(Event{form, id, static_cast<int>(msg), 0});
    FK_UNLOADFORM(form);
  }
  return 0;
}

void PagesForm() {
  ASSERT_TRUE(MakeForm("PAGES", [] {
    FK_TABCONTROL("PAGES", 1, "One|Two|Three", 1, 1, 50, 20, "L");
    for (int layer = 1; layer <= 3; ++layer) {
      FK_SETLAYER("PAGES", layer);
      for (int k = 0; k < 8; ++k) {
        FK_TEXT("PAGES", layer * 10 + k, "", 2, 3 + 2 * k, 20, 1.5, "");
      }
    }
    FK_SETLAYER("PAGES", 0);
  }));
  FK_SHOWFORM("PAGES", FK_SHOW_NORMAL);
  Pump();
}

TEST(FormkitReentrancy, AHookThatUnloadsTheFormDuringALayerSwitchEndsTheSwitch) {
  RunToolkit([] {
    PagesForm();
    // Unloading while the first control of layer 1 is being hidden; the switch must stop there.
    ASSERT_TRUE(FK_SUBCLASS("PAGES", 10, UnloadOnHide));
    EXPECT_TRUE(FK_DISPLAYLAYER("PAGES", 2));
    EXPECT_FALSE(FK_FORMEXISTS("PAGES"));
    EXPECT_EQ(Only(FK_EV_UNLOAD), (std::vector<Event>{{"PAGES", 0, FK_EV_UNLOAD, 0}}));
    // The toolkit goes on working.
    PagesForm();
    EXPECT_TRUE(FK_DISPLAYLAYER("PAGES", 3));
    EXPECT_EQ(FK_GETLAYER("PAGES"), 3);
  });
}

TEST(FormkitReentrancy, ALayerDisplayedFromInsideALayerSwitchWins) {
  RunToolkit([] {
    PagesForm();
    FK_SETFOCUS("PAGES", 10);
    // Focus leaves the box being hidden; its lost-focus event displays layer 3 at once.
    H().on_event = [](const Event& e, int*) {
      if (e.code == FK_EV_LOSTFOCUS && e.id == 10) FK_DISPLAYLAYER("PAGES", 3);
    };
    FK_DISPLAYLAYER("PAGES", 2);
    EXPECT_EQ(FK_GETLAYER("PAGES"), 3);
    for (int layer = 1; layer <= 3; ++layer) {
      for (int k = 0; k < 8; ++k) {
        HWND box = Hwnd("PAGES", layer * 10 + k);
        EXPECT_EQ(IsWindowVisible(box) != 0, layer == 3) << "control " << layer * 10 + k;
      }
    }
  });
}

TEST(FormkitReentrancy, AHookThatUnloadsTheFormWhileBarsDockIsHarmless) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm(
        "MAIN",
        [] {
          FK_TOOLBAR("MAIN", 1, "$DEMOSTRIP{S}", "F24X24", "BB|01", 0, 0, 0, 0, "");
          FK_TOOLBAR("MAIN", 2, "$DEMOSTRIP{S}", "F24X24", "BB|23", 0, 0, 0, 0, "");
          FK_STATUSBAR("MAIN", 3, "Keyfile loaded", "");
        },
        "S"));
    FK_SHOWFORM("MAIN", FK_SHOW_NORMAL);
    Pump();
    ASSERT_TRUE(FK_SUBCLASS("MAIN", 1, UnloadOnHide));
    H().events.clear();
    FK_RESIZEFORM("MAIN", -1, -1, 70, 30);
    EXPECT_FALSE(FK_FORMEXISTS("MAIN"));
    EXPECT_EQ(Only(FK_EV_UNLOAD), (std::vector<Event>{{"MAIN", 0, FK_EV_UNLOAD, 0}}));
    EXPECT_TRUE(Only(FK_EV_RESIZE).empty());
  });
}

TEST(FormkitReentrancy, DoEventsReportsTheEndOfTheRunAndLeavesItQueued) {
  int code = RunToolkit(
      [] {
        TwoButtons("WORK");
        PostQuitMessage(3);
        EXPECT_EQ(FK_DOEVENTS(), 0);
        EXPECT_EQ(FK_DOEVENTS(), 0);  // still there for the loop
      },
      /*end_run=*/false);
  EXPECT_EQ(code, 3);
}

}  // namespace
