// Base64 and hex text: the armor's exact line layout, the decoder's stopping rules, and that
// damaged text never decodes to more than its intact part.
#include "crypto/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "crypto/hex.h"

namespace lq {
namespace {

std::string Encode(std::string_view in, int32_t g = kBase64GroupsPerLine) {
  std::string out;
  Base64_Encode(in, g, out);
  return out;
}

std::string Decode(std::string_view text, size_t* count = nullptr) {
  std::string out;
  size_t n = Base64_Decode(text, out);
  if (count) *count = n;
  return out;
}

std::string RandomBytes(std::mt19937& rng, size_t n) {
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

std::string StripLineBreaks(std::string s) {
  std::erase(s, '\r');
  std::erase(s, '\n');
  return s;
}

TEST(Base64, Rfc4648Vectors) {
  // RFC 4648 section 10.
  EXPECT_EQ(Encode(""), "");
  EXPECT_EQ(Encode("f"), "Zg==");
  EXPECT_EQ(Encode("fo"), "Zm8=");
  EXPECT_EQ(Encode("foo"), "Zm9v");
  EXPECT_EQ(Encode("foob"), "Zm9vYg==");
  EXPECT_EQ(Encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(Encode("foobar"), "Zm9vYmFy");
  for (const char* s : {"", "f", "fo", "foo", "foob", "fooba", "foobar"}) {
    EXPECT_EQ(Decode(Encode(s)), s);
  }
  EXPECT_EQ(Encode(std::string("\xfb\xff\xbf", 3)), "+/+/");
}

TEST(Base64, LineLayout) {
  const std::string line45(45, 'x');
  const std::string enc45 = Encode(line45);
  ASSERT_EQ(enc45.size(), 62u);
  EXPECT_EQ(enc45.substr(60), "\r\n");
  EXPECT_EQ(enc45.find('\r'), 60u);

  const std::string enc46 = Encode(line45 + "y");
  EXPECT_EQ(enc46, enc45 + "eQ==");

  EXPECT_EQ(Encode(std::string(1, '\0')), "AA==");
  EXPECT_EQ(Encode(std::string(2, '\0')), "AAA=");

  // 90 bytes: two full lines, each ending in CR LF; 91 bytes: a partial group, no final CR LF.
  const std::string enc90 = Encode(std::string(90, 'z'));
  EXPECT_EQ(enc90.size(), 124u);
  EXPECT_EQ(enc90.substr(60, 2), "\r\n");
  EXPECT_EQ(enc90.substr(122), "\r\n");
  EXPECT_NE(Encode(std::string(91, 'z')).back(), '\n');

  // One group per line and a group count that splits nothing evenly.
  EXPECT_EQ(Encode("abcdef", 1), "YWJj\r\nZGVm\r\n");
  EXPECT_EQ(Encode("abcdefg", 2), "YWJjZGVm\r\nZw==");
  // A count below 1 writes one unbroken line instead of dividing by zero.
  EXPECT_EQ(Encode(std::string(90, 'z'), 0), StripLineBreaks(enc90));
  EXPECT_EQ(Encode(std::string(90, 'z'), INT32_MAX), StripLineBreaks(enc90));
}

TEST(Base64, EncodedLengthFormula) {
  std::mt19937 rng(1);
  for (int32_t g : {1, 2, 7, 15, 16, 100}) {
    for (size_t len = 0; len < 400; ++len) {
      const std::string enc = Encode(RandomBytes(rng, len), g);
      ASSERT_EQ(enc.size(), 4 * ((len + 2) / 3) + 2 * (len / (3 * g))) << len << " " << g;
      ASSERT_EQ(Base64EncodedLength(len, g), enc.size());
      // Every line but the last is 4 * G characters.
      size_t start = 0;
      for (size_t pos; (pos = enc.find("\r\n", start)) != std::string::npos; start = pos + 2) {
        ASSERT_EQ(pos - start, 4u * g);
      }
      ASSERT_LE(enc.size() - start, 4u * g);
    }
  }
}

TEST(Base64, RoundTripsWithAndWithoutLineBreaks) {
  std::mt19937 rng(2);
  for (size_t len : {0, 1, 2, 3, 44, 45, 46, 89, 90, 91, 1000, 65536, 100001}) {
    const std::string data = RandomBytes(rng, len);
    const std::string enc = Encode(data);
    size_t count = 0;
    EXPECT_EQ(Decode(enc, &count), data);
    EXPECT_EQ(count, enc.size());
    EXPECT_EQ(Decode(StripLineBreaks(enc)), data);
    // LF-only and doubled line breaks are skipped just the same.
    std::string lf_only = enc;
    std::erase(lf_only, '\r');
    EXPECT_EQ(Decode(lf_only), data);
  }
}

TEST(Base64, StopsAtPadAndForeignCharacters) {
  size_t count = 0;
  // Text after a padded group is ignored, even more Base64.
  EXPECT_EQ(Decode("QQ==QUJD", &count), "A");
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(Decode("QUI=QUJD", &count), "AB");
  EXPECT_EQ(count, 4u);
  // A pad in the third place ends after one byte whatever the fourth character is.
  EXPECT_EQ(Decode("QQ=B"), "A");
  // Any character outside the alphabet ends decoding; it is not consumed.
  EXPECT_EQ(Decode("QUJD!QUJD", &count), "ABC");
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(Decode("QUJD QUJD"), "ABC");
  EXPECT_EQ(Decode(std::string("QUJD\0QUJD", 9), &count), "ABC");
  EXPECT_EQ(count, 4u);
  // Characters of an unfinished group are dropped, whether the text ends or a stop follows.
  EXPECT_EQ(Decode("QUJDQQ", &count), "ABC");
  EXPECT_EQ(count, 6u);
  EXPECT_EQ(Decode("QUJDQUJ-"), "ABC");
  EXPECT_EQ(Decode("QQ="), "");
  // Line breaks inside a group are skipped.
  EXPECT_EQ(Decode("QU\r\nJD"), "ABC");
  EXPECT_EQ(Decode("\r\n\r\n"), "");
  EXPECT_EQ(Decode(""), "");
}

TEST(Base64, MalformedPadPlacesGiveNoByte) {
  // No encoder writes a pad in the first two places; such a group is refused, not guessed at.
  EXPECT_EQ(Decode("QUJD====QUJD"), "ABC");
  EXPECT_EQ(Decode("QUJDQ===QUJD"), "ABC");
  EXPECT_EQ(Decode("=QQQ"), "");
}

TEST(Base64, DamagedTextDecodesToAPrefix) {
  std::mt19937 rng(3);
  const std::string data = RandomBytes(rng, 500);
  const std::string enc = Encode(data);
  for (size_t cut = 0; cut <= enc.size(); ++cut) {
    const std::string got = Decode(enc.substr(0, cut));
    ASSERT_EQ(got, data.substr(0, got.size())) << cut;
    ASSERT_GE(got.size() + 3, StripLineBreaks(enc.substr(0, cut)).size() / 4 * 3) << cut;
  }
  // Replacing any one character with a foreign one keeps exactly the groups before it.
  for (size_t at = 0; at < enc.size(); at += 7) {
    std::string bad = enc;
    bad[at] = '*';
    const std::string got = Decode(bad);
    ASSERT_EQ(got, data.substr(0, StripLineBreaks(enc.substr(0, at)).size() / 4 * 3)) << at;
  }
  // Arbitrary bytes never decode to more than three bytes per four characters.
  for (int round = 0; round < 2000; ++round) {
    std::string junk = RandomBytes(rng, rng() % 64);
    if (round % 2) {
      for (auto& c : junk) c = "AZaz09+/=\r\n"[rng() % 11];
    }
    size_t count = 0;
    const std::string got = Decode(junk, &count);
    ASSERT_LE(count, junk.size());
    ASSERT_LE(got.size(), junk.size() / 4 * 3);
  }
}

TEST(Hex, BothDirections) {
  EXPECT_EQ(Bytes_ToHex(std::string("\x00\xab\xff", 3)), "00ABFF");
  EXPECT_EQ(Bytes_ToHex(""), "");
  EXPECT_EQ(Hex_ToBytes("00ABFF"), std::string("\x00\xab\xff", 3));
  EXPECT_EQ(Hex_ToBytes("00abfF"), std::string("\x00\xab\xff", 3));
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  EXPECT_EQ(Hex_ToBytes(Bytes_ToHex(all)), all);
  // A lone last digit is not a pair; a pair stops reading at a non-hex character.
  EXPECT_EQ(Hex_ToBytes("ABC"), "\xab");
  EXPECT_EQ(Hex_ToBytes("4G"), std::string(1, '\x04'));
  EXPECT_EQ(Hex_ToBytes("G4"), std::string(1, '\0'));
  EXPECT_EQ(Hex_ToBytes(""), "");
}

}  // namespace
}  // namespace lq
