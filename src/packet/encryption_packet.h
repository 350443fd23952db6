// Encryption packets: composing one for a set of recipients (secret-key and public-key session
// entries), opening one with the keys of the open keyfile, and the signed data blocks that
// packets and signature packets carry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "packet/packet_records.h"
#include "packet/packet_session.h"

namespace lq {

// The constant the key of a secret key record is stretched with.
inline constexpr char kSecretKeySalt[] = "k7#v.2qrz90)--!mp3&41";
constexpr int kSecretKeyRounds = 8000;

// The selected keys with groups replaced by their members, de-duplicated, in descending byte
// order; the signing key appended last when always-encrypt is on and it is not listed yet.
std::vector<Bytes> ListRecipientKeyIDs(PacketSession& s);

// Checks that every recipient has a usable key of the preferred or the other type, asks (once
// until selection or preference change) whether mixing key types is fine, refuses expired
// public keys and warns about expired secret keys. False when the packet must not be made.
bool CheckForRequiredKeyTypes(PacketSession& s, const std::vector<Bytes>& recipients);

// Session entries "105001" / "106001"; empty when the record cannot be used.
Bytes EncryptSessionKeyWithSecretKey(PacketSession& s, std::string_view record,
                                     std::string_view session_key);
Bytes EncryptSessionKeyWithPublicKey(PacketSession& s, std::string_view record,
                                     std::string_view key_id, std::string_view session_key);

// The packet "111001" + f(EncryptedDataRecord) + one f(entry) per recipient, or empty (reason
// shown).
Bytes Compose_EncryptionPacket(PacketSession& s, std::string_view text);
// The same built in a layered record, with kLayerRoom bytes in front for the caller's own
// layers; false (and an empty record) when it was not made.
bool Compose_EncryptionPacket(PacketSession& s, std::string_view text, LayeredRecord& packet);

// Opens a packet: the message text, or empty. Files are saved into the store folder, verdicts
// go to the status line and the summary.
Bytes Decompose_EncryptionPacket(PacketSession& s, std::string_view packet);
// The same for a packet the caller gives up: its layers are decrypted where they lie, so a large
// packet is never held twice. The packet's bytes are overwritten and the plaintext in them wiped.
Bytes Decompose_EncryptionPacketInPlace(PacketSession& s, char* packet, size_t n);

// The 32-byte session key from the packet's entries: secret keys first, then public-key entries
// by their KeyID, then a blind search with the verification records. Empty when none fits.
Bytes FindSessionKey(PacketSession& s, const std::vector<Bytes>& entries);

// "103001" + f(f(date) + f(embedded)) + f(id) + f(verification record) + f(signature over
// content || detached).
Bytes Compose_SignedDatablock(PacketSession& s, std::string_view detached,
                              std::string_view embedded, std::string_view key_id);
// The same around a layered record that holds the embedded part, in place: false (message
// shown, the record left half-wrapped for the caller to drop) when the key cannot sign.
bool Compose_SignedDatablock(PacketSession& s, LayeredRecord& r, std::string_view key_id,
                             std::string_view detached = {});
// Checks the signature of a signed data block, reports the verdict and points `embedded` into
// the record (also after a bad signature); false (message shown) when no key to check it was
// found.
bool OpenSignedDatablock(PacketSession& s, std::string_view detached, std::string_view record,
                         std::string_view& embedded);
// Checks the signature and reports the verdict; returns the embedded part (also after a bad
// signature), or empty when no key to check it was found.
Bytes Decompose_SignedDatablock(PacketSession& s, std::string_view detached,
                                std::string_view record);
// The KeyID of the encryption private key that opens a verification record, or empty.
Bytes FindKeyIDByVerificationRecord(PacketSession& s, std::string_view record);

}  // namespace lq
