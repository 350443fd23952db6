// The terminal on POSIX systems: questions go to the controlling terminal (/dev/tty), so that
// standard input and output stay free for message text and armor.
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "base/bytes.h"
#include "cli/terminal.h"

namespace lq::cli {
namespace {

// While echo is off for a hidden prompt, a signal that ends or stops the program must not leave
// the terminal without echo: these handlers put the saved settings back first. The state they
// need is set before the handlers are installed and cleared after they are removed.
volatile sig_atomic_t g_hidden_fd = -1;
termios g_saved_settings{};
termios g_quiet_settings{};
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};
constexpr int kSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];

void RestoreEcho() {
  const int fd = g_hidden_fd;
  if (fd >= 0) tcsetattr(fd, TCSANOW, &g_saved_settings);
}

void OnSignalAtHiddenPrompt(int sig) {
  const int saved_errno = errno;
  RestoreEcho();
  // The default action (end, or stop for Ctrl+Z) with the terminal as it was.
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  struct sigaction ours {};
  sigaction(sig, &plain, &ours);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, sig);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(sig);
  // Only a stop comes back here (after SIGCONT): the prompt is still waiting, echo off again.
  sigaction(sig, &ours, nullptr);
  const int fd = g_hidden_fd;
  if (fd >= 0) tcsetattr(fd, TCSANOW, &g_quiet_settings);
  errno = saved_errno;
}

// Installs the handlers for the time of one hidden read; signals the program ignores stay
// ignored.
class HiddenPromptGuard {
 public:
  HiddenPromptGuard(int fd, const termios& saved, const termios& quiet) {
    g_saved_settings = saved;
    g_quiet_settings = quiet;
    g_hidden_fd = fd;
    for (int i = 0; i < kSignalCount; ++i) {
      struct sigaction handler {};
      handler.sa_handler = OnSignalAtHiddenPrompt;
      sigemptyset(&handler.sa_mask);
      handler.sa_flags = SA_RESTART;
      installed_[i] = false;
      if (sigaction(kEndingSignals[i], nullptr, &previous_[i]) != 0) continue;
      if (previous_[i].sa_handler == SIG_IGN) continue;
      installed_[i] = sigaction(kEndingSignals[i], &handler, nullptr) == 0;
    }
  }
  ~HiddenPromptGuard() {
    for (int i = 0; i < kSignalCount; ++i) {
      if (installed_[i]) sigaction(kEndingSignals[i], &previous_[i], nullptr);
    }
    g_hidden_fd = -1;
  }
  HiddenPromptGuard(const HiddenPromptGuard&) = delete;
  HiddenPromptGuard& operator=(const HiddenPromptGuard&) = delete;

 private:
  struct sigaction previous_[kSignalCount];
  bool installed_[kSignalCount];
};

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
    bool ok = false;
    if (echo_off) {
      termios quiet = saved;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      quiet.c_lflag |= ECHONL;
      // The handlers are in place before echo goes off, so no signal finds it off unguarded.
      HiddenPromptGuard guard(fd, saved, quiet);
      tcsetattr(fd, TCSAFLUSH, &quiet);
      ok = ReadLineFromFd(fd, line);
      tcsetattr(fd, TCSAFLUSH, &saved);
    } else {
      ok = ReadLineFromFd(fd, line);
    }
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
  Wipe(line);
  bool any = false;
  for (;;) {
    char c = 0;
    const ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    any = true;
    if (c == '\n') break;
    AppendSecret(line, c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

void SetBinaryStdio() {}

}  // namespace lq::cli
