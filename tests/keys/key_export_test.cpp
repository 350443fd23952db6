// Public-key export and import: the exported record and its armor, what the import stores,
// its answers to a known KeyID, and damaged or foreign key data.
#include "keys/key_export.h"

#include <gtest/gtest.h>

#include "base/catalogue.h"
#include "base/records.h"
#include "crypto/sha256.h"
#include "keys_fixture.h"

namespace lq::test {
namespace {

// A key with hand-made key pairs (export and import do no RSA arithmetic, so small numbers do).
struct MadeKey {
  Bytes id;
  RsaKeyRecord enc{288, Bytes("\x11\x22\x33\x45", 4), Bytes("\x03\x00\x01\x00", 4)};
  RsaKeyRecord sign{288, Bytes("\x55\x66\x77\x89", 4), Bytes("\x05\x00\x01\x00", 4)};
};

MadeKey MakeKey(Session& s, const std::string& name, PublicKeyFlags flags, bool with_private,
                int expiry_year = 0) {
  MadeKey k;
  k.id = s.AddKey(name);
  UserId user;
  EXPECT_TRUE(ReadUserId(s.kf, k.id, user));
  user.first_name = "Ann";
  user.last_name = "Lee";
  user.company = "Acme";
  user.department = "Sales";
  user.email_subject = "hello";
  user.email_address = "ann@acme.example";
  StoreKeyDetails(s.kf, user);
  StoreKeyRecord(s.kf, rec::kEncryptionPublicKey, EncryptionPublicKeyFields(k.id, k.enc, flags));
  StoreKeyRecord(s.kf, rec::kSigningPublicKey, RsaKeyFields(k.id, k.sign));
  if (with_private) {
    StoreKeyRecord(s.kf, rec::kEncryptionPrivateKey,
                   RsaKeyFields(k.id, {288, k.enc.modulus, Bytes("\x07\x07", 2)}));
    StoreKeyRecord(s.kf, rec::kSigningPrivateKey,
                   RsaKeyFields(k.id, {288, k.sign.modulus, Bytes("\x09\x09", 2)}));
  }
  KeyDates dates;
  dates.expiry_year = expiry_year;
  dates.expiry_month = expiry_year ? 1 : 0;
  dates.expiry_day = expiry_year ? 2 : 0;
  dates.created = {2004, 3, 7, 12, 34, 56};
  StoreKeyRecord(s.kf, rec::kPublicKeyDates, KeyDatesFields(k.id, dates));
  RebuildLists(s.kf);
  return k;
}

class KeyExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    a.Create(dir.File("a.lqk"), "pa");
    b.Create(dir.File("b.lqk"), "pb");
  }
  // The armor of a key of `a`.
  std::string Armor(const Bytes& id, bool with_private) {
    KeyExport e;
    EXPECT_TRUE(PrepareKeyExport(a.kf, id, e));
    return ArmorExportedKey(with_private ? e.private_record : e.public_record, with_private);
  }
  size_t Count(Session& s, const char* type) {
    size_t n = 0;
    for (long i = 0; !FindRecordOfType(s.kf, type, i).empty();) ++n;
    return n;
  }
  TempDir dir;
  Session a, b;
};

