// End-to-end runs of the built lq program in temporary folders: two keyfiles that exchange
// keys, encrypted and signed text and files only through lq, and the exit statuses of
// failures (tampered packets, wrong passphrases, refused questions, usage errors).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "crypto/random.h"
#include "keys/keyfile.h"
#include "packet/passphrase_packet.h"
#include "selfextract/container.h"
#include "support/recording_ui.h"

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

// Runs lq in `dir` with `args`, `input` on standard input, no shell involved.
Outcome RunLq(const fs::path& dir, const std::vector<std::string>& args,
              const std::string& input = {}) {
  const fs::path in = dir / ".stdin", out = dir / ".stdout", err = dir / ".stderr";
  WriteFile(in, input);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    const int fd_in = open(in.c_str(), O_RDONLY);
    const int fd_out = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int fd_err = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd_in, 0);
    dup2(fd_out, 1);
    dup2(fd_err, 2);
    std::vector<char*> argv;
    std::string program = LQ_PROGRAM;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  Outcome run;
  int raw = 0;
  waitpid(pid, &raw, 0);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128;
  run.out = ReadFile(out);
  run.err = ReadFile(err);
  return run;
}

// A fresh folder of its own under the temporary folder; tests may run in parallel.
fs::path UniqueDir(const std::string& prefix) {
  std::random_device rd;
  const fs::path dir =
      fs::temp_directory_path() / (prefix + std::to_string(rd()) + std::to_string(rd()));
  fs::create_directories(dir);
  return dir;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Two users: Alice (keyfile a.lqk) and Bob (b.lqk), each with a generated key pair and the
// other's public key imported; Alice also holds a secret key "carol" shared with Carol
// (c.lqk). Made once for the whole suite: key generation is the slow part.
class LqSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = UniqueDir("lq-e2e-");
    setenv("PA", "alice pass", 1);
    setenv("PB", "bob pass", 1);
    setenv("PC", "carol pass", 1);
    setenv("SHARED", "carol's shared secret", 1);
    unsetenv("LQ_KEYFILE");
    auto must = [](const std::vector<std::string>& args, const std::string& input = {}) {
      const Outcome r = RunLq(root_, args, input);
      ASSERT_EQ(r.status, 0) << args[4] << " " << r.err;
    };
    const std::vector<std::string> a = {"--keyfile", "a.lqk", "--passphrase-env", "PA"};
    const std::vector<std::string> b = {"--keyfile", "b.lqk", "--passphrase-env", "PB"};
    const std::vector<std::string> c = {"--keyfile", "c.lqk", "--passphrase-env", "PC"};
    auto with = [](std::vector<std::string> base, std::vector<std::string> more) {
      base.insert(base.end(), more.begin(), more.end());
      return base;
    };
    must(with(a, {"keyfile", "create"}));
    must(with(a, {"key", "new", "alice", "--first", "Alice", "--last", "Smith", "--email",
                  "alice@example.org", "--trust", "3"}));
    must(with(a, {"key", "gen", "alice", "--bits", "512", "--share", "email"}));
    must(with(a, {"signer", "set", "alice"}));
    must(with(a, {"key", "new", "carol"}));
    must(with(a, {"key", "secret", "carol", "--secret-env", "SHARED", "--expires", "2999-12-31"}));
    must(with(b, {"keyfile", "create"}));
    must(with(b, {"key", "new", "bob", "--first", "Bob", "--last", "Jones"}));
    must(with(b, {"key", "gen", "bob", "--bits", "512"}));
    must(with(b, {"signer", "set", "bob"}));
    must(with(c, {"keyfile", "create"}));
    must(with(c, {"key", "new", "carol"}));
    must(with(c, {"key", "secret", "carol", "--secret-env", "SHARED"}));
    must(with(a, {"key", "export", "alice", "-o", "alice.txt"}));
    must(with(b, {"key", "export", "bob", "-o", "bob.txt"}));
    must(with(b, {"key", "import", "alice.txt"}));
    must(with(a, {"key", "import", "-"}), ReadFile(root_ / "bob.txt"));
    must(with(a, {"group", "new", "friends"}));
    must(with(a, {"group", "add", "friends", "Bob Jones", "carol"}));
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // lq as Alice, Bob or Carol, with more arguments.
  static Outcome As(char who, std::vector<std::string> args, const std::string& input = {}) {
    const std::string name(1, who);
    std::vector<std::string> all = {"--keyfile", name + ".lqk", "--passphrase-env",
                                    std::string("P") + static_cast<char>(who - 'a' + 'A')};
    all.insert(all.end(), args.begin(), args.end());
    return RunLq(root_, all, input);
  }
  static fs::path Dir(const std::string& name) {
    const fs::path d = root_ / name;
    fs::create_directories(d);
    return d;
  }

  static fs::path root_;
};
fs::path LqSession::root_;

