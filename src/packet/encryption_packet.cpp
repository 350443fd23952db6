// Composing and opening encryption packets, the key search, and signed data blocks.
#include "packet/encryption_packet.h"

#include <algorithm>
#include <functional>

#include "base/catalogue.h"
#include "base/records.h"
#include "crypto/aes.h"
#include "crypto/sha256.h"
#include "keys/key_records.h"
#include "keys/rsa_keys.h"
#include "packet/packet_records.h"

namespace lq {

namespace {

// The keyname the key list shows for `id` (messages name keys by it).
std::string KeyNameOf(PacketSession& s, std::string_view id) {
  for (const KeyListEntry& k : s.kf.keys) {
    if (k.key_id == id) return k.keyname;
  }
  return HexText(id.substr(0, 8));
}

// A trial decryption of the key search: a forged entry must not bring up a box for every key it
// is tried with, so data that is not whole AES blocks is no fit, quietly.
Bytes TrialDecrypt(PacketSession& s, std::string_view data, std::string_view key) {
  if (data.size() % kAesBlockSize != 0) return {};
  return AES_Decrypt_CBC(s.ui, data, key);
}

bool HasFormat001(std::string_view record) {
  return record.size() >= 6 && record.substr(3, 3) == kRecordFormat001;
}

// The first key record of `type` for `id` in the keyfile, or empty.
Bytes KeyRecord(PacketSession& s, std::string_view type, std::string_view id) {
  long index = 0;
  return FindRecord(s.kf, type, id, index);
}

struct KeyTypes {
  const char* first;
  const char* second;
};

KeyTypes PreferredTypes(const PacketSession& s) {
  return s.PreferSecretKeys() ? KeyTypes{rec::kSecretKey, rec::kEncryptionPublicKey}
                              : KeyTypes{rec::kEncryptionPublicKey, rec::kSecretKey};
}

// The key type a recipient uses, or nullptr when it has neither; `record` gets the record.
const char* ChosenKeyType(PacketSession& s, std::string_view id, Bytes& record) {
  const KeyTypes t = PreferredTypes(s);
  record = KeyRecord(s, t.first, id);
  if (!record.empty()) return t.first;
  record = KeyRecord(s, t.second, id);
  if (!record.empty()) return t.second;
  return nullptr;
}

// Whether V = R || digest part of R, with R exactly `half` bytes: a result of any other length
// is a wrong key, never a fit.
bool VerificationFits(std::string_view v, size_t half, size_t digest_len) {
  if (v.size() != half + digest_len) return false;
  const Bytes d = SHA256_Hash(v.substr(0, half));
  return ConstantTimeEqual(std::string_view(d).substr(0, digest_len), v.substr(half));
}

Bytes SecretKeyOf(std::string_view record) {
  long pos = 7;
  FieldView(record, pos);
  return NextField(record, pos);
}

Bytes DeriveSecretKey(std::string_view record) {
  const SecretBytes secret(SecretKeyOf(record));
  return SHA256_Iterated(secret.str(), kSecretKeySalt, kSecretKeyRounds);
}

// R || the first `digest_len` bytes of SHA-256(R), for `bits` random bits R: the value a
// verification record seals, so that a receiver can test a key without the rest of the packet.
SecretBytes VerificationValue(PacketSession& s, int bits, size_t digest_len) {
  SecretBytes v;
  v.str().reserve(static_cast<size_t>(bits) / 8 + digest_len);
  const SecretBytes r(RandomBits(s.random, bits));
  const SecretBytes d(SHA256_Hash(r.view()));
  v.str().append(r.view()).append(d.view().substr(0, digest_len));
  return v;
}

}  // namespace

std::vector<Bytes> ListRecipientKeyIDs(PacketSession& s) {
  std::vector<Bytes> ids;
  for (const Bytes& id : s.Recipients()) {
    KeyGroupEntry group;
    if (ReadKeyGroup(s.kf, id, group)) {
      ids.insert(ids.end(), group.members.begin(), group.members.end());
    } else {
      ids.push_back(id);
    }
  }
  std::sort(ids.begin(), ids.end(), [](const Bytes& a, const Bytes& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return static_cast<unsigned char>(x) > static_cast<unsigned char>(y);
    });
  });
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  const Bytes signer = SigningKey(s.kf);
  if (!signer.empty() && AlwaysEncrypt(s.kf) &&
      std::find(ids.begin(), ids.end(), signer) == ids.end()) {
    ids.push_back(signer);
  }
  return ids;
}

