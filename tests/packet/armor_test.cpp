// Armor writing and reading, signed-text normalisation, size texts and safe stored names.
#include "packet/armor.h"

#include <gtest/gtest.h>

#include "base/records.h"
#include "packet/packet_session.h"
#include "packet/signature_packet.h"
#include "support/recording_ui.h"

namespace lq::test {
namespace {

std::string Payload(size_t n) {
  std::string p;
  for (size_t i = 0; i < n; ++i) p += static_cast<char>((i * 37 + 11) & 0xFF);
  return p;
}

TEST(Armor, PiecesWrittenToASinkJoinToTheWholeArmor) {
  // A piece holds 1048590 payload bytes (23302 lines of 45): the sizes around one and two
  // pieces, and sizes that end inside a line.
  constexpr size_t kPiece = 3 * 15 * 23302;
  RecordingUi ui;
  for (size_t n : {size_t{0}, size_t{2}, kPiece - 1, kPiece, kPiece + 1, 2 * kPiece + 44}) {
    const std::string payload = Payload(n);
    std::string joined;
    int pieces = 0;
    WriteArmor_Packet(ui, payload, [&](std::string_view piece) {
      joined.append(piece);
      ++pieces;
    });
    EXPECT_EQ(joined, Armor_Packet(ui, payload)) << n;
    EXPECT_EQ(pieces, 2 + static_cast<int>((n + kPiece - 1) / kPiece)) << n;
  }
}

TEST(Armor, PacketRoundTripsAtEveryLineBoundary) {
  RecordingUi ui;
  for (size_t n : {0u, 1u, 44u, 45u, 46u, 90u, 1000u}) {
    const std::string armor = Armor_Packet(ui, Payload(n));
    EXPECT_EQ(armor.rfind(std::string(kPacketStart) + "\r\n", 0), 0u);
    EXPECT_EQ(armor.substr(armor.size() - std::string(kPacketEnd).size()), kPacketEnd);
    EXPECT_EQ(Dearmor_Packet(ui, armor), Payload(n)) << n;
  }
  // A multiple of 45 bytes ends its Base64 in CR LF: two line breaks before the end marker.
  const std::string armor = Armor_Packet(ui, Payload(45));
  EXPECT_NE(armor.find("\r\n\r\n" + std::string(kPacketEnd)), std::string::npos);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(Armor, FoundInQuotedMailAfterOtherTextAndOnlyTheFirst) {
  RecordingUi ui;
  const std::string armor = Armor_Packet(ui, Payload(200));
  std::string quoted = "On Monday you wrote:\r\n";
  size_t start = 0;
  while (start < armor.size()) {
    size_t end = armor.find("\r\n", start);
    if (end == std::string::npos) end = armor.size();
    quoted += "> " + armor.substr(start, end - start) + "\r\n";
    start = end + 2;
  }
  EXPECT_EQ(Dearmor_Packet(ui, quoted), Payload(200));
  const std::string two = "hi\r\n" + armor + "\r\n" + Armor_Packet(ui, "second");
  EXPECT_EQ(Dearmor_Packet(ui, two), Payload(200));
  // Decoding inside the text gives the same bytes for every one of these forms, short
  // payloads (held inside the string itself) and payloads of one or two bytes in a last group.
  for (const std::string& text : {quoted, two, Armor_Packet(ui, "x"), Armor_Packet(ui, "xy"),
                                  "a > " + Armor_Packet(ui, Payload(4000)) + "\r\n> bye"}) {
    EXPECT_EQ(Dearmor_PacketInPlace(ui, std::string(text)), Dearmor_Packet(ui, text));
  }
  // Without its end marker nothing is decoded and the text is left to its owner.
  std::string cut = armor.substr(0, armor.size() - 5);
  ui.boxes.clear();
  EXPECT_EQ(Dearmor_PacketInPlace(ui, std::move(cut)), "");
  EXPECT_EQ(cut, armor.substr(0, armor.size() - 5));
  EXPECT_FALSE(ui.boxes.empty());
}

TEST(Armor, DetectReportsTheArmorThatStartsFirst) {
  RecordingUi ui;
  const std::string signed_text = Armor_SignedText(ui, "text", "sig");
  const std::string packet = Armor_Packet(ui, "p");
  EXPECT_EQ(DetectArmor(ui, "x " + signed_text + packet, false), kSignedTextStart);
  EXPECT_EQ(DetectArmor(ui, packet + signed_text, false), kPacketStart);
  EXPECT_EQ(DetectArmor(ui, std::string("a") + kKeyPairStart + kPublicKeyStart, false),
            kKeyPairStart);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(DetectArmor(ui, "plain words", true), "");
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].key, "EnDec_NoAsciiArmorFormat");
  EXPECT_EQ(ui.boxes[1].key, "");
  EXPECT_EQ(ui.boxes[1].text, "plain words");
}

TEST(Armor, MissingMarkersAreRefusedWithTheText) {
  RecordingUi ui;
  EXPECT_EQ(Dearmor_Packet(ui, std::string(kPacketStart) + "\r\nQUJD"), "");
  EXPECT_EQ(ui.MessageKeys(), (std::vector<std::string>{"EnDec_NoAsciiArmorFormat", ""}));
  ui.boxes.clear();
  EXPECT_EQ(Dearmor_SignedText(ui, std::string(kSignedTextStart) + "t" + kSignedTextEnd), "");
  EXPECT_EQ(ui.MessageKeys(), (std::vector<std::string>{"EnDec_NoAsciiArmorFormat", ""}));
  ui.boxes.clear();
  // The signature marker after the end marker: quietly nothing.
  EXPECT_EQ(Dearmor_SignedText(ui, std::string(kSignedTextStart) + "t" + kSignedTextEnd +
                                       kSignatureStart + "QUJD"),
            "");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(Armor, SignedTextUsesTheLastSignatureMarker) {
  RecordingUi ui;
  const std::string text = std::string("quote:\r\n") + kSignatureStart + "\r\nmore";
  const std::string armor = Armor_SignedText(ui, text, "the signature");
  const Bytes l = Dearmor_SignedText(ui, armor);
  long pos = 1;
  EXPECT_EQ(NextField(l, pos), "the signature");
  EXPECT_EQ(NextField(l, pos), "\r\n" + text + "\r\n");
  EXPECT_EQ(pos, kFieldEnd);
}

TEST(NormalizeSignedText, LineBreaksTabsAndBlankRunsVanish) {
  const std::pair<std::string, std::string> cases[] = {
      {"\r\n  Hello\tworld \r\n\r\n  again  ", "Hello world again"},
      {"a\t\t\tb", "a b"},
      {"one\ntwo\rthree", "one\ntwo\rthree"},  // lone LF and CR stay
      {"     ", ""},
      {"", ""},
      {"x \r\n\ty", "x y"},
  };
  for (const auto& [in, want] : cases) {
    std::string t = in;
    NormalizeSignedText(t);
    EXPECT_EQ(t, want) << in;
  }
}

TEST(SizeText, UnitsFollowTheRoundedLogarithm) {
  EXPECT_EQ(SizeText(600), "600 Bytes");
  EXPECT_EQ(SizeText(0), "0 Bytes");
  EXPECT_EQ(SizeText(1536), "1.500 Kb");
  EXPECT_EQ(SizeText(1000), "0.977 Kb");  // ln 1000 = 6.9 rounds to 7
  EXPECT_EQ(SizeText(1048576), "1.000 Mb");
  EXPECT_EQ(SizeText(700000), "683.594 Kb");  // ln 700000 = 13.46 still rounds to 13
  EXPECT_EQ(SizeText(32.0 * 1048576), "32.000 Mb");
  EXPECT_EQ(SizeText(5.0 * 1073741824.0), "5.000 Gb");
  EXPECT_EQ(SizeText(1e18), "Dang!");
}

TEST(SafeStoreName, HostileNamesBecomeBareNamesOrNothing) {
  const std::pair<std::string, std::string> cases[] = {
      {"..\\..\\x", "x"},
      {"C:\\Windows\\x", "x"},
      {"/etc/x", "x"},
      {"a/../../b", "b"},
      {"CON", "_CON"},
      {"nul.txt", "_nul.txt"},
      {"com1", "_com1"},
      {"name.", "name"},
      {"name. . ", "name"},
      {"", ""},
      {"..", ""},
      {".", ""},
      {"C:", ""},
      {"file:stream", "stream"},
      {"a<b>c|d?e*f\"g", "a_b_c_d_e_f_g"},
      {std::string("tab\there\x01"), "tab_here_"},
      {"report.final.pdf", "report.final.pdf"},
      {"  spaced", "spaced"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(SafeStoreName(in), want) << in;
  const std::string longest = SafeStoreName(std::string(300, 'n') + ".txt");
  EXPECT_EQ(longest.size(), 200u);
  EXPECT_EQ(longest.substr(196), ".txt");
  // A cut never splits a UTF-8 character.
  std::string umlauts;
  for (int i = 0; i < 150; ++i) umlauts += "\xC3\xA4";
  const std::string cut = SafeStoreName(umlauts);
  EXPECT_LE(cut.size(), 200u);
  EXPECT_EQ(cut.size() % 2, 0u);
}

}  // namespace
}  // namespace lq::test
