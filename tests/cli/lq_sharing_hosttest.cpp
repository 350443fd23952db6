// End-to-end runs of the built lq program as a daily tool: several lq at once on one keyfile,
// another program changing the keyfile under a running lq, saves through links, leftovers,
// permissions, every key detail shown and edited, lookups by KeyID and fingerprint, the terminal
// after a signal at a hidden prompt (under a pseudo-terminal) and usage errors found early.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/file_lock.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<char*> Argv(std::string& program, std::vector<std::string>& args) {
  std::vector<char*> argv{program.data()};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

// Starts lq in `dir` with standard input, output and error in files named after `tag`.
pid_t StartLq(const fs::path& dir, std::vector<std::string> args, const std::string& tag,
              const std::string& input = {}) {
  const fs::path in = dir / (".in" + tag), out = dir / (".out" + tag), err = dir / (".err" + tag);
  WriteFile(in, input);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    dup2(open(in.c_str(), O_RDONLY), 0);
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    std::string program = LQ_PROGRAM;
    std::vector<char*> argv = Argv(program, args);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

Outcome Finish(const fs::path& dir, pid_t pid, const std::string& tag) {
  Outcome run;
  int raw = 0;
  waitpid(pid, &raw, 0);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128;
  run.out = ReadFile(dir / (".out" + tag));
  run.err = ReadFile(dir / (".err" + tag));
  return run;
}

Outcome RunLq(const fs::path& dir, const std::vector<std::string>& args,
              const std::string& input = {}) {
  return Finish(dir, StartLq(dir, args, "", input), "");
}

fs::path UniqueDir(const std::string& prefix) {
  std::random_device rd;
  const fs::path dir =
      fs::temp_directory_path() / (prefix + std::to_string(rd()) + std::to_string(rd()));
  fs::create_directories(dir);
  return dir;
}

// lq running on a pseudo-terminal of its own, as at a person's terminal.
class PtyLq {
 public:
  PtyLq(const fs::path& dir, std::vector<std::string> args) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master_, 0);
    grantpt(master_);
    unlockpt(master_);
    slave_name_ = ptsname(master_);
    pid_ = fork();
    if (pid_ == 0) {
      setsid();
      const int slave = open(slave_name_.c_str(), O_RDWR);
      ioctl(slave, TIOCSCTTY, 0);
      dup2(slave, 0);
      dup2(slave, 1);
      dup2(slave, 2);
      close(master_);
      if (chdir(dir.c_str()) != 0) _exit(127);
      std::string program = LQ_PROGRAM;
      std::vector<char*> argv = Argv(program, args);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    // Our own view of the terminal's settings, without making it our controlling terminal.
    slave_ = open(slave_name_.c_str(), O_RDWR | O_NOCTTY);
  }
  ~PtyLq() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(slave_);
    close(master_);
  }

  // Reads what lq wrote until `text` appeared; false after `seconds`.
  bool WaitFor(const std::string& text, int seconds = 20) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
      if (Contains(seen_, text)) return true;
      if (!ReadSome(100) && std::chrono::steady_clock::now() > deadline) return false;
    }
  }
  // Reads what is there within `ms`; false when nothing came.
  bool ReadSome(int ms) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) return false;
    char buffer[512];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    seen_.append(buffer, static_cast<size_t>(n));
    return true;
  }
  bool Echo() {
    termios t{};
    tcgetattr(slave_, &t);
    return (t.c_lflag & ECHO) != 0;
  }
  // Waits until echo is in the state `on`.
  bool WaitForEcho(bool on) {
    for (int i = 0; i < 200; ++i) {
      if (Echo() == on) return true;
      usleep(25000);
    }
    return false;
  }
  void Type(const std::string& line) {
    const std::string text = line + "\n";
    EXPECT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void Signal(int sig) { kill(pid_, sig); }
  // The raw wait status.
  int Wait() {
    int raw = 0;
    // Keep draining the terminal so that lq never blocks writing to it.
    for (;;) {
      const pid_t done = waitpid(pid_, &raw, WNOHANG);
      if (done == pid_) break;
      ReadSome(10);
    }
    waited_ = true;
    while (ReadSome(50)) {
    }
    return raw;
  }
  const std::string& Seen() const { return seen_; }

 private:
  int master_ = -1, slave_ = -1;
  std::string slave_name_;
  pid_t pid_ = -1;
  bool waited_ = false;
  std::string seen_;
};

