// Encryption packets end to end on a real keyfile: recipient lists, key-type question, expiry,
// every route of the key search, tampering of each layer, signatures inside packets, files.
#include "packet/encryption_packet.h"

#include <gtest/gtest.h>

#include <cstring>

#include "crypto/aes.h"
#include "crypto/sha256.h"
#include "keys/rsa_keys.h"
#include "packet/armor.h"
#include "packet/passphrase_packet.h"
#include "packet/signature_packet.h"
#include "packet_fixture.h"

namespace lq::test {
namespace {

class EncryptionPacket : public PacketTest {
 protected:
  Bytes Compose(const std::vector<Bytes>& recipients, const std::string& text) {
    ps->SetRecipients(recipients);
    return Compose_EncryptionPacket(*ps, text);
  }
  // The entry types of a packet, in order.
  std::vector<std::string> EntryTypes(const Bytes& packet) {
    std::vector<std::string> types;
    const auto f = Fields(packet);
    for (size_t i = 1; i < f.size(); ++i) types.push_back(f[i].substr(0, 6));
    return types;
  }
  // Rebuilds a packet from an encrypted data record and entries.
  static Bytes Packet(const Bytes& data, const std::vector<Bytes>& entries) {
    Bytes p = "111001" + Field(data);
    for (const auto& e : entries) p += Field(e);
    return p;
  }
  Bytes Record(std::string_view type, const Bytes& id) {
    long index = 0;
    return FindRecord(s.kf, type, id, index);
  }
};

TEST_F(EncryptionPacket, SecretKeyRoundTripWithFiles) {
  ps->attachments = {Input("a.txt", "first file"), Input("b.bin", std::string(5000, '\0') + "x"),
                     in.File("missing.txt")};
  ps->SetPreferSecretKeys(true);
  const Bytes packet = Compose({w->bob}, "Hello Bob");
  ASSERT_FALSE(packet.empty());
  EXPECT_EQ(EntryTypes(packet), std::vector<std::string>{"105001"});
  Forget();
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, packet), "Hello Bob");
  EXPECT_TRUE(s.ui.boxes.empty()) << s.ui.boxes[0].key;
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{"a.txt", "b.bin"}));
  EXPECT_EQ(ReadFile(Stored("b.bin")), std::string(5000, '\0') + "x");
  EXPECT_EQ(ps->Status().rfind("Packet was encrypted at: ", 0), 0u);
  EXPECT_NE(ps->Summary().find("Packet was encrypted at: "), std::string::npos);
  EXPECT_EQ(History(),
            (std::vector<std::string>{"Plaintext #1", "Plaintext file", "Plaintext file"}));
}

TEST_F(EncryptionPacket, PublicKeyRoundTripAndEntryCheckValues) {
  const Bytes packet = Compose({w->carol}, "to carol");
  ASSERT_EQ(EntryTypes(packet), std::vector<std::string>{"106001"});
  const auto entry = Fields(Fields(packet)[1]);
  ASSERT_EQ(entry.size(), 3u);
  EXPECT_EQ(entry[1], w->carol);
  // The verification record opens to R (16 bytes) and the first 16 bytes of its digest.
  const Bytes v = PublicKey_Decrypt(s.kf, entry[2], w->carol);
  ASSERT_EQ(v.size(), 32u);
  EXPECT_EQ(v.substr(16), SHA256_Hash(v.substr(0, 16)).substr(0, 16));
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, packet), "to carol");
}

TEST_F(EncryptionPacket, SecretEntryCheckValueIsRandomAndItsDigest) {
  ps->SetPreferSecretKeys(true);
  const Bytes packet = Compose({w->bob}, "x");
  const auto entry = Fields(Fields(packet)[1]);
  ASSERT_EQ(entry.size(), 2u);
  long index = 0;
  const Bytes rec = FindRecord(s.kf, rec::kSecretKey, w->bob, index);
  const Bytes k = SHA256_Iterated(Fields(rec)[1], kSecretKeySalt, 8000);
  const Bytes v = AES_Decrypt_CBC(s.ui, entry[1], k);
  ASSERT_EQ(v.size(), 64u);
  EXPECT_EQ(v.substr(32), SHA256_Hash(v.substr(0, 32)));
  EXPECT_EQ(AES_Decrypt_CBC(s.ui, entry[0], k).size(), 32u);
}