bool CheckForRequiredKeyTypes(PacketSession& s, const std::vector<Bytes>& recipients) {
  const KeyTypes t = PreferredTypes(s);
  int without = 0, fallback = 0, secret_expired = 0, public_expired = 0;
  for (const Bytes& id : recipients) {
    Bytes record;
    const char* type = ChosenKeyType(s, id, record);
    if (type == nullptr) {
      ++without;
    } else {
      if (type != t.first) ++fallback;
      if (type == rec::kSecretKey && SecretKeyExpired(s.kf, id) == 1) ++secret_expired;
      if (type == rec::kEncryptionPublicKey && PublicKeyExpired(s.kf, id) == 1) ++public_expired;
    }
    Drop(record);
  }
  if (without > 0) {
    ShowMessage(s.ui, "EnDec_RecipientWithoutKey", mb::kIconHand, NumText(without));
    return false;
  }
  if (fallback > 0) {
    if (s.key_type_answer == 0) {
      const char* key = s.PreferSecretKeys() ? "EnDec_NotAllRecipientsHadSecretKey"
                                             : "EnDec_NotAllRecipientsHadPublicKey";
      s.key_type_answer = AskUser(s.ui, key, MessageStyle(key), NumText(fallback));
    }
    if (s.key_type_answer != kIdYes) return false;
  }
  if (public_expired > 0) {
    ShowMessage(s.ui, "EnDec_PublicKeysExpired", mb::kIconHand, NumText(public_expired));
    return false;
  }
  if (secret_expired > 0) {
    ShowMessage(s.ui, "EnDec_SecretKeysExpired", mb::kIconHand, NumText(secret_expired));
  }
  return true;
}

Bytes EncryptSessionKeyWithSecretKey(PacketSession& s, std::string_view record,
                                     std::string_view session_key) {
  if (!HasFormat001(record)) {
    CheckRecordFormat(s.ui, record, kRecordFormat001);
    return {};
  }
  const SecretBytes k(DeriveSecretKey(record));
  const SecretBytes check = VerificationValue(s, 256, 32);
  Bytes entry = RecordHeader(pkt::kSecretKeyEntry);
  AppendField(AES_Encrypt_CBC(s.random, s.ui, session_key, k.str(), {}), entry);
  AppendField(AES_Encrypt_CBC(s.random, s.ui, check.str(), k.str(), {}), entry);
  return entry;
}

Bytes EncryptSessionKeyWithPublicKey(PacketSession& s, std::string_view record,
                                     std::string_view key_id, std::string_view session_key) {
  if (!HasFormat001(record)) {
    CheckRecordFormat(s.ui, record, kRecordFormat001);
    return {};
  }
  const Bytes wrapped = PublicKey_Encrypt_PKCS1_V15(s.kf, session_key, key_id);
  const Bytes verif = PublicKey_Encrypt_PKCS1_V15(s.kf, VerificationValue(s, 128, 16).str(), key_id);
  if (wrapped.empty() || verif.empty()) return {};
  return RecordHeader(pkt::kPublicKeyEntry) + Field(wrapped) + Field(key_id) + Field(verif);
}

bool Compose_SignedDatablock(PacketSession& s, LayeredRecord& r, std::string_view key_id,
                             std::string_view detached) {
  s.LogLine("Composing signed datablock");
  r.Wrap(Field(CurrentDateTimeRecord()));
  // The verification record, sealed for the signer, lets a receiver without the KeyID find
  // the key by trial.
  const Bytes verif = PublicKey_Encrypt_PKCS1_V15(s.kf, VerificationValue(s, 128, 16).str(), key_id);
  Bytes sig;
  if (detached.empty()) {
    sig = PublicKey_GenerateSignature_PKCS1_V15(s.kf, r.view(), key_id);
  } else {
    SecretBytes signed_data;
    signed_data.str().reserve(r.size() + detached.size());
    signed_data.str().append(r.view()).append(detached);
    sig = PublicKey_GenerateSignature_PKCS1_V15(s.kf, signed_data.str(), key_id);
  }
  if (sig.empty() || verif.empty()) {
    // Without its private record (or its public one) the key cannot sign: an empty signature
    // would go out as a packet that no receiver can verify.
    ShowMessage(s.ui, "EnDec_SigningKeyUnusable", mb::kIconHand, KeyNameOf(s, key_id));
    s.LogLine("No packet was made: the signing key cannot sign");
    return false;
  }
  r.Wrap(RecordHeader(pkt::kSignedDatablock));
  r.Reserve(12 + key_id.size() + verif.size() + sig.size());
  r.AppendField(key_id);
  r.AppendField(verif);
  r.AppendField(sig);
  return true;
}