class LqDaily : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = UniqueDir("lq-daily-");
    setenv("LQP", "daily pass", 1);
    unsetenv("LQ_KEYFILE");
    ASSERT_EQ(Lq({"keyfile", "create"}).status, 0);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::vector<std::string> With(std::vector<std::string> args) {
    std::vector<std::string> all = {"--keyfile", "k.lqk", "--passphrase-env", "LQP"};
    all.insert(all.end(), args.begin(), args.end());
    return all;
  }
  Outcome Lq(std::vector<std::string> args, const std::string& input = {}) {
    return RunLq(dir_, With(std::move(args)), input);
  }
  std::vector<std::string> Names() {
    const Outcome list = Lq({"key", "list"});
    EXPECT_EQ(list.status, 0) << list.err;
    std::vector<std::string> names;
    std::stringstream lines(list.out);
    for (std::string line; std::getline(lines, line);)
      names.push_back(line.substr(0, line.find('\t')));
    return names;
  }
  // The value of a "Field: value" line of key show.
  std::string Field(const std::string& shown, const std::string& field) {
    const size_t at = shown.find(field + ": ");
    if (at == std::string::npos) return "<missing>";
    const size_t start = at + field.size() + 2;
    return shown.substr(start, shown.find('\n', start) - start);
  }
  fs::path dir_;
};

TEST_F(LqDaily, EightWritersAtOnceLoseNoKey) {
  std::vector<pid_t> running;
  for (int i = 0; i < 8; ++i) {
    running.push_back(
        StartLq(dir_, With({"key", "new", "r" + std::to_string(i)}), std::to_string(i)));
  }
  for (int i = 0; i < 8; ++i) {
    const Outcome r = Finish(dir_, running[static_cast<size_t>(i)], std::to_string(i));
    EXPECT_EQ(r.status, 0) << i << " " << r.err;
  }
  std::vector<std::string> names = Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7"}));
}

TEST_F(LqDaily, AWriterWaitsForTheLockAndThenGivesUpWithAClearMessage) {
  lq::FileLock other;
  int err = 0;
  ASSERT_EQ(other.Acquire((dir_ / "k.lqk.lock").string(), lq::LockKind::kShared, 0, err),
            lq::LockResult::kLocked);
  const std::string before = ReadFile(dir_ / "k.lqk");
  const auto start = std::chrono::steady_clock::now();
  const Outcome busy = Lq({"--wait", "1", "key", "new", "x"});
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(busy.status, 1);
  EXPECT_EQ(busy.err,
            "lq: The keyfile is in use by another program: k.lqk It was not changed. Try again "
            "when the other program has finished.\n");
  EXPECT_EQ(ReadFile(dir_ / "k.lqk"), before);
  // Readers share the lock.
  EXPECT_EQ(Lq({"--wait", "0", "key", "list"}).status, 0);
  other.Release();
  ASSERT_EQ(other.Acquire((dir_ / "k.lqk.lock").string(), lq::LockKind::kExclusive, 0, err),
            lq::LockResult::kLocked);
  EXPECT_EQ(Lq({"--wait", "0", "key", "list"}).status, 1);
  // Released while lq waits: it goes ahead.
  const pid_t waiting = StartLq(dir_, With({"--wait", "30", "key", "new", "y"}), "w");
  usleep(300000);
  other.Release();
  const Outcome went = Finish(dir_, waiting, "w");
  EXPECT_EQ(went.status, 0) << went.err;
  EXPECT_EQ(Names(), std::vector<std::string>{"y"});
}

