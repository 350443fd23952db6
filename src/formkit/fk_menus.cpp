// Menus and accelerators: a menu bar per form built from numbered drop-down menus, item states,
// context menus that return the choice, and key combinations parsed from text.
#include <cstdlib>
#include <cstring>

#include "formkit/fk_internal.h"

using namespace fk;

namespace {

Form* MenuForm(const char* form_name) {
  ClearError();
  return FindForm(form_name);
}

UINT StateFlags(int flags) {
  return ((flags & FK_MI_CHECKED) ? MF_CHECKED : MF_UNCHECKED) |
         ((flags & FK_MI_DISABLED) ? MF_GRAYED : MF_ENABLED);
}

void Refresh(Form* form) {
  if (form->menu_bar) DrawMenuBar(form->hwnd);
}

struct KeyName {
  const char* name;
  WORD vk;
};
constexpr KeyName kKeys[] = {
    {"ENTER", VK_RETURN}, {"ESC", VK_ESCAPE}, {"TAB", VK_TAB},     {"SPACE", VK_SPACE},
    {"BACK", VK_BACK},    {"DEL", VK_DELETE}, {"INS", VK_INSERT},  {"HOME", VK_HOME},
    {"END", VK_END},      {"PGUP", VK_PRIOR}, {"PGDN", VK_NEXT},   {"UP", VK_UP},
    {"DOWN", VK_DOWN},    {"LEFT", VK_LEFT},  {"RIGHT", VK_RIGHT},
};

// "Ctrl+Shift+F5" to accelerator flags and key; false for anything it does not know.
bool ParseKeys(const std::string& text, BYTE* virt, WORD* key) {
  std::string upper = Upper(text.c_str());
  *virt = FVIRTKEY;
  *key = 0;
  size_t start = 0;
  for (;;) {
    size_t plus = upper.find('+', start);
    std::string part = upper.substr(start, plus == std::string::npos ? plus : plus - start);
    if (plus == std::string::npos) {
      if (part.size() == 1 &&
          ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= '0' && part[0] <= '9'))) {
        *key = static_cast<WORD>(part[0]);
        return true;
      }
      if (part.size() >= 2 && part[0] == 'F') {
        char* end = nullptr;
        long n = std::strtol(part.c_str() + 1, &end, 10);
        if (*end == '\0' && n >= 1 && n <= 24) {
          *key = static_cast<WORD>(VK_F1 + n - 1);
          return true;
        }
      }
      for (const KeyName& k : kKeys) {
        if (part == k.name) {
          *key = k.vk;
          return true;
        }
      }
      return false;
    }
    if (part == "CTRL") {
      *virt |= FCONTROL;
    } else if (part == "ALT") {
      *virt |= FALT;
    } else if (part == "SHIFT") {
      *virt |= FSHIFT;
    } else {
      return false;
    }
    start = plus + 1;
  }
}

}  // namespace

extern "C" {

FK_API int FK_DEFMAINMENU(const char* form_name) {
  Form* form = MenuForm(form_name);
  if (!form) return 0;
  if (form->child) return Fail("a child form has no menu bar");
  HMENU bar = CreateMenu();
  HMENU old = GetMenu(form->hwnd);
  SetMenu(form->hwnd, bar);
  if (old) DestroyMenu(old);
  form->menu_bar = bar;
  form->submenus.clear();
  form->current_menu = bar;
  Refresh(form);
  return 1;
}

FK_API int FK_DEFSUBMENU(const char* form_name, const char* caption) {
  Form* form = MenuForm(form_name);
  if (!form) return 0;
  if (!form->current_menu) return Fail("form \"" + form->name + "\" has no menu (FK_DEFMAINMENU)");
  HMENU sub = CreatePopupMenu();
  AppendMenuW(form->current_menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub),
              Wide(caption).c_str());
  form->submenus.push_back(sub);
  form->current_menu = sub;
  Refresh(form);
  return static_cast<int>(form->submenus.size());
}