bool Compose_EncryptionPacket(PacketSession& s, std::string_view text, LayeredRecord& packet) {
  packet.Drop();
  s.ClearStatus();
  s.SetStatusColour("green");
  if (!CheckEntropy(s.random, s.ui)) return false;
  if (s.encrypt && s.Recipients().empty()) {
    ShowMessage(s.ui, "EnDec_NoRecipientsSelected", mb::kIconHand);
    return false;
  }
  const Bytes signer = SigningKey(s.kf);
  if (s.sign && signer.empty()) {
    ShowMessage(s.ui, "EnDec_NoSigningKeySelected", mb::kIconExclamation);
    return false;
  }
  s.StartProgress(8);
  s.StepProgress();
  Bytes session_key = BBS_RandomBytes(s.random, s.ui, 32);
  s.StepProgress();
  const std::vector<Bytes> recipients = ListRecipientKeyIDs(s);
  if (!CheckForRequiredKeyTypes(s, recipients)) {
    Drop(session_key);
    s.EndProgress();
    return false;
  }
  s.StepProgress();
  s.StepProgress();
  // Every layer is made in place in one buffer: room in front for the headers, room behind for
  // padding, IV, session entries and a signature.
  const size_t tail = 64 + recipients.size() * 1200 + (s.sign ? 2048 : 0);
  Compose_PlainText_HMACrecord(s, text, session_key, packet, kLayerRoom, tail);
  s.StepProgress();
  if (s.sign && !Compose_SignedDatablock(s, packet, signer)) {
    packet.Drop();
    Drop(session_key);
    s.EndProgress();
    return false;
  }
  s.StepProgress();
  Compose_CompressedRecord(s, packet, kLayerRoom, tail);
  s.StepProgress();
  Compose_EncryptedDataRecord(s, packet, session_key);
  s.StepProgress();
  packet.Wrap(RecordHeader(pkt::kEncryptionPacket));
  for (const Bytes& id : recipients) {
    Bytes record;
    const char* type = ChosenKeyType(s, id, record);
    Bytes entry;
    if (type == rec::kSecretKey) {
      entry = EncryptSessionKeyWithSecretKey(s, record, session_key);
    } else if (type == rec::kEncryptionPublicKey) {
      entry = EncryptSessionKeyWithPublicKey(s, record, id, session_key);
    }
    Drop(record);
    if (entry.empty()) {
      // Leaving the recipient out would send a packet they cannot open, reported as success.
      ShowMessage(s.ui, "EnDec_RecipientKeyUnusable", mb::kIconHand, KeyNameOf(s, id));
      s.LogLine("No packet was made: a recipient's key cannot be used");
      Drop(session_key);
      packet.Release();
      s.EndProgress();
      return false;
    }
    packet.AppendField(entry);
  }
  Drop(session_key);
  s.EndProgress();
  return true;
}

Bytes Compose_EncryptionPacket(PacketSession& s, std::string_view text) {
  LayeredRecord packet;
  if (!Compose_EncryptionPacket(s, text, packet)) return {};
  return packet.Take();
}

Bytes FindKeyIDByVerificationRecord(PacketSession& s, std::string_view record) {
  long index = 0;
  while (true) {
    // The private record is wiped on every way out of this pass, `continue` included.
    const SecretBytes r(FindRecordOfType(s.kf, rec::kEncryptionPrivateKey, index));
    if (index < 0) return {};
    if (!HasFormat001(r.view())) continue;
    long pos = 7;
    const Bytes id = NextField(r.view(), pos);
    Bytes v = PublicKey_Decrypt(s.kf, record, id);
    const bool fits = VerificationFits(v, 16, 16);
    Drop(v);
    if (fits) return id;
  }
}