TEST_F(EncryptionPacket, GroupsAreExpandedSortedDescendingAndSenderAppended) {
  SetAlwaysEncrypt(s.kf, true);
  ps->SetPreferSecretKeys(true);
  s.ui.buttons.push_back(kIdYes);  // carol has only a public key
  // bob twice (directly and through the group): one entry each.
  ps->SetRecipients({w->team, w->bob});
  std::vector<Bytes> ids = ListRecipientKeyIDs(*ps);
  ASSERT_EQ(ids.size(), 3u);
  std::vector<Bytes> two = {w->bob, w->carol};
  std::sort(two.begin(), two.end(), [](const Bytes& a, const Bytes& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return (unsigned char)x > (unsigned char)y;
    });
  });
  EXPECT_EQ(ids[0], two[0]);
  EXPECT_EQ(ids[1], two[1]);
  EXPECT_EQ(ids[2], w->alice);
  const Bytes packet = Compose_EncryptionPacket(*ps, "team");
  EXPECT_EQ(Fields(packet).size(), 4u);  // data record + three entries
  // alice selected too: still only once.
  ps->SetRecipients({w->alice, w->bob});
  EXPECT_EQ(ListRecipientKeyIDs(*ps).size(), 2u);
  SetAlwaysEncrypt(s.kf, false);
  ps->SetRecipients({w->bob});
  EXPECT_EQ(ListRecipientKeyIDs(*ps), std::vector<Bytes>{w->bob});
}

TEST_F(EncryptionPacket, MixedKeyTypeQuestionIsRememberedUntilSelectionChanges) {
  ps->SetPreferSecretKeys(true);
  const Bytes packet = Compose({w->carol}, "q");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_NotAllRecipientsHadSecretKey"});
  EXPECT_NE(s.ui.boxes[0].text.find("1 recipients"), std::string::npos);
  EXPECT_EQ(EntryTypes(packet), std::vector<std::string>{"106001"});
  Forget();
  EXPECT_FALSE(Compose_EncryptionPacket(*ps, "again").empty());
  EXPECT_TRUE(s.ui.boxes.empty());  // remembered
  ps->SetRecipients({w->carol});    // a new selection forgets the answer
  s.ui.buttons.push_back(kIdNo);
  EXPECT_TRUE(Compose_EncryptionPacket(*ps, "no").empty());
  EXPECT_EQ(s.ui.MessageKeys().size(), 1u);
  EXPECT_TRUE(Compose_EncryptionPacket(*ps, "no again").empty());
  EXPECT_EQ(s.ui.MessageKeys().size(), 1u);  // the No is remembered as well
  ps->SetPreferSecretKeys(false);            // a new preference asks afresh: carol fits now
  EXPECT_FALSE(Compose_EncryptionPacket(*ps, "pub").empty());
  ps->SetRecipients({w->bob});
  Forget();
  EXPECT_FALSE(Compose_EncryptionPacket(*ps, "bob").empty());
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_NotAllRecipientsHadPublicKey"});
}

TEST_F(EncryptionPacket, RefusalsAndExpiry) {
  EXPECT_TRUE(Compose({}, "x").empty());
  EXPECT_EQ(s.ui.LastBox().key, "EnDec_NoRecipientsSelected");
  EXPECT_TRUE(Compose({w->gina, w->bob}, "x").empty());
  EXPECT_EQ(s.ui.LastBox().key, "EnDec_RecipientWithoutKey");
  EXPECT_NE(s.ui.LastBox().text.find("1 key recipient(s)"), std::string::npos);
  EXPECT_TRUE(Compose({w->frank}, "x").empty());
  EXPECT_EQ(s.ui.LastBox().key, "EnDec_PublicKeysExpired");
  Forget();
  ps->SetPreferSecretKeys(true);
  const Bytes packet = Compose({w->erin}, "old key");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_SecretKeysExpired"});
  EXPECT_EQ(EntryTypes(packet), std::vector<std::string>{"105001"});
  ps->sign = true;
  ClearSigningKey(s.kf);
  EXPECT_TRUE(Compose({w->bob}, "x").empty());
  EXPECT_EQ(s.ui.LastBox().key, "EnDec_NoSigningKeySelected");
}