TEST_F(LqSession, KeysGroupsAndSignerAreListed) {
  const Outcome list = As('a', {"key", "list"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_TRUE(Contains(list.out, "alice\tm\t"));
  EXPECT_TRUE(Contains(list.out, "Bob Jones\tr\t"));
  EXPECT_TRUE(Contains(list.out, "carol\tr\t"));
  EXPECT_TRUE(Contains(list.out, "2999-12-31"));
  // Bob's fingerprint reads the same in both keyfiles.
  const Outcome bobs = As('b', {"key", "list"});
  const size_t at = bobs.out.find("bob\tm\t");
  ASSERT_NE(at, std::string::npos) << bobs.out;
  std::vector<std::string> columns;
  std::stringstream line(bobs.out.substr(at, bobs.out.find('\n', at) - at));
  for (std::string column; std::getline(line, column, '\t');) columns.push_back(column);
  ASSERT_EQ(columns.size(), 5u);
  EXPECT_EQ(columns[2].size(), 64u);
  EXPECT_EQ(columns[3].size(), 44u) << "nine groups of four hex digits";
  EXPECT_EQ(columns[4], "never");
  EXPECT_TRUE(Contains(list.out, "Bob Jones\tr\t" + columns[2] + "\t" + columns[3]));

  const Outcome groups = As('a', {"group", "list"});
  EXPECT_EQ(groups.out, "friends: Bob Jones, carol\n");
  const Outcome signer = As('a', {"signer", "show"});
  EXPECT_EQ(signer.out, "alice\nalways encrypt: no\n");
  const Outcome info = As('a', {"keyfile", "info"});
  EXPECT_EQ(info.status, 0);
  EXPECT_TRUE(Contains(info.out, "Keys: 3 (1 with a private part)"));
  EXPECT_TRUE(Contains(info.out, "Signing key: alice"));
}

TEST_F(LqSession, EncryptedSignedTextAndFilesReachEveryRecipient) {
  WriteFile(root_ / "report.txt", std::string("line one\r\nbinary \0\xff bytes\n", 26));
  // Carol has only a secret key: mixing key types is a question, answered no without --yes.
  const Outcome refused = As('a', {"encrypt", "--to", "friends", "--text", "x"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "taking No")) << refused.err;
  // Bob by his key pair, Carol by the shared secret key.
  const Outcome enc =
      As('a', {"--yes", "encrypt", "--to", "friends", "--attach", "report.txt"}, "Meet at noon.\n");
  ASSERT_EQ(enc.status, 0) << enc.err;
  EXPECT_EQ(enc.out.rfind("-----Start_Lockquill_packet-----\r\n", 0), 0u);
  WriteFile(root_ / "msg.txt", enc.out);
  for (char who : {'b', 'c'}) {
    const std::string store = std::string("store-") + who;
    Dir(store);
    const Outcome dec = As(who, {"--store", store, "decrypt", "msg.txt"});
    EXPECT_EQ(dec.status, 0) << who << dec.err;
    EXPECT_EQ(dec.out, "Meet at noon.\n");
    EXPECT_EQ(ReadFile(root_ / store / "report.txt"), ReadFile(root_ / "report.txt"));
  }
  // Signed as well: Bob checks the signature; Carol, without Alice's key, cannot open it.
  const Outcome signed_enc =
      As('a', {"--yes", "encrypt", "--to", "Bob Jones,carol", "--sign", "--text", "signed note"});
  ASSERT_EQ(signed_enc.status, 0) << signed_enc.err;
  const Outcome bob = As('b', {"decrypt"}, signed_enc.out);
  EXPECT_EQ(bob.status, 0) << bob.err;
  EXPECT_EQ(bob.out, "signed note");
  EXPECT_TRUE(Contains(bob.err, "Signature OK!")) << bob.err;
  EXPECT_TRUE(Contains(bob.err, "by Alice Smith"));
  const Outcome carol = As('c', {"decrypt"}, signed_enc.out);
  EXPECT_EQ(carol.status, 1);
  EXPECT_TRUE(Contains(carol.err, "the key of the signer was not found")) << carol.err;
}

TEST_F(LqSession, PacketFilesTravelBothWaysAlsoThroughStandardInput) {
  const Outcome enc = As('b', {"encrypt", "--to", "Alice Smith", "--sign", "--text", "Hi Alice",
                               "-o", "to-alice.lqe"});
  ASSERT_EQ(enc.status, 0) << enc.err;
  EXPECT_TRUE(enc.out.empty());
  const Outcome dec = As('a', {"decrypt", "to-alice.lqe"});
  EXPECT_EQ(dec.status, 0) << dec.err;
  EXPECT_EQ(dec.out, "Hi Alice");
  EXPECT_TRUE(Contains(dec.err, "Signature OK!"));
  EXPECT_TRUE(Contains(dec.err, "by Bob Jones"));
  const Outcome piped = As('a', {"decrypt"}, ReadFile(root_ / "to-alice.lqe"));
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, "Hi Alice");
  // Carol holds no key of this packet.
  const Outcome carol = As('c', {"decrypt", "to-alice.lqe"});
  EXPECT_EQ(carol.status, 1);
  EXPECT_TRUE(Contains(carol.err, "could not find a key in this keyfile")) << carol.err;
}

TEST_F(LqSession, MaxSizeRefusesALargerPacketAndLetsItThroughWhenRaised) {
  const std::string text(3u << 20, 'x');  // 3 MiB, compressed to little
  ASSERT_EQ(As('b', {"encrypt", "--to", "Alice Smith", "-o", "big.lqe"}, text).status, 0);
  const Outcome refused = As('a', {"--max-size", "2", "decrypt", "big.lqe"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "2097152")) << refused.err;
  EXPECT_TRUE(refused.out.empty());
  const Outcome raised = As('a', {"--max-size", "4", "decrypt", "big.lqe"});
  EXPECT_EQ(raised.status, 0) << raised.err;
  EXPECT_EQ(raised.out, text);
}

TEST_F(LqSession, SignedTextAndSignedFilesVerifyAndTamperingExitsThree) {
  const Outcome signed_text = As('a', {"sign", "--text", "I owe Bob 5 euro.\r\nAlice"});
  ASSERT_EQ(signed_text.status, 0) << signed_text.err;
  EXPECT_EQ(signed_text.out.rfind("-----Start_Lockquill_signed_text-----\r\nI owe Bob 5 euro.", 0),
            0u);
  const Outcome ok = As('b', {"decrypt"}, signed_text.out);
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out, "I owe Bob 5 euro.\r\nAlice");
  std::string forged = signed_text.out;
  forged.replace(forged.find("5 euro"), 6, "50 euro");
  const Outcome bad = As('b', {"decrypt"}, forged);
  EXPECT_EQ(bad.status, 3);
  EXPECT_EQ(bad.out, "I owe Bob 50 euro.\r\nAlice") << "the text is still delivered";
  EXPECT_TRUE(Contains(bad.err, "B A D   S I G N A T U R E"));

  WriteFile(root_ / "contract.txt", "terms");
  const Outcome file =
      As('a', {"sign", "--attach", "contract.txt", "--text", "see file", "-o", "contract.lqe"});
  ASSERT_EQ(file.status, 0) << file.err;
  Dir("store-contract");
  const Outcome verified = As('b', {"--store", "store-contract", "decrypt", "contract.lqe"});
  EXPECT_EQ(verified.status, 0) << verified.err;
  EXPECT_EQ(verified.out, "see file");
  EXPECT_EQ(ReadFile(root_ / "store-contract" / "contract.txt"), "terms");
}