FK_API int FK_SETSUBMENU(const char* form_name, int number) {
  Form* form = MenuForm(form_name);
  if (!form) return 0;
  if (number == 0 && form->menu_bar) {
    form->current_menu = form->menu_bar;
    return 1;
  }
  if (number < 1 || number > static_cast<int>(form->submenus.size())) {
    return Fail("form \"" + form->name + "\" has no menu " + std::to_string(number));
  }
  form->current_menu = form->submenus[static_cast<size_t>(number) - 1];
  return 1;
}

FK_API int FK_ADDMENUITEM(const char* form_name, int id, const char* caption, int flags) {
  Form* form = MenuForm(form_name);
  if (!form) return 0;
  if (!form->current_menu) return Fail("form \"" + form->name + "\" has no menu (FK_DEFMAINMENU)");
  std::string text = caption ? caption : "";
  if (text == "-") {
    AppendMenuW(form->current_menu, MF_SEPARATOR, 0, nullptr);
  } else {
    if (id <= 0 || id > 0xFFFF) return Fail("menu item ids are 1..65535");
    AppendMenuW(form->current_menu, MF_STRING | StateFlags(flags), static_cast<UINT_PTR>(id),
                Wide(text).c_str());
    if (flags & FK_MI_DEFAULT) SetMenuDefaultItem(form->current_menu, static_cast<UINT>(id), FALSE);
  }
  Refresh(form);
  return 1;
}

FK_API int FK_SETMENUITEM(const char* form_name, int id, const char* caption, int flags) {
  Form* form = MenuForm(form_name);
  if (!form) return 0;
  if (!form->menu_bar) return Fail("form \"" + form->name + "\" has no menu");
  std::wstring text = Wide(caption);
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_STATE | (caption ? MIIM_STRING : 0);
  info.fState = ((flags & FK_MI_CHECKED) ? MFS_CHECKED : 0) |
                ((flags & FK_MI_DISABLED) ? MFS_DISABLED : 0) |
                ((flags & FK_MI_DEFAULT) ? MFS_DEFAULT : 0);
  info.dwTypeData = text.data();
  if (!SetMenuItemInfoW(form->menu_bar, static_cast<UINT>(id), FALSE, &info)) {
    return Fail("form \"" + form->name + "\" has no menu item " + std::to_string(id));
  }
  Refresh(form);
  return 1;
}

FK_API int FK_POPUPMENU(const char* form_name, const char* items, int x, int y) {
  Form* form = MenuForm(form_name);
  if (!form) return 0;
  std::vector<std::string> entries = SplitBar(items ? items : "");
  if (entries.empty()) return 0;
  HMENU menu = CreatePopupMenu();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] == "-") {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu, MF_STRING, i + 1, Wide(entries[i]).c_str());
    }
  }
  POINT pt{x, y};
  if (x < 0 || y < 0) GetCursorPos(&pt);
  HWND owner = form->hwnd;
  // The menu closes properly only when its owner is the foreground window.
  SetForegroundWindow(owner);
  int chosen = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                               pt.x, pt.y, 0, owner, nullptr));
  DestroyMenu(menu);
  PostMessageW(owner, WM_NULL, 0, 0);
  return chosen;
}

FK_API int FK_DEFACCEL(const char* form_name, int id, const char* keys) {
  Form* form = MenuForm(form_name);
  if (!form) return 0;
  if (id <= 0 || id > 0xFFFF) return Fail("accelerator ids are 1..65535");
  AccelKey accel;
  if (!ParseKeys(keys ? keys : "", &accel.virt, &accel.key)) {
    return Fail("unknown key combination \"" + std::string(keys ? keys : "") + "\"");
  }
  accel.cmd = static_cast<WORD>(id);
  form->accels.push_back(accel);
  std::vector<ACCEL> table;
  for (const AccelKey& a : form->accels) table.push_back(ACCEL{a.virt, a.key, a.cmd});
  if (form->accel_table) DestroyAcceleratorTable(form->accel_table);
  form->accel_table = CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
  return form->accel_table ? 1 : Fail("the accelerator table could not be made");
}

}  // extern "C"
