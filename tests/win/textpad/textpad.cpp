// "The other program" of the Windows tests: a top-level window "Lockquill test pad" that owns
// one multi-line edit control filling it, as a mail or word-processing window would. It starts
// with the text of its command line (one quoted argument loses its quotes), or with the UTF-8
// file named after an "@"; line ends become CR LF. It selects everything on Ctrl+A as current edit
// windows do, and ends on WM_CLOSE.
#include <windows.h>

#include <string>

#include "base/winstr_win32.h"

namespace {

constexpr wchar_t kClass[] = L"LockquillTestPad";
constexpr wchar_t kTitle[] = L"Lockquill test pad";
constexpr int kEditId = 1;

HWND g_edit = nullptr;
WNDPROC g_edit_proc = nullptr;

// The command line after the program's own name.
std::wstring Arguments() {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  std::wstring rest = p;
  // One quoted argument (as a shell or CreateProcess caller quotes a text with blanks) is
  // taken without its quotes.
  if (rest.size() >= 2 && rest.front() == L'"' && rest.back() == L'"' &&
      rest.find(L'"', 1) == rest.size() - 1) {
    rest = rest.substr(1, rest.size() - 2);
  }
  return rest;
}

std::wstring WithCrLf(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out += L'\r';
    out += text[i];
  }
  return out;
}

std::wstring StartText() {
  std::wstring args = Arguments();
  if (args.empty() || args[0] != L'@') return args;
  HANDLE f = CreateFileW(args.c_str() + 1, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return L"(cannot read " + args.substr(1) + L")";
  std::string bytes;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
  CloseHandle(f);
  return WithCrLf(lq::WideFromUtf8(bytes));
}

LRESULT CALLBACK EditProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  if (m == WM_KEYDOWN && w == 'A' && ctrl) {
    SendMessageW(h, EM_SETSEL, 0, -1);
    return 0;
  }
  if (m == WM_CHAR && w == 1) return 0;  // the Ctrl+A character: no beep
  return CallWindowProcW(g_edit_proc, h, m, w, l);
}

LRESULT CALLBACK PadProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_CREATE: {
      g_edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", StartText().c_str(),
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                   ES_WANTRETURN | ES_NOHIDESEL,
                               0, 0, 10, 10, h, reinterpret_cast<HMENU>(kEditId),
                               GetModuleHandleW(nullptr), nullptr);
      if (!g_edit) return -1;
      SendMessageW(g_edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                   FALSE);
      SendMessageW(g_edit, EM_SETLIMITTEXT, 0, 0);
      g_edit_proc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(g_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
      return 0;
    }
    case WM_SIZE:
      MoveWindow(g_edit, 0, 0, LOWORD(l), HIWORD(l), TRUE);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(w) != WA_INACTIVE) SetFocus(g_edit);
      return 0;
    case WM_SETFOCUS:
      SetFocus(g_edit);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PadProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClass;
  if (!RegisterClassW(&wc)) return 1;
  HWND pad = CreateWindowExW(0, kClass, kTitle, WS_OVERLAPPEDWINDOW, 160, 120, 480, 320, nullptr,
                             nullptr, instance, nullptr);
  if (!pad) return 1;
  ShowWindow(pad, show == SW_HIDE ? SW_SHOWNORMAL : show);
  UpdateWindow(pad);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
