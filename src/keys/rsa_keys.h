// Public-key encryption of session keys and signatures by KeyID: each routine finds its key
// record in the keyfile, hands the explicit key to the RSA math and wipes its copy.
#pragma once

#include <string_view>

#include "base/bytes.h"
#include "crypto/rsa.h"
#include "keys/keyfile.h"

namespace lq {

inline constexpr char kEncryptKeyMissingTrace[] =
    "PublicKey_Encrypt: Couldn't find the public key keyrecord in the keyfile";
inline constexpr char kDecryptKeyMissingTrace[] =
    "PublicKey_Decrypt: Couldn't find the public key keyrecord in the keyfile";
inline constexpr char kSignKeyMissingTrace[] =
    "PublicKey_GenerateSignature_PKCS1_V15: Couldn't find the signing key keyrecord in the "
    "keyfile";
inline constexpr char kVerifyKeyMissingTrace[] =
    "PublicKey_VerifySignature_PKCS1_V15: Couldn't find the public key signature verification "
    "keyrecord in the keyfile";

// Reads one RSA half (records 006-009) of a key; false when the keyfile has no such record.
bool FindRsaKey(Keyfile& kf, std::string_view type, std::string_view key_id, RsaKey& key);

// Encrypts a 32-byte session key to the encryption public key (record 006) of `key_id`.
// Empty, with a trace only, when the key has no such record; the caller reports its own error.
BigNum PublicKey_Encrypt_PKCS1_V15(Keyfile& kf, std::string_view data, std::string_view key_id);

// Recovers a session key with the decryption private key (record 007). Empty when the record
// is missing (traced) or the ciphertext is not below the modulus (silent). The caller wipes it.
Bytes PublicKey_Decrypt(Keyfile& kf, std::string_view ciphertext, std::string_view key_id);

// Signs `data` with the signing private key (record 009); empty when it is missing (traced).
BigNum PublicKey_GenerateSignature_PKCS1_V15(Keyfile& kf, std::string_view data,
                                             std::string_view key_id);

// 1 when `signature` is a valid signature of `data` under the verification key (record 008),
// 0 otherwise (a missing record is traced).
int PublicKey_VerifySignature_PKCS1_V15(Keyfile& kf, std::string_view data,
                                        std::string_view signature, std::string_view key_id);

}  // namespace lq
