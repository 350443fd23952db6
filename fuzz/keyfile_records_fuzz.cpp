// Fuzz target: the keyfile's record table after decryption. The input is split into records
// (the file's length framing); each is encrypted under the session's keyfile key as a save
// would, so that every reader of decrypted records (lists, user IDs, groups, signing key, dates,
// RSA halves, random state, selected recipients, the prepared private halves) meets arbitrary
// payloads. The first record's type field picks nothing: the input's own bytes are the types.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_engine.h"
#include "keys/key_records.h"
#include "keys/rsa_keys.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lq::fuzz::Engine& e = lq::fuzz::TheEngine();
  static const std::vector<lq::Bytes> kTable = e.kf.table;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<lq::Bytes> plain;
  if (!lq::ReadKeyfileRecords(input, plain))
    return 0;
  std::vector<lq::Bytes> table = kTable;
  for (const lq::Bytes& r : plain) {
    if (r.size() < 6) continue;
    table.push_back(lq::EncryptRecord(e.kf, r.substr(0, 3), r.substr(3, 3), r.substr(6), e.kf.key));
  }
  e.kf.table = std::move(table);
  lq::RebuildLists(e.kf);
  lq::RestoreSelectedRecipients(e.kf);
  lq::SigningKey(e.kf);
  lq::StoredRandomState(e.kf);
  for (const auto& k : e.kf.keys) {
    lq::UserId user;
    lq::ReadUserId(e.kf, k.key_id, user, false);
    lq::KeyDates dates;
    lq::ReadKeyDates(e.kf, lq::rec::kPublicKeyDates, k.key_id, dates);
    lq::PublicKeyExpired(e.kf, k.key_id);
    lq::SecretKeyExpired(e.kf, k.key_id);
    lq::Fingerprint(e.kf, k.key_id);
    // The private operations cost milliseconds each; only a key the input's records name can
    // have halves other than the golden ones, so only such a key is worth them.
    if (input.find(k.key_id) == std::string_view::npos) continue;
    const lq::Bytes c = lq::PublicKey_Encrypt_PKCS1_V15(e.kf, std::string(32, 'k'), k.key_id);
    lq::PublicKey_Decrypt(e.kf, c, k.key_id);
    lq::PublicKey_GenerateSignature_PKCS1_V15(e.kf, "x", k.key_id);
  }
  for (const auto& g : e.kf.groups) {
    lq::KeyGroupEntry group;
    lq::ReadKeyGroup(e.kf, g.group_id, group);
  }
  e.kf.table = kTable;
  e.kf.private_keys.clear();
  lq::RebuildLists(e.kf);
  return 0;
}