Bytes FindSessionKey(PacketSession& s, const std::vector<Bytes>& entries) {
  struct Row {
    char kind;
    Bytes wrapped, key_id, verif;
  };
  std::vector<Row> rows;
  for (const Bytes& e : entries) {
    const std::string_view type = std::string_view(e).substr(0, 3);
    if (type != pkt::kSecretKeyEntry && type != pkt::kPublicKeyEntry) continue;
    if (!CheckRecordFormat(s.ui, e, kRecordFormat001)) continue;
    long pos = 7;
    Row row;
    row.kind = type == pkt::kSecretKeyEntry ? 'S' : 'A';
    row.wrapped = NextField(e, pos);
    if (row.kind == 'A') row.key_id = NextField(e, pos);
    row.verif = NextField(e, pos);
    rows.push_back(std::move(row));
  }
  // Pass 1: every secret key against every secret-key entry. A derived key costs 8001 digests,
  // so each is derived once per search, and only when a row needs it.
  std::vector<Bytes> records;
  for (long index = 0;;) {
    Bytes r = FindRecordOfType(s.kf, rec::kSecretKey, index);
    if (index < 0) break;
    records.push_back(std::move(r));
  }
  std::vector<Bytes> derived(records.size());
  Bytes session_key;
  for (const Row& row : rows) {
    if (row.kind != 'S') continue;
    for (size_t k = 0; k < records.size() && session_key.empty(); ++k) {
      if (!HasFormat001(records[k])) continue;
      if (derived[k].empty()) derived[k] = DeriveSecretKey(records[k]);
      Bytes v = TrialDecrypt(s, row.verif, derived[k]);
      const bool fits = VerificationFits(v, 32, 32);
      Drop(v);
      if (fits) session_key = TrialDecrypt(s, row.wrapped, derived[k]);
    }
    if (!session_key.empty()) break;
  }
  for (Bytes& r : records) Drop(r);
  for (Bytes& k : derived) Drop(k);
  if (!session_key.empty()) return session_key;
  // Pass 2: public-key entries whose KeyID has a local public key.
  for (const Row& row : rows) {
    if (row.kind != 'A') continue;
    const Bytes pub = KeyRecord(s, rec::kEncryptionPublicKey, row.key_id);
    if (pub.empty() || !HasFormat001(pub)) continue;
    session_key = PublicKey_Decrypt(s.kf, row.wrapped, row.key_id);
    if (!session_key.empty()) return session_key;
  }
  // Pass 3: any local private key that opens an entry's verification record.
  for (const Row& row : rows) {
    if (row.kind != 'A') continue;
    const Bytes id = FindKeyIDByVerificationRecord(s, row.verif);
    if (id.empty()) continue;
    return PublicKey_Decrypt(s.kf, row.wrapped, id);
  }
  return {};
}

namespace {

// Opens a packet; with `writable` (the packet's own bytes, given up by the caller) its layers
// are decrypted where they lie, else the first layer is copied out.
Bytes OpenPacket(PacketSession& s, std::string_view packet, char* writable) {
  s.LogLine("Decomposing encryptionpacket");
  s.ClearStatus();
  s.SetStatusColour("green");
  if (packet.substr(0, 6) != "111001") {
    ShowMessage(s.ui, "Endec_NoEncryptionPacket", mb::kIconHand, "111001", packet.substr(0, 6));
    return {};
  }
  if (!CheckRecordFormat(s.ui, packet, kRecordFormat001)) return {};
  s.StartProgress(3);
  s.StepProgress();
  long pos = 7;
  const std::string_view data = FieldView(packet, pos);
  std::vector<Bytes> entries;
  while (pos >= 0) entries.push_back(NextField(packet, pos));
  s.StepProgress();
  Bytes key = FindSessionKey(s, entries);
  if (key.empty()) {
    ShowMessage(s.ui, "Endec_NoSessionKey", mb::kIconHand);
    s.EndProgress();
    return {};
  }
  Bytes text;
  // Only the HMAC layer releases contents. A packet whose layers end before it (a wrong or
  // forged session key decrypts to garbage) would otherwise fail without a word.
  bool reached_hmac = false, reported = false;
  // The layer at hand is a view: into the packet, or into `owned` once a layer had to be made
  // anew (decompressed, or decrypted out of a packet we may not write). Stored data and the
  // record inside a record are just narrower views.
  Bytes owned;
  bool x_writable = writable != nullptr;
  std::string_view in_packet;  // the part of the packet that holds plaintext now
  const auto decrypt = [&](std::string_view record) -> std::string_view {
    if (!x_writable) {
      Bytes next = Decompose_EncryptedDataRecord(s, record, key);
      Drop(owned);
      owned.swap(next);
      x_writable = true;
      return owned;
    }
    const std::less<const char*> before;
    const bool outside =
        before(record.data(), owned.data()) || !before(record.data(), owned.data() + owned.size());
    if (outside && in_packet.empty()) in_packet = record;
    return DecryptDataRecordInPlace(s, const_cast<char*>(record.data()), record.size(), key);
  };
  std::string_view x = data;
  if (data.substr(0, 3) == pkt::kEncryptedData) {
    s.StretchProgress();
    x = decrypt(data);
    reported = x.empty() && !HasFormat001(data);
  }
  int layers = 0;
  while (!x.empty()) {
    if (++layers > kMaxPacketLayers) {
      s.LogLine("  Packet has too many layers");
      ShowMessage(s.ui, "EnDec_TooManyLayers", mb::kIconHand, NumText(kMaxPacketLayers));
      reported = true;
      break;
    }
    s.StretchProgress();
    const std::string_view type = x.substr(0, 3);
    std::string_view next;
    if (type == pkt::kEncryptedData) {
      next = decrypt(x);
      reported = next.empty() && !HasFormat001(x);
    } else if (type == pkt::kCompressed) {
      Bytes out;
      bool is_stored = false;
      if (ReadCompressedRecord(s, x, out, next, is_stored) && !is_stored) {
        Drop(owned);
        owned.swap(out);
        x_writable = true;
        next = owned;
      }
      reported = next.empty();
    } else if (type == pkt::kSignedDatablock) {
      OpenSignedDatablock(s, {}, x, next);
      reported = next.empty();
    } else if (type == pkt::kHmac) {
      reached_hmac = true;
      std::string_view list;
      if (CheckHMACrecord(s, key, x, list)) text = ProcessPlaintextList(s, list);
    } else {
      reported = false;
    }
    x = next;
  }
  Drop(owned);
  if (!in_packet.empty()) WipeMemory(const_cast<char*>(in_packet.data()), in_packet.size());
  if (!reached_hmac && !reported) {
    s.LogLine("  Packet is damaged: its contents could not be reached");
    ShowMessage(s.ui, "Endec_HMACDoesNotMatch", mb::kIconHand);
  }
  Drop(key);
  s.EndProgress();
  return text;
}

}  // namespace

