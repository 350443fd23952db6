// Signature packets and signed text, packet files with their name answers, and reading armored
// text of every kind.
#include "packet/signature_packet.h"

#include <gtest/gtest.h>

#include "crypto/sha256.h"
#include "packet/armor.h"
#include "packet/encryption_packet.h"
#include "packet_fixture.h"

namespace lq::test {
namespace {

class SignaturePacket : public PacketTest {
 protected:
  void SetUp() override {
    PacketTest::SetUp();
    ps->SetRecipients({w->carol});
  }
  std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t p = 0; (p = text.find(from, p)) != std::string::npos; p += to.size()) {
      text.replace(p, from.size(), to);
    }
    return text;
  }
};

TEST_F(SignaturePacket, WithoutFilesItsEmbeddedPartIsAnEmptyHashRecord) {
  ps->never_compress = true;
  const Bytes packet = Compose_SignaturePacket(*ps, "text");
  ASSERT_EQ(packet.substr(0, 6), "112001");
  const auto compressed = Fields(Fields(packet)[0]);
  const auto block = Fields(compressed[1]);
  const auto content = Fields(block[0], 1);
  EXPECT_EQ(content[1], "108001" + Field(SHA256_Hash("")) + Field(""));
  EXPECT_EQ(block[1], w->alice);
  EXPECT_EQ(CountLog("Finished succesfully"), 1);
}

TEST_F(SignaturePacket, SignedTextSurvivesRewrappingButNotAChangedCharacter) {
  const std::string text = "Dear Bob,\r\n\r\nthe meeting is at  ten.\r\n\tRegards\r\nAlice";
  const std::string armor = Compose_SignedTextArmor(*ps, text);
  ASSERT_FALSE(armor.empty());
  EXPECT_NE(armor.find(text), std::string::npos);  // shown as written
  const std::string variants[] = {
      armor,
      Replace(armor, "Dear Bob,\r\n\r\n", "Dear Bob,\r\n"),
      Replace(armor, "\t", "    "),
      Replace(armor, "at  ten", "at\r\nten"),
      "> quoted reply:\r\n" + armor,
  };
  for (const auto& v : variants) {
    Forget();
    ReadArmoredText(*ps, v);
    EXPECT_TRUE(s.ui.boxes.empty()) << v;
    EXPECT_EQ(ps->Status().find("Signature OK! Signed at: "), 0u) << v;
    EXPECT_EQ(s.ui.status_colour, kStatusColourGreen);
  }
  Forget();
  ReadArmoredText(*ps, Replace(armor, "ten", "two"));
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_SignatureDoesNotMatch"});
  EXPECT_EQ(s.ui.status_colour, kStatusColourRed);
  EXPECT_EQ(ps->Status().find("Bad signature! Signed at: "), 0u);
  EXPECT_EQ(History(), std::vector<std::string>{"Verified text #6"});
}

TEST_F(SignaturePacket, SignedFilesAreSavedAndADamagedFileListIsNot) {
  ps->attachments = {Input("contract.txt", "terms"), in.File("absent.txt")};
  Bytes packet = Compose_SignaturePacket(*ps, "see file");
  Decompose_SignaturePacket(*ps, packet, "see file");
  EXPECT_TRUE(s.ui.boxes.empty());
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"contract.txt"});
  // A bad signature (text changed) still saves the files.
  std::filesystem::remove(Stored("contract.txt"));
  Forget();
  Decompose_SignaturePacket(*ps, packet, "see filE");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_SignatureDoesNotMatch"});
  EXPECT_EQ(StoredNames(), std::vector<std::string>{"contract.txt"});
  // Text armored inside the signed text: listed as signed text.
  Forget();
  Decompose_SignaturePacket(*ps, packet, Armor_Packet(s.ui, "x"));
  EXPECT_EQ(History().front(), "Signed text #3");
  Forget();
  Decompose_SignaturePacket(*ps, "111001" + packet.substr(6), "see file");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_NoSignaturePacket"});
}

