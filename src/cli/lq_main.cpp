// Entry point of the lq program: hands the arguments (as UTF-8, which the core's paths are in)
// to RunLq and returns its exit status.
#include <string>
#include <vector>

#include "cli/lq.h"
#include "cli/terminal.h"

#ifdef _WIN32
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

// The wide command line, so that names outside the ANSI code page survive.
static std::vector<std::string> Utf8Arguments() {
  std::vector<std::string> args;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return args;
  for (int i = 1; i < argc; ++i) {
    const int wide = static_cast<int>(wcslen(argv[i]));
    const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], wide, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[i], wide, arg.data(), n, nullptr, nullptr);
    args.push_back(std::move(arg));
  }
  LocalFree(argv);
  return args;
}
#endif

int main(int argc, char** argv) {
  lq::cli::SetBinaryStdio();
#ifdef _WIN32
  (void)argc;
  (void)argv;
  const std::vector<std::string> args = Utf8Arguments();
#else
  const std::vector<std::string> args(argv + 1, argv + argc);
#endif
  return lq::cli::RunLq(args, lq::cli::SystemTerminal());
}