TEST_F(LqSession, TamperedArmorAndPacketFilesExitOneWithTheMessage) {
  const Outcome enc = As('a', {"encrypt", "--to", "Bob Jones", "--text", "secret plan"});
  ASSERT_EQ(enc.status, 0) << enc.err;
  std::string armor = enc.out;
  const size_t at = armor.find("\r\n", 40) + 30;
  armor[at] = armor[at] == 'A' ? 'B' : 'A';
  const Outcome bad = As('b', {"decrypt"}, armor);
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(bad.out.empty());
  EXPECT_TRUE(Contains(bad.err, "This packet is damaged!")) << bad.err;

  const Outcome file =
      As('a', {"encrypt", "--to", "Bob Jones", "--text", "plan", "-o", "plan.lqe"});
  ASSERT_EQ(file.status, 0) << file.err;
  std::string bytes = ReadFile(root_ / "plan.lqe");
  bytes[bytes.size() / 2] ^= 0x20;
  WriteFile(root_ / "plan-bad.lqe", bytes);
  const Outcome bad_file = As('b', {"decrypt", "plan-bad.lqe"});
  EXPECT_EQ(bad_file.status, 1);
  EXPECT_TRUE(Contains(bad_file.err, "This packet is damaged!")) << bad_file.err;
  WriteFile(root_ / "plan-short.lqe", bytes.substr(0, 60));
  EXPECT_EQ(As('b', {"decrypt", "plan-short.lqe"}).status, 1);

  const Outcome no_store = As('b', {"--store", "no-such-folder", "decrypt", "plan.lqe"});
  EXPECT_EQ(no_store.status, 1);
  EXPECT_TRUE(Contains(no_store.err, "no-such-folder")) << no_store.err;

  const Outcome none = As('b', {"decrypt"}, "just some text");
  EXPECT_EQ(none.status, 1);
  EXPECT_TRUE(Contains(none.err, "The text is not in a valid Ascii Armor format."));
}

