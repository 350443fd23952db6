// Forms: creation with the design routine, showing (also modally), hiding, unloading with their
// dependants, sizes and positions in character units, icons and window handles.
#include "formkit/fk_internal.h"

namespace fk {

namespace {

struct FormStyle {
  DWORD style = 0;
  DWORD ex_style = WS_EX_CONTROLPARENT;
};

FormStyle StyleFor(const std::string& props) {
  FormStyle s;
  if (HasProp(props, 'P')) {
    s.style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    return s;
  }
  if (HasProp(props, 'B')) {
    s.style = WS_POPUP | WS_CLIPCHILDREN;
  } else {
    s.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    if (HasProp(props, 'M')) s.style |= WS_MINIMIZEBOX;
    if (HasProp(props, 'X')) s.style |= WS_MAXIMIZEBOX;
    if (HasProp(props, 'S')) s.style |= WS_THICKFRAME;
    if (HasProp(props, 'D')) s.ex_style |= WS_EX_DLGMODALFRAME;
  }
  if (HasProp(props, 'N')) s.ex_style |= WS_EX_TOOLWINDOW;
  if (HasProp(props, 'T')) s.ex_style |= WS_EX_TOPMOST;
  return s;
}

// Outer window size for a client area of w x h pixels.
SIZE OuterSize(HWND hwnd, int w, int h) {
  RECT rc{0, 0, w, h};
  AdjustWindowRectEx(&rc, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)),
                     GetMenu(hwnd) != nullptr,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
  return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

// The window's rectangle in its parent's client coordinates (screen for top-level forms).
RECT PlacedRect(Form* form) {
  RECT rc;
  GetWindowRect(form->hwnd, &rc);
  if (form->child)
    MapWindowPoints(nullptr, GetParent(form->hwnd), reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

void Centre(Form* form, Form* parent) {
  RECT rc;
  GetWindowRect(form->hwnd, &rc);
  RECT area;
  if (form->child && parent) {
    GetClientRect(parent->hwnd, &area);
  } else if (parent && IsWindowVisible(parent->hwnd)) {
    GetWindowRect(parent->hwnd, &area);
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
  int x = area.left + ((area.right - area.left) - w) / 2;
  int y = area.top + ((area.bottom - area.top) - h) / 2;
  if (!form->child) {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    x = x < work.left ? static_cast<int>(work.left) : x;
    y = y < work.top ? static_cast<int>(work.top) : y;
  }
  SetWindowPos(form->hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void DestroyFormRecord(HWND hwnd) {
  Toolkit& tk = Tk();
  for (auto it = tk.forms.begin(); it != tk.forms.end(); ++it) {
    Form* form = it->second.get();
    if (form->hwnd != hwnd) continue;
    for (auto& [id, control] : form->controls) FreeControl(control.get());
    if (form->accel_table) DestroyAcceleratorTable(form->accel_table);
    if (form->bg_brush) DeleteObject(form->bg_brush);
    if (form->icon_big) DestroyIcon(form->icon_big);
    if (form->icon_small) DestroyIcon(form->icon_small);
    tk.forms.erase(it);
    NoteFormGone();
    return;
  }
}

void UnloadForm(const std::string& name) {
  Form* form = FindFormQuiet(name);
  if (!form || form->unloading) return;
  // Dependants go first, each with its own unload event.
  std::vector<std::string> dependants;
  for (auto& [other_name, other] : Tk().forms) {
    if (other->parent == name) dependants.push_back(other_name);
  }
  for (const std::string& d : dependants) UnloadForm(d);
  form = FindFormQuiet(name);
  if (!form || form->unloading) return;
  form->unloading = true;
  Fire(name, 0, FK_EV_UNLOAD, 0);
  form = FindFormQuiet(name);
  if (!form) return;
  HWND hwnd = form->hwnd;
  // A modal wait on the form ends now: its forms are enabled before the window goes, so the
  // activation returns to them and not to another program.
  ReleaseModal(name);
  if (hwnd && IsWindow(hwnd)) {
    // Give the activation back to the owner before the window goes, as dialogs do.
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (owner && GetActiveWindow() == hwnd) SetActiveWindow(owner);
    DestroyWindow(hwnd);
  }
  if (FindFormQuiet(name) == form) DestroyFormRecord(form->hwnd);
}

void UpdateVisibility(Form* form, Control* control) {
  bool on_layer = control->layer == 0 || control->layer == form->displayed_layer;
  bool visible = on_layer && !control->user_hidden;
  ShowWindow(control->hwnd, visible ? SW_SHOWNA : SW_HIDE);
}

}  // namespace fk

using namespace fk;

extern "C" {

FK_API int FK_FORM(const char* name, const char* parent_name, const char* caption, double x,
                   double y, double w, double h, const char* props_text) {
  EnsureReady();
  ClearError();
  Toolkit& tk = Tk();
  std::string key = Upper(name);
  if (key.empty()) return Fail("a form needs a name");
  if (FindFormQuiet(key)) return Fail("form \"" + key + "\" exists already");
  std::string parent_key = Upper(parent_name);
  Form* parent = nullptr;
  if (!parent_key.empty()) {
    parent = FindForm(parent_key.c_str());
    if (!parent) return 0;
  }
  std::string props = props_text ? props_text : "";
  if (HasProp(props, 'P') && !parent) return Fail("a child form (P) needs a parent form");

  auto owned = std::make_unique<Form>();
  Form* form = owned.get();
  form->name = key;
  form->parent = parent_key;
  form->props = props;
  form->child = HasProp(props, 'P');
  form->keep = HasProp(props, 'K');
  form->want_x = x;
  form->want_y = y;
  form->want_w = w;
  form->want_h = h;
  tk.forms[key] = std::move(owned);

  FormStyle s = StyleFor(props);
  HWND hwnd = CreateWindowExW(s.ex_style, kFormClass, Wide(caption).c_str(), s.style, 0, 0, PxX(w),
                              PxY(h), parent ? parent->hwnd : nullptr, nullptr, tk.module, form);
  if (!hwnd) {
    tk.forms.erase(key);
    return Fail("the window of form \"" + key + "\" could not be created");
  }
  form->designing = true;
  if (tk.design_proc) tk.design_proc(key.c_str());
  form = FindFormQuiet(key);
  if (!form) return Fail("form \"" + key + "\" was unloaded while being designed");
  form->designing = false;
  // The design routine may have resized the form (FK_RESIZEFORM); that is the size it keeps.
  x = form->want_x;
  y = form->want_y;
  w = form->want_w;
  h = form->want_h;

  SIZE outer = OuterSize(hwnd, PxX(w), PxY(h));
  int px = x < 0 ? 0 : PxX(x), py = y < 0 ? 0 : PxY(y);
  SetWindowPos(hwnd, nullptr, px, py, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  if (x < 0 || y < 0 || HasProp(props, 'C')) Centre(form, parent);
  return 1;
}

FK_API int FK_SHOWFORM(const char* name, int mode) {
  ClearError();
  Form* form = FindForm(name);
  if (!form) return 0;
  Toolkit& tk = Tk();
  HWND hwnd = form->hwnd;
  int cmd = SW_SHOW;
  switch (mode) {
    case FK_SHOW_NOACTIVATE:
      cmd = SW_SHOWNA;
      break;
    case FK_SHOW_MINIMIZED:
      cmd = SW_SHOWMINIMIZED;
      break;
    case FK_SHOW_MAXIMIZED:
      cmd = SW_SHOWMAXIMIZED;
      break;
    case FK_SHOW_RESTORE:
      cmd = SW_RESTORE;
      break;
    default:
      break;
  }
  if (form->child && cmd == SW_SHOW) cmd = SW_SHOWNA;
  // The program's show state (a shortcut set to "minimised") applies to the first form shown.
  if (!form->child && !tk.show_state_used && mode == FK_SHOW_NORMAL) {
    tk.show_state_used = true;
    if (tk.show_state == SW_SHOWMINIMIZED || tk.show_state == SW_SHOWMINNOACTIVE ||
        tk.show_state == SW_SHOWMAXIMIZED || tk.show_state == SW_MINIMIZE) {
      cmd = tk.show_state;
    }
  }
  if (mode != FK_SHOW_MODAL) {
    ShowWindow(hwnd, cmd);
    form->shown_once = true;
    return 1;
  }
  return FK_SHOWMODAL(name) != FK_MODAL_FAILED ? 1 : 0;
}

FK_API int FK_SHOWMODAL(const char* name) {
  ClearError();
  Form* form = FindForm(name);
  if (!form) return FK_MODAL_FAILED;
  if (form->child) return Fail("a child form (P) cannot wait modally");
  for (ModalWait* wait : Tk().modal_waits) {
    if (wait->form == form->name) return Fail("form \"" + form->name + "\" waits already");
  }
  return RunModal(form);
}

FK_API int FK_ENDMODAL(const char* name, int code) {
  ClearError();
  Form* form = FindForm(name);
  if (!form) return 0;
  if (code < 1) return Fail("modal end codes are 1 or more");
  return EndModal(form->name, code) ? 1 : Fail("form \"" + form->name + "\" does not wait");
}

FK_API int FK_SETTOPMOST(const char* name, int on) {
  ClearError();
  Form* form = FindForm(name);
  if (!form) return 0;
  if (form->child) return Fail("a child form (P) has no place of its own among the windows");
  return SetWindowPos(form->hwnd, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                      SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE)
             ? 1
             : Fail("the form's place among the windows could not be changed");
}

FK_API int FK_DISABLEFORMS(void) {
  ClearError();
  Toolkit& tk = Tk();
  tk.disable_levels.push_back(DisableForms(nullptr));
  return static_cast<int>(tk.disable_levels.size());
}

FK_API int FK_ENABLEFORMS(int level) {
  ClearError();
  Toolkit& tk = Tk();
  if (level < 1 || level > static_cast<int>(tk.disable_levels.size())) {
    return Fail("no FK_DISABLEFORMS level " + std::to_string(level));
  }
  while (static_cast<int>(tk.disable_levels.size()) >= level) {
    std::vector<std::string> names = std::move(tk.disable_levels.back());
    tk.disable_levels.pop_back();
    EnableForms(names);
  }
  return 1;
}

FK_API int FK_MESSAGEBOX(const char* text, const char* caption, unsigned style) {
  EnsureReady();
  ClearError();
  HWND active = GetActiveWindow();
  std::wstring wide_text = Wide(text);
  std::wstring wide_caption = Wide(caption);
  int level = FK_DISABLEFORMS();
  int answer = MessageBoxW(nullptr, wide_text.c_str(), wide_caption.c_str(), style);
  FK_ENABLEFORMS(level);
  // The box had no owner: give the activation back to the form that had it.
  if (Form* form = FormByHwnd(active)) {
    if (IsWindowVisible(form->hwnd) && IsWindowEnabled(form->hwnd)) SetActiveWindow(form->hwnd);
  }
  if (answer == 0) {
    Fail("the message box could not be shown (error " + std::to_string(GetLastError()) + ")");
  }
  return answer;
}

FK_API int FK_HIDEFORM(const char* name) {
  Form* form = FindForm(name);
  if (!form) return 0;
  ShowWindow(form->hwnd, SW_HIDE);
  return 1;
}

FK_API int FK_UNLOADFORM(const char* name) {
  Form* form = FindForm(name);
  if (!form) return 0;
  UnloadForm(form->name);
  return 1;
}

FK_API int FK_FORMEXISTS(const char* name) { return FindFormQuiet(Upper(name)) ? 1 : 0; }

FK_API int FK_RESIZEFORM(const char* name, double x, double y, double w, double h) {
  Form* form = FindForm(name);
  if (!form) return 0;
  if (form->designing) {
    // FK_FORM places the form when the design routine returns: remember what it should be.
    if (w >= 0) form->want_w = w;
    if (h >= 0) form->want_h = h;
    if (x >= 0) form->want_x = x;
    if (y >= 0) form->want_y = y;
  }
  RECT placed = PlacedRect(form);
  RECT client;
  GetClientRect(form->hwnd, &client);
  int cw = w < 0 ? client.right : PxX(w);
  int ch = h < 0 ? client.bottom : PxY(h);
  SIZE outer = OuterSize(form->hwnd, cw, ch);
  int px = x < 0 ? placed.left : PxX(x);
  int py = y < 0 ? placed.top : PxY(y);
  SetWindowPos(form->hwnd, nullptr, px, py, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  return 1;
}

FK_API int FK_REDRAWFORM(const char* name) {
  Form* form = FindForm(name);
  if (!form) return 0;
  RedrawWindow(form->hwnd, nullptr, nullptr,
               RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  return 1;
}

FK_API int FK_SETFORMICON(const char* name, const char* image) {
  Form* form = FindForm(name);
  if (!form) return 0;
  LoadedImage big = LoadImageText(image, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
  LoadedImage small =
      LoadImageText(image, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
  if (big.bitmap) DeleteObject(big.bitmap);
  if (small.bitmap) DeleteObject(small.bitmap);
  if (!big.icon || !small.icon) {
    if (big.icon) DestroyIcon(big.icon);
    if (small.icon) DestroyIcon(small.icon);
    return Fail("no icon \"" + std::string(image ? image : "") + "\"");
  }
  SendMessageW(form->hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.icon));
  SendMessageW(form->hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.icon));
  if (form->icon_big) DestroyIcon(form->icon_big);
  if (form->icon_small) DestroyIcon(form->icon_small);
  form->icon_big = big.icon;
  form->icon_small = small.icon;
  return 1;
}

FK_API FK_HWND FK_HANDLE(const char* name, int id) {
  Form* form = FindForm(name);
  if (!form) return nullptr;
  if (id == 0) return form->hwnd;
  Control* control = FindControl(form, id);
  return control ? control->hwnd : nullptr;
}

FK_API int FK_GETSIZE(const char* name, double* w, double* h) {
  Form* form = FindForm(name);
  if (!form) return 0;
  RECT rc;
  GetClientRect(form->hwnd, &rc);
  if (w) *w = UnitsX(rc.right);
  if (h) *h = UnitsY(rc.bottom);
  return 1;
}

FK_API int FK_GETPOS(const char* name, double* x, double* y) {
  Form* form = FindForm(name);
  if (!form) return 0;
  RECT rc = PlacedRect(form);
  if (x) *x = UnitsX(rc.left);
  if (y) *y = UnitsY(rc.top);
  return 1;
}

static bool ControlOrigin(const char* name, int id, POINT* pt) {
  Form* form = FindForm(name);
  if (!form) return false;
  if (id == 0) {
    RECT rc = PlacedRect(form);
    *pt = POINT{rc.left, rc.top};
    return true;
  }
  Control* control = FindControl(form, id);
  if (!control) return false;
  RECT rc;
  GetWindowRect(control->hwnd, &rc);
  MapWindowPoints(nullptr, form->hwnd, reinterpret_cast<POINT*>(&rc), 2);
  *pt = POINT{rc.left, rc.top};
  return true;
}

FK_API double FK_X(const char* name, int id) {
  POINT pt{};
  return ControlOrigin(name, id, &pt) ? UnitsX(pt.x) : 0.0;
}

FK_API double FK_Y(const char* name, int id) {
  POINT pt{};
  return ControlOrigin(name, id, &pt) ? UnitsY(pt.y) : 0.0;
}

}  // extern "C"
