// Building and opening the passphrase packet of self-extracting programs.
#include "packet/passphrase_packet.h"

#include "base/catalogue.h"
#include "base/records.h"
#include "crypto/aes.h"
#include "crypto/sha256.h"
#include "packet/packet_records.h"

namespace lq {

Bytes Compose_PassphrasePacket(PacketSession& s, std::string_view note, std::string_view text,
                               std::string_view passphrase) {
  if (!CheckEntropy(s.random, s.ui)) return {};
  Bytes salt = BBS_RandomBytes(s.random, s.ui, kPassphraseSaltSize);
  salt.resize(kPassphraseSaltSize);
  Bytes key = SHA256_Iterated(passphrase, salt, kPassphraseRounds);
  Bytes plain = Compose_PlainText_HMACrecord(s, text, key);
  Bytes compressed = Compose_CompressedRecord(s, plain);
  Drop(plain);
  const Bytes data = Compose_EncryptedDataRecord(s, compressed, key);
  Drop(compressed);
  Bytes q = RandomBits(s.random, 96);
  Bytes qq = q + q;
  const Bytes check = Compose_EncryptedDataRecord(s, qq, key);
  Drop(q);
  Drop(qq);
  Drop(key);
  Bytes list;
  list.reserve(data.size() + note.size() + 200);
  AppendField(note, list);
  AppendField(salt, list);
  AppendField(check, list);
  AppendField(data, list);
  return Compose_HashRecord(s, list);
}

Bytes PassphrasePacketNote(PacketSession& s, std::string_view packet) {
  const Bytes p = Decompose_HashRecord(s, packet);
  long pos = 1;
  return p.empty() ? Bytes() : NextField(p, pos);
}

OpenedPassphrasePacket Open_PassphrasePacket(PacketSession& s, std::string_view packet,
                                             std::string& passphrase) {
  OpenedPassphrasePacket out;
  const Bytes p = Decompose_HashRecord(s, packet);
  if (p.empty()) {
    Drop(passphrase);
    return out;
  }
  long pos = 1;
  NextField(p, pos);  // the note, shown before any passphrase was asked for
  const Bytes salt = NextField(p, pos);
  const Bytes check = NextField(p, pos);
  const Bytes data = NextField(p, pos);
  Bytes key = SHA256_Iterated(passphrase, salt, kPassphraseRounds);
  Drop(passphrase);
  // Only a check value of exactly two equal 12-byte halves proves the passphrase: a wrong key
  // gives garbage whose padding byte may strip it to nothing, and two empty halves are equal.
  Bytes v;
  if (check.substr(0, 6) == "104001") {
    long cpos = 7;
    v = AES_Decrypt_CBC(s.ui, NextField(check, cpos), key);
  }
  const bool right = v.size() == 2 * kCheckHalfSize &&
                     ConstantTimeEqual(std::string_view(v).substr(0, kCheckHalfSize),
                                       std::string_view(v).substr(kCheckHalfSize));
  Drop(v);
  if (!right) {
    Drop(key);
    ShowMessage(s.ui, "EnDec_WrongPassphrase", mb::kIconHand);
    return out;
  }
  Bytes x = Decompose_EncryptedDataRecord(s, data, key);
  if (!x.empty()) {
    Bytes y = Decompose_CompressedRecord(s, x);
    Drop(x);
    x.swap(y);
  }
  Bytes list = x.empty() ? Bytes() : Decompose_HMACrecord(s, key, x);
  Drop(x);
  Drop(key);
  if (list.empty()) return out;
  long lpos = 1;
  const Bytes date = NextField(list, lpos);
  out.encrypted_at = "Packet was encrypted at: " + FormatDateTimeRecord(s.ui, date);
  const Bytes text_record = NextField(list, lpos);
  if (CheckRecordType(s.ui, text_record, "100") &&
      CheckRecordFormat(s.ui, text_record, kRecordFormat001)) {
    long tpos = 7;
    out.text = NextField(text_record, tpos);
  }
  out.ok = true;
  std::vector<Bytes> files;
  while (lpos >= 0) files.push_back(NextField(list, lpos));
  Drop(list);
  out.files_in_packet = static_cast<int>(files.size());
  if (!files.empty() && s.store_folder.empty()) {
    std::string folder = s.ui.ChooseFolder("Select a directory to store encrypted files", "");
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
    s.store_folder = folder;
  }
  for (Bytes& f : files) {
    if (!s.store_folder.empty()) Decompose_PlainTextFileRecord(s, f);
    Drop(f);
  }
  return out;
}

}  // namespace lq