TEST_F(LqDaily, AKeyfileChangedWhileLqAsksIsNotReplaced) {
  ASSERT_EQ(Lq({"key", "new", "carol"}).status, 0);
  fs::copy_file(dir_ / "k.lqk", dir_ / "older.lqk");
  ASSERT_EQ(Lq({"key", "new", "dave"}).status, 0);
  PtyLq lq(dir_, With({"key", "delete", "carol"}));
  ASSERT_TRUE(lq.WaitFor("[y/n]")) << lq.Seen();
  // A program that ignores the lock puts an older copy back meanwhile.
  const std::string theirs = ReadFile(dir_ / "older.lqk");
  WriteFile(dir_ / "k.lqk", theirs);
  lq.Type("y");
  const int raw = lq.Wait();
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  EXPECT_TRUE(Contains(lq.Seen(),
                       "lq: The keyfile was changed by another program since it was loaded: k.lqk"))
      << lq.Seen();
  EXPECT_EQ(ReadFile(dir_ / "k.lqk"), theirs);
  EXPECT_EQ(Names(), std::vector<std::string>{"carol"});
}

TEST_F(LqDaily, SavesGoThroughLinksAndKeepPermissionsAndLeftoversGo) {
  struct stat st {};
  ASSERT_EQ(stat((dir_ / "k.lqk").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "a new keyfile is the owner's only";
  ASSERT_EQ(chmod((dir_ / "k.lqk").c_str(), 0640), 0);
  fs::create_directories(dir_ / "elsewhere");
  fs::create_symlink("../k.lqk", dir_ / "elsewhere" / "link.lqk");
  const std::string old_temp = (dir_ / "k.lqk.~2.tmp").string();
  WriteFile(old_temp, "left by a crash");
  fs::last_write_time(old_temp, fs::file_time_type::clock::now() - std::chrono::minutes(10));
  const Outcome r = RunLq(dir_, {"--keyfile", "elsewhere/link.lqk", "--passphrase-env", "LQP",
                                 "key", "new", "via link"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir_ / "elsewhere" / "link.lqk")));
  size_t in_elsewhere = 0;
  for (auto& e : fs::directory_iterator(dir_ / "elsewhere")) {
    ++in_elsewhere;
    EXPECT_EQ(e.path().filename(), "link.lqk");
  }
  EXPECT_EQ(in_elsewhere, 1u);
  EXPECT_EQ(Names(), std::vector<std::string>{"via link"});
  ASSERT_EQ(stat((dir_ / "k.lqk").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_FALSE(fs::exists(old_temp));
}

TEST_F(LqDaily, KeyShowAndKeyEditRoundTrip) {
  ASSERT_EQ(Lq({"key", "new", "plain"}).status, 0);
  // A key made without names gets them afterwards, and then its key pair.
  const Outcome no_names = Lq({"key", "gen", "plain", "--bits", "512"});
  EXPECT_EQ(no_names.status, 1);
  const Outcome edit = Lq({"key", "edit", "plain", "--first", "Ann", "--last", "Lee", "--company",
                           "Acme", "--department", "R&D", "--subject", "Hello", "--email",
                           "ann@example.org", "--trust", "3", "--name", "ann"});
  ASSERT_EQ(edit.status, 0) << edit.err;
  setenv("ANNSECRET", "open sesame", 1);
  ASSERT_EQ(Lq({"key", "secret", "ann", "--secret-env", "ANNSECRET"}).status, 0);
  ASSERT_EQ(Lq({"key", "edit", "ann", "--secret-expires", "2999-01-31"}).status, 0);
  ASSERT_EQ(Lq({"key", "gen", "ann", "--bits", "512", "--share", "company,email", "--expires",
                "2998-02-01"})
                .status,
            0);
  ASSERT_EQ(Lq({"group", "new", "team"}).status, 0);
  ASSERT_EQ(Lq({"group", "add", "team", "ann"}).status, 0);
  ASSERT_EQ(Lq({"signer", "set", "ann", "--always-encrypt"}).status, 0);
  const Outcome show = Lq({"key", "show", "ann"});
  ASSERT_EQ(show.status, 0) << show.err;
  const std::string& s = show.out;
  EXPECT_EQ(Field(s, "Keyname"), "ann");
  EXPECT_EQ(Field(s, "Category"), "m (My keys)");
  EXPECT_EQ(Field(s, "First name"), "Ann");
  EXPECT_EQ(Field(s, "Last name"), "Lee");
  EXPECT_EQ(Field(s, "Company"), "Acme");
  EXPECT_EQ(Field(s, "Department"), "R&D");
  EXPECT_EQ(Field(s, "E-mail subject"), "Hello");
  EXPECT_EQ(Field(s, "E-mail address"), "ann@example.org");
  EXPECT_EQ(Field(s, "Trust"), "3 (High)");
  EXPECT_EQ(Field(s, "Secret key"), "yes");
  EXPECT_EQ(Field(s, "Secret key expires"), "2999-01-31");
  EXPECT_EQ(Field(s, "Key pair"), "512 bits");
  EXPECT_EQ(Field(s, "Public key expires"), "2998-02-01");
  EXPECT_EQ(Field(s, "Exported with the key"), "company,email");
  EXPECT_EQ(Field(s, "Private part"), "yes");
  EXPECT_EQ(Field(s, "Groups"), "team");
  EXPECT_EQ(Field(s, "Signing key"), "yes");
  EXPECT_EQ(Field(s, "Always encrypt to it"), "yes");
  EXPECT_EQ(Field(s, "KeyID").size(), 64u);
  EXPECT_EQ(Field(s, "Fingerprint").size(), 44u);
  EXPECT_EQ(Field(s, "Secret key created").size(), 19u);

  // Choosing the signing key again keeps always-encrypt unless told.
  ASSERT_EQ(Lq({"signer", "set", "ann"}).status, 0);
  EXPECT_EQ(Lq({"signer", "show"}).out, "ann\nalways encrypt: yes\n");
  ASSERT_EQ(Lq({"signer", "set", "ann", "--no-always-encrypt"}).status, 0);
  EXPECT_EQ(Lq({"signer", "show"}).out, "ann\nalways encrypt: no\n");

  // Lookups by the start of the KeyID or of the fingerprint.
  const std::string key_id = Field(s, "KeyID"), fingerprint = Field(s, "Fingerprint");
  EXPECT_EQ(Field(Lq({"key", "show", key_id.substr(0, 10)}).out, "Keyname"), "ann");
  const std::string lower = fingerprint.substr(0, 9);  // "ABCD EF01", blank and all
  std::string lowered;
  for (char c : lower) lowered.push_back(static_cast<char>(std::tolower(c)));
  EXPECT_EQ(Field(Lq({"key", "show", lowered}).out, "Keyname"), "ann");
  const Outcome enc = Lq({"encrypt", "--to", key_id.substr(0, 8), "--text", "by id"});
  EXPECT_EQ(enc.status, 0) << enc.err;
  EXPECT_EQ(Lq({"decrypt"}, enc.out).out, "by id");
  EXPECT_EQ(Lq({"key", "show", "FFFFFFFFFFFFFFFFFFFF"}).status, 1);

  // The key manager's name rules: a taken name gets a number, an empty one becomes Key_N.
  ASSERT_EQ(Lq({"key", "new", "bob"}).status, 0);
  const Outcome taken = Lq({"key", "edit", "bob", "--name", "ann"});
  EXPECT_EQ(taken.status, 0) << taken.err;
  EXPECT_TRUE(Contains(taken.err, "lq: ")) << taken.err;
  std::vector<std::string> names = Names();
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "ann");
  EXPECT_EQ(names[1].rfind("ann", 0), 0u);
  EXPECT_GT(names[1].size(), 3u);
  ASSERT_EQ(Lq({"key", "edit", names[1], "--name", ""}).status, 0);
  names = Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names[0].rfind("Key_", 0), 0u) << names[0];
  // No secret key to give an expiry.
  EXPECT_EQ(Lq({"key", "edit", names[0], "--secret-expires", "never"}).status, 1);
}

TEST_F(LqDaily, ImportShowsNameAndFingerprintAndDryRunStoresNothing) {
  ASSERT_EQ(Lq({"key", "new", "me", "--first", "Mia", "--last", "Wong"}).status, 0);
  ASSERT_EQ(Lq({"key", "gen", "me", "--bits", "512"}).status, 0);
  const Outcome exported = Lq({"key", "export", "me"});
  ASSERT_EQ(exported.status, 0);
  const std::string fingerprint = Field(Lq({"key", "show", "me"}).out, "Fingerprint");
  setenv("OTHERP", "other pass", 1);
  const std::vector<std::string> other = {"--keyfile", "o.lqk", "--passphrase-env", "OTHERP"};
  auto o = [&](std::vector<std::string> args, const std::string& input = {}) {
    std::vector<std::string> all = other;
    all.insert(all.end(), args.begin(), args.end());
    return RunLq(dir_, all, input);
  };
  ASSERT_EQ(o({"keyfile", "create"}).status, 0);
  const Outcome dry = o({"key", "import", "--dry-run"}, exported.out);
  ASSERT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(Field(dry.out, "Key of"), "Mia Wong");
  EXPECT_EQ(Field(dry.out, "Fingerprint"), fingerprint);
  EXPECT_EQ(Field(dry.out, "Private part"), "no");
  EXPECT_EQ(Field(dry.out, "Same KeyID in this keyfile"), "-");
  EXPECT_EQ(o({"key", "list"}).out, "");
  const Outcome real = o({"key", "import"}, exported.out);
  ASSERT_EQ(real.status, 0) << real.err;
  EXPECT_EQ(real.out, "Imported key: Mia Wong\nFingerprint: " + fingerprint + "\n");
  EXPECT_EQ(
      Field(o({"key", "import", "--dry-run"}, exported.out).out, "Same KeyID in this keyfile"),
      "Mia Wong");
  EXPECT_EQ(o({"key", "import", "--dry-run"}, "no armor here").status, 1);
}

TEST_F(LqDaily, UsageErrorsComeBeforeTheKeyfileAndMessagesAreOneLine) {
  // No passphrase source and no terminal: a usage error must not get as far as asking.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"key", "gen", "x", "--bits", "300"},
           {"key", "gen", "x", "--bits", "33000"},
           {"key", "gen", "x", "--bits", "520"},
           {"key", "gen", "x", "--bits", "512", "--expires", "2000-01-01"},
           {"key", "secret", "x", "--secret-env", "A", "--expires", "2001-05-05"},
           {"key", "edit", "x"},
           {"key", "edit", "x", "--trust", "0"},
           {"key", "edit", "x", "--secret-expires", "soon"},
           {"key", "import", "--dry-run", "--bogus"},
           {"signer", "set", "x", "--always-encrypt", "--no-always-encrypt"},
           {"--wait", "x", "key", "list"},
           {"--verbose", "--quiet", "key", "list"},
       }) {
    std::vector<std::string> all = {"--keyfile", "k.lqk"};
    all.insert(all.end(), args.begin(), args.end());
    const Outcome r = RunLq(dir_, all);
    EXPECT_EQ(r.status, 2) << args[0] << " " << args[1] << " " << r.err;
    EXPECT_FALSE(Contains(r.err, "passphrase")) << r.err;
  }
  EXPECT_EQ(RunLq(dir_, {"--version"}).out, "lq, the command line of Lockquill V1.0\n");
  // After --, what looks like an option is a keyname.
  ASSERT_EQ(Lq({"key", "new", "--", "--yes"}).status, 0);
  EXPECT_EQ(Names(), std::vector<std::string>{"--yes"});
  // Engine messages: one line each, prefixed.
  setenv("WRONGP", "wrong", 1);
  const Outcome wrong =
      RunLq(dir_, {"--keyfile", "k.lqk", "--passphrase-env", "WRONGP", "key", "list"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.err.rfind("lq: The passphrase for this keyfile is not correct!", 0), 0u)
      << wrong.err;
  EXPECT_EQ(std::count(wrong.err.begin(), wrong.err.end(), '\n'), 1) << wrong.err;
  // --quiet drops the informational notes only.
  setenv("QP", "quiet pass", 1);
  const Outcome quiet =
      RunLq(dir_, {"--quiet", "--keyfile", "q.lqk", "--passphrase-env", "QP", "keyfile", "create"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  const Outcome loud =
      RunLq(dir_, {"--keyfile", "q2.lqk", "--passphrase-env", "QP", "keyfile", "create"});
  EXPECT_EQ(loud.err, "Keyfile created: q2.lqk\n");
}

// lq at a hidden prompt on a terminal, ended by a signal: echo is back on afterwards.
void SignalAtHiddenPrompt(const fs::path& dir, int sig) {
  PtyLq lq(dir, {"--keyfile", "k.lqk", "key", "list"});
  ASSERT_TRUE(lq.WaitFor("Enter passphrase for keyfile:")) << lq.Seen();
  ASSERT_TRUE(lq.WaitForEcho(false)) << "the passphrase prompt hides what is typed";
  lq.Signal(sig);
  const int raw = lq.Wait();
  EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == sig) << raw;
  EXPECT_TRUE(lq.Echo()) << "signal " << sig;
}

TEST_F(LqDaily, ASignalAtAHiddenPromptLeavesEchoOn) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) SignalAtHiddenPrompt(dir_, sig);
}

