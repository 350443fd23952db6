// Operations on existing controls: visibility with layers and tab pages, enabling, geometry in
// character units, focus and Tab order, extra styles, and tooltips of controls and toolbar
// buttons.
#include "formkit/fk_internal.h"

namespace fk {

namespace {

HWND FormTooltip(Form* form) {
  if (form->tooltip && IsWindow(form->tooltip)) return form->tooltip;
  form->tooltip =
      CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                      WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, form->hwnd, nullptr, Tk().module, nullptr);
  if (form->tooltip) SendMessageW(form->tooltip, TTM_SETMAXTIPWIDTH, 0, PxX(60));
  return form->tooltip;
}

}  // namespace

void SetControlTip(Form* form, HWND control, const std::wstring& text) {
  HWND tip = FormTooltip(form);
  if (!tip) return;
  std::wstring copy = text;
  TTTOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every common-controls version
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = form->hwnd;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  bool exists = SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)) != 0;
  info.lpszText = copy.data();
  if (text.empty()) {
    if (exists) SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  } else if (exists) {
    SendMessageW(tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
  } else {
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  }
}

bool ToolbarTipText(Form* form, NMHDR* hdr) {
  for (auto& [id, c] : form->controls) {
    if (c->kind != Kind::kToolbar) continue;
    if (reinterpret_cast<HWND>(SendMessageW(c->hwnd, TB_GETTOOLTIPS, 0, 0)) != hdr->hwndFrom) {
      continue;
    }
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(hdr);
    size_t number = hdr->idFrom;
    if (number == 0 || number >= c->button_tips.size() || c->button_tips[number].empty()) {
      return false;
    }
    info->lpszText = c->button_tips[number].data();
    info->hinst = nullptr;
    return true;
  }
  return false;
}

}  // namespace fk

using namespace fk;

namespace {

Control* Lookup(const char* form_name, int id, Form** form = nullptr) {
  ClearError();
  return FindControl(form_name, id, form);
}

}  // namespace

