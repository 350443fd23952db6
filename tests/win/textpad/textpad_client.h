// Drives lq_textpad.exe from a Windows test: starts it with a text, finds its window and edit
// control, selects, reads the text back with WM_GETTEXT and closes it. The program lies beside
// the test program (LQ_TEXTPAD_EXE, from linking lq_textpad_location).
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace lq::testpad {

inline constexpr wchar_t kTitle[] = L"Lockquill test pad";

inline std::wstring ProgramPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  return folder + L"" LQ_TEXTPAD_EXE;
}

struct FindPad {
  DWORD pid;
  HWND found;
};

inline BOOL CALLBACK FindPadWindow(HWND h, LPARAM param) {
  auto* f = reinterpret_cast<FindPad*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t title[64] = {};
  GetWindowTextW(h, title, 64);
  if (pid == f->pid && IsWindowVisible(h) && std::wstring(title) == kTitle) {
    f->found = h;
    return FALSE;
  }
  return TRUE;
}

class Textpad {
 public:
  Textpad() = default;
  Textpad(const Textpad&) = delete;
  Textpad& operator=(const Textpad&) = delete;
  ~Textpad() { Close(); }

  // Starts the pad with `text` (or "@" and a UTF-8 file's path) and waits up to `timeout_ms`
  // for its window. False when it did not come.
  bool Start(const std::wstring& text, int timeout_ms = 15000) {
    std::wstring command = L"\"" + ProgramPath() + L"\"";
    if (!text.empty()) command += L" " + text;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &process_)) {
      return false;
    }
    WaitForInputIdle(process_.hProcess, static_cast<DWORD>(timeout_ms));
    const DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
    do {
      FindPad f{process_.dwProcessId, nullptr};
      EnumWindows(FindPadWindow, reinterpret_cast<LPARAM>(&f));
      if (f.found) {
        window = f.found;
        edit = FindWindowExW(window, nullptr, L"Edit", nullptr);
        if (edit) return true;
      }
      Sleep(20);
    } while (static_cast<int>(end - GetTickCount()) > 0);
    return false;
  }

  std::wstring Text() const {
    const LRESULT n = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    std::wstring w(static_cast<size_t>(n) + 1, L'\0');
    const LRESULT got =
        SendMessageW(edit, WM_GETTEXT, w.size(), reinterpret_cast<LPARAM>(w.data()));
    w.resize(static_cast<size_t>(got));
    return w;
  }
  void Select(int from, int to) const { SendMessageW(edit, EM_SETSEL, from, to); }
  std::pair<int, int> Selection() const {
    DWORD from = 0, to = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    return {static_cast<int>(from), static_cast<int>(to)};
  }
  // Brings the pad to the foreground with the keyboard focus in its edit control, and waits
  // (up to `timeout_ms`) until the system says so.
  bool Activate(int timeout_ms = 5000) const {
    const DWORD end = GetTickCount() + static_cast<DWORD>(timeout_ms);
    do {
      SetForegroundWindow(window);
      GUITHREADINFO info{};
      info.cbSize = sizeof info;
      if (GetForegroundWindow() == window &&
          GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
          info.hwndFocus == edit) {
        return true;
      }
      Sleep(20);
    } while (static_cast<int>(end - GetTickCount()) > 0);
    return false;
  }
  // Asks the pad to close and waits for it to end.
  void Close() {
    if (!process_.hProcess) return;
    if (IsWindow(window)) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 1);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
    window = edit = nullptr;
  }

  HWND window = nullptr;
  HWND edit = nullptr;

 private:
  PROCESS_INFORMATION process_{};
};

}  // namespace lq::testpad
