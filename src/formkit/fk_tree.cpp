// Tree views: items as handles, with text and images from the toolkit's numbered image lists,
// and walking the tree by child, sibling and visible order.
#include "formkit/fk_internal.h"

using namespace fk;

namespace {

Control* Tree(const char* form_name, int id) {
  ClearError();
  Control* c = FindControl(form_name, id);
  if (!c) return nullptr;
  if (c->kind != Kind::kTreeView) {
    Fail("control " + std::to_string(id) + " is no tree view");
    return nullptr;
  }
  return c;
}

FK_ITEM Next(const char* form_name, int id, UINT relation, FK_ITEM item) {
  Control* c = Tree(form_name, id);
  if (!c) return 0;
  return static_cast<FK_ITEM>(SendMessageW(c->hwnd, TVM_GETNEXTITEM, relation, item));
}

// Expands or collapses one item, or every top-level item for item 0.
int ExpandAll(const char* form_name, int id, FK_ITEM item, UINT action) {
  Control* c = Tree(form_name, id);
  if (!c) return 0;
  if (item) {
    SendMessageW(c->hwnd, TVM_EXPAND, action, item);  // 0 also when nothing had to change
    return 1;
  }
  for (LRESULT it = SendMessageW(c->hwnd, TVM_GETNEXTITEM, TVGN_ROOT, 0); it;
       it = SendMessageW(c->hwnd, TVM_GETNEXTITEM, TVGN_NEXT, it)) {
    SendMessageW(c->hwnd, TVM_EXPAND, action, it);
  }
  return 1;
}

}  // namespace

extern "C" {

FK_API FK_ITEM FK_ADDTVITEM(const char* form_name, int id, FK_ITEM parent, const char* text,
                            int image, int selected_image) {
  Control* c = Tree(form_name, id);
  if (!c) return 0;
  std::wstring wide = Wide(text);
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent ? reinterpret_cast<HTREEITEM>(parent) : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.item.pszText = wide.data();
  insert.item.iImage = image < 0 ? I_IMAGENONE : image;
  insert.item.iSelectedImage = selected_image < 0 ? insert.item.iImage : selected_image;
  Quiet quiet;
  auto item = static_cast<FK_ITEM>(
      SendMessageW(c->hwnd, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  if (!item) Fail("the tree item could not be added");
  return item;
}

FK_API int FK_SETTVITEM(const char* form_name, int id, FK_ITEM item, const char* text, int image,
                        int selected_image) {
  Control* c = Tree(form_name, id);
  if (!c) return 0;
  if (!item) return Fail("no tree item given");
  std::wstring wide = Wide(text);
  TVITEMW tv{};
  tv.hItem = reinterpret_cast<HTREEITEM>(item);
  if (text) {
    tv.mask |= TVIF_TEXT;
    tv.pszText = wide.data();
  }
  if (image >= 0) {
    tv.mask |= TVIF_IMAGE;
    tv.iImage = image;
  }
  if (selected_image >= 0) {
    tv.mask |= TVIF_SELECTEDIMAGE;
    tv.iSelectedImage = selected_image;
  }
  return SendMessageW(c->hwnd, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv))
             ? 1
             : Fail("no such tree item");
}

FK_API int FK_GETTVITEM(const char* form_name, int id, FK_ITEM item, char* buf, int size) {
  Control* c = Tree(form_name, id);
  if (!c || !item) return PutText("", buf, size);
  // Items can hold long texts (paths); ask with a growing buffer.
  for (int room = 260; room <= 65536; room *= 4) {
    std::wstring text(static_cast<size_t>(room), L'\0');
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = reinterpret_cast<HTREEITEM>(item);
    tv.pszText = text.data();
    tv.cchTextMax = room;
    if (!SendMessageW(c->hwnd, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) {
      Fail("no such tree item");
      return PutText("", buf, size);
    }
    text.resize(wcslen(text.c_str()));
    if (static_cast<int>(text.size()) < room - 1) return PutText(Utf8(text), buf, size);
  }
  return PutText("", buf, size);
}

FK_API FK_ITEM FK_GETTVSEL(const char* form_name, int id) {
  return Next(form_name, id, TVGN_CARET, 0);
}

FK_API FK_ITEM FK_GETTVCHILD(const char* form_name, int id, FK_ITEM item) {
  return item ? Next(form_name, id, TVGN_CHILD, item) : Next(form_name, id, TVGN_ROOT, 0);
}

FK_API FK_ITEM FK_GETTVNEXT(const char* form_name, int id, FK_ITEM item) {
  return item ? Next(form_name, id, TVGN_NEXT, item) : 0;
}

FK_API FK_ITEM FK_GETTVFIRSTV(const char* form_name, int id) {
  return Next(form_name, id, TVGN_FIRSTVISIBLE, 0);
}

FK_API FK_ITEM FK_GETTVNEXTV(const char* form_name, int id, FK_ITEM item) {
  return item ? Next(form_name, id, TVGN_NEXTVISIBLE, item) : 0;
}

FK_API int FK_TVEXPAND(const char* form_name, int id, FK_ITEM item) {
  return ExpandAll(form_name, id, item, TVE_EXPAND);
}

FK_API int FK_TVCOLLAPSE(const char* form_name, int id, FK_ITEM item) {
  return ExpandAll(form_name, id, item, TVE_COLLAPSE);
}

FK_API int FK_TVUSEIMAGELIST(const char* form_name, int id, int list) {
  Control* c = Tree(form_name, id);
  if (!c) return 0;
  auto& lists = Tk().image_lists;
  auto it = lists.find(list);
  if (it == lists.end()) return Fail("image list " + std::to_string(list) + " is not defined");
  SendMessageW(c->hwnd, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(it->second.list));
  return 1;
}

}  // extern "C"
