// The lq tool's shared pieces: exit statuses, the global options, the per-run context that
// holds the Ui, the random state and the keyfile, and the command entry points.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/terminal_ui.h"
#include "crypto/random.h"
#include "packet/packet_session.h"
#include "keys/keyfile.h"

namespace lq::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitBadSignature = 3;

struct GlobalOptions {
  std::string keyfile;  // resolved: --keyfile, $LQ_KEYFILE, or Keyfile.lqk here
  std::string passphrase_env;
  std::string passphrase_fd;
  std::string store = ".";
  Answer answer = Answer::kAsk;
  bool verbose = false;
  bool quiet = false;                     // no informational messages
  int lock_wait_ms = kKeyfileLockWaitMs;  // --wait: how long to wait for another program
  // --max-size: the largest plaintext a packet read here may state (the engine's default
  // guards against packets that would exhaust memory).
  uint64_t max_plaintext_bytes = kMaxPlaintextBytes;
};

class Context {
 public:
  Context(TerminalUi& ui, const GlobalOptions& options);
  ~Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  TerminalUi& ui;
  GlobalOptions options;
  RandomContext random;
  Keyfile kf;
  std::FILE* out = stdout;
  // The passphrase the keyfile was opened with, for "keyfile passwd"; wiped by the destructor.
  std::string passphrase;

  // Opens the keyfile with the passphrase of the options (or the terminal), holding the
  // keyfile's lock of `kind` until the context ends: exclusive for commands that change the
  // keyfile, shared for those that only read it. The passphrase is asked before the lock is
  // taken, so a person typing never keeps other programs waiting. An exit status.
  int OpenKeyfile(LockKind kind = LockKind::kExclusive);
  // Saves the keyfile when a record changed; a keyfile that another program changed since it
  // was opened is not replaced (message shown). An exit status.
  int SaveIfModified();
  // A plain error of the tool; returns kExitFailed.
  int Fail(const std::string& text);
  // A usage error for `command`; returns kExitUsage.
  int UsageError(const std::string& command, const std::string& text);
};

// Reads a secret from the environment variable `env` or descriptor `fd` (exactly one set).
// An exit status: kExitUsage when the variable is unset or the descriptor is not a number,
// kExitFailed when nothing could be read.
int ReadSecret(TerminalUi& ui, const std::string& env, const std::string& fd, std::string& out);

// "YYYY-MM-DD" or "never" (0/0/0). False when it is neither or not a calendar date.
bool ParseExpiry(const std::string& text, int& year, int& month, int& day);
// The option `option` of `command` as an expiry date (default never): a usage error when it is
// not one or lies before today. An exit status.
int ExpiryOption(Context& ctx, const std::string& command, const std::string& option,
                 const std::string& text, int& year, int& month, int& day);

// The key with this keyname: an exact match first, else the one match ignoring letter case,
// else the one key whose KeyID or fingerprint (hex digits, blanks and case ignored) starts
// with `name` when that is at least kMinIdPrefix hex digits. Empty (and a plain error shown)
// when there is none or the prefix fits several keys.
constexpr size_t kMinIdPrefix = 4;
std::string FindKeyByName(Context& ctx, const std::string& name);
// Only the KeyID and fingerprint part of that: empty and quiet when nothing fits, empty with
// `ambiguous` set when several keys do.
std::string FindKeyByIdPrefix(Context& ctx, const std::string& prefix, bool& ambiguous);
std::string FindGroupByName(Context& ctx, const std::string& name);

// The usage text of one command ("key new"), or of every command for an empty name.
std::string UsageText(const std::string& command);

// Command groups. `args` are the arguments after the command words.
int RunKeyfileCommand(Context& ctx, const std::string& sub, const std::vector<std::string>& args);
int RunKeyCommand(Context& ctx, const std::string& sub, const std::vector<std::string>& args);
int RunGroupCommand(Context& ctx, const std::string& sub, const std::vector<std::string>& args);
int RunSignerCommand(Context& ctx, const std::string& sub, const std::vector<std::string>& args);
int RunSelftest(Context& ctx, const std::vector<std::string>& args);
int RunPacketCommand(Context& ctx, const std::string& command,
                     const std::vector<std::string>& args);
int RunSfxCommand(Context& ctx, const std::vector<std::string>& args);

// The whole program: arguments without the program name. An exit status.
int RunLq(const std::vector<std::string>& args, Terminal& terminal);

}  // namespace lq::cli
