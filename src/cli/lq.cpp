// lq, the command-line Lockquill: global options, usage texts, the keyfile context shared by
// the commands, and the dispatch from command words to the command groups.
#include "cli/lq.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/bytes.h"
#include "base/catalogue.h"
#include "base/datetime.h"
#include "crypto/hex.h"
#include "keys/key_records.h"

namespace lq::cli {
namespace {

struct CommandUsage {
  const char* name;  // the command words
  const char* synopsis;
  const char* what;
};

const CommandUsage kCommands[] = {
    {"keyfile create", "keyfile create", "make a new keyfile at the keyfile path"},
    {"keyfile passwd", "keyfile passwd (--new-passphrase-env VAR | --new-passphrase-fd N)",
     "change the keyfile's passphrase"},
    {"keyfile info", "keyfile info", "record count, keys, groups, signing key"},
    {"key new",
     "key new NAME [--first F] [--last L] [--company C] [--department D] [--subject S]\n"
     "        [--email E] [--trust 1|2|3]",
     "add a key record"},
    {"key secret",
     "key secret NAME [--secret-env VAR | --secret-fd N] [--expires YYYY-MM-DD|never]",
     "set (or, with an empty secret, remove) a key's secret key; asked on the terminal\n"
     "      without echo when no source is given"},
    {"key gen",
     "key gen NAME --bits B [--expires YYYY-MM-DD|never] [--share company,department,email]",
     "calculate the key's two RSA key pairs"},
    {"key list", "key list", "one line per key: name, m/r, KeyID, fingerprint, expiry"},
    {"key show", "key show NAME", "every detail of a key"},
    {"key edit",
     "key edit NAME [--name N] [--first F] [--last L] [--company C] [--department D]\n"
     "        [--subject S] [--email E] [--trust 1|2|3] [--secret-expires YYYY-MM-DD|never]",
     "change a key's details"},
    {"key delete", "key delete NAME", "delete a key (asks; --yes to confirm)"},
    {"key export", "key export NAME [--private] [-o FILE]", "write a key's public-key armor"},
    {"key import", "key import [FILE|-] [--replace | --as NEWNAME] [--dry-run]",
     "import a public-key armor (standard input without FILE); --dry-run only shows it"},
    {"group new", "group new NAME", "add a key group"},
    {"group add", "group add NAME KEY...", "add keys to a group"},
    {"group remove", "group remove NAME KEY...", "remove keys from a group"},
    {"group delete", "group delete NAME", "delete a group (asks; --yes to confirm)"},
    {"group list", "group list", "groups and their members"},
    {"signer set", "signer set NAME [--always-encrypt | --no-always-encrypt]",
     "choose the signing key (always-encrypt stays as it was unless given)"},
    {"signer clear", "signer clear", "no signing key"},
    {"signer show", "signer show", "the signing key and the always-encrypt flag"},
    {"encrypt",
     "encrypt --to NAME[,NAME...] [--sign] [--prefer secret|public] [--attach FILE]...\n"
     "        [--text TEXT] [-o OUT.lqe]",
     "encrypt text (--text or standard input) and files"},
    {"sign", "sign [--attach FILE]... [--text TEXT] [-o OUT.lqe]", "sign text and files"},
    {"decrypt", "decrypt [FILE|-]", "decrypt and verify armor or a packet file"},
    {"sfx",
     "sfx [--note NOTE | --note-file FILE] [--text TEXT | --text-file FILE|-] [--attach FILE]...\n"
     "        [--programs DIR] [-o OUT.exe]",
     "a self-extracting Windows program (default LQSEF.exe) that asks its receiver for a\n"
     "      passphrase and gives back the text (standard input without --text or --text-file)\n"
     "      and the files; DIR holds sxlaunch.exe, sxview.exe and FORMKIT30.dll\n"
     "      (default $LQ_SFX_PROGRAMS, else the 32-bit Windows build)"},
    {"selftest", "selftest", "check the digest, cipher, codec and RSA routines"},
};

constexpr char kGlobalUsage[] =
    "usage: lq [--keyfile PATH] [--passphrase-env VAR | --passphrase-fd N] [--yes | --no]\n"
    "          [--store DIR] [--wait SECONDS] [--max-size MIB] [--verbose | --quiet]\n"
    "          COMMAND ...\n"
    "       lq --version | --help\n"
    "\n"
    "The keyfile is --keyfile, else $LQ_KEYFILE, else Keyfile.lqk in the current folder.\n"
    "Passphrases come from the named variable or descriptor, else from the terminal.\n"
    "A key is named by its keyname, or by the first hex digits of its KeyID or fingerprint.\n"
    "A command waits up to --wait seconds (10) while another program uses the keyfile.\n"
    "A packet stating more than --max-size MiB of plaintext (1024, at most 4095) is refused.\n"
    "Options after -- are arguments.\n"
    "Exit status: 0 done, 1 failed, 2 usage error, 3 a signature did not verify.\n"
    "\n"
    "commands:\n";

bool IsGroupWord(const std::string& word) {
  return word == "keyfile" || word == "key" || word == "group" || word == "signer";
}

bool KnownCommand(const std::string& name) {
  for (const CommandUsage& c : kCommands) {
    if (name == c.name) return true;
  }
  return false;
}

}  // namespace

std::string UsageText(const std::string& command) {
  std::string text;
  if (command.empty()) text = kGlobalUsage;
  for (const CommandUsage& c : kCommands) {
    const std::string name = c.name;
    // "key" alone lists every key command.
    if (!command.empty() && name != command && name.rfind(command + " ", 0) != 0) continue;
    text += command.empty() ? "  " : "usage: lq [options] ";
    text += c.synopsis;
    text += "\n";
    text += command.empty() ? "      " : "  ";
    text += c.what;
    text += "\n";
  }
  return text;
}

// --- Context ---------------------------------------------------------------------------------

Context::Context(TerminalUi& terminal_ui, const GlobalOptions& global)
    : ui(terminal_ui), options(global), kf(terminal_ui, random) {
  SeedMoment moment;
  moment.time = CurrentLocalTime();
  SeedRuntimeRandom(random, moment);
}

Context::~Context() { Wipe(passphrase); }

int Context::Fail(const std::string& text) {
  ui.Error(text);
  return kExitFailed;
}

int Context::UsageError(const std::string& command, const std::string& text) {
  ui.Error(text);
  std::fputs(UsageText(command).c_str(), stderr);
  return kExitUsage;
}

int ReadSecret(TerminalUi& ui, const std::string& env, const std::string& fd, std::string& out) {
  out.clear();
  if (!env.empty()) {
    const char* value = std::getenv(env.c_str());
    if (value == nullptr) {
      ui.Error("environment variable " + env + " is not set");
      return kExitUsage;
    }
    out = value;
    return kExitOk;
  }
  bool ok = false;
  const long long n = ParseNumber(fd, &ok);
  if (!ok || n < 0 || n > 65535 || fd.find_first_not_of("0123456789") != std::string::npos) {
    ui.Error("not a file descriptor: " + fd);
    return kExitUsage;
  }
  if (!ReadLineFromFd(static_cast<int>(n), out)) {
    ui.Error("nothing could be read from descriptor " + fd);
    return kExitFailed;
  }
  return kExitOk;
}

int Context::OpenKeyfile(LockKind kind) {
  const std::string& path = options.keyfile;
  const bool from_terminal = options.passphrase_env.empty() && options.passphrase_fd.empty();
  Wipe(passphrase);
  // A wrong passphrase option is a usage error, whatever state the keyfile is in.
  if (!from_terminal) {
    const int status = ReadSecret(ui, options.passphrase_env, options.passphrase_fd, passphrase);
    if (status != kExitOk) return status;
  }
  if (!kf.files.Exists(path)) {
    return Fail("no keyfile at " + path + " (make one with: lq keyfile create)");
  }
  if (from_terminal) {
    passphrase = ui.AskPassphrase("Enter passphrase for keyfile:\r\n" + path);
    if (passphrase == kPassphraseCancelled) return kExitFailed;
  }
  kf.lock_wait_ms = options.lock_wait_ms;
  if (LockKeyfile(kf, path, kind) != kKeyfileLockHeld) return kExitFailed;
  std::string attempt = passphrase;
  int result = lq::OpenKeyfile(kf, path, attempt);
  if (result == kKeyfileWrongPassphrase && from_terminal) {
    Wipe(passphrase);
    passphrase =
        ui.AskPassphrase("Try, once more, to enter the correct passphrase for keyfile:\r\n" + path);
    if (passphrase == kPassphraseCancelled) return kExitFailed;
    attempt = passphrase;
    result = lq::OpenKeyfile(kf, path, attempt);
  }
  Wipe(attempt);
  return result == kKeyfileOpened ? kExitOk : kExitFailed;
}

int Context::SaveIfModified() {
  if (!kf.open || !kf.modified) return kExitOk;
  const int saved = SaveKeyfile(kf, kf.name);
  if (saved == kKeyfileChangedOnDisk) {
    ReportKeyfileChangedOnDisk(kf, kf.name);
    return kExitFailed;
  }
  if (saved != kKeyfileSaved) {
    ShowMessage(ui, "Keyfile_write-error", MessageStyle("Keyfile_write-error"), kf.name);
    return kExitFailed;
  }
  return kExitOk;
}

bool ParseExpiry(const std::string& text, int& year, int& month, int& day) {
  year = month = day = 0;
  if (text == "never") return true;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  LocalTime t;
  t.year = std::atoi(text.substr(0, 4).c_str());
  t.month = std::atoi(text.substr(5, 2).c_str());
  t.day = std::atoi(text.substr(8, 2).c_str());
  if (t.year < 1 || !IsValidLocalTime(t)) return false;
  year = t.year;
  month = t.month;
  day = t.day;
  return true;
}

int ExpiryOption(Context& ctx, const std::string& command, const std::string& option,
                 const std::string& text, int& year, int& month, int& day) {
  if (!ParseExpiry(text, year, month, day)) {
    return ctx.UsageError(command, option + " takes YYYY-MM-DD or never");
  }
  const LocalTime today = ctx.kf.Now();
  const long long given = year * 10000LL + month * 100 + day;
  if (year != 0 && given < today.year * 10000LL + today.month * 100 + today.day) {
    return ctx.UsageError(command, option + " " + text + " is in the past");
  }
  return kExitOk;
}

namespace {
bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}
}  // namespace

