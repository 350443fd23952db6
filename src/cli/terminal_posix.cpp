// The terminal on POSIX systems: questions go to the controlling terminal (/dev/tty), so that
// standard input and output stay free for message text and armor.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "base/bytes.h"
#include "cli/terminal.h"

namespace lq::cli {
namespace {

class PosixTerminal final : public Terminal {
 public:
  bool Interactive() override {
    if (!ErrorIsTerminal()) return false;
    const int fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    close(fd);
    return true;
  }
  bool ErrorIsTerminal() override { return isatty(STDERR_FILENO) == 1; }

  bool ReadLine(std::string_view prompt, bool hidden, std::string& line) override {
    line.clear();
    const int fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    WriteAll(fd, prompt);
    termios saved{};
    const bool echo_off = hidden && tcgetattr(fd, &saved) == 0;
    if (echo_off) {
      termios quiet = saved;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      quiet.c_lflag |= ECHONL;
      tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    const bool ok = ReadLineFromFd(fd, line);
    if (echo_off) tcsetattr(fd, TCSAFLUSH, &saved);
    close(fd);
    return ok;
  }

 private:
  static void WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
      const ssize_t n = write(fd, text.data(), text.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      text.remove_prefix(static_cast<size_t>(n));
    }
  }
};

}  // namespace

Terminal& SystemTerminal() {
  static PosixTerminal terminal;
  return terminal;
}

bool ReadLineFromFd(int fd, std::string& line) {
  line.clear();
  bool any = false;
  for (;;) {
    char c = 0;
    const ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    any = true;
    if (c == '\n') break;
    line.push_back(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

void SetBinaryStdio() {}

}  // namespace lq::cli
