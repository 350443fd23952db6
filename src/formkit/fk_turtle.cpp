// Turtle pictures: a small window class that asks the plug-in formkit3tg.dll to draw its command
// text. The plug-in is loaded from the toolkit's own folder the first time a picture is created;
// without it the picture shows its background only.
#include "formkit/fk_internal.h"
#include "formkit3tg/formkit3tg.h"

namespace fk {

const wchar_t kTurtleClass[] = L"FormKit30Turtle";

namespace {

constexpr int kPluginMissing = -1000;

void LoadPlugin() {
  Toolkit& tk = Tk();
  if (tk.plugin_tried) return;
  tk.plugin_tried = true;
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(tk.module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  std::wstring folder(path, n);
  folder.resize(folder.find_last_of(L"\\/") + 1);
  // Only this folder: a plug-in of the same name elsewhere on the search path is not ours.
  tk.plugin =
      LoadLibraryExW((folder + L"formkit3tg.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (tk.plugin) {
    tk.plugin_render = reinterpret_cast<void*>(GetProcAddress(tk.plugin, FK3TG_RENDER_NAME));
  }
}

Control* TurtleOf(HWND hwnd) {
  Form* form = FormByHwnd(GetParent(hwnd));
  return form ? ControlByHwnd(form, hwnd) : nullptr;
}

// Fills the background and lets the plug-in draw; records and returns its result.
int Render(Control* c, HDC dc, const RECT& rc) {
  COLORREF back = (c && c->bg != CLR_INVALID) ? c->bg : GetSysColor(COLOR_WINDOW);
  HBRUSH brush = CreateSolidBrush(back);
  FillRect(dc, &rc, brush);
  DeleteObject(brush);
  int result = kPluginMissing;
  if (auto render = reinterpret_cast<FK3TG_RENDER>(Tk().plugin_render); render && c) {
    result = render(dc, rc.right, rc.bottom, Tk().dpi, c->turtle_commands.c_str());
  }
  if (c) c->turtle_result = result;
  return result;
}

// Draws off screen first (so the picture never flickers through its background), then copies.
int RenderTo(HWND hwnd, HDC target) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  HDC mem = CreateCompatibleDC(target);
  HBITMAP bitmap =
      CreateCompatibleBitmap(target, rc.right > 0 ? rc.right : 1, rc.bottom > 0 ? rc.bottom : 1);
  HGDIOBJ old = SelectObject(mem, bitmap);
  int result = Render(TurtleOf(hwnd), mem, rc);
  BitBlt(target, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
  return result;
}

void Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RenderTo(hwnd, dc);
  EndPaint(hwnd, &ps);
}

}  // namespace

int TurtleResult(Control* c) {
  HDC dc = GetDC(c->hwnd);  // the same picture again; clipped away while hidden
  int result = RenderTo(c->hwnd, dc);
  ReleaseDC(c->hwnd, dc);
  return result;
}

namespace {

LRESULT CALLBACK TurtleProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      LoadPlugin();
      return 0;
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

}  // namespace

void RegisterTurtleClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = TurtleProc;
  wc.hInstance = Tk().module;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kTurtleClass;
  RegisterClassExW(&wc);
}

void UnregisterTurtleClass() { UnregisterClassW(kTurtleClass, Tk().module); }

}  // namespace fk