TEST_F(EncryptionPacket, ProgressTakesEightStepsAndEnds) {
  Compose({w->carol}, "steps");
  std::vector<std::string> seen;
  for (const auto& c : s.ui.calls) {
    if (c.what == "ShowProgress" || c.what == "Progress" || c.what == "HideProgress") {
      seen.push_back(c.what + " " + std::to_string(c.number) + "/" + c.text);
    }
  }
  ASSERT_EQ(seen.size(), 10u);
  EXPECT_EQ(seen.front(), "ShowProgress 0/8");
  EXPECT_EQ(seen[8], "Progress 8/8");
  EXPECT_EQ(seen.back(), "HideProgress 0/");
}

TEST_F(EncryptionPacket, EmptyMessageWithoutFilesStillMakesAPacket) {
  const Bytes packet = Compose({w->carol}, "");
  ASSERT_FALSE(packet.empty());
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, packet), "");
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_TRUE(History().empty());
}

TEST_F(EncryptionPacket, SecretKeyIsTriedBeforeThePublicKeyEntry) {
  ps->SetPreferSecretKeys(true);
  const Bytes good = Compose({w->alice}, "secret wins");
  const auto f = Fields(good);
  ASSERT_EQ(EntryTypes(good), std::vector<std::string>{"105001"});
  // A public-key entry for the same user that carries a wrong session key.
  const Bytes wrong = EncryptSessionKeyWithPublicKey(
      *ps, Record(rec::kEncryptionPublicKey, w->alice), w->alice, Bytes(32, 'w'));
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, Packet(f[0], {wrong, f[1]})), "secret wins");
  // Alone, the public-key entry is used and its wrong key fails the packet.
  Forget();
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, Packet(f[0], {wrong})), "");
  EXPECT_EQ(s.ui.LastBox().key, "Endec_HMACDoesNotMatch");
}

TEST_F(EncryptionPacket, ListedKeyIdIsTriedBeforeTheBlindSearch) {
  const Bytes good = Compose({w->carol}, "listed first");
  const auto f = Fields(good);
  // An entry with an unknown KeyID whose verification record opens with carol's private key
  // but whose session key is wrong: the blind search would find it first.
  auto decoy = Fields(EncryptSessionKeyWithPublicKey(
      *ps, Record(rec::kEncryptionPublicKey, w->carol), w->carol, Bytes(32, 'd')));
  const Bytes decoy_entry = "106001" + Field(decoy[0]) + Field(Bytes(32, 'u')) + Field(decoy[2]);
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, Packet(f[0], {decoy_entry, f[1]})), "listed first");
}

TEST_F(EncryptionPacket, BlindSearchOpensAPacketWhoseKeyIdIsUnknown) {
  const Bytes packet = Compose({w->carol}, "found by verification record");
  // Carol's key re-imported under a new KeyID: the packet's KeyID is unknown here.
  const Bytes new_id(32, 'N');
  for (const char* type : {rec::kEncryptionPublicKey, rec::kEncryptionPrivateKey}) {
    RsaKeyRecord key;
    ASSERT_TRUE(ReadRsaKeyRecord(s.kf, type, w->carol, key));
    StoreKeyRecord(s.kf, type, RsaKeyFields(new_id, key));
    ASSERT_TRUE(DeleteKeyRecord(s.kf, type, w->carol));
  }
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, packet), "found by verification record");
  EXPECT_EQ(FindKeyIDByVerificationRecord(*ps, Fields(Fields(packet)[1])[2]), new_id);
}

// A wrong key decrypts a verification record to garbage whose padding byte usually strips it to
// a few or no bytes; halves of such a result must never count as a fit, or the first wrong key
// in the keyfile would be taken for the right one.
TEST_F(EncryptionPacket, WrongKeysNeverFitAVerificationRecord) {
  const Bytes stranger = "005001" + Field(Bytes(32, 's')) + Field("a secret nobody here has");
  for (int i = 0; i < 12; ++i) {
    const Bytes key = RandomBits(s.random, 256);
    const Bytes entry = EncryptSessionKeyWithSecretKey(*ps, stranger, key);
    const Bytes data = Compose_EncryptedDataRecord(
        *ps, Compose_CompressedRecord(*ps, Compose_PlainText_HMACrecord(*ps, "x", key)), key);
    Forget();
    EXPECT_EQ(Decompose_EncryptionPacket(*ps, Packet(data, {entry})), "");
    EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_NoSessionKey"}) << i;
    EXPECT_TRUE(FindKeyIDByVerificationRecord(*ps, RandomBits(s.random, 512)).empty());
  }
}

