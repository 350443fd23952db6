// Lists: list boxes and combo boxes share one set of calls (adding, clearing, deleting,
// selecting, searching, reading items); tree views and tab controls answer the calls that make
// sense for them.
#include "formkit/fk_internal.h"

using namespace fk;

namespace {

// The list and combo box messages that do the same thing.
struct ListMessages {
  UINT add, del, reset, count, text_len, text, set_sel, get_sel;
};
constexpr ListMessages kListBox{LB_ADDSTRING,  LB_DELETESTRING, LB_RESETCONTENT, LB_GETCOUNT,
                                LB_GETTEXTLEN, LB_GETTEXT,      LB_SETCURSEL,    LB_GETCURSEL};
constexpr ListMessages kComboBox{CB_ADDSTRING,    CB_DELETESTRING, CB_RESETCONTENT, CB_GETCOUNT,
                                 CB_GETLBTEXTLEN, CB_GETLBTEXT,    CB_SETCURSEL,    CB_GETCURSEL};

const ListMessages* MessagesFor(const Control* c) {
  if (c->kind == Kind::kListBox) return &kListBox;
  if (c->kind == Kind::kComboBox) return &kComboBox;
  return nullptr;
}

bool IsMulti(const Control* c) {
  return c->kind == Kind::kListBox &&
         (GetWindowLongPtrW(c->hwnd, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
}

int Count(const Control* c, const ListMessages* m) {
  return static_cast<int>(SendMessageW(c->hwnd, m->count, 0, 0));
}

std::wstring ItemText(const Control* c, const ListMessages* m, int index) {
  LRESULT n = SendMessageW(c->hwnd, m->text_len, index, 0);
  if (n < 0) return {};
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  n = SendMessageW(c->hwnd, m->text, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(n < 0 ? 0 : n));
  return text;
}

// A list or combo box, or a failure reason naming what was wrong.
Control* ListControl(const char* form_name, int id, const ListMessages** m) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return nullptr;
  *m = MessagesFor(c);
  if (!*m) {
    Fail("control " + std::to_string(id) + " is no list");
    return nullptr;
  }
  return c;
}

bool ValidIndex(const Control* c, const ListMessages* m, FK_ITEM item) {
  if (item >= 1 && item <= Count(c, m)) return true;
  Fail("list " + std::to_string(c->id) + " has no item " + std::to_string(item));
  return false;
}

}  // namespace

extern "C" {

FK_API int FK_ADDITEMS(const char* form_name, int id, const char* items) {
  const ListMessages* m = nullptr;
  Control* c = ListControl(form_name, id, &m);
  if (!c) return 0;
  for (const std::string& item : SplitBar(items ? items : "")) {
    SendMessageW(c->hwnd, m->add, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  }
  return 1;
}

FK_API int FK_ADDLIST(const char* form_name, int id, const char* item) {
  const ListMessages* m = nullptr;
  Control* c = ListControl(form_name, id, &m);
  if (!c) return 0;
  LRESULT index = SendMessageW(c->hwnd, m->add, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  return index < 0 ? Fail("the list is full") : static_cast<int>(index) + 1;
}

FK_API int FK_CLEAR(const char* form_name, int id) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return 0;
  Quiet quiet;
  if (const ListMessages* m = MessagesFor(c)) {
    SendMessageW(c->hwnd, m->reset, 0, 0);
    return 1;
  }
  switch (c->kind) {
    case Kind::kTreeView:
      SendMessageW(c->hwnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
      return 1;
    case Kind::kText:
    case Kind::kRichText:
      return SetRichText(c, "", FK_RTF_REPLACE) ? 1 : 0;
    default:
      return Fail("control " + std::to_string(id) + " cannot be cleared");
  }
}

FK_API int FK_DELETEITEM(const char* form_name, int id, FK_ITEM item) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return 0;
  Quiet quiet;
  if (c->kind == Kind::kTreeView) {
    if (!item) return Fail("no tree item given");
    return SendMessageW(c->hwnd, TVM_DELETEITEM, 0, item) ? 1 : Fail("no such tree item");
  }
  const ListMessages* m = MessagesFor(c);
  if (!m) return Fail("control " + std::to_string(id) + " has no items");
  if (!ValidIndex(c, m, item)) return 0;
  SendMessageW(c->hwnd, m->del, static_cast<WPARAM>(item - 1), 0);
  return 1;
}

FK_API int FK_SELECTITEM(const char* form_name, int id, FK_ITEM item, int state) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return 0;
  if (c->kind == Kind::kTabControl) return FK_SHOWPAGE(form_name, id, static_cast<int>(item));
  Quiet quiet;
  if (c->kind == Kind::kTreeView) {
    return SendMessageW(c->hwnd, TVM_SELECTITEM, TVGN_CARET, item) ? 1 : Fail("no such tree item");
  }
  const ListMessages* m = MessagesFor(c);
  if (!m) return Fail("control " + std::to_string(id) + " has no items");
  if (item != 0 && !ValidIndex(c, m, item)) return 0;
  if (IsMulti(c)) {
    SendMessageW(c->hwnd, LB_SETSEL, state != 0, item - 1);  // item 0 gives -1: every item
    if (item != 0 && state) SendMessageW(c->hwnd, LB_SETCARETINDEX, item - 1, FALSE);
    return 1;
  }
  SendMessageW(c->hwnd, m->set_sel, (item == 0 || !state) ? static_cast<WPARAM>(-1) : item - 1, 0);
  return 1;
}

FK_API int FK_FINDNEXT(const char* form_name, int id, int after, const char* text) {
  const ListMessages* m = nullptr;
  Control* c = ListControl(form_name, id, &m);
  if (!c) return 0;
  std::wstring wanted = Wide(text);
  int count = Count(c, m);
  for (int i = after < 0 ? 0 : after; i < count; ++i) {
    if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, ItemText(c, m, i).c_str(), -1,
                       wanted.c_str(), -1) == CSTR_EQUAL) {
      return i + 1;
    }
  }
  return 0;
}