TEST_F(LqDaily, KeySecretAsksOnTheTerminalWithoutEcho) {
  ASSERT_EQ(Lq({"key", "new", "carol"}).status, 0);
  {
    PtyLq lq(dir_, With({"key", "secret", "carol"}));
    ASSERT_TRUE(lq.WaitFor("Secret key (empty removes it): ")) << lq.Seen();
    ASSERT_TRUE(lq.WaitForEcho(false));
    lq.Type("typed secret");
    ASSERT_TRUE(lq.WaitFor("Type the secret key again: ")) << lq.Seen();
    ASSERT_TRUE(lq.WaitForEcho(false));
    lq.Type("typed secret");
    const int raw = lq.Wait();
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 0) << lq.Seen();
    EXPECT_FALSE(Contains(lq.Seen(), "typed secret")) << "never echoed";
    EXPECT_TRUE(lq.Echo());
  }
  EXPECT_EQ(Field(Lq({"key", "show", "carol"}).out, "Secret key"), "yes");
  // Two different typings change nothing.
  PtyLq lq(dir_, With({"key", "secret", "carol"}));
  // Input typed before echo goes off is discarded, as at every hidden prompt; so wait for it.
  ASSERT_TRUE(lq.WaitFor("Secret key (empty removes it): "));
  ASSERT_TRUE(lq.WaitForEcho(false));
  lq.Type("");
  ASSERT_TRUE(lq.WaitFor("Type the secret key again: "));
  ASSERT_TRUE(lq.WaitForEcho(false));
  lq.Type("not empty");
  const int raw = lq.Wait();
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  EXPECT_TRUE(Contains(lq.Seen(), "differ")) << lq.Seen();
  EXPECT_EQ(Field(Lq({"key", "show", "carol"}).out, "Secret key"), "yes");
}

}  // namespace
