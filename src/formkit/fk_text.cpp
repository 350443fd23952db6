// Text and values of controls: captions and texts of every kind, rich text in plain or RTF form
// with its capacity, check states, progress and track bars, and scrolling into view.
#include <windows.h>
// Declarations that need <windows.h> first.
#include <richedit.h>

#include <algorithm>

#include "formkit/fk_internal.h"

namespace fk {

namespace {

// The texts read from boxes may be passphrases: the wide copy is wiped, and so is the result
// once the caller has copied it (see PutWiped).
std::string WindowText(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  WipedW text{std::wstring(static_cast<size_t>(n) + 1, L'\0')};
  n = GetWindowTextW(hwnd, text.text.data(), n + 1);
  return Utf8(std::wstring_view(text.text.data(), static_cast<size_t>(n < 0 ? 0 : n)));
}

int PutWiped(std::string text, char* buf, int size) {
  WipedA wiped{std::move(text)};
  return PutText(wiped.text, buf, size);
}

std::string ListItemText(HWND hwnd, bool combo, int index) {
  LRESULT n = SendMessageW(hwnd, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, index, 0);
  if (n < 0) return {};
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  n = SendMessageW(hwnd, combo ? CB_GETLBTEXT : LB_GETTEXT, index,
                   reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(n < 0 ? 0 : n));
  return Utf8(text);
}

std::string TreeItemText(HWND tree, HTREEITEM item) {
  if (!item) return {};
  wchar_t text[1024] = {};
  TVITEMW tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = 1024;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  return Utf8(text);
}

std::string TabPageText(HWND tab, int index) {
  if (index < 0) return {};
  wchar_t text[256] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = 256;
  SendMessageW(tab, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item));
  return Utf8(text);
}

std::string StatusText(HWND bar, int part) {
  LRESULT n = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0));
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(n));
  return Utf8(text);
}

struct StreamBuffer {
  std::string_view in;
  size_t pos = 0;
  std::string out;
};

DWORD CALLBACK StreamIn(DWORD_PTR cookie, LPBYTE buf, LONG size, LONG* done) {
  auto* s = reinterpret_cast<StreamBuffer*>(cookie);
  size_t n = std::min(static_cast<size_t>(size), s->in.size() - s->pos);
  std::copy_n(s->in.data() + s->pos, n, buf);
  s->pos += n;
  *done = static_cast<LONG>(n);
  return 0;
}

DWORD CALLBACK StreamOut(DWORD_PTR cookie, LPBYTE buf, LONG size, LONG* done) {
  auto* s = reinterpret_cast<StreamBuffer*>(cookie);
  s->out.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(size));
  *done = size;
  return 0;
}

bool IsRtf(std::string_view text) { return text.substr(0, 5) == "{\\rtf"; }

// Programmatic changes are allowed in read-only boxes: the box is writable for the moment.
struct Writable {
  explicit Writable(HWND h) : hwnd(h) {
    read_only = (GetWindowLongPtrW(h, GWL_STYLE) & ES_READONLY) != 0;
    if (read_only) SendMessageW(h, EM_SETREADONLY, FALSE, 0);
  }
  ~Writable() {
    if (read_only) SendMessageW(hwnd, EM_SETREADONLY, TRUE, 0);
  }
  HWND hwnd;
  bool read_only;
};

std::string RichPlainText(HWND hwnd) {
  GETTEXTLENGTHEX len{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
  LRESULT n = SendMessageW(hwnd, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len), 0);
  if (n <= 0) return {};
  WipedW text{std::wstring(static_cast<size_t>(n) + 1, L'\0')};
  GETTEXTEX get{};
  get.cb = static_cast<DWORD>(text.text.size() * sizeof(wchar_t));
  get.flags = GT_USECRLF;
  get.codepage = 1200;
  n = SendMessageW(hwnd, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                   reinterpret_cast<LPARAM>(text.text.data()));
  return Utf8(std::wstring_view(text.text.data(), static_cast<size_t>(n < 0 ? 0 : n)));
}

bool IsCombo(const Control* c) { return c->kind == Kind::kComboBox; }

