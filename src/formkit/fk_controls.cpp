// Control creation: one call per kind, each turning property letters into window styles, then
// the shared part (position in character units, current colours, font and layer).
#include <windows.h>
// Declarations that need <windows.h> first.
#include <richedit.h>

#include <algorithm>
#include <cstdio>

#include "formkit/fk_internal.h"

namespace fk {

namespace {

bool Interactive(Kind kind) {
  switch (kind) {
    case Kind::kText:
    case Kind::kRichText:
    case Kind::kButton:
    case Kind::kImageButton:
    case Kind::kCheckBox:
    case Kind::kComboBox:
    case Kind::kListBox:
    case Kind::kTreeView:
    case Kind::kTabControl:
    case Kind::kTrackBar:
    case Kind::kGeneric:
      return true;
    default:
      return false;
  }
}

DWORD EdgeStyle(const std::string& props) { return HasProp(props, 'F') ? 0 : WS_EX_CLIENTEDGE; }

// Frames and tab controls lie under the controls placed on them, in drawing and Tab order. A new
// child window goes to the bottom of its siblings, so they are sent back again after each one;
// tab controls go last, below the frames drawn on their pages.
void SendBackgroundsBack(Form* form) {
  for (Kind kind : {Kind::kFrame, Kind::kTabControl}) {
    for (auto& [id, c] : form->controls) {
      if (c->kind == kind) {
        SetWindowPos(c->hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      }
    }
  }
}

void AddListItems(Control* c, const std::string& items) {
  UINT msg = c->kind == Kind::kComboBox ? CB_ADDSTRING : LB_ADDSTRING;
  for (const std::string& item : SplitBar(items)) {
    SendMessageW(c->hwnd, msg, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  }
}

// The biggest standard icon size that fits a w x h pixel area with a small margin.
int IconSizeFor(int w, int h) {
  int room = std::min(w, h) - 6;
  for (int size : {48, 32, 24, 16}) {
    if (Scale96(size) <= room) return Scale96(size);
  }
  return Scale96(16);
}

bool ParseButtonSize(const char* text, int* w, int* h) {
  if (!text) return false;
  char f = 0, x = 0;
  return std::sscanf(text, " %c%d%c%d", &f, w, &x, h) == 4 && (f == 'F' || f == 'f') &&
         (x == 'X' || x == 'x') && *w > 0 && *h > 0 && *w <= 256 && *h <= 256;
}

int StripIndex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  return -1;
}

}  // namespace

namespace {

// A group frame draws only its border and caption; what lies inside it would show whatever was
// on the screen before. It gets the background of its form or tab page first.
LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR uid, DWORD_PTR) {
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, FrameProc, uid);
  if (msg == WM_ERASEBKGND) {
    HDC dc = reinterpret_cast<HDC>(wp);
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(GetParent(hwnd), WM_CTLCOLORSTATIC, wp, reinterpret_cast<LPARAM>(hwnd)));
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
    return 1;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

Control* AddControl(Form* form, int id, Kind kind, const wchar_t* cls, const std::wstring& text,
                    DWORD style, DWORD ex_style, double x, double y, double w, double h,
                    const std::string& props) {
  Toolkit& tk = Tk();
  if (id <= 0 || id > 0xFFFF) {
    Fail("control ids are 1..65535, not " + std::to_string(id));
    return nullptr;
  }
  if (form->controls.count(id)) {
    Fail("control " + std::to_string(id) + " exists already on form \"" + form->name + "\"");
    return nullptr;
  }
  if ((Interactive(kind) || HasProp(props, 'T')) && !HasProp(props, 'N')) style |= WS_TABSTOP;
  if (HasProp(props, 'G')) style |= WS_GROUP;
  // A radio group starts with its first button and ends at the next control of another kind.
  bool radio = kind == Kind::kRadio;
  bool previous_radio = form->any_control && form->last_kind == Kind::kRadio;
  if (radio && !previous_radio) style |= WS_GROUP | WS_TABSTOP;
  if (!radio && previous_radio) style |= WS_GROUP;

  auto owned = std::make_unique<Control>();
  Control* c = owned.get();
  c->id = id;
  c->kind = kind;
  c->props = props;
  c->layer = form->current_layer;
  c->fg = tk.cur_fg;
  c->bg = tk.cur_bg;
  c->font = tk.cur_font;
  c->hwnd = CreateWindowExW(ex_style, cls, text.c_str(), style | WS_CHILD | WS_CLIPSIBLINGS, PxX(x),
                            PxY(y), PxX(w), PxY(h), form->hwnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), tk.module, nullptr);
  if (!c->hwnd) {
    Fail("control " + std::to_string(id) + " could not be created (error " +
         std::to_string(GetLastError()) + ")");
    return nullptr;
  }
  SendMessageW(c->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle(c->font)), FALSE);
  form->controls[id] = std::move(owned);
  SendBackgroundsBack(form);
  form->last_kind = kind;
  form->any_control = true;
  ApplyColours(c);
  UpdateVisibility(form, c);
  return c;
}