TEST_F(KeyExportTest, RecordCarriesOnlyTheAllowedIdentificationAndPrivatePartsOnRequest) {
  const MadeKey k = MakeKey(a, "ann", {0, 1, 1}, true);
  KeyExport e;
  ASSERT_TRUE(PrepareKeyExport(a.kf, k.id, e));
  EXPECT_TRUE(e.has_private);
  ExportedKey pub, priv;
  ASSERT_TRUE(DecomposeExportedKeyRecord(a.ui, e.public_record, pub));
  ASSERT_TRUE(DecomposeExportedKeyRecord(a.ui, e.private_record, priv));
  EXPECT_EQ(pub.key_id, k.id);
  EXPECT_EQ(pub.company, "") << "company flag 0";
  EXPECT_EQ(pub.department, "Sales");
  EXPECT_EQ(pub.email, "ann@acme.example");
  EXPECT_EQ(pub.encryption_bits, " 288");
  EXPECT_EQ(pub.n, k.enc.modulus);
  EXPECT_EQ(pub.e2, k.sign.exponent);
  EXPECT_EQ(pub.company_flag, " 0");
  EXPECT_EQ(pub.email_flag, " 1");
  EXPECT_TRUE(pub.d.empty() && pub.d2.empty());
  EXPECT_EQ(priv.d, Bytes("\x07\x07", 2));
  EXPECT_EQ(priv.d2, Bytes("\x09\x09", 2));
  EXPECT_EQ(pub.dates_record.substr(0, 6), "011001");
  EXPECT_EQ(e.public_record.substr(0, 6), "107001");
  // The record is "107001" + f(HashRecord); the hash record holds the digest of the list.
  long pos = 7;
  const Bytes hash_record = NextField(e.public_record, pos);
  EXPECT_EQ(pos, kFieldEnd);
  EXPECT_EQ(hash_record.substr(0, 6), "108001");

  EXPECT_EQ(e.info_text,
            "     First name: Ann\r\n      Last name: Lee\r\nDepartment name: Sales\r\n"
            " E-mail address: ann@acme.example\r\nExpiration date: Never\r\n"
            "  Creation date: " +
                ShortDateText({2004, 3, 7, 12, 34, 56}) +
                " - Time: " + TimeText({2004, 3, 7, 12, 34, 56}) + "\r\n");

  const std::string armor = ArmorExportedKey(e.public_record, false);
  EXPECT_EQ(armor.rfind("-----Start_Lockquill_public_key-----\r\n", 0), 0u);
  EXPECT_EQ(armor.substr(armor.size() - 36), "\r\n-----End_Lockquill_public_key-----");
  EXPECT_EQ(armor.find("\r\n", 38) - 38, 60u) << "60-character Base64 lines";
  const std::string both = ArmorExportedKey(e.private_record, true);
  EXPECT_EQ(both.rfind("-----Start_Lockquill_public_+_private_key-----\r\n", 0), 0u);
}

TEST_F(KeyExportTest, KeysWithoutPairsOrExpiredCannotBeExported) {
  const Bytes plain = a.AddKey("plain");
  KeyExport e;
  EXPECT_FALSE(PrepareKeyExport(a.kf, plain, e));
  EXPECT_EQ(a.ui.MessageKeys().back(), "Export_No_publickey_found");
  const MadeKey old = MakeKey(a, "old", {}, false, 2004);
  EXPECT_FALSE(PrepareKeyExport(a.kf, old.id, e));
  EXPECT_EQ(a.ui.MessageKeys().back(), "Export_Publickey_expired");
  const MadeKey today = MakeKey(a, "today", {}, false, 2005);  // expires 2005-01-02, today
  EXPECT_TRUE(PrepareKeyExport(a.kf, today.id, e));
  EXPECT_FALSE(e.has_private);
  EXPECT_NE(e.info_text.find("Expiration date: " + ShortDateText({2005, 1, 2, 0, 0, 0})),
            std::string::npos);
}

