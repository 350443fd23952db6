// The RSA routines by KeyID: record lookup, the trace for a missing record, the math of
// crypto/rsa on a copy of the key that is wiped before returning.
#include "keys/rsa_keys.h"

#include <utility>

#include "keys/key_records.h"

namespace lq {
namespace {

void WipeKey(RsaKey& key) {
  Wipe(key.modulus);
  Wipe(key.exponent);
  key.bits = 0;
}

// The prepared private half of `key_id` (record `type`, e from `public_type`), made at first use
// and made anew when the records changed since.
RsaPrivateKey& PreparedKey(Keyfile& kf, std::string_view type, std::string_view public_type,
                           std::string_view key_id, const RsaKey& key) {
  RsaKey pub;
  const bool has_e = FindRsaKey(kf, public_type, key_id, pub) && pub.modulus == key.modulus;
  const Bytes e = has_e ? pub.exponent : Bytes();
  WipeKey(pub);
  RsaPrivateKey& prepared = kf.private_keys[Bytes(type) + Bytes(key_id)];
  if (!prepared.Matches(key, e)) prepared.Prepare(kf.random, key, e);
  return prepared;
}

}  // namespace

bool FindRsaKey(Keyfile& kf, std::string_view type, std::string_view key_id, RsaKey& key) {
  RsaKeyRecord record;
  if (!ReadRsaKeyRecord(kf, type, key_id, record)) return false;
  key.bits = record.bits;
  key.modulus = std::move(record.modulus);
  key.exponent = std::move(record.exponent);
  return true;
}

BigNum PublicKey_Encrypt_PKCS1_V15(Keyfile& kf, std::string_view data, std::string_view key_id) {
  RsaKey key;
  if (!FindRsaKey(kf, rec::kEncryptionPublicKey, key_id, key)) {
    RsaWarnPayloadLength(kf.ui, data);
    kf.ui.Trace(kEncryptKeyMissingTrace);
    return {};
  }
  BigNum c = RsaEncrypt(kf.random, kf.ui, data, key);
  WipeKey(key);
  return c;
}

Bytes PublicKey_Decrypt(Keyfile& kf, std::string_view ciphertext, std::string_view key_id) {
  RsaKey key;
  if (!FindRsaKey(kf, rec::kEncryptionPrivateKey, key_id, key)) {
    kf.ui.Trace(kDecryptKeyMissingTrace);
    return {};
  }
  Bytes payload = RsaDecrypt(
      ciphertext, key,
      PreparedKey(kf, rec::kEncryptionPrivateKey, rec::kEncryptionPublicKey, key_id, key));
  WipeKey(key);
  return payload;
}

BigNum PublicKey_GenerateSignature_PKCS1_V15(Keyfile& kf, std::string_view data,
                                             std::string_view key_id) {
  RsaKey key;
  if (!FindRsaKey(kf, rec::kSigningPrivateKey, key_id, key)) {
    kf.ui.Trace(kSignKeyMissingTrace);
    return {};
  }
  BigNum s = RsaSign(kf.random, kf.ui, data, key,
                     PreparedKey(kf, rec::kSigningPrivateKey, rec::kSigningPublicKey, key_id, key));
  WipeKey(key);
  return s;
}

int PublicKey_VerifySignature_PKCS1_V15(Keyfile& kf, std::string_view data,
                                        std::string_view signature, std::string_view key_id) {
  RsaKey key;
  if (!FindRsaKey(kf, rec::kSigningPublicKey, key_id, key)) {
    kf.ui.Trace(kVerifyKeyMissingTrace);
    return 0;
  }
  const bool valid = RsaVerify(data, signature, key);
  WipeKey(key);
  return valid ? 1 : 0;
}

}  // namespace lq