int SelectByText(Control* c, std::string_view text) {
  std::wstring wide = Wide(text);
  UINT find = IsCombo(c) ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT;
  LRESULT index =
      SendMessageW(c->hwnd, find, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(wide.c_str()));
  SendMessageW(c->hwnd, IsCombo(c) ? CB_SETCURSEL : LB_SETCURSEL, index < 0 ? -1 : index, 0);
  return index < 0 ? Fail("no item \"" + std::string(text) + "\"") : 1;
}

}  // namespace

// Puts the caret after the last character, where appended text goes.
void CaretToEnd(Control* c) {
  if (c->kind == Kind::kRichText) {
    GETTEXTLENGTHEX len{GTL_PRECISE | GTL_NUMCHARS, 1200};
    auto end = static_cast<LONG>(
        SendMessageW(c->hwnd, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len), 0));
    CHARRANGE range{end, end};
    SendMessageW(c->hwnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  } else {
    // EM_SETSEL(-1, -1) only drops the selection and leaves the caret where the user put it.
    int end = GetWindowTextLengthW(c->hwnd);
    SendMessageW(c->hwnd, EM_SETSEL, static_cast<WPARAM>(end), end);
  }
}

bool SetRichText(Control* c, std::string_view text, int mode) {
  Writable writable(c->hwnd);
  if (mode == FK_RTF_APPEND) CaretToEnd(c);
  if (c->kind == Kind::kRichText && IsRtf(text)) {
    StreamBuffer buffer;
    buffer.in = text;
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&buffer), 0, StreamIn};
    WPARAM flags = SF_RTF | (mode == FK_RTF_APPEND ? SFF_SELECTION : 0);
    SendMessageW(c->hwnd, EM_STREAMIN, flags, reinterpret_cast<LPARAM>(&stream));
    return stream.dwError == 0;
  }
  WipedW wide{Wide(text)};
  if (mode == FK_RTF_APPEND) {
    SendMessageW(c->hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.text.c_str()));
  } else if (c->kind == Kind::kRichText) {
    SETTEXTEX set{ST_DEFAULT, 1200};
    SendMessageW(c->hwnd, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&set),
                 reinterpret_cast<LPARAM>(wide.text.c_str()));
  } else {
    SetWindowTextW(c->hwnd, wide.text.c_str());
  }
  return true;
}

}  // namespace fk

using namespace fk;

extern "C" {

FK_API int FK_SETTEXT(const char* form_name, int id, const char* text_in) {
  ClearError();
  Form* form = FindForm(form_name);
  if (!form) return 0;
  // No copy of the text is kept: it may be a passphrase. The wide copies are wiped.
  std::string_view text = text_in ? text_in : "";
  auto set_window_text = [text](HWND hwnd) {
    WipedW wide{Wide(text)};
    return SetWindowTextW(hwnd, wide.text.c_str()) ? 1 : 0;
  };
  if (id == 0) return set_window_text(form->hwnd);
  Control* c = FindControl(form, id);
  if (!c) return 0;
  Quiet quiet;
  switch (c->kind) {
    case Kind::kComboBox:
      if ((GetWindowLongPtrW(c->hwnd, GWL_STYLE) & 3) == CBS_DROPDOWNLIST) {
        return SelectByText(c, text);
      }
      return set_window_text(c->hwnd);
    case Kind::kListBox:
      return SelectByText(c, text);
    case Kind::kStatusBar: {
      WipedW wide{Wide(text)};
      return SendMessageW(c->hwnd, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(wide.text.c_str())) ? 1
                                                                                                : 0;
    }
    case Kind::kRichText:
    case Kind::kText:
      return SetRichText(c, text, FK_RTF_REPLACE) ? 1 : 0;
    case Kind::kTurtle:
      c->turtle_commands = text;
      InvalidateRect(c->hwnd, nullptr, TRUE);
      return 1;
    case Kind::kTreeView:
    case Kind::kTabControl:
    case Kind::kToolbar:
      return Fail("control " + std::to_string(id) + " has no single text");
    default:
      return set_window_text(c->hwnd);
  }
}

FK_API int FK_GETTEXT(const char* form_name, int id, char* buf, int size) {
  ClearError();
  Form* form = FindForm(form_name);
  if (!form) return PutText("", buf, size);
  if (id == 0) return PutWiped(WindowText(form->hwnd), buf, size);
  Control* c = FindControl(form, id);
  if (!c) return PutText("", buf, size);
  switch (c->kind) {
    case Kind::kListBox: {
      LRESULT sel = SendMessageW(c->hwnd, LB_GETCURSEL, 0, 0);
      if (GetWindowLongPtrW(c->hwnd, GWL_STYLE) & LBS_EXTENDEDSEL) {
        int first = -1;
        SendMessageW(c->hwnd, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&first));
        sel = first;
      }
      return PutText(sel < 0 ? std::string() : ListItemText(c->hwnd, false, static_cast<int>(sel)),
                     buf, size);
    }
    case Kind::kStatusBar:
      return PutText(StatusText(c->hwnd, 0), buf, size);
    case Kind::kRichText:
      return PutWiped(RichPlainText(c->hwnd), buf, size);
    case Kind::kTurtle:
      return PutText(c->turtle_commands, buf, size);
    case Kind::kTreeView: {
      auto item =
          reinterpret_cast<HTREEITEM>(SendMessageW(c->hwnd, TVM_GETNEXTITEM, TVGN_CARET, 0));
      return PutText(TreeItemText(c->hwnd, item), buf, size);
    }
    case Kind::kTabControl:
      return PutText(
          TabPageText(c->hwnd, static_cast<int>(SendMessageW(c->hwnd, TCM_GETCURSEL, 0, 0))), buf,
          size);
    default:
      return PutWiped(WindowText(c->hwnd), buf, size);
  }
}

