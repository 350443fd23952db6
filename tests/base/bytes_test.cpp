// The number text, the lenient parse and the byte helpers.
#include "base/bytes.h"

#include <gtest/gtest.h>

#include <climits>

namespace lq {
namespace {

TEST(NumText, LeadingBlankForNonNegative) {
  EXPECT_EQ(NumText(8000), " 8000");
  EXPECT_EQ(NumText(0), " 0");
  EXPECT_EQ(NumText(-5), "-5");
  EXPECT_EQ(NumText(2004), " 2004");
  EXPECT_EQ(NumText(LLONG_MIN), "-9223372036854775808");
}

TEST(ParseNumber, LenientLikeTheRuntime) {
  bool ok = false;
  EXPECT_EQ(ParseNumber(" 8000", &ok), 8000);
  EXPECT_TRUE(ok);
  EXPECT_EQ(ParseNumber("-5"), -5);
  EXPECT_EQ(ParseNumber("  \t42abc"), 42);
  EXPECT_EQ(ParseNumber("+7"), 7);
  EXPECT_EQ(ParseNumber("", &ok), 0);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ParseNumber("abc", &ok), 0);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ParseNumber("99999999999999999999999"), LLONG_MAX);
  EXPECT_EQ(ParseNumber("-99999999999999999999999"), LLONG_MIN);
  EXPECT_EQ(ParseNumber("-9223372036854775808"), LLONG_MIN);
  for (long long v : {0LL, 1LL, -1LL, 123456789LL, -987654321LL}) {
    EXPECT_EQ(ParseNumber(NumText(v)), v);
  }
}

TEST(Bytes, LittleEndianWords) {
  std::string s;
  AppendLe32(s, 0x04030201u);
  EXPECT_EQ(s, std::string("\x01\x02\x03\x04", 4));
  EXPECT_EQ(LoadLe32(s.data()), 0x04030201u);
  AppendLe32(s, 0xFFFFFFFEu);
  EXPECT_EQ(LoadLe32(s.data() + 4), 0xFFFFFFFEu);
}

TEST(Bytes, ConstantTimeEqualAndHex) {
  EXPECT_TRUE(ConstantTimeEqual("abc", "abc"));
  EXPECT_FALSE(ConstantTimeEqual("abc", "abd"));
  EXPECT_FALSE(ConstantTimeEqual("abc", "ab"));
  EXPECT_TRUE(ConstantTimeEqual("", ""));
  EXPECT_EQ(HexText(std::string("\x00\xab\x10", 3)), "00AB10");
}

TEST(Bytes, WipeZeroesTheWholeBuffer) {
  std::string secret(100, 'k');
  const char* storage = secret.data();
  secret.resize(10);  // the tail beyond the size still holds secret bytes
  Wipe(secret);
  EXPECT_TRUE(secret.empty());
  EXPECT_EQ(secret.data(), storage);  // wiped in place, not reallocated
  for (int i = 0; i < 100; ++i) EXPECT_EQ(storage[i], '\0') << i;
}

}  // namespace
}  // namespace lq

namespace lq {
namespace {

TEST(SecretBytes, TakesBytesAndWipesWhatTheMoveLeft) {
  std::string source = "short secret";  // held in the string itself (no heap buffer)
  const char* left = source.data();
  SecretBytes a(std::move(source));
  EXPECT_EQ(a.view(), "short secret");
  // `source` is alive; the bytes the move copied out of its own buffer are zero now.
  EXPECT_EQ(std::string(left, 12), std::string(12, '\0'));
  SecretBytes b(std::move(a));
  EXPECT_EQ(b.view(), "short secret");
  EXPECT_TRUE(a.empty());
  std::string longer(100, 's');
  b.Reset(std::move(longer));
  EXPECT_EQ(b.view(), std::string(100, 's'));
  SecretBytes c;
  c = std::move(b);
  EXPECT_EQ(c.size(), 100u);
  EXPECT_TRUE(b.empty());
  c.Clear();
  EXPECT_TRUE(c.empty());
}

}  // namespace
}  // namespace lq
