// Backgrounds on tab pages: a tab control paints its page in its own way (a theme's texture, or
// a plain colour), so the controls lying on it are given a brush made from the page itself.
#include "formkit/fk_internal.h"

namespace fk {

namespace {

// A rectangle of a window in its form's client coordinates.
RECT InForm(Form* form, HWND hwnd) {
  RECT rc;
  GetWindowRect(hwnd, &rc);
  MapWindowPoints(nullptr, form->hwnd, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

// Paints the tab control's client area into a bitmap, again whenever its size changed.
bool PaintPage(Control* tab) {
  RECT client;
  GetClientRect(tab->hwnd, &client);
  if (client.right <= 0 || client.bottom <= 0) return false;
  if (tab->page_bitmap && tab->page_size.cx == client.right && tab->page_size.cy == client.bottom) {
    return true;
  }
  FreePage(tab);
  HDC screen = GetDC(tab->hwnd);
  HDC mem = CreateCompatibleDC(screen);
  tab->page_bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  ReleaseDC(tab->hwnd, screen);
  HGDIOBJ old = SelectObject(mem, tab->page_bitmap);
  FillRect(mem, &client, GetSysColorBrush(COLOR_BTNFACE));
  SendMessageW(tab->hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem),
               PRF_CLIENT | PRF_ERASEBKGND);
  SelectObject(mem, old);
  DeleteDC(mem);
  tab->page_brush = CreatePatternBrush(tab->page_bitmap);
  tab->page_size = SIZE{client.right, client.bottom};
  return tab->page_brush != nullptr;
}

}  // namespace

void FreePage(Control* tab) {
  if (tab->page_brush) DeleteObject(tab->page_brush);
  if (tab->page_bitmap) DeleteObject(tab->page_bitmap);
  tab->page_brush = nullptr;
  tab->page_bitmap = nullptr;
  tab->page_size = SIZE{};
}

Control* TabUnder(Form* form, Control* control) {
  if (control->kind == Kind::kTabControl) return nullptr;
  RECT rc = InForm(form, control->hwnd);
  for (auto& [id, c] : form->controls) {
    if (c->kind != Kind::kTabControl || !(GetWindowLongPtrW(c->hwnd, GWL_STYLE) & WS_VISIBLE)) {
      continue;
    }
    RECT page = InForm(form, c->hwnd);
    SendMessageW(c->hwnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    if (rc.left >= page.left && rc.top >= page.top && rc.right <= page.right &&
        rc.bottom <= page.bottom) {
      return c.get();
    }
  }
  return nullptr;
}

HBRUSH PageBrush(Form* form, Control* tab, Control* control, HDC dc) {
  if (!PaintPage(tab)) return nullptr;
  RECT t = InForm(form, tab->hwnd);
  RECT c = InForm(form, control->hwnd);
  // The brush's origin is the tab control's corner, seen from the control.
  SetBrushOrgEx(dc, t.left - c.left, t.top - c.top, nullptr);
  return tab->page_brush;
}

COLORREF BackgroundUnder(Form* form, Control* control) {
  if (control->bg != CLR_INVALID) return control->bg;
  if (form->bg != CLR_INVALID) return form->bg;
  Control* tab = TabUnder(form, control);
  if (!tab || !PaintPage(tab)) return GetSysColor(COLOR_BTNFACE);
  RECT t = InForm(form, tab->hwnd);
  RECT c = InForm(form, control->hwnd);
  HDC mem = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mem, tab->page_bitmap);
  COLORREF colour = GetPixel(mem, (c.left + c.right) / 2 - t.left, (c.top + c.bottom) / 2 - t.top);
  SelectObject(mem, old);
  DeleteDC(mem);
  return colour == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : colour;
}

}  // namespace fk