TEST_F(LqSession, WrongPassphraseExitsOne) {
  setenv("WRONG", "not it", 1);
  const Outcome r =
      RunLq(root_, {"--keyfile", "a.lqk", "--passphrase-env", "WRONG", "key", "list"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "passphrase")) << r.err;
  EXPECT_TRUE(r.out.empty());
  const Outcome fd = RunLq(root_, {"--keyfile", "a.lqk", "--passphrase-fd", "0", "signer", "show"},
                           "alice pass\n");
  EXPECT_EQ(fd.status, 0) << fd.err;
  EXPECT_EQ(fd.out.substr(0, 6), "alice\n");
}

TEST_F(LqSession, ImportAnswersReplaceNewNameOrCancel) {
  const fs::path dir = Dir("import");
  fs::copy_file(root_ / "b.lqk", dir / "b.lqk");
  const Outcome priv = As('a', {"key", "export", "alice", "--private"});
  ASSERT_EQ(priv.status, 0) << priv.err;
  WriteFile(dir / "alice-private.txt", "> quoted in a reply:\n> " + priv.out);
  auto b = [&](std::vector<std::string> args) {
    std::vector<std::string> all = {"--keyfile", "b.lqk", "--passphrase-env", "PB"};
    all.insert(all.end(), args.begin(), args.end());
    return RunLq(dir, all);
  };
  const Outcome asked = b({"key", "import", "alice-private.txt"});
  EXPECT_EQ(asked.status, 1) << "a known KeyID without an answer is cancelled";
  EXPECT_TRUE(Contains(asked.err, "has the same KeyID as the imported key")) << asked.err;
  EXPECT_TRUE(Contains(asked.err, "taking Cancel"));
  const Outcome copy = b({"key", "import", "alice-private.txt", "--as", "alice2"});
  EXPECT_EQ(copy.status, 0) << copy.err;
  const Outcome replaced = b({"key", "import", "alice-private.txt", "--replace"});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  const Outcome list = b({"key", "list"});
  EXPECT_TRUE(Contains(list.out, "alice2\tm\t"));
  EXPECT_TRUE(Contains(list.out, "Alice Smith\tm\t")) << "the private part came with it";
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 3);
  const Outcome taken = b({"key", "import", "alice-private.txt", "--as", "ALICE2"});
  EXPECT_EQ(taken.status, 1);
  EXPECT_TRUE(Contains(taken.err, "ALICE2"));
  const Outcome carol_no_pair = As('a', {"key", "export", "carol"});
  EXPECT_EQ(carol_no_pair.status, 1);
  EXPECT_TRUE(Contains(carol_no_pair.err, "does not have a public key"));
  const Outcome no_private = As('a', {"key", "export", "Bob Jones", "--private"});
  EXPECT_EQ(no_private.status, 1);
}