Bytes Decompose_EncryptionPacket(PacketSession& s, std::string_view packet) {
  return OpenPacket(s, packet, nullptr);
}

Bytes Decompose_EncryptionPacketInPlace(PacketSession& s, char* packet, size_t n) {
  return OpenPacket(s, std::string_view(packet, n), packet);
}

Bytes Compose_SignedDatablock(PacketSession& s, std::string_view detached,
                              std::string_view embedded, std::string_view key_id) {
  LayeredRecord r;
  r.Start(kLayerRoom, embedded.size() + 4200);
  r.Append(embedded);
  if (!Compose_SignedDatablock(s, r, key_id, detached)) {
    r.Drop();
    return {};
  }
  return r.Take();
}

bool OpenSignedDatablock(PacketSession& s, std::string_view detached, std::string_view record,
                         std::string_view& embedded) {
  embedded = {};
  s.LogLine("Decomposing signed datablock");
  if (!CheckRecordType(s.ui, record, pkt::kSignedDatablock) ||
      !CheckRecordFormat(s.ui, record, kRecordFormat001)) {
    return false;
  }
  long pos = 7;
  const std::string_view content = FieldView(record, pos);
  Bytes id = NextField(record, pos);
  const Bytes verif = NextField(record, pos);
  const Bytes sig = NextField(record, pos);
  if (KeyRecord(s, rec::kEncryptionPublicKey, id).empty()) {
    id = FindKeyIDByVerificationRecord(s, verif);
    if (id.empty()) {
      ShowMessage(s.ui, "EnDec_SigningKeyID_Not_Found", mb::kIconHand);
      return false;
    }
  }
  std::string name;
  UserId user;
  if (ReadUserId(s.kf, id, user, false)) {
    name = user.first_name + " " + user.last_name;
  } else {
    ShowMessage(s.ui, "EnDec_SigningKeyID_Not_Found", mb::kIconHand);
  }
  long cpos = 1;
  const Bytes date_record = NextField(content, cpos);
  const std::string_view inner = FieldView(content, cpos);
  const std::string when = FormatDateTimeRecord(s.ui, date_record);
  bool ok;
  if (detached.empty()) {
    ok = PublicKey_VerifySignature_PKCS1_V15(s.kf, content, sig, id) == 1;
  } else {
    Bytes signed_data;
    signed_data.reserve(content.size() + detached.size());
    signed_data.append(content).append(detached);
    ok = PublicKey_VerifySignature_PKCS1_V15(s.kf, signed_data, sig, id) == 1;
    Drop(signed_data);
  }
  const std::string verdict =
      std::string(ok ? "Signature OK! Signed at: " : "Bad signature! Signed at: ") + when + " by " +
      name + ". ";
  s.AppendStatus(verdict);
  s.SetStatusColour(ok ? "green" : "red");
  if (!ok) ShowMessage(s.ui, "Endec_SignatureDoesNotMatch", mb::kIconHand);
  s.LogLine("-- " + verdict);
  s.AppendSummary(verdict);
  embedded = inner;
  return true;
}

Bytes Decompose_SignedDatablock(PacketSession& s, std::string_view detached,
                                std::string_view record) {
  std::string_view embedded;
  return OpenSignedDatablock(s, detached, record, embedded) ? Bytes(embedded) : Bytes();
}

}  // namespace lq