FK_API int FK_SETRICHTEXT(const char* form_name, int id, const char* text, int mode) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return 0;
  if (c->kind != Kind::kRichText && c->kind != Kind::kText) {
    return Fail("control " + std::to_string(id) + " is no text box");
  }
  if (mode != FK_RTF_REPLACE && mode != FK_RTF_APPEND) return Fail("unknown rich text mode");
  Quiet quiet;
  return SetRichText(c, text ? text : "", mode) ? 1 : Fail("the RTF text could not be read");
}

FK_API int FK_GETRICHTEXT(const char* form_name, int id, int rtf, char* buf, int size) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return PutText("", buf, size);
  if (c->kind != Kind::kRichText) {
    Fail("control " + std::to_string(id) + " is no rich text box");
    return PutText("", buf, size);
  }
  if (!rtf) return PutWiped(RichPlainText(c->hwnd), buf, size);
  StreamBuffer buffer;
  buffer.in = {};
  EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&buffer), 0, StreamOut};
  SendMessageW(c->hwnd, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  return PutText(buffer.out, buf, size);
}

FK_API int FK_SETRICHTEXTLEN(const char* form_name, int id, int capacity) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return 0;
  if (capacity < 0) return Fail("a capacity cannot be negative");
  if (c->kind == Kind::kRichText) {
    SendMessageW(c->hwnd, EM_EXLIMITTEXT, 0, capacity);
  } else if (c->kind == Kind::kText) {
    SendMessageW(c->hwnd, EM_SETLIMITTEXT, capacity, 0);
  } else {
    return Fail("control " + std::to_string(id) + " is no text box");
  }
  return 1;
}

FK_API int FK_GETRICHTEXTLEN(const char* form_name, int id, int what) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return 0;
  if (c->kind != Kind::kRichText && c->kind != Kind::kText) {
    return Fail("control " + std::to_string(id) + " is no text box");
  }
  if (what == FK_LEN_LIMIT) return static_cast<int>(SendMessageW(c->hwnd, EM_GETLIMITTEXT, 0, 0));
  if (c->kind == Kind::kRichText) {
    GETTEXTLENGTHEX len{GTL_PRECISE | GTL_NUMCHARS, 1200};
    return static_cast<int>(
        SendMessageW(c->hwnd, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len), 0));
  }
  return GetWindowTextLengthW(c->hwnd);
}