TEST_F(EncryptionPacket, NoUsableEntry) {
  const Bytes packet = Compose({w->carol}, "x");
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, Packet(Fields(packet)[0], {})), "");
  EXPECT_EQ(s.ui.LastBox().key, "Endec_NoSessionKey");
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, "112001" + packet.substr(6)), "");
  EXPECT_EQ(s.ui.LastBox().key, "Endec_NoEncryptionPacket");
  EXPECT_NE(s.ui.LastBox().text.find("111001"), std::string::npos);
}

// Flips one byte of the ciphertext and opens the packet: the packet is reported damaged, no
// text comes back and no file is written, whether the damage hits the compressed stream or
// (with compression off) the HMAC.
TEST_F(EncryptionPacket, TamperedCiphertextWritesNothing) {
  ps->attachments = {Input("t.txt", std::string(3000, 'a') + "tail")};
  for (bool never_compress : {false, true}) {
    ps->never_compress = never_compress;
    const Bytes packet = Compose({w->carol}, std::string(2000, 'z'));
    auto f = Fields(packet);
    for (size_t at : {size_t{40}, f[0].size() / 2, f[0].size() - 40}) {
      Bytes data = f[0];
      data[at] ^= 0x10;
      Forget();
      EXPECT_EQ(Decompose_EncryptionPacket(*ps, Packet(data, {f[1]})), "") << at;
      EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_HMACDoesNotMatch"}) << at;
      EXPECT_TRUE(StoredNames().empty());
      EXPECT_TRUE(History().empty());
    }
  }
}

TEST_F(EncryptionPacket, TamperedTransportDigestIsCaughtBeforeAnyKey) {
  ps->SetRecipients({w->carol});
  Bytes record = Compose_HashRecord(*ps, Compose_EncryptionPacket(*ps, "x"));
  record[record.size() - 5] ^= 1;
  Forget();
  EXPECT_TRUE(Decompose_HashRecord(*ps, record).empty());
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_HashDoesNotMatch"});
}

// Builds a signed packet by hand so that its signature can be damaged inside the encryption.
TEST_F(EncryptionPacket, BadSignatureStillDeliversTextAndFilesInRed) {
  ps->attachments = {Input("signed.txt", "signed file")};
  const Bytes key(32, 'K');
  for (bool damage : {false, true}) {
    Bytes b = Compose_SignedDatablock(
        *ps, {}, Compose_PlainText_HMACrecord(*ps, "signed text", key), w->alice);
    if (damage) b[b.size() - 3] ^= 0x01;
    const Bytes data = Compose_EncryptedDataRecord(*ps, Compose_CompressedRecord(*ps, b), key);
    const Bytes entry = EncryptSessionKeyWithPublicKey(
        *ps, Record(rec::kEncryptionPublicKey, w->carol), w->carol, key);
    std::filesystem::remove(Stored("signed.txt"));
    Forget();
    EXPECT_EQ(Decompose_EncryptionPacket(*ps, Packet(data, {entry})), "signed text");
    EXPECT_EQ(ReadFile(Stored("signed.txt")), "signed file");
    if (damage) {
      EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_SignatureDoesNotMatch"});
      EXPECT_EQ(s.ui.status_colour, kStatusColourRed);
      EXPECT_NE(ps->Status().find("Bad signature! Signed at: "), std::string::npos);
      EXPECT_NE(ps->Summary().find(" by Alice Liddell. "), std::string::npos);
    } else {
      EXPECT_TRUE(s.ui.boxes.empty());
      EXPECT_EQ(s.ui.status_colour, kStatusColourGreen);
      EXPECT_NE(ps->Status().find("Signature OK! Signed at: "), std::string::npos);
      EXPECT_EQ(CountLog("-- Signature OK! Signed at: " +
                         ps->Status().substr(ps->Status().find("Signed at: ") + 11)),
                1);
    }
  }
}

TEST_F(EncryptionPacket, SignedAndEncryptedRoundTrip) {
  ps->sign = true;
  const Bytes packet = Compose({w->bob, w->carol}, "signed and sealed");
  ASSERT_EQ(Fields(packet).size(), 3u);
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, packet), "signed and sealed");
  EXPECT_NE(ps->Summary().find("Signature OK!"), std::string::npos);
  // The verdict comes first (the signature is outside the HMAC layer), so the date stays out
  // of the status line but not out of the summary.
  EXPECT_EQ(ps->Status().find("Signature OK!"), 0u);
  EXPECT_EQ(ps->Status().find("Packet was encrypted at: "), std::string::npos);
  EXPECT_NE(ps->Summary().find("Packet was encrypted at: "), std::string::npos);
}

