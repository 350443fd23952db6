// Toolbars and status bars: buttons by number and their places on the screen, the hover watch
// that reports a mouse resting on a button, status-bar parts in character units, and docking
// both to the form's edges when it changes size.
#include <cstdlib>

#include "formkit/fk_internal.h"

namespace fk {

void DockBars(Form* form) {
  // The bars' hooks and notifications may reach the application, which may unload the form.
  ForEachControl(form->name, [](Form*, Control* c) {
    if (!c->docked) return true;
    if (c->kind == Kind::kToolbar) {
      SendMessageW(c->hwnd, TB_AUTOSIZE, 0, 0);
    } else {
      SendMessageW(c->hwnd, WM_SIZE, 0, 0);
    }
    return true;
  });
}

namespace {

// The number (command) of a toolbar's hot button, 0 when none.
int HotButton(HWND toolbar) {
  LRESULT index = SendMessageW(toolbar, TB_GETHOTITEM, 0, 0);
  if (index < 0) return 0;
  TBBUTTON b{};
  if (!SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(index),
                    reinterpret_cast<LPARAM>(&b)))
    return 0;
  return (b.fsStyle & BTNS_SEP) ? 0 : b.idCommand;
}

void CALLBACK HoverTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HoverWatch& hover = Tk().hover;
  if (hover.timer != timer) return;
  hover.timer = 0;
  Form* form = FindFormQuiet(hover.form);
  Control* c = nullptr;
  if (form) {
    auto it = form->controls.find(hover.id);
    c = it == form->controls.end() ? nullptr : it->second.get();
  }
  // It rested only when the button is still the hot one.
  if (!c || c->kind != Kind::kToolbar || HotButton(c->hwnd) != hover.button) return;
  hover.reported = hover.button;
  Emit(form, hover.id, FK_EV_HOVER, hover.button);
}

}  // namespace

void StopHoverWatch() {
  HoverWatch& hover = Tk().hover;
  if (hover.timer) KillTimer(nullptr, hover.timer);
  hover = HoverWatch{};
}

void ToolbarHotChanged(Form* form, Control* toolbar, int button) {
  HoverWatch& hover = Tk().hover;
  bool same_bar = hover.form == form->name && hover.id == toolbar->id;
  if (same_bar && button != 0 && button == hover.button) return;  // still on it
  int reported = same_bar ? hover.reported : 0;
  std::string name = form->name;
  StopHoverWatch();
  if (button != 0) {
    DWORD rest = 400;
    SystemParametersInfoW(SPI_GETMOUSEHOVERTIME, 0, &rest, 0);
    hover.form = name;
    hover.id = toolbar->id;
    hover.button = button;
    hover.timer = SetTimer(nullptr, 0, rest > 0 ? rest : 400, HoverTimer);
  }
  // A rest that was reported ends when the mouse leaves its button.
  if (reported) Emit(FindFormQuiet(name), toolbar->id, FK_EV_HOVER, 0);
}

}  // namespace fk

using namespace fk;

namespace {

Control* Bar(const char* form_name, int id, Kind kind) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return nullptr;
  if (c->kind != kind) {
    Fail("control " + std::to_string(id) +
         (kind == Kind::kToolbar ? " is no toolbar" : " is no status bar"));
    return nullptr;
  }
  return c;
}

Control* ToolbarButton(const char* form_name, int id, int button) {
  Control* c = Bar(form_name, id, Kind::kToolbar);
  if (!c) return nullptr;
  if (button < 1 || static_cast<size_t>(button) >= c->button_tips.size()) {
    Fail("toolbar " + std::to_string(id) + " has no button " + std::to_string(button));
    return nullptr;
  }
  return c;
}

}  // namespace

extern "C" {

FK_API int FK_ENABLETB(const char* form_name, int id, int button) {
  Control* c = ToolbarButton(form_name, id, button);
  if (!c) return 0;
  SendMessageW(c->hwnd, TB_ENABLEBUTTON, button, MAKELPARAM(TRUE, 0));
  return 1;
}

FK_API int FK_DISABLETB(const char* form_name, int id, int button) {
  Control* c = ToolbarButton(form_name, id, button);
  if (!c) return 0;
  SendMessageW(c->hwnd, TB_ENABLEBUTTON, button, MAKELPARAM(FALSE, 0));
  return 1;
}

FK_API int FK_HIDETB(const char* form_name, int id, int button, int hide) {
  Control* c = ToolbarButton(form_name, id, button);
  if (!c) return 0;
  SendMessageW(c->hwnd, TB_HIDEBUTTON, button, MAKELPARAM(hide != 0, 0));
  return 1;
}

FK_API int FK_GETTBRECT(const char* form_name, int id, int button, double* x, double* y, double* w,
                        double* h) {
  Control* c = ToolbarButton(form_name, id, button);
  if (!c) return 0;
  RECT rc{};
  if (!SendMessageW(c->hwnd, TB_GETRECT, static_cast<WPARAM>(button),
                    reinterpret_cast<LPARAM>(&rc)) ||
      SendMessageW(c->hwnd, TB_ISBUTTONHIDDEN, static_cast<WPARAM>(button), 0)) {
    return Fail("toolbar button " + std::to_string(button) + " is not shown");
  }
  MapWindowPoints(c->hwnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
  if (x) *x = UnitsX(rc.left);
  if (y) *y = UnitsY(rc.top);
  if (w) *w = UnitsX(rc.right - rc.left);
  if (h) *h = UnitsY(rc.bottom - rc.top);
  return 1;
}

FK_API int FK_SETSBPARTS(const char* form_name, int id, const char* widths) {
  Control* c = Bar(form_name, id, Kind::kStatusBar);
  if (!c) return 0;
  std::vector<int> edges;
  int right = 0;
  for (const std::string& part : SplitBar(widths ? widths : "")) {
    char* end = nullptr;
    double w = std::strtod(part.c_str(), &end);
    if (end == part.c_str() || *end != '\0')
      return Fail("status bar widths \"" + std::string(widths) + "\"");
    if (w < 0) {
      edges.push_back(-1);  // the rest of the bar
      break;
    }
    right += PxX(w);
    edges.push_back(right);
  }
  if (edges.empty() || edges.size() > 255) return Fail("a status bar has 1..255 parts");
  SendMessageW(c->hwnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  return 1;
}

FK_API int FK_SETSBTEXT(const char* form_name, int id, int part, const char* text) {
  Control* c = Bar(form_name, id, Kind::kStatusBar);
  if (!c) return 0;
  int parts = static_cast<int>(SendMessageW(c->hwnd, SB_GETPARTS, 0, 0));
  if (part < 1 || part > parts) return Fail("the status bar has no part " + std::to_string(part));
  SendMessageW(c->hwnd, SB_SETTEXTW, part - 1, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  return 1;
}

FK_API FK_HWND FK_STATUSBARHANDLE(const char* form_name) {
  ClearError();
  Form* form = FindForm(form_name);
  if (!form) return nullptr;
  for (auto& [id, c] : form->controls) {
    if (c->kind == Kind::kStatusBar) return c->hwnd;
  }
  Fail("form \"" + form->name + "\" has no status bar");
  return nullptr;
}

}  // extern "C"