TEST_F(KeyExportTest, ImportStoresTheKeyUnderANewNameAndPrivatePartsMakeItMine) {
  const MadeKey k = MakeKey(a, "ann", {1, 1, 1}, true);
  b.ui.texts.push_back("ann at acme");
  Bytes id;
  ASSERT_EQ(ImportExportedKey(b.kf, Armor(k.id, false), id), kImportStored);
  EXPECT_EQ(id, k.id);
  UserId user;
  ASSERT_TRUE(ReadUserId(b.kf, id, user));
  EXPECT_EQ(user.keyname, "ann at acme");
  EXPECT_EQ(user.company, "Acme");
  EXPECT_EQ(user.email_subject, "--");
  EXPECT_EQ(user.trust, "1");
  EXPECT_EQ(Fingerprint(b.kf, id), Fingerprint(a.kf, k.id));
  KeyDates dates;
  ASSERT_TRUE(ReadKeyDates(b.kf, rec::kPublicKeyDates, id, dates));
  EXPECT_EQ(dates.created.second, 56);
  EXPECT_EQ(Count(b, rec::kEncryptionPrivateKey), 0u);
  ASSERT_EQ(b.kf.keys.size(), 1u);
  EXPECT_EQ(b.kf.keys[0].category, 'r');

  // The same key again with its private parts, answered "yes": one key, its name kept.
  b.ui.buttons.push_back(kIdYes);
  ASSERT_EQ(ImportExportedKey(b.kf, Armor(k.id, true), id), kImportStored);
  EXPECT_EQ(b.ui.MessageKeys().back(), "Imported_KeyID_exists");
  ASSERT_EQ(b.kf.keys.size(), 1u);
  EXPECT_EQ(b.kf.keys[0].keyname, "ann at acme");
  EXPECT_EQ(b.kf.keys[0].category, 'm');
  RsaKeyRecord d2;
  ASSERT_TRUE(ReadRsaKeyRecord(b.kf, rec::kSigningPrivateKey, id, d2));
  EXPECT_EQ(d2.exponent, Bytes("\x09\x09", 2));
}

TEST_F(KeyExportTest, KnownKeyIdAnsweredNoMakesASecondKeyAndCancelChangesNothing) {
  const MadeKey k = MakeKey(a, "ann", {}, false);
  const std::string armor = Armor(k.id, false);
  b.ui.texts.push_back("ann");
  Bytes first;
  ASSERT_EQ(ImportExportedKey(b.kf, armor, first), kImportStored);

  const std::vector<Bytes> before = b.kf.table;
  b.ui.buttons.push_back(kIdCancel);
  Bytes id;
  EXPECT_EQ(ImportExportedKey(b.kf, armor, id), kImportCancelled);
  EXPECT_EQ(b.kf.table, before);
  // "No" but no name given: also nothing changes (not even the random state).
  b.ui.buttons.push_back(kIdNo);
  EXPECT_EQ(ImportExportedKey(b.kf, armor, id), kImportCancelled);
  EXPECT_EQ(b.kf.table, before);

  b.ui.buttons.push_back(kIdNo);
  b.ui.texts.push_back("ANN");  // taken, letter case ignored: asked again
  b.ui.texts.push_back("ann 2");
  ASSERT_EQ(ImportExportedKey(b.kf, armor, id), kImportStored);
  EXPECT_EQ(b.ui.MessageKeys().back(), "KeyName_exists");
  EXPECT_NE(id, first);
  EXPECT_EQ(b.kf.keys.size(), 2u);
  // The dates record travels with the new KeyID.
  KeyDates dates;
  EXPECT_TRUE(ReadKeyDates(b.kf, rec::kPublicKeyDates, id, dates));
  EXPECT_EQ(Fingerprint(b.kf, id), Fingerprint(b.kf, first));
}

