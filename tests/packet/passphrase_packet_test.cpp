// The passphrase packet of self-extracting programs: right and wrong passphrases, check values
// of the wrong length, files and the folder question, damage.
#include "packet/passphrase_packet.h"

#include <gtest/gtest.h>

#include "crypto/aes.h"
#include "crypto/sha256.h"
#include "packet_fixture.h"

namespace lq::test {
namespace {

class PassphrasePacket : public PacketTest {
 protected:
  OpenedPassphrasePacket Open(const Bytes& packet, const std::string& passphrase) {
    std::string p = passphrase;
    OpenedPassphrasePacket r = Open_PassphrasePacket(*ps, packet, p);
    EXPECT_TRUE(p.empty());
    return r;
  }
  // Rebuilds a packet with another check record, encrypted under the right key.
  Bytes WithCheckValue(const Bytes& packet, const std::string& passphrase, const Bytes& value) {
    const auto f = Fields(Decompose_HashRecord(*ps, packet), 1);
    const Bytes key = SHA256_Iterated(passphrase, f[1], kPassphraseRounds);
    const Bytes check = Compose_EncryptedDataRecord(*ps, value, key);
    return Compose_HashRecord(*ps, Field(f[0]) + Field(f[1]) + Field(check) + Field(f[3]));
  }
};

TEST_F(PassphrasePacket, RightPassphraseGivesTextFilesAndDate) {
  ps->attachments = {Input("photo.jpg", std::string(2000, '\x7f'))};
  const Bytes packet =
      Compose_PassphrasePacket(*ps, "a note for you", "secret text", "open sesame");
  const auto f = Fields(Decompose_HashRecord(*ps, packet), 1);
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f[0], "a note for you");
  EXPECT_EQ(f[1].size(), 40u);
  EXPECT_EQ(PassphrasePacketNote(*ps, packet), "a note for you");
  // The viewer starts without a folder: it asks once.
  ps->store_folder.clear();
  s.ui.chosen_folders.push_back(out.Path() + "/store");
  Forget();
  const auto r = Open(packet, "open sesame");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.text, "secret text");
  EXPECT_EQ(r.encrypted_at.rfind("Packet was encrypted at: ", 0), 0u);
  EXPECT_EQ(r.files_in_packet, 1);
  EXPECT_EQ(ReadFile(Stored("photo.jpg")), std::string(2000, '\x7f'));
  EXPECT_TRUE(s.ui.boxes.empty());
  // Two packets of the same message differ (salt, check value, padding).
  EXPECT_NE(Compose_PassphrasePacket(*ps, "a note for you", "secret text", "open sesame"), packet);
}

TEST_F(PassphrasePacket, NoFilesNeverAsksForAFolder) {
  const Bytes packet = Compose_PassphrasePacket(*ps, "", "just text", "pw");
  ps->store_folder.clear();
  const auto r = Open(packet, "pw");
  EXPECT_EQ(r.text, "just text");
  for (const auto& c : s.ui.calls) EXPECT_NE(c.what, "ChooseFolder");
}

// Wrong passphrases decrypt the check value to garbage whose padding byte often strips it to a
// few or no bytes; none of those may count as a match, and the data record stays untouched.
TEST_F(PassphrasePacket, EveryWrongPassphraseIsRefusedBeforeTheData) {
  ps->attachments = {Input("x.txt", "x")};
  const Bytes packet = Compose_PassphrasePacket(*ps, "note", "text", "correct horse");
  for (int i = 0; i < 150; ++i) {
    Forget();
    const auto r = Open(packet, "wrong " + std::to_string(i));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_WrongPassphrase"}) << i;
    EXPECT_EQ(CountLog("Decrypting data"), 0) << i;
  }
  EXPECT_TRUE(StoredNames().empty());
}

TEST_F(PassphrasePacket, CheckValuesOfTheWrongShapeAreRefused) {
  const Bytes packet = Compose_PassphrasePacket(*ps, "n", "t", "pw");
  const Bytes shapes[] = {"",
                          std::string(12, 'a'),
                          std::string(23, 'a'),
                          std::string(25, 'a'),
                          std::string(12, 'a') + std::string(12, 'b'),
                          std::string(48, 'a')};
  for (const auto& v : shapes) {
    Forget();
    EXPECT_FALSE(Open(WithCheckValue(packet, "pw", v), "pw").ok) << v.size();
    EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_WrongPassphrase"});
  }
  Forget();
  EXPECT_TRUE(Open(WithCheckValue(packet, "pw", std::string(24, 'c')), "pw").ok);
}

TEST_F(PassphrasePacket, DamageIsReported) {
  Bytes packet = Compose_PassphrasePacket(*ps, "n", std::string(500, 't'), "pw");
  packet[packet.size() - 20] ^= 1;
  EXPECT_FALSE(Open(packet, "pw").ok);
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_HashDoesNotMatch"});
}

}  // namespace
}  // namespace lq::test