// A file list whose hash record does not match (signed as it is, so the signature holds):
// the digest failure is shown and no file is saved.
TEST_F(SignaturePacket, DamagedFileListSavesNothing) {
  Bytes files =
      Compose_HashRecord(*ps, Field(Compose_PlainTextFileRecord(*ps, Input("f.txt", "f"))));
  files[files.size() - 1] ^= 1;
  const Bytes block = Compose_SignedDatablock(*ps, "text", files, w->alice);
  const Bytes packet = "112001" + Field(Compose_CompressedRecord(*ps, block));
  Forget();
  Decompose_SignaturePacket(*ps, packet, "text");
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_HashDoesNotMatch"});
  EXPECT_EQ(ps->Status().find("Signature OK!"), 0u);
  EXPECT_TRUE(StoredNames().empty());
}

TEST_F(SignaturePacket, NoSigningKey) {
  ClearSigningKey(s.kf);
  EXPECT_TRUE(Compose_SignaturePacket(*ps, "t").empty());
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_NoSigningKeySelected"});
  EXPECT_EQ(CountLog("No signing key was selected"), 1);
}

TEST_F(SignaturePacket, ArmoredPacketReadBackAndKeyArmorRefused) {
  const std::string armor = Compose_PacketArmor(*ps, "armored message");
  Forget();
  const OpenedText t = ReadArmoredText(*ps, "Some words first\r\n" + armor + "\r\nbye");
  EXPECT_TRUE(t.shown);
  EXPECT_FALSE(t.rich);
  EXPECT_EQ(t.text, "armored message");
  EXPECT_TRUE(s.ui.boxes.empty());
  Forget();
  ReadArmoredText(*ps, ArmorText(kPublicKeyStart, kPublicKeyEnd, "key"));
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_NoPublicKeyExpected"});
  Forget();
  ReadArmoredText(*ps, Armor_Packet(s.ui, "111001 not a hash record"));
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_NoHashRecord"});
  Forget();
  ReadArmoredText(*ps, "nothing here");
  EXPECT_EQ(CountLog("Not in ascii-armor format! Action aborted.."), 1);
  // A damaged transport digest stops before any key is tried.
  std::string damaged = armor;
  damaged[std::string(kPacketStart).size() + 30] ^= 0x01;
  Forget();
  ReadArmoredText(*ps, damaged);
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_HashDoesNotMatch"});
}

TEST_F(SignaturePacket, PacketFilesEncryptedAndSignedUnderAnyExtension) {
  const std::string enc = out.File("msg.lqe");
  ps->attachments = {Input("inside.bin", "payload")};
  ASSERT_EQ(Compose_PacketFile(*ps, enc, "sealed", true), 0);
  EXPECT_EQ(CountLog("Saving file: " + enc), 1);
  std::filesystem::rename(enc, out.File("msg.dat"));
  OpenedText t = Decompose_PacketFile(*ps, out.File("msg.dat"));
  EXPECT_TRUE(t.shown);
  EXPECT_TRUE(t.rich);
  EXPECT_EQ(t.text, "sealed");
  EXPECT_EQ(ReadFile(Stored("inside.bin")), "payload");
  const std::string sig = out.File("signed.lqe");
  const std::string clear = "clear  text\r\n kept as is";
  ASSERT_EQ(Compose_PacketFile(*ps, sig, clear, false), 0);
  Forget();
  t = Decompose_PacketFile(*ps, sig);
  EXPECT_FALSE(t.rich);
  EXPECT_EQ(t.text, clear);
  EXPECT_EQ(ps->Status().find("Signature OK!"), 0u);
  EXPECT_TRUE(s.ui.boxes.empty());
}

