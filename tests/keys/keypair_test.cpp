// The key-pair procedure and the RSA routines by KeyID: checks before generation, the records
// stored, progress, failures that must store nothing, missing records and a saved keyfile.
#include "keys/keypair.h"

#include <gtest/gtest.h>

#include "crypto/bignum.h"
#include "keys/rsa_keys.h"
#include "keys_fixture.h"

namespace lq::test {
namespace {

class KeyPairs : public ::testing::Test {
 protected:
  void SetUp() override {
    s.Create(path, "pw");
    alice = s.AddKey("Alice");
    UserId user;
    ASSERT_TRUE(ReadUserId(s.kf, alice, user));
    user.first_name = "Alice";
    user.last_name = "Liddell";
    StoreKeyDetails(s.kf, user);
    s.ui.boxes.clear();
    s.ui.calls.clear();
  }

  KeyPairRequest Request(int bits) {
    KeyPairRequest r;
    r.bits = bits;
    r.flags = PublicKeyFlags{1, 0, 1};
    r.expiry_year = 2030;
    r.expiry_month = 12;
    r.expiry_day = 31;
    return r;
  }

  // How many live records of `type` belong to `id`.
  int Count(std::string_view type, std::string_view id) {
    int n = 0;
    long index = 0;
    while (true) {
      FindRecord(s.kf, type, id, index);
      if (index < 0) return n;
      ++n;
    }
  }

  TempDir dir;
  std::string path = dir.File("keys.lqk");
  Session s;
  Bytes alice;
};

TEST_F(KeyPairs, StoresBothPairsWithFlagsAndDates) {
  ASSERT_EQ(s.kf.keys[0].category, 'r');
  s.kf.modified = false;
  ASSERT_EQ(CalculateNewPublicKey(s.kf, alice, Request(512)), kKeyPairsStored);
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_TRUE(s.kf.modified);

  RsaKeyRecord enc_pub, enc_priv, sig_pub, sig_priv;
  PublicKeyFlags flags;
  ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kEncryptionPublicKey, alice, enc_pub, &flags));
  ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kEncryptionPrivateKey, alice, enc_priv));
  ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kSigningPublicKey, alice, sig_pub));
  ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kSigningPrivateKey, alice, sig_priv));
  for (const RsaKeyRecord* k : {&enc_pub, &enc_priv, &sig_pub, &sig_priv}) {
    EXPECT_EQ(k->bits, 512);
    const int n_bits = BigBitLength(k->modulus);
    EXPECT_TRUE(n_bits == 511 || n_bits == 512);
  }
  EXPECT_EQ(enc_pub.modulus, enc_priv.modulus);
  EXPECT_EQ(sig_pub.modulus, sig_priv.modulus);
  EXPECT_NE(enc_pub.modulus, sig_pub.modulus);  // two pairs, not one stored twice
  EXPECT_EQ(flags.company, 1);
  EXPECT_EQ(flags.department, 0);
  EXPECT_EQ(flags.email, 1);

  // Numbers are stored in the number-text form.
  long index = 0;
  const std::vector<Bytes> fields =
      RecordFields(FindRecord(s.kf, rec::kEncryptionPublicKey, alice, index));
  ASSERT_EQ(fields.size(), 7u);
  EXPECT_EQ(fields[1], " 512");
  EXPECT_EQ(fields[4], " 1");
  EXPECT_EQ(fields[5], " 0");

  KeyDates dates;
  ASSERT_TRUE(ReadKeyDates(s.kf, rec::kPublicKeyDates, alice, dates));
  EXPECT_EQ(dates.expiry_year, 2030);
  EXPECT_EQ(dates.expiry_month, 12);
  EXPECT_EQ(dates.expiry_day, 31);
  EXPECT_EQ(dates.created.year, s.today.year);
  EXPECT_EQ(dates.created.second, s.today.second);
  EXPECT_EQ(PublicKeyExpired(s.kf, alice), 0);
  EXPECT_EQ(Fingerprint(s.kf, alice).size(), 45u);
  // The key now has a private key: it is one of "My keys".
  EXPECT_EQ(s.kf.keys[0].category, 'm');

  // Used through its KeyID: session-key encryption and signatures.
  const Bytes session_key(32, '\x42');
  const BigNum c = PublicKey_Encrypt_PKCS1_V15(s.kf, session_key, alice);
  EXPECT_EQ(c.size(), 64u);
  EXPECT_EQ(PublicKey_Decrypt(s.kf, c, alice), session_key);
  const BigNum sig = PublicKey_GenerateSignature_PKCS1_V15(s.kf, "text", alice);
  EXPECT_EQ(PublicKey_VerifySignature_PKCS1_V15(s.kf, "text", sig, alice), 1);
  EXPECT_EQ(PublicKey_VerifySignature_PKCS1_V15(s.kf, "texT", sig, alice), 0);
  // Decryption with the signing pair's numbers would not recover the key: the pairs differ.
  EXPECT_NE(RsaDecrypt(c, RsaKey{512, sig_priv.modulus, sig_priv.exponent}), session_key);
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_TRUE(s.ui.traces.empty());
}

