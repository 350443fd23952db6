// The keyfile as a file: layout, creating, opening with prompts, tampering, re-keying, loading
// another, locking, backing up, renaming, the start-up choice and saves that fail part-way.
#include "keys/keyfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "base/records.h"
#include "crypto/sha256.h"
#include "keys/key_records.h"
#include "keys_fixture.h"

namespace lq::test {
namespace {

constexpr char kCrLf[] = "\r\n";

// Where each record starts (after its length prefix) in keyfile bytes.
struct Located {
  std::string type;
  size_t start = 0;
  size_t length = 0;
};

std::vector<Located> Locate(const std::string& data) {
  std::vector<Located> out;
  size_t pos = 0;
  while (pos + 2 <= data.size()) {
    size_t length = static_cast<unsigned char>(data[pos]) |
                    static_cast<size_t>(static_cast<unsigned char>(data[pos + 1])) << 8;
    pos += 2;
    if (length == 0xFFFF) {
      length = LoadLe32(data.data() + pos);
      pos += 4;
    }
    out.push_back(Located{data.substr(pos, 3), pos, length});
    pos += length;
  }
  return out;
}

// A keyfile holding every record kind 001-016.
struct FullKeyfile {
  TempDir dir;
  std::string path = dir.File("full.lqk");
  Bytes alice, bob, group;