void FreeControl(Control* c) {
  FreePage(c);
  if (c->bg_brush) DeleteObject(c->bg_brush);
  if (c->bitmap) DeleteObject(c->bitmap);
  if (c->icon) DestroyIcon(c->icon);
  if (c->image_list) ImageList_Destroy(c->image_list);
  c->bg_brush = nullptr;
  c->bitmap = nullptr;
  c->icon = nullptr;
  c->image_list = nullptr;
}

void ApplyColours(Control* c) {
  if (c->bg_brush) DeleteObject(c->bg_brush);
  c->bg_brush = c->bg != CLR_INVALID ? CreateSolidBrush(c->bg) : nullptr;
  switch (c->kind) {
    case Kind::kRichText: {
      SendMessageW(c->hwnd, EM_SETBKGNDCOLOR, c->bg == CLR_INVALID,
                   c->bg == CLR_INVALID ? 0 : c->bg);
      CHARFORMAT2W cf{};
      cf.cbSize = sizeof(cf);
      cf.dwMask = CFM_COLOR;
      cf.dwEffects = c->fg == CLR_INVALID ? CFE_AUTOCOLOR : 0;
      cf.crTextColor = c->fg == CLR_INVALID ? 0 : c->fg;
      SendMessageW(c->hwnd, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
      break;
    }
    case Kind::kProgressBar:
      SendMessageW(c->hwnd, PBM_SETBARCOLOR, 0, c->fg == CLR_INVALID ? CLR_DEFAULT : c->fg);
      SendMessageW(c->hwnd, PBM_SETBKCOLOR, 0, c->bg == CLR_INVALID ? CLR_DEFAULT : c->bg);
      break;
    case Kind::kTreeView:
      SendMessageW(c->hwnd, TVM_SETTEXTCOLOR, 0,
                   c->fg == CLR_INVALID ? static_cast<LPARAM>(-1) : c->fg);
      SendMessageW(c->hwnd, TVM_SETBKCOLOR, 0,
                   c->bg == CLR_INVALID ? static_cast<LPARAM>(-1) : c->bg);
      break;
    default:
      break;
  }
  InvalidateRect(c->hwnd, nullptr, TRUE);
}

bool SetControlImage(Form* form, Control* c, const char* image) {
  RECT rc, outer;
  GetClientRect(c->hwnd, &rc);
  GetWindowRect(c->hwnd, &outer);
  int size = IconSizeFor(rc.right, rc.bottom);
  LoadedImage loaded = LoadImageText(image, size, size);
  if (!loaded.icon && !loaded.bitmap) {
    Fail("no image \"" + std::string(image ? image : "") + "\"");
    return false;
  }
  if (loaded.bitmap && loaded.see_through) {
    COLORREF back = c->kind == Kind::kImageButton
                        ? (c->bg != CLR_INVALID ? c->bg : GetSysColor(COLOR_BTNFACE))
                        : BackgroundUnder(form, c);
    HBITMAP flat = FlattenBitmap(loaded.bitmap, loaded.key, back);
    DeleteObject(loaded.bitmap);
    loaded.bitmap = flat;
  }
  bool button = c->kind == Kind::kImageButton;
  UINT msg = button ? BM_SETIMAGE : STM_SETIMAGE;
  LONG_PTR style = GetWindowLongPtrW(c->hwnd, GWL_STYLE);
  if (button) {
    style &= ~static_cast<LONG_PTR>(BS_ICON | BS_BITMAP);
    style |= loaded.icon ? BS_ICON : BS_BITMAP;
  } else {
    style &= ~static_cast<LONG_PTR>(SS_TYPEMASK);
    style |= loaded.icon ? SS_ICON : SS_BITMAP;
  }
  SetWindowLongPtrW(c->hwnd, GWL_STYLE, style);
  HANDLE previous = nullptr;
  if (loaded.icon) {
    previous = reinterpret_cast<HANDLE>(
        SendMessageW(c->hwnd, msg, IMAGE_ICON, reinterpret_cast<LPARAM>(loaded.icon)));
  } else {
    previous = reinterpret_cast<HANDLE>(
        SendMessageW(c->hwnd, msg, IMAGE_BITMAP, reinterpret_cast<LPARAM>(loaded.bitmap)));
  }
  // A static control keeps a copy of a bitmap with an alpha channel and hands the copy back
  // here, for the caller to delete; the toolkit's own images are deleted below.
  if (previous && previous != c->bitmap && previous != c->icon &&
      GetObjectType(previous) == OBJ_BITMAP) {
    DeleteObject(previous);
  }
  // The control keeps its size: static controls resize themselves to a new image.
  SetWindowPos(c->hwnd, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (c->icon) DestroyIcon(c->icon);
  if (c->bitmap) DeleteObject(c->bitmap);
  c->icon = loaded.icon;
  c->bitmap = loaded.bitmap;
  InvalidateRect(c->hwnd, nullptr, TRUE);
  return true;
}

}  // namespace fk

using namespace fk;

namespace {

// Looks up the form and clears the last error: the start of every creation call.
Form* Begin(const char* form_name) {
  EnsureReady();
  ClearError();
  return FindForm(form_name);
}

std::string Props(const char* props) { return props ? props : ""; }

DWORD TextAlign(const std::string& props, DWORD centre, DWORD right) {
  if (HasProp(props, 'C')) return centre;
  if (HasProp(props, 'J')) return right;
  return 0;
}

}  // namespace

extern "C" {

FK_API int FK_LABEL(const char* form_name, int id, const char* text, double x, double y, double w,
                    double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  std::string props = Props(props_text);
  DWORD style = SS_NOTIFY | TextAlign(props, SS_CENTER, SS_RIGHT);
  DWORD ex = HasProp(props, 'E') ? WS_EX_STATICEDGE : 0;
  return AddControl(form, id, Kind::kLabel, L"STATIC", Wide(text), style, ex, x, y, w, h, props)
             ? 1
             : 0;
}

FK_API int FK_TEXT(const char* form_name, int id, const char* text, double x, double y, double w,
                   double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  std::string props = Props(props_text);
  DWORD style = TextAlign(props, ES_CENTER, ES_RIGHT);
  if (HasProp(props, 'M')) {
    style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    if (HasProp(props, 'H')) style |= ES_AUTOHSCROLL | WS_HSCROLL;
  } else {
    style |= ES_AUTOHSCROLL;
  }
  if (HasProp(props, 'V')) style |= WS_VSCROLL;
  if (HasProp(props, 'R')) style |= ES_READONLY;
  if (HasProp(props, 'P')) style |= ES_PASSWORD;
  if (HasProp(props, 'S')) style |= ES_NOHIDESEL;
  return AddControl(form, id, Kind::kText, L"EDIT", Wide(text), style, EdgeStyle(props), x, y, w, h,
                    props)
             ? 1
             : 0;
}

FK_API int FK_RICHTEXT1(const char* form_name, int id, const char* text, double x, double y,
                        double w, double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  if (!Tk().richedit) return Fail("the rich text library riched20.dll is missing");
  std::string props = Props(props_text);
  DWORD style = ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL;
  if (HasProp(props, 'H')) style |= ES_AUTOHSCROLL | WS_HSCROLL;
  if (HasProp(props, 'V')) style |= WS_VSCROLL;
  if (HasProp(props, 'R')) style |= ES_READONLY;
  Control* c = AddControl(form, id, Kind::kRichText, RICHEDIT_CLASSW, L"", style, EdgeStyle(props),
                          x, y, w, h, props);
  if (!c) return 0;
  SendMessageW(c->hwnd, EM_SETEVENTMASK, 0, ENM_CHANGE);
  Quiet quiet;
  SetRichText(c, text ? text : "", FK_RTF_REPLACE);
  return 1;
}

FK_API int FK_BUTTON(const char* form_name, int id, const char* caption, double x, double y,
                     double w, double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  std::string props = Props(props_text);
  DWORD style = HasProp(props, 'D') ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  return AddControl(form, id, Kind::kButton, L"BUTTON", Wide(caption), style, 0, x, y, w, h, props)
             ? 1
             : 0;
}

FK_API int FK_IBUTTON(const char* form_name, int id, const char* image, double x, double y,
                      double w, double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  std::string props = Props(props_text);
  DWORD style = BS_PUSHBUTTON | BS_ICON | (HasProp(props, 'F') ? BS_FLAT : 0);
  Control* c =
      AddControl(form, id, Kind::kImageButton, L"BUTTON", L"", style, 0, x, y, w, h, props);
  if (!c) return 0;
  // A missing image leaves a plain button: the control exists, the failure is reported.
  return SetControlImage(form, c, image) ? 1 : 0;
}

FK_API int FK_CHECKBOX(const char* form_name, int id, const char* caption, double x, double y,
                       double w, double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  return AddControl(form, id, Kind::kCheckBox, L"BUTTON", Wide(caption), BS_AUTOCHECKBOX, 0, x, y,
                    w, h, Props(props_text))
             ? 1
             : 0;
}

FK_API int FK_RADIO(const char* form_name, int id, const char* caption, double x, double y,
                    double w, double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  return AddControl(form, id, Kind::kRadio, L"BUTTON", Wide(caption), BS_AUTORADIOBUTTON, 0, x, y,
                    w, h, Props(props_text))
             ? 1
             : 0;
}

FK_API int FK_COMBOBOX(const char* form_name, int id, const char* items, double x, double y,
                       double w, double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  std::string props = Props(props_text);
  DWORD style = (HasProp(props, 'L') ? CBS_DROPDOWNLIST : CBS_DROPDOWN) | CBS_AUTOHSCROLL |
                WS_VSCROLL | (HasProp(props, 'O') ? CBS_SORT : 0);
  Control* c = AddControl(form, id, Kind::kComboBox, L"COMBOBOX", L"", style, 0, x, y, w, h, props);
  if (!c) return 0;
  AddListItems(c, items ? items : "");
  return 1;
}

FK_API int FK_LISTBOX(const char* form_name, int id, const char* items, double x, double y,
                      double w, double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  std::string props = Props(props_text);
  DWORD style = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL |
                (HasProp(props, 'M') ? LBS_EXTENDEDSEL : 0) | (HasProp(props, 'O') ? LBS_SORT : 0) |
                (HasProp(props, 'H') ? WS_HSCROLL : 0);
  Control* c = AddControl(form, id, Kind::kListBox, L"LISTBOX", L"", style, EdgeStyle(props), x, y,
                          w, h, props);
  if (!c) return 0;
  if (HasProp(props, 'H')) SendMessageW(c->hwnd, LB_SETHORIZONTALEXTENT, PxX(w) * 4, 0);
  AddListItems(c, items ? items : "");
  return 1;
}

FK_API int FK_TREEVIEW(const char* form_name, int id, double x, double y, double w, double h,
                       const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  std::string props = Props(props_text);
  DWORD style = TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
  return AddControl(form, id, Kind::kTreeView, WC_TREEVIEWW, L"", style, EdgeStyle(props), x, y, w,
                    h, props)
             ? 1
             : 0;
}

FK_API int FK_TABCONTROL(const char* form_name, int id, const char* pages, double x, double y,
                         double w, double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  Control* c = AddControl(form, id, Kind::kTabControl, WC_TABCONTROLW, L"", 0, 0, x, y, w, h,
                          Props(props_text));
  if (!c) return 0;
  int index = 0;
  for (const std::string& page : SplitBar(pages ? pages : "")) {
    std::wstring text = Wide(page);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageW(c->hwnd, TCM_INSERTITEMW, index++, reinterpret_cast<LPARAM>(&item));
  }
  return 1;
}

FK_API int FK_TOOLBAR(const char* form_name, int id, const char* image, const char* button_size,
                      const char* layout, double x, double y, double w, double h,
                      const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  int bw = 0, bh = 0;
  if (!ParseButtonSize(button_size, &bw, &bh)) {
    return Fail("toolbar button size \"" + std::string(button_size ? button_size : "") +
                "\" is not like \"F24X24\"");
  }
  std::string text = layout ? layout : "";
  size_t bar = text.find('|');
  std::string buttons = text.substr(0, bar);
  std::string images = bar == std::string::npos ? std::string() : text.substr(bar + 1);
  for (char ch : buttons) {
    if (ch != 'B' && ch != 'b' && ch != ' ') {
      return Fail("toolbar layout \"" + text +
                  "\": only \"B\" and blanks may stand before the bar");
    }
  }
  for (char ch : images) {
    if (StripIndex(ch) < 0) {
      return Fail("toolbar layout \"" + text + "\": image characters are 0-9 and A-Z");
    }
  }
  std::string props = Props(props_text);
  bool docked = w <= 0 || h <= 0;
  DWORD style = TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER |
                (HasProp(props, 'W') ? TBSTYLE_WRAPABLE : 0) |
                (docked ? CCS_TOP : CCS_NOPARENTALIGN | CCS_NORESIZE);
  Control* c = AddControl(form, id, Kind::kToolbar, TOOLBARCLASSNAMEW, L"", style, 0, x, y,
                          docked ? 1 : w, docked ? 1 : h, props);
  if (!c) return 0;
  c->docked = docked;
  SendMessageW(c->hwnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(c->hwnd, TB_SETBITMAPSIZE, 0, MAKELPARAM(bw, bh));

  LoadedImage strip = LoadImageText(image, 0, 0);
  if (strip.bitmap) {
    BITMAP info{};
    GetObjectW(strip.bitmap, sizeof(info), &info);
    int count = info.bmWidth / bw;
    c->image_list = ImageList_Create(bw, bh, ImageListFlags(), count > 0 ? count : 1, 0);
    if (strip.see_through) {
      ImageList_AddMasked(c->image_list, strip.bitmap, strip.key);
    } else {
      ImageList_Add(c->image_list, strip.bitmap, nullptr);
    }
    DeleteObject(strip.bitmap);
    SendMessageW(c->hwnd, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(c->image_list));
  } else {
    if (strip.icon) DestroyIcon(strip.icon);
    Fail("no toolbar image \"" + std::string(image ? image : "") + "\"");
  }

  std::vector<TBBUTTON> tb;
  int number = 0;
  for (char ch : buttons) {
    TBBUTTON b{};
    if (ch == ' ') {
      b.fsStyle = BTNS_SEP;
    } else {
      int pick = number < static_cast<int>(images.size()) ? StripIndex(images[number]) : number;
      ++number;
      b.iBitmap = pick;
      b.idCommand = number;
      b.fsState = TBSTATE_ENABLED;
      b.fsStyle = BTNS_BUTTON;
    }
    tb.push_back(b);
  }
  c->button_tips.assign(static_cast<size_t>(number) + 1, std::wstring());
  SendMessageW(c->hwnd, TB_ADDBUTTONSW, tb.size(), reinterpret_cast<LPARAM>(tb.data()));
  SendMessageW(c->hwnd, TB_AUTOSIZE, 0, 0);
  return strip.bitmap ? 1 : 0;
}

FK_API int FK_STATUSBAR(const char* form_name, int id, const char* text, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  std::string props = Props(props_text);
  bool sizable = (GetWindowLongPtrW(form->hwnd, GWL_STYLE) & WS_THICKFRAME) != 0;
  DWORD style = CCS_BOTTOM | ((sizable && !HasProp(props, 'W')) ? SBARS_SIZEGRIP : 0);
  Control* c = AddControl(form, id, Kind::kStatusBar, STATUSCLASSNAMEW, Wide(text), style, 0, 0, 0,
                          1, 1, props);
  if (!c) return 0;
  c->docked = true;
  SendMessageW(c->hwnd, WM_SIZE, 0, 0);
  return 1;
}

FK_API int FK_PROGRESSBAR(const char* form_name, int id, double x, double y, double w, double h,
                          const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  return AddControl(form, id, Kind::kProgressBar, PROGRESS_CLASSW, L"", 0, 0, x, y, w, h,
                    Props(props_text))
             ? 1
             : 0;
}

FK_API int FK_HTRACKBAR(const char* form_name, int id, int min, int max, double x, double y,
                        double w, double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  if (min > max) return Fail("track bar range " + std::to_string(min) + ".." + std::to_string(max));
  Control* c = AddControl(form, id, Kind::kTrackBar, TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_AUTOTICKS,
                          0, x, y, w, h, Props(props_text));
  if (!c) return 0;
  SendMessageW(c->hwnd, TBM_SETRANGEMIN, FALSE, min);
  SendMessageW(c->hwnd, TBM_SETRANGEMAX, FALSE, max);
  SendMessageW(c->hwnd, TBM_SETPOS, TRUE, min);
  c->last_value = min;
  return 1;
}

FK_API int FK_FRAME(const char* form_name, int id, const char* caption, double x, double y,
                    double w, double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  Control* c = AddControl(form, id, Kind::kFrame, L"BUTTON", Wide(caption), BS_GROUPBOX, 0, x, y, w,
                          h, Props(props_text));
  if (!c) return 0;
  SetWindowSubclass(c->hwnd, FrameProc, 2, 0);
  return 1;
}

FK_API int FK_ICON(const char* form_name, int id, const char* image, double x, double y, double w,
                   double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  std::string props = Props(props_text);
  Control* c =
      AddControl(form, id, Kind::kIcon, L"STATIC", L"", SS_ICON | SS_NOTIFY | SS_CENTERIMAGE,
                 HasProp(props, 'E') ? WS_EX_STATICEDGE : 0, x, y, w, h, props);
  if (!c) return 0;
  return SetControlImage(form, c, image) ? 1 : 0;
}

FK_API int FK_PICTURE(const char* form_name, int id, const char* image, double x, double y,
                      double w, double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  std::string props = Props(props_text);
  Control* c =
      AddControl(form, id, Kind::kPicture, L"STATIC", L"", SS_BITMAP | SS_NOTIFY | SS_CENTERIMAGE,
                 HasProp(props, 'E') ? WS_EX_STATICEDGE : 0, x, y, w, h, props);
  if (!c) return 0;
  if (!image || !*image) return 1;  // an empty picture, to be loaded later
  return SetControlImage(form, c, image) ? 1 : 0;
}

FK_API int FK_TURTLEPICTURE(const char* form_name, int id, const char* commands, double x, double y,
                            double w, double h, const char* props_text) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  std::string props = Props(props_text);
  Control* c = AddControl(form, id, Kind::kTurtle, kTurtleClass, L"", 0,
                          HasProp(props, 'E') ? WS_EX_CLIENTEDGE : 0, x, y, w, h, props);
  if (!c) return 0;
  c->turtle_commands = commands ? commands : "";
  InvalidateRect(c->hwnd, nullptr, TRUE);
  return 1;
}

FK_API int FK_CONTROLEX(const char* form_name, int id, const char* class_name, const char* text,
                        double x, double y, double w, double h, unsigned long style,
                        unsigned long ex_style) {
  Form* form = Begin(form_name);
  if (!form) return 0;
  if (!class_name || !*class_name) return Fail("FK_CONTROLEX needs a window class name");
  std::wstring cls = Wide(class_name);
  return AddControl(form, id, Kind::kGeneric, cls.c_str(), Wide(text), style & ~WS_VISIBLE,
                    ex_style, x, y, w, h, "")
             ? 1
             : 0;
}

}  // extern "C"