TEST_F(LqSession, DeletingAsksAndChangingThePassphraseRekeys) {
  const fs::path dir = Dir("change");
  fs::copy_file(root_ / "a.lqk", dir / "a.lqk");
  auto a = [&](const char* env, std::vector<std::string> args) {
    std::vector<std::string> all = {"--keyfile", "a.lqk", "--passphrase-env", env};
    all.insert(all.end(), args.begin(), args.end());
    return RunLq(dir, all);
  };
  EXPECT_EQ(a("PA", {"key", "delete", "carol"}).status, 1);
  EXPECT_EQ(a("PA", {"--no", "group", "delete", "friends"}).status, 1);
  EXPECT_EQ(a("PA", {"--yes", "key", "delete", "carol"}).status, 0);
  EXPECT_EQ(a("PA", {"group", "list"}).out, "friends: Bob Jones\n");
  EXPECT_EQ(a("PA", {"--yes", "group", "delete", "friends"}).status, 0);
  EXPECT_EQ(a("PA", {"group", "list"}).out, "");
  // Both passphrases through one descriptor: the current one first.
  const Outcome changed = RunLq(dir,
                                {"--keyfile", "a.lqk", "--passphrase-fd", "0", "keyfile", "passwd",
                                 "--new-passphrase-fd", "0"},
                                "alice pass\nnew alice pass\n");
  EXPECT_EQ(changed.status, 0) << changed.err;
  setenv("NEWPA", "new alice pass", 1);
  const Outcome old = a("PA", {"key", "list"});
  EXPECT_EQ(old.status, 1);
  EXPECT_TRUE(Contains(old.err, "The passphrase for this keyfile is not correct!")) << old.err;
  const Outcome list = a("NEWPA", {"key", "list"});
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_TRUE(Contains(list.out, "alice\tm\t"));
  EXPECT_FALSE(Contains(list.out, "carol"));
  EXPECT_EQ(a("NEWPA", {"signer", "clear"}).status, 0);
  EXPECT_EQ(a("NEWPA", {"signer", "show"}).out, "No signingkey selected\n");
  EXPECT_EQ(a("NEWPA", {"sign", "--text", "x"}).status, 1);
}

TEST_F(LqSession, OverwritingAStoredFileNeedsYes) {
  const Outcome enc =
      As('a', {"encrypt", "--to", "Bob Jones", "--attach", "alice.txt", "--text", "t"});
  ASSERT_EQ(enc.status, 0) << enc.err;
  const fs::path store = Dir("overwrite");
  WriteFile(store / "alice.txt", "old");
  const Outcome kept = As('b', {"--store", "overwrite", "decrypt"}, enc.out);
  EXPECT_EQ(kept.out, "t");
  EXPECT_EQ(ReadFile(store / "alice.txt"), "old");
  const Outcome replaced = As('b', {"--yes", "--store", "overwrite", "decrypt"}, enc.out);
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(ReadFile(store / "alice.txt"), ReadFile(root_ / "alice.txt"));
}