  FullKeyfile() {
    Session s;
    s.Create(path, "secret words");
    alice = s.AddKey("alice");
    bob = s.AddKey("bob");
    std::string text = "shared secret";
    SetSecretKey(s.kf, alice, text, 2030, 12, 31);
    RsaKeyRecord rsa{1024, Bytes(128, '\x7b'), Bytes(4, '\x01')};
    StoreKeyRecord(s.kf, rec::kEncryptionPublicKey, EncryptionPublicKeyFields(alice, rsa, {}));
    StoreKeyRecord(s.kf, rec::kEncryptionPrivateKey, RsaKeyFields(alice, rsa));
    StoreKeyRecord(s.kf, rec::kSigningPublicKey, RsaKeyFields(alice, rsa));
    StoreKeyRecord(s.kf, rec::kSigningPrivateKey, RsaKeyFields(alice, rsa));
    StoreKeyRecord(s.kf, rec::kPublicKeyDates, KeyDatesFields(alice, KeyDates{}));
    group = s.AddGroup("friends");
    AddGroupMember(s.kf, group, bob);
    SetSigningKey(s.kf, alice);
    SetAlwaysEncrypt(s.kf, true);
    s.kf.selected_recipients = {bob};
    EXPECT_EQ(SaveKeyfile(s.kf, path), 0);
  }
};

TEST(KeyfileLayout, ShortLongAndEscapedLengths) {
  std::vector<Bytes> table{"", "abc", Bytes(65534, 'x'), Bytes(65535, 'y'), Bytes(70000, 'z')};
  const Bytes data = KeyfileBytes(table);
  std::vector<Located> at = Locate(data);
  ASSERT_EQ(at.size(), 5u);
  EXPECT_EQ(data.substr(0, 2), Bytes("\x00\x00", 2));
  EXPECT_EQ(data.substr(2, 5), Bytes("\x03\x00"
                                     "abc",
                                     5));
  // 65534 still fits the two-byte form; 65535 and more take FF FF and four bytes.
  EXPECT_EQ(data.substr(at[2].start - 2, 2), "\xFE\xFF");
  EXPECT_EQ(data.substr(at[3].start - 6, 6), Bytes("\xFF\xFF\xFF\xFF\x00\x00", 6));
  EXPECT_EQ(data.substr(at[4].start - 6, 6), Bytes("\xFF\xFF\x70\x11\x01\x00", 6));
  std::vector<Bytes> back;
  ASSERT_TRUE(ReadKeyfileRecords(data, back));
  EXPECT_EQ(back, table);
  // Cut anywhere inside a record or a prefix: not readable.
  for (size_t cut : {size_t{1}, size_t{4}, data.size() - 1, at[3].start - 3}) {
    EXPECT_FALSE(ReadKeyfileRecords(std::string_view(data).substr(0, cut), back)) << cut;
  }
}

TEST(Keyfile, CreateWritesTheMandatoryRecordsAndReopens) {
  TempDir dir;
  const std::string path = dir.File("Keyfile.lqk");
  Session s;
  s.Create(path, "correct horse");
  ASSERT_FALSE(s.ui.calls.empty());
  bool waited = false;
  for (const auto& c : s.ui.calls) {
    if (c.what == "ShowWaitScreen") {
      waited = true;
      EXPECT_EQ(c.text,
                "\r\nInitializing the random number generator.\r\nThis is only necessary when "
                "creating a new keyfile.\r\nJust a moment please...");
    }
  }
  EXPECT_TRUE(waited);
  EXPECT_EQ(s.ui.status, path);

  const std::string data = ReadFile(path);
  EXPECT_EQ(data.find("Lockquill Keyfile"), 12u);
  std::vector<Bytes> records = FileRecords(path);
  ASSERT_GE(records.size(), 3u);
  EXPECT_EQ(records[0].substr(0, 6), "001001");
  EXPECT_EQ(records[1].substr(0, 10), Bytes("002001\x20\x00\x00\x00", 10));
  EXPECT_EQ(records[1].size(), 42u);
  EXPECT_EQ(records[2].substr(0, 6), "003001");
  EXPECT_EQ(records[2].size(), 6u + 64 + 16 + 16);  // 64 bytes, a padding block, the IV
  long position = 7;
  EXPECT_EQ(NextField(records[0], position), "Lockquill Keyfile V001");
  EXPECT_EQ(NextField(records[0], position).size(), 32u);
  EXPECT_EQ(NextField(records[0], position), " 8000");
  EXPECT_EQ(position, kFieldEnd);
  // The generator's state is kept from the first save on.
  EXPECT_TRUE(std::any_of(records.begin(), records.end(),
                          [](const Bytes& r) { return r.substr(0, 3) == "015"; }));

  Session again;
  EXPECT_EQ(again.Open(path, "correct horse"), kKeyfileOpened);
  EXPECT_TRUE(again.kf.open);
  EXPECT_EQ(again.kf.name, path);
  EXPECT_EQ(again.ui.status, path);
  EXPECT_TRUE(again.ui.boxes.empty());
}

TEST(Keyfile, CreateAsksAgainUntilThePassphrasesMatchAndCancelMakesNothing) {
  TempDir dir;
  const std::string path = dir.File("new.lqk");
  Session s;
  s.kf.prompt = "the prompt";
  s.ui.change_replies.push_back(ChangePassphraseReply{"", "one", "two"});
  s.ui.change_replies.push_back(ChangePassphraseReply{"", "two", "two"});
  ASSERT_EQ(CreateNewKeyfile(s.kf, path), 0);
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Keyfile_Passphrases_not_identical"});
  for (const auto& c : s.ui.calls) {
    if (c.what == "AskChangePassphrase") {
      EXPECT_EQ(c.text, "the prompt");
      EXPECT_EQ(c.number, static_cast<int>(ChangePassphraseMode::kNewKeyfile));
    }
  }
  Session check;
  EXPECT_EQ(check.Open(path, "two"), kKeyfileOpened);

  // A dialog closed without an answer: no keyfile, and the open one stays as it was.
  const std::string other = dir.File("other.lqk");
  EXPECT_EQ(CreateNewKeyfile(s.kf, other), 1);
  EXPECT_FALSE(RealFileOps().Exists(other));
  EXPECT_TRUE(s.kf.open);
  EXPECT_EQ(s.kf.name, path);
}

TEST(Keyfile, KeysGroupsAndSigningKeySurviveSaveLockAndReopen) {
  TempDir dir;
  const std::string path = dir.File("k.lqk");
  Session s;
  s.Create(path, "pw");
  const Bytes alice = s.AddKey("alice");
  const Bytes bob = s.AddKey("bob");
  const Bytes group = s.AddGroup("team");
  AddGroupMember(s.kf, group, alice);
  AddGroupMember(s.kf, group, bob);
  SetSigningKey(s.kf, alice);
  s.kf.selected_recipients = {bob, alice};
  ASSERT_EQ(CloseKeyfile(s.kf), 0);
  EXPECT_FALSE(s.kf.open);
  EXPECT_EQ(s.ui.status, "Keyfile closed. Reopen to continue...");
  EXPECT_EQ(s.kf.last_name, path);
  EXPECT_TRUE(s.kf.name.empty());
  EXPECT_TRUE(s.kf.key.empty());
  EXPECT_EQ(s.kf.table, std::vector<Bytes>{Bytes()});
  EXPECT_TRUE(s.kf.keys.empty());
  long index = 0;
  EXPECT_TRUE(FindRecordOfType(s.kf, rec::kUserId, index).empty());
  EXPECT_EQ(index, -1);

  // Saving while nothing is open writes nothing.
  const std::string before = ReadFile(path);
  EXPECT_EQ(SaveKeyfile(s.kf, path), 0);
  EXPECT_EQ(ReadFile(path), before);

  s.ui.passphrases.push_back("pw");
  ASSERT_TRUE(ReopenKeyfile(s.kf));
  EXPECT_EQ(s.kf.name, path);
  EXPECT_EQ(s.SortedKeyNames(), (std::vector<std::string>{"alice", "bob"}));
  ASSERT_EQ(s.kf.groups.size(), 1u);
  EXPECT_EQ(s.kf.groups[0].name, "team");
  EXPECT_EQ(s.kf.groups[0].members, (std::vector<Bytes>{alice, bob}));
  EXPECT_EQ(SigningKey(s.kf), alice);
  EXPECT_EQ(s.kf.selected_recipients, (std::vector<Bytes>{bob, alice}));
}

TEST(Keyfile, MandatoryRecordsOpenInAnyOrderWithTheHmacInFileOrder) {
  TempDir dir;
  const std::string path = dir.File("order.lqk");
  {
    Session s;
    s.Create(path, "pw");
    s.AddKey("alice");
    s.AddKey("bob");
    ASSERT_EQ(SaveKeyfile(s.kf, path), 0);
  }
  std::vector<Bytes> table = FileRecords(path);
  ASSERT_EQ(table[0].substr(0, 3), "001");
  long position = 7;
  NextField(table[0], position);
  const Bytes key = SHA256_Iterated("pw", NextField(table[0], position), 8000);
  // 002 first and 001 next (its header text must stay in the first 100 bytes), 003 last.
  std::vector<Bytes> shuffled{table[1], table[0]};
  for (size_t i = 3; i < table.size(); ++i) shuffled.push_back(table[i]);
  std::reverse(shuffled.begin() + 2, shuffled.end());
  shuffled.push_back(table[2]);
  shuffled[0] = RecordHeader("002");
  AppendField(KeyfileHmac(key, shuffled, 0), shuffled[0]);
  WriteFile(path, KeyfileBytes(shuffled));

  Session s;
  ASSERT_EQ(s.Open(path, "pw"), kKeyfileOpened);
  EXPECT_EQ(s.KeyNames().size(), 2u);
  ASSERT_EQ(SaveKeyfile(s.kf, path), 0);
  std::vector<Bytes> saved = FileRecords(path);
  EXPECT_EQ(saved[0].substr(0, 3), "001");
  EXPECT_EQ(saved[1].substr(0, 3), "002");
  EXPECT_EQ(saved[2].substr(0, 3), "003");
  EXPECT_TRUE(std::is_sorted(saved.begin(), saved.end()));

  // The same order with the HMAC of the sorted order does not open.
  shuffled[0] = RecordHeader("002");
  AppendField(KeyfileHmac(key, table, 1), shuffled[0]);
  WriteFile(path, KeyfileBytes(shuffled));
  Session t;
  EXPECT_EQ(t.Open(path, "pw"), kKeyfileTampered);
}

TEST(Keyfile, OneChangedByteInAnyRecordIsCaught) {
  FullKeyfile full;
  const std::string original = ReadFile(full.path);
  std::set<std::string> kinds;
  for (const Located& at : Locate(original)) {
    kinds.insert(at.type);
    std::string damaged = original;
    damaged[at.start + at.length / 2 + 3] ^= 0x01;
    WriteFile(full.path, damaged);
    Session s;
    const int result = s.Open(full.path, "secret words");
    // The middle of record 001 is its salt; salt and record 003 feed the passphrase check,
    // everything else only the HMAC.
    const bool check_fails = at.type == "001" || at.type == "003";
    if (check_fails) {
      EXPECT_EQ(result, kKeyfileWrongPassphrase) << at.type;
      EXPECT_EQ(s.ui.LastBox().key, "Keyfile_passphrase_not_correct") << at.type;
      EXPECT_EQ(s.ui.LastBox().text,
                std::string("The passphrase for this keyfile is not correct!") + kCrLf + full.path);
    } else {
      EXPECT_EQ(result, kKeyfileTampered) << at.type;
      EXPECT_EQ(s.ui.LastBox().key, "Keyfile_tampered") << at.type;
      EXPECT_NE(s.ui.LastBox().text.find(full.path), std::string::npos);
    }
    EXPECT_FALSE(s.kf.open);
    EXPECT_EQ(s.kf.table, std::vector<Bytes>{Bytes()});
    EXPECT_EQ(s.ui.status, "No valid keyfile could be opened..");
  }
  EXPECT_EQ(kinds.size(), 16u);  // every record kind 001-016 was damaged once

  // The header's parts: its text is covered by the HMAC, its round count by the check.
  const Located header = Locate(original)[0];
  ASSERT_EQ(header.type, "001");
  std::string damaged = original;
  damaged[header.start + 6 + 4 + 21] = '2';  // "...Keyfile V001" -> "V002"
  WriteFile(full.path, damaged);
  Session a;
  EXPECT_EQ(a.Open(full.path, "secret words"), kKeyfileTampered);
  damaged = original;
  damaged[header.start + header.length - 1] = '1';  // " 8000" -> " 8001"
  WriteFile(full.path, damaged);
  Session b;
  EXPECT_EQ(b.Open(full.path, "secret words"), kKeyfileWrongPassphrase);
  // A huge round count is refused at once instead of stalling the program.
  damaged = original.substr(0, header.start + header.length - 5);
  damaged[header.start - 2] = static_cast<char>(header.length + 6);
  damaged[header.start + header.length - 9] = 11;
  damaged += " 2000000000";
  damaged += original.substr(header.start + header.length);
  WriteFile(full.path, damaged);
  Session c;
  EXPECT_EQ(c.Open(full.path, "secret words"), kKeyfileWrongPassphrase);

  WriteFile(full.path, original);
  Session ok;
  EXPECT_EQ(ok.Open(full.path, "secret words"), kKeyfileOpened);
}

TEST(Keyfile, NotAKeyfileTooFewRecordsMissingRecordsAndCutFiles) {
  FullKeyfile full;
  const std::string original = ReadFile(full.path);
  const std::vector<Located> at = Locate(original);
  struct Case {
    std::string name, data;
    int result;
    std::string key;
  };
  std::string no_marker = original;
  no_marker[at[0].start + 10 + 4] = 'k';  // "Lockquill Keyfile" -> "Lockkuill Keyfile"
  const std::string two = original.substr(0, at[2].start - 2);
  std::string without_003 = original;
  without_003.erase(at[2].start - 2, at[2].length + 2);
  const std::vector<Case> cases{
      {"empty", "", kKeyfileNotRecognised, "Keyfile_not_recognised"},
      {"text", "hello, world", kKeyfileNotRecognised, "Keyfile_not_recognised"},
      {"marker", no_marker, kKeyfileNotRecognised, "Keyfile_not_recognised"},
      {"two records", two, kKeyfileNotRecognised, "Keyfile_HMAC_error"},
      {"no 003", without_003, kKeyfileTampered, "Keyfile_tampered"},
      {"cut", original.substr(0, original.size() - 7), kKeyfileTampered, "Keyfile_tampered"},
  };
  for (const Case& c : cases) {
    WriteFile(full.path, c.data);
    Session s;
    EXPECT_EQ(s.Open(full.path, "secret words"), c.result) << c.name;
    EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{c.key}) << c.name;
  }
  WriteFile(full.path, "");
  Session s;
  s.Open(full.path, "x");
  EXPECT_EQ(s.ui.LastBox().text, full.path + kCrLf + "is not recognised as a Lockquill keyfile!");