TEST_F(KeyPairs, ReportsBothGenerationsStepByStep) {
  std::vector<std::pair<int, int>> steps;
  long candidate_reports = 0;
  ASSERT_EQ(CalculateNewPublicKey(s.kf, alice, Request(288),
                                  [&](int pair, int done, long candidates) {
                                    if (candidates == 0) {
                                      steps.emplace_back(pair, done);
                                    } else {
                                      ++candidate_reports;
                                    }
                                  }),
            kKeyPairsStored);
  std::vector<std::pair<int, int>> expected;
  for (int pair : {1, 2}) {
    for (int step = 1; step <= 5; ++step) expected.emplace_back(pair, step);
  }
  EXPECT_EQ(steps, expected);
  EXPECT_GE(candidate_reports, 4);  // four prime searches, at least one candidate each
  EXPECT_EQ(KeyGenerationStepText(2), "Step 2 of 5");
  EXPECT_EQ(KeyGenerationStepText(5), "Step 5 of 5");
}

TEST_F(KeyPairs, NamesAreRequired) {
  UserId user;
  ASSERT_TRUE(ReadUserId(s.kf, alice, user));
  user.last_name.clear();
  StoreKeyDetails(s.kf, user);
  EXPECT_EQ(CalculateNewPublicKey(s.kf, alice, Request(288)), kKeyPairsRefused);
  ASSERT_EQ(s.ui.MessageKeys(), (std::vector<std::string>{"PubKey_UsersName_undefined"}));
  EXPECT_EQ(s.ui.boxes[0].text, "Both the users first and last name must be defined!\r\n");
  EXPECT_EQ(Count(rec::kEncryptionPublicKey, alice), 0);

  user.last_name = "Liddell";
  user.first_name.clear();
  StoreKeyDetails(s.kf, user);
  EXPECT_EQ(CalculateNewPublicKey(s.kf, alice, Request(288)), kKeyPairsRefused);
  EXPECT_EQ(s.ui.boxes.size(), 2u);

  // A KeyID without a UserIDRecord.
  EXPECT_EQ(CalculateNewPublicKey(s.kf, Bytes(32, 'q'), Request(288)), kKeyPairsRefused);
  EXPECT_EQ(s.ui.MessageKeys().back(), "Keyfile_UserIDRecord_not_found");
}

TEST_F(KeyPairs, OverwriteIsAskedAndNoKeepsTheOldPairs) {
  ASSERT_EQ(CalculateNewPublicKey(s.kf, alice, Request(288)), kKeyPairsStored);
  RsaKeyRecord before;
  ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kEncryptionPublicKey, alice, before));

  s.ui.buttons = {kIdNo};
  EXPECT_EQ(CalculateNewPublicKey(s.kf, alice, Request(512)), kKeyPairsCancelled);
  ASSERT_EQ(s.ui.MessageKeys(), (std::vector<std::string>{"PubKey_Overwrite?"}));
  RsaKeyRecord after;
  ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kEncryptionPublicKey, alice, after));
  EXPECT_EQ(after.modulus, before.modulus);

  s.ui.buttons = {kIdYes};
  EXPECT_EQ(CalculateNewPublicKey(s.kf, alice, Request(512)), kKeyPairsStored);
  ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kEncryptionPublicKey, alice, after));
  EXPECT_EQ(after.bits, 512);
  EXPECT_NE(after.modulus, before.modulus);
  // Replaced, not added.
  for (const char* type : {rec::kEncryptionPublicKey, rec::kEncryptionPrivateKey,
                           rec::kSigningPublicKey, rec::kSigningPrivateKey, rec::kPublicKeyDates}) {
    EXPECT_EQ(Count(type, alice), 1) << type;
  }
}