TEST(LqUsage, UsageErrorsExitTwoAndHelpExitsZero) {
  const fs::path dir = UniqueDir("lq-e2e-usage-");
  EXPECT_EQ(RunLq(dir, {}).status, 2);
  const Outcome help = RunLq(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Contains(help.out, "key import [FILE|-] [--replace | --as NEWNAME]"));
  const Outcome key_help = RunLq(dir, {"encrypt", "--help"});
  EXPECT_EQ(key_help.status, 0);
  EXPECT_EQ(key_help.out.rfind("usage: lq [options] encrypt --to", 0), 0u);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"frobnicate"},
           {"key"},
           {"key", "new"},
           {"key", "new", "x", "--trust", "4"},
           {"key", "gen", "x", "--bits", "many"},
           {"key", "secret", "x", "--secret-env", "A", "--expires", "2020-02-30"},
           {"--yes", "--no", "key", "list"},
           {"--passphrase-env", "A", "--passphrase-fd", "3", "key", "list"},
           {"--passphrase-env", "LQ_SURELY_UNSET_VARIABLE", "key", "list"},
           {"--passphrase-fd", "x", "key", "list"},
           {"encrypt", "--text", "t"},
           {"encrypt", "--to", "a", "--prefer", "both"},
           {"decrypt", "a", "b"},
           {"key", "list", "--bogus"},
           {"--keyfile"},
           {"--max-size", "0", "key", "list"},
           {"--max-size", "4096", "key", "list"},
       }) {
    const Outcome r = RunLq(dir, args);
    EXPECT_EQ(r.status, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "") << r.err;
  }
  fs::remove_all(dir);
}

TEST(LqUsage, MissingKeyfileAndSelftest) {
  const fs::path dir = UniqueDir("lq-e2e-empty-");
  setenv("PA", "alice pass", 1);
  const Outcome r = RunLq(dir, {"--passphrase-env", "PA", "key", "list"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "Keyfile.lqk"));
  const Outcome self = RunLq(dir, {"selftest"});
  EXPECT_EQ(self.status, 0) << self.out << self.err;
  EXPECT_TRUE(Contains(self.out, "AES (FIPS 197, SP 800-38A): ok"));
  EXPECT_FALSE(Contains(self.out, "FAILED"));
  fs::remove_all(dir);
}

// lq sfx: a self-extracting program from the command line, read back with the launcher's reader
// and opened with the viewer's passphrase packet code.
class LqSfx : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = UniqueDir("lq-sfx-");
    progs = dir / "programs";
    fs::create_directories(progs);
    WriteFile(progs / "sxlaunch.exe", launcher);
    WriteFile(progs / "sxview.exe", viewer);
    WriteFile(progs / "formkit30.dll", toolkit);  // the build's own spelling
    WriteFile(dir / "msg.txt", "the message");
    WriteFile(dir / "a.txt", "file a");
    WriteFile(dir / "b.bin", std::string(3000, '\0'));
    setenv("PS", "sfx pass", 1);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  Outcome Sfx(std::vector<std::string> args, const std::string& input = {},
              std::vector<std::string> global = {"--passphrase-env", "PS"}) {
    global.push_back("sfx");
    global.insert(global.end(), args.begin(), args.end());
    return RunLq(dir, global, input);
  }
  // The packet of a written program, opened with the passphrase; files go to `store`.
  lq::OpenedPassphrasePacket Open(const fs::path& program, const std::string& passphrase,
                                  const fs::path& store, std::string* note = nullptr) {
    const std::string file = ReadFile(program);
    lq::DataBlockFields f;
    EXPECT_EQ(lq::ReadDataBlock(file, f), lq::TailStatus::kOk);
    EXPECT_EQ(file.substr(0, launcher.size()), launcher);
    lq::Bytes v, t;
    EXPECT_EQ(lq::UnpackPrograms(f, v, t), lq::UnpackStatus::kOk);
    EXPECT_EQ(v, viewer);
    EXPECT_EQ(t, toolkit);
    lq::test::RecordingUi ui;
    lq::RandomContext random;
    lq::Keyfile kf(ui, random);
    lq::PacketSession s(ui, random, kf);
    fs::create_directories(store);
    s.store_folder = store.string() + "/";
    if (note) *note = lq::PassphrasePacketNote(s, f.packet);
    std::string p = passphrase;
    return lq::Open_PassphrasePacket(s, f.packet, p);
  }

  fs::path dir, progs;
  const std::string launcher = "MZ launcher" + std::string(2000, 'L');
  const std::string viewer = "MZ viewer" + std::string(9000, 'v');
  const std::string toolkit = "MZ toolkit" + std::string(7000, 't');
};