  Session missing;
  EXPECT_EQ(missing.Open(full.dir.File("none.lqk"), "x"), kKeyfileUnreadable);
  EXPECT_EQ(missing.ui.MessageKeys(), std::vector<std::string>{"Error_FileNotFound"});
}

TEST(Keyfile, WrongPassphraseGetsExactlyOneMoreAttempt) {
  FullKeyfile full;
  const std::string first = "Enter passphrase for keyfile:\r\n" + full.path;
  const std::string second =
      "Try, once more, to enter the correct passphrase for keyfile:\r\n" + full.path;
  auto prompts = [](const RecordingUi& ui) {
    std::vector<std::string> p;
    for (const auto& c : ui.calls) {
      if (c.what == "AskPassphrase") p.push_back(c.text);
    }
    return p;
  };
  {
    Session s;
    s.ui.passphrases = {"wrong", "secret words"};
    EXPECT_EQ(OpenKeyfileWithPrompt(s.kf, full.path), 0);
    EXPECT_TRUE(s.kf.open);
    EXPECT_EQ(prompts(s.ui), (std::vector<std::string>{first, second}));
    EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Keyfile_passphrase_not_correct"});
  }
  {
    Session s;
    s.ui.passphrases = {"wrong", "still wrong", "secret words"};
    EXPECT_EQ(OpenKeyfileWithPrompt(s.kf, full.path), 1);
    EXPECT_FALSE(s.kf.open);
    EXPECT_EQ(prompts(s.ui).size(), 2u);
    EXPECT_EQ(s.ui.passphrases.size(), 1u);
  }
  {
    // A cancel at the second prompt is tried as a passphrase.
    Session s;
    s.ui.passphrases = {"wrong"};
    EXPECT_EQ(OpenKeyfileWithPrompt(s.kf, full.path), 1);
    EXPECT_EQ(s.ui.MessageKeys().size(), 2u);
  }
  {
    // A cancel at the first prompt opens nothing and says nothing.
    Session s;
    EXPECT_EQ(OpenKeyfileWithPrompt(s.kf, full.path), 0);
    EXPECT_FALSE(s.kf.open);
    EXPECT_TRUE(s.ui.boxes.empty());
  }
}

TEST(Keyfile, DeletedRecordsNeverReachTheFile) {
  TempDir dir;
  const std::string path = dir.File("d.lqk");
  Session s;
  s.Create(path, "pw");
  const Bytes a = s.AddKey("a");
  s.AddKey("b");
  const Bytes g = s.AddGroup("g");
  std::string secret = "s";
  SetSecretKey(s.kf, a, secret, 0, 0, 0);
  SetSigningKey(s.kf, a);
  s.ui.buttons = {kIdYes, kIdYes};
  ASSERT_TRUE(DeleteKey(s.kf, a));
  ASSERT_TRUE(DeleteKeyGroup(s.kf, g));
  EXPECT_GT(std::count(s.kf.table.begin(), s.kf.table.end(), Bytes(kDeletedRecord)), 4);
  ASSERT_EQ(SaveKeyfile(s.kf, path), 0);
  std::vector<Bytes> records = FileRecords(path);
  for (const Bytes& r : records) EXPECT_NE(r.substr(0, 3), "zzz");
  // 001, 002, 003, b's 004, 015, 016.
  EXPECT_EQ(records.size(), 6u);
  EXPECT_EQ(s.kf.table, records);
}

TEST(Keyfile, LargeRecordsUseTheEscapedLength) {
  TempDir dir;
  const std::string path = dir.File("big.lqk");
  const std::string big(70000, 'q');
  Bytes id;
  {
    Session s;
    s.Create(path, "pw");
    id = s.AddKey("big");
    std::string text = big;
    ASSERT_TRUE(SetSecretKey(s.kf, id, text, 0, 0, 0));
    ASSERT_EQ(SaveKeyfile(s.kf, path), 0);
  }
  const std::string data = ReadFile(path);
  bool escaped = false;
  for (const Located& at : Locate(data)) {
    if (at.type == "005") {
      escaped = true;
      EXPECT_EQ(data.substr(at.start - 6, 2), "\xFF\xFF");
      EXPECT_EQ(LoadLe32(data.data() + at.start - 4), at.length);
      EXPECT_GE(at.length, 65535u);
    }
  }
  EXPECT_TRUE(escaped);
  Session s;
  ASSERT_EQ(s.Open(path, "pw"), kKeyfileOpened);
  long index = 0;
  const Bytes record = FindRecord(s.kf, rec::kSecretKey, id, index);
  EXPECT_EQ(RecordFields(record).at(1), big);
}

TEST(Keyfile, ChangingThePassphraseReEncryptsEverythingButKeepsFingerprints) {
  FullKeyfile full;
  const std::vector<Bytes> before = FileRecords(full.path);
  Session s;
  ASSERT_EQ(s.Open(full.path, "secret words"), kKeyfileOpened);
  const std::string fingerprint = Fingerprint(s.kf, full.alice);
  ASSERT_EQ(fingerprint.size(), 45u);

  // Wrong current passphrase, then new and retyped that differ: refused, nothing written.
  std::string c = "nope", n = "new", r = "new";
  EXPECT_EQ(ChangePassphrase(s.kf, c, n, r), 1);
  EXPECT_EQ(s.ui.LastBox().key, "Keyfile_passphrase_not_correct");
  EXPECT_TRUE(c.empty() && n.empty() && r.empty());
  c = "secret words", n = "new", r = "neW";
  EXPECT_EQ(ChangePassphrase(s.kf, c, n, r), 1);
  EXPECT_EQ(s.ui.LastBox().key, "Keyfile_Passphrases_not_identical");
  EXPECT_EQ(FileRecords(full.path), before);

  s.ui.change_replies.push_back(ChangePassphraseReply{"secret words", "new words", "new words"});
  ChangePassphraseCommand(s.kf);
  EXPECT_EQ(s.ui.LastBox().key, "Keyfile_savedOK");
  EXPECT_EQ(s.ui.LastBox().text, "The keyfile was saved without problems!");
  const std::vector<Bytes> after = FileRecords(full.path);
  ASSERT_EQ(after.size(), before.size());
  const std::set<Bytes> old_set(before.begin(), before.end());
  for (const Bytes& record : after) {
    if (record.substr(0, 3) == "002") continue;
    EXPECT_EQ(old_set.count(record), 0u) << record.substr(0, 3) << " was not re-encrypted";
  }
  auto salt = [](const Bytes& header) {
    long position = 7;
    NextField(header, position);
    return NextField(header, position);
  };
  EXPECT_NE(salt(after[0]), salt(before[0]));

  Session old_pass;
  EXPECT_EQ(old_pass.Open(full.path, "secret words"), kKeyfileWrongPassphrase);
  Session new_pass;
  ASSERT_EQ(new_pass.Open(full.path, "new words"), kKeyfileOpened);
  EXPECT_EQ(Fingerprint(new_pass.kf, full.alice), fingerprint);
  EXPECT_EQ(new_pass.SortedKeyNames(), (std::vector<std::string>{"alice", "bob"}));
  EXPECT_EQ(SigningKey(new_pass.kf), full.alice);
}

TEST(Keyfile, ASecondSaveWritesTheSameBytes) {
  FullKeyfile full;
  Session s;
  ASSERT_EQ(s.Open(full.path, "secret words"), kKeyfileOpened);
  const std::string first = ReadFile(full.path);
  ASSERT_EQ(SaveKeyfile(s.kf, full.path), 0);
  EXPECT_EQ(ReadFile(full.path), first);
  ASSERT_EQ(SaveKeyfile(s.kf, full.path), 0);
  EXPECT_EQ(ReadFile(full.path), first);
  EXPECT_EQ(full.dir.DataNames().size(), 1u);
}

TEST(Keyfile, AFailedSaveAtAnyPointLeavesTheOldKeyfileWhole) {
  TempDir dir;
  const std::string path = dir.File("Keyfile.lqk");
  {
    Session s;
    s.Create(path, "old pass");
    s.AddKey("k1");
    s.AddKey("k2");
    ASSERT_EQ(CloseKeyfile(s.kf), 0);
  }
  const std::string original = ReadFile(path);
  bool saved = false;
  for (int budget = 0; budget < 12 && !saved; ++budget) {
    FailingOps ops(budget);
    Session s(ops);
    ASSERT_EQ(s.Open(path, "old pass"), kKeyfileOpened);
    s.AddKey("k3");
    saved = SaveKeyfile(s.kf, path) == 0;
    Session check;
    if (saved) {
      EXPECT_FALSE(ops.Exhausted());
      ASSERT_EQ(check.Open(path, "old pass"), kKeyfileOpened);
      EXPECT_EQ(check.SortedKeyNames(), (std::vector<std::string>{"k1", "k2", "k3"}));
    } else {
      EXPECT_EQ(s.ui.boxes.size(), 1u) << budget;
      EXPECT_EQ(ReadFile(path), original) << budget;
      ASSERT_EQ(check.Open(path, "old pass"), kKeyfileOpened) << budget;
      EXPECT_EQ(check.SortedKeyNames(), (std::vector<std::string>{"k1", "k2"})) << budget;
    }
    EXPECT_EQ(dir.DataNames(), std::vector<std::string>{"Keyfile.lqk"}) << budget;
  }
  EXPECT_TRUE(saved);

  // The same for a change of passphrase: until the new file is complete the old one opens
  // with the old passphrase.
  const std::string current = ReadFile(path);
  bool rekeyed = false;
  for (int budget = 0; budget < 12 && !rekeyed; ++budget) {
    FailingOps ops(budget);
    Session s(ops);
    ASSERT_EQ(s.Open(path, "old pass"), kKeyfileOpened);
    std::string c = "old pass", n = "new pass", r = "new pass";
    rekeyed = ChangePassphrase(s.kf, c, n, r) == 0;
    Session check;
    if (!rekeyed) {
      EXPECT_EQ(s.ui.LastBox().key, "Keyfile_write-error");
      EXPECT_EQ(ReadFile(path), current);
      ASSERT_EQ(check.Open(path, "old pass"), kKeyfileOpened) << budget;
      EXPECT_EQ(check.KeyNames().size(), 3u);
    } else {
      EXPECT_EQ(check.Open(path, "new pass"), kKeyfileOpened);
    }
  }
  EXPECT_TRUE(rekeyed);
}

TEST(Keyfile, LockingKeepsAKeyfileWhoseSaveFailedOpen) {
  TempDir dir;
  const std::string path = dir.File("lock.lqk");
  FailingOps ops(0);
  Session s(ops);
  {
    Session maker;
    maker.Create(path, "pw");
  }
  ASSERT_EQ(s.Open(path, "pw"), kKeyfileOpened);
  s.AddKey("unsaved");
  EXPECT_EQ(CloseKeyfile(s.kf), 1);
  EXPECT_TRUE(s.kf.open);
  EXPECT_EQ(s.KeyNames(), std::vector<std::string>{"unsaved"});
  EXPECT_EQ(s.ui.MessageKeys(),
            (std::vector<std::string>{"Error_DiskFull", "Keyfile_write-error"}));
}

TEST(Keyfile, ACreateWhoseWriteFailsKeepsTheKeyfileInMemory) {
  TempDir dir;
  const std::string path = dir.File("unwritten.lqk");
  FailingOps ops(0);
  Session s(ops);
  s.Create(path, "pw");
  EXPECT_EQ(s.ui.MessageKeys(),
            (std::vector<std::string>{"Error_DiskFull", "Keyfile_write-error"}));
  EXPECT_EQ(s.ui.LastBox().text, "There was an error while writing to keyfile:\r\n" + path);
  EXPECT_TRUE(dir.DataNames().empty());
  // The keyfile lives on in memory and can still take keys.
  EXPECT_TRUE(s.kf.open);
  s.AddKey("k");
  EXPECT_EQ(s.KeyNames(), std::vector<std::string>{"k"});
}

TEST(Keyfile, LoadingAnotherKeyfileKeepsThePreviousOneOnFailure) {
  TempDir dir;
  const std::string first = dir.File("first.lqk");
  const std::string second = dir.File("second.lqk");
  {
    Session maker;
    maker.Create(second, "two");
    maker.AddKey("from second");
    ASSERT_EQ(SaveKeyfile(maker.kf, second), 0);
  }
  Session s;
  s.Create(first, "one");
  const Bytes mine = s.AddKey("from first");
  const Bytes key = s.kf.key;

  s.ui.passphrases = {"bad", "worse"};
  EXPECT_FALSE(LoadNewKeyfile(s.kf, second));
  EXPECT_EQ(s.ui.LastBox().key, "Keyfile_LoadFailed");
  EXPECT_EQ(s.ui.LastBox().text,
            "The keyfile could not be loaded.\r\nContinuing with previous keyfile.");
  EXPECT_TRUE(s.kf.open);
  EXPECT_EQ(s.kf.name, first);
  EXPECT_EQ(s.kf.key, key);
  EXPECT_EQ(s.KeyNames(), std::vector<std::string>{"from first"});
  EXPECT_EQ(s.ui.status, first);
  UserId user;
  EXPECT_TRUE(ReadUserId(s.kf, mine, user));

  // Cancel at the first prompt: the previous keyfile, no message.
  const size_t boxes = s.ui.boxes.size();
  EXPECT_FALSE(LoadNewKeyfile(s.kf, second));
  EXPECT_EQ(s.ui.boxes.size(), boxes);
  EXPECT_EQ(s.kf.name, first);
  EXPECT_EQ(s.KeyNames(), std::vector<std::string>{"from first"});

  // Through the command: the current keyfile is saved first, then the chosen one opens.
  s.ui.chosen_files.push_back({second});
  s.ui.passphrases = {"two"};
  LoadNewKeyfileCommand(s.kf);
  EXPECT_EQ(s.kf.name, second);
  EXPECT_EQ(s.KeyNames(), std::vector<std::string>{"from second"});
  Session check;
  ASSERT_EQ(check.Open(first, "one"), kKeyfileOpened);
  EXPECT_EQ(check.KeyNames(), std::vector<std::string>{"from first"});

  // A failed reopen after locking leaves the keyfile locked, not an empty "open" one.
  ASSERT_EQ(CloseKeyfile(s.kf), 0);
  s.ui.passphrases = {"bad", "bad"};
  EXPECT_FALSE(ReopenKeyfile(s.kf));
  EXPECT_FALSE(s.kf.open);
  EXPECT_EQ(SaveKeyfile(s.kf, second), 0);
  Session still;
  EXPECT_EQ(still.Open(second, "two"), kKeyfileOpened);
}

TEST(Keyfile, BackupAndRename) {
  TempDir dir;
  const std::string path = dir.File("main.lqk");
  Session s;
  s.Create(path, "pw");
  s.AddKey("alice");

  s.ui.chosen_files.push_back({dir.File("backup.lqk")});
  BackupKeyfileCommand(s.kf);
  EXPECT_EQ(s.ui.LastBox().key, "Keyfile_savedOK");
  EXPECT_EQ(s.kf.name, path);
  for (const auto& c : s.ui.calls) {
    if (c.what == "ChooseFiles") {
      EXPECT_EQ(c.text, "Backup keyfile as");
      EXPECT_EQ(c.key, "Lockquill keyfiles|*.lqk");
    }
  }
  Session b;
  ASSERT_EQ(b.Open(dir.File("backup.lqk"), "pw"), kKeyfileOpened);
  EXPECT_EQ(b.KeyNames(), std::vector<std::string>{"alice"});

  const std::string content = ReadFile(path);
  const std::string renamed = dir.File("renamed.lqk");
  s.ui.chosen_files.push_back({renamed});
  RenameKeyfileCommand(s.kf);
  EXPECT_EQ(s.kf.name, renamed);
  EXPECT_EQ(s.ui.status, renamed);
  EXPECT_FALSE(RealFileOps().Exists(path));
  EXPECT_EQ(ReadFile(renamed), content);

  // Renaming onto its own name must not delete the only copy.
  EXPECT_EQ(RenameKeyfile(s.kf, renamed), 0);
  EXPECT_EQ(ReadFile(renamed), content);
  EXPECT_EQ(RenameKeyfile(s.kf, dir.Path() + "/./renamed.lqk"), 0);
  EXPECT_TRUE(RealFileOps().Exists(renamed));

  // The file vanished under the open keyfile: told, nothing moved.
  std::filesystem::remove(renamed);
  EXPECT_EQ(RenameKeyfile(s.kf, dir.File("x.lqk")), 1);
  EXPECT_EQ(s.ui.LastBox().key, "Error_FileNotFound");
  EXPECT_EQ(s.kf.name, renamed);
}

TEST(Keyfile, MakeNewKeyfileSavesTheCurrentOneAndAddsTheExtension) {
  TempDir dir;
  const std::string path = dir.File("cur.lqk");
  Session s;
  s.Create(path, "pw");
  s.AddKey("kept");
  s.ui.chosen_files.push_back({dir.File("fresh")});
  s.ui.change_replies.push_back(ChangePassphraseReply{"", "np", "np"});
  MakeNewKeyfileCommand(s.kf);
  EXPECT_EQ(s.kf.name, dir.File("fresh.lqk"));
  EXPECT_TRUE(s.kf.keys.empty());
  EXPECT_EQ(s.ui.status, dir.File("fresh.lqk"));
  for (const auto& c : s.ui.calls) {
    if (c.what == "AskChangePassphrase" && c.text.find("fresh") != std::string::npos) {
      EXPECT_EQ(c.text,
                "\r\n\r\nEnter a passphrase for the new keyfile:\r\n" + dir.File("fresh.lqk"));
    }
  }
  Session check;
  ASSERT_EQ(check.Open(path, "pw"), kKeyfileOpened);
  EXPECT_EQ(check.KeyNames(), std::vector<std::string>{"kept"});
}

TEST(KeyfileStartup, CommandLineSettingsThenTheDefault) {
  TempDir dir;
  const std::string a = dir.File("A.lqk");
  const std::string b = dir.File("B.lqk");
  {
    Session maker;
    maker.Create(a, "pa");
    Session other;
    other.Create(b, "pb");
  }
  auto asked = [](const RecordingUi& ui) {
    std::vector<std::string> p;
    for (const auto& c : ui.calls) {
      if (c.what == "AskPassphrase" || c.what == "AskChangePassphrase") p.push_back(c.text);
    }
    return p;
  };
  {
    // Quoted, with an upper-case extension and more arguments after it.
    Session s;
    s.ui.passphrases = {"pa"};
    std::string upper = a.substr(0, a.size() - 3) + "LQK";
    // On a case-insensitive file system both names are one file already.
    if (!RealFileOps().Exists(upper)) std::filesystem::copy_file(a, upper);
    SelectStartupKeyfile(s.kf, "   \"" + upper + "\" /x", b, dir.Path());
    EXPECT_TRUE(s.kf.open);
    EXPECT_EQ(s.kf.name, upper);
  }
  {
    // A cancel at the first prompt tries no further source.
    Session s;
    SelectStartupKeyfile(s.kf, a, b, dir.Path());
    EXPECT_FALSE(s.kf.open);
    EXPECT_EQ(asked(s.ui).size(), 1u);
    EXPECT_FALSE(RealFileOps().Exists(dir.File("Keyfile.lqk")));
  }
  {
    // A missing command-line keyfile is told; the settings' keyfile comes next.
    Session s;
    s.ui.passphrases = {"pb"};
    SelectStartupKeyfile(s.kf, dir.File("gone.lqk"), b, dir.Path());
    EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Keyfile_CommandlineNotFound"});
    EXPECT_EQ(s.ui.boxes[0].style & mb::kIconMask, mb::kIconInformation);
    EXPECT_EQ(s.kf.name, b);
  }
  {
    // Arguments that are not keyfiles are ignored; a failed settings keyfile falls through to
    // the default, which is created when it does not exist.
    Session s;
    s.ui.passphrases = {"bad", "bad"};
    s.ui.change_replies.push_back(ChangePassphraseReply{"", "pd", "pd"});
    SelectStartupKeyfile(s.kf, "notes.txt", b, dir.Path());
    const std::string def = DefaultKeyfilePath(dir.Path());
    EXPECT_EQ(s.kf.name, def);
    EXPECT_TRUE(s.kf.open);
    const auto prompts = asked(s.ui);
    ASSERT_EQ(prompts.size(), 3u);
    EXPECT_EQ(prompts[2], "The default keyfile:\r\n" + def +
                              "\r\ndoes not exist.\r\nSuch a file is created now.\r\n"
                              "You have to enter a passphrase to protect the keyfile.");
  }
  {
    // A missing settings keyfile is told; the default exists now and is opened.
    Session s;
    s.ui.passphrases = {"pd"};
    SelectStartupKeyfile(s.kf, "", dir.File("gone.lqk"), dir.Path() + "/");
    EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Keyfile_INIKeyfileNotFound"});
    EXPECT_TRUE(s.kf.open);
    EXPECT_EQ(s.kf.name, dir.Path() + "/Keyfile.lqk");
  }
}

TEST(KeyfileStatus, TextsOfTheStatusBar) {
  EXPECT_EQ(KeyfileStatusText("Keyfile_loaded", "C:\\k.lqk"), "C:\\k.lqk");
  EXPECT_EQ(KeyfileStatusText("Keyfile_not_loaded", "x"), "No valid keyfile could be opened..");
  EXPECT_EQ(KeyfileStatusText("Keyfile_unloaded", ""), "Keyfile closed. Reopen to continue...");
  EXPECT_EQ(KeyfileStatusText("keyfile_loaded", "x"), "<<< Undefined message >>>");
}

}  // namespace
}  // namespace lq::test