TEST_F(KeyExportTest, ArmorSurvivesQuotingAndDamageIsRefused) {
  const MadeKey k = MakeKey(a, "ann", {}, false);
  const std::string armor = Armor(k.id, false);
  std::string quoted = "Here is my key:\n";
  for (size_t at = 0, next; at < armor.size(); at = next + 2) {
    next = armor.find("\r\n", at);
    if (next == std::string::npos) next = armor.size();
    quoted += "> " + armor.substr(at, next - at) + "\n";
  }
  b.ui.texts.push_back("ann");
  Bytes id;
  EXPECT_EQ(ImportExportedKey(b.kf, quoted, id), kImportStored);

  const std::vector<Bytes> before = b.kf.table;
  std::string damaged = armor;
  char& letter = damaged[armor.find("\r\n", 40) + 20];  // inside the hashed list
  letter = letter == 'A' ? 'B' : 'A';
  EXPECT_EQ(ImportExportedKey(b.kf, damaged, id), kImportRefused);
  EXPECT_EQ(b.ui.MessageKeys().back(), "Endec_HashDoesNotMatch");
  std::string cut = armor.substr(0, armor.size() - 10);
  EXPECT_EQ(ImportExportedKey(b.kf, cut, id), kImportRefused);
  EXPECT_EQ(b.ui.MessageKeys().back(), "EnDec_NoAsciiArmorFormat");
  EXPECT_EQ(ImportExportedKey(b.kf,
                              "-----Start_Lockquill_public_key-----\r\nMTExMDAx\r\n"
                              "-----End_Lockquill_public_key-----",
                              id),
            kImportRefused);
  EXPECT_EQ(b.ui.MessageKeys().back(), "EnDec_WrongRecordType");
  // A correctly hashed list that is no key (too few fields).
  Bytes list;
  AppendField(k.id, list);
  Bytes hash_record = RecordHeader("108");
  AppendField(SHA256_Hash(list), hash_record);
  AppendField(list, hash_record);
  Bytes record = RecordHeader("107");
  AppendField(hash_record, record);
  EXPECT_EQ(ImportExportedKey(b.kf, ArmorExportedKey(record, false), id), kImportRefused);
  EXPECT_EQ(b.kf.table, before);
}

TEST_F(KeyExportTest, ReplacingWithAnotherModulusDropsThePrivatePartThatNoLongerFits) {
  const MadeKey k = MakeKey(a, "ann", {}, true);
  b.ui.texts.push_back("ann");
  Bytes id;
  ASSERT_EQ(ImportExportedKey(b.kf, Armor(k.id, true), id), kImportStored);
  ASSERT_EQ(Count(b, rec::kEncryptionPrivateKey), 1u);
  // The same public key again keeps the private part that pairs with it.
  b.ui.buttons.push_back(kIdYes);
  ASSERT_EQ(ImportExportedKey(b.kf, Armor(k.id, false), id), kImportStored);
  EXPECT_EQ(Count(b, rec::kEncryptionPrivateKey), 1u);
  // A new pair under the same KeyID, public only: the old private halves would not match it.
  RsaKeyRecord other{288, Bytes("\x99\x88\x77\x67", 4), Bytes("\x03\x00\x01\x00", 4)};
  StoreKeyRecord(a.kf, rec::kEncryptionPublicKey, EncryptionPublicKeyFields(k.id, other, {}));
  StoreKeyRecord(a.kf, rec::kSigningPublicKey, RsaKeyFields(k.id, other));
  b.ui.buttons.push_back(kIdYes);
  ASSERT_EQ(ImportExportedKey(b.kf, Armor(k.id, false), id), kImportStored);
  EXPECT_EQ(Count(b, rec::kEncryptionPrivateKey), 0u);
  EXPECT_EQ(Count(b, rec::kSigningPrivateKey), 0u);
  EXPECT_EQ(b.kf.keys[0].category, 'r');
}

TEST_F(KeyExportTest, AGroupWithTheImportedKeyIdGetsANewIdentifier) {
  const MadeKey k = MakeKey(a, "ann", {}, false);
  const Bytes member = b.AddKey("member");
  Bytes group;
  AppendField(k.id, group);
  AppendField("team", group);
  AppendField(member, group);
  StoreKeyRecord(b.kf, rec::kKeyGroup, group);
  RebuildLists(b.kf);
  b.ui.buttons.push_back(kIdYes);
  b.ui.texts.push_back("ann");
  Bytes id;
  ASSERT_EQ(ImportExportedKey(b.kf, Armor(k.id, false), id), kImportStored);
  EXPECT_EQ(id, k.id);
  ASSERT_EQ(b.kf.groups.size(), 1u);
  EXPECT_NE(b.kf.groups[0].group_id, k.id);
  EXPECT_EQ(b.kf.groups[0].name, "team");
  EXPECT_EQ(b.kf.groups[0].members, std::vector<Bytes>{member});
}

}  // namespace
}  // namespace lq::test