TEST_F(EncryptionPacket, SignerFoundThroughVerificationRecord) {
  // Without alice's public encryption key record the signer is found by her private key.
  const Bytes b = Compose_SignedDatablock(*ps, "detached", "embedded", w->alice);
  ASSERT_TRUE(DeleteKeyRecord(s.kf, rec::kEncryptionPublicKey, w->alice));
  EXPECT_EQ(Decompose_SignedDatablock(*ps, "detached", b), "embedded");
  EXPECT_NE(ps->Status().find("Signature OK!"), std::string::npos);
  // Without the private key either, nothing can check it.
  ASSERT_TRUE(DeleteKeyRecord(s.kf, rec::kEncryptionPrivateKey, w->alice));
  Forget();
  EXPECT_EQ(Decompose_SignedDatablock(*ps, "detached", b), "");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_SigningKeyID_Not_Found"});
}

TEST_F(EncryptionPacket, LayersInAnyOrderAndArmoredTextInHistory) {
  const Bytes key(32, 'L');
  const std::string inner_armor = Armor_Packet(s.ui, "payload");
  // Encrypted data straight around the HMAC record, no compression layer.
  const Bytes data = Compose_EncryptedDataRecord(
      *ps, Compose_PlainText_HMACrecord(*ps, "see: " + inner_armor, key), key);
  const Bytes entry = EncryptSessionKeyWithPublicKey(
      *ps, Record(rec::kEncryptionPublicKey, w->carol), w->carol, key);
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, Packet(data, {entry})), "see: " + inner_armor);
  EXPECT_EQ(History(), std::vector<std::string>{"Ciphertext #1"});
  ps->keep_history = false;
  Forget();
  Decompose_EncryptionPacket(*ps, Packet(data, {entry}));
  EXPECT_EQ(History(), std::vector<std::string>{"Not stored"});
}

}  // namespace
}  // namespace lq::test

namespace lq::test {
namespace {

// Hardening: failures that used to pass as success, unbounded layers, noisy trial decryption.
class PacketHardening : public EncryptionPacket {};

TEST_F(PacketHardening, RecipientWhoseKeyCannotBeUsedStopsThePacket) {
  // Carol's public key with e = 1 (an exponent that would leave the block readable).
  RsaKeyRecord pub;
  ASSERT_TRUE(ReadRsaKeyRecord(s.kf, rec::kEncryptionPublicKey, w->carol, pub));
  pub.exponent = BigFromWord(1);
  StoreKeyRecord(s.kf, rec::kEncryptionPublicKey, EncryptionPublicKeyFields(w->carol, pub, {}));
  ps->SetPreferSecretKeys(true);
  Forget();
  // Bob has a secret key, Carol only her public one: the mixed-types question, then the stop.
  EXPECT_EQ(Compose({w->bob, w->carol}, "to both"), "");
  EXPECT_EQ(s.ui.MessageKeys(), (std::vector<std::string>{"EnDec_NotAllRecipientsHadSecretKey",
                                                          "EnDec_RecipientKeyUnusable"}));
  EXPECT_NE(s.ui.LastBox().text.find("Carol"), std::string::npos) << s.ui.LastBox().text;
  EXPECT_EQ(CountLog("Finished succesfully"), 0);
}

TEST_F(PacketHardening, SigningKeyWithoutPrivateRecordStopsThePacket) {
  ASSERT_TRUE(DeleteKeyRecord(s.kf, rec::kSigningPrivateKey, w->alice));
  ps->sign = true;
  Forget();
  EXPECT_EQ(Compose({w->carol}, "signed"), "");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_SigningKeyUnusable"});
  EXPECT_NE(s.ui.LastBox().text.find("Alice"), std::string::npos);
  Forget();
  EXPECT_EQ(Compose_SignaturePacket(*ps, "signed text"), "");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_SigningKeyUnusable"});
  EXPECT_EQ(CountLog("Finished succesfully"), 0);
  Forget();
  EXPECT_EQ(Compose_SignedTextArmor(*ps, "signed text"), "");
}

TEST_F(PacketHardening, TrialDecryptionsOfForgedEntriesAreSilent) {
  const Bytes packet = Compose({w->carol}, "x");
  const auto f = Fields(packet);
  // Secret-key entries whose check field is not whole AES blocks, tried with every secret key.
  const Bytes forged = "105001" + Field(Bytes(48, 'w')) + Field(Bytes(17, 'v'));
  Forget();
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, Packet(f[0], {forged, forged})), "");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_NoSessionKey"});
  EXPECT_EQ(s.ui.boxes.size(), 1u);
  // The search goes on past them, quietly, to the entry that fits.
  Forget();
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, Packet(f[0], {forged, f[1]})), "x");
  EXPECT_TRUE(s.ui.boxes.empty());
}