TEST_F(SignaturePacket, LargeAttachmentsRoundTripThroughFileArmorAndContent) {
  // Random data is stored, text-like data compressed: both ways of the compressed layer.
  std::string random_part(3 << 20, '\0'), text_part;
  uint32_t x = 7;
  for (char& c : random_part) c = static_cast<char>((x = x * 1664525 + 1013904223) >> 24);
  while (text_part.size() < (1 << 20)) text_part += "a fairly repetitive line of mail\r\n";
  ps->attachments = {Input("random.bin", random_part), Input("text.txt", text_part)};
  ps->sign = true;
  const std::string file = out.File("big.lqe");
  ASSERT_EQ(Compose_PacketFile(*ps, file, "big one", true), 0);
  Bytes content = ReadFile(file);
  OpenedText t = Decompose_PacketFileContent(*ps, file, content);
  EXPECT_EQ(t.text, "big one");
  EXPECT_EQ(ReadFile(Stored("random.bin")), random_part);
  EXPECT_EQ(ReadFile(Stored("text.txt")), text_part);
  EXPECT_EQ(ps->Status().find("Signature OK!"), 0u);
  // Opened where it lay: no plaintext is left in the content it was given.
  EXPECT_EQ(content.find(random_part.substr(1000, 64)), std::string::npos);
  EXPECT_EQ(content.find("a fairly repetitive"), std::string::npos);
  // The same packet read as a file by name and as armor gives the same.
  std::filesystem::remove_all(out.Path() + "/store");
  std::filesystem::create_directories(out.Path() + "/store");
  EXPECT_EQ(Decompose_PacketFile(*ps, file).text, "big one");
  EXPECT_EQ(ReadFile(Stored("random.bin")), random_part);
  ClearOverwriteAnswer(*ps);
  ps->sign = false;
  const std::string armor = Compose_PacketArmor(*ps, "as armor");
  std::filesystem::remove_all(out.Path() + "/store");
  std::filesystem::create_directories(out.Path() + "/store");
  EXPECT_EQ(ReadArmoredText(*ps, armor).text, "as armor");
  EXPECT_EQ(ReadFile(Stored("text.txt")), text_part);
}

TEST_F(SignaturePacket, ExistingPacketFileAnswers) {
  const std::string path = out.File("m.lqe");
  WriteFile(path, "old");
  s.ui.buttons.push_back(kIdNo);  // keep it, save under the free name
  ASSERT_EQ(Compose_PacketFile(*ps, path, "one", true), 0);
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_NE(s.ui.LastBox().text.find(out.File("m_1.lqe")), std::string::npos);
  EXPECT_EQ(Decompose_PacketFile(*ps, out.File("m_1.lqe")).text, "one");
  s.ui.buttons.push_back(kIdNo);
  ASSERT_EQ(Compose_PacketFile(*ps, path, "two", true), 0);
  EXPECT_TRUE(std::filesystem::exists(out.File("m_2.lqe")));
  s.ui.buttons.push_back(kIdCancel);
  Forget();
  EXPECT_EQ(Compose_PacketFile(*ps, path, "three", true), 1);
  EXPECT_EQ(CountLog("File was not saved"), 1);
  EXPECT_FALSE(std::filesystem::exists(out.File("m_3.lqe")));
  s.ui.buttons.push_back(kIdYes);
  ASSERT_EQ(Compose_PacketFile(*ps, path, "four", true), 0);
  EXPECT_EQ(Decompose_PacketFile(*ps, path).text, "four");
  WriteFile(out.File("noext"), "x");
  EXPECT_EQ(FreeFileName(*ps, out.File("noext")), out.File("noext_1"));
}

TEST_F(SignaturePacket, PacketFileFailures) {
  Decompose_PacketFile(*ps, out.File("none.lqe"));
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Error_FileNotFound"});
  EXPECT_EQ(CountLog("File not found: " + out.File("none.lqe")), 1);
  WriteFile(out.File("plain.txt"), "hello");
  Forget();
  Decompose_PacketFile(*ps, out.File("plain.txt"));
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_WrongFileformat"});
  EXPECT_EQ(CountLog("Not a Lockquill file!"), 1);
  // The identification text anywhere passes the first test; the header then decides.
  WriteFile(out.File("fake.lqe"), std::string("999001") + kPacketFileIdentification);
  Forget();
  Decompose_PacketFile(*ps, out.File("fake.lqe"));
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"EnDec_WrongRecordType"});
  ASSERT_EQ(Compose_PacketFile(*ps, out.File("t.lqe"), "t", true), 0);
  std::string bytes = ReadFile(out.File("t.lqe"));
  bytes[bytes.size() - 10] ^= 0x01;
  WriteFile(out.File("t.lqe"), bytes);
  Forget();
  Decompose_PacketFile(*ps, out.File("t.lqe"));
  EXPECT_EQ(s.ui.MessageKeys(), std::vector<std::string>{"Endec_HashDoesNotMatch"});
}

}  // namespace
}  // namespace lq::test
