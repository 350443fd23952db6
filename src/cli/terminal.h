// The console under lq: whether a person sits at it, and line input with or without echo.
// One implementation per OS (terminal_posix.cpp, terminal_win32.cpp); tests substitute a script.
#pragma once

#include <string>
#include <string_view>

namespace lq::cli {

class Terminal {
 public:
  virtual ~Terminal() = default;
  // True when questions and passphrases can be asked: standard error is a terminal and the
  // console can be read. Scripts and tests (stderr redirected) are never asked anything.
  virtual bool Interactive() = 0;
  // Whether standard error is a terminal (progress is drawn only there).
  virtual bool ErrorIsTerminal() = 0;
  // Writes `prompt` to the console, reads one line without its line end. `hidden` turns echo
  // off while reading. False at end of input or when the console cannot be read.
  virtual bool ReadLine(std::string_view prompt, bool hidden, std::string& line) = 0;
};

// The process's console.
Terminal& SystemTerminal();

// Reads one line (up to LF, a CR before it dropped) from an open file descriptor, byte by
// byte so that later lines stay unread. False when nothing could be read.
bool ReadLineFromFd(int fd, std::string& line);

// Standard input and output in binary mode (no CR LF translation on Windows).
void SetBinaryStdio();

}  // namespace lq::cli
