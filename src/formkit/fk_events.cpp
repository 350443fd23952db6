// Event delivery: the form window procedure turns window messages and control notifications into
// the application's (form, id, code, value, cancel) events, runs the message hooks, and draws
// the forms' and controls' colours.
#include <windows.h>
// Declarations that need <windows.h> first.
#include <shellapi.h>

#include "formkit/fk_internal.h"

namespace fk {

int Fire(const std::string& form, int id, int code, intptr_t value) {
  FK_EVENTPROC proc = Tk().event_proc;
  if (!proc) return 0;
  const std::string name = form;  // the record may go away while the routine runs
  int cancel = 0;
  proc(name.c_str(), id, code, value, &cancel);
  return cancel;
}

int Emit(Form* form, int id, int code, intptr_t value) {
  // Nothing a toolkit setter causes reaches the application (see Quiet).
  if (!form || form->unloading || !Loud()) return 0;
  return Fire(form->name, id, code, value);
}

namespace {

int ListSelection(HWND list) {
  bool multi = (GetWindowLongPtrW(list, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
  LRESULT index = SendMessageW(list, multi ? LB_GETCARETINDEX : LB_GETCURSEL, 0, 0);
  return index < 0 ? 0 : static_cast<int>(index) + 1;
}

void OnCommand(Form* form, WPARAM wp, LPARAM lp) {
  HWND from = reinterpret_cast<HWND>(lp);
  int code = HIWORD(wp);
  int cmd = LOWORD(wp);
  if (!from) {
    // Menu items (code 0) and accelerators (code 1).
    Emit(form, cmd, FK_EV_CLICK, code == 1 ? FK_VAL_ACCEL : FK_VAL_MENU);
    return;
  }
  Control* c = ControlByHwnd(form, from);
  if (!c) return;
  int id = c->id;
  switch (c->kind) {
    case Kind::kButton:
    case Kind::kImageButton:
      if (code == BN_CLICKED) Emit(form, id, FK_EV_CLICK, 0);
      return;
    case Kind::kCheckBox:
      if (code == BN_CLICKED) {
        Emit(form, id, FK_EV_CLICK, SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED);
      }
      return;
    case Kind::kRadio:
      if (code == BN_CLICKED) Emit(form, id, FK_EV_CLICK, 1);
      return;
    case Kind::kLabel:
    case Kind::kPicture:
    case Kind::kIcon:
      if (code == STN_CLICKED) Emit(form, id, FK_EV_CLICK, 0);
      if (code == STN_DBLCLK) Emit(form, id, FK_EV_DBLCLICK, 0);
      return;
    case Kind::kText:
    case Kind::kRichText:
      if (code == EN_CHANGE && Loud()) {
        Emit(form, id, FK_EV_CHANGE, GetWindowTextLengthW(from));
      } else if (code == EN_SETFOCUS) {
        Emit(form, id, FK_EV_GOTFOCUS, 0);
      } else if (code == EN_KILLFOCUS) {
        Emit(form, id, FK_EV_LOSTFOCUS, 0);
      }
      return;
    case Kind::kListBox:
      if (code == LBN_SELCHANGE && Loud()) {
        Emit(form, id, FK_EV_CHANGE, ListSelection(from));
      } else if (code == LBN_DBLCLK) {
        Emit(form, id, FK_EV_DBLCLICK, ListSelection(from));
      } else if (code == LBN_SETFOCUS) {
        Emit(form, id, FK_EV_GOTFOCUS, 0);
      } else if (code == LBN_KILLFOCUS) {
        Emit(form, id, FK_EV_LOSTFOCUS, 0);
      }
      return;
    case Kind::kComboBox:
      if ((code == CBN_SELCHANGE || code == CBN_EDITCHANGE) && Loud()) {
        LRESULT sel = SendMessageW(from, CB_GETCURSEL, 0, 0);
        Emit(form, id, FK_EV_CHANGE, sel < 0 ? 0 : sel + 1);
      } else if (code == CBN_SETFOCUS) {
        Emit(form, id, FK_EV_GOTFOCUS, 0);
      } else if (code == CBN_KILLFOCUS) {
        Emit(form, id, FK_EV_LOSTFOCUS, 0);
      }
      return;
    case Kind::kToolbar:
      Emit(form, id, FK_EV_CLICK, cmd);
      return;
    default:
      if (code == EN_CHANGE && Loud()) {
        Emit(form, id, FK_EV_CHANGE, 0);  // hot-key controls report their changes this way
      } else if (Tk().notify_events) {
        Emit(form, id, FK_EV_NOTIFY, code);
      }
      return;
  }
}

// Returns true when the notification was answered (result in *result).
bool OnNotify(Form* form, NMHDR* hdr, LRESULT* result) {
  Control* c = ControlByHwnd(form, hdr->hwndFrom);
  if (!c) {
    // Toolbar tooltips ask their toolbar's parent for the text.
    return hdr->code == TTN_GETDISPINFOW && ToolbarTipText(form, hdr);
  }
  int id = c->id;
  UINT code = hdr->code;
  switch (c->kind) {
    case Kind::kTabControl:
      if (code == TCN_SELCHANGE) {
        int page = static_cast<int>(SendMessageW(c->hwnd, TCM_GETCURSEL, 0, 0)) + 1;
        HWND hwnd = form->hwnd;
        // Hiding the old page may move the focus, whose events may unload the form.
        if (HasProp(c->props, 'L')) FK_DISPLAYLAYER(form->name.c_str(), page);
        if (Loud()) Emit(FormByHwnd(hwnd), id, FK_EV_CHANGE, page);
        return true;
      }
      break;
    case Kind::kTreeView:
      if (code == TVN_SELCHANGEDW) {
        auto* tv = reinterpret_cast<NMTREEVIEWW*>(hdr);
        if (Loud()) Emit(form, id, FK_EV_CHANGE, reinterpret_cast<intptr_t>(tv->itemNew.hItem));
        return true;
      }
      if (code == NM_DBLCLK) {
        intptr_t sel = static_cast<intptr_t>(SendMessageW(c->hwnd, TVM_GETNEXTITEM, TVGN_CARET, 0));
        Emit(form, id, FK_EV_DBLCLICK, sel);
        return false;  // the tree still expands or collapses the item
      }
      break;
    case Kind::kToolbar:
      if (code == TBN_HOTITEMCHANGE) {
        auto* hot = reinterpret_cast<NMTBHOTITEM*>(hdr);
        ToolbarHotChanged(form, c, (hot->dwFlags & HICF_LEAVING) ? 0 : hot->idNew);
        *result = 0;
        return true;
      }
      break;
    case Kind::kGeneric:
      if (code == DTN_DATETIMECHANGE) {
        if (Loud()) Emit(form, id, FK_EV_CHANGE, 0);
        return true;
      }
      break;
    default:
      break;
  }
  // Everything else is the application's business when it asked for notifications; the
  // common controls' own answers stay with the default procedure.
  if (Tk().notify_events && code != static_cast<UINT>(NM_CUSTOMDRAW) &&
      code != static_cast<UINT>(NM_NCHITTEST) && code != static_cast<UINT>(NM_SETCURSOR) &&
      code != static_cast<UINT>(TTN_GETDISPINFOW)) {
    Emit(form, id, FK_EV_NOTIFY, static_cast<int>(code));
  }
  return false;
}

LRESULT OnCtlColor(Form* form, UINT msg, HDC dc, HWND from, bool* handled) {
  Control* c = ControlByHwnd(form, from);
  if (!c) c = ControlByHwnd(form, GetParent(from));  // the edit field inside a combo box
  COLORREF fg = c ? c->fg : CLR_INVALID;
  *handled = true;
  if (fg != CLR_INVALID) SetTextColor(dc, fg);
  if (c && c->bg != CLR_INVALID) {
    SetBkColor(dc, c->bg);
    return reinterpret_cast<LRESULT>(c->bg_brush);
  }
  bool field = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
  if (!field && form->bg_brush) {
    SetBkColor(dc, form->bg);
    return reinterpret_cast<LRESULT>(form->bg_brush);
  }
  // Labels, boxes and frames on a tab page continue the page behind them.
  bool read_only_edit = c && (c->kind == Kind::kText || c->kind == Kind::kRichText);
  if (!field && c && !read_only_edit) {
    if (Control* tab = TabUnder(form, c)) {
      if (HBRUSH brush = PageBrush(form, tab, c, dc)) {
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(brush);
      }
    }
  }
  if (fg != CLR_INVALID) {
    int sys = field ? COLOR_WINDOW : COLOR_BTNFACE;
    SetBkColor(dc, GetSysColor(sys));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(sys));
  }
  *handled = false;
  return 0;
}

void OnDropFiles(Form* form, HDROP drop) {
  UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<std::wstring> files;
  for (UINT i = 0; i < count; ++i) {
    UINT n = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(n + 1, L'\0');
    DragQueryFileW(drop, i, path.data(), n + 1);
    path.resize(n);
    files.push_back(path);
  }
  POINT pt{};
  DragQueryPoint(drop, &pt);
  DragFinish(drop);
  HWND under = ChildWindowFromPointEx(form->hwnd, pt, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
  Control* c = ControlByHwnd(form, under);
  form->drop_list = std::move(files);
  Emit(form, c ? c->id : 0, FK_EV_DROPFILES, static_cast<intptr_t>(count));
}

void OnContextMenu(Form* form, HWND from, LPARAM lp) {
  Control* c = ControlByHwnd(form, from);
  if (!c) c = ControlByHwnd(form, GetParent(from));
  intptr_t value = 0;
  POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  if (c && c->kind == Kind::kTreeView) {
    TVHITTESTINFO hit{};
    hit.pt = pt;
    ScreenToClient(c->hwnd, &hit.pt);
    HTREEITEM item = reinterpret_cast<HTREEITEM>(
        SendMessageW(c->hwnd, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!item)
      item = reinterpret_cast<HTREEITEM>(SendMessageW(c->hwnd, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (item) {
      Quiet quiet;
      SendMessageW(c->hwnd, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    }
    value = reinterpret_cast<intptr_t>(item);
  } else if (c && c->kind == Kind::kListBox) {
    POINT local = pt;
    ScreenToClient(c->hwnd, &local);
    LRESULT hit = SendMessageW(c->hwnd, LB_ITEMFROMPOINT, 0, MAKELPARAM(local.x, local.y));
    if (HIWORD(hit) == 0) value = LOWORD(hit) + 1;
  }
  Emit(form, c ? c->id : 0, FK_EV_RIGHTCLICK, value);
}

void OnActivate(Form* form, WPARAM wp) {
  bool active = LOWORD(wp) != WA_INACTIVE;
  if (!active) {
    HWND focus = GetFocus();
    if (focus && IsChild(form->hwnd, focus)) form->last_focus = focus;
  } else if (!HIWORD(wp)) {
    HWND target = form->last_focus;
    if (!target || !IsWindow(target) || !IsChild(form->hwnd, target) || !IsWindowVisible(target) ||
        !IsWindowEnabled(target)) {
      target = GetNextDlgTabItem(form->hwnd, nullptr, FALSE);
    }
    HWND hwnd = form->hwnd;
    SetFocus(target ? target : hwnd);  // focus events may unload the form
    form = FormByHwnd(hwnd);
  }
  Emit(form, 0, FK_EV_ACTIVATE, active ? 1 : 0);
}

}  // namespace

bool HandleFormMessage(Form* form, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  *result = 0;
  switch (msg) {
    case WM_COMMAND:
      OnCommand(form, wp, lp);
      return true;
    case WM_NOTIFY:
      return OnNotify(form, reinterpret_cast<NMHDR*>(lp), result);
    case WM_HSCROLL:
    case WM_VSCROLL: {
      Control* c = ControlByHwnd(form, reinterpret_cast<HWND>(lp));
      if (!c || c->kind != Kind::kTrackBar) return false;
      int pos = static_cast<int>(SendMessageW(c->hwnd, TBM_GETPOS, 0, 0));
      if (pos != c->last_value) {
        c->last_value = pos;
        if (Loud()) Emit(form, c->id, FK_EV_CHANGE, pos);
      }
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: {
      bool handled = false;
      *result =
          OnCtlColor(form, msg, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), &handled);
      return handled;
    }
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(reinterpret_cast<HDC>(wp), &rc,
               form->bg_brush ? form->bg_brush : GetSysColorBrush(COLOR_BTNFACE));
      *result = 1;
      return true;
    }
    case WM_SIZE:
      DockBars(form);
      form = FormByHwnd(hwnd);  // the bars' notifications may have reached the application
      if (form && !form->designing) {
        Emit(form, 0, FK_EV_RESIZE, wp == SIZE_MINIMIZED ? 1 : (wp == SIZE_MAXIMIZED ? 2 : 0));
      }
      return true;
    case WM_CLOSE: {
      std::string name = form->name;
      if (Emit(form, 0, FK_EV_CLOSE, 0)) return true;  // refused
      form = FindFormQuiet(name);
      if (!form) return true;
      if (form->keep) {
        // A kept form that waits modally answers "closed": hidden, it would wait unseen.
        if (!EndModal(name, FK_MODAL_CLOSED)) ShowWindow(hwnd, SW_HIDE);
      } else {
        UnloadForm(name);
      }
      return true;
    }
    case WM_DESTROY:
      form->unloading = true;
      return false;
    case WM_TIMER:
      Emit(form, static_cast<int>(wp), FK_EV_TIMER, 0);
      return true;
    case WM_DROPFILES:
      OnDropFiles(form, reinterpret_cast<HDROP>(wp));
      return true;
    case WM_HOTKEY:
      Emit(form, 0, FK_EV_HOTKEY, static_cast<intptr_t>(wp));
      return true;
    case WM_ACTIVATE:
      OnActivate(form, wp);
      return true;
    case WM_SETFOCUS: {
      HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE);
      if (first && first != hwnd) SetFocus(first);
      return true;
    }
    case WM_CONTEXTMENU:
      OnContextMenu(form, reinterpret_cast<HWND>(wp), lp);
      return true;
    case DM_GETDEFID:
      for (auto& [id, control] : form->controls) {
        if (control->kind == Kind::kButton && HasProp(control->props, 'D')) {
          *result = MAKELRESULT(id, DC_HASDEFID);
          return true;
        }
      }
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    if (auto* form = static_cast<Form*>(cs->lpCreateParams)) form->hwnd = hwnd;
  }
  Form* form = FormByHwnd(hwnd);
  if (!form) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    DestroyFormRecord(hwnd);
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  if (FK_MSGHOOK hook = form->pre_hook) {
    const std::string name = form->name;
    FK_LRESULT result = 0;
    if (hook(name.c_str(), 0, hwnd, msg, wp, lp, &result)) return result;
    form = FormByHwnd(hwnd);
    if (!form) return DefWindowProcW(hwnd, msg, wp, lp);
  }
  LRESULT result = 0;
  if (HandleFormMessage(form, hwnd, msg, wp, lp, &result)) return result;
  form = FormByHwnd(hwnd);
  if (form && form->post_hook) {
    const std::string name = form->name;
    FK_LRESULT post_result = 0;
    if (form->post_hook(name.c_str(), 0, hwnd, msg, wp, lp, &post_result)) return post_result;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ControlHookProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR uid,
                                 DWORD_PTR ref) {
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, ControlHookProc, uid);
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
  int id = static_cast<int>(ref);
  Form* form = FormByHwnd(GetParent(hwnd));
  if (form) {
    auto it = form->controls.find(id);
    if (it != form->controls.end() && it->second->hook) {
      const std::string name = form->name;
      FK_LRESULT result = 0;
      if (it->second->hook(name.c_str(), id, hwnd, msg, wp, lp, &result)) return result;
    }
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace fk