std::string FindKeyByName(Context& ctx, const std::string& name) {
  for (const KeyListEntry& k : ctx.kf.keys) {
    if (k.keyname == name) return k.key_id;
  }
  std::string found;
  int matches = 0;
  for (const KeyListEntry& k : ctx.kf.keys) {
    if (SameIgnoringCase(k.keyname, name)) {
      found = k.key_id;
      ++matches;
    }
  }
  if (matches == 1) return found;
  bool ambiguous = false;
  found = FindKeyByIdPrefix(ctx, name, ambiguous);
  if (!found.empty()) return found;
  if (ambiguous) {
    ctx.ui.Error("\"" + name + "\" is the start of more than one KeyID or fingerprint");
  } else {
    ctx.ui.Error("no key named \"" + name + "\"");
  }
  return {};
}

std::string FindKeyByIdPrefix(Context& ctx, const std::string& prefix, bool& ambiguous) {
  ambiguous = false;
  std::string digits;
  for (char c : prefix) {
    if (c == ' ') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
    digits.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  if (digits.size() < kMinIdPrefix) return {};
  std::string found;
  for (const KeyListEntry& k : ctx.kf.keys) {
    std::string fingerprint;
    for (char c : Fingerprint(ctx.kf, k.key_id)) {
      if (c != ' ') fingerprint.push_back(c);
    }
    const bool fits = Bytes_ToHex(k.key_id).rfind(digits, 0) == 0 ||
                      (!fingerprint.empty() && fingerprint.rfind(digits, 0) == 0);
    if (!fits) continue;
    if (!found.empty()) {
      ambiguous = true;
      return {};
    }
    found = k.key_id;
  }
  return found;
}

std::string FindGroupByName(Context& ctx, const std::string& name) {
  for (const KeyGroupEntry& g : ctx.kf.groups) {
    if (g.name == name) return g.group_id;
  }
  for (const KeyGroupEntry& g : ctx.kf.groups) {
    if (SameIgnoringCase(g.name, name)) return g.group_id;
  }
  ctx.ui.Error("no group named \"" + name + "\"");
  return {};
}

// --- The program -----------------------------------------------------------------------------

int RunLq(const std::vector<std::string>& args, Terminal& terminal) {
  GlobalOptions options;
  std::vector<std::string> rest;
  bool help = false, version = false;
  bool yes = false, no = false;
  std::string wait_text;
  bool wait_given = false;
  std::string max_size_text;
  bool max_size_given = false;
  std::string keyfile_option;
  bool keyfile_given = false;
  TerminalUi usage_ui(terminal, Answer::kNo);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      rest.insert(rest.end(), args.begin() + static_cast<long>(i), args.end());
      break;
    }
    std::string name = arg, value;
    bool inline_value = false;
    if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      inline_value = true;
    }
    const bool takes_value = name == "--keyfile" || name == "--passphrase-env" ||
                             name == "--passphrase-fd" || name == "--store" || name == "--wait" ||
                             name == "--max-size";
    if (takes_value) {
      if (!inline_value) {
        if (i + 1 >= args.size()) {
          usage_ui.Error("option " + name + " needs a value");
          return kExitUsage;
        }
        value = args[++i];
      }
      if (name == "--keyfile") {
        keyfile_option = value;
        keyfile_given = true;
      } else if (name == "--passphrase-env") {
        options.passphrase_env = value;
      } else if (name == "--passphrase-fd") {
        options.passphrase_fd = value;
      } else if (name == "--wait") {
        wait_text = value;
        wait_given = true;
      } else if (name == "--max-size") {
        max_size_text = value;
        max_size_given = true;
      } else {
        options.store = value;
      }
    } else if (arg == "--yes") {
      yes = true;
    } else if (arg == "--no") {
      no = true;
    } else if (arg == "--verbose") {
      options.verbose = true;
    } else if (arg == "--quiet" || arg == "-q") {
      options.quiet = true;
    } else if (arg == "--version") {
      version = true;
    } else if (arg == "--help" || arg == "-h") {
      help = true;
    } else {
      rest.push_back(arg);
    }
  }

  // The command words: a group word and its subcommand, or one word.
  std::string command;
  size_t words = 0;
  if (!rest.empty()) {
    command = rest[0];
    words = 1;
    if (IsGroupWord(command) && rest.size() > 1) {
      command += " " + rest[1];
      words = 2;
    }
  }
  if (version) {
    std::fputs("lq, the command line of Lockquill V1.0\n", stdout);
    return kExitOk;
  }
  if (help) {
    if (!command.empty() && !KnownCommand(command) && !IsGroupWord(command)) {
      usage_ui.Error("unknown command: " + command);
      std::fputs(UsageText({}).c_str(), stderr);
      return kExitUsage;
    }
    std::fputs(UsageText(command).c_str(), stdout);
    return kExitOk;
  }
  if (command.empty()) {
    std::fputs(UsageText({}).c_str(), stderr);
    return kExitUsage;
  }
  if (!KnownCommand(command)) {
    usage_ui.Error("unknown command: " + command);
    std::fputs(UsageText(IsGroupWord(rest[0]) ? rest[0] : std::string()).c_str(), stderr);
    return kExitUsage;
  }
  if (yes && no) {
    usage_ui.Error("--yes and --no exclude each other");
    return kExitUsage;
  }
  if (options.verbose && options.quiet) {
    usage_ui.Error("--verbose and --quiet exclude each other");
    return kExitUsage;
  }
  if (max_size_given) {
    bool ok = false;
    const long long mib = ParseNumber(max_size_text, &ok);
    // The format states lengths in 32 bits: 4095 MiB is the most a packet can hold.
    if (!ok || mib < 1 || mib > 4095 ||
        max_size_text.find_first_not_of("0123456789") != std::string::npos) {
      usage_ui.Error("--max-size takes a number of MiB from 1 to 4095");
      return kExitUsage;
    }
    options.max_plaintext_bytes = static_cast<uint64_t>(mib) << 20;
  }
  if (wait_given) {
    bool ok = false;
    const long long seconds = ParseNumber(wait_text, &ok);
    if (!ok || seconds < 0 || seconds > 86400 ||
        wait_text.find_first_not_of("0123456789") != std::string::npos) {
      usage_ui.Error("--wait takes a number of seconds");
      return kExitUsage;
    }
    options.lock_wait_ms = static_cast<int>(seconds * 1000);
  }
  if (!options.passphrase_env.empty() && !options.passphrase_fd.empty()) {
    usage_ui.Error("--passphrase-env and --passphrase-fd exclude each other");
    return kExitUsage;
  }
  options.answer = yes ? Answer::kYes : no ? Answer::kNo : Answer::kAsk;
  if (keyfile_given) {
    options.keyfile = keyfile_option;
  } else if (const char* env = std::getenv("LQ_KEYFILE"); env != nullptr && *env != '\0') {
    options.keyfile = env;
  } else {
    options.keyfile = kDefaultKeyfileName;
  }
  if (options.keyfile.empty()) {
    usage_ui.Error("--keyfile needs a path");
    return kExitUsage;
  }

  TerminalUi ui(terminal, options.answer);
  ui.show_log = options.verbose;
  ui.quiet = options.quiet;
  Context ctx(ui, options);
  const std::vector<std::string> command_args(rest.begin() + static_cast<long>(words), rest.end());
  const std::string group = rest[0];
  const std::string sub = words == 2 ? rest[1] : std::string();
  if (group == "keyfile") return RunKeyfileCommand(ctx, sub, command_args);
  if (group == "key") return RunKeyCommand(ctx, sub, command_args);
  if (group == "group") return RunGroupCommand(ctx, sub, command_args);
  if (group == "signer") return RunSignerCommand(ctx, sub, command_args);
  if (group == "selftest") return RunSelftest(ctx, command_args);
  if (group == "sfx") return RunSfxCommand(ctx, command_args);
  return RunPacketCommand(ctx, group, command_args);
}

}  // namespace lq::cli
