// Key records, groups and the single-purpose records: names, identifiers, categories, deleting,
// the signing key, expiry, fingerprints, secret keys, random state and selected recipients.
#include "keys/key_records.h"

#include <gtest/gtest.h>

#include <regex>

#include "base/records.h"
#include "crypto/bignum.h"
#include "keys_fixture.h"

namespace lq::test {
namespace {

class KeyRecords : public ::testing::Test {
 protected:
  void SetUp() override { s.Create(path, "pw"); }
  TempDir dir;
  std::string path = dir.File("keys.lqk");
  Session s;
};

TEST_F(KeyRecords, NewKeyAsksForAUniqueNameIgnoringCase) {
  const Bytes alice = s.AddKey("Alice");
  s.AddGroup("Team");
  s.ui.boxes.clear();
  s.ui.calls.clear();
  // Empty asks again; names of keys and groups in any case are refused; then a good one.
  s.ui.texts = {"", "ALICE", "team", "Carol"};
  const Bytes carol = NewKey(s.kf);
  ASSERT_EQ(carol.size(), 32u);
  EXPECT_NE(carol, alice);
  EXPECT_EQ(s.ui.MessageKeys(), (std::vector<std::string>{"KeyName_exists", "KeyName_exists"}));
  EXPECT_EQ(s.ui.boxes[0].text,
            "This keyname already exists:\r\nALICE\r\n\r\nPlease, enter another keyname.");
  int prompts = 0;
  for (const auto& c : s.ui.calls) {
    if (c.what == "AskText") {
      ++prompts;
      EXPECT_EQ(c.text, "Enter a unique name for the new keyrecord");
    }
  }
  EXPECT_EQ(prompts, 4);

  long index = 0;
  const Bytes record = FindRecord(s.kf, rec::kUserId, carol, index);
  EXPECT_EQ(record.substr(0, 6), "004001");
  EXPECT_EQ(RecordFields(record),
            (std::vector<Bytes>{carol, "Carol", "", "", "", "", "", "", "1"}));
  EXPECT_EQ(s.KeyNames(), (std::vector<std::string>{"Alice", "Carol"}));

  // Cancel: no key.
  EXPECT_TRUE(NewKey(s.kf).empty());
  s.ui.texts = {std::string(kPassphraseCancelled)};
  EXPECT_TRUE(NewKey(s.kf).empty());
  EXPECT_EQ(s.kf.keys.size(), 2u);
}

TEST_F(KeyRecords, StoringDetailsAppliesTheKeynameRules) {
  const Bytes alice = s.AddKey("alice");
  const Bytes bob = s.AddKey("bob");
  UserId details;
  ASSERT_TRUE(ReadUserId(s.kf, bob, details));
  details.first_name = "Bob";
  details.last_name = "Builder";
  details.trust = NumText(3);

  // Unchanged name: stored as it is.
  s.ui.boxes.clear();
  EXPECT_EQ(StoreKeyDetails(s.kf, details), "bob");
  EXPECT_TRUE(s.ui.boxes.empty());
  UserId back;
  ASSERT_TRUE(ReadUserId(s.kf, bob, back));
  EXPECT_EQ(back.last_name, "Builder");
  EXPECT_EQ(back.trust, " 3");

  // Empty: "Key_" and 1 to 4 digits, no blank.
  details.keyname = "";
  const std::string random_name = StoreKeyDetails(s.kf, details);
  EXPECT_TRUE(std::regex_match(random_name, std::regex("Key_[0-9]{1,4}"))) << random_name;
  EXPECT_EQ(s.ui.LastBox().key, "KeyName_empty");
  EXPECT_NE(s.ui.LastBox().text.find("\r\n" + random_name + "\r\n"), std::string::npos);

  // Exactly another key's name: the typed name without blanks and a number.
  ASSERT_TRUE(ReadUserId(s.kf, bob, details));
  details.keyname = "alice";
  const std::string taken = StoreKeyDetails(s.kf, details);
  EXPECT_TRUE(std::regex_match(taken, std::regex("alice[0-9]{1,4}"))) << taken;
  EXPECT_EQ(s.ui.LastBox().key, "KeyName_exists2");
  EXPECT_EQ(s.ui.LastBox().text,
            "The keyname already exists:\r\nalice\r\n\r\nLockquill has entered "
            "a random keyname:\r\n" +
                taken + "\r\n\r\nYou can always change it later.");
  ASSERT_TRUE(ReadUserId(s.kf, alice, back));
  EXPECT_EQ(back.keyname, "alice");

  // The check is exact: another case is a different name here.
  details.keyname = "ALICE";
  EXPECT_EQ(StoreKeyDetails(s.kf, details), "ALICE");
  UserId two = details;
  ASSERT_TRUE(ReadUserId(s.kf, alice, two));
  two.keyname = "two words";
  EXPECT_EQ(StoreKeyDetails(s.kf, two), "two words");
  details.keyname = "two words";
  EXPECT_TRUE(std::regex_match(StoreKeyDetails(s.kf, details), std::regex("twowords[0-9]{1,4}")));
}

TEST_F(KeyRecords, CategoryFollowsTheEncryptionPrivateKey) {
  const Bytes k = s.AddKey("k");
  std::string secret = "text";
  SetSecretKey(s.kf, k, secret, 0, 0, 0);
  RebuildLists(s.kf);
  ASSERT_EQ(s.kf.keys.size(), 1u);
  EXPECT_EQ(s.kf.keys[0].category, 'r');
  StoreKeyRecord(s.kf, rec::kEncryptionPrivateKey,
                 RsaKeyFields(k, RsaKeyRecord{512, BigFromWord(77), BigFromWord(5)}));
  RebuildLists(s.kf);
  EXPECT_EQ(s.kf.keys[0].category, 'm');
  EXPECT_EQ(s.kf.keys[0].key_id, k);
}

TEST_F(KeyRecords, StoreReplacesTheRecordOfTheSameKeyAndLookupsWalkInOrder) {
  const Bytes a = s.AddKey("a");
  const Bytes b = s.AddKey("b");
  const size_t size = s.kf.table.size();
  UserId user;
  ASSERT_TRUE(ReadUserId(s.kf, a, user));
  user.company = "ACME";
  StoreKeyRecord(s.kf, rec::kUserId, UserIdFields(user));
  EXPECT_EQ(s.kf.table.size(), size);

  std::vector<Bytes> ids;
  long index = 0;
  for (;;) {
    const Bytes record = FindRecordOfType(s.kf, rec::kUserId, index);
    if (index < 0) break;
    EXPECT_EQ(s.kf.table[index - 1].substr(0, 3), "004");
    ids.push_back(RecordFields(record)[0]);
  }
  EXPECT_EQ(ids, (std::vector<Bytes>{a, b}));
  index = 0;
  FindRecord(s.kf, rec::kUserId, b, index);
  const long b_index = index;
  EXPECT_GT(b_index, 0);
  FindRecord(s.kf, rec::kUserId, a, index);  // a lies before b: not found after it
  EXPECT_EQ(index, -1);
  index = 0;
  EXPECT_TRUE(FindRecord(s.kf, rec::kUserId, Bytes(32, 'x'), index).empty());
  EXPECT_EQ(index, -1);

  // Identifiers are unique 32-byte digests.
  EXPECT_EQ(NewRecordIdentifier(s.kf).size(), 32u);
  EXPECT_NE(NewRecordIdentifier(s.kf), NewRecordIdentifier(s.kf));
}

TEST_F(KeyRecords, GroupsAddRemoveAndDelete) {
  const Bytes a = s.AddKey("a");
  const Bytes b = s.AddKey("b");
  const Bytes g = s.AddGroup("Group");
  s.ui.texts = {"a", "GROUP", "other"};  // taken by a key, then by a group
  const Bytes h = NewKeyGroup(s.kf);
  ASSERT_EQ(h.size(), 32u);
  EXPECT_EQ(s.ui.MessageKeys(), (std::vector<std::string>{"KeyName_exists", "KeyName_exists"}));

  AddGroupMember(s.kf, g, a);
  AddGroupMember(s.kf, g, b);
  AddGroupMember(s.kf, g, a);  // already a member
  KeyGroupEntry group;
  ASSERT_TRUE(ReadKeyGroup(s.kf, g, group));
  EXPECT_EQ(group.name, "Group");
  EXPECT_EQ(group.members, (std::vector<Bytes>{a, b}));
  RemoveGroupMember(s.kf, g, a);
  ASSERT_TRUE(ReadKeyGroup(s.kf, g, group));
  EXPECT_EQ(group.members, std::vector<Bytes>{b});

  s.ui.buttons = {kIdNo};
  EXPECT_FALSE(DeleteKeyGroup(s.kf, g));
  EXPECT_EQ(s.ui.LastBox().key, "KeyGroup_SureToDelete?");
  EXPECT_EQ(s.ui.LastBox().text, "Are you sure you want to delete this keygroup?\r\nGroup\r\n");
  EXPECT_EQ(s.ui.LastBox().style & ~(mb::kSystemModal | mb::kTopmost), 52);
  EXPECT_EQ(s.kf.groups.size(), 2u);
  s.ui.buttons = {kIdYes};
  EXPECT_TRUE(DeleteKeyGroup(s.kf, g));
  ASSERT_EQ(s.kf.groups.size(), 1u);
  EXPECT_EQ(s.kf.groups[0].group_id, h);
}

TEST_F(KeyRecords, DeletingAKeyRemovesItsRecordsGroupsAndSigningKey) {
  const Bytes a = s.AddKey("a");
  const Bytes b = s.AddKey("b");
  std::string secret = "sec";
  SetSecretKey(s.kf, a, secret, 2020, 1, 1);
  const RsaKeyRecord rsa{512, BigFromWord(77), BigFromWord(5)};
  for (const char* type :
       {rec::kEncryptionPrivateKey, rec::kSigningPublicKey, rec::kSigningPrivateKey}) {
    StoreKeyRecord(s.kf, type, RsaKeyFields(a, rsa));
  }
  StoreKeyRecord(s.kf, rec::kEncryptionPublicKey, EncryptionPublicKeyFields(a, rsa, {1, 0, 1}));
  StoreKeyRecord(s.kf, rec::kPublicKeyDates, KeyDatesFields(a, KeyDates{}));
  const Bytes g1 = s.AddGroup("g1");
  const Bytes g2 = s.AddGroup("g2");
  for (const Bytes& g : {g1, g2}) {
    AddGroupMember(s.kf, g, a);
    AddGroupMember(s.kf, g, b);
  }
  SetSigningKey(s.kf, a);
  SetAlwaysEncrypt(s.kf, true);
  s.kf.selected_recipients = {a, b};

  s.ui.buttons = {kIdNo};
  EXPECT_FALSE(DeleteKey(s.kf, a));
  EXPECT_EQ(s.ui.LastBox().key, "KeyRecord_Delete");
  EXPECT_EQ(s.kf.keys.size(), 2u);

  s.ui.buttons = {kIdYes};
  ASSERT_TRUE(DeleteKey(s.kf, a));
  for (const char* type : {"004", "005", "006", "007", "008", "009", "010", "011"}) {
    long index = 0;
    FindRecord(s.kf, type, a, index);
    EXPECT_EQ(index, -1) << type;
  }
  for (const Bytes& g : {g1, g2}) {
    KeyGroupEntry group;
    ASSERT_TRUE(ReadKeyGroup(s.kf, g, group));
    EXPECT_EQ(group.members, std::vector<Bytes>{b});
  }
  EXPECT_TRUE(SigningKey(s.kf).empty());
  EXPECT_FALSE(AlwaysEncrypt(s.kf));
  for (const char* type : {rec::kSigningKey, rec::kAlwaysEncrypt}) {
    long index = 0;
    FindRecordOfType(s.kf, type, index);
    EXPECT_EQ(index, -1) << type;
  }
  EXPECT_EQ(s.kf.selected_recipients, std::vector<Bytes>{b});
  EXPECT_EQ(s.KeyNames(), std::vector<std::string>{"b"});
  EXPECT_TRUE(s.kf.modified);
}

TEST_F(KeyRecords, AlwaysEncryptCountsOnlyWithASigningKey) {
  const Bytes a = s.AddKey("a");
  SetAlwaysEncrypt(s.kf, true);
  EXPECT_FALSE(AlwaysEncrypt(s.kf));
  SetSigningKey(s.kf, a);
  EXPECT_TRUE(AlwaysEncrypt(s.kf));
  long index = 0;
  EXPECT_EQ(RecordFields(FindRecordOfType(s.kf, rec::kAlwaysEncrypt, index)),
            std::vector<Bytes>{" 1"});
  SetAlwaysEncrypt(s.kf, false);
  EXPECT_FALSE(AlwaysEncrypt(s.kf));
  const Bytes b = s.AddKey("b");
  SetSigningKey(s.kf, b);
  EXPECT_EQ(SigningKey(s.kf), b);
  int count = 0;
  for (const Bytes& r : s.kf.table) count += r.substr(0, 3) == "013";
  EXPECT_EQ(count, 1);
}

TEST_F(KeyRecords, ExpiryComparesWithTodayAndYearZeroNeverExpires) {
  const Bytes k = s.AddKey("k");
  EXPECT_EQ(PublicKeyExpired(s.kf, k), -1);
  EXPECT_EQ(SecretKeyExpired(s.kf, k), -1);
  s.today = LocalTime{2005, 3, 10, 12, 0, 0};
  struct Case {
    int y, m, d, expected;
  };
  for (const Case& c : {Case{0, 0, 0, 0}, Case{2005, 3, 10, 0}, Case{2005, 3, 9, 1},
                        Case{2004, 12, 31, 1}, Case{2005, 3, 11, 0}, Case{2006, 1, 1, 0}}) {
    KeyDates dates;
    dates.expiry_year = c.y;
    dates.expiry_month = c.m;
    dates.expiry_day = c.d;
    StoreKeyRecord(s.kf, rec::kPublicKeyDates, KeyDatesFields(k, dates));
    EXPECT_EQ(PublicKeyExpired(s.kf, k), c.expected) << c.y << "-" << c.m << "-" << c.d;
  }
  std::string secret = "x";
  ASSERT_TRUE(SetSecretKey(s.kf, k, secret, 0, 0, 0));
  EXPECT_EQ(SecretKeyExpired(s.kf, k), 0);
  long index = 0;
  const std::vector<Bytes> fields = RecordFields(FindRecord(s.kf, rec::kSecretKeyDates, k, index));
  // Never expires keeps the leading blank; the creation time is now.
  EXPECT_EQ(fields,
            (std::vector<Bytes>{k, " 0", " 0", " 0", " 2005", " 3", " 10", " 12", " 0", " 0"}));
}

TEST(KeyFingerprint, NineGroupsOfTheDigestOfModulusAndExponent) {
  // The digest of "abc" in the system's byte order (the word BA7816BF written low byte first,
  // then 8F01CFEA, 414140DE, 5DAE2223, B00361A3).
  EXPECT_EQ(FingerprintText("ab", "c"), "BF16 78BA EACF 018F DE40 4141 2322 AE5D A361 ");
  EXPECT_EQ(FingerprintText("", "").size(), 45u);
}

TEST_F(KeyRecords, FingerprintOfAStoredKey) {
  const Bytes k = s.AddKey("k");
  EXPECT_EQ(Fingerprint(s.kf, k), "");
  StoreKeyRecord(s.kf, rec::kEncryptionPublicKey,
                 EncryptionPublicKeyFields(k, RsaKeyRecord{24, "ab", "c"}, {}));
  EXPECT_EQ(Fingerprint(s.kf, k), "BF16 78BA EACF 018F DE40 4141 2322 AE5D A361 ");
  RsaKeyRecord back;
  PublicKeyFlags flags{9, 9, 9};
  ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kEncryptionPublicKey, k, back, &flags));
  EXPECT_EQ(back.bits, 24);
  EXPECT_EQ(flags.company + flags.department + flags.email, 0);
}