TEST_F(KeyPairs, LengthsAreRefusedWithTheirMessages) {
  EXPECT_EQ(CalculateNewPublicKey(s.kf, alice, Request(300)), kKeyPairsRefused);
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_EQ(s.ui.boxes[0].text,
            "Public keylength must be a multiple of 32 bits (4 bytes)!!\r\n"
            "Calculation of public key is aborted...");
  EXPECT_EQ(s.ui.boxes[0].caption, "Lockquill V1.0");
  for (int bits : {256, 32800, -32}) {
    EXPECT_EQ(CalculateNewPublicKey(s.kf, alice, Request(bits)), kKeyPairsRefused) << bits;
    EXPECT_EQ(s.ui.boxes.back().text, kKeyLengthRangeText);
  }
  // Length 0 is the dialog's cancel: nothing shown.
  const size_t shown = s.ui.boxes.size();
  EXPECT_EQ(CalculateNewPublicKey(s.kf, alice, Request(0)), kKeyPairsCancelled);
  EXPECT_EQ(s.ui.boxes.size(), shown);
  EXPECT_EQ(Count(rec::kEncryptionPublicKey, alice), 0);
  EXPECT_EQ(Count(rec::kPublicKeyDates, alice), 0);

  // The length is the dialog's answer: the overwrite question comes before it.
  ASSERT_EQ(CalculateNewPublicKey(s.kf, alice, Request(288)), kKeyPairsStored);
  s.ui.boxes.clear();
  s.ui.buttons = {kIdNo};
  EXPECT_EQ(CalculateNewPublicKey(s.kf, alice, Request(300)), kKeyPairsCancelled);
  EXPECT_EQ(s.ui.MessageKeys(), (std::vector<std::string>{"PubKey_Overwrite?"}));
}

TEST_F(KeyPairs, SearchPastTheTimeLimitStoresNothingAndTellsTheUser) {
  // The clock races once the signing pair's generation starts: the encryption pair is made,
  // the signing pair is not, and neither is stored.
  bool racing = false;
  double t = 0;
  PrimeSearchLimit limit;
  limit.clock = [&] { return racing ? (t += 10000) : 0.0; };
  const int result = CalculateNewPublicKey(
      s.kf, alice, Request(288),
      [&](int pair, int done, long) {
        if (pair == 1 && done == 5) racing = true;
      },
      limit);
  EXPECT_EQ(result, kKeyPairsFailed);
  ASSERT_EQ(s.ui.boxes.size(), 1u);
  EXPECT_EQ(s.ui.boxes[0].text,
            "No prime number was found within the time limit of the search!!\r\n"
            "No key was made. Calculation of public key is aborted...");
  EXPECT_EQ(s.ui.traces,
            (std::vector<std::string>{"Key generation: the prime search passed its time limit"}));
  for (const char* type : {rec::kEncryptionPublicKey, rec::kEncryptionPrivateKey,
                           rec::kSigningPublicKey, rec::kSigningPrivateKey, rec::kPublicKeyDates}) {
    EXPECT_EQ(Count(type, alice), 0) << type;
  }
  EXPECT_EQ(s.kf.keys[0].category, 'r');
}