TEST_F(PacketHardening, LayersNestedTooDeepAreRefused) {
  const Bytes key(32, 'N');
  Bytes layer = Compose_PlainText_HMACrecord(*ps, "deep", key);
  const Bytes entry = EncryptSessionKeyWithPublicKey(
      *ps, Record(rec::kEncryptionPublicKey, w->carol), w->carol, key);
  ps->never_compress = false;
  // Our own packets have at most four layers; up to sixteen open, more do not.
  for (int depth = 1; depth <= 20; ++depth) {
    layer = Compose_CompressedRecord(*ps, layer);
    const Bytes packet = Packet(Compose_EncryptedDataRecord(*ps, layer, key), {entry});
    Forget();
    const Bytes text = Decompose_EncryptionPacket(*ps, packet);
    if (depth + 1 <= kMaxPacketLayers) {
      EXPECT_EQ(text, "deep") << depth;
      EXPECT_TRUE(s.ui.boxes.empty()) << depth;
    } else {
      EXPECT_EQ(text, "") << depth;
      EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_TooManyLayers"}) << depth;
    }
  }
}

TEST_F(PacketHardening, StatedSizeAboveTheCeilingIsRefusedBeforeAllocating) {
  const Bytes key(32, 'C');
  const Bytes entry = EncryptSessionKeyWithPublicKey(
      *ps, Record(rec::kEncryptionPublicKey, w->carol), w->carol, key);
  // A compressed record whose stream states 4 GiB - 1: refused at once, named as too large.
  Bytes huge = "102001" + Field("LZ78") + Field(std::string("\xFF\xFF\xFF\xFF", 4) + "\x01\x00");
  Forget();
  EXPECT_EQ(
      Decompose_EncryptionPacket(*ps, Packet(Compose_EncryptedDataRecord(*ps, huge, key), {entry})),
      "");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_PacketTooLarge"});
  EXPECT_NE(s.ui.LastBox().text.find(" 4294967295"), std::string::npos) << s.ui.LastBox().text;
  EXPECT_NE(s.ui.LastBox().text.find(" 1073741824"), std::string::npos) << s.ui.LastBox().text;
  // The ceiling is the session's: an honest packet above a lowered one is refused, and opens
  // once it is raised again.
  const Bytes packet = Compose({w->carol}, std::string(5000, 'q'));
  ps->max_plaintext_bytes = 1000;
  Forget();
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, packet), "");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_PacketTooLarge"});
  ps->max_plaintext_bytes = kMaxPlaintextBytes;
  Forget();
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, packet), std::string(5000, 'q'));
}

bool FixedBytes(void* out, size_t length) {
  std::memset(out, 7, length);
  return true;
}

TEST_F(PacketHardening, WithoutOsEntropyNoPacketIsMade) {
  const EntropySource source[] = {FixedBytes};
  RuntimeGenerator generator(source, 1);
  RandomContext weak(generator);
  weak.outside_entropy = false;  // stands for a generator whose OS sources all failed
  PacketSession ws(s.ui, weak, s.kf);
  ws.SetRecipients({w->carol});
  Forget();
  EXPECT_EQ(Compose_EncryptionPacket(ws, "text"), "");
  EXPECT_EQ(Compose_SignaturePacket(ws, "text"), "");
  EXPECT_EQ(Compose_PassphrasePacket(ws, "note", "text", "pass"), "");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>(3, "Random_NoEntropy"));
}

TEST_F(PacketHardening, StoreFolderWithoutSeparatorStillStoresInsideIt) {
  ps->attachments = {Input("inside.txt", "kept inside")};
  const Bytes packet = Compose({w->carol}, "files");
  ps->store_folder.pop_back();  // ".../store" without its separator
  Forget();
  EXPECT_EQ(Decompose_EncryptionPacket(*ps, packet), "files");
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"inside.txt"});
  EXPECT_EQ(AllOutputEntries(), (std::vector<std::string>{"store", "store/inside.txt"}));
}

}  // namespace
}  // namespace lq::test