TEST_F(KeyRecords, EditingTheSecretKey) {
  const Bytes k = s.AddKey("k");
  // Cancel: nothing.
  EXPECT_FALSE(EditSecretKey(s.kf, k));
  s.kf.modified = false;

  ChangePassphraseReply reply;
  reply.new_text = "first secret";
  reply.expiry_year = 2030;
  reply.expiry_month = 6;
  reply.expiry_day = 1;
  s.ui.change_replies.push_back(reply);
  EXPECT_TRUE(EditSecretKey(s.kf, k));
  EXPECT_TRUE(s.kf.modified);
  long index = 0;
  EXPECT_EQ(RecordFields(FindRecord(s.kf, rec::kSecretKey, k, index)),
            (std::vector<Bytes>{k, "first secret"}));

  // The dialog starts from the stored secret and expiry; the same answer changes nothing.
  s.ui.calls.clear();
  s.ui.change_replies.push_back(reply);
  const std::vector<Bytes> table = s.kf.table;
  EXPECT_FALSE(EditSecretKey(s.kf, k));
  EXPECT_EQ(s.kf.table, table);
  ASSERT_FALSE(s.ui.calls.empty());
  EXPECT_EQ(s.ui.calls.back().number, static_cast<int>(ChangePassphraseMode::kEditSecretKey));

  // A new expiry alone is a change.
  reply.expiry_year = 0, reply.expiry_month = 0, reply.expiry_day = 0;
  s.ui.change_replies.push_back(reply);
  EXPECT_TRUE(EditSecretKey(s.kf, k));
  EXPECT_EQ(SecretKeyExpired(s.kf, k), 0);

  // Empty text removes the secret and its dates.
  reply.new_text = "";
  s.ui.change_replies.push_back(reply);
  EXPECT_TRUE(EditSecretKey(s.kf, k));
  index = 0;
  FindRecord(s.kf, rec::kSecretKey, k, index);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(SecretKeyExpired(s.kf, k), -1);
}