TEST_F(KeyPairs, KeyDeletedOrKeyfileClosedDuringGenerationStoresNothing) {
  // Another event handler deletes the key while the primes are searched.
  bool deleted = false;
  auto remove_key = [&](int pair, int done, long) {
    if (pair == 2 && done == 1 && !deleted) {
      deleted = true;
      s.ui.buttons = {kIdYes};
      ASSERT_TRUE(DeleteKey(s.kf, alice));
    }
  };
  EXPECT_EQ(CalculateNewPublicKey(s.kf, alice, Request(288), remove_key), kKeyPairsFailed);
  EXPECT_EQ(s.ui.boxes.back().text, kKeyGoneText);
  EXPECT_EQ(Count(rec::kEncryptionPublicKey, alice), 0);

  // The inactivity timer locks the keyfile meanwhile.
  const Bytes bob = s.AddKey("Bob");
  UserId user;
  ASSERT_TRUE(ReadUserId(s.kf, bob, user));
  user.first_name = "Bob";
  user.last_name = "Builder";
  StoreKeyDetails(s.kf, user);
  auto lock = [&](int pair, int done, long) {
    if (pair == 1 && done == 3 && s.kf.open) {
      ASSERT_EQ(CloseKeyfile(s.kf), 0);
    }
  };
  EXPECT_EQ(CalculateNewPublicKey(s.kf, bob, Request(288), lock), kKeyPairsFailed);
  EXPECT_EQ(s.ui.boxes.back().text, kKeyGoneText);
  ASSERT_EQ(s.Open(path, "pw"), kKeyfileOpened);
  EXPECT_EQ(Count(rec::kEncryptionPublicKey, bob), 0);
  EXPECT_EQ(Count(rec::kUserId, bob), 1);
}

TEST_F(KeyPairs, MissingRecordsAreTracedOnly) {
  const Bytes nobody(32, 'n');
  const Bytes session_key(32, '\x01');
  EXPECT_EQ(PublicKey_Encrypt_PKCS1_V15(s.kf, session_key, nobody), "");
  EXPECT_EQ(PublicKey_Decrypt(s.kf, BigFromWord(7), nobody), "");
  EXPECT_EQ(PublicKey_GenerateSignature_PKCS1_V15(s.kf, "x", nobody), "");
  EXPECT_EQ(PublicKey_VerifySignature_PKCS1_V15(s.kf, "x", BigFromWord(7), nobody), 0);
  EXPECT_EQ(s.ui.traces,
            (std::vector<std::string>{
                "PublicKey_Encrypt: Couldn't find the public key keyrecord in the keyfile",
                "PublicKey_Decrypt: Couldn't find the public key keyrecord in the keyfile",
                "PublicKey_GenerateSignature_PKCS1_V15: Couldn't find the signing key keyrecord in "
                "the keyfile",
                "PublicKey_VerifySignature_PKCS1_V15: Couldn't find the public key signature "
                "verification keyrecord in the keyfile"}));
  EXPECT_TRUE(s.ui.boxes.empty());

  // A wrong length is still reported first, then the missing key.
  s.ui.calls.clear();
  EXPECT_EQ(PublicKey_Encrypt_PKCS1_V15(s.kf, Bytes(16, 'x'), nobody), "");
  ASSERT_EQ(s.ui.calls.size(), 2u);
  EXPECT_EQ(s.ui.calls[0].what, "MessageBox");
  EXPECT_EQ(s.ui.calls[0].text, "length of data to public key encrypt is not equal to 32");
  EXPECT_EQ(s.ui.calls[1].what, "Trace");
}

TEST_F(KeyPairs, SurvivesSaveAndReopenAndRefusesOversizedCiphertextSilently) {
  ASSERT_EQ(CalculateNewPublicKey(s.kf, alice, Request(768)), kKeyPairsStored);
  const Bytes session_key(32, '\x7E');
  const BigNum c = PublicKey_Encrypt_PKCS1_V15(s.kf, session_key, alice);
  const BigNum sig = PublicKey_GenerateSignature_PKCS1_V15(s.kf, "saved", alice);
  ASSERT_EQ(SaveKeyfile(s.kf, path), 0);

  Session later;
  ASSERT_EQ(later.Open(path, "pw"), kKeyfileOpened);
  EXPECT_EQ(PublicKey_Decrypt(later.kf, c, alice), session_key);
  EXPECT_EQ(PublicKey_VerifySignature_PKCS1_V15(later.kf, "saved", sig, alice), 1);

  RsaKeyRecord priv;
  ASSERT_TRUE(ReadRsaKeyRecord(later.kf, rec::kEncryptionPrivateKey, alice, priv));
  later.ui.calls.clear();
  EXPECT_EQ(PublicKey_Decrypt(later.kf, BigAdd(priv.modulus, BigFromWord(3)), alice), "");
  EXPECT_TRUE(later.ui.calls.empty());
}

}  // namespace
}  // namespace lq::test
