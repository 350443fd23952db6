// Toolbars and status bars: buttons by number, status-bar parts in character units, and docking
// both to the form's edges when it changes size.
#include <cstdlib>

#include "formkit/fk_internal.h"

namespace fk {

void DockBars(Form* form) {
  for (auto& [id, c] : form->controls) {
    if (!c->docked) continue;
    if (c->kind == Kind::kToolbar) {
      SendMessageW(c->hwnd, TB_AUTOSIZE, 0, 0);
    } else {
      SendMessageW(c->hwnd, WM_SIZE, 0, 0);
    }
  }
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
