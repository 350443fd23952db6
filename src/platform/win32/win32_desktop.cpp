// Desktop on Win32. Texts cross the interface as UTF-8 and are converted to UTF-16 here; window,
// process and module handles cross it as integers of pointer width.
#include "platform/win32/win32_desktop.h"

#include <windows.h>
// After windows.h, which they build on.
#include <shellapi.h>
#include <wtsapi32.h>

#include <cstring>

#include "base/winstr_win32.h"

namespace lq {

namespace {

std::wstring Wide(std::string_view s) { return WideFromUtf8(s); }
std::string Utf8(const wchar_t* w, size_t length) { return Utf8FromWide({w, length}); }

HWND Hwnd(WindowId w) { return reinterpret_cast<HWND>(w); }
WindowId Id(HWND h) { return reinterpret_cast<WindowId>(h); }

// Opens the clipboard, retrying briefly: another program may hold it for a moment.
bool OpenClipboardRetrying() {
  for (int i = 0; i < 10; ++i) {
    if (OpenClipboard(nullptr)) return true;
    ::Sleep(10);
  }
  return false;
}

// Registered clipboard formats that ask clipboard history and cloud sync to skip an entry.
void MarkClipboardSecret() {
  const UINT exclude = RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
  const UINT history = RegisterClipboardFormatW(L"CanIncludeInClipboardHistory");
  const UINT cloud = RegisterClipboardFormatW(L"CanUploadToCloudClipboard");
  if (exclude != 0) {
    if (HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 1)) {
      if (!SetClipboardData(exclude, h)) GlobalFree(h);
    }
  }
  for (UINT format : {history, cloud}) {
    if (format == 0) continue;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD));
    if (!h) continue;
    if (void* p = GlobalLock(h)) {
      const DWORD zero = 0;
      std::memcpy(p, &zero, sizeof zero);
      GlobalUnlock(h);
    }
    if (!SetClipboardData(format, h)) GlobalFree(h);
  }
}

int ButtonKey(MouseButton button) {
  int vk = VK_LBUTTON;
  if (button == MouseButton::kRight) vk = VK_RBUTTON;
  if (button == MouseButton::kMiddle) vk = VK_MBUTTON;
  // Buttons swapped in the control panel: the physical left button is VK_RBUTTON.
  if (GetSystemMetrics(SM_SWAPBUTTON) && button != MouseButton::kMiddle) {
    vk = vk == VK_LBUTTON ? VK_RBUTTON : VK_LBUTTON;
  }
  return vk;
}

BOOL CALLBACK CollectWindow(HWND h, LPARAM list) {
  reinterpret_cast<std::vector<WindowId>*>(list)->push_back(Id(h));
  return TRUE;
}

BOOL CALLBACK CollectVisibleWindow(HWND h, LPARAM list) {
  if (IsWindowVisible(h)) reinterpret_cast<std::vector<WindowId>*>(list)->push_back(Id(h));
  return TRUE;
}

}  // namespace

bool Win32Desktop::GetClipboardText(std::string& text) {
  text.clear();
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboardRetrying()) return false;
  bool ok = false;
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* w = static_cast<const wchar_t*>(GlobalLock(h))) {
      // The data may lack its terminator; never read past the block.
      const size_t cap = GlobalSize(h) / sizeof(wchar_t);
      size_t n = 0;
      while (n < cap && w[n] != L'\0') ++n;
      text = Utf8(w, n);
      GlobalUnlock(h);
      ok = true;
    }
  }
  CloseClipboard();
  return ok;
}

bool Win32Desktop::ClearClipboard() {
  if (!OpenClipboardRetrying()) return false;
  const bool ok = EmptyClipboard() != 0;
  CloseClipboard();
  return ok;
}