FK_API int FK_SETCHECK(const char* form_name, int id, int state) {
  ClearError();
  Form* form = nullptr;
  Control* c = FindControl(form_name, id, &form);
  if (!c) return 0;
  if (c->kind != Kind::kCheckBox && c->kind != Kind::kRadio) {
    return Fail("control " + std::to_string(id) + " has no check mark");
  }
  if (c->kind == Kind::kRadio && state) {
    // A radio button that is switched on switches off the others of its group.
    // The group is collected first: unchecking reaches control hooks, which may unload the form.
    HWND parent = form->hwnd;
    HWND first = c->hwnd;
    std::vector<HWND> others;
    for (HWND h = GetNextDlgGroupItem(parent, first, FALSE); h && h != first;
         h = GetNextDlgGroupItem(parent, h, FALSE)) {
      Control* other = ControlByHwnd(form, h);
      if (other && other->kind == Kind::kRadio) others.push_back(h);
      if (others.size() > form->controls.size()) break;
    }
    for (HWND h : others) {
      if (IsWindow(h)) SendMessageW(h, BM_SETCHECK, BST_UNCHECKED, 0);
    }
    if (!IsWindow(first)) return Fail("form was unloaded while its radio group changed");
  }
  SendMessageW(c->hwnd, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
  return 1;
}

FK_API int FK_GETCHECK(const char* form_name, int id) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return 0;
  switch (c->kind) {
    case Kind::kCheckBox:
    case Kind::kRadio:
      return SendMessageW(c->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    case Kind::kTrackBar:
      return static_cast<int>(SendMessageW(c->hwnd, TBM_GETPOS, 0, 0));
    case Kind::kProgressBar:
      return static_cast<int>(SendMessageW(c->hwnd, PBM_GETPOS, 0, 0));
    case Kind::kTabControl:
      return static_cast<int>(SendMessageW(c->hwnd, TCM_GETCURSEL, 0, 0)) + 1;
    case Kind::kTurtle:
      return TurtleResult(c);  // drawn now, so hidden pictures answer too
    default:
      return Fail("control " + std::to_string(id) + " has no value");
  }
}

FK_API int FK_SETPBAR(const char* form_name, int id, int position, int maximum) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return 0;
  if (c->kind != Kind::kProgressBar)
    return Fail("control " + std::to_string(id) + " is no progress bar");
  maximum = std::max(maximum, 1);
  position = std::clamp(position, 0, maximum);
  SendMessageW(c->hwnd, PBM_SETRANGE32, 0, maximum);
  SendMessageW(c->hwnd, PBM_SETPOS, position, 0);
  return 1;
}

FK_API int FK_SETTBAR(const char* form_name, int id, int position) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return 0;
  if (c->kind != Kind::kTrackBar) return Fail("control " + std::to_string(id) + " is no track bar");
  Quiet quiet;
  SendMessageW(c->hwnd, TBM_SETPOS, TRUE, position);
  c->last_value = static_cast<int>(SendMessageW(c->hwnd, TBM_GETPOS, 0, 0));
  return 1;
}

FK_API int FK_SCROLLTO(const char* form_name, int id, FK_ITEM pos) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return 0;
  switch (c->kind) {
    case Kind::kListBox: {
      int count = static_cast<int>(SendMessageW(c->hwnd, LB_GETCOUNT, 0, 0));
      if (count <= 0) return 1;
      int index = (pos <= 0 || pos > count) ? count - 1 : static_cast<int>(pos) - 1;
      RECT rc;
      GetClientRect(c->hwnd, &rc);
      int item_h = std::max(1, static_cast<int>(SendMessageW(c->hwnd, LB_GETITEMHEIGHT, 0, 0)));
      int visible = std::max(1, static_cast<int>(rc.bottom) / item_h);
      int top = static_cast<int>(SendMessageW(c->hwnd, LB_GETTOPINDEX, 0, 0));
      if (index < top) top = index;
      if (index >= top + visible) top = index - visible + 1;
      SendMessageW(c->hwnd, LB_SETTOPINDEX, top, 0);
      return 1;
    }
    case Kind::kTreeView:
      SendMessageW(c->hwnd, TVM_ENSUREVISIBLE, 0, pos);
      return 1;
    case Kind::kText:
    case Kind::kRichText: {
      int length = GetWindowTextLengthW(c->hwnd);
      int at = (pos <= 0 || pos > length) ? length : static_cast<int>(pos) - 1;
      SendMessageW(c->hwnd, EM_SETSEL, at, at);
      SendMessageW(c->hwnd, EM_SCROLLCARET, 0, 0);
      return 1;
    }
    default:
      return Fail("control " + std::to_string(id) + " does not scroll");
  }
}

}  // extern "C"
