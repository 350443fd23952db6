// The terminal on Windows: the console (CONIN$/CONOUT$) read in UTF-16 with echo switched off
// for passphrases, so that piped standard input stays free for message text.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "base/bytes.h"
#include "cli/terminal.h"

namespace lq::cli {
namespace {

std::wstring Widen(std::string_view text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

// The console mode is the console's, not the process's: a Ctrl+C or a closed window at a hidden
// prompt would leave the console without echo for the next program. The handler puts the mode
// back before the default handler ends the process.
HANDLE g_hidden_input = INVALID_HANDLE_VALUE;
DWORD g_saved_mode = 0;

BOOL WINAPI RestoreEchoOnBreak(DWORD event) {
  (void)event;
  if (g_hidden_input != INVALID_HANDLE_VALUE) SetConsoleMode(g_hidden_input, g_saved_mode);
  return FALSE;  // the next handler (the default one) ends the process
}

class ConsoleTerminal final : public Terminal {
 public:
  bool Interactive() override {
    if (!ErrorIsTerminal()) return false;
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    DWORD mode = 0;
    const bool console = GetConsoleMode(in, &mode) != 0;
    CloseHandle(in);
    return console;
  }
  bool ErrorIsTerminal() override { return _isatty(_fileno(stderr)) != 0; }

  bool ReadLine(std::string_view prompt, bool hidden, std::string& line) override {
    line.clear();
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    HANDLE out =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    const std::wstring wide_prompt = Widen(prompt);
    DWORD written = 0;
    if (out != INVALID_HANDLE_VALUE) {
      WriteConsoleW(out, wide_prompt.data(), static_cast<DWORD>(wide_prompt.size()), &written,
                    nullptr);
    }
    DWORD saved = 0;
    const bool echo_off = hidden && GetConsoleMode(in, &saved);
    if (echo_off) {
      g_saved_mode = saved;
      g_hidden_input = in;
      SetConsoleCtrlHandler(RestoreEchoOnBreak, TRUE);
      SetConsoleMode(in, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    }
    // Room for any line a person types, so that no growth leaves a copy of it behind.
    std::wstring wide;
    wide.reserve(4096);
    bool ok = false;
    for (;;) {
      wchar_t c = 0;
      DWORD got = 0;
      if (!ReadConsoleW(in, &c, 1, &got, nullptr) || got == 0) break;
      ok = true;
      if (c == L'\n') break;
      if (c != L'\r') wide.push_back(c);
    }
    if (echo_off) {
      SetConsoleMode(in, saved);
      SetConsoleCtrlHandler(RestoreEchoOnBreak, FALSE);
      g_hidden_input = INVALID_HANDLE_VALUE;
      if (out != INVALID_HANDLE_VALUE) WriteConsoleW(out, L"\r\n", 2, &written, nullptr);
    }
    line = Narrow(wide);
    wide.resize(wide.capacity());
    WipeMemory(wide.data(), wide.size() * sizeof(wchar_t));
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    CloseHandle(in);
    return ok;
  }
};

}  // namespace

Terminal& SystemTerminal() {
  static ConsoleTerminal terminal;
  return terminal;
}

bool ReadLineFromFd(int fd, std::string& line) {
  Wipe(line);
  bool any = false;
  for (;;) {
    char c = 0;
    if (_read(fd, &c, 1) != 1) break;
    any = true;
    if (c == '\n') break;
    AppendSecret(line, c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

void SetBinaryStdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace lq::cli