FK_API int FK_FINDNEXTSEL(const char* form_name, int id, int after) {
  const ListMessages* m = nullptr;
  Control* c = ListControl(form_name, id, &m);
  if (!c) return 0;
  if (IsMulti(c)) {
    int count = Count(c, m);
    for (int i = after < 0 ? 0 : after; i < count; ++i) {
      if (SendMessageW(c->hwnd, LB_GETSEL, i, 0) > 0) return i + 1;
    }
    return 0;
  }
  LRESULT sel = SendMessageW(c->hwnd, m->get_sel, 0, 0);
  return (sel >= 0 && sel + 1 > after) ? static_cast<int>(sel) + 1 : 0;
}

FK_API int FK_FINDLAST(const char* form_name, int id) {
  const ListMessages* m = nullptr;
  Control* c = ListControl(form_name, id, &m);
  return c ? Count(c, m) : 0;
}

FK_API int FK_GETITEMTEXT(const char* form_name, int id, FK_ITEM item, char* buf, int size) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return PutText("", buf, size);
  if (c->kind == Kind::kTreeView) return FK_GETTVITEM(form_name, id, item, buf, size);
  if (c->kind == Kind::kTabControl) {
    wchar_t text[256] = {};
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    tab.cchTextMax = 256;
    if (!SendMessageW(c->hwnd, TCM_GETITEMW, item - 1, reinterpret_cast<LPARAM>(&tab))) {
      Fail("tab control has no page " + std::to_string(item));
    }
    return PutText(Utf8(text), buf, size);
  }
  const ListMessages* m = MessagesFor(c);
  if (!m) {
    Fail("control " + std::to_string(id) + " has no items");
    return PutText("", buf, size);
  }
  if (!ValidIndex(c, m, item)) return PutText("", buf, size);
  return PutText(Utf8(ItemText(c, m, static_cast<int>(item) - 1)), buf, size);
}

}  // extern "C"