TEST_F(LqSfx, BuildsAProgramWithNoteTextAndFiles) {
  const Outcome r = Sfx({"--note", "call me", "--text-file", "msg.txt", "--attach", "a.txt",
                         "--attach", "b.bin", "--programs", progs.string(), "-o", "out.exe"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Contains(r.err, "Executable file saved as: out.exe")) << r.err;
  std::string note;
  const auto opened = Open(dir / "out.exe", "sfx pass", dir / "store", &note);
  EXPECT_EQ(note, "call me");
  EXPECT_TRUE(opened.ok);
  EXPECT_EQ(opened.text, "the message");
  EXPECT_EQ(opened.files_in_packet, 2);
  EXPECT_EQ(ReadFile(dir / "store" / "a.txt"), "file a");
  EXPECT_EQ(ReadFile(dir / "store" / "b.bin"), std::string(3000, '\0'));
  EXPECT_FALSE(Open(dir / "out.exe", "wrong", dir / "store2").ok);
}

TEST_F(LqSfx, TextFromStandardInputAndTheDefaultName) {
  const Outcome r = Sfx({"--programs", progs.string()}, "typed text");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto opened = Open(dir / "LQSEF.exe", "sfx pass", dir / "store");
  EXPECT_EQ(opened.text, "typed text");
  EXPECT_EQ(opened.files_in_packet, 0);
}

TEST_F(LqSfx, AnExistingProgramIsReplacedOnlyWhenAllowed) {
  WriteFile(dir / "out.exe", "old");
  Outcome r = Sfx({"--text", "t", "--programs", progs.string(), "-o", "out.exe"}, {},
                  {"--passphrase-env", "PS", "--no"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "already exists. Overwrite it?")) << r.err;
  EXPECT_EQ(ReadFile(dir / "out.exe"), "old");
  r = Sfx({"--text", "t", "--programs", progs.string(), "-o", "out.exe"}, {},
          {"--passphrase-env", "PS", "--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Open(dir / "out.exe", "sfx pass", dir / "store").ok);
}

TEST_F(LqSfx, MissingProgramsEmptyPassphraseAndUsageErrors) {
  Outcome r = Sfx({"--text", "t", "--programs", (dir / "nothing").string(), "-o", "x.exe"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "Could not read launcher exe file!")) << r.err;
  EXPECT_FALSE(fs::exists(dir / "x.exe"));
  fs::remove(progs / "formkit30.dll");
  r = Sfx({"--text", "t", "--programs", progs.string(), "-o", "x.exe"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.err, "Could not read the dll!")) << r.err;
  setenv("EMPTY", "", 1);
  r = Sfx({"--text", "t", "--programs", progs.string(), "-o", "x.exe"}, {},
          {"--passphrase-env", "EMPTY"});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(dir / "x.exe"));
  r = Sfx({"--text", "t", "--attach", "missing.txt", "--programs", progs.string()});
  EXPECT_EQ(r.status, 1);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--note", "a", "--note-file", "msg.txt"},
                                             {"--text", "a", "--text-file", "msg.txt"},
                                             {"--bogus"},
                                             {"extra"}}) {
    EXPECT_EQ(Sfx(args).status, 2) << args[0];
  }
}

}  // namespace
