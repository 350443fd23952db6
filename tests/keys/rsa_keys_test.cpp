// The RSA routines by KeyID and their prepared private halves: made at first use with CRT and
// blinding, made anew when a key's pairs are replaced, gone when the keyfile closes.
#include "keys/rsa_keys.h"

#include <gtest/gtest.h>

#include "keys/keypair.h"
#include "keys_fixture.h"

namespace lq::test {
namespace {

TEST(RsaKeys, PreparedHalvesAreMadeOnceReplacedWithTheKeyAndWipedAtClose) {
  TempDir dir;
  Session s;
  s.Create(dir.File("k.lqk"), "pass");
  const Bytes id = s.AddKey("Kim");
  UserId user;
  ASSERT_TRUE(ReadUserId(s.kf, id, user));
  user.first_name = "Kim";
  user.last_name = "Key";
  StoreKeyDetails(s.kf, user);
  KeyPairRequest r;
  r.bits = 512;
  ASSERT_EQ(CalculateNewPublicKey(s.kf, id, r), kKeyPairsStored);
  const Bytes session_key(32, '\x42');
  const BigNum c = PublicKey_Encrypt_PKCS1_V15(s.kf, session_key, id);
  EXPECT_TRUE(s.kf.private_keys.empty());
  EXPECT_EQ(PublicKey_Decrypt(s.kf, c, id), session_key);
  ASSERT_EQ(s.kf.private_keys.size(), 1u);
  const RsaPrivateKey& decrypt_key = s.kf.private_keys.begin()->second;
  EXPECT_TRUE(decrypt_key.UsesCrt());
  EXPECT_TRUE(decrypt_key.Blinded());
  const RsaPrimes first = decrypt_key.Primes();
  EXPECT_EQ(PublicKey_Decrypt(s.kf, c, id), session_key);
  EXPECT_EQ(s.kf.private_keys.size(), 1u);
  EXPECT_EQ(s.kf.private_keys.begin()->second.Primes().p, first.p);  // not made again
  const BigNum sig = PublicKey_GenerateSignature_PKCS1_V15(s.kf, "data", id);
  EXPECT_EQ(PublicKey_VerifySignature_PKCS1_V15(s.kf, "data", sig, id), 1);
  EXPECT_EQ(s.kf.private_keys.size(), 2u);
  // New pairs under the same KeyID: the old prepared half no longer matches and is replaced.
  s.ui.buttons.push_back(kIdYes);
  ASSERT_EQ(CalculateNewPublicKey(s.kf, id, r), kKeyPairsStored);
  const BigNum c2 = PublicKey_Encrypt_PKCS1_V15(s.kf, session_key, id);
  EXPECT_EQ(PublicKey_Decrypt(s.kf, c2, id), session_key);
  EXPECT_NE(PublicKey_Decrypt(s.kf, c, id), session_key);
  const BigNum sig2 = PublicKey_GenerateSignature_PKCS1_V15(s.kf, "data", id);
  EXPECT_EQ(PublicKey_VerifySignature_PKCS1_V15(s.kf, "data", sig2, id), 1);
  EXPECT_EQ(s.kf.private_keys.size(), 2u);
  EXPECT_NE(s.kf.private_keys.begin()->second.Primes().p, first.p);
  ASSERT_EQ(CloseKeyfile(s.kf), 0);
  EXPECT_TRUE(s.kf.private_keys.empty());
}

}  // namespace
}  // namespace lq::test