bool Win32Desktop::SetClipboardText(std::string_view text, bool secret) {
  std::wstring w = Wide(text);
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, (w.size() + 1) * sizeof(wchar_t));
  if (!h) return false;
  if (void* p = GlobalLock(h)) {
    std::memcpy(p, w.c_str(), (w.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(h);
  }
  SecureZeroMemory(w.data(), w.size() * sizeof(wchar_t));
  if (!OpenClipboardRetrying()) {
    GlobalFree(h);
    return false;
  }
  EmptyClipboard();
  const bool ok = SetClipboardData(CF_UNICODETEXT, h) != nullptr;
  if (!ok) GlobalFree(h);
  if (ok && secret) MarkClipboardSecret();
  CloseClipboard();
  return ok;
}

namespace {

// The text offered on demand and the hidden window that owns the clipboard while it waits to be
// asked for. One per process: the clipboard has one owner, and the window is made on first use.
struct OnDemandClipboard {
  HWND owner = nullptr;
  std::wstring text;
  bool offered = false;  // the clipboard's text is ours and not yet handed over
  bool read = false;

  void Forget() {
    SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    text.clear();
    offered = false;
  }
  // Puts the text on the clipboard, which the caller (or the program asking) holds open.
  void Render() {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (h != nullptr) {
      if (void* p = GlobalLock(h)) {
        std::memcpy(p, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(h);
      }
      if (SetClipboardData(CF_UNICODETEXT, h) == nullptr) GlobalFree(h);
    }
    Forget();
  }
};

OnDemandClipboard& TheOnDemandClipboard() {
  static OnDemandClipboard c;
  return c;
}

LRESULT CALLBACK OnDemandOwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  OnDemandClipboard& c = TheOnDemandClipboard();
  switch (msg) {
    case WM_RENDERFORMAT:
      if (wp == CF_UNICODETEXT && c.offered) {
        c.Render();
        c.read = true;
      }
      return 0;
    case WM_RENDERALLFORMATS:
      if (c.offered && OpenClipboard(hwnd)) {
        if (GetClipboardOwner() == hwnd) c.Render();
        CloseClipboard();
      }
      return 0;
    case WM_DESTROYCLIPBOARD:
      c.Forget();
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

HWND OnDemandOwner() {
  OnDemandClipboard& c = TheOnDemandClipboard();
  if (c.owner != nullptr && IsWindow(c.owner)) return c.owner;
  WNDCLASSW wc = {};
  wc.lpfnWndProc = OnDemandOwnerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"LockquillClipboardOwner";
  RegisterClassW(&wc);  // fails harmlessly when the class is there already
  c.owner = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            wc.hInstance, nullptr);
  return c.owner;
}

// Hands over what other programs ask of this thread's windows (a render request among them)
// without touching the posted messages the program's own loop is to see.
void AnswerSentMessages() {
  MSG m;
  PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

// As OpenClipboardRetrying, for the owner window, answering render requests while it waits.
bool OpenClipboardAs(HWND owner) {
  for (int i = 0; i < 50; ++i) {
    if (OpenClipboard(owner)) return true;
    AnswerSentMessages();
    ::Sleep(10);
  }
  return false;
}

}  // namespace

bool Win32Desktop::SetClipboardTextOnDemand(std::string_view text) {
  const HWND owner = OnDemandOwner();
  if (owner == nullptr || !OpenClipboardAs(owner)) return false;
  // Emptying tells the old owner (perhaps this window) to forget what it offered.
  EmptyClipboard();
  OnDemandClipboard& c = TheOnDemandClipboard();
  c.text = Wide(text);
  c.read = false;
  c.offered = true;
  SetClipboardData(CF_UNICODETEXT, nullptr);
  CloseClipboard();
  return true;
}

bool Win32Desktop::WaitClipboardRead(int milliseconds) {
  OnDemandClipboard& c = TheOnDemandClipboard();
  const ULONGLONG start = GetTickCount64();
  while (c.offered && !c.read &&
         GetTickCount64() - start < static_cast<ULONGLONG>(milliseconds < 0 ? 0 : milliseconds)) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
    AnswerSentMessages();
  }
  const bool read = c.read;
  // Not asked for in time: the text goes on the clipboard now, so no later reader waits on
  // this thread.
  if (c.offered && c.owner != nullptr && OpenClipboardAs(c.owner)) {
    if (c.offered && GetClipboardOwner() == c.owner) c.Render();
    CloseClipboard();
  }
  c.Forget();
  return read;
}

size_t Win32Desktop::SendKeys(const std::vector<KeyEvent>& events) {
  if (events.empty()) return 0;
  std::vector<INPUT> inputs(events.size());
  for (size_t i = 0; i < events.size(); ++i) {
    INPUT& in = inputs[i];
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = static_cast<WORD>(events[i].vk);
    in.ki.wScan =
        static_cast<WORD>(MapVirtualKeyA(static_cast<UINT>(events[i].vk), MAPVK_VK_TO_VSC));
    in.ki.dwFlags =
        (events[i].up ? KEYEVENTF_KEYUP : 0) | (events[i].extended ? KEYEVENTF_EXTENDEDKEY : 0);
  }
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool Win32Desktop::ClickMouse(ScreenPoint at, MouseButton button) {
  if (!SetCursorPos(at.x, at.y)) return false;
  DWORD down = MOUSEEVENTF_LEFTDOWN, up = MOUSEEVENTF_LEFTUP;
  if (button == MouseButton::kRight) {
    down = MOUSEEVENTF_RIGHTDOWN;
    up = MOUSEEVENTF_RIGHTUP;
  } else if (button == MouseButton::kMiddle) {
    down = MOUSEEVENTF_MIDDLEDOWN;
    up = MOUSEEVENTF_MIDDLEUP;
  }
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = down;
  inputs[1].mi.dwFlags = up;
  return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

ScreenPoint Win32Desktop::CursorPosition() {
  POINT p{0, 0};
  GetCursorPos(&p);
  return {static_cast<int>(p.x), static_cast<int>(p.y)};
}

bool Win32Desktop::SetCursorPosition(ScreenPoint at) { return SetCursorPos(at.x, at.y) != 0; }

bool Win32Desktop::IsMouseButtonDown(MouseButton button) {
  return (GetAsyncKeyState(ButtonKey(button)) & 0x8000) != 0;
}

bool Win32Desktop::MouseButtonPressed(MouseButton button) {
  // The low bit: pressed since the last query (of any program's on older systems).
  return GetAsyncKeyState(ButtonKey(button)) != 0;
}

bool Win32Desktop::IsKeyDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

int Win32Desktop::KeyForCharacter(uint32_t code_point) {
  SHORT r = -1;
  if (code_point < 0x80) {
    r = VkKeyScanA(static_cast<CHAR>(code_point));
  } else if (code_point <= 0xFFFF) {
    r = VkKeyScanW(static_cast<WCHAR>(code_point));
  }
  return r == -1 ? -1 : (r & 0xFFFF);
}

WindowId Win32Desktop::ForegroundWindow() { return Id(GetForegroundWindow()); }

bool Win32Desktop::ActivateWindow(WindowId window) {
  HWND h = Hwnd(window);
  if (!IsWindow(h)) return false;
  if (IsIconic(h)) ShowWindow(h, SW_RESTORE);
  return SetForegroundWindow(h) != 0;
}

bool Win32Desktop::SwitchToWindow(WindowId window) {
  // Not in every user32 (and not in the import libraries): bound by name once.
  using SwitchProc = void(WINAPI*)(HWND, BOOL);
  static const SwitchProc switch_to = [] {
    SwitchProc p = nullptr;
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
      FARPROC f = GetProcAddress(user32, "SwitchToThisWindow");
      static_assert(sizeof f == sizeof p);
      std::memcpy(&p, &f, sizeof p);
    }
    return p;
  }();
  if (!switch_to || !IsWindow(Hwnd(window))) return false;
  switch_to(Hwnd(window), TRUE);
  return true;
}

bool Win32Desktop::RestoreWindow(WindowId window) {
  HWND h = Hwnd(window);
  if (!IsWindow(h)) return false;
  ShowWindow(h, SW_RESTORE);  // returns the earlier visibility, not success
  return true;
}

bool Win32Desktop::FocusWindow(WindowId window) {
  HWND h = Hwnd(window);
  if (!IsWindow(h)) return false;
  // SetFocus reaches only windows of this thread's input queue: join the window's for it.
  const DWORD theirs = GetWindowThreadProcessId(h, nullptr);
  const DWORD ours = GetCurrentThreadId();
  const bool attach = theirs != ours && AttachThreadInput(ours, theirs, TRUE);
  SetFocus(h);
  const bool ok = GetFocus() == h;
  if (attach) AttachThreadInput(ours, theirs, FALSE);
  return ok;
}

std::vector<WindowId> Win32Desktop::TopLevelWindows() {
  std::vector<WindowId> list;
  EnumWindows(CollectVisibleWindow, reinterpret_cast<LPARAM>(&list));
  return list;
}

std::vector<WindowId> Win32Desktop::ChildWindows(WindowId parent) {
  std::vector<WindowId> list;
  if (IsWindow(Hwnd(parent))) {
    EnumChildWindows(Hwnd(parent), CollectWindow, reinterpret_cast<LPARAM>(&list));
  }
  return list;
}

WindowId Win32Desktop::FindTopLevelWindow(std::string_view class_name, std::string_view title) {
  const std::wstring c = Wide(class_name), t = Wide(title);
  return Id(
      FindWindowW(class_name.empty() ? nullptr : c.c_str(), title.empty() ? nullptr : t.c_str()));
}

WindowId Win32Desktop::WindowAt(ScreenPoint at) {
  POINT p{at.x, at.y};
  HWND h = WindowFromPoint(p);
  // WindowFromPoint skips disabled children; look for the deepest child at the point.
  while (h) {
    POINT client = p;
    ScreenToClient(h, &client);
    HWND child = ChildWindowFromPointEx(h, client, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (!child || child == h) break;
    h = child;
  }
  return Id(h);
}

std::string Win32Desktop::WindowText(WindowId window) {
  HWND h = Hwnd(window);
  if (!IsWindow(h)) return {};
  // WM_GETTEXT reaches controls of other processes too (GetWindowText does not).
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
  std::wstring w(static_cast<size_t>(length) + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, static_cast<WPARAM>(w.size()),
                           reinterpret_cast<LPARAM>(w.data()), SMTO_ABORTIFHUNG, 2000, &got)) {
    return {};
  }
  if (got > length) got = length;
  return Utf8(w.data(), static_cast<size_t>(got));
}

bool Win32Desktop::ReplaceWindowText(WindowId window, std::string_view text) {
  HWND h = Hwnd(window);
  if (!IsWindow(h)) return false;
  const std::wstring w = Wide(text);
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()),
                             SMTO_ABORTIFHUNG, 2000, &result) != 0 &&
         result != 0;
}

std::string Win32Desktop::WindowClass(WindowId window) {
  wchar_t name[256];
  const int n = GetClassNameW(Hwnd(window), name, 256);
  return n > 0 ? Utf8(name, static_cast<size_t>(n)) : std::string();
}

bool Win32Desktop::IsWindowValid(WindowId window) { return IsWindow(Hwnd(window)) != 0; }

uint16_t Win32Desktop::AddGlobalAtom(std::string_view name) {
  // The atom table holds ANSI names; ours are ASCII.
  const std::string n(name);
  return GlobalAddAtomA(n.c_str());
}

bool Win32Desktop::RegisterHotkey(WindowId window, int id, unsigned modifiers, unsigned key) {
  return RegisterHotKey(Hwnd(window), id, modifiers, key) != 0;
}

bool Win32Desktop::UnregisterHotkey(WindowId window, int id) {
  return UnregisterHotKey(Hwnd(window), id) != 0;
}

bool Win32Desktop::WatchSessionChanges(WindowId window) {
  return WTSRegisterSessionNotification(Hwnd(window), NOTIFY_FOR_THIS_SESSION) != 0;
}

ProcessId Win32Desktop::StartProcess(const ProcessRequest& request) {
  std::wstring program = Wide(request.program);
  // CreateProcess may write into the command line buffer.
  std::wstring command = L"\"" + program + L"\"";
  if (!request.arguments.empty()) command += L" " + Wide(request.arguments);
  const std::wstring folder = Wide(request.folder);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (request.hidden) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
  }
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
    return 0;
  }
  CloseHandle(pi.hThread);
  return reinterpret_cast<ProcessId>(pi.hProcess);
}