TEST_F(KeyRecords, RandomStateIsSavedAndItsModulusReusedWithAFreshValue) {
  ASSERT_FALSE(s.random.bbs_n.empty());
  s.AddKey("k");
  ASSERT_EQ(SaveKeyfile(s.kf, path), 0);
  const Bytes record = StoredRandomState(s.kf);
  ASSERT_EQ(record.substr(0, 6), "015001");
  const std::vector<Bytes> fields = RecordFields(record);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0], s.random.bbs_n);
  EXPECT_EQ(fields[1], s.random.bbs_x);

  // The next run takes N from the keyfile, draws a new x and needs no set-up.
  Session next;
  ASSERT_EQ(next.Open(path, "pw"), kKeyfileOpened);
  EXPECT_TRUE(next.random.bbs_n.empty());
  next.AddKey("another");
  EXPECT_EQ(next.random.setups_shown, 0);
  EXPECT_EQ(next.random.bbs_n, fields[0]);
  EXPECT_NE(next.random.bbs_x, fields[1]);
  // Making an identifier stored the advanced state.
  EXPECT_EQ(RecordFields(StoredRandomState(next.kf))[1], next.random.bbs_x);
}

TEST_F(KeyRecords, SelectedRecipientsAndGroupsComeBackWithoutDeletedKeys) {
  const Bytes a = s.AddKey("a");
  const Bytes b = s.AddKey("b");
  const Bytes c = s.AddKey("c");
  const Bytes g = s.AddGroup("g");
  s.kf.selected_recipients = {c, a, g, b};
  ASSERT_EQ(SaveKeyfile(s.kf, path), 0);
  long index = 0;
  EXPECT_EQ(RecordFields(FindRecordOfType(s.kf, rec::kSelectedRecipients, index)),
            (std::vector<Bytes>{" 4", c, a, g, b}));
  // b vanishes behind the selection's back (its UserIDRecord only).
  DeleteKeyRecord(s.kf, rec::kUserId, b);
  ASSERT_EQ(SaveKeyfile(s.kf, path), 0);
  Session next;
  ASSERT_EQ(next.Open(path, "pw"), kKeyfileOpened);
  EXPECT_EQ(next.kf.selected_recipients, (std::vector<Bytes>{c, a, g}));
}

}  // namespace
}  // namespace lq::test