extern "C" {

FK_API int FK_SHOWC(const char* form_name, int id) {
  Form* form = nullptr;
  Control* c = Lookup(form_name, id, &form);
  if (!c) return 0;
  c->user_hidden = false;
  UpdateVisibility(form, c);
  return 1;
}

FK_API int FK_HIDEC(const char* form_name, int id) {
  Form* form = nullptr;
  Control* c = Lookup(form_name, id, &form);
  if (!c) return 0;
  c->user_hidden = true;
  UpdateVisibility(form, c);
  return 1;
}

FK_API int FK_ENABLEC(const char* form_name, int id) {
  Control* c = Lookup(form_name, id);
  if (!c) return 0;
  EnableWindow(c->hwnd, TRUE);
  return 1;
}

FK_API int FK_DISABLEC(const char* form_name, int id) {
  Control* c = Lookup(form_name, id);
  if (!c) return 0;
  EnableWindow(c->hwnd, FALSE);
  return 1;
}

FK_API int FK_RESIZEC(const char* form_name, int id, double x, double y, double w, double h) {
  Form* form = nullptr;
  Control* c = Lookup(form_name, id, &form);
  if (!c) return 0;
  RECT rc;
  GetWindowRect(c->hwnd, &rc);
  MapWindowPoints(nullptr, form->hwnd, reinterpret_cast<POINT*>(&rc), 2);
  int px = x < 0 ? static_cast<int>(rc.left) : PxX(x);
  int py = y < 0 ? static_cast<int>(rc.top) : PxY(y);
  int pw = w < 0 ? static_cast<int>(rc.right - rc.left) : PxX(w);
  int ph = h < 0 ? static_cast<int>(rc.bottom - rc.top) : PxY(h);
  SetWindowPos(c->hwnd, nullptr, px, py, pw, ph, SWP_NOZORDER | SWP_NOACTIVATE);
  return 1;
}

FK_API int FK_GETSIZEC(const char* form_name, int id, double* w, double* h) {
  Control* c = Lookup(form_name, id);
  if (!c) return 0;
  RECT rc;
  GetWindowRect(c->hwnd, &rc);
  if (w) *w = UnitsX(rc.right - rc.left);
  if (h) *h = UnitsY(rc.bottom - rc.top);
  return 1;
}

FK_API int FK_REDRAWCONTROL(const char* form_name, int id) {
  Control* c = Lookup(form_name, id);
  if (!c) return 0;
  RedrawWindow(c->hwnd, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  return 1;
}

FK_API int FK_SETFOCUS(const char* form_name, int id) {
  ClearError();
  Form* form = FindForm(form_name);
  if (!form) return 0;
  HWND target = nullptr;
  if (id == 0) {
    target = GetNextDlgTabItem(form->hwnd, nullptr, FALSE);
  } else {
    Control* c = FindControl(form, id);
    if (!c) return 0;
    target = c->hwnd;
  }
  if (!target) return Fail("form \"" + form->name + "\" has nothing to focus");
  form->last_focus = target;
  SetFocus(target);
  return 1;
}

FK_API int FK_SETNEXTTAB(const char* form_name, int id, int after_id) {
  Form* form = nullptr;
  Control* c = Lookup(form_name, id, &form);
  if (!c) return 0;
  HWND after = HWND_TOP;
  if (after_id != 0) {
    Control* a = FindControl(form, after_id);
    if (!a) return 0;
    after = a->hwnd;
  }
  SetWindowPos(c->hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return 1;
}

FK_API int FK_APPENDSTYLE(const char* form_name, int id, unsigned long style,
                          unsigned long ex_style) {
  ClearError();
  Form* form = FindForm(form_name);
  if (!form) return 0;
  HWND hwnd = form->hwnd;
  if (id != 0) {
    Control* c = FindControl(form, id);
    if (!c) return 0;
    hwnd = c->hwnd;
    style &= ~static_cast<unsigned long>(WS_VISIBLE);  // visibility belongs to the layers
  }
  SetWindowLongPtrW(hwnd, GWL_STYLE,
                    GetWindowLongPtrW(hwnd, GWL_STYLE) | static_cast<LONG_PTR>(style));
  SetWindowLongPtrW(hwnd, GWL_EXSTYLE,
                    GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | static_cast<LONG_PTR>(ex_style));
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 1;
}

FK_API int FK_SETTOOLTIP(const char* form_name, int id, const char* text) {
  Form* form = nullptr;
  Control* c = Lookup(form_name, id, &form);
  if (!c) return 0;
  SetControlTip(form, c->hwnd, Wide(text));
  return 1;
}

FK_API int FK_ADDTOOLTIP(const char* form_name, int id, int number, const char* text) {
  if (number == 0) return FK_SETTOOLTIP(form_name, id, text);
  Control* c = Lookup(form_name, id);
  if (!c) return 0;
  if (c->kind != Kind::kToolbar) return Fail("control " + std::to_string(id) + " is no toolbar");
  if (number < 1 || static_cast<size_t>(number) >= c->button_tips.size()) {
    return Fail("toolbar " + std::to_string(id) + " has no button " + std::to_string(number));
  }
  c->button_tips[static_cast<size_t>(number)] = Wide(text);
  return 1;
}

FK_API int FK_SETLAYER(const char* form_name, int layer) {
  ClearError();
  Form* form = FindForm(form_name);
  if (!form) return 0;
  if (layer < 0) return Fail("layers are numbered from 0");
  form->current_layer = layer;
  return 1;
}

FK_API int FK_DISPLAYLAYER(const char* form_name, int layer) {
  ClearError();
  Form* form = FindForm(form_name);
  if (!form) return 0;
  if (layer < 0) return Fail("layers are numbered from 0");
  form->displayed_layer = layer;
  const std::string name = form->name;
  // Hide first, then show: the page never shows controls of two layers at once. Hiding may move
  // the focus and showing reaches control hooks, and so the application, which may unload the
  // form or display another layer meanwhile: then this switch is over.
  bool current = true;
  for (bool showing : {false, true}) {
    ForEachControl(name, [&](Form* f, Control* c) {
      if (f->displayed_layer != layer) return current = false;
      bool on = c->layer == 0 || c->layer == layer;
      if (on == showing) UpdateVisibility(f, c);
      return true;
    });
    if (!current) break;
  }
  return 1;
}

FK_API int FK_GETLAYER(const char* form_name) {
  ClearError();
  Form* form = FindForm(form_name);
  return form ? form->displayed_layer : 0;
}

FK_API int FK_SHOWPAGE(const char* form_name, int id, int page) {
  Form* form = nullptr;
  Control* c = Lookup(form_name, id, &form);
  if (!c) return 0;
  if (c->kind != Kind::kTabControl) return Fail("control " + std::to_string(id) + " has no pages");
  int count = static_cast<int>(SendMessageW(c->hwnd, TCM_GETITEMCOUNT, 0, 0));
  if (page < 1 || page > count) return Fail("tab control has no page " + std::to_string(page));
  {
    Quiet quiet;
    SendMessageW(c->hwnd, TCM_SETCURSEL, page - 1, 0);
  }
  if (HasProp(c->props, 'L')) FK_DISPLAYLAYER(form_name, page);
  return 1;
}

}  // extern "C"