WaitResult Win32Desktop::WaitForProcess(ProcessId process, int milliseconds, int& exit_code) {
  HANDLE h = reinterpret_cast<HANDLE>(process);
  const DWORD r =
      WaitForSingleObject(h, milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds));
  if (r == WAIT_TIMEOUT) return WaitResult::kTimedOut;
  if (r != WAIT_OBJECT_0) return WaitResult::kFailed;
  DWORD code = 0;
  if (!GetExitCodeProcess(h, &code)) return WaitResult::kFailed;
  exit_code = static_cast<int>(code);
  return WaitResult::kExited;
}

void Win32Desktop::CloseProcess(ProcessId process) {
  if (process) CloseHandle(reinterpret_cast<HANDLE>(process));
}

bool Win32Desktop::ShellOpen(std::string_view target) {
  const std::wstring t = Wide(target);
  const HINSTANCE r = ShellExecuteW(nullptr, L"open", t.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  // ShellExecute reports success as a value above 32.
  return reinterpret_cast<INT_PTR>(r) > 32;
}

LibraryId Win32Desktop::OpenLibrary(std::string_view name) {
  const std::wstring n = Wide(name);
  return reinterpret_cast<LibraryId>(LoadLibraryW(n.c_str()));
}

void* Win32Desktop::LibrarySymbol(LibraryId library, std::string_view symbol) {
  if (!library) return nullptr;
  const std::string s(symbol);
  FARPROC f = GetProcAddress(reinterpret_cast<HMODULE>(library), s.c_str());
  void* p = nullptr;
  static_assert(sizeof f == sizeof p);
  std::memcpy(&p, &f, sizeof p);
  return p;
}

void Win32Desktop::CloseLibrary(LibraryId library) {
  if (library) ::FreeLibrary(reinterpret_cast<HMODULE>(library));
}

void Win32Desktop::Sleep(int milliseconds) { ::Sleep(milliseconds < 0 ? 0 : milliseconds); }

uint64_t Win32Desktop::Milliseconds() { return GetTickCount64(); }

void Win32Desktop::Pump() {
  if (pump) pump();
}

void Win32Desktop::Beep() { MessageBeep(MB_OK); }

std::string Win32Desktop::TemporaryFolder() {
  // The wide form, so a folder outside the ANSI code page keeps its name in UTF-8.
  wchar_t path[MAX_PATH + 2];
  const DWORD n = GetTempPathW(MAX_PATH + 2, path);
  if (n == 0 || n > MAX_PATH + 1) return {};
  return Utf8(path, n);
}

}  // namespace lq
